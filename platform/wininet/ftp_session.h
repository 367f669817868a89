// One FTP control connection and the passive data connections it opens, on POSIX sockets.
// Every wait is bounded: connecting, each reply and each data read give up after the timeout
// (30 seconds unless a test shortens it), so an unreachable or silent server never holds the
// program for longer. A control connection that times out, closes or sends something that is
// not a reply is dead from then on: the exchange cannot be trusted to be in step any more.
#pragma once

#include <sys/socket.h>

#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>

#include "platform/win32/win_types.h"

namespace wininet::ftp {

// The timeout every wait uses, in milliseconds.
int TimeoutMs();

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

  // Connects to the first address of host that answers within the timeout (IPv4 or IPv6);
  // an invalid socket when none does.
  static Socket Connect(const char* host, std::uint16_t port, DWORD* error);
  // Connects to one address.
  static Socket ConnectTo(const sockaddr* address, socklen_t length, DWORD* error);

  // Sends everything; false on a failure or when the peer stops taking data for the timeout.
  bool SendAll(const void* data, std::size_t size);
  // What one receive gave: a count of bytes (above 0), the orderly end (0), a failure (-1) or
  // nothing within the timeout (-2).
  static constexpr long kFailed = -1;
  static constexpr long kTimedOut = -2;
  long Receive(void* data, std::size_t size);
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
  // Connects, reads the greeting and logs in. False with *error set (and the last reply
  // kept when the server gave one).
  bool Open(const char* host, std::uint16_t port, const char* user, const char* password,
            DWORD* error);
  // Sends one command line and reads its reply; false when the connection is dead (the code
  // is then 0). A command holding CR, LF or NUL is never sent.
  bool Command(std::string_view command, int* code);
  // Reads the next reply (after a preliminary 1xx reply); false when the connection is dead.
  bool ReadReply(int* code);
  // Makes the transfer type current ('I' binary, 'A' text); false when the server refuses.
  bool SetType(char type, DWORD* error);
  // Opens a passive data connection: EPSV, or PASV when the server does not know EPSV. The
  // data goes to the control connection's own peer whatever address PASV names, so a reply
  // can never point the transfer at a third machine.
  Socket OpenData(DWORD* error);
  // Ends a transfer early: ABOR, then the transfer's and the abort's replies.
  void Abort();
  // Says goodbye and closes, without waiting for the answer: nothing depends on it, and a
  // silent server would otherwise hold the close for the whole timeout.
  void Quit();

  bool dead() const { return dead_; }
  const std::string& last_reply() const { return last_reply_; }

 private:
  // Sends one command line without reading a reply; false when the connection is dead.
  bool Send(std::string_view command);
  // True when a reply (or its start) is here or arrives within ms.
  bool ReplyArrives(int ms);
  bool ReadLine(std::string* line);
  void DiscardWaiting();
  void Die();

  Socket control_;
  std::string buffer_;  // received bytes not yet taken as lines
  std::string last_reply_;
  char type_ = 0;
  bool epsv_refused_ = false;
  bool dead_ = true;
};

}  // namespace wininet::ftp
