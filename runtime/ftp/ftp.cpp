// The FTP module: its entries, the connection (connect, reconnect, disconnect, the connection
// check and the reset), failure recording and the queries. Listings and transfers live in
// ftp_transfer.cpp. Depends on the core (CoreData, TextAlloc) and the wininet and win32
// stand-ins.
#include <algorithm>
#include <cstring>
#include <string>
#include <vector>

#include "platform/win32/user.h"
#include "runtime/core/module_table.h"
#include "runtime/core/text_alloc.h"
#include "runtime/ftp/ftp_state.h"
#include "tessark/ftp.h"

namespace tessark::ftp {

namespace {

FtpState g_state;
std::uint32_t (*g_clock)() = nullptr;
void (*g_sleep)(std::uint32_t) = nullptr;

// A full-screen window is minimised while dialling only when the connect asked for it.
bool FullScreenMinimise() {
  const CoreData* core = State().core;
  return State().minimise && core && core->window && core->window_mode == kFullScreenMode;
}

void Wait(std::uint32_t ms) {
  if (g_sleep)
    g_sleep(ms);
  else
    win32::Sleep(ms);
}

// A new text through the core's TextAlloc, holding text.
char* MakeText(const std::string& text) {
  CoreData* core = State().core;
  if (!core || !core->TextAlloc) return TextCopy(text.c_str());
  char* out = nullptr;
  core->TextAlloc(&out, static_cast<std::int32_t>(text.size() + 1));
  if (out) std::memcpy(out, text.c_str(), text.size() + 1);
  return out;
}

// What an error of the stand-in means, for a failure that came without a text.
std::string ErrorWords(DWORD error) {
  switch (error) {
    case ERROR_INTERNET_TIMEOUT:
      return "The server did not answer in time";
    case ERROR_INTERNET_NAME_NOT_RESOLVED:
      return "Could not find the server";
    case ERROR_INTERNET_CANNOT_CONNECT:
      return "Could not connect to the server";
    case ERROR_FTP_DROPPED:
    case ERROR_INTERNET_CONNECTION_ABORTED:
      return "The connection to the server was lost";
    case ERROR_INTERNET_LOGIN_FAILURE:
      return "The server refused the login";
    case ERROR_FTP_TRANSFER_IN_PROGRESS:
      return "A listing or download still holds the connection";
    default:
      return "The FTP operation failed (error " + std::to_string(error) + ")";
  }
}

// A credential or server name that could carry a second command is refused before it is sent.
bool LineFree(const std::string& text) {
  return text.find_first_of("\r\n") == std::string::npos;
}

// Splits a server name into the host and the port: "host", "host:port", "[v6]", "[v6]:port",
// or a bare IPv6 address (two colons or more, which leave no room for a port). Without a port
// the FTP port, 21. False when the port is not a number from 1 to 65535 or a bracket is open.
bool SplitServer(const std::string& server, std::string* host, INTERNET_PORT* port) {
  *host = server;
  *port = INTERNET_DEFAULT_FTP_PORT;
  std::string port_text;
  if (!server.empty() && server.front() == '[') {
    const std::size_t close = server.find(']');
    if (close == std::string::npos) return false;
    *host = server.substr(1, close - 1);
    const std::string rest = server.substr(close + 1);
    if (rest.empty()) return !host->empty();
    if (rest.front() != ':') return false;
    port_text = rest.substr(1);
  } else {
    const std::size_t colon = server.find(':');
    if (colon == std::string::npos || server.find(':', colon + 1) != std::string::npos) return true;
    *host = server.substr(0, colon);
    port_text = server.substr(colon + 1);
  }
  if (port_text.empty() || port_text.size() > 5 ||
      port_text.find_first_not_of("0123456789") != std::string::npos)
    return false;
  const long value = std::stol(port_text);
  if (value < 1 || value > 65535) return false;
  *port = static_cast<INTERNET_PORT>(value);
  return !host->empty();
}

void CloseAll() {
  AbortDownload();
  FtpState& s = State();
  s.listing.reset();
  s.connection.reset();
  s.session.reset();
}

bool Connect(const char* server, const char* user, const char* password, bool minimise) {
  FtpState& s = State();
  s.server = server ? server : "";
  s.user = user ? user : "";
  s.password = password ? password : "";
  if (s.connection) return false;
  s.minimise = minimise;
  s.connected = false;
  s.dialled = false;
  if (!s.session && !wininet::InternetGetConnectedState(nullptr, 0)) {
    if (FullScreenMinimise()) {
      win32::ShowWindow(s.core->window, SW_MINIMIZE);
      win32::ShowCursor(TRUE);
    }
    wininet::InternetAutodial(INTERNET_AUTODIAL_FORCE_UNATTENDED,
                              s.core ? s.core->window : nullptr);
    s.dialled = true;
  }
  if (!LineFree(s.server) || !LineFree(s.user) || !LineFree(s.password)) {
    RecordFailure("Connection refused here: the server, user or password holds a line break");
  } else if (wininet::InternetAttemptConnect(0) != ERROR_SUCCESS) {
    RecordFailure();
  } else {
    if (!s.session) {
      s.session.reset(wininet::InternetOpenA("InternetConnection", INTERNET_OPEN_TYPE_PRECONFIG,
                                             nullptr, nullptr, 0));
      if (!s.session) RecordFailure();
    }
    std::string host;
    INTERNET_PORT port = INTERNET_DEFAULT_FTP_PORT;
    if (s.session && !SplitServer(s.server, &host, &port)) {
      RecordFailure("The server name's port is not a number from 1 to 65535");
      s.session.reset();
    }
    if (s.session) {
      s.connection.reset(wininet::InternetConnectA(s.session.get(), host.c_str(), port,
                                                   s.user.c_str(), s.password.c_str(),
                                                   INTERNET_SERVICE_FTP, INTERNET_FLAG_PASSIVE, 0));
      if (s.connection) {
        s.connected = true;
      } else {
        RecordFailure();
        s.session.reset();
      }
    }
  }
  if (FullScreenMinimise()) {
    win32::ShowWindow(s.core->window, SW_MAXIMIZE);
    if (s.dialled) win32::ShowCursor(FALSE);
  }
  if (!s.connected) ReportFailure(kFtpConnectFailed);
  return s.connected;
}

// --- Module entries --------------------------------------------------------------------------

void Constructor(void*) {}

void SetErrorHandler(std::int32_t* error_word) {
  State().error_word = error_word;
}

void PassCoreData(CoreData* core) {
  State().core = core;
}

// Closes what is open and leaves the module as new.
void Destructor() {
  CloseAll();
  FtpState& s = State();
  s = FtpState{};
}

}  // namespace

FtpState& State() {
  return g_state;
}

std::uint32_t Now() {
  return g_clock ? g_clock() : win32::timeGetTime();
}

void ReportFailure(std::int32_t) {}

void RecordFailure() {
  FtpState& s = State();
  if (s.failure_pending) return;
  char buffer[kFailureTextSize] = {};
  DWORD error = 0;
  DWORD length = sizeof buffer;
  if (wininet::InternetGetLastResponseInfoA(&error, buffer, &length)) {
    s.failure_text.assign(buffer, std::min<std::size_t>(length, kFailureTextSize - 1));
  } else if (wininet::GetLastError() == ERROR_INSUFFICIENT_BUFFER) {
    // A longer response is cut to what the failure text holds, never refused outright.
    std::vector<char> whole(length + 1);
    DWORD size = length + 1;
    s.failure_text.clear();
    if (wininet::InternetGetLastResponseInfoA(&error, whole.data(), &size))
      s.failure_text.assign(whole.data(), std::min<std::size_t>(size, kFailureTextSize - 1));
  } else {
    s.failure_text.clear();
  }
  // The stand-in leaves a text for everything it fails; should one ever come without, the
  // error still says what kind of failure it was.
  if (s.failure_text.empty()) s.failure_text = ErrorWords(wininet::GetLastError());
  s.failure_pending = true;
  s.entry_type = -1;
}

void RecordFailure(const char* text) {
  FtpState& s = State();
  if (s.failure_pending) return;
  s.failure_text.assign(text, strnlen(text, kFailureTextSize - 1));
  s.failure_pending = true;
  s.entry_type = -1;
}

bool RemoteNameUsable(const char* name) {
  if (name && std::strpbrk(name, "\r\n")) {
    RecordFailure("Name refused: it holds a line break, which would send the server a command");
    return false;
  }
  return true;
}

bool ConnectionOpen() {
  if (State().connection) return true;
  // The server's last response would belong to some earlier exchange: say what is wrong.
  RecordFailure("Not connected to an FTP server");
  return false;
}

void CheckConnection() {
  FtpState& s = State();
  if (wininet::FtpSetCurrentDirectoryA(s.connection.get(), ".")) return;
  // A connection busy with our own listing or download answered that it is busy: it is alive.
  if (s.connection && wininet::GetLastError() == ERROR_FTP_TRANSFER_IN_PROGRESS) return;
  CloseAll();
  Reset();
}

void Reset() {
  FtpState& s = State();
  s.listing.reset();
  s.download.reset();
  s.local_file.reset();
  s.local_mark = wininet::DownloadMark();
  s.listed_size = 0;
  s.connection.reset();
  s.bytes_written = 0;
  s.entry_name.clear();
  s.local_name.clear();
  s.entry_type = -1;
  s.entry_size = 0;
  s.progress = -1;
  s.last_progress = -1;
  s.last_change_time = Now();
  s.connected = false;
  s.failure_pending = false;
  s.failure_text.clear();
  s.minimise = false;
}

void AbortDownload() {
  FtpState& s = State();
  if (s.local_file) {
    s.local_file.reset();
    s.local_mark.RemoveIfOurs();
  }
  s.local_mark = wininet::DownloadMark();
  s.local_name.clear();
  s.download.reset();
  s.progress = -1;
}

void Wire(ModuleTable& table) {
  table.ftp.Constructor = Constructor;
  table.ftp.SetErrorHandler = SetErrorHandler;
  table.ftp.PassCoreData = PassCoreData;
  table.ftp.Destructor = Destructor;
}

}  // namespace tessark::ftp

