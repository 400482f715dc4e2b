// The core's console and host facts, served by the Python host: log lines go through
// sys.stdout (so they interleave with the host's own output), prompts read sys.stdin, and
// the host's streams are flushed before the process is ended.
#include <cstdio>

#include "bindings.h"
#include "utils/log_service.h"
#include "utils/paths.h"

#ifdef _WIN32
#include <windows.h>
#else
#include <dlfcn.h>
#endif

namespace verbix::py {
namespace {

void host_write(std::string_view text) {
  nb::gil_scoped_acquire gil;
  try {
    nb::object out = nb::module_::import_("sys").attr("stdout");
    if (!out.is_none()) {
      out.attr("write")(nb::str(text.data(), text.size()));
      return;
    }
  } catch (const nb::python_error&) {
  }
  std::fwrite(text.data(), 1, text.size(), stdout);
}

void host_wait_for_enter() {
  nb::gil_scoped_acquire gil;
  try {
    nb::object sys = nb::module_::import_("sys");
    sys.attr("stdout").attr("flush")();
    nb::object in = sys.attr("stdin");
    if (!in.is_none()) in.attr("readline")();
  } catch (const nb::python_error&) {
    // Closed or absent input: nothing to wait for.
  }
}

void host_flush() {
  nb::gil_scoped_acquire gil;
  nb::object sys = nb::module_::import_("sys");
  for (const char* name : {"stdout", "stderr"}) {
    try {
      nb::object stream = sys.attr(name);
      if (!stream.is_none()) stream.attr("flush")();
    } catch (const nb::python_error&) {
    }
  }
}

// The file this extension was loaded from.
std::string own_module_file() {
#ifdef _WIN32
  HMODULE self = nullptr;
  GetModuleHandleExW(
      GET_MODULE_HANDLE_EX_FLAG_FROM_ADDRESS | GET_MODULE_HANDLE_EX_FLAG_UNCHANGED_REFCOUNT,
      reinterpret_cast<LPCWSTR>(&own_module_file), &self);
  wchar_t buf[32768];
  const DWORD n = GetModuleFileNameW(self, buf, 32768);
  return path_text(std::filesystem::path(std::wstring(buf, n)));
#else
  Dl_info info{};
  if (dladdr(reinterpret_cast<void*>(&own_module_file), &info) && info.dli_fname)
    return info.dli_fname;
  return {};
#endif
}

std::string main_script_file() {
  try {
    nb::object main = nb::module_::import_("__main__");
    if (nb::hasattr(main, "__file__")) return text_of(main.attr("__file__"));
  } catch (const nb::python_error&) {
  }
  return {};
}

}  // namespace

void install_host(nb::module_&) {
  utils.console = {host_write, host_wait_for_enter, host_flush};
  utils.host.module_file = own_module_file();
  utils.host.main_file = main_script_file();
  utils.host.executable = text_of(nb::module_::import_("sys").attr("executable"));
}

std::string text_of(nb::handle value) { return nb::cast<std::string>(nb::str(value)); }

std::string path_arg(nb::handle value) {
  if (nb::isinstance<nb::str>(value)) return nb::cast<std::string>(value);
  return nb::cast<std::string>(nb::module_::import_("os").attr("fspath")(value));
}

}  // namespace verbix::py
