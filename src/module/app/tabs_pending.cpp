// The commands of the Update tab until their workflows are part of the tool: each
// says so in the log panel and changes nothing.
#include "app/app_window.h"

namespace verbix::py {
namespace {

constexpr std::string_view kNotYet = " is not available in this version of the tool.";

}  // namespace

void App::sel_update_file() { append_log("Choosing the update target" + std::string(kNotYet)); }
void App::check() { append_log("Check" + std::string(kNotYet)); }
void App::update() { append_log("Update" + std::string(kNotYet)); }

}  // namespace verbix::py