namespace tessark::ftp::testing {

void SetClock(std::uint32_t (*now)()) {
  g_clock = now;
}

void SetSleep(void (*sleep)(std::uint32_t ms)) {
  g_sleep = sleep;
}

}  // namespace tessark::ftp::testing

namespace tessark {

using ftp::State;

bool FtpConnect(const char* server, const char* user, const char* password) {
  return ftp::Connect(server, user, password, false);
}

bool FtpConnect(const char* server, const char* user, const char* password, bool minimise) {
  return ftp::Connect(server, user, password, minimise);
}

bool FtpReconnect() {
  // Copies: Connect keeps its arguments in the very strings they would come from.
  const std::string server = State().server, user = State().user, password = State().password;
  return ftp::Connect(server.c_str(), user.c_str(), password.c_str(), false);
}

bool FtpDisconnect() {
  return FtpDisconnect(false);
}

bool FtpDisconnect(bool hang_up) {
  ftp::FtpState& s = State();
  ftp::CloseAll();
  if (hang_up && s.dialled) {
    const bool full = ftp::FullScreenMinimise();
    if (full) win32::ShowWindow(s.core->window, SW_MINIMIZE);
    wininet::InternetAutodialHangup(0);
    s.dialled = false;
    ftp::Wait(ftp::kHangUpWaitMs);
    if (full) win32::ShowWindow(s.core->window, SW_MAXIMIZE);
  }
  ftp::Reset();
  return true;
}

bool FtpConnected() {
  return State().connected;
}

bool FtpFailure() {
  const bool pending = State().failure_pending;
  State().failure_pending = false;
  return pending;
}

char* FtpFailureText() {
  State().text_scratch = State().failure_text;
  return ftp::MakeText(State().text_scratch);
}

char* FtpEntryName() {
  State().text_scratch = State().entry_name;
  return ftp::MakeText(State().text_scratch);
}

char* FtpLastText() {
  return ftp::MakeText(State().text_scratch);
}

std::int32_t FtpEntryType() {
  return State().entry_type;
}

std::int32_t FtpEntrySize() {
  return State().entry_size;
}

std::int32_t FtpProgress() {
  return State().progress;
}

}  // namespace tessark
