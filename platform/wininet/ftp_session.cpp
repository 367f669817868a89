// The control and data connections on POSIX sockets. See ftp_session.h.
#include "platform/wininet/ftp_session.h"

#include <arpa/inet.h>
#include <fcntl.h>
#include <netdb.h>
#include <netinet/in.h>
#include <poll.h>
#include <unistd.h>

#include <algorithm>
#include <atomic>
#include <cctype>
#include <cerrno>
#include <climits>
#include <condition_variable>
#include <cstring>
#include <memory>
#include <mutex>
#include <system_error>
#include <thread>
#include <vector>

#include "platform/wininet/wininet.h"

namespace wininet::ftp {

int g_timeout_ms = kTimeoutMs;
std::atomic<int> g_lookup_delay_ms{0};  // a test's slow resolver

namespace {

// Milliseconds left until deadline (0 once it has passed).
int Remaining(Deadline deadline) {
  const auto left =
      std::chrono::duration_cast<std::chrono::milliseconds>(deadline - Clock::now()).count();
  return left > 0 ? static_cast<int>(std::min<long long>(left, INT32_MAX)) : 0;
}

// Waits until fd is ready for events or the deadline passes; true when ready.
bool WaitFor(int fd, short events, Deadline deadline) {
  for (;;) {
    pollfd entry{fd, events, 0};
    const int ready = poll(&entry, 1, Remaining(deadline));
    if (ready > 0) return true;
    if (ready == 0) return false;
    if (errno != EINTR) return false;
  }
}

// What a failed connect or lookup was, in words ("connection refused").
std::string Reason(int error) {
  switch (error) {
    case ECONNREFUSED:
      return "connection refused";
    case ENETUNREACH:
      return "the network cannot be reached";
    case EHOSTUNREACH:
      return "the machine cannot be reached";
    case ETIMEDOUT:
      return "no answer";
    default: {
      std::string text = std::strerror(error);
      if (!text.empty())
        text[0] = static_cast<char>(std::tolower(static_cast<unsigned char>(text[0])));
      return text;
    }
  }
}

// The addresses of one name lookup.
struct Addresses {
  std::vector<sockaddr_storage> list;
  std::vector<socklen_t> lengths;
  int status = EAI_AGAIN;  // getaddrinfo's answer
  bool done = false;
};

void Take(addrinfo* found, Addresses* into) {
  for (addrinfo* at = found; at; at = at->ai_next) {
    if (at->ai_addrlen > sizeof(sockaddr_storage)) continue;
    sockaddr_storage address{};
    std::memcpy(&address, at->ai_addr, at->ai_addrlen);
    into->list.push_back(address);
    into->lengths.push_back(at->ai_addrlen);
  }
}

// Looks host up by deadline. The system's lookup cannot be given a time limit, so it runs on a
// thread of its own that the caller stops waiting for at the deadline; a late lookup finishes
// there and drops its answer. Addresses written as numbers need no thread.
Addresses Resolve(const std::string& host, std::uint16_t port, Deadline deadline, bool* late) {
  *late = false;
  const std::string service = std::to_string(port);
  addrinfo hints{};
  hints.ai_family = AF_UNSPEC;
  hints.ai_socktype = SOCK_STREAM;
  hints.ai_flags = AI_NUMERICHOST | AI_NUMERICSERV;
  Addresses numeric;
  addrinfo* found = nullptr;
  if (getaddrinfo(host.c_str(), service.c_str(), &hints, &found) == 0) {
    Take(found, &numeric);
    freeaddrinfo(found);
    numeric.status = 0;
    return numeric;
  }
  struct Shared {
    std::mutex lock;
    std::condition_variable finished;
    Addresses answer;
  };
  auto shared = std::make_shared<Shared>();
  try {
    std::thread([shared, host, service] {
      if (const int delay = g_lookup_delay_ms.load())
        std::this_thread::sleep_for(std::chrono::milliseconds(delay));
      addrinfo ask{};
      ask.ai_family = AF_UNSPEC;
      ask.ai_socktype = SOCK_STREAM;
      ask.ai_flags = AI_NUMERICSERV;
      addrinfo* list = nullptr;
      Addresses answer;
      answer.status = getaddrinfo(host.c_str(), service.c_str(), &ask, &list);
      if (answer.status == 0) Take(list, &answer);
      if (list) freeaddrinfo(list);
      answer.done = true;
      std::lock_guard<std::mutex> hold(shared->lock);
      shared->answer = std::move(answer);
      shared->finished.notify_all();
    }).detach();
  } catch (const std::system_error&) {
    return Addresses{};  // no thread to be had: as a failed lookup
  }
  std::unique_lock<std::mutex> hold(shared->lock);
  if (!shared->finished.wait_until(hold, deadline, [&] { return shared->answer.done; })) {
    *late = true;
    return Addresses{};
  }
  return std::move(shared->answer);
}

}  // namespace

int TimeoutMs() {
  return g_timeout_ms;
}

Deadline After(int ms) {
  return Clock::now() + std::chrono::milliseconds(ms);
}

std::string DurationWords(int ms) {
  if (ms % 1000 == 0) return std::to_string(ms / 1000) + " s";
  return std::to_string(ms) + " ms";
}

std::string TimeoutWords() {
  return DurationWords(g_timeout_ms);
}

}  // namespace wininet::ftp

