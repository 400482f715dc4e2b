// The thin layer between the window code and customtkinter, so that the window reads as
// layout and behaviour: widgets made with their options, grid and pack places, values read
// and written, states given as tkinter's own constant objects (customtkinter compares some of
// them by identity), fonts as real tuples, commands that call C++ and never let an error
// escape unreported into Tk, and the standard dialogs looked up at each call so that they can
// be replaced (tests do).
#pragma once

#include <functional>
#include <initializer_list>
#include <memory>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

#include "../bindings.h"
#include "utils/reporting.h"

namespace verbix::py::tk {

// The customtkinter module.
nb::module_ ctk();

// Widget states as tkinter's constant objects: "normal", "disabled", and an interned
// "readonly" (entries only).
nb::object normal();
nb::object disabled();
nb::object readonly();

// A font as the (family, size) tuple customtkinter requires.
nb::tuple font(std::string_view family, int size);

// A padding of the geometry managers: one value for both sides, or a (before, after) pair.
struct Pad {
  Pad(int both) : a(both), b(both) {}  // NOLINT: a padding reads best as a plain number
  Pad(int before, int after) : a(before), b(after) {}
  nb::object value() const;
  int a, b;
};

// A place on a grid.
struct Cell {
  int row = 0;
  int column = 0;
  Pad padx = 0;
  Pad pady = 0;
  std::string sticky;
  int columnspan = 1;
};
void grid(nb::handle widget, const Cell& cell);

// Keyword options of a widget: name and value.
using Options = std::vector<std::pair<const char*, nb::object>>;

// A customtkinter widget of the named kind, with its options.
nb::object make(const char* kind, nb::handle master, const Options& options);

// Text of an entry or value of a combo box, and its replacement.
std::string text(nb::handle widget);
void set_combo(nb::handle combo, std::string_view value);

// Makes pending idle tasks (redraws) run now, while a command keeps the event loop busy.
void process_idle(nb::handle root);

// The width a combo box needs to show each of `values` whole in `font` (family, size in
// pixels as customtkinter reads it), beside its arrow button; at least `min_width`. In the
// toolkit's unscaled pixels, as widths are given.
int combo_width(nb::handle combo, nb::handle font, nb::handle values, int min_width);

// Turns C++ work into commands for Tk. Every command reports a C++ or Python error through
// the window it was made for (log line, flush, error box) instead of letting it reach Tk's
// callback loop, and does nothing once the window is gone, so a late call (a stale button
// object, a queued event) never reaches a destroyed window.
class Commands {
 public:
  explicit Commands(Window* window) : window_(window), alive_(std::make_shared<bool>(true)) {}
  // After this every command made here returns at once.
  void retire() { *alive_ = false; }
  bool alive() const { return *alive_; }

  // A command taking any arguments (Tk passes an event to bindings, none to buttons).
  nb::object make(const char* name, std::function<void()> fn) const;
  // An event handler that consumes the event: it returns "break".
  nb::object breaker() const;

  // Runs `fn` under the same guard; true when it ended without an error.
  bool guard(const char* name, const std::function<void()>& fn) const;

 private:
  Window* window_;
  std::shared_ptr<bool> alive_;
};

// The standard dialogs, from tkinter.filedialog and tkinter.messagebox at each call.
// File choosers return the chosen path, or the empty text when cancelled.
using FileTypes = std::vector<std::pair<std::string, std::string>>;
std::string ask_open_file(nb::handle parent, std::string_view title, std::string_view initialdir,
                          const FileTypes& filetypes);
std::string ask_directory(nb::handle parent, std::string_view title, std::string_view initialdir);
void show_error(nb::handle parent, std::string_view title, std::string_view message);
bool ask_yes_no(nb::handle parent, std::string_view title, std::string_view message);

// The window system of Tk: "win32", "x11" or "aqua".
std::string windowing_system(nb::handle root);

// Cancels the pending timer jobs of the interpreter and destroys the window.
void destroy_root(nb::handle root);

}  // namespace verbix::py::tk
