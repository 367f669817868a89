// The control and data connections on POSIX sockets. See ftp_session.h.
#include "platform/wininet/ftp_session.h"

#include <arpa/inet.h>
#include <fcntl.h>
#include <netdb.h>
#include <netinet/in.h>
#include <poll.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <chrono>
#include <cstring>

#include "platform/wininet/ftp_parse.h"
#include "platform/wininet/wininet.h"

namespace wininet::ftp {

int g_timeout_ms = 30000;

namespace {

// How long an abort's second reply is waited for.
constexpr int kAbortAnswerMs = 2000;

using Clock = std::chrono::steady_clock;

// Milliseconds left until deadline (0 once it has passed).
int Remaining(Clock::time_point deadline) {
  const auto left =
      std::chrono::duration_cast<std::chrono::milliseconds>(deadline - Clock::now()).count();
  return left > 0 ? static_cast<int>(left) : 0;
}

// Waits until fd is ready for events or the deadline passes; true when ready.
bool WaitFor(int fd, short events, Clock::time_point deadline) {
  for (;;) {
    pollfd entry{fd, events, 0};
    const int ready = poll(&entry, 1, Remaining(deadline));
    if (ready > 0) return true;
    if (ready == 0) return false;
    if (errno != EINTR) return false;
  }
}

}  // namespace

int TimeoutMs() {
  return g_timeout_ms;
}

}  // namespace wininet::ftp

namespace wininet::testing {

void SetTimeoutMs(int ms) {
  ftp::g_timeout_ms = ms > 0 ? ms : 30000;
}

}  // namespace wininet::testing