namespace wininet::testing {

void SetTimeoutMs(int ms) {
  ftp::g_timeout_ms = ms > 0 ? ms : ftp::kTimeoutMs;
}

void SetLookupDelayMs(int ms) {
  ftp::g_lookup_delay_ms = ms > 0 ? ms : 0;
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

Socket Socket::ConnectTo(const sockaddr* address, socklen_t length, Deadline deadline,
                         DWORD* error) {
  Socket socket(::socket(address->sa_family, SOCK_STREAM | SOCK_CLOEXEC | SOCK_NONBLOCK, 0));
  *error = ERROR_INTERNET_CANNOT_CONNECT;
  errno = 0;
  if (!socket.valid()) return Socket();
  if (::connect(socket.fd_, address, length) != 0) {
    if (errno != EINPROGRESS) return Socket();
    if (!WaitFor(socket.fd_, POLLOUT, deadline)) {
      *error = ERROR_INTERNET_TIMEOUT;
      errno = ETIMEDOUT;
      return Socket();
    }
    int failure = 0;
    socklen_t size = sizeof failure;
    if (getsockopt(socket.fd_, SOL_SOCKET, SO_ERROR, &failure, &size) != 0 || failure != 0) {
      errno = failure;
      return Socket();
    }
  }
  *error = ERROR_SUCCESS;
  return socket;
}

Socket Socket::Connect(const char* host, std::uint16_t port, Deadline deadline, DWORD* error,
                       std::string* why) {
  const std::string where = std::string(host) + " port " + std::to_string(port);
  bool late = false;
  const Addresses found = Resolve(host, port, deadline, &late);
  if (late || found.list.empty()) {
    *error = late ? ERROR_INTERNET_TIMEOUT : ERROR_INTERNET_NAME_NOT_RESOLVED;
    *why = late ? "Could not find the server " + std::string(host) + " within " + TimeoutWords()
                : "Could not find the server " + std::string(host);
    return Socket();
  }
  Socket socket;
  int last_errno = 0;
  *error = ERROR_INTERNET_CANNOT_CONNECT;
  // Each address gets its share of the time left, so one that never answers cannot take the
  // others' turn.
  for (std::size_t i = 0; i < found.list.size() && !socket.valid(); ++i) {
    const auto left = deadline - Clock::now();
    if (left <= Clock::duration::zero()) break;
    const Deadline turn = Clock::now() + left / static_cast<long>(found.list.size() - i);
    socket = ConnectTo(reinterpret_cast<const sockaddr*>(&found.list[i]), found.lengths[i],
                       i + 1 == found.list.size() ? deadline : turn, error);
    last_errno = errno;
  }
  if (socket.valid()) return socket;
  if (*error == ERROR_INTERNET_TIMEOUT || last_errno == 0)
    *why = "Could not connect to " + where + " within " + TimeoutWords();
  else
    *why = "Could not connect to " + where + ": " + Reason(last_errno);
  return Socket();
}

bool Socket::SendAll(const void* data, std::size_t size, Deadline deadline) {
  const auto* bytes = static_cast<const char*>(data);
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

long Socket::Receive(void* data, std::size_t size, Deadline deadline) {
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

namespace {

// A line from the server, made safe to show: printable bytes only, and not too long.
std::string Shown(std::string_view line) {
  std::string shown;
  for (char c : line.substr(0, 60)) shown += (c >= 32 && c < 127) ? c : '?';
  if (line.size() > 60) shown += "...";
  return shown;
}

}  // namespace

void Session::Die(std::string why) {
  dead_ = true;
  reading_ = false;
  control_.Close();
  buffer_.clear();
  last_reply_ = std::move(why);
}

Session::Line Session::ReadLine(Deadline deadline) {
  for (;;) {
    const std::size_t end = buffer_.find('\n');
    const std::size_t take = end == std::string::npos ? buffer_.size() : end + 1;
    // Every byte counts against the reply, also those of a line cut short.
    if (take > reply_budget_) return Line::kTooLong;
    reply_budget_ -= take;
    const std::size_t body = end == std::string::npos ? take : end;
    line_.append(buffer_, 0,
                 std::min(body, kMaxLineLength - std::min(kMaxLineLength, line_.size())));
    buffer_.erase(0, take);
    if (end != std::string::npos) {
      if (!line_.empty() && line_.back() == '\r') line_.pop_back();
      return Line::kLine;
    }
    char chunk[2048];
    const long got = control_.Receive(chunk, sizeof chunk, deadline);
    if (got == Socket::kTimedOut) return Line::kTimedOut;
    if (got <= 0) return Line::kClosed;
    buffer_.append(chunk, static_cast<std::size_t>(got));
  }
}

Session::Wait Session::FailReply(std::string why) {
  Die(std::move(why));
  return Wait::kFailed;
}

Session::Wait Session::AwaitReply(int* code, Deadline wait_until) {
  *code = 0;
  if (dead_) return Wait::kFailed;
  if (!reading_) {
    reading_ = true;
    reply_deadline_ = After(g_timeout_ms);
    parser_.Reset();
    line_.clear();
    reply_budget_ = kMaxReplyText;
  }
  for (;;) {
    const bool patient = reply_deadline_ <= wait_until;
    switch (ReadLine(patient ? reply_deadline_ : wait_until)) {
      case Line::kLine:
        break;
      case Line::kTimedOut:
        if (!patient) return Wait::kNotYet;
        return FailReply("The server sent no reply within " + TimeoutWords());
      case Line::kClosed:
        return FailReply("The server closed the connection");
      case Line::kTooLong:
        return FailReply("The server's reply was longer than " +
                         std::to_string(kMaxReplyText / 1024) + " KB");
    }
    const ReplyParser::Step step = parser_.Feed(line_);
    if (step == ReplyParser::Step::kBad) {
      if (parser_.text().empty())
        return FailReply("The server's reply was not FTP: \"" + Shown(line_) + "\"");
      return FailReply("The server's reply was longer than " + std::to_string(kMaxReplyLines) +
                       " lines");
    }
    line_.clear();
    if (step == ReplyParser::Step::kDone) break;
  }
  reading_ = false;
  last_reply_ = parser_.text();
  *code = parser_.code();
  return Wait::kDone;
}

bool Session::ReadReply(int* code) {
  // Waits as long as the reply's own deadline allows.
  return AwaitReply(code, Deadline::max()) == Wait::kDone;
}

// Drops whatever the server sent that no command asked for (a late reply to an abort), so
// that the next command reads its own reply.
void Session::DiscardWaiting() {
  reading_ = false;
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
        if (got == 0 || (errno != EAGAIN && errno != EWOULDBLOCK && errno != EINTR))
          Die("The server closed the connection");
        return;
      }
      buffer_.append(chunk, static_cast<std::size_t>(got));
      if (buffer_.size() > kMaxReplyText) {
        Die("The server sent more than " + std::to_string(kMaxReplyText / 1024) +
            " KB that nothing asked for");
        return;
      }
      continue;
    }
    buffer_.erase(0, buffer_.find('\n') + 1);
  }
}

bool Session::Command(std::string_view command, int* code) {
  return Exchange(command, code, Deadline::max()) == Wait::kDone;
}

Session::Wait Session::Exchange(std::string_view command, int* code, Deadline wait_until) {
  *code = 0;
  if (dead_) return Wait::kFailed;
  if (command.find_first_of(std::string_view("\r\n\0", 3)) != std::string_view::npos)
    return Wait::kFailed;
  DiscardWaiting();
  if (!Send(command)) return Wait::kFailed;
  return AwaitReply(code, wait_until);
}

bool Session::Send(std::string_view command) {
  if (dead_) return false;
  std::string line(command);
  line.append("\r\n");
  if (!control_.SendAll(line.data(), line.size(), After(g_timeout_ms))) {
    Die("The server stopped taking commands");
    return false;
  }
  return true;
}

bool Session::Open(const char* host, std::uint16_t port, const char* user, const char* password,
                   DWORD* error) {
  Die(std::string());
  type_ = 0;
  epsv_refused_ = false;
  // The whole connect, from the name lookup to the login, is due within the timeout.
  const Deadline deadline = After(g_timeout_ms);
  std::string why;
  control_ = Socket::Connect(host, port, deadline, error, &why);
  if (!control_.valid()) {
    last_reply_ = why;
    return false;
  }
  dead_ = false;
  int code = 0;
  // The greeting; "120 ready in n minutes" comes before the real one (a few times at most: a
  // server repeating it for ever is not going to be ready).
  for (int preliminary = 0; preliminary < 8 && (code == 0 || code == 120); ++preliminary) {
    if (AwaitReply(&code, deadline) != Wait::kDone) {
      *error = ERROR_INTERNET_CONNECTION_ABORTED;
      if (!dead_) Die("The server sent no greeting within " + TimeoutWords());
      return false;
    }
  }
  if (code / 100 != 2) {
    *error = ERROR_INTERNET_EXTENDED_ERROR;
    const std::string refusal = last_reply_;
    Die(code == 120 ? "The server kept saying it would be ready soon" : refusal);
    return false;
  }
  // The login too is due by the connect's deadline.
  const auto login = [&](const std::string& line) {
    const Wait wait = Exchange(line, &code, deadline);
    if (wait == Wait::kNotYet) Die("The server did not finish the login within " + TimeoutWords());
    if (wait == Wait::kDone) return true;
    *error = ERROR_INTERNET_CONNECTION_ABORTED;
    return false;
  };
  if (!login(std::string("USER ") + (user && *user ? user : "anonymous"))) return false;
  if (code == 331 && !login(std::string("PASS ") + (password ? password : ""))) return false;
  if (code != 230 && code != 202) {
    *error = ERROR_INTERNET_LOGIN_FAILURE;
    const std::string refusal = last_reply_;
    Die(refusal);
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
      return Socket::ConnectTo(reinterpret_cast<sockaddr*>(&peer), length, After(g_timeout_ms),
                               error);
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
  return Socket::ConnectTo(reinterpret_cast<sockaddr*>(&peer), length, After(g_timeout_ms), error);
}

void Session::Quit() {
  if (!dead_) {
    DiscardWaiting();
    static constexpr char kQuit[] = "QUIT\r\n";
    if (!dead_) ::send(control_.fd(), kQuit, sizeof kQuit - 1, MSG_NOSIGNAL | MSG_DONTWAIT);
  }
  Die(last_reply_);
}

void Session::Abort() {
  // Two replies follow: the transfer's own ending, then the abort's. The ending is 426 or 451
  // when the abort cut the transfer short, but 226 when the server had sent the last byte
  // before the abort arrived, and that 226 may already be here or still on its way, so nothing
  // waiting is dropped first: the first reply read is the ending, the second the abort's.
  // Both are due within a short wait rather than the whole timeout: an abort is how the program
  // gets out of a transfer, and a server that does not answer it in time is out of step and
  // given up. A second reply that comes later still is dropped by the next command.
  const std::string said = last_reply_;
  const Deadline by = After(std::min(kAbortAnswerMs, g_timeout_ms));
  int code = 0;
  if (Send("ABOR")) {
    const Wait ending = AwaitReply(&code, by);
    if (ending == Wait::kNotYet) Die("The server did not answer the abort");
    if (ending == Wait::kDone) AwaitReply(&code, by);
  }
  last_reply_ = said;
}

std::uint64_t Session::RemoteSize(std::string_view name) {
  int code = 0;
  if (!Command("SIZE " + std::string(name), &code) || code != 213) return 0;
  return ParseSize(last_reply_).value_or(0);
}

}  // namespace wininet::ftp
