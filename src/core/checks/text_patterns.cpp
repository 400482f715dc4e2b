#include "checks/text_patterns.h"

#include <algorithm>
#include <array>
#include <cmath>
#include <cstdio>
#include <cstdlib>

namespace verbix {
namespace {

bool is_digit(char c) { return c >= '0' && c <= '9'; }
bool is_letter(char c) { return (c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z'); }

// The length of the printf conversion at `p_text[i]` == '%', or 0 when none starts there.
size_t printf_length(std::string_view p_text, size_t i) {
  size_t j = i + 1;
  auto digits = [&] {
    while (j < p_text.size() && is_digit(p_text[j])) ++j;
  };
  size_t k = j;
  while (k < p_text.size() && is_digit(p_text[k])) ++k;
  if (k > j && k < p_text.size() && p_text[k] == '$') j = k + 1;  // positional: %1$s
  if (j < p_text.size() && p_text[j] == '(') {                    // named: %(name)s
    const size_t close = p_text.find(')', j);
    if (close == std::string_view::npos || close - j > 64) return 0;
    j = close + 1;
  }
  while (j < p_text.size() && std::string_view("-+#0'").find(p_text[j]) != std::string_view::npos)
    ++j;
  if (j < p_text.size() && p_text[j] == '*') ++j;
  digits();
  if (j < p_text.size() && p_text[j] == '.') {
    ++j;
    if (j < p_text.size() && p_text[j] == '*') ++j;
    digits();
  }
  while (j < p_text.size() && std::string_view("hlLqjzt").find(p_text[j]) != std::string_view::npos)
    ++j;
  if (j < p_text.size() &&
      std::string_view("diouxXeEfFgGaAcspn@").find(p_text[j]) != std::string_view::npos)
    return j + 1 - i;
  return 0;
}

// The length of the brace field at `p_text[i]` == '{', or 0 when none starts there.
size_t brace_length(std::string_view p_text, size_t i) {
  for (size_t j = i + 1; j < p_text.size() && j - i <= 64; ++j) {
    const char c = p_text[j];
    if (c == '}') return j + 1 - i;
    if (c == '{' || c == '\n' || (c == ' ' && j == i + 1)) return 0;
  }
  return 0;
}

// The length of the markup tag at `p_text[i]` == '<', or 0 when none starts there.
size_t tag_length(std::string_view p_text, size_t i) {
  size_t j = i + 1;
  if (j < p_text.size() && p_text[j] == '/') ++j;
  if (j >= p_text.size() || !is_letter(p_text[j])) return 0;
  for (; j < p_text.size() && j - i <= 256; ++j) {
    const char c = p_text[j];
    if (c == '>') return j + 1 - i;
    if (c == '<' || c == '\n') return 0;
  }
  return 0;
}

// A number as a spreadsheet shows it in its general format: integers in full up to 15
// digits, other values with up to 15 significant digits.
std::string spreadsheet_number(double p_value) {
  if (p_value == 0) return "0";
  char buf[64];
  if (std::fabs(p_value) < 1e15 && p_value == std::trunc(p_value))
    std::snprintf(buf, sizeof buf, "%.0f", p_value);
  else
    std::snprintf(buf, sizeof buf, "%.15g", p_value);
  return buf;
}

// Whether the whole text is a decimal number: sign, digits, a fraction, an exponent.
bool is_number_text(std::string_view p_text) {
  size_t i = 0, digits = 0;
  if (i < p_text.size() && (p_text[i] == '+' || p_text[i] == '-')) ++i;
  for (; i < p_text.size() && is_digit(p_text[i]); ++i) ++digits;
  if (i < p_text.size() && p_text[i] == '.')
    for (++i; i < p_text.size() && is_digit(p_text[i]); ++i) ++digits;
  if (digits == 0) return false;
  if (i < p_text.size() && (p_text[i] == 'e' || p_text[i] == 'E')) {
    ++i;
    if (i < p_text.size() && (p_text[i] == '+' || p_text[i] == '-')) ++i;
    const size_t start = i;
    while (i < p_text.size() && is_digit(p_text[i])) ++i;
    if (i == start) return false;
  }
  return i == p_text.size();
}

// Arithmetic of a formula: numbers, + - * /, unary signs and parentheses, nested at most
// kMaxDepth deep. Fails on anything else, on division by zero and on a non-finite result.
class Formula {
 public:
  explicit Formula(std::string_view p_text) : s_(p_text) {}

  std::optional<double> value() {
    std::optional<double> v = sum(0);
    skip_blanks();
    if (!v || pos_ != s_.size() || !std::isfinite(*v)) return std::nullopt;
    return v;
  }

 private:
  static constexpr int kMaxDepth = 32;

  void skip_blanks() {
    while (pos_ < s_.size() && s_[pos_] == ' ') ++pos_;
  }
  bool take(char c) {
    skip_blanks();
    if (pos_ < s_.size() && s_[pos_] == c) return ++pos_, true;
    return false;
  }
  std::optional<double> sum(int depth) {
    std::optional<double> v = product(depth);
    while (v) {
      if (take('+')) {
        std::optional<double> r = product(depth);
        v = r ? std::optional(*v + *r) : std::nullopt;
      } else if (take('-')) {
        std::optional<double> r = product(depth);
        v = r ? std::optional(*v - *r) : std::nullopt;
      } else {
        break;
      }
    }
    return v;
  }
  std::optional<double> product(int depth) {
    std::optional<double> v = unary(depth);
    while (v) {
      if (take('*')) {
        std::optional<double> r = unary(depth);
        v = r ? std::optional(*v * *r) : std::nullopt;
      } else if (take('/')) {
        std::optional<double> r = unary(depth);
        v = r && *r != 0 ? std::optional(*v / *r) : std::nullopt;
      } else {
        break;
      }
    }
    return v;
  }
  std::optional<double> unary(int depth) {
    if (depth > kMaxDepth) return std::nullopt;
    if (take('-')) {
      std::optional<double> v = unary(depth + 1);
      return v ? std::optional(-*v) : std::nullopt;
    }
    if (take('+')) return unary(depth + 1);
    if (take('(')) {
      std::optional<double> v = sum(depth + 1);
      return v && take(')') ? v : std::nullopt;
    }
    return number();
  }
  std::optional<double> number() {
    skip_blanks();
    const size_t start = pos_;
    while (pos_ < s_.size() && (is_digit(s_[pos_]) || s_[pos_] == '.')) ++pos_;
    const std::string digits(s_.substr(start, pos_ - start));
    if (digits.empty() || !is_number_text(digits)) return std::nullopt;
    return std::strtod(digits.c_str(), nullptr);
  }

  std::string_view s_;
  size_t pos_ = 0;
};

}  // namespace

std::vector<std::string> find_placeholders(std::string_view p_text) {
  std::vector<std::string> found;
  for (size_t i = 0; i < p_text.size();) {
    const char c = p_text[i];
    size_t n = 0;
    if ((c == '%' || c == '{' || c == '}') && i + 1 < p_text.size() && p_text[i + 1] == c) {
      i += 2;  // a literal "%%", "{{" or "}}"
      continue;
    }
    if (c == '%')
      n = printf_length(p_text, i);
    else if (c == '{')
      n = brace_length(p_text, i);
    else if (c == '<')
      n = tag_length(p_text, i);
    if (n > 0) found.emplace_back(p_text.substr(i, n));
    i += n > 0 ? n : 1;
  }
  std::sort(found.begin(), found.end());
  return found;
}

bool is_spreadsheet_error(std::string_view p_text) {
  static constexpr std::array<std::string_view, 7> kErrors{"#NAME?", "#VALUE!", "#REF!", "#DIV/0!",
                                                           "#N/A",   "#NUM!",   "#NULL!"};
  return std::find(kErrors.begin(), kErrors.end(), p_text) != kErrors.end();
}

std::optional<std::string> spreadsheet_reading(std::string_view p_text) {
  if (p_text.size() > 256) return std::nullopt;
  std::optional<double> value;
  if (p_text.size() > 1 && p_text[0] == '=')
    value = Formula(p_text.substr(1)).value();
  else if (is_number_text(p_text))
    value = std::strtod(std::string(p_text).c_str(), nullptr);
  if (!value || !std::isfinite(*value)) return std::nullopt;
  std::string shown = spreadsheet_number(*value);
  if (shown == p_text) return std::nullopt;
  return shown;
}

}  // namespace verbix
