// The FTP module against a real server: connecting, folders, listings, downloads at once and
// piece by piece with their progress, uploads, deletes, failures, the connection check after a
// server has died, the stall check and the hang-up.
#include <algorithm>
#include <filesystem>
#include <tuple>

#include "tests/runtime/ftp/ftp_fixture.h"

using namespace tessark;

TEST_F(FtpModuleTest, ConnectingWrongPasswordAndConnectingTwice) {
  EXPECT_FALSE(FtpConnected());
  EXPECT_FALSE(Connect("wrong"));
  EXPECT_FALSE(FtpConnected());
  EXPECT_TRUE(FtpFailure());
  EXPECT_FALSE(FtpFailure());  // once
  const std::string why = Take(FtpFailureText());
  EXPECT_EQ(why.substr(0, 3), "530");
  EXPECT_EQ(why.find(LocalFtpServer::kPassword), std::string::npos);

  ASSERT_TRUE(Connect());
  EXPECT_TRUE(FtpConnected());
  // A second connect answers 0 and keeps the connection it has.
  EXPECT_FALSE(FtpConnect("127.0.0.1", "other", "other"));
  EXPECT_TRUE(FtpConnected());
  EXPECT_TRUE(FtpSetDir("docs"));

  EXPECT_TRUE(FtpDisconnect());
  EXPECT_FALSE(FtpConnected());
  EXPECT_FALSE(FtpSetDir("docs"));
  EXPECT_TRUE(FtpFailure());  // and it says why, not some earlier reply
  EXPECT_EQ(Take(FtpFailureText()), "Not connected to an FTP server");
  EXPECT_FALSE(FtpGetFile("hello.txt", "hello.txt", 13));
  EXPECT_FALSE(std::filesystem::exists("hello.txt"));
  // Reconnect uses the texts of the last connect, the refused one included: put them back.
  EXPECT_FALSE(FtpReconnect());
  ASSERT_TRUE(Connect());
  FtpDisconnect();
  EXPECT_TRUE(FtpReconnect());
  EXPECT_TRUE(FtpConnected());
}

TEST_F(FtpModuleTest, FoldersInOutAndMissingKeepTheConnection) {
  ASSERT_TRUE(Connect());
  EXPECT_TRUE(FtpSetDir("docs"));
  EXPECT_TRUE(FtpFindFirst());
  EXPECT_EQ(Take(FtpEntryName()), "readme.md");
  // An open listing holds the connection: the change fails, yet the connection is kept.
  EXPECT_FALSE(FtpSetDir(".."));
  EXPECT_TRUE(FtpFailure());
  EXPECT_TRUE(FtpConnected());
  EXPECT_FALSE(FtpFindNext());
  EXPECT_TRUE(FtpSetDir(".."));
  EXPECT_FALSE(FtpFailure());

  EXPECT_FALSE(FtpSetDir("missing"));
  EXPECT_TRUE(FtpConnected());
  EXPECT_EQ(Take(FtpFailureText()).substr(0, 3), "550");
  // A second failure does not overwrite the pending one.
  EXPECT_FALSE(FtpSetDir("docs\r\nDELE hello.txt"));
  EXPECT_EQ(Take(FtpFailureText()).substr(0, 3), "550");
  EXPECT_TRUE(FtpFailure());
  EXPECT_FALSE(FtpFailure());
  // A line break is refused before anything is sent, and the failure text says so.
  EXPECT_FALSE(FtpSetDir("docs\nDELE hello.txt"));
  EXPECT_NE(Take(FtpFailureText()).find("line break"), std::string::npos);
  EXPECT_FALSE(FtpDeleteFile("hello.txt\r\nDELE docs/readme.md"));
  EXPECT_FALSE(FtpGetFile("hello.txt\r\nDELE x", "local.txt"));
  EXPECT_TRUE(server_.Exists("hello.txt"));
  EXPECT_TRUE(server_.Exists("docs/readme.md"));
  EXPECT_TRUE(FtpConnected());
}

