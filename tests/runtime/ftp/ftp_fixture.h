// A fresh FTP module for each test inside a temporary folder that is the current directory for
// the test (FtpModuleFixture), and the same talking to a real local FTP server (pyftpdlib)
// through the stand-in's port hook (FtpModuleTest). The module's clock and its wait after
// hanging up are the test's: nothing waits on the real clock except the server's own replies.
#pragma once

#include <gtest/gtest.h>

#include <cstdint>
#include <string>
#include <vector>

#include "platform/wininet/wininet.h"
#include "runtime/core/core_data.h"
#include "runtime/core/module_table.h"
#include "runtime/core/text_alloc.h"
#include "runtime/ftp/ftp_state.h"
#include "runtime/runtime_wire.h"
#include "tessark/ftp.h"
#include "tests/platform/wininet/ftp_server.h"
#include "tests/support/temp_folder.h"
#include "tests/support/taken_text.h"

class FtpModuleFixture : public ::testing::Test {
 protected:
  void SetUp() override {
    tessark::RuntimeWire();
    tessark::CoreDataGet()->TextAlloc = tessark::TextAlloc;
    clock_ = 5000;
    waits().clear();
    tessark::ftp::testing::SetClock([] { return clock_; });
    tessark::ftp::testing::SetSleep([](std::uint32_t ms) { waits().push_back(ms); });
    tessark::ModuleEntries& ftp = tessark::Modules().ftp;
    tessark::CallIf(ftp.Constructor, static_cast<void*>(nullptr));
    tessark::CallIf(ftp.SetErrorHandler, &error_);
    tessark::CallIf(ftp.PassCoreData, tessark::CoreDataGet());
  }
  void TearDown() override {
    tessark::CallIf(tessark::Modules().ftp.Destructor);
    EXPECT_EQ(wininet::testing::OpenHandleCount(), 0);
    EXPECT_EQ(error_, 0);  // the module never raises a runtime error
    wininet::testing::SetFtpPort(0);
    wininet::testing::SetTimeoutMs(0);
    wininet::testing::SetConnectedState(-1);
    tessark::ftp::testing::SetClock(nullptr);
    tessark::ftp::testing::SetSleep(nullptr);
  }

  static std::string Take(char* text) { return tessark::testing::Taken(text); }
  // Steps a piecewise download until it ends (at most limit steps), keeping every change of
  // the progress (a step that found nothing new yet, as on a loaded machine, adds none).
  static std::vector<std::int32_t> Proceed(int limit = 1000000) {
    std::vector<std::int32_t> seen;
    for (int i = 0; i < limit && tessark::FtpProgress() != -1; ++i) {
      const std::int32_t before = tessark::FtpProgress();
      tessark::FtpProceed();
      if (tessark::FtpProgress() != before) seen.push_back(tessark::FtpProgress());
    }
    return seen;
  }
  static std::string Pattern(std::size_t size) {
    std::string bytes(size, '\0');
    for (std::size_t i = 0; i < size; ++i) bytes[i] = static_cast<char>((i * 131 + i / 509) & 0xFF);
    return bytes;
  }
  static std::vector<std::uint32_t>& waits() {
    static std::vector<std::uint32_t> list;
    return list;
  }

  static inline std::uint32_t clock_ = 0;
  TempFolder local_{"ftp_module"};
  std::int32_t error_ = 0;
};

class FtpModuleTest : public FtpModuleFixture {
 protected:
  void SetUp() override {
    FtpModuleFixture::SetUp();
    server_.Put("hello.txt", "hello, world\n");
    server_.Put("docs/readme.md", "# read me\n");
    ASSERT_TRUE(server_.Start()) << server_.failure();
    wininet::testing::SetFtpPort(server_.port());
  }
  void TearDown() override {
    FtpModuleFixture::TearDown();
    server_.Stop();
  }

  static bool Connect(const char* password = LocalFtpServer::kPassword) {
    return tessark::FtpConnect("localhost", LocalFtpServer::kUser, password);
  }

  LocalFtpServer server_;
};