namespace wininet::ftp {

Socket& Socket::operator=(Socket&& other) noexcept {
  if (this != &other) {
    Close();
    fd_ = other.fd_;
    other.fd_ = -1;
  }
  return *this;
}

void Socket::Close() {
  if (fd_ >= 0) ::close(fd_);
  fd_ = -1;
}

Socket Socket::ConnectTo(const sockaddr* address, socklen_t length, DWORD* error) {
  Socket socket(::socket(address->sa_family, SOCK_STREAM | SOCK_CLOEXEC | SOCK_NONBLOCK, 0));
  *error = ERROR_INTERNET_CANNOT_CONNECT;
  if (!socket.valid()) return Socket();
  if (::connect(socket.fd_, address, length) != 0) {
    if (errno != EINPROGRESS) return Socket();
    if (!WaitFor(socket.fd_, POLLOUT, Clock::now() + std::chrono::milliseconds(g_timeout_ms))) {
      *error = ERROR_INTERNET_TIMEOUT;
      return Socket();
    }
    int failure = 0;
    socklen_t size = sizeof failure;
    if (getsockopt(socket.fd_, SOL_SOCKET, SO_ERROR, &failure, &size) != 0 || failure != 0)
      return Socket();
  }
  *error = ERROR_SUCCESS;
  return socket;
}

Socket Socket::Connect(const char* host, std::uint16_t port, DWORD* error) {
  addrinfo hints{};
  hints.ai_family = AF_UNSPEC;
  hints.ai_socktype = SOCK_STREAM;
  addrinfo* found = nullptr;
  const std::string service = std::to_string(port);
  if (getaddrinfo(host, service.c_str(), &hints, &found) != 0 || !found) {
    *error = ERROR_INTERNET_NAME_NOT_RESOLVED;
    return Socket();
  }
  Socket socket;
  *error = ERROR_INTERNET_CANNOT_CONNECT;
  for (addrinfo* at = found; at && !socket.valid(); at = at->ai_next)
    socket = ConnectTo(at->ai_addr, at->ai_addrlen, error);
  freeaddrinfo(found);
  return socket;
}

bool Socket::SendAll(const void* data, std::size_t size) {
  const auto* bytes = static_cast<const char*>(data);
  const auto deadline = Clock::now() + std::chrono::milliseconds(g_timeout_ms);
  while (size > 0) {
    const ssize_t sent = ::send(fd_, bytes, size, MSG_NOSIGNAL);
    if (sent > 0) {
      bytes += sent;
      size -= static_cast<std::size_t>(sent);
      continue;
    }
    if (sent < 0 && errno == EINTR) continue;
    if (sent < 0 && (errno == EAGAIN || errno == EWOULDBLOCK) && WaitFor(fd_, POLLOUT, deadline))
      continue;
    return false;
  }
  return true;
}

long Socket::Receive(void* data, std::size_t size) {
  const auto deadline = Clock::now() + std::chrono::milliseconds(g_timeout_ms);
  for (;;) {
    const ssize_t got = ::recv(fd_, data, size, 0);
    if (got >= 0) return static_cast<long>(got);
    if (errno == EINTR) continue;
    if (errno != EAGAIN && errno != EWOULDBLOCK) return kFailed;
    if (!WaitFor(fd_, POLLIN, deadline)) return Remaining(deadline) == 0 ? kTimedOut : kFailed;
  }
}

void Socket::ShutdownSend() {
  if (fd_ >= 0) ::shutdown(fd_, SHUT_WR);
}

bool Socket::Peer(sockaddr_storage* address, socklen_t* length) const {
  *length = sizeof *address;
  return getpeername(fd_, reinterpret_cast<sockaddr*>(address), length) == 0;
}

// --- Session ----------------------------------------------------------------------------------

void Session::Die() {
  dead_ = true;
  control_.Close();
  buffer_.clear();
}

bool Session::ReadLine(std::string* line) {
  line->clear();
  bool overlong = false;
  for (;;) {
    const std::size_t end = buffer_.find('\n');
    if (end != std::string::npos) {
      if (!overlong) line->append(buffer_, 0, std::min(end, kMaxLineLength - line->size()));
      buffer_.erase(0, end + 1);
      if (!line->empty() && line->back() == '\r') line->pop_back();
      return true;
    }
    // No line end yet: keep at most one line's worth, dropping the rest of an overlong line.
    if (!overlong) {
      line->append(buffer_, 0, std::min(buffer_.size(), kMaxLineLength - line->size()));
      overlong = line->size() >= kMaxLineLength;
    }
    buffer_.clear();
    char chunk[2048];
    const long got = control_.Receive(chunk, sizeof chunk);
    if (got <= 0) return false;
    buffer_.append(chunk, static_cast<std::size_t>(got));
  }
}

bool Session::ReadReply(int* code) {
  *code = 0;
  if (dead_) return false;
  ReplyParser parser;
  std::string line;
  for (;;) {
    if (!ReadLine(&line)) {
      Die();
      return false;
    }
    const ReplyParser::Step step = parser.Feed(line);
    if (step == ReplyParser::Step::kBad) {
      last_reply_ = parser.text();
      Die();
      return false;
    }
    if (step == ReplyParser::Step::kDone) break;
  }
  last_reply_ = parser.text();
  *code = parser.code();
  return true;
}

// Drops whatever the server sent that no command asked for (a late reply to an abort), so
// that the next command reads its own reply.
void Session::DiscardWaiting() {
  for (;;) {
    if (buffer_.find('\n') == std::string::npos) {
      pollfd entry{control_.fd(), POLLIN, 0};
      if (poll(&entry, 1, 0) <= 0) {
        buffer_.clear();
        return;
      }
      char chunk[2048];
      const ssize_t got = ::recv(control_.fd(), chunk, sizeof chunk, 0);
      if (got <= 0) {
        if (got == 0 || (errno != EAGAIN && errno != EWOULDBLOCK && errno != EINTR)) Die();
        return;
      }
      buffer_.append(chunk, static_cast<std::size_t>(got));
      if (buffer_.size() > kMaxReplyText) {
        Die();
        return;
      }
      continue;
    }
    buffer_.erase(0, buffer_.find('\n') + 1);
  }
}

bool Session::Command(std::string_view command, int* code) {
  *code = 0;
  if (dead_) return false;
  if (command.find_first_of(std::string_view("\r\n\0", 3)) != std::string_view::npos) return false;
  DiscardWaiting();
  return Send(command) && ReadReply(code);
}

bool Session::Send(std::string_view command) {
  if (dead_) return false;
  std::string line(command);
  line.append("\r\n");
  if (!control_.SendAll(line.data(), line.size())) {
    Die();
    return false;
  }
  return true;
}

bool Session::ReplyArrives(int ms) {
  if (dead_) return false;
  if (buffer_.find('\n') != std::string::npos) return true;
  return WaitFor(control_.fd(), POLLIN, Clock::now() + std::chrono::milliseconds(ms));
}

bool Session::Open(const char* host, std::uint16_t port, const char* user, const char* password,
                   DWORD* error) {
  Die();
  last_reply_.clear();
  type_ = 0;
  epsv_refused_ = false;
  control_ = Socket::Connect(host, port, error);
  if (!control_.valid()) return false;
  dead_ = false;
  int code = 0;
  // The greeting; "120 ready in n minutes" comes before the real one (a few times at most: a
  // server repeating it for ever is not going to be ready).
  for (int preliminary = 0; preliminary < 8 && (code == 0 || code == 120); ++preliminary) {
    if (!ReadReply(&code)) {
      *error = ERROR_INTERNET_CONNECTION_ABORTED;
      return false;
    }
  }
  if (code / 100 != 2) {
    *error = ERROR_INTERNET_EXTENDED_ERROR;
    Die();
    return false;
  }
  const std::string user_line = std::string("USER ") + (user && *user ? user : "anonymous");
  if (!Command(user_line, &code)) {
    *error = ERROR_INTERNET_CONNECTION_ABORTED;
    return false;
  }
  if (code == 331) {
    const std::string pass_line = std::string("PASS ") + (password ? password : "");
    const bool sent = Command(pass_line, &code);
    if (!sent) {
      *error = ERROR_INTERNET_CONNECTION_ABORTED;
      return false;
    }
  }
  if (code != 230 && code != 202) {
    *error = ERROR_INTERNET_LOGIN_FAILURE;
    Die();
    return false;
  }
  *error = ERROR_SUCCESS;
  return true;
}

bool Session::SetType(char type, DWORD* error) {
  if (type_ == type) return true;
  int code = 0;
  if (!Command(type == 'A' ? "TYPE A" : "TYPE I", &code)) {
    *error = ERROR_FTP_DROPPED;
    return false;
  }
  if (code / 100 != 2) {
    *error = ERROR_INTERNET_EXTENDED_ERROR;
    return false;
  }
  type_ = type;
  return true;
}

Socket Session::OpenData(DWORD* error) {
  sockaddr_storage peer{};
  socklen_t length = 0;
  if (dead_ || !control_.Peer(&peer, &length)) {
    *error = ERROR_FTP_DROPPED;
    return Socket();
  }
  int code = 0;
  if (!epsv_refused_) {
    if (!Command("EPSV", &code)) {
      *error = ERROR_FTP_DROPPED;
      return Socket();
    }
    if (code == 229) {
      auto port = ParseEpsv(last_reply_);
      if (!port) {
        *error = ERROR_INTERNET_EXTENDED_ERROR;
        return Socket();
      }
      if (peer.ss_family == AF_INET6)
        reinterpret_cast<sockaddr_in6*>(&peer)->sin6_port = htons(*port);
      else
        reinterpret_cast<sockaddr_in*>(&peer)->sin_port = htons(*port);
      return Socket::ConnectTo(reinterpret_cast<sockaddr*>(&peer), length, error);
    }
    // Only "not known" sends us to PASV; any other refusal is the server's answer.
    if (code != 500 && code != 501 && code != 502 && code != 504) {
      *error = ERROR_INTERNET_EXTENDED_ERROR;
      return Socket();
    }
    epsv_refused_ = true;
  }
  if (peer.ss_family != AF_INET) {
    *error = ERROR_INTERNET_EXTENDED_ERROR;  // PASV cannot name an IPv6 port
    return Socket();
  }
  if (!Command("PASV", &code)) {
    *error = ERROR_FTP_DROPPED;
    return Socket();
  }
  auto target = code == 227 ? ParsePasv(last_reply_) : std::nullopt;
  if (!target) {
    *error = ERROR_INTERNET_EXTENDED_ERROR;
    return Socket();
  }
  reinterpret_cast<sockaddr_in*>(&peer)->sin_port = htons(target->port);
  return Socket::ConnectTo(reinterpret_cast<sockaddr*>(&peer), length, error);
}

void Session::Quit() {
  if (!dead_) {
    DiscardWaiting();
    static constexpr char kQuit[] = "QUIT\r\n";
    if (!dead_) ::send(control_.fd(), kQuit, sizeof kQuit - 1, MSG_NOSIGNAL | MSG_DONTWAIT);
  }
  Die();
}

void Session::Abort() {
  // Two replies follow: the transfer's own ending, then the abort's. The ending is 426 or 451
  // when the abort cut the transfer short, but 226 when the server had sent the last byte
  // before the abort arrived, and that 226 may already be here or still on its way, so nothing
  // waiting is dropped first: the first reply read is the ending, the second the abort's.
  if (!Send("ABOR")) return;
  int code = 0;
  if (!ReadReply(&code)) return;
  // A server that answers an abort only once is given a moment rather than the whole timeout;
  // should its answer come later still, the next command drops it before sending.
  if (ReplyArrives(std::min(kAbortAnswerMs, g_timeout_ms))) ReadReply(&code);
}

}  // namespace wininet::ftp
