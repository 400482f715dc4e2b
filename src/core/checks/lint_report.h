// What the build checks' report looks like to people and to tools: the log panel's lines,
// the count line, the question Build asks when there are errors, and the JSON document of
// `verbix-cli lint --json`:
//   {"problems": [{"check": str, "severity": "error"|"warning", "table": str|null, "id": str,
//                  "position": int|null, "message": str, "char": str (glyphs only)}],
//    "totals": {"errors": int, "warnings": int}}
// ("table" is null only for the warning about a font that cannot be read.)
#pragma once

#include <cstddef>
#include <string>
#include <string_view>
#include <vector>

#include "checks/lint.h"
#include "utils/reporting.h"

namespace verbix {

// The most problem lines Build shows in the log panel; the rest are counted in one line.
inline constexpr std::size_t kShownProblems = 200;

// The end of Build's question; it starts with the number of errors.
inline constexpr std::string_view kChecksQuestionEnd =
    " problems would show in the game.\n\nDo you want to build anyway?";

// One problem as a line: severity, check, place and message, e.g.
// "error placeholders: text_lut intro_3, line 12: placeholders differ from the English: ...".
std::string problem_line(const Problem& p_problem, std::string_view p_place_word);

// The problems' lines, at most `p_limit` of them and then "... and N more".
std::vector<std::string> problem_lines(const LintReport& p_report,
                                       std::size_t p_limit = kShownProblems);

// "Checks: E errors, W warnings".
std::string count_line(const LintReport& p_report);

// The JSON document of the report.
std::string report_json(const LintReport& p_report);

// Build's step: the problem lines and the count line to the window, then, when there are
// errors, the question whether to build anyway. True to go on building; false when the user
// answered No ("Canceling build..." is reported). Without a window nothing is asked.
bool build_checks_pass(const LintReport& p_report, Window* p_app);

}  // namespace verbix
