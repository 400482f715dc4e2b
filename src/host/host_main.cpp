// Translation Tool.exe: the host program of the portable tool folder on Windows. It starts
// the Python 3.12 that lies beside it (python312.dll; python312._pth names the search path),
// imports the extension module `verbix` and calls `verbix.main`, whose window is the whole
// program. Being the process's executable, it is the tool's own location: the tool folder,
// where "Translator.dat" is looked for and projects are created, is this program's folder.
// It has no console; a failure to start is shown in a message box.
#include <Python.h>
#include <windows.h>
// After windows.h, which it needs.
#include <shellapi.h>

#include <string>

namespace {

constexpr wchar_t kTitle[] = L"Translation Tool";

// Drops a reference on scope exit; null is allowed.
struct Ref {
  PyObject* p;
  explicit Ref(PyObject* o) : p(o) {}
  Ref(const Ref&) = delete;
  Ref& operator=(const Ref&) = delete;
  ~Ref() { Py_XDECREF(p); }
  explicit operator bool() const { return p != nullptr; }
};

std::wstring wide_text(PyObject* text) {
  if (!text) return {};
  wchar_t* chars = PyUnicode_AsWideCharString(text, nullptr);
  if (!chars) return {};
  std::wstring out(chars);
  PyMem_Free(chars);
  return out;
}

// The formatted traceback of an exception object; its plain text when formatting fails.
std::wstring describe(PyObject* exc) {
  Ref traceback(PyImport_ImportModule("traceback"));
  Ref lines(traceback ? PyObject_CallMethod(traceback.p, "format_exception", "O", exc) : nullptr);
  Ref empty(PyUnicode_FromString(""));
  Ref text(lines && empty ? PyUnicode_Join(empty.p, lines.p) : nullptr);
  if (!text) {
    PyErr_Clear();
    Ref plain(PyObject_Str(exc));
    return wide_text(plain.p);
  }
  return wide_text(text.p);
}

void show_error(const std::wstring& text) {
  MessageBoxW(nullptr, text.c_str(), kTitle, MB_OK | MB_ICONERROR);
}

// sys.argv as the process got it: this program's path, then its arguments.
bool set_argv() {
  int argc = 0;
  wchar_t** argv = CommandLineToArgvW(GetCommandLineW(), &argc);
  if (!argv) return false;
  Ref list(PyList_New(0));
  bool ok = static_cast<bool>(list);
  for (int i = 0; ok && i < argc; ++i) {
    Ref item(PyUnicode_FromWideChar(argv[i], -1));
    ok = item && PyList_Append(list.p, item.p) == 0;
  }
  LocalFree(argv);
  return ok && PySys_SetObject("argv", list.p) == 0;
}

// The process's exit status for an exception that ended verbix.main: SystemExit's code as
// Python's own interpreter takes it; any other exception is shown and gives 1.
int status_of(PyObject* exc) {
  if (!PyErr_GivenExceptionMatches(exc, PyExc_SystemExit)) {
    show_error(L"The tool stopped on an unexpected error:\n\n" + describe(exc));
    return 1;
  }
  Ref code(PyObject_GetAttrString(exc, "code"));
  if (!code || code.p == Py_None) return 0;
  if (PyLong_Check(code.p)) return static_cast<int>(PyLong_AsLong(code.p));
  Ref text(PyObject_Str(code.p));
  show_error(wide_text(text.p));
  return 1;
}

// Runs verbix.main(); returns the process's exit status.
int run_tool() {
  if (!set_argv()) PyErr_Clear();
  Ref module(PyImport_ImportModule("verbix"));
  Ref main(module ? PyObject_GetAttrString(module.p, "main") : nullptr);
  Ref result(main ? PyObject_CallNoArgs(main.p) : nullptr);
  if (!result) {
    Ref exc(PyErr_GetRaisedException());
    return exc ? status_of(exc.p) : 1;
  }
  if (PyLong_Check(result.p)) return static_cast<int>(PyLong_AsLong(result.p));
  return 0;
}

}  // namespace

int WINAPI wWinMain(HINSTANCE, HINSTANCE, PWSTR, int) {
  Py_InitializeEx(0);
  const int status = run_tool();
  if (Py_FinalizeEx() < 0 && status == 0) return 120;
  return status;
}
