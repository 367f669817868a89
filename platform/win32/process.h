// Processes the Windows way on POSIX: CreateProcessA with a command line, the shell's "open",
// exit codes with STILL_ACTIVE, and the polite request to close. A command line is split into
// arguments by the Windows rules and handed to the program directly: no shell ever sees it,
// so ";", "|" or "$(...)" in it are plain characters. Depends on files.h (HANDLE objects),
// paths.h and POSIX spawning.
#pragma once

#include <string>
#include <string_view>
#include <vector>

#include "platform/win32/files.h"

#define STILL_ACTIVE 259u
#define SW_HIDE 0
#define SW_SHOWNORMAL 1
#define NORMAL_PRIORITY_CLASS 0x00000020u
#define HIGH_PRIORITY_CLASS 0x00000080u
#define PROCESS_TERMINATE 0x0001u
#define PROCESS_QUERY_INFORMATION 0x0400u
#define SYNCHRONIZE 0x00100000u
#define SEE_MASK_NOCLOSEPROCESS 0x00000040u
#define SE_ERR_FNF 2
#define SE_ERR_PNF 3
#define SE_ERR_ACCESSDENIED 5
#define SE_ERR_NOASSOC 31

struct STARTUPINFOA {
  DWORD cb;
  DWORD dwFlags;
  WORD wShowWindow;
};

struct PROCESS_INFORMATION {
  HANDLE hProcess;
  HANDLE hThread;  // threads are not objects here: always null
  DWORD dwProcessId;
  DWORD dwThreadId;
};

struct SHELLEXECUTEINFOA {
  DWORD cbSize;
  ULONG fMask;
  HWND hwnd;
  LPCSTR lpVerb;
  LPCSTR lpFile;
  LPCSTR lpParameters;
  LPCSTR lpDirectory;
  int nShow;
  HINSTANCE hInstApp;
  HANDLE hProcess;
};

namespace win32 {

// Splits a command line the way a Windows program's C runtime does: spaces and tabs separate
// arguments outside double quotes; 2n backslashes before a quote give n backslashes and a
// quote that opens or closes; 2n+1 give n backslashes and a literal quote; "" inside quotes
// is a literal quote; other backslashes are plain.
std::vector<std::string> CommandLineToArgs(std::string_view command_line);

// Starts application (or, when it is null or empty, the command line's first argument) with the
// command line's arguments, in folder (null: the current one). The program is looked up as a
// path from the current folder and then, for a bare name, on PATH. HIGH_PRIORITY_CLASS asks
// for a higher priority where the system allows it. The process handle must be closed.
BOOL CreateProcessA(LPCSTR application, LPSTR command_line, void* process_security,
                    void* thread_security, BOOL inherit_handles, DWORD creation_flags,
                    void* environment, LPCSTR folder, STARTUPINFOA* startup,
                    PROCESS_INFORMATION* information);

// "open" (or a null verb): a program (a file with execute permission) is started directly with
// the parameters; anything else that exists, a document or a folder, goes to the desktop's
// opener (xdg-open). Returns a value above 32 on success, else SE_ERR_FNF, SE_ERR_ACCESSDENIED
// or SE_ERR_NOASSOC.
HINSTANCE ShellExecuteA(HWND window, LPCSTR verb, LPCSTR file, LPCSTR parameters, LPCSTR folder,
                        INT show);
// As ShellExecuteA; with SEE_MASK_NOCLOSEPROCESS it leaves the started process in hProcess.
BOOL ShellExecuteExA(SHELLEXECUTEINFOA* info);

// A handle on a running (or ended child) process; null when there is no such process.
HANDLE OpenProcess(DWORD access, BOOL inherit_handle, DWORD process_id);
// STILL_ACTIVE while the process runs; its exit status after (a signal n gives 128 + n).
BOOL GetExitCodeProcess(HANDLE process, DWORD* exit_code);
DWORD GetProcessId(HANDLE process);
DWORD GetCurrentProcessId();

// What posting WM_CLOSE to every top-level window of a process comes to here: the process is
// asked to end (SIGTERM), which it may handle as it sees fit. Refused for this process itself,
// for process ids below 2 and for ids that are not a single process.
BOOL PostCloseToProcessWindows(DWORD process_id);

namespace testing {
// The program documents are handed to (default "xdg-open").
void SetDocumentOpener(const char* program);
}  // namespace testing

}  // namespace win32
