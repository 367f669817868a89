// The FTP module's state and what its two files share. One FtpState value holds everything;
// Reset (and Destructor then Constructor) leave it as new.
#pragma once

#include <cstdint>
#include <memory>
#include <string>

#include "platform/win32/files.h"
#include "platform/wininet/ftp_limits.h"
#include "platform/wininet/local_file.h"
#include "platform/wininet/wininet.h"
#include "runtime/core/core_data.h"

namespace tessark::ftp {

// The codes the failing operations hand to their failure stub (which records nothing: a
// result is the only sign of failure).
inline constexpr std::int32_t kFtpConnectFailed = 8301;
inline constexpr std::int32_t kFtpSetDirFailed = 8302;
inline constexpr std::int32_t kFtpPutFileFailed = 8303;
inline constexpr std::int32_t kFtpDeleteFileFailed = 8304;
inline constexpr std::int32_t kFtpGetFileFailed = 8305;

inline constexpr std::uint32_t kPieceSize = 1024;
inline constexpr int kPiecesPerStep = 3;
// The step and stall limits sit with the stand-in's waits they are weighed against.
inline constexpr std::uint32_t kStepWaitMs = wininet::ftp::kStepWaitMs;
inline constexpr std::uint32_t kStallMs = wininet::ftp::kStallMs;
inline constexpr std::uint32_t kHangUpWaitMs = 3000;
inline constexpr std::size_t kFailureTextSize = 256;  // the failure text keeps 255 characters
inline constexpr std::int32_t kFullScreenMode = 3;

// An open internet handle, closed when dropped.
struct InternetCloser {
  void operator()(InternetObject* handle) const { wininet::InternetCloseHandle(handle); }
};
using InternetHandle = std::unique_ptr<InternetObject, InternetCloser>;

struct FtpState {
  InternetHandle session;
  InternetHandle connection;
  InternetHandle listing;
  InternetHandle download;
  win32::UniqueHandle local_file;
  std::string local_name;
  wininet::DownloadMark local_mark;  // what an abort may remove
  std::int64_t listed_size = 0;      // the size the server's listing gave (0: none)
  std::int64_t bytes_written = 0;
  std::string server, user, password;
  bool connected = false;
  bool dialled = false;
  bool minimise = false;
  std::int32_t entry_type = -1;
  std::string entry_name;
  std::int32_t entry_size = 0;
  std::int64_t expected_size = 0;
  std::int64_t received = 0;
  std::int32_t progress = -1;
  std::int32_t last_progress = -1;
  std::int64_t last_bytes_written = 0;
  std::uint32_t last_change_time = 0;
  bool failure_pending = false;
  std::string failure_text;
  std::string text_scratch;
  CoreData* core = nullptr;
  std::int32_t* error_word = nullptr;
};

FtpState& State();

// The clock the stall check reads (timeGetTime unless a test sets another).
std::uint32_t Now();
// The failure stub: the code reaches nothing.
void ReportFailure(std::int32_t code);
// Keeps the server's last response as the failure text unless a failure is pending already.
void RecordFailure();
// Records a failure of the module's own, with its own text.
void RecordFailure(const char* text);
// Asks the server for ".": when that fails, ends the connection and resets the module.
void CheckConnection();
// Forgets the connection, listing and download handles and sets every value as new.
void Reset();
// Closes the local file and the download (progress -1), and deletes the local file when it is
// the regular file the download created or truncated (never a device, a pipe or a link).
void AbortDownload();
// True when a remote name can be sent; otherwise records why and answers false.
bool RemoteNameUsable(const char* name);
// True while connected; otherwise records that there is no connection and answers false.
bool ConnectionOpen();

}  // namespace tessark::ftp

namespace tessark::ftp::testing {
// The clock the stall check reads and the wait after hanging up (null: the real ones).
void SetClock(std::uint32_t (*now)());
void SetSleep(void (*sleep)(std::uint32_t ms));
}  // namespace tessark::ftp::testing
