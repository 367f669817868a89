// A transfer's data connection and its ending, and the pace a blocking transfer must keep. See
// ftp_session.h.
#include <algorithm>
#include <string>

#include "platform/wininet/ftp_session.h"
#include "platform/wininet/wininet.h"

namespace wininet::ftp {

long Transfer::Fail(std::string why, DWORD error) {
  state_ = State::kFailed;
  failure_ = std::move(why);
  error_ = error;
  session_->Say(failure_);
  return Socket::kFailed;
}

long Transfer::Read(void* data, std::size_t size, Deadline wait_until) {
  if (state_ == State::kDone || size == 0) return 0;
  if (state_ == State::kFailed) {
    session_->Say(failure_);
    return Socket::kFailed;
  }
  if (state_ == State::kData) {
    const long got = data_.Receive(data, size, wait_until);
    if (got > 0) {
      moved_ += static_cast<std::uint64_t>(got);
      return got;
    }
    if (got == Socket::kTimedOut) return got;
    if (got == Socket::kFailed)
      return Fail("The data connection to the server broke", ERROR_INTERNET_CONNECTION_ABORTED);
    // The data connection closed: the file is whole only when the server says so.
    data_.Close();
    state_ = State::kEnding;
  }
  int code = 0;
  switch (session_->AwaitReply(&code, wait_until)) {
    case Session::Wait::kNotYet:
      return Socket::kTimedOut;
    case Session::Wait::kFailed:
      ending_read_ = true;
      return Fail(session_->last_reply(), ERROR_FTP_DROPPED);
    case Session::Wait::kDone:
      break;
  }
  ending_read_ = true;
  if (code / 100 != 2) return Fail(session_->last_reply(), ERROR_INTERNET_EXTENDED_ERROR);
  // A server may close the data connection part way and still report success; where it gave
  // the size, a short file is a failure rather than half a file taken for whole.
  if (expected_ > 0 && moved_ < expected_) {
    return Fail("The server ended the transfer after " + std::to_string(moved_) + " of " +
                    std::to_string(expected_) + " bytes",
                ERROR_INTERNET_CONNECTION_ABORTED);
  }
  state_ = State::kDone;
  return 0;
}

bool Transfer::Send(const void* data, std::size_t size, Deadline deadline) {
  if (state_ != State::kData) return false;
  if (!data_.SendAll(data, size, deadline)) {
    Fail("The server stopped taking the file", ERROR_INTERNET_CONNECTION_ABORTED);
    return false;
  }
  moved_ += size;
  return true;
}

bool Transfer::FinishUpload() {
  if (state_ != State::kData) return false;
  data_.ShutdownSend();
  data_.Close();
  state_ = State::kEnding;
  int code = 0;
  const bool answered = session_->ReadReply(&code);
  ending_read_ = true;
  if (!answered || code / 100 != 2) {
    Fail(session_->last_reply(), answered ? ERROR_INTERNET_EXTENDED_ERROR : ERROR_FTP_DROPPED);
    return false;
  }
  state_ = State::kDone;
  return true;
}

void Transfer::Abort() {
  data_.Close();
  if (!session_ || ending_read_ || session_->dead()) return;
  ending_read_ = true;
  session_->Abort();
}

Deadline Pace::Overall(std::uint64_t moved) const {
  const auto seconds = static_cast<long long>(
      std::min<std::uint64_t>(moved / kPaceBytesPerSecond, std::uint64_t{1} << 40));
  return start_ + std::chrono::milliseconds(TimeoutMs()) + std::chrono::seconds(seconds);
}

Deadline Pace::Next(std::uint64_t moved) {
  const Deadline overall = Overall(moved);
  const Deadline silence = After(TimeoutMs());
  too_slow_ = overall < silence;
  return too_slow_ ? overall : silence;
}

std::string Pace::Why(std::uint64_t moved, bool upload) const {
  if (too_slow_) {
    const auto took =
        std::chrono::duration_cast<std::chrono::milliseconds>(Clock::now() - start_).count();
    return "The transfer was too slow: " + std::to_string(moved) + " bytes in " +
           std::to_string((took + 500) / 1000) + " s (at least " +
           std::to_string(kPaceBytesPerSecond / 1024) + " KB a second is needed)";
  }
  return std::string(upload ? "The server took nothing for " : "The server sent nothing for ") +
         TimeoutWords();
}

}  // namespace wininet::ftp
