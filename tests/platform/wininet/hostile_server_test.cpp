// The FTP stand-in against a scripted server that misbehaves on purpose: garbage and overlong
// replies, replies that never end, connections closed in the middle, hostile listings, and a
// PASV answer naming another machine. Nothing may crash, hang past the timeouts or write
// outside the file asked for.
#include <arpa/inet.h>
#include <gtest/gtest.h>
#include <netinet/in.h>
#include <poll.h>
#include <sys/socket.h>
#include <unistd.h>

#include <algorithm>
#include <chrono>
#include <cstring>
#include <filesystem>
#include <map>
#include <string>
#include <thread>

#include "platform/wininet/wininet.h"

using namespace wininet;

namespace {

// One control connection served from a thread by a script of raw answers.
class ScriptedServer {
 public:
  static constexpr const char* kClose = "<close>";

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
    if (thread_.joinable()) thread_.join();
    close(listener_);
  }

  std::string greeting = "220 ready\r\n";
  std::string data;             // what each data connection sends
  bool data_cut_short = false;  // send half the data, then close everything
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
  static void Send(int fd, const std::string& bytes) {
    send(fd, bytes.data(), bytes.size(), MSG_NOSIGNAL);
  }
  void Serve() {
    const int control = AcceptWithin(listener_, 5000);
    if (control < 0) return;
    Send(control, greeting.substr(0, greeting.find(kClose)));
    int data_listener = -1;
    std::string pending;
    char chunk[4096];
    bool open = greeting.find(kClose) == std::string::npos;
    bool owe_transfer_end = false;
    while (open) {
      const std::size_t end = pending.find('\n');
      if (end == std::string::npos) {
        pollfd entry{control, POLLIN, 0};
        if (poll(&entry, 1, 5000) <= 0) break;
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
        data_listener = Listen(&port);
        Send(control, "229 Extended (|||" + std::to_string(port) + "|)\r\n");
        continue;
      }
      if (verb == "PASV" && !answers_.count("PASV")) {
        std::uint16_t port = 0;
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
        Send(data_fd, data);
        close(data_fd);
        if (late_transfer_end) {
          owe_transfer_end = true;
        } else {
          Send(control, "226 done\r\n");
        }
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
    if (data_listener >= 0) close(data_listener);
    close(control);
  }

  int listener_ = -1;
  std::uint16_t port_ = 0;
  std::map<std::string, std::string> answers_;
  std::thread thread_;
};

std::string Repeated(const std::string& line, int times) {
  std::string all;
  for (int i = 0; i < times; ++i) all += line;
  return all;
}

class HostileServerTest : public ::testing::Test {
 protected:
  void SetUp() override {
    wininet::testing::SetTimeoutMs(1000);
    session_ = InternetOpenA("test", INTERNET_OPEN_TYPE_PRECONFIG, nullptr, nullptr, 0);
  }
  void TearDown() override {
    InternetCloseHandle(session_);
    EXPECT_EQ(wininet::testing::OpenHandleCount(), 0);
    wininet::testing::SetTimeoutMs(0);
  }
  HINTERNET Connect(ScriptedServer& server) {
    server.Start();
    return InternetConnectA(session_, "127.0.0.1", server.port(), "user", "secret",
                            INTERNET_SERVICE_FTP, INTERNET_FLAG_PASSIVE, 0);
  }
  static std::string LastResponse() {
    char buffer[8192] = {};
    DWORD length = sizeof buffer;
    if (!InternetGetLastResponseInfoA(nullptr, buffer, &length)) return std::string();
    return std::string(buffer, length);
  }
  HINTERNET session_ = nullptr;
};

}  // namespace

TEST_F(HostileServerTest, BrokenGreetingsFailTheConnect) {
  for (const std::string& greeting :
       {std::string("HTTP/1.1 400 Bad Request\r\n"), std::string("220-half a reply\r\n<close>"),
        std::string("421 too busy\r\n"), std::string("2"), Repeated("120 soon\r\n", 5000)}) {
    ScriptedServer server;
    server.greeting = greeting;
    EXPECT_EQ(Connect(server), nullptr) << greeting;
    EXPECT_NE(GetLastError(), ERROR_SUCCESS);
  }
}

TEST_F(HostileServerTest, OverlongAndEndlessRepliesAreBounded) {
  ScriptedServer server;
  server.greeting = "220 " + std::string(1 << 20, 'x') + "\r\n";
  std::string endless = "250-start\r\n";
  for (int i = 0; i < 3000; ++i) endless += "250-more\r\n";
  server.Answer("CWD", endless);
  HINTERNET connection = Connect(server);
  ASSERT_NE(connection, nullptr);  // the megabyte line was cut, the login went on
  EXPECT_FALSE(FtpSetCurrentDirectoryA(connection, "docs"));
  EXPECT_FALSE(FtpSetCurrentDirectoryA(connection, "."));
  EXPECT_EQ(GetLastError(), ERROR_FTP_DROPPED);
  InternetCloseHandle(connection);
}

TEST_F(HostileServerTest, GarbageOrClosingMidReplyDropsTheConnection) {
  ScriptedServer garbage;
  garbage.Answer("CWD", "hello there\r\n");
  HINTERNET connection = Connect(garbage);
  ASSERT_NE(connection, nullptr);
  EXPECT_FALSE(FtpSetCurrentDirectoryA(connection, "docs"));
  EXPECT_FALSE(FtpDeleteFileA(connection, "x"));
  EXPECT_EQ(GetLastError(), ERROR_FTP_DROPPED);

  ScriptedServer closing;
  closing.Answer("DELE", "250-first line only\r\n<close>");
  connection = Connect(closing);
  ASSERT_NE(connection, nullptr);
  EXPECT_FALSE(FtpDeleteFileA(connection, "x"));
}

TEST_F(HostileServerTest, HostileListingKeepsOnlyUsableEntries) {
  ScriptedServer server;
  server.data =
      "type=file;size=18446744073709551615; max.bin\r\n"
      "type=file;size=99999999999999999999999; wrapped.bin\r\n"
      "type=file;size=5; ../../etc/passwd\r\n"
      "type=file;size=5; a/b\r\n"
      "type=dir; ..\r\n"
      "type=file;size=5; " +
      std::string(400, 'n') +
      "\r\n"
      "not a listing line at all\r\n"
      "type=dir; ok folder\n";
  HINTERNET connection = Connect(server);
  ASSERT_NE(connection, nullptr);
  WIN32_FIND_DATAA data{};
  HINTERNET find = FtpFindFirstFileA(connection, nullptr, &data, 0, 0);
  ASSERT_NE(find, nullptr);
  EXPECT_STREQ(data.cFileName, "max.bin");
  EXPECT_EQ(data.nFileSizeHigh, 0xFFFFFFFFu);
  EXPECT_EQ(data.nFileSizeLow, 0xFFFFFFFFu);
  ASSERT_TRUE(InternetFindNextFileA(find, &data));
  EXPECT_STREQ(data.cFileName, "wrapped.bin");
  EXPECT_EQ(data.nFileSizeHigh | data.nFileSizeLow, 0u);
  ASSERT_TRUE(InternetFindNextFileA(find, &data));
  EXPECT_STREQ(data.cFileName, "ok folder");
  EXPECT_EQ(data.dwFileAttributes, FILE_ATTRIBUTE_DIRECTORY);
  EXPECT_FALSE(InternetFindNextFileA(find, &data));
  InternetCloseHandle(connection);  // before the server, which waits for its QUIT
}

TEST_F(HostileServerTest, CutTransferRemovesTheLocalFileAndPasvCannotBounce) {
  char folder[] = "/tmp/tessark_ftp_hostile_XXXXXX";
  ASSERT_NE(mkdtemp(folder), nullptr);
  const std::string local = std::string(folder) + "/cut.bin";

  ScriptedServer cut;
  cut.data = std::string(100000, 'c');
  cut.data_cut_short = true;
  HINTERNET connection = Connect(cut);
  ASSERT_NE(connection, nullptr);
  EXPECT_FALSE(FtpGetFileA(connection, "cut.bin", local.c_str(), FALSE, 0, 0, 0));
  EXPECT_FALSE(std::filesystem::exists(local));

  // EPSV unknown, PASV names 10.255.255.1: the data still comes from the server itself.
  ScriptedServer bounce;
  bounce.refuse_epsv = true;
  bounce.data = "safe bytes";
  connection = Connect(bounce);
  ASSERT_NE(connection, nullptr);
  ASSERT_TRUE(FtpGetFileA(connection, "file.bin", local.c_str(), FALSE, 0, 0, 0));
  std::FILE* file = std::fopen(local.c_str(), "rb");
  ASSERT_NE(file, nullptr);
  char read_back[32] = {};
  EXPECT_EQ(std::fread(read_back, 1, sizeof read_back, file), 10u);
  std::fclose(file);
  EXPECT_STREQ(read_back, "safe bytes");
  InternetCloseHandle(connection);
  std::filesystem::remove_all(folder);
}

TEST_F(HostileServerTest, AbortReadsBothRepliesSoTheNextCommandGetsItsOwn) {
  ScriptedServer server;
  server.data = std::string(5000, 'd');
  server.late_transfer_end = true;
  server.Answer("CWD", "250 now in docs\r\n");
  HINTERNET connection = Connect(server);
  ASSERT_NE(connection, nullptr);
  HINTERNET file = FtpOpenFileA(connection, "file.bin", GENERIC_READ, FTP_TRANSFER_TYPE_BINARY, 0);
  ASSERT_NE(file, nullptr);
  char chunk[100];
  DWORD read = 0;
  ASSERT_TRUE(InternetReadFile(file, chunk, sizeof chunk, &read));
  EXPECT_EQ(read, sizeof chunk);
  InternetCloseHandle(file);  // aborted: "226 done" now, "225 nothing to abort" a moment later
  EXPECT_TRUE(FtpSetCurrentDirectoryA(connection, "docs"));
  EXPECT_EQ(LastResponse().substr(0, 15), "250 now in docs");
  InternetCloseHandle(connection);
}
