#include "app/build_project.h"

#include <vector>

#include "checks/lint.h"
#include "checks/lint_report.h"
#include "data/compare.h"
#include "project/compiler.h"
#include "project/project_reader.h"
#include "review/baseline.h"
#include "review/statistics.h"
#include "text/text_form.h"
#include "utils/data_paths.h"
#include "utils/error_watch.h"
#include "utils/file_helpers.h"
#include "utils/log_service.h"
#include "utils/paths.h"
#include "utils/temp_files.h"

namespace verbix {
namespace {

// Removes the images that the game's record lacks: the game looks images up by its own keys.
void exclude_unknown_images(Value& p_record, const Value& p_game, Window* p_app) {
  const Value* known = p_game.find("img_data");
  Value* images = p_record.find("img_data");
  if (!images || !images->is_map()) return;
  std::vector<std::string> unknown;
  for (const auto& [key, bytes] : images->as_map())
    if (!known || !known->find(key)) unknown.push_back(key);
  for (const std::string& key : unknown) {
    info("Excluding image with invalid folder/name: " + key, p_app);
    images->as_map().erase(key);
  }
}

void flush_log(Window* p_app) {
  if (p_app)
    p_app->save_log();
  else
    utils.log_flush();
}

}  // namespace

BuildTools build_tools() {
  return {[](const std::string& p_dir, const std::string& p_file) { open_dir(p_dir, p_file); }};
}

bool build_translation(const Value& p_game, const BuildRequest& p_request, Window* p_app,
                       const BuildTools& p_tools) {
  const std::string& src = p_request.target;
  const std::string& dst = p_request.output;
  // An empty target names no file: it is missing, not the working folder.
  if (src.empty() || !path_exists(src))
    return error("Target translation file missing: " + src, false, p_app);
  if (!path_exists(dst)) return error("Output folder doesn't exist: " + dst, false, p_app);
  if (!is_directory(dst)) return error("Output path is not a folder: " + dst, false, p_app);

  ErrorWatch watch(p_app);
  DialogueRead project = dlg_2_dat(src, watch.window());
  if (project.failed()) {
    if (!watch.reported()) return error("Unable to load data from: " + src, false, p_app);
    info("Unable to load data from: " + src, p_app);  // the reader's box said why
    return false;
  }

  const Value* name = project.data.find("lng_name");
  const std::string language = name ? text_form(*name) : "";
  // The language name comes from the project's data: it must name one file in the output
  // folder, and nothing else, before anything is asked or written.
  if (const std::optional<std::string> fault = file_name_fault(language + ".cld"))
    return error("Invalid language name, it " + *fault + ": " + shown_name(language) +
                     "\n\nCorrect the language name in " + src,
                 false, p_app);
  const std::string out = normpath(path_join(dst, language + ".cld"));
  if (p_app && path_exists(out) &&
      !p_app->popup_yes_no(out + " exists.\n\nDo you want to continue and overwrite it?",
                           kConfirmTitle)) {
    info("Canceling build...", p_app);
    return false;
  }
  remove_leftover_temps(dst, false);  // a build cut short leaves its temporary file
  progress(p_app, "Comparing with the game's data");
  if (!data_compare(project.data, p_game, p_app))
    return error("Failed to build: " + src + "\n\nTry updating dialogue file.", false, p_app);
  exclude_unknown_images(project.data, p_game, p_app);
  // What would break the game although the file is sound: asked about before compiling.
  if (!build_checks_pass(lint_translation(project.data, project.meta, p_game), p_app)) return false;
  progress(p_app, "Writing " + path_basename(out));
  if (!compile(out, project.data, project.meta, p_app))
    return error("Failed to build: " + src, false, p_app);

  p_tools.open_folder(path_dirname(out), out);
  report_statistics(project_statistics(p_game, project.data, path_dirname(src),
                                       load_baseline(src, project.meta.format())),
                    p_app);
  info("Successfully built to: " + out, p_app);
  flush_log(p_app);
  return true;
}

}  // namespace verbix
