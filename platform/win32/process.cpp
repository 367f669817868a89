// Processes on POSIX: spawning without a shell, exit codes, the polite close; see process.h.
#include "platform/win32/process.h"

#include <fcntl.h>
#include <signal.h>
#include <spawn.h>
#include <sys/resource.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cerrno>
#include <climits>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <fstream>
#include <map>

#include "platform/win32/paths.h"

extern char** environ;

namespace win32 {

namespace {

constexpr std::intptr_t kShellOk = 42;

// Children this process started: they are reaped here, and their exit codes kept.
struct Child {
  bool ended = false;
  DWORD exit_code = 0;
};

std::map<pid_t, Child>& Children() {
  static std::map<pid_t, Child> children;
  return children;
}

std::string& DocumentOpener() {
  static std::string opener = "xdg-open";
  return opener;
}

struct ProcessObject : Win32Handle {
  pid_t pid = 0;
};

ProcessObject* AsProcess(HANDLE object) {
  if (!object || object == INVALID_HANDLE_VALUE) return nullptr;
  return dynamic_cast<ProcessObject*>(object);
}

// A process id as a single positive pid, or 0 (kill and waitpid give other values meanings
// for whole process groups).
pid_t AsPid(DWORD process_id) {
  if (process_id == 0 || process_id > static_cast<DWORD>(INT_MAX)) return 0;
  return static_cast<pid_t>(process_id);
}

// Collects the exit status of a child that has ended.
void Reap(pid_t pid, Child& child) {
  if (child.ended) return;
  int status = 0;
  pid_t done = ::waitpid(pid, &status, WNOHANG);
  if (done == pid) {
    child.ended = true;
    if (WIFEXITED(status)) {
      child.exit_code = static_cast<DWORD>(WEXITSTATUS(status));
    } else if (WIFSIGNALED(status)) {
      child.exit_code = 128u + static_cast<DWORD>(WTERMSIG(status));
    }
  } else if (done < 0 && errno == ECHILD) {
    child.ended = true;  // reaped elsewhere: its code is lost
  }
}

// A process that is not ours: alive when /proc lists it and it is not a zombie.
bool ForeignAlive(pid_t pid) {
  std::ifstream stat("/proc/" + std::to_string(pid) + "/stat");
  if (!stat) return false;
  std::string line;
  std::getline(stat, line);
  std::size_t close = line.rfind(')');
  if (close == std::string::npos || close + 2 >= line.size()) return false;
  char state = line[close + 2];
  return state != 'Z' && state != 'X';
}

bool IsExecutableFile(const std::string& path) {
  struct stat st;
  return ::stat(path.c_str(), &st) == 0 && S_ISREG(st.st_mode) && ::access(path.c_str(), X_OK) == 0;
}

// The program a name stands for: a path from the current folder, else for a bare name the
// first match on PATH. Empty when nothing is found.
std::string FindProgram(const std::string& name) {
  if (name.empty()) return std::string();
  std::string native = NativePath(name);
  if (IsExecutableFile(native)) return native;
  if (name.find_first_of("\\/") != std::string::npos) return std::string();
  const char* path = std::getenv("PATH");
  std::string folders = path ? path : "/usr/local/bin:/usr/bin:/bin";
  std::size_t start = 0;
  while (start <= folders.size()) {
    std::size_t end = folders.find(':', start);
    if (end == std::string::npos) end = folders.size();
    std::string folder = folders.substr(start, end - start);
    if (!folder.empty()) {
      std::string candidate = folder + "/" + name;
      if (IsExecutableFile(candidate)) return candidate;
    }
    start = end + 1;
  }
  return std::string();
}

// Starts program with args in folder (empty: the current one); the new pid, or 0.
pid_t Spawn(const std::string& program, const std::vector<std::string>& args,
            const std::string& folder) {
  // Children nobody asks about (a program opened without waiting) are collected here, so they
  // do not linger as zombies.
  for (auto& [pid, child] : Children()) Reap(pid, child);
  posix_spawn_file_actions_t actions;
  if (::posix_spawn_file_actions_init(&actions) != 0) return 0;
  if (!folder.empty() && ::posix_spawn_file_actions_addchdir_np(&actions, folder.c_str()) != 0) {
    ::posix_spawn_file_actions_destroy(&actions);
    return 0;
  }
  std::vector<char*> argv;
  for (const std::string& arg : args) argv.push_back(const_cast<char*>(arg.c_str()));
  argv.push_back(nullptr);
  pid_t pid = 0;
  int failed = ::posix_spawn(&pid, program.c_str(), &actions, nullptr, argv.data(), environ);
  ::posix_spawn_file_actions_destroy(&actions);
  if (failed != 0) return 0;
  Children()[pid] = Child{};
  return pid;
}

HANDLE NewProcessHandle(pid_t pid) {
  auto* process = new ProcessObject;
  process->pid = pid;
  return process;
}

// A folder argument as a native folder: empty stays empty (the current one); a folder that
// does not exist gives nullopt-like failure through ok.
std::string NativeFolder(LPCSTR folder, bool& ok) {
  ok = true;
  if (!folder || !*folder) return std::string();
  std::string native = NativePath(folder);
  struct stat st;
  ok = !native.empty() && ::stat(native.c_str(), &st) == 0 && S_ISDIR(st.st_mode);
  return native;
}

// The shell's "open"; returns the started pid through pid (0 for none) and the shell result.
std::intptr_t ShellOpen(LPCSTR verb, LPCSTR file, LPCSTR parameters, LPCSTR folder, pid_t& pid) {
  pid = 0;
  if (verb && *verb && std::strcmp(verb, "open") != 0) return SE_ERR_NOASSOC;
  if (!file || !*file) return SE_ERR_FNF;
  bool folder_ok = true;
  std::string work = NativeFolder(folder, folder_ok);
  if (!folder_ok) return SE_ERR_PNF;

  std::string program = FindProgram(file);
  if (program.empty() && !work.empty()) {
    std::string in_folder = FindProgram(std::string(folder) + "\\" + file);
    if (!in_folder.empty()) program = in_folder;
  }
  if (!program.empty()) {
    std::vector<std::string> args{program};
    for (std::string& arg : CommandLineToArgs(parameters ? parameters : ""))
      args.push_back(std::move(arg));
    pid = Spawn(program, args, work);
    return pid ? kShellOk : SE_ERR_ACCESSDENIED;
  }

  // A document, a folder or an address: the desktop's opener decides what to start.
  std::string target = file;
  bool is_address = target.find("://") != std::string::npos;
  if (!is_address) {
    target = NativePath(file);
    struct stat st;
    if (target.empty() || ::stat(target.c_str(), &st) != 0) {
      std::string in_folder =
          work.empty() ? std::string() : NativePath(std::string(folder) + "\\" + file);
      if (in_folder.empty() || ::stat(in_folder.c_str(), &st) != 0) return SE_ERR_FNF;
      target = in_folder;
    }
    if (target[0] != '/') {
      char* cwd = ::getcwd(nullptr, 0);
      if (cwd) target = std::string(cwd) + "/" + target;
      std::free(cwd);
    }
  }
  std::string opener = FindProgram(DocumentOpener());
  if (opener.empty()) return SE_ERR_NOASSOC;
  pid = Spawn(opener, {opener, target}, work);
  return pid ? kShellOk : SE_ERR_NOASSOC;
}

}  // namespace

std::vector<std::string> CommandLineToArgs(std::string_view line) {
  std::vector<std::string> args;
  std::size_t i = 0;
  while (i < line.size()) {
    while (i < line.size() && (line[i] == ' ' || line[i] == '\t')) ++i;
    if (i >= line.size()) break;
    std::string arg;
    bool quoted = false;
    while (i < line.size()) {
      char c = line[i];
      if (!quoted && (c == ' ' || c == '\t')) break;
      if (c == '\\') {
        std::size_t run = 0;
        while (i < line.size() && line[i] == '\\') ++run, ++i;
        if (i < line.size() && line[i] == '"') {
          arg.append(run / 2, '\\');
          if (run % 2 == 1) {
            arg += '"';
            ++i;
          }
        } else {
          arg.append(run, '\\');
        }
        continue;
      }
      if (c == '"') {
        if (quoted && i + 1 < line.size() && line[i + 1] == '"') {
          arg += '"';
          i += 2;
          continue;
        }
        quoted = !quoted;
        ++i;
        continue;
      }
      arg += c;
      ++i;
    }
    args.push_back(std::move(arg));
  }
  return args;
}

BOOL CreateProcessA(LPCSTR application, LPSTR command_line, void* process_security,
                    void* thread_security, BOOL inherit_handles, DWORD creation_flags,
                    void* environment, LPCSTR folder, STARTUPINFOA* startup,
                    PROCESS_INFORMATION* information) {
  if (information) std::memset(information, 0, sizeof *information);
  std::vector<std::string> args = CommandLineToArgs(command_line ? command_line : "");
  std::string name = application && *application ? application : args.empty() ? "" : args[0];
  std::string program = FindProgram(name);
  if (program.empty()) return FALSE;
  if (args.empty()) args.push_back(program);
  bool folder_ok = true;
  std::string work = NativeFolder(folder, folder_ok);
  if (!folder_ok) return FALSE;
  pid_t pid = Spawn(program, args, work);
  if (pid == 0) return FALSE;
  // Raising the priority needs a privilege most users lack; the process runs either way.
  if (creation_flags & HIGH_PRIORITY_CLASS) ::setpriority(PRIO_PROCESS, static_cast<id_t>(pid), -5);
  if (information) {
    information->hProcess = NewProcessHandle(pid);
    information->dwProcessId = static_cast<DWORD>(pid);
  }
  return TRUE;
}

HINSTANCE ShellExecuteA(HWND window, LPCSTR verb, LPCSTR file, LPCSTR parameters, LPCSTR folder,
                        INT show) {
  pid_t pid = 0;
  std::intptr_t result = ShellOpen(verb, file, parameters, folder, pid);
  return reinterpret_cast<HINSTANCE>(result);
}

BOOL ShellExecuteExA(SHELLEXECUTEINFOA* info) {
  if (!info) return FALSE;
  pid_t pid = 0;
  std::intptr_t result =
      ShellOpen(info->lpVerb, info->lpFile, info->lpParameters, info->lpDirectory, pid);
  info->hInstApp = reinterpret_cast<HINSTANCE>(result);
  info->hProcess = nullptr;
  if (result <= 32) return FALSE;
  if ((info->fMask & SEE_MASK_NOCLOSEPROCESS) && pid) info->hProcess = NewProcessHandle(pid);
  return TRUE;
}

HANDLE OpenProcess(DWORD access, BOOL inherit_handle, DWORD process_id) {
  pid_t pid = AsPid(process_id);
  if (pid == 0) return nullptr;
  auto child = Children().find(pid);
  if (child == Children().end() && !ForeignAlive(pid)) return nullptr;
  return NewProcessHandle(pid);
}

BOOL GetExitCodeProcess(HANDLE object, DWORD* exit_code) {
  ProcessObject* process = AsProcess(object);
  if (!process || !exit_code) return FALSE;
  auto child = Children().find(process->pid);
  if (child != Children().end()) {
    Reap(process->pid, child->second);
    *exit_code = child->second.ended ? child->second.exit_code : STILL_ACTIVE;
    return TRUE;
  }
  // Another program's process: its exit code is not ours to collect.
  *exit_code = ForeignAlive(process->pid) ? STILL_ACTIVE : 0;
  return TRUE;
}

DWORD GetProcessId(HANDLE object) {
  ProcessObject* process = AsProcess(object);
  return process ? static_cast<DWORD>(process->pid) : 0;
}

DWORD GetCurrentProcessId() {
  return static_cast<DWORD>(::getpid());
}

BOOL PostCloseToProcessWindows(DWORD process_id) {
  pid_t pid = AsPid(process_id);
  if (pid < 2 || pid == ::getpid()) return FALSE;
  auto child = Children().find(pid);
  if (child != Children().end()) {
    Reap(pid, child->second);
    if (child->second.ended) return FALSE;  // the pid may belong to someone else by now
  }
  return ::kill(pid, SIGTERM) == 0 ? TRUE : FALSE;
}

namespace testing {

void SetDocumentOpener(const char* program) {
  DocumentOpener() = program ? program : "xdg-open";
}

}  // namespace testing

}  // namespace win32
