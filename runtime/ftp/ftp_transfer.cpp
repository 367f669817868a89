// The FTP module's listings and transfers: the current folder, listing entries, downloads at
// once and piece by piece (FtpProceed and its stall check), uploads and deletes.
#include <strings.h>

#include <algorithm>
#include <array>
#include <cstring>
#include <string>

#include "runtime/ftp/ftp_state.h"
#include "tessark/ftp.h"

namespace tessark::ftp {

namespace {

// Keeps a listing entry: folder bit 0x10 gives type 1; the size only when it fits the answer.
void KeepEntry(const WIN32_FIND_DATAA& data) {
  FtpState& s = State();
  s.entry_type = (data.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY) ? 1 : 0;
  s.entry_name.assign(data.cFileName, strnlen(data.cFileName, sizeof data.cFileName));
  s.entry_size = data.nFileSizeHigh == 0 && data.nFileSizeLow <= 0x7FFFFFFFu
                     ? static_cast<std::int32_t>(data.nFileSizeLow)
                     : 0;
}

// Progress in whole percent of the expected size (1 while it is unknown). Worked out in 64
// bits as received * 100 / expected: dividing 100 by the size first would truncate to 0 for
// every file over 100 bytes, and multiplying in 32 bits would overflow past 21 MB.
std::int32_t ProgressOf(std::int64_t received, std::int64_t expected) {
  if (expected <= 0) return 1;
  const std::int64_t percent = received / expected >= 1 ? 100 : received * 100 / expected;
  return static_cast<std::int32_t>(std::clamp<std::int64_t>(percent, 0, 100));
}

// The size the current folder's listing gives for name (compared without regard to case), or
// -1 when the listing does not show it.
std::int64_t ListedSize(const char* name) {
  FtpState& s = State();
  WIN32_FIND_DATAA data{};
  InternetHandle listing(wininet::FtpFindFirstFileA(s.connection.get(), nullptr, &data,
                                                    INTERNET_FLAG_RESYNCHRONIZE, 0));
  if (!listing) return -1;
  do {
    if (strncasecmp(data.cFileName, name, sizeof data.cFileName) == 0)
      return static_cast<std::int64_t>((std::uint64_t{data.nFileSizeHigh} << 32) |
                                       data.nFileSizeLow);
  } while (wininet::InternetFindNextFileA(listing.get(), &data));
  return -1;
}

// Ends a piecewise download that failed, as FtpTerminate does, keeping why.
void FailDownload(const std::string& why) {
  RecordFailure(why.c_str());
  AbortDownload();
}

bool GetAtOnce(const char* remote, const char* local) {
  FtpState& s = State();
  if (!ConnectionOpen() || !RemoteNameUsable(remote)) return false;
  if (!wininet::FtpGetFileA(s.connection.get(), remote, local, FALSE,
                            FILE_ATTRIBUTE_NORMAL | FILE_FLAG_WRITE_THROUGH,
                            FTP_TRANSFER_TYPE_BINARY | INTERNET_FLAG_RELOAD, 0)) {
    RecordFailure();
    ReportFailure(kFtpGetFileFailed);
    return false;
  }
  return true;
}

}  // namespace

}  // namespace tessark::ftp

