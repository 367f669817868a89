// One FTP control connection and the passive data connections it opens, on POSIX sockets.
// Every wait is bounded by a deadline (ftp_limits.h): a whole connect (name lookup included)
// and each reply get the timeout from the moment they start, however the server drips its
// bytes, and a reply may take only so many bytes. A control connection that times out, closes
// or sends something that is not a reply is dead from then on: the exchange cannot be trusted
// to be in step any more. When something fails, last_reply() holds what to tell the user: the
// server's own reply when it gave one, otherwise a sentence saying what went wrong.
#pragma once

#include <sys/socket.h>

#include <chrono>
#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>

#include "platform/win32/win_types.h"
#include "platform/wininet/ftp_limits.h"
#include "platform/wininet/ftp_parse.h"

namespace wininet::ftp {

using Clock = std::chrono::steady_clock;
using Deadline = Clock::time_point;

// The timeout every wait uses, in milliseconds (kTimeoutMs unless a test shortens it).
int TimeoutMs();
// The moment ms milliseconds from now.
Deadline After(int ms);
// A wait in words for a message: "30 s", or "300 ms" for a shortened one.
std::string DurationWords(int ms);
std::string TimeoutWords();

// An owned socket descriptor.
class Socket {
 public:
  Socket() = default;
  explicit Socket(int fd) : fd_(fd) {}
  Socket(Socket&& other) noexcept : fd_(other.fd_) { other.fd_ = -1; }
  Socket& operator=(Socket&& other) noexcept;
  Socket(const Socket&) = delete;
  Socket& operator=(const Socket&) = delete;
  ~Socket() { Close(); }

  bool valid() const { return fd_ >= 0; }
  void Close();

  // Looks host up and connects to the first of its addresses that answers, all by deadline
  // (IPv4 or IPv6); an invalid socket with *error and *why set when none does.
  static Socket Connect(const char* host, std::uint16_t port, Deadline deadline, DWORD* error,
                        std::string* why);
  // Connects to one address by deadline.
  static Socket ConnectTo(const sockaddr* address, socklen_t length, Deadline deadline,
                          DWORD* error);

  // Sends everything; false on a failure or when the peer has not taken it all by deadline.
  bool SendAll(const void* data, std::size_t size, Deadline deadline);
  // What one receive gave: a count of bytes (above 0), the orderly end (0), a failure (-1) or
  // nothing by the deadline (-2).
  static constexpr long kFailed = -1;
  static constexpr long kTimedOut = -2;
  long Receive(void* data, std::size_t size, Deadline deadline);
  // Half-closes the sending side (the end of an upload).
  void ShutdownSend();
  bool Peer(sockaddr_storage* address, socklen_t* length) const;
  int fd() const { return fd_; }

 private:
  int fd_ = -1;
};

// The control connection: replies read line by line, the last reply kept.
class Session {
 public:
  // Connects, reads the greeting and logs in, all within the timeout. False with *error set
  // and last_reply() saying why.
  bool Open(const char* host, std::uint16_t port, const char* user, const char* password,
            DWORD* error);
  // Sends one command line and reads its reply; false when the connection is dead (the code
  // is then 0). A command holding CR, LF or NUL is never sent.
  bool Command(std::string_view command, int* code);
  // Reads the next reply (after a preliminary 1xx reply), due within the timeout; false when
  // the connection is dead.
  bool ReadReply(int* code);
  // As ReadReply, but gives up waiting at wait_until without harm: kNotYet keeps what has
  // arrived, and the next call goes on with it. The reply is still due by its own deadline,
  // counted from the first call that waited for it.
  enum class Wait { kDone, kNotYet, kFailed };
  Wait AwaitReply(int* code, Deadline wait_until);
  // Makes the transfer type current ('I' binary, 'A' text); false when the server refuses.
  bool SetType(char type, DWORD* error);
  // The size the server gives for a file (SIZE), or 0 when it gives none.
  std::uint64_t RemoteSize(std::string_view name);
  // Opens a passive data connection: EPSV, or PASV when the server does not know EPSV. The
  // data goes to the control connection's own peer whatever address PASV names, so a reply
  // can never point the transfer at a third machine.
  Socket OpenData(DWORD* error);
  // Ends a transfer early: ABOR, then the transfer's and the abort's replies, within
  // kAbortAnswerMs (a server that does not answer by then is given up). last_reply() keeps
  // what it said before: the abort's replies are housekeeping, not news.
  void Abort();
  // Says goodbye and closes, without waiting for the answer: nothing depends on it, and a
  // silent server would otherwise hold the close for the whole timeout.
  void Quit();

