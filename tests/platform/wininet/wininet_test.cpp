// The FTP stand-in against a real server (pyftpdlib on a free local port): the handle model,
// listings with MLSD and the LIST fallback, EPSV and the PASV fallback, downloads, uploads,
// deletes, timeouts and a server that dies.
#include <gtest/gtest.h>

#include <algorithm>
#include <cstring>
#include <filesystem>
#include <string>

#include "platform/wininet/wininet.h"
#include "tests/platform/wininet/ftp_server.h"

using namespace wininet;

namespace {

std::string LastResponse() {
  char buffer[1024] = {};
  DWORD error = 0;
  DWORD length = sizeof buffer;
  if (!InternetGetLastResponseInfoA(&error, buffer, &length)) return std::string();
  return std::string(buffer, length);
}

std::string Pattern(std::size_t size) {
  std::string bytes(size, '\0');
  for (std::size_t i = 0; i < size; ++i) bytes[i] = static_cast<char>((i * 7919 + i / 251) & 0xFF);
  return bytes;
}

class WininetTest : public ::testing::Test {
 protected:
  void SetUp() override {
    char folder[] = "/tmp/tessark_ftp_local_XXXXXX";
    ASSERT_NE(mkdtemp(folder), nullptr);
    local_ = folder;
    server_.Put("hello.txt", "hello, world\n");
    server_.Put("docs/readme.md", "# read me\n");
    ASSERT_TRUE(server_.Start(Options())) << server_.failure();
    wininet::testing::SetFtpPort(server_.port());
    session_ = InternetOpenA("test", INTERNET_OPEN_TYPE_PRECONFIG, nullptr, nullptr, 0);
    ASSERT_NE(session_, nullptr);
  }
  void TearDown() override {
    if (session_) InternetCloseHandle(session_);
    EXPECT_EQ(wininet::testing::OpenHandleCount(), 0);
    wininet::testing::SetFtpPort(0);
    wininet::testing::SetTimeoutMs(0);
    server_.Stop();
    std::filesystem::remove_all(local_);
  }
  virtual std::vector<std::string> Options() const { return {}; }

  HINTERNET Connect(const char* password = LocalFtpServer::kPassword) {
    return InternetConnectA(session_, "localhost", INTERNET_DEFAULT_FTP_PORT, LocalFtpServer::kUser,
                            password, INTERNET_SERVICE_FTP, INTERNET_FLAG_PASSIVE, 0);
  }
  // Every entry of the current folder as "name:size" or "name/".
  std::vector<std::string> List(HINTERNET connection) {
    std::vector<std::string> names;
    WIN32_FIND_DATAA data{};
    HINTERNET find = FtpFindFirstFileA(connection, nullptr, &data, 0, 0);
    if (!find) return names;
    do {
      const std::uint64_t size = (std::uint64_t{data.nFileSizeHigh} << 32) | data.nFileSizeLow;
      names.push_back(std::string(data.cFileName) +
                      ((data.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY)
                           ? std::string("/")
                           : ":" + std::to_string(size)));
    } while (InternetFindNextFileA(find, &data));
    EXPECT_EQ(GetLastError(), ERROR_NO_MORE_FILES);
    InternetCloseHandle(find);
    std::sort(names.begin(), names.end());
    return names;
  }

  LocalFtpServer server_;
  std::string local_;
  HINTERNET session_ = nullptr;
};

class WininetFallbackTest : public WininetTest {
 protected:
  std::vector<std::string> Options() const override { return {"--no-epsv", "--no-mlsd"}; }
};

}  // namespace

TEST_F(WininetTest, LoginKeepsTheReplyAndAWrongPasswordFails) {
  HINTERNET connection = Connect();
  ASSERT_NE(connection, nullptr);
  EXPECT_EQ(LastResponse().substr(0, 3), "230");
  EXPECT_EQ(Connect("wrong"), nullptr);
  EXPECT_EQ(GetLastError(), ERROR_INTERNET_LOGIN_FAILURE);
  EXPECT_EQ(LastResponse().substr(0, 3), "530");
  // Nothing of the password travels back in any text.
  EXPECT_EQ(LastResponse().find(LocalFtpServer::kPassword), std::string::npos);
  EXPECT_TRUE(InternetCloseHandle(connection));
}

