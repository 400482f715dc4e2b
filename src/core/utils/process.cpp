#include "utils/process.h"

#include "utils/os_error.h"

#ifdef _WIN32
#include <windows.h>

#include "utils/paths.h"
#else
#include <poll.h>
#include <spawn.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cerrno>
#include <cstdlib>

extern char** environ;
#endif

namespace verbix {

#ifdef _WIN32
namespace {

std::wstring widen(const std::string& s) { return fs_path(s).wstring(); }
std::string to_narrow(const std::wstring& s) { return path_text(std::filesystem::path(s)); }

// One argument quoted as the C runtime parses command lines. Characters that the command
// interpreter splits or redirects at outside quotes (& | < > ^ ( ) , ; =) are quoted too, so
// that a path given to its fallbacks reaches it whole and names no other file.
std::wstring quote_argument(const std::wstring& arg) {
  if (!arg.empty() && arg.find_first_of(L" \t\"&|<>^(),;=") == std::wstring::npos) return arg;
  std::wstring out = L"\"";
  size_t slashes = 0;
  for (wchar_t c : arg) {
    if (c == L'\\') {
      ++slashes;
      continue;
    }
    out.append(c == L'"' ? slashes * 2 + 1 : slashes, L'\\');
    slashes = 0;
    out += c;
  }
  out.append(slashes * 2, L'\\');
  return out + L"\"";
}

std::wstring command_line(const std::vector<std::string>& argv) {
  std::wstring line;
  for (const std::string& arg : argv) {
    if (!line.empty()) line += L' ';
    line += quote_argument(widen(arg));
  }
  return line;
}

std::string read_pipe(HANDLE h) {
  std::string data;
  char buf[4096];
  DWORD got = 0;
  while (ReadFile(h, buf, sizeof buf, &got, nullptr) && got > 0) data.append(buf, got);
  return data;
}

OsError last_error(const std::string& what) {
  return OsError(std::error_code(static_cast<int>(GetLastError()), std::system_category()), what);
}

}  // namespace

CommandResult run_command(const std::vector<std::string>& argv) {
  SECURITY_ATTRIBUTES sa{sizeof sa, nullptr, TRUE};
  HANDLE out_r, out_w, err_r, err_w;
  if (!CreatePipe(&out_r, &out_w, &sa, 0)) throw last_error(argv[0]);
  if (!CreatePipe(&err_r, &err_w, &sa, 0)) throw last_error(argv[0]);
  SetHandleInformation(out_r, HANDLE_FLAG_INHERIT, 0);
  SetHandleInformation(err_r, HANDLE_FLAG_INHERIT, 0);
  STARTUPINFOW si{};
  si.cb = sizeof si;
  si.dwFlags = STARTF_USESTDHANDLES;
  si.hStdInput = GetStdHandle(STD_INPUT_HANDLE);
  si.hStdOutput = out_w;
  si.hStdError = err_w;
  PROCESS_INFORMATION pi{};
  std::wstring line = command_line(argv);
  const BOOL ok = CreateProcessW(nullptr, line.data(), nullptr, nullptr, TRUE, CREATE_NO_WINDOW,
                                 nullptr, nullptr, &si, &pi);
  CloseHandle(out_w);
  CloseHandle(err_w);
  if (!ok) {
    CloseHandle(out_r);
    CloseHandle(err_r);
    throw last_error(argv[0]);
  }
  // Standard error is small for these commands; drain it after standard output.
  CommandResult result;
  result.out = read_pipe(out_r);
  result.err = read_pipe(err_r);
  WaitForSingleObject(pi.hProcess, INFINITE);
  DWORD code = 1;
  GetExitCodeProcess(pi.hProcess, &code);
  result.status = static_cast<int>(code);
  CloseHandle(pi.hProcess);
  CloseHandle(pi.hThread);
  CloseHandle(out_r);
  CloseHandle(err_r);
  return result;
}

void start_command_line(const std::string& text) {
  STARTUPINFOW si{};
  si.cb = sizeof si;
  PROCESS_INFORMATION pi{};
  std::wstring line = widen(text);
  if (!CreateProcessW(nullptr, line.data(), nullptr, nullptr, FALSE, DETACHED_PROCESS, nullptr,
                      nullptr, &si, &pi))
    throw last_error(text);
  CloseHandle(pi.hProcess);
  CloseHandle(pi.hThread);
}

void start_detached(const std::vector<std::string>& argv) {
  start_command_line(to_narrow(command_line(argv)));
}

#else

namespace {

std::vector<char*> c_argv(const std::vector<std::string>& argv) {
  std::vector<char*> out;
  for (const std::string& a : argv) out.push_back(const_cast<char*>(a.c_str()));
  out.push_back(nullptr);
  return out;
}

// Reads both pipes to their ends without letting either fill up.
void drain(int out_fd, int err_fd, CommandResult& result) {
  pollfd fds[2] = {{out_fd, POLLIN, 0}, {err_fd, POLLIN, 0}};
  std::string* sinks[2] = {&result.out, &result.err};
  int open = 2;
  char buf[4096];
  while (open > 0) {
    if (poll(fds, 2, -1) < 0) {
      if (errno == EINTR) continue;
      break;
    }
    for (int i = 0; i < 2; ++i) {
      if (fds[i].fd < 0 || !(fds[i].revents & (POLLIN | POLLHUP | POLLERR))) continue;
      const ssize_t got = read(fds[i].fd, buf, sizeof buf);
      if (got > 0) {
        sinks[i]->append(buf, static_cast<size_t>(got));
      } else if (got == 0 || errno != EINTR) {
        close(fds[i].fd);
        fds[i].fd = -1;
        --open;
      }
    }
  }
}

}  // namespace

CommandResult run_command(const std::vector<std::string>& argv) {
  int out_pipe[2], err_pipe[2];
  if (pipe(out_pipe) != 0) throw OsError::from_errno(errno, argv[0]);
  if (pipe(err_pipe) != 0) {
    const int err = errno;
    close(out_pipe[0]);
    close(out_pipe[1]);
    throw OsError::from_errno(err, argv[0]);
  }
  posix_spawn_file_actions_t actions;
  posix_spawn_file_actions_init(&actions);
  posix_spawn_file_actions_adddup2(&actions, out_pipe[1], 1);
  posix_spawn_file_actions_adddup2(&actions, err_pipe[1], 2);
  posix_spawn_file_actions_addclose(&actions, out_pipe[0]);
  posix_spawn_file_actions_addclose(&actions, err_pipe[0]);
  pid_t pid = 0;
  std::vector<char*> args = c_argv(argv);
  const int rc = posix_spawnp(&pid, args[0], &actions, nullptr, args.data(), environ);
  posix_spawn_file_actions_destroy(&actions);
  close(out_pipe[1]);
  close(err_pipe[1]);
  if (rc != 0) {
    close(out_pipe[0]);
    close(err_pipe[0]);
    throw OsError::from_errno(rc, argv[0]);
  }
  CommandResult result;
  drain(out_pipe[0], err_pipe[0], result);
  int status = 0;
  while (waitpid(pid, &status, 0) < 0 && errno == EINTR) {
  }
  result.status = WIFEXITED(status) ? WEXITSTATUS(status) : 128 + WTERMSIG(status);
  return result;
}

void start_detached(const std::vector<std::string>& argv) {
  // A shell in the middle starts the program in the background and exits at once, so the
  // program is re-parented and never left as a zombie of ours.
  if (argv.empty()) throw OsError::from_errno(EINVAL, "");
  const std::string& program = argv[0];
  bool found = program.find('/') != std::string::npos && access(program.c_str(), X_OK) == 0;
  if (!found && program.find('/') == std::string::npos) {
    const char* path_env = std::getenv("PATH");
    std::string paths = path_env ? path_env : "/usr/bin:/bin";
    size_t start = 0;
    while (!found && start <= paths.size()) {
      size_t end = paths.find(':', start);
      if (end == std::string::npos) end = paths.size();
      const std::string dir = paths.substr(start, end - start);
      found = !dir.empty() && access((dir + "/" + program).c_str(), X_OK) == 0;
      start = end + 1;
    }
  }
  if (!found) throw OsError::from_errno(ENOENT, program);
  std::vector<std::string> shell = {"/bin/sh", "-c", "\"$@\" </dev/null >/dev/null 2>&1 &", "sh"};
  shell.insert(shell.end(), argv.begin(), argv.end());
  const CommandResult result = run_command(shell);
  if (result.status != 0) throw OsError::from_errno(ECHILD, program);
}

#endif

}  // namespace verbix
