#include "app/tool_config.h"

#include <algorithm>

#include "text/py_text.h"
#include "text/text_form.h"
#include "utils/paths.h"

namespace verbix {
namespace {

template <size_t N>
bool is_option(const std::array<std::string_view, N>& options, const std::string& value) {
  return std::find(options.begin(), options.end(), value) != options.end();
}

// The text keys of the map, in file order, with their fields.
struct TextKey {
  std::string_view name;
  std::string ToolConfig::*field;
};
constexpr TextKey kTextKeys[] = {
    {"create_format", &ToolConfig::create_format}, {"create_images", &ToolConfig::create_images},
    {"update_target", &ToolConfig::update_target}, {"update_format", &ToolConfig::update_format},
    {"update_images", &ToolConfig::update_images}, {"build_target", &ToolConfig::build_target},
    {"build_output", &ToolConfig::build_output},   {"language_file", &ToolConfig::language_file},
};

}  // namespace

ToolConfig config_merge(const Value& p_stored) {
  ToolConfig cfg;
  if (!p_stored.is_map()) return cfg;
  for (const TextKey& key : kTextKeys) {
    if (const Value* v = p_stored.find(key.name)) cfg.*key.field = text_form(*v);
  }
  if (const Value* v = p_stored.find("update_backup"))
    cfg.update_backup = v->is_bool() ? v->as_bool() : truth(*v);
  return cfg;
}

void config_correct(ToolConfig& p_cfg) {
  p_cfg.create_images = py_upper(p_cfg.create_images);
  p_cfg.create_format = py_upper(p_cfg.create_format);
  p_cfg.update_format = py_upper(p_cfg.update_format);
  if (!is_option(OPT_IMAGES, p_cfg.create_images)) p_cfg.create_images = "PNG";
  if (!is_option(OPT_FORMAT, p_cfg.create_format)) p_cfg.create_format = "TXT";
  if (!is_option(OPT_FORMAT, p_cfg.update_format)) p_cfg.update_format = "TXT";
  if (!is_regular_file(p_cfg.update_target)) p_cfg.update_target.clear();
  if (!is_regular_file(p_cfg.build_target)) p_cfg.build_target.clear();
  if (!is_directory(p_cfg.build_output)) p_cfg.build_output.clear();
}

Value config_map(const ToolConfig& p_cfg) {
  return Map{{"create_format", p_cfg.create_format}, {"create_images", p_cfg.create_images},
             {"update_target", p_cfg.update_target}, {"update_format", p_cfg.update_format},
             {"update_images", p_cfg.update_images}, {"update_backup", p_cfg.update_backup},
             {"build_target", p_cfg.build_target},   {"build_output", p_cfg.build_output},
             {"language_file", p_cfg.language_file}};
}

}  // namespace verbix