TEST_F(FtpModuleTest, ListingGivesTypesSizesAndEnds) {
  EXPECT_FALSE(FtpFindNext());  // no listing
  ASSERT_TRUE(Connect());
  server_.Put("sizes/empty.dat", "");
  server_.Put("sizes/three.dat", "abc");
  server_.Put("sizes/sub/inner.txt", "x");
  ASSERT_TRUE(FtpSetDir("sizes"));
  std::vector<std::tuple<std::string, std::int32_t, std::int32_t>> entries;
  for (bool more = FtpFindFirst(); more; more = FtpFindNext()) {
    const std::string name = Take(FtpEntryName());
    EXPECT_EQ(Take(FtpLastText()), name);  // the third query repeats the previous text
    entries.emplace_back(name, FtpEntryType(), FtpEntrySize());
  }
  std::sort(entries.begin(), entries.end());
  EXPECT_EQ(entries, (std::vector<std::tuple<std::string, std::int32_t, std::int32_t>>{
                         {"empty.dat", 0, 0}, {"sub", 1, 0}, {"three.dat", 0, 3}}));
  EXPECT_EQ(FtpEntryType(), -1);
  EXPECT_FALSE(FtpFindNext());
  EXPECT_TRUE(FtpConnected());
  // A listing still open is closed by the next one.
  EXPECT_TRUE(FtpFindFirst());
  EXPECT_TRUE(FtpFindFirst());
}

TEST_F(FtpModuleTest, DownloadsAtOnce) {
  ASSERT_TRUE(Connect());
  const std::string bytes = Pattern(5 * 1024 * 1024 + 3);
  server_.Put("five.bin", bytes);
  ASSERT_TRUE(FtpGetFile("five.bin", "five.bin"));
  EXPECT_EQ(TempFolder::Read("five.bin"), bytes);
  // Size 0 with the piecewise form downloads at once too.
  ASSERT_TRUE(FtpGetFile("hello.txt", "hello.txt", 0));
  EXPECT_EQ(FtpProgress(), -1);
  EXPECT_EQ(TempFolder::Read("hello.txt"), "hello, world\n");

  EXPECT_FALSE(FtpGetFile("absent.bin", "absent.bin"));
  EXPECT_TRUE(FtpFailure());
  EXPECT_FALSE(std::filesystem::exists("absent.bin"));
  EXPECT_TRUE(FtpConnected());
}

TEST_F(FtpModuleTest, PiecewiseProgressWithKnownGivenAndUnknownSizes) {
  ASSERT_TRUE(Connect());
  EXPECT_EQ(FtpProgress(), -1);
  // The listing's size (6144) replaces the given one: each step is 3072 bytes, half the file.
  server_.Put("six.bin", Pattern(6144));
  ASSERT_TRUE(FtpGetFile("six.bin", "six.bin", 99));
  EXPECT_EQ(FtpProgress(), 0);
  EXPECT_EQ(Proceed(), (std::vector<std::int32_t>{50, 100, -1}));
  EXPECT_EQ(TempFolder::Read("six.bin"), Pattern(6144));

  // Not in the listing (a path): the given size counts.
  server_.Put("docs/part.bin", Pattern(6144));
  ASSERT_TRUE(FtpGetFile("docs/part.bin", "part.bin", 12288));
  EXPECT_EQ(Proceed(), (std::vector<std::int32_t>{25, 50, -1}));
  EXPECT_EQ(TempFolder::Read("part.bin"), Pattern(6144));

  // Unknown: 1 while it runs, -1 after.
  ASSERT_TRUE(FtpGetFile("docs/part.bin", "unknown.bin", -1));
  EXPECT_EQ(Proceed(), (std::vector<std::int32_t>{1, -1}));

  // A missing file does not start, and the connection stays.
  EXPECT_FALSE(FtpGetFile("absent.bin", "absent.bin", 100));
  EXPECT_FALSE(std::filesystem::exists("absent.bin"));
  EXPECT_TRUE(FtpConnected());
}

TEST_F(FtpModuleTest, LargePiecewiseDownloadIsWholeWithSteadyProgress) {
  ASSERT_TRUE(Connect());
  // Past 21 MB, received * 100 no longer fits 32 bits.
  const std::string bytes = Pattern(24 * 1024 * 1024 + 100);
  server_.Put("large.bin", bytes);
  ASSERT_TRUE(FtpGetFile("large.bin", "large.bin", 1));
  const std::vector<std::int32_t> seen = Proceed();
  ASSERT_GE(seen.size(), 2u);
  EXPECT_EQ(seen.back(), -1);
  EXPECT_EQ(seen[seen.size() - 2], 100);
  EXPECT_TRUE(std::is_sorted(seen.begin(), seen.end() - 1));
  EXPECT_GE(*std::min_element(seen.begin(), seen.end() - 1), 0);
  EXPECT_EQ(std::count(seen.begin(), seen.end(), 50) > 0, true);
  EXPECT_EQ(TempFolder::Read("large.bin"), bytes);
}