TEST_F(WininetTest, FoldersListingsAndTheHandleModel) {
  HINTERNET connection = Connect();
  ASSERT_NE(connection, nullptr);
  server_.Put("big.bin", Pattern(70000));
  EXPECT_EQ(List(connection), (std::vector<std::string>{"big.bin:70000", "docs/", "hello.txt:13"}));

  // A listing holds the connection until it is closed.
  WIN32_FIND_DATAA data{};
  HINTERNET find = FtpFindFirstFileA(connection, nullptr, &data, 0, 0);
  ASSERT_NE(find, nullptr);
  EXPECT_FALSE(FtpSetCurrentDirectoryA(connection, "docs"));
  EXPECT_EQ(GetLastError(), ERROR_FTP_TRANSFER_IN_PROGRESS);
  EXPECT_EQ(FtpFindFirstFileA(connection, nullptr, &data, 0, 0), nullptr);
  EXPECT_TRUE(InternetCloseHandle(find));
  EXPECT_FALSE(InternetCloseHandle(find));
  EXPECT_EQ(GetLastError(), ERROR_INVALID_HANDLE);

  // The connection keeps its folder between calls.
  EXPECT_TRUE(FtpSetCurrentDirectoryA(connection, "docs"));
  EXPECT_EQ(List(connection), (std::vector<std::string>{"readme.md:10"}));
  EXPECT_FALSE(FtpSetCurrentDirectoryA(connection, "missing"));
  EXPECT_EQ(GetLastError(), ERROR_INTERNET_EXTENDED_ERROR);
  EXPECT_EQ(LastResponse().substr(0, 3), "550");
  EXPECT_TRUE(FtpSetCurrentDirectoryA(connection, ".."));
  EXPECT_EQ(List(connection).size(), 3u);

  // Closing the session closes the connection and the listing beneath it.
  find = FtpFindFirstFileA(connection, nullptr, &data, 0, 0);
  ASSERT_NE(find, nullptr);
  EXPECT_TRUE(InternetCloseHandle(session_));
  session_ = nullptr;
  EXPECT_EQ(wininet::testing::OpenHandleCount(), 0);
  EXPECT_FALSE(InternetFindNextFileA(find, &data));
  EXPECT_EQ(GetLastError(), ERROR_INVALID_HANDLE);
}

TEST_F(WininetFallbackTest, ListAndPasvServeWhenMlsdAndEpsvAreUnknown) {
  HINTERNET connection = Connect();
  ASSERT_NE(connection, nullptr);
  server_.Put("big.bin", Pattern(70000));
  EXPECT_EQ(List(connection), (std::vector<std::string>{"big.bin:70000", "docs/", "hello.txt:13"}));
  const std::string file = local_ + "/big.bin";
  ASSERT_TRUE(
      FtpGetFileA(connection, "big.bin", file.c_str(), FALSE, 0, FTP_TRANSFER_TYPE_BINARY, 0));
  EXPECT_EQ(LocalFtpServer::ReadFile(file), Pattern(70000));
}

