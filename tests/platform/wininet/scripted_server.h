// A scripted FTP server for tests that need a server to misbehave on purpose: one control
// connection served from a thread by a table of raw answers, with switches for the ways a
// hostile or broken server behaves (an endless or dripped greeting, data dripped a byte at a
// time, data that stops while the connection stays open, a failed or short ending, a silent
// server). Every wait of its own is bounded, so a client that never comes cannot hang a test.
//
//   ScriptedServer server;
//   server.data = "bytes";          // what each data connection sends
//   server.Start();                 // then connect to 127.0.0.1:server.port()
#pragma once

#include <arpa/inet.h>
#include <gtest/gtest.h>
#include <netinet/in.h>
#include <poll.h>
#include <sys/socket.h>
#include <unistd.h>

#include <atomic>
#include <chrono>
#include <functional>
#include <map>
#include <string>
#include <thread>

// How long fn took, in milliseconds: the calls of these tests are timed against their bounds.
inline double Millis(const std::function<void()>& fn) {
  const auto start = std::chrono::steady_clock::now();
  fn();
  return std::chrono::duration<double, std::milli>(std::chrono::steady_clock::now() - start)
      .count();
}

// Millis, kept as a property of the test (key_ms in the XML report) for the table of bounds.
inline double Timed(const std::string& key, const std::function<void()>& fn) {
  const double ms = Millis(fn);
  ::testing::Test::RecordProperty(key + "_ms", static_cast<int>(ms + 0.5));
  return ms;
}

// A local port nobody listens on (one just let go of): a connection to it is refused.
inline std::uint16_t ClosedPort() {
  const int fd = socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC, 0);
  sockaddr_in address{};
  address.sin_family = AF_INET;
  address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
  bind(fd, reinterpret_cast<sockaddr*>(&address), sizeof address);
  socklen_t length = sizeof address;
  getsockname(fd, reinterpret_cast<sockaddr*>(&address), &length);
  close(fd);
  return ntohs(address.sin_port);
}

class ScriptedServer {
 public:
  static constexpr const char* kClose = "<close>";
  // How long anything the server streams for ever goes on at most.
  static constexpr std::chrono::seconds kStreamLimit{5};

  ScriptedServer() {
    listener_ = Listen(&port_);
    answers_ = {{"USER", "331 password please\r\n"},
                {"PASS", "230 in\r\n"},
                {"TYPE", "200 ok\r\n"},
                {"CWD", "250 ok\r\n"},
                {"DELE", "250 ok\r\n"},
                {"ABOR", "226 ok\r\n"},
                {"QUIT", "221 bye\r\n"}};
  }
  ~ScriptedServer() {
    stop_ = true;
    if (thread_.joinable()) thread_.join();
    close(listener_);
  }
  ScriptedServer(const ScriptedServer&) = delete;
  ScriptedServer& operator=(const ScriptedServer&) = delete;

  std::string greeting = "220 ready\r\n";
  bool endless_greeting = false;  // "220 xxxx..." without a line end, as fast as it is taken
  int greeting_drip_ms = 0;       // the greeting a byte at a time, this far apart, for ever
  std::string data;               // what each data connection sends
  bool data_cut_short = false;    // send half the data, then close everything
  std::size_t data_stop_at = std::string::npos;  // send this much, then hold the connection open
  int data_drip_ms = 0;                          // the data a byte at a time, this far apart
  std::size_t data_send = std::string::npos;     // send only this much, then close the data
  std::string ending = "226 done\r\n";           // the transfer's ending reply
  bool refuse_epsv = false;
  // The transfer's ending reply is held until the abort comes, and the abort's own answer
  // follows a moment later: the order a busy server may give.
  bool late_transfer_end = false;
  void Answer(const std::string& verb, const std::string& bytes) { answers_[verb] = bytes; }
  void Start() {
    thread_ = std::thread([this] { Serve(); });
  }
  std::uint16_t port() const { return port_; }

 private:
  using Clock = std::chrono::steady_clock;

