#include "utils/reporting.h"

#include "utils/log_service.h"

namespace verbix {

void info(std::string_view p_msg, Window* p_app) {
  if (p_app)
    p_app->append_log(p_msg);
  else
    utils.info(p_msg);
}

void report_error(std::string_view p_msg, Window* p_app) {
  if (!p_app) utils.crash(p_msg);
  p_app->append_log("ERROR: " + std::string(p_msg));
  p_app->save_log();
  p_app->popup_error(p_msg, kErrorTitle);
}

}  // namespace verbix