TEST_F(FtpModuleTest, TerminateDeletesTheLocalFileAndFreesTheConnection) {
  ASSERT_TRUE(Connect());
  server_.Put("data.bin", Pattern(200000));
  ASSERT_TRUE(FtpGetFile("data.bin", "data.bin", 0 + 200000));
  FtpProceed();
  EXPECT_TRUE(std::filesystem::exists("data.bin"));
  FtpTerminate();
  EXPECT_EQ(FtpProgress(), -1);
  EXPECT_FALSE(std::filesystem::exists("data.bin"));
  EXPECT_TRUE(FtpSetDir("docs"));
  // After a finished download, terminating deletes nothing.
  ASSERT_TRUE(FtpGetFile("readme.md", "readme.md", 10));
  Proceed();
  FtpTerminate();
  EXPECT_EQ(TempFolder::Read("readme.md"), "# read me\n");
}

TEST_F(FtpModuleTest, UploadAndDelete) {
  ASSERT_TRUE(Connect());
  TempFolder::Write("upload.bin", Pattern(100000));
  ASSERT_TRUE(FtpPutFile("upload.bin"));
  EXPECT_EQ(server_.Read("upload.bin"), Pattern(100000));
  EXPECT_TRUE(FtpDeleteFile("upload.bin"));
  EXPECT_FALSE(server_.Exists("upload.bin"));
  EXPECT_FALSE(FtpDeleteFile("upload.bin"));
  EXPECT_TRUE(FtpFailure());
  EXPECT_FALSE(FtpPutFile("not-here.bin"));
  EXPECT_TRUE(FtpConnected());
}

TEST_F(FtpModuleTest, ServerKilledMidDownloadResetsToDisconnected) {
  ASSERT_TRUE(Connect());
  server_.Put("data.bin", Pattern(8 * 1024 * 1024));
  ASSERT_TRUE(FtpGetFile("data.bin", "data.bin", 8 * 1024 * 1024));
  for (int i = 0; i < 5; ++i) FtpProceed();
  server_.Stop();
  Proceed(100000);
  EXPECT_EQ(FtpProgress(), -1);
  EXPECT_FALSE(FtpConnected());
  EXPECT_FALSE(std::filesystem::exists("data.bin"));  // never left looking whole
  EXPECT_FALSE(FtpSetDir("docs"));
}

TEST_F(FtpModuleTest, StalledDownloadIsAbortedAfterTenSeconds) {
  wininet::testing::SetTimeoutMs(150);
  ASSERT_TRUE(Connect());
  server_.Put("stall.bin", Pattern(100000));  // sends 4096 bytes, then nothing
  ASSERT_TRUE(FtpGetFile("stall.bin", "stall.bin", 100000));
  for (int i = 0; i < 200 && FtpProgress() < 4; ++i) FtpProceed();
  EXPECT_EQ(FtpProgress(), 4);  // 4096 of 100000
  clock_ += 10000;              // not more than 10000 ms yet
  FtpProceed();
  EXPECT_EQ(FtpProgress(), 4);
  EXPECT_TRUE(std::filesystem::exists("stall.bin"));
  clock_ += 1;
  FtpProceed();
  EXPECT_EQ(FtpProgress(), -1);
  EXPECT_FALSE(std::filesystem::exists("stall.bin"));
  // The connection itself was fine and stays.
  EXPECT_TRUE(FtpConnected());
  EXPECT_TRUE(FtpSetDir("docs"));
}

TEST_F(FtpModuleTest, HangingUpWaitsOnlyAfterDialling) {
  ASSERT_TRUE(Connect());
  EXPECT_TRUE(FtpDisconnect(true));  // online: nothing was dialled
  EXPECT_TRUE(waits().empty());

  wininet::testing::SetConnectedState(0);  // offline: the connect dials first
  ASSERT_TRUE(Connect());
  EXPECT_TRUE(FtpDisconnect());  // no hang-up asked for
  EXPECT_TRUE(waits().empty());
  ASSERT_TRUE(Connect());
  EXPECT_TRUE(FtpDisconnect(true));
  EXPECT_EQ(waits(), (std::vector<std::uint32_t>{3000}));
  EXPECT_TRUE(FtpDisconnect(true));  // hung up already
  EXPECT_EQ(waits().size(), 1u);
}