TEST_F(WininetTest, DownloadsUploadsAndDeletes) {
  HINTERNET connection = Connect();
  ASSERT_NE(connection, nullptr);
  const std::string bytes = Pattern(3 * 1024 * 1024 + 17);
  server_.Put("data.bin", bytes);
  const std::string file = local_ + "/data.bin";
  ASSERT_TRUE(
      FtpGetFileA(connection, "data.bin", file.c_str(), FALSE, 0, FTP_TRANSFER_TYPE_BINARY, 0));
  EXPECT_EQ(LocalFtpServer::ReadFile(file), bytes);
  EXPECT_FALSE(FtpGetFileA(connection, "data.bin", file.c_str(), TRUE, 0, 0, 0));
  EXPECT_EQ(GetLastError(), ERROR_FILE_EXISTS);

  // A missing remote file leaves no local file behind.
  const std::string absent = local_ + "/absent.bin";
  EXPECT_FALSE(FtpGetFileA(connection, "absent.bin", absent.c_str(), FALSE, 0, 0, 0));
  EXPECT_EQ(LastResponse().substr(0, 3), "550");
  EXPECT_FALSE(std::filesystem::exists(absent));

  // Piece by piece: the buffer fills until the end, then 0 once the server confirmed it.
  HINTERNET open = FtpOpenFileA(connection, "data.bin", GENERIC_READ, FTP_TRANSFER_TYPE_BINARY, 0);
  ASSERT_NE(open, nullptr);
  EXPECT_FALSE(FtpDeleteFileA(connection, "data.bin"));
  EXPECT_EQ(GetLastError(), ERROR_FTP_TRANSFER_IN_PROGRESS);
  std::string read_back;
  char piece[1024];
  DWORD got = 0;
  while (InternetReadFile(open, piece, sizeof piece, &got) && got > 0) {
    read_back.append(piece, got);
    if (got < sizeof piece) {
      EXPECT_EQ(read_back.size(), bytes.size());
    }
  }
  EXPECT_EQ(got, 0u);
  EXPECT_EQ(read_back, bytes);
  EXPECT_TRUE(InternetCloseHandle(open));

  // Up, then deleted; names with line breaks never reach the server.
  ASSERT_TRUE(FtpPutFileA(connection, file.c_str(), "copy.bin", 0, 0));
  EXPECT_EQ(server_.Read("copy.bin"), bytes);
  EXPECT_FALSE(FtpDeleteFileA(connection, "copy.bin\r\nDELE hello.txt"));
  EXPECT_EQ(GetLastError(), ERROR_INVALID_PARAMETER);
  EXPECT_FALSE(FtpSetCurrentDirectoryA(connection, "docs\nDELE hello.txt"));
  EXPECT_TRUE(FtpDeleteFileA(connection, "copy.bin"));
  EXPECT_FALSE(server_.Exists("copy.bin"));
  EXPECT_TRUE(server_.Exists("hello.txt"));
  EXPECT_FALSE(FtpDeleteFileA(connection, "copy.bin"));
  EXPECT_FALSE(FtpPutFileA(connection, (local_ + "/nothing").c_str(), "nothing", 0, 0));
}

TEST_F(WininetTest, ClosingAnUnfinishedDownloadLeavesTheConnectionUsable) {
  HINTERNET connection = Connect();
  ASSERT_NE(connection, nullptr);
  server_.Put("data.bin", Pattern(2 * 1024 * 1024));
  HINTERNET open = FtpOpenFileA(connection, "data.bin", GENERIC_READ, FTP_TRANSFER_TYPE_BINARY, 0);
  ASSERT_NE(open, nullptr);
  char piece[1024];
  DWORD got = 0;
  ASSERT_TRUE(InternetReadFile(open, piece, sizeof piece, &got));
  EXPECT_TRUE(InternetCloseHandle(open));
  EXPECT_TRUE(FtpSetCurrentDirectoryA(connection, "docs"));
  EXPECT_EQ(List(connection), (std::vector<std::string>{"readme.md:10"}));
}

TEST_F(WininetTest, SilentServerTimesOutAndDeadServerDropsTheConnection) {
  wininet::testing::SetTimeoutMs(300);
  HINTERNET connection = Connect();
  ASSERT_NE(connection, nullptr);
  server_.Put("stall.bin", Pattern(100000));
  HINTERNET open = FtpOpenFileA(connection, "stall.bin", GENERIC_READ, FTP_TRANSFER_TYPE_BINARY, 0);
  ASSERT_NE(open, nullptr);
  std::string read_back;
  char piece[1024];
  DWORD got = 0;
  while (InternetReadFile(open, piece, sizeof piece, &got)) read_back.append(piece, got);
  EXPECT_EQ(GetLastError(), ERROR_INTERNET_TIMEOUT);
  EXPECT_EQ(read_back, Pattern(100000).substr(0, 4096));
  EXPECT_TRUE(InternetCloseHandle(open));
  EXPECT_TRUE(FtpSetCurrentDirectoryA(connection, "."));

  server_.Put("data.bin", Pattern(4 * 1024 * 1024));
  open = FtpOpenFileA(connection, "data.bin", GENERIC_READ, FTP_TRANSFER_TYPE_BINARY, 0);
  ASSERT_NE(open, nullptr);
  ASSERT_TRUE(InternetReadFile(open, piece, sizeof piece, &got));
  server_.Stop();
  BOOL ok = TRUE;
  for (int i = 0; i < 10000 && ok; ++i) ok = InternetReadFile(open, piece, sizeof piece, &got);
  EXPECT_FALSE(ok);  // never a clean end: the server did not confirm the file
  EXPECT_FALSE(FtpSetCurrentDirectoryA(connection, "."));
  EXPECT_EQ(GetLastError(), ERROR_FTP_DROPPED);
  EXPECT_TRUE(InternetCloseHandle(open));
}