  bool dead() const { return dead_; }
  const std::string& last_reply() const { return last_reply_; }
  // Replaces what last_reply() says (a failure found outside the control connection).
  void Say(std::string text) { last_reply_ = std::move(text); }

 private:
  enum class Line { kLine, kTimedOut, kClosed, kTooLong };
  // Command, giving up waiting for the reply at wait_until (kNotYet).
  Wait Exchange(std::string_view command, int* code, Deadline wait_until);
  // Sends one command line without reading a reply; false when the connection is dead.
  bool Send(std::string_view command);
  Line ReadLine(Deadline deadline);
  Wait FailReply(std::string why);
  void DiscardWaiting();
  void Die(std::string why);

  Socket control_;
  std::string buffer_;  // received bytes not yet taken as lines
  std::string last_reply_;
  // The reply being read: kept between calls of AwaitReply.
  bool reading_ = false;
  Deadline reply_deadline_{};
  ReplyParser parser_;
  std::string line_;
  std::size_t reply_budget_ = 0;
  std::string host_;
  char type_ = 0;
  bool epsv_refused_ = false;
  bool dead_ = true;
};

// One transfer's data connection, read with a deadline, and the ending the server gives it.
class Transfer {
 public:
  Transfer() = default;
  Transfer(Session* session, Socket data, std::uint64_t expected)
      : session_(session), data_(std::move(data)), expected_(expected) {}

  // Reads up to size bytes, waiting until wait_until: bytes (above 0); 0 at the end, once the
  // server has confirmed it (2xx) and, where the size is known, every byte came; kTimedOut
  // when nothing came by then; kFailed when the transfer failed (the session's last_reply()
  // says why: the server's failed ending, a short file, a broken connection). After the end or
  // a failure every further read answers the same.
  long Read(void* data, std::size_t size, Deadline wait_until);
  // Sends everything by deadline (an upload); false when the data connection fails.
  bool Send(const void* data, std::size_t size, Deadline deadline);
  // Ends an upload: the data connection closed, then the server's ending read (TRUE for 2xx).
  bool FinishUpload();
  // Ends the transfer early unless its ending is in (the abort exchanged).
  void Abort();
  std::uint64_t moved() const { return moved_; }
  // The error of a failed read or send.
  DWORD error() const { return error_; }

 private:
  enum class State { kData, kEnding, kDone, kFailed };
  long Fail(std::string why, DWORD error);

  Session* session_ = nullptr;
  Socket data_;
  std::uint64_t expected_ = 0;  // 0: unknown
  std::uint64_t moved_ = 0;
  State state_ = State::kData;
  bool ending_read_ = false;
  std::string failure_;
  DWORD error_ = 0;
};

// The overall deadline of a transfer that blocks its caller for its whole length: the timeout
// from its start plus a second for every kPaceBytesPerSecond bytes moved.
class Pace {
 public:
  Pace() : start_(Clock::now()) {}
  // When the next wait must end: the pace's deadline, or the timeout from now when sooner.
  Deadline Next(std::uint64_t moved);
  // Why a transfer that timed out at the last such wait did: too slow overall, or silent.
  std::string Why(std::uint64_t moved, bool upload) const;

 private:
  Deadline Overall(std::uint64_t moved) const;
  Deadline start_;
  bool too_slow_ = false;  // the last wait ended at the pace's deadline
};

}  // namespace wininet::ftp
