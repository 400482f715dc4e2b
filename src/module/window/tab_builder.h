// The widgets of the window's tabs, each placed in its grid cell with the window's font:
// what every tab's layout is built from.
#pragma once

#include <nanobind/nanobind.h>

#include <array>
#include <string>
#include <string_view>

#include "window/toolkit.h"

namespace verbix::py {

inline nb::str str_of(std::string_view text) { return nb::str(text.data(), text.size()); }

// The option texts of a combo box.
template <size_t N>
nb::list values_of(const std::array<std::string_view, N>& options) {
  nb::list out;
  for (std::string_view v : options) out.append(str_of(v));
  return out;
}

// The widgets of the tabs, with the window's font and the label's image placement.
struct TabBuilder {
  nb::handle tab;
  nb::handle font;

  nb::object label(const char* text, const tk::Cell& cell) const {
    nb::object w = tk::make(
        "CTkLabel", tab,
        {{"text", str_of(text)}, {"font", nb::borrow(font)}, {"compound", str_of("left")}});
    tk::grid(w, cell);
    return w;
  }
  nb::object entry(int width, const tk::Cell& cell) const {
    tk::Options options = {{"font", nb::borrow(font)}};
    if (width) options.emplace_back("width", nb::int_(width));
    nb::object w = tk::make("CTkEntry", tab, options);
    tk::grid(w, cell);
    return w;
  }
  // A read-only entry showing `text`.
  nb::object path_entry(const std::string& text, const tk::Cell& cell) const {
    nb::object w = entry(0, cell);
    w.attr("insert")(0, str_of(text));
    w.attr("configure")(nb::arg("state") = tk::readonly());
    return w;
  }
  nb::object combo(nb::list values, int width, const tk::Cell& cell) const {
    nb::object w =
        tk::make("CTkComboBox", tab,
                 {{"values", values}, {"width", nb::int_(width)}, {"font", nb::borrow(font)}});
    tk::grid(w, cell);
    return w;
  }
  nb::object button(const char* text, nb::object command, int width, const tk::Cell& cell) const {
    tk::Options options = {
        {"text", str_of(text)}, {"font", nb::borrow(font)}, {"command", command}};
    if (width) options.emplace_back("width", nb::int_(width));
    nb::object w = tk::make("CTkButton", tab, options);
    tk::grid(w, cell);
    return w;
  }
};

}  // namespace verbix::py