TEST(WininetConnect, UnreachableServersAndOddArguments) {
  HINTERNET session = InternetOpenA("test", INTERNET_OPEN_TYPE_PRECONFIG, nullptr, nullptr, 0);
  ASSERT_NE(session, nullptr);
  wininet::testing::SetTimeoutMs(500);
  // A port nobody listens on (one just closed) is refused at once.
  LocalFtpServer gone;
  ASSERT_TRUE(gone.Start()) << gone.failure();
  const std::uint16_t port = gone.port();
  gone.Stop();
  EXPECT_EQ(InternetConnectA(session, "127.0.0.1", port, "u", "p", INTERNET_SERVICE_FTP, 0, 0),
            nullptr);
  EXPECT_EQ(GetLastError(), ERROR_INTERNET_CANNOT_CONNECT);
  EXPECT_EQ(
      InternetConnectA(session, "no-such-host.invalid", 21, "u", "p", INTERNET_SERVICE_FTP, 0, 0),
      nullptr);
  EXPECT_EQ(
      InternetConnectA(session, "127.0.0.1", port, "u\r\nDELE x", "p", INTERNET_SERVICE_FTP, 0, 0),
      nullptr);
  EXPECT_EQ(GetLastError(), ERROR_INVALID_PARAMETER);
  EXPECT_EQ(InternetConnectA(nullptr, "127.0.0.1", port, "u", "p", INTERNET_SERVICE_FTP, 0, 0),
            nullptr);
  EXPECT_EQ(GetLastError(), ERROR_INVALID_HANDLE);
  // Handles of the wrong kind are told apart.
  EXPECT_FALSE(FtpSetCurrentDirectoryA(session, "."));
  EXPECT_EQ(GetLastError(), ERROR_INTERNET_INCORRECT_HANDLE_TYPE);
  EXPECT_TRUE(InternetCloseHandle(session));
  wininet::testing::SetTimeoutMs(0);

  // No dial-up here: autodial fails, hang-up has nothing to do, the attempt succeeds.
  EXPECT_FALSE(InternetAutodial(INTERNET_AUTODIAL_FORCE_UNATTENDED, nullptr));
  EXPECT_TRUE(InternetAutodialHangup(0));
  EXPECT_EQ(InternetAttemptConnect(0), ERROR_SUCCESS);
  DWORD flags = 99;
  wininet::testing::SetConnectedState(0);
  EXPECT_FALSE(InternetGetConnectedState(&flags, 0));
  EXPECT_EQ(flags, 0u);
  wininet::testing::SetConnectedState(1);
  EXPECT_TRUE(InternetGetConnectedState(&flags, 0));
  EXPECT_TRUE(flags & INTERNET_CONNECTION_LAN);
  wininet::testing::SetConnectedState(-1);
}

TEST(WininetResponse, ShortBufferAsksForTheSizeNeeded) {
  HINTERNET session = InternetOpenA("test", INTERNET_OPEN_TYPE_PRECONFIG, nullptr, nullptr, 0);
  LocalFtpServer server;
  ASSERT_TRUE(server.Start()) << server.failure();
  wininet::testing::SetFtpPort(server.port());
  HINTERNET connection = InternetConnectA(session, "127.0.0.1", 21, LocalFtpServer::kUser,
                                          LocalFtpServer::kPassword, INTERNET_SERVICE_FTP, 0, 0);
  wininet::testing::SetFtpPort(0);
  ASSERT_NE(connection, nullptr);
  const std::string whole = LastResponse();
  char small[4] = {'x', 'x', 'x', 'x'};
  DWORD length = sizeof small;
  EXPECT_FALSE(InternetGetLastResponseInfoA(nullptr, small, &length));
  EXPECT_EQ(GetLastError(), ERROR_INSUFFICIENT_BUFFER);
  EXPECT_EQ(length, whole.size() + 1);
  EXPECT_EQ(small[0], 'x');
  InternetCloseHandle(session);
}