namespace tessark {

using ftp::State;

bool FtpSetDir(const char* folder) {
  if (!ftp::ConnectionOpen() || !ftp::RemoteNameUsable(folder)) return false;
  if (wininet::FtpSetCurrentDirectoryA(State().connection.get(), folder)) return true;
  ftp::RecordFailure();
  ftp::ReportFailure(ftp::kFtpSetDirFailed);
  ftp::CheckConnection();
  return false;
}

bool FtpFindFirst() {
  ftp::FtpState& s = State();
  s.listing.reset();
  if (!ftp::ConnectionOpen()) return false;
  WIN32_FIND_DATAA data{};
  s.listing.reset(wininet::FtpFindFirstFileA(s.connection.get(), nullptr, &data,
                                             INTERNET_FLAG_RESYNCHRONIZE, 0));
  if (!s.listing) {
    ftp::RecordFailure();
    ftp::CheckConnection();
    return false;
  }
  ftp::KeepEntry(data);
  return true;
}

bool FtpFindNext() {
  ftp::FtpState& s = State();
  if (!s.listing) return false;
  WIN32_FIND_DATAA data{};
  if (wininet::InternetFindNextFileA(s.listing.get(), &data)) {
    ftp::KeepEntry(data);
    return true;
  }
  s.listing.reset();
  s.entry_type = -1;
  ftp::CheckConnection();
  return false;
}

bool FtpGetFile(const char* remote, const char* local) {
  return ftp::GetAtOnce(remote, local);
}

bool FtpGetFile(const char* remote, const char* local, std::int32_t size) {
  if (size == 0) return ftp::GetAtOnce(remote, local);
  ftp::FtpState& s = State();
  if (!ftp::ConnectionOpen() || !ftp::RemoteNameUsable(remote) || !remote || !local) return false;
  const std::int64_t listed = ftp::ListedSize(remote);
  const std::int64_t expected = listed >= 0 ? listed : size;
  ftp::InternetHandle download(
      wininet::FtpOpenFileA(s.connection.get(), remote, GENERIC_READ,
                            FTP_TRANSFER_TYPE_BINARY | INTERNET_FLAG_RESYNCHRONIZE, 0));
  if (!download) {
    ftp::RecordFailure();
    ftp::ReportFailure(ftp::kFtpGetFileFailed);
    ftp::CheckConnection();
    return false;
  }
  win32::UniqueHandle file = win32::AdoptHandle(win32::CreateFileA(
      local, GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS, FILE_ATTRIBUTE_NORMAL, nullptr));
  // Without a local file the download is closed again rather than left holding the connection.
  if (!file) {
    ftp::RecordFailure((std::string("Could not create the local file ") + local).c_str());
    return false;
  }
  // Each step waits only a moment for each piece, so that it never holds a frame for long.
  DWORD wait_ms = ftp::kStepWaitMs;
  wininet::InternetSetOptionA(download.get(), INTERNET_OPTION_RECEIVE_TIMEOUT, &wait_ms,
                              sizeof wait_ms);
  s.download = std::move(download);
  s.local_file = std::move(file);
  s.local_name = local;
  s.local_mark = wininet::DownloadMark(local);
  s.listed_size = std::max<std::int64_t>(listed, 0);
  s.bytes_written = 0;
  s.progress = 0;
  s.last_progress = 0;
  s.last_bytes_written = 0;
  s.last_change_time = ftp::Now();
  s.received = 0;
  s.expected_size = expected;
  return true;
}

void FtpProceed() {
  ftp::FtpState& s = State();
  if (!s.download) return;
  std::array<char, ftp::kPieceSize * ftp::kPiecesPerStep> buffer;
  DWORD total = 0;
  bool waiting = false;  // nothing more came within the step's wait: the transfer goes on
  bool failed = false;   // the transfer is over and failed
  for (int piece = 0; piece < ftp::kPiecesPerStep; ++piece) {
    DWORD got = 0;
    if (!wininet::InternetReadFile(s.download.get(), buffer.data() + total, ftp::kPieceSize,
                                   &got)) {
      waiting = wininet::GetLastError() == ERROR_INTERNET_TIMEOUT;
      failed = !waiting;
      break;
    }
    total += got;
    if (got < ftp::kPieceSize) break;
  }
  if (failed) {
    // The server ended the transfer with a failure (426), it ended short of the size the
    // server gave, or the connection broke: the download is over now, not when the stall check
    // notices, and the server's reason is kept.
    ftp::RecordFailure();
    ftp::AbortDownload();
    ftp::CheckConnection();
    return;
  }
  if (total > 0) {
    DWORD written = 0;
    if (!win32::WriteFile(s.local_file.get(), buffer.data(), total, &written, nullptr) ||
        written != total) {
      ftp::FailDownload("Could not write the local file " + s.local_name);
      return;
    }
    s.bytes_written += total;
    s.received += total;
    s.progress = ftp::ProgressOf(s.received, s.expected_size);
  } else if (!waiting) {
    // The end of the file. Where the server's listing gave the size, a file that ended short
    // of it is not whole, whatever the server said.
    if (s.listed_size > 0 && s.received < s.listed_size) {
      ftp::FailDownload("The server ended the download after " + std::to_string(s.received) +
                        " of " + std::to_string(s.listed_size) + " bytes");
      return;
    }
    s.download.reset();
    s.local_file.reset();
    s.local_mark = wininet::DownloadMark();
    s.local_name.clear();
    s.progress = -1;
    return;
  } else {
    ftp::CheckConnection();
    if (!s.download) return;
  }
  // A step that got nothing makes no progress: it meets the stall check, so a download whose
  // data stopped is ended 10 s after the last byte, each step having waited only a moment.
  const std::uint32_t now = ftp::Now();
  if (s.bytes_written == s.last_bytes_written && now - s.last_change_time > ftp::kStallMs) {
    ftp::FailDownload("The download stalled: nothing arrived for " +
                      std::to_string(ftp::kStallMs / 1000) + " s");
    ftp::CheckConnection();
  } else if (s.bytes_written != s.last_bytes_written) {
    s.last_bytes_written = s.bytes_written;
    s.last_progress = s.progress;
    s.last_change_time = now;
  }
}

void FtpTerminate() {
  ftp::AbortDownload();
}

bool FtpPutFile(const char* local) {
  ftp::FtpState& s = State();
  if (!ftp::ConnectionOpen() || !local || !ftp::RemoteNameUsable(local)) return false;
  char resolved[MAX_PATH] = {};
  const std::size_t length = strnlen(local, sizeof resolved);
  if (length >= sizeof resolved) return false;
  std::memcpy(resolved, local, length);
  CoreData* core = s.core;
  if (core && core->MediaPathResolve) core->MediaPathResolve(resolved, sizeof resolved);
  resolved[sizeof resolved - 1] = 0;
  if (core && core->MediaUnscramble) core->MediaUnscramble(resolved);
  const BOOL sent = wininet::FtpPutFileA(s.connection.get(), resolved, local, 0, 0);
  if (core && core->MediaRescramble) core->MediaRescramble(resolved);
  if (sent) return true;
  ftp::RecordFailure();
  ftp::ReportFailure(ftp::kFtpPutFileFailed);
  return false;
}

bool FtpDeleteFile(const char* remote) {
  if (!ftp::ConnectionOpen() || !ftp::RemoteNameUsable(remote)) return false;
  if (wininet::FtpDeleteFileA(State().connection.get(), remote)) return true;
  ftp::RecordFailure();
  ftp::ReportFailure(ftp::kFtpDeleteFileFailed);
  return false;
}

}  // namespace tessark
