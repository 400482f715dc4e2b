#include "checks/lint_report.h"

#include "project/json_text.h"

namespace verbix {
namespace {

const char* severity_name(Severity p_severity) {
  return p_severity == Severity::Error ? "error" : "warning";
}

void append_member(std::string& out, std::string_view p_key, std::string_view p_text) {
  out += ", ";
  append_json_string(out, p_key);
  out += ": ";
  append_json_string(out, p_text);
}

}  // namespace

std::string problem_line(const Problem& p_problem, std::string_view p_place_word) {
  std::string line = std::string(severity_name(p_problem.severity)) + " " + p_problem.check;
  if (p_problem.table.empty()) return line + ": " + p_problem.message;
  line += ": " + p_problem.table + " " + p_problem.id;
  if (p_problem.position)
    line += ", " + std::string(p_place_word) + " " + std::to_string(*p_problem.position);
  return line + ": " + p_problem.message;
}

std::vector<std::string> problem_lines(const LintReport& p_report, std::size_t p_limit) {
  std::vector<std::string> lines;
  const std::size_t total = p_report.problems.size();
  for (std::size_t i = 0; i < total && i < p_limit; ++i)
    lines.push_back(problem_line(p_report.problems[i], p_report.place_word));
  if (total > p_limit) lines.push_back("... and " + std::to_string(total - p_limit) + " more");
  return lines;
}

std::string count_line(const LintReport& p_report) {
  return "Checks: " + std::to_string(p_report.errors) + " errors, " +
         std::to_string(p_report.warnings) + " warnings";
}

std::string report_json(const LintReport& p_report) {
  std::string out = "{\"problems\": [";
  for (std::size_t i = 0; i < p_report.problems.size(); ++i) {
    const Problem& p = p_report.problems[i];
    out += i ? ", {\"check\": " : "{\"check\": ";
    append_json_string(out, p.check);
    append_member(out, "severity", severity_name(p.severity));
    if (p.table.empty())
      out += ", \"table\": null";
    else
      append_member(out, "table", p.table);
    append_member(out, "id", p.id);
    out += ", \"position\": " + (p.position ? std::to_string(*p.position) : std::string("null"));
    append_member(out, "message", p.message);
    if (!p.character.empty()) append_member(out, "char", p.character);
    out += "}";
  }
  out += "], \"totals\": {\"errors\": " + std::to_string(p_report.errors) +
         ", \"warnings\": " + std::to_string(p_report.warnings) + "}}";
  return out;
}

bool build_checks_pass(const LintReport& p_report, Window* p_app) {
  for (const std::string& line : problem_lines(p_report)) info(line, p_app);
  info(count_line(p_report), p_app);
  if (p_report.errors == 0 || !p_app) return true;
  if (p_app->popup_yes_no(std::to_string(p_report.errors) + std::string(kChecksQuestionEnd),
                          kConfirmTitle))
    return true;
  info("Canceling build...", p_app);
  return false;
}

}  // namespace verbix
