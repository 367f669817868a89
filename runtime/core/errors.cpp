// Runtime errors: the error word and its writers, the last error's detail, the opt-in log that
// receives every error and notice as it happens, and the one warning a program gets when it
// calls the runtime before opening it.
#include "runtime/core/errors.h"

#include <sys/stat.h>

#include <cerrno>
#include <cstdarg>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <system_error>

#include "platform/win32/paths.h"
#include "runtime/core/core_data.h"
#include "tessark/errors.h"

namespace tessark {

CoreData* CoreDataGet();

namespace {

std::int32_t* g_error_word = nullptr;
char g_detail[kErrorDetailSize] = {};
ErrorLogFn g_log = nullptr;
void* g_log_context = nullptr;
bool g_logging = false;  // a report is being logged: one the log raises itself is not logged
bool g_opening = false;
bool g_warned = false;

// TESSARK_LOG: unset, empty or "0" is off; "1" or "stderr" prints on standard error; anything
// else names a file the reports are appended to (standard error when it cannot be opened).
void LogToEnvironment(const ErrorReport& report) {
  const char* target = std::getenv("TESSARK_LOG");
  if (!target || !*target || std::strcmp(target, "0") == 0) return;
  std::FILE* out = stderr;
  if (std::strcmp(target, "1") != 0 && std::strcmp(target, "stderr") != 0) {
    out = std::fopen(target, "a");
    if (!out) out = stderr;
  }
  if (report.code == 0 && report.notice) {
    std::fprintf(out, "tessark: notice: %s\n", report.sentence);
  } else {
    std::fprintf(out, "tessark: error %d (%s)%s%s\n", report.code, report.sentence,
                 *report.detail ? ": " : "", report.detail);
  }
  if (out != stderr) std::fclose(out);
}

void Log(const ErrorReport& report) {
  if (g_logging) return;
  g_logging = true;
  LogToEnvironment(report);
  if (g_log) g_log(report, g_log_context);
  g_logging = false;
}

// Open means RuntimeOpen made the window: a runtime whose display refused still paces frames and
// answers its window.
bool Open() {
  return g_opening || CoreDataGet()->window;
}

// Says once per process that `what` happened while the runtime was not open, and what to do.
void WarnNotOpen(const std::string& what) {
  if (g_warned) return;
  g_warned = true;
  std::fprintf(
      stderr,
      "tessark: %s while the runtime is not open; such calls do nothing\n"
      "  (RuntimeRunning answers false).\n"
      "  A game either defines GameMain() and links the runtime's own main (tessark_main),\n"
      "  which opens the runtime and then calls it, or keeps its own main() and calls\n"
      "  tessark::RuntimeStart(argc, argv) first and tessark::RuntimeStop() at its end.\n",
      what.c_str());
}

// A report made without an open runtime comes from a call the game made too early.
void CheckReportOpen(const char* report) {
  if (!Open()) WarnNotOpen(std::string("a runtime call reported \"") + report + "\"");
}

void Raise(std::int32_t code) {
  CheckReportOpen(*g_detail ? g_detail : ErrorText(code));
  if (g_error_word) *g_error_word = code;
  Log({false, code, ErrorText(code), g_detail});
}

}  // namespace

// Keeps the word's address in the core and in CoreData's link field.
void ErrorWordSet(std::int32_t* word) {
  g_error_word = word;
  CoreDataGet()->error_word = word;
}

std::int32_t* ErrorWordAddress() {
  return g_error_word;
}

void RuntimeError(std::int32_t code) {
  g_detail[0] = '\0';
  Raise(code);
}

void RuntimeErrorDetail(std::int32_t code, const char* format, ...) {
  std::va_list arguments;
  va_start(arguments, format);
  std::vsnprintf(g_detail, sizeof g_detail, format, arguments);
  va_end(arguments);
  Raise(code);
}

void RuntimeNotice(const char* text) {
  // A notice leaves the word as it is (it would record 0 only over 0).
  CheckReportOpen(text ? text : "");
  Log({true, 0, text ? text : "", ""});
}

void RuntimeNoticeFormat(const char* format, ...) {
  char text[kErrorDetailSize];
  std::va_list arguments;
  va_start(arguments, format);
  std::vsnprintf(text, sizeof text, format, arguments);
  va_end(arguments);
  RuntimeNotice(text);
}

const char* ErrorDetailText() {
  return g_detail;
}

std::string FileProblem(const char* name, const char* otherwise) {
  if (!name || !*name) return "no file name was given";
  const std::string path = win32::NativePath(name);
  struct stat info {};
  if (::stat(path.c_str(), &info) != 0) {
    if (errno != ENOENT && errno != ENOTDIR) return std::strerror(errno);
    std::error_code error;
    if (path[0] == '/') return "no such file";
    return "no such file in " + std::filesystem::current_path(error).string();
  }
  if (S_ISDIR(info.st_mode)) return "it is a folder, not a file";
  std::FILE* probe = std::fopen(path.c_str(), "rb");
  if (!probe) return std::strerror(errno);
  std::fclose(probe);
  return info.st_size == 0 ? "the file is empty" : otherwise;
}

bool RuntimeOpenCheck(const char* call) {
  if (Open()) return true;
  WarnNotOpen(std::string(call) + " was called");
  return false;
}

void RuntimeOpeningSet(bool opening) {
  g_opening = opening;
}

const char* ErrorDetail() {
  return g_detail;
}

void ErrorLogSet(ErrorLogFn log, void* context) {
  g_log = log;
  g_log_context = context;
}

}  // namespace tessark

namespace tessark::testing {
void OpenWarningReset() {
  g_warned = false;
}
}  // namespace tessark::testing