  static int Listen(std::uint16_t* port) {
    int fd = socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC, 0);
    sockaddr_in address{};
    address.sin_family = AF_INET;
    address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    bind(fd, reinterpret_cast<sockaddr*>(&address), sizeof address);
    listen(fd, 4);
    socklen_t length = sizeof address;
    getsockname(fd, reinterpret_cast<sockaddr*>(&address), &length);
    *port = ntohs(address.sin_port);
    return fd;
  }
  static int AcceptWithin(int listener, int ms) {
    pollfd entry{listener, POLLIN, 0};
    if (poll(&entry, 1, ms) <= 0) return -1;
    return accept4(listener, nullptr, nullptr, SOCK_CLOEXEC);
  }
  static bool Send(int fd, const std::string& bytes) {
    return send(fd, bytes.data(), bytes.size(), MSG_NOSIGNAL) == static_cast<ssize_t>(bytes.size());
  }
  // Sends bytes one at a time ms apart (or a block again and again when endless), until the
  // peer goes, the test ends or the stream limit passes.
  void Stream(int fd, const std::string& bytes, int ms, bool endless) {
    const auto until = Clock::now() + kStreamLimit;
    for (std::size_t at = 0; !stop_ && Clock::now() < until && (endless || at < bytes.size());) {
      if (endless) {
        if (!Send(fd, bytes)) return;
      } else if (!Send(fd, bytes.substr(at++, 1))) {
        return;
      }
      if (ms > 0) std::this_thread::sleep_for(std::chrono::milliseconds(ms));
    }
  }
  void SendData(int data_fd) {
    if (data_drip_ms > 0) {
      Stream(data_fd, data, data_drip_ms, false);
    } else {
      Send(data_fd, data.substr(0, std::min(data_send, data_stop_at)));
    }
  }
  void Serve() {
    const int control = AcceptWithin(listener_, 5000);
    if (control < 0) return;
    if (endless_greeting) {
      Send(control, "220 ");
      Stream(control, std::string(4096, 'x'), 0, true);
      close(control);
      return;
    }
    if (greeting_drip_ms > 0) {
      Stream(control, greeting + std::string(100000, 'x'), greeting_drip_ms, false);
      close(control);
      return;
    }
    Send(control, greeting.substr(0, greeting.find(kClose)));
    int data_listener = -1;
    int held_data = -1;  // a data connection left open with nothing more coming
    std::string pending;
    char chunk[4096];
    bool open = greeting.find(kClose) == std::string::npos;
    bool owe_transfer_end = false;
    while (open && !stop_) {
      const std::size_t end = pending.find('\n');
      if (end == std::string::npos) {
        pollfd entry{control, POLLIN, 0};
        const int ready = poll(&entry, 1, 100);
        if (ready == 0) continue;
        if (ready < 0) break;
        const ssize_t got = recv(control, chunk, sizeof chunk, 0);
        if (got <= 0) break;
        pending.append(chunk, static_cast<std::size_t>(got));
        continue;
      }
      std::string line = pending.substr(0, end);
      pending.erase(0, end + 1);
      if (!line.empty() && line.back() == '\r') line.pop_back();
      const std::string verb = line.substr(0, line.find(' '));
      if (verb == "EPSV" && !refuse_epsv) {
        std::uint16_t port = 0;
        if (data_listener >= 0) close(data_listener);
        data_listener = Listen(&port);
        Send(control, "229 Extended (|||" + std::to_string(port) + "|)\r\n");
        continue;
      }
      if (verb == "PASV" && !answers_.count("PASV")) {
        std::uint16_t port = 0;
        if (data_listener >= 0) close(data_listener);
        data_listener = Listen(&port);
        // Names another machine: a careful client still goes to this server.
        Send(control, "227 Passive (10,255,255,1," + std::to_string(port / 256) + "," +
                          std::to_string(port % 256) + ")\r\n");
        continue;
      }
      auto answer = answers_.find(verb);
      const bool transfer = verb == "RETR" || verb == "LIST" || verb == "MLSD";
      if (answer == answers_.end() && transfer) {
        Send(control, "150 here it comes\r\n");
        const int data_fd = AcceptWithin(data_listener, 5000);
        if (data_cut_short) {
          Send(data_fd, data.substr(0, data.size() / 2));
          close(data_fd);
          break;
        }
        SendData(data_fd);
        if (data_stop_at != std::string::npos) {
          held_data = data_fd;  // nothing more, and no ending, until the abort
          continue;
        }
        close(data_fd);
        if (late_transfer_end) {
          owe_transfer_end = true;
        } else {
          Send(control, ending);
        }
        continue;
      }
      if (verb == "ABOR" && held_data >= 0) {
        close(held_data);
        held_data = -1;
        Send(control, "426 transfer aborted\r\n226 abort done\r\n");
        continue;
      }
      if (verb == "ABOR" && owe_transfer_end) {
        owe_transfer_end = false;
        Send(control, "226 done\r\n");
        std::this_thread::sleep_for(std::chrono::milliseconds(200));
        Send(control, "225 nothing to abort\r\n");
        continue;
      }
      const std::string reply = answer == answers_.end() ? "502 not here\r\n" : answer->second;
      const std::size_t cut = reply.find(kClose);
      Send(control, reply.substr(0, cut));
      if (cut != std::string::npos) break;
      if (verb == "QUIT") break;
    }
    if (held_data >= 0) close(held_data);
    if (data_listener >= 0) close(data_listener);
    close(control);
  }

  int listener_ = -1;
  std::uint16_t port_ = 0;
  std::map<std::string, std::string> answers_;
  std::atomic<bool> stop_{false};
  std::thread thread_;
};
