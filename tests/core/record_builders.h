// Small builders for the parts of a record that the core tests write out by hand.
#pragma once

#include <initializer_list>
#include <string>
#include <utility>

#include "data/value.h"

namespace verbix::testing {

// A list of texts: the lines of a text_lut entry, or a section entry's content ids.
inline Value lines(std::initializer_list<const char*> texts) {
  List out;
  for (const char* t : texts) out.emplace_back(t);
  return Value(std::move(out));
}

// A section entry: its speaker id (or "[CHOICES]") and its content ids.
inline Value entry(std::string name, List ids) {
  return Value(Map{{"name", std::move(name)}, {"text", std::move(ids)}});
}

// One DialogueMeta place: [line or row number, text].
inline Value pair(long long line, std::string text) { return Value(List{line, std::move(text)}); }

}  // namespace verbix::testing
