// The FTP stand-in against a scripted server that misbehaves on purpose: garbage and overlong
// replies, replies that never end or come a byte at a time, data dripped or stopped, failed
// and short endings, connections closed in the middle, hostile listings, and a PASV answer
// naming another machine. Nothing may crash, block past its bound, leave an empty or stale
// failure text, or write (or remove) anything but the file asked for.
#include <fcntl.h>
#include <gtest/gtest.h>
#include <sys/stat.h>

#include <algorithm>
#include <chrono>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <string>
#include <tuple>

#include "platform/wininet/wininet.h"
#include "tests/platform/wininet/scripted_server.h"

using namespace wininet;

namespace {

// A call blocked for at most the test's 1 s timeout, with room for a loaded machine; a call
// bounded by a short wait (a read with a receive timeout, an abort) by far less.
constexpr double kTimeoutBoundMs = 2500;
constexpr double kShortBoundMs = 400;

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
  // Reads an open file with InternetReadFile until it fails or ends (at most 200 calls), keeping
  // what came and the longest call.
  static BOOL ReadToEnd(HINTERNET file, std::string* got, double* longest_ms) {
    BOOL ok = TRUE;
    for (int i = 0; i < 200; ++i) {
      char piece[1024];
      DWORD read = 0;
      *longest_ms = std::max(
          *longest_ms, Millis([&] { ok = InternetReadFile(file, piece, sizeof piece, &read); }));
      if (!ok || read == 0) break;
      got->append(piece, read);
    }
    return ok;
  }
  HINTERNET session_ = nullptr;
  char folder_[32] = "/tmp/tessark_ftp_hostile_XXXXXX";
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
  server.greeting = "220 " + std::string(8000, 'x') + "\r\n";
  std::string endless = "250-start\r\n";
  for (int i = 0; i < 3000; ++i) endless += "250-more\r\n";
  server.Answer("CWD", endless);
  HINTERNET connection = Connect(server);
  ASSERT_NE(connection, nullptr);  // the overlong line was cut, the login went on
  EXPECT_FALSE(FtpSetCurrentDirectoryA(connection, "docs"));
  EXPECT_EQ(LastResponse(), "The server's reply was longer than 1000 lines");
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

TEST_F(HostileServerTest, EndlessDrippedOrMissingGreetingEndsWithinTheTimeout) {
  // An endless line is cut off by the reply's byte limit, a dripped one by its deadline, which
  // bytes coming in do not move; a silent server by the same deadline.
  ScriptedServer endless, dripped, silent;
  endless.endless_greeting = true;
  dripped.greeting = "220 slowly";
  dripped.greeting_drip_ms = 20;
  silent.greeting = "";
  const std::tuple<ScriptedServer*, std::string, std::string> cases[] = {
      {&endless, "endless_greeting", "The server's reply was longer than 64 KB"},
      {&dripped, "dripped_greeting", "The server sent no greeting within 1 s"},
      {&silent, "silent_server", "The server sent no greeting within 1 s"}};
  for (const auto& [server, key, text] : cases) {
    HINTERNET connection = nullptr;
    EXPECT_LT(Timed(key, [&] { connection = Connect(*server); }), kTimeoutBoundMs) << text;
    EXPECT_EQ(connection, nullptr);
    EXPECT_EQ(LastResponse(), text);
  }
}

TEST_F(HostileServerTest, EveryFailureSaysWhatHappenedNeverAnEarlierReply) {
  ScriptedServer good;
  good.Answer("CWD", "999 what is this\r\n");
  HINTERNET connection = Connect(good);
  ASSERT_NE(connection, nullptr);
  EXPECT_EQ(LastResponse(), "230 in\r\n");
  // A code no FTP reply has is not FTP: said so, with what came.
  BOOL changed = TRUE;
  Timed("garbage_code", [&] { changed = FtpSetCurrentDirectoryA(connection, "docs"); });
  EXPECT_FALSE(changed);
  EXPECT_EQ(LastResponse(), "The server's reply was not FTP: \"999 what is this\"");
  EXPECT_FALSE(FtpSetCurrentDirectoryA(connection, "docs"));
  EXPECT_EQ(LastResponse(), "The connection to the server has been lost");
  InternetCloseHandle(connection);

  // A refused port after all that says it was refused, not what the earlier server said.
  const std::uint16_t port = ClosedPort();
  HINTERNET refused = nullptr;
  Timed("refused_port", [&] {
    refused = InternetConnectA(session_, "127.0.0.1", port, "u", "p", INTERNET_SERVICE_FTP, 0, 0);
  });
  EXPECT_EQ(refused, nullptr);
  EXPECT_EQ(GetLastError(), ERROR_INTERNET_CANNOT_CONNECT);
  EXPECT_EQ(LastResponse(),
            "Could not connect to 127.0.0.1 port " + std::to_string(port) + ": connection refused");

  // A name lookup that takes longer than the timeout is given up at the timeout.
  wininet::testing::SetLookupDelayMs(5000);
  HINTERNET looked_up = nullptr;
  EXPECT_LT(Timed("slow_lookup",
                  [&] {
                    looked_up = InternetConnectA(session_, "localhost", port, "u", "p",
                                                 INTERNET_SERVICE_FTP, 0, 0);
                  }),
            kTimeoutBoundMs);
  wininet::testing::SetLookupDelayMs(0);
  EXPECT_EQ(looked_up, nullptr);
  EXPECT_EQ(GetLastError(), ERROR_INTERNET_TIMEOUT);
  EXPECT_EQ(LastResponse(), "Could not find the server localhost within 1 s");

  ScriptedServer http;
  http.greeting = "HTTP/1.1 400 Bad Request\r\n";
  EXPECT_EQ(Connect(http), nullptr);
  EXPECT_EQ(LastResponse(), "The server's reply was not FTP: \"HTTP/1.1 400 Bad Request\"");
}

TEST_F(HostileServerTest, DripAndStallNeverHoldACallPastItsBound) {
  ASSERT_NE(mkdtemp(folder_), nullptr);
  const std::string local = std::string(folder_) + "/drip.bin";
  // At once: the whole download must keep its pace; a drip ends it after the timeout with
  // nothing left behind.
  ScriptedServer drip;
  drip.data = std::string(100000, 'd');
  drip.data_drip_ms = 5;
  HINTERNET connection = Connect(drip);
  ASSERT_NE(connection, nullptr);
  BOOL done = TRUE;
  EXPECT_LT(
      Timed("drip_at_once",
            [&] { done = FtpGetFileA(connection, "drip.bin", local.c_str(), FALSE, 0, 0, 0); }),
      kTimeoutBoundMs);
  EXPECT_FALSE(done);
  EXPECT_EQ(GetLastError(), ERROR_INTERNET_TIMEOUT);
  EXPECT_EQ(LastResponse().rfind("The transfer was too slow: ", 0), 0u) << LastResponse();
  EXPECT_FALSE(std::filesystem::exists(local));
  InternetCloseHandle(connection);

  // Piece by piece with a short receive timeout, each read gives what came within it.
  ScriptedServer drip_pieces;
  drip_pieces.data = std::string(100000, 'p');
  drip_pieces.data_drip_ms = 5;
  connection = Connect(drip_pieces);
  ASSERT_NE(connection, nullptr);
  HINTERNET file = FtpOpenFileA(connection, "drip.bin", GENERIC_READ, FTP_TRANSFER_TYPE_BINARY, 0);
  ASSERT_NE(file, nullptr);
  DWORD wait_ms = 16;
  ASSERT_TRUE(InternetSetOptionA(file, INTERNET_OPTION_RECEIVE_TIMEOUT, &wait_ms, sizeof wait_ms));
  double longest = 0;
  std::string got;
  for (int i = 0; i < 20; ++i) {
    char piece[1024];
    DWORD read = 0;
    longest =
        std::max(longest, Millis([&] { InternetReadFile(file, piece, sizeof piece, &read); }));
    got.append(piece, read);
  }
  EXPECT_LT(longest, kShortBoundMs);
  RecordProperty("drip_piece_read_longest_ms", static_cast<int>(longest + 0.5));
  EXPECT_GT(got.size(), 0u);
  EXPECT_LT(Millis([&] { InternetCloseHandle(file); }), kTimeoutBoundMs);
  InternetCloseHandle(connection);

  // Data that stops with the connection open: reads time out one by one, the abort is answered,
  // and a listing that stops says so rather than repeating the abort's reply.
  ScriptedServer stall;
  stall.data = std::string(100000, 's');
  stall.data_stop_at = 4096;
  connection = Connect(stall);
  ASSERT_NE(connection, nullptr);
  file = FtpOpenFileA(connection, "stall.bin", GENERIC_READ, FTP_TRANSFER_TYPE_BINARY, 0);
  ASSERT_NE(file, nullptr);
  ASSERT_TRUE(InternetSetOptionA(file, INTERNET_OPTION_RECEIVE_TIMEOUT, &wait_ms, sizeof wait_ms));
  got.clear();
  longest = 0;
  EXPECT_FALSE(ReadToEnd(file, &got, &longest));
  EXPECT_EQ(GetLastError(), ERROR_INTERNET_TIMEOUT);
  EXPECT_EQ(got.size(), 4096u);
  EXPECT_LT(longest, kShortBoundMs);
  RecordProperty("stall_read_longest_ms", static_cast<int>(longest + 0.5));
  EXPECT_LT(Timed("stall_abort", [&] { InternetCloseHandle(file); }), kShortBoundMs);
  EXPECT_TRUE(FtpSetCurrentDirectoryA(connection, "docs"));
  WIN32_FIND_DATAA data{};
  EXPECT_LT(
      Timed("stall_listing", [&] { file = FtpFindFirstFileA(connection, nullptr, &data, 0, 0); }),
      kTimeoutBoundMs);
  EXPECT_EQ(file, nullptr);
  // 4 KB in the first second is below the pace a listing must keep: said so, not "226 ...".
  EXPECT_EQ(LastResponse().rfind("The transfer was too slow: 4096 bytes in 1 s", 0), 0u)
      << LastResponse();
  InternetCloseHandle(connection);
  std::filesystem::remove_all(folder_);
}

TEST_F(HostileServerTest, FailedOrShortEndingFailsTheTransferAtOnce) {
  ASSERT_NE(mkdtemp(folder_), nullptr);
  const std::string local = std::string(folder_) + "/got.bin";
  // 426 after part of the file: the read that meets it fails, and so does every later one.
  ScriptedServer failed;
  failed.data = std::string(5000, 'f');
  failed.data_send = 2048;
  failed.ending = "426 Connection closed; transfer aborted.\r\n";
  HINTERNET connection = Connect(failed);
  ASSERT_NE(connection, nullptr);
  HINTERNET file = FtpOpenFileA(connection, "f.bin", GENERIC_READ, FTP_TRANSFER_TYPE_BINARY, 0);
  ASSERT_NE(file, nullptr);
  std::string got;
  double longest = 0;
  EXPECT_FALSE(ReadToEnd(file, &got, &longest));
  RecordProperty("failed_ending_read_longest_ms", static_cast<int>(longest + 0.5));
  EXPECT_EQ(GetLastError(), ERROR_INTERNET_EXTENDED_ERROR);
  EXPECT_EQ(LastResponse(), "426 Connection closed; transfer aborted.\r\n");
  char piece[16];
  DWORD read = 0;
  EXPECT_FALSE(InternetReadFile(file, piece, sizeof piece, &read));
  EXPECT_EQ(LastResponse(), "426 Connection closed; transfer aborted.\r\n");
  InternetCloseHandle(file);
  EXPECT_FALSE(FtpGetFileA(connection, "f.bin", local.c_str(), FALSE, 0, 0, 0));
  EXPECT_FALSE(std::filesystem::exists(local));
  InternetCloseHandle(connection);

  // 226 after half the file whose size the server gave: short, so failed and removed; where
  // the server gives no size, the file is taken as it came.
  ScriptedServer short_file;
  short_file.data = std::string(5000, 'h');
  short_file.data_send = 2500;
  short_file.Answer("SIZE", "213 5000\r\n");
  connection = Connect(short_file);
  ASSERT_NE(connection, nullptr);
  BOOL whole = TRUE;
  Timed("short_file_at_once",
        [&] { whole = FtpGetFileA(connection, "h.bin", local.c_str(), FALSE, 0, 0, 0); });
  EXPECT_FALSE(whole);
  EXPECT_EQ(LastResponse(), "The server ended the transfer after 2500 of 5000 bytes");
  EXPECT_FALSE(std::filesystem::exists(local));
  file = FtpOpenFileA(connection, "h.bin", GENERIC_READ, FTP_TRANSFER_TYPE_BINARY, 0);
  ASSERT_NE(file, nullptr);
  got.clear();
  EXPECT_FALSE(ReadToEnd(file, &got, &longest));
  EXPECT_EQ(LastResponse(), "The server ended the transfer after 2500 of 5000 bytes");
  InternetCloseHandle(file);
  InternetCloseHandle(connection);

  ScriptedServer unsized;
  unsized.data = std::string(5000, 'u');
  unsized.data_send = 2500;
  connection = Connect(unsized);
  ASSERT_NE(connection, nullptr);
  EXPECT_TRUE(FtpGetFileA(connection, "u.bin", local.c_str(), FALSE, 0, 0, 0));
  EXPECT_EQ(std::filesystem::file_size(local), 2500u);
  InternetCloseHandle(connection);
  std::filesystem::remove_all(folder_);
}

TEST_F(HostileServerTest, FailedDownloadRemovesOnlyTheRegularFileItMade) {
  ASSERT_NE(mkdtemp(folder_), nullptr);
  const std::string folder = folder_;
  std::filesystem::path target = folder + "/target.txt";
  std::ofstream(target) << "keep me";
  std::filesystem::create_symlink(target, folder + "/link.bin");
  ASSERT_EQ(mkfifo((folder + "/pipe.bin").c_str(), 0600), 0);
  // A reader, so that the pipe opens for writing without waiting.
  const int reader = open((folder + "/pipe.bin").c_str(), O_RDONLY | O_NONBLOCK | O_CLOEXEC);
  ASSERT_GE(reader, 0);

  ScriptedServer failed;
  failed.data = std::string(5000, 'f');
  failed.data_send = 2048;
  failed.ending = "426 transfer aborted\r\n";
  HINTERNET connection = Connect(failed);
  ASSERT_NE(connection, nullptr);
  for (const char* name : {"/link.bin", "/pipe.bin", "/made.bin"})
    EXPECT_FALSE(FtpGetFileA(connection, "f.bin", (folder + name).c_str(), FALSE, 0, 0, 0));
  InternetCloseHandle(connection);
  close(reader);
  EXPECT_TRUE(std::filesystem::is_symlink(folder + "/link.bin"));
  EXPECT_TRUE(std::filesystem::exists(target));
  EXPECT_TRUE(std::filesystem::is_fifo(folder + "/pipe.bin"));
  EXPECT_FALSE(std::filesystem::exists(folder + "/made.bin"));
  std::filesystem::remove_all(folder_);
}
