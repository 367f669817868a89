// Start-up, frames and shutdown against a recording module set: the construction order, the
// frame order with its switches, pacing and the quit path, the error word at start-up.
#include <gtest/gtest.h>

#include <algorithm>
#include <string>
#include <vector>

#include "platform/win32/user.h"
#include "runtime/core/core.h"
#include "runtime/core/core_data.h"
#include "runtime/core/errors.h"
#include "runtime/core/frame.h"
#include "runtime/core/module_table.h"
#include "runtime/core/services.h"
#include "runtime/core/text_alloc.h"
#include "runtime/core/runtime_state.h"
#include "runtime/runtime_wire.h"
#include "tessark/core.h"
#include "tests/support/runtime_fixture.h"
#include "tests/support/test_clock.h"

using namespace tessark;

namespace tessark {
namespace {

namespace t = tessark::testing;

std::vector<std::string> g_log;
std::int32_t g_display_error = 0;
bool g_display_answer = true;

#define RECORDER(name) [](auto...) { g_log.push_back(name); }

// Every slot the core calls, each recording its name.
void InstallRecorders(ModuleTable& m) {
  m.display.Constructor = [] {
    g_log.push_back("display.Constructor");
    return g_display_answer;
  };
  m.display.PassCoreData = [](CoreData*, std::int32_t stage) {
    g_log.push_back("display.PassCoreData" + std::to_string(stage));
  };
  m.display.SetErrorHandler = RECORDER("display.SetErrorHandler");
  m.display.OverrideHWND = RECORDER("display.OverrideHWND");
  m.display.DisplayConfigure = [](std::int32_t, std::int32_t, std::int32_t depth,
                                  std::int32_t windowed, std::int32_t, std::int32_t lockable) {
    g_log.push_back("display.Configure depth" + std::to_string(depth) + " windowed" +
                    std::to_string(windowed) + " lockable" + std::to_string(lockable));
    if (g_display_error) RuntimeError(g_display_error);
    return g_display_error == 0;
  };
  m.display.SceneBegin = RECORDER("SceneBegin");
  m.display.SceneEnd = RECORDER("SceneEnd");
  m.display.DisplayPresent = RECORDER("Present");
  m.display.DisplayClear = RECORDER("display.Clear");
  m.display.Destructor = RECORDER("display.Destructor");
  m.display.WindowedReset = RECORDER("display.WindowedReset");
  m.sprite_pass.SpriteBackgroundSave = RECORDER("BgSave");
  m.sprite_pass.SpritePass = RECORDER("SpritePass");
  m.sprite_pass.SpriteBackgroundRestore = RECORDER("BgRestore");
  m.image_services.ImageLink = RECORDER("image.Link");
  m.image_services.ImageSetColourKey = RECORDER("image.ColourKey");
  m.text_services.PrintFontSelect = RECORDER("text.PrintFontSelect");
  m.text_services.TextRelease = RECORDER("text.Release");
  m.input.Update = RECORDER("input.Update");
  m.music.Update = RECORDER("music.Update");
  m.sound.Update = RECORDER("sound.Update");
#define MODULE(field)                                            \
  m.field.Constructor = RECORDER(#field ".Constructor");         \
  m.field.SetErrorHandler = RECORDER(#field ".SetErrorHandler"); \
  m.field.PassCoreData = RECORDER(#field ".PassCoreData");       \
  m.field.Destructor = RECORDER(#field ".Destructor");
  MODULE(basic2d)
  MODULE(text)
  MODULE(image)
  MODULE(sprite)
  MODULE(sound)
  MODULE(music)
#undef MODULE
}

// Only the entries named by prefix, in order.
std::vector<std::string> Only(const std::string& prefix) {
  std::vector<std::string> out;
  for (const auto& s : g_log)
    if (s.rfind(prefix, 0) == 0) out.push_back(s);
  return out;
}

// The frame entries of the log, without the updates.
std::vector<std::string> FrameEntries() {
  std::vector<std::string> out;
  for (const auto& s : g_log)
    if (s.find("Update") == std::string::npos) out.push_back(s);
  return out;
}

class RecordingRuntime : public ::testing::Test {
 protected:
  void SetUp() override {
    g_log.clear();
    g_display_error = 0;
    g_display_answer = true;
  }
  std::int32_t Open(std::uint32_t mode = 1) {
    RuntimeWire();
    InstallRecorders(Modules());
    ErrorWordSet(&error_word_);
    return RuntimeOpen(mode, 640, 480, 32, nullptr, "");
  }
  void TearDown() override { RuntimeClose(); }
  std::int32_t error_word_ = 0;
};

TEST_F(RecordingRuntime, OpensInConstructionOrder) {
  ASSERT_EQ(Open(), 0);
  std::vector<std::string> expected = {"display.Constructor",
                                       "display.PassCoreData0",
                                       "display.SetErrorHandler",
                                       "display.OverrideHWND",
                                       "display.Configure depth0 windowed1 lockable1",
                                       "display.PassCoreData1",
                                       "basic2d.Constructor",
                                       "basic2d.SetErrorHandler",
                                       "basic2d.PassCoreData",
                                       "text.Constructor",
                                       "text.SetErrorHandler",
                                       "text.PassCoreData",
                                       "image.Constructor",
                                       "image.Link",
                                       "image.SetErrorHandler",
                                       "image.PassCoreData",
                                       "image.ColourKey",
                                       "sprite.Constructor",
                                       "sprite.PassCoreData",
                                       "sprite.SetErrorHandler",
                                       "sound.Constructor",
                                       "sound.SetErrorHandler",
                                       "sound.PassCoreData",
                                       "music.Constructor",
                                       "music.SetErrorHandler",
                                       "music.PassCoreData",
                                       "display.Clear"};
  ASSERT_GT(g_log.size(), expected.size());
  std::vector<std::string> start(g_log.begin(), g_log.begin() + expected.size());
  EXPECT_EQ(start, expected);
  // Showing the window paints it (the back buffer is presented again); then the print font.
  std::vector<std::string> rest(g_log.begin() + expected.size(), g_log.end());
  auto font = std::find(rest.begin(), rest.end(), "text.PrintFontSelect");
  ASSERT_NE(font, rest.end());
  EXPECT_EQ(std::vector<std::string>(rest.begin(), font),
            (std::vector<std::string>{"SceneEnd", "Present", "SceneBegin"}));
  const CoreData& core = *CoreDataGet();
  EXPECT_EQ(core.module_present[kModuleDisplay], 1);
  EXPECT_EQ(core.module_present[kModuleSystem], 1) << "the system module is built";
  EXPECT_EQ(core.MessagePump, &MessagePump);
  EXPECT_EQ(core.TextAlloc, &TextAlloc);
  EXPECT_EQ(core.window_mode, 1);
  EXPECT_TRUE(win32::IsWindowVisible(core.window));
  EXPECT_EQ(Runtime().frame_ready, 1);
  // The first 100 ms render frames: a scene was begun and the sprite pass ran.
  EXPECT_FALSE(Only("SceneBegin").empty());
  EXPECT_FALSE(Only("SpritePass").empty());
}

TEST_F(RecordingRuntime, ClosesInItsOrderAndCanOpenAgain) {
  ASSERT_EQ(Open(), 0);
  g_log.clear();
  RuntimeClose();
  std::vector<std::string> expected = {
      "basic2d.Destructor", "text.Destructor",       "image.Destructor",
      "sprite.Destructor",  "sound.Destructor",      "music.Destructor",
      "text.Release",       "display.WindowedReset", "display.Destructor"};
  EXPECT_EQ(g_log, expected);
  EXPECT_EQ(CoreDataGet()->window, nullptr);
  g_log.clear();
  EXPECT_EQ(Open(), 0);
  EXPECT_EQ(g_log.front(), "display.Constructor");
}

TEST_F(RecordingRuntime, DisplayRefusalStopsBeforeTheOtherModules) {
  g_display_answer = false;
  EXPECT_EQ(Open(), 1);
  EXPECT_EQ(g_log, std::vector<std::string>{"display.Constructor"});
  EXPECT_EQ(Runtime().runtime_opened, 0);
  EXPECT_FALSE(win32::IsWindowVisible(CoreDataGet()->window));
  // The game still runs: frames pace and pump without drawing.
  FrameSetRate(0);
  FrameSync();
  EXPECT_TRUE(RuntimeRunning());
}

TEST_F(RecordingRuntime, DisplaySetUpErrorStopsStartUp) {
  g_display_error = 1507;
  EXPECT_EQ(Open(), 1);
  EXPECT_EQ(error_word_, 1507);
  EXPECT_TRUE(Only("basic2d").empty());
  EXPECT_EQ(CoreDataGet()->TextAlloc, nullptr) << "services are filled after the check";
}

TEST_F(RecordingRuntime, NoticeDuringStartUpDoesNotStopIt) {
  RuntimeWire();
  InstallRecorders(Modules());
  Modules().display.OverrideHWND = [](HWND) { RuntimeNotice("Invalid window handle"); };
  ErrorWordSet(&error_word_);
  EXPECT_EQ(RuntimeOpen(1, 640, 480, 32, nullptr, ""), 0);
  EXPECT_FALSE(Only("basic2d.Constructor").empty());
}

TEST_F(RecordingRuntime, FullScreenModeSetsUpWithTheGivenDepth) {
  ASSERT_EQ(Open(3), 0);
  EXPECT_FALSE(Only("display.Configure depth32 windowed0").empty());
  EXPECT_EQ(CoreDataGet()->window_width, win32::GetSystemMetrics(SM_CXSCREEN));
  EXPECT_EQ(CoreDataGet()->display_width, 640);
}

TEST_F(RecordingRuntime, FramePresentsFirstAndRunsSpritesBeforeByDefault) {
  ASSERT_EQ(Open(), 0);
  FrameSetRate(0);
  g_log.clear();
  FrameSync();
  std::vector<std::string> expected = {"BgSave",  "SpritePass", "SceneEnd",
                                       "Present", "SceneBegin", "BgRestore"};
  EXPECT_EQ(FrameEntries(), expected);
  // The media updates: once in the frame (no period), once after it, music before sound.
  EXPECT_EQ(Only("music.Update").size(), 2u);
  EXPECT_EQ(Only("input.Update").size(), 1u);
}

TEST_F(RecordingRuntime, SpritesLastAndPresentLastReorderTheFrame) {
  ASSERT_EQ(Open(), 0);
  FrameSetRate(0);
  FrameSpritesLast();
  FramePresentLast();
  g_log.clear();
  FrameSync();
  // Present last: the present block follows the sprite pass, which draws into the old scene.
  std::vector<std::string> expected = {"BgSave",  "SpritePass", "SceneEnd",
                                       "Present", "SceneBegin", "BgRestore"};
  EXPECT_EQ(FrameEntries(), expected);
  // Present first with sprites last: the sprites go into the newly begun scene.
  FramePresentFirst();
  g_log.clear();
  FrameSync();
  expected = {"BgSave", "SceneEnd", "Present", "SceneBegin", "BgRestore", "SpritePass"};
  EXPECT_EQ(FrameEntries(), expected);
  FrameSpritesFirst();
}

TEST_F(RecordingRuntime, ManualModeSkipsTheFirstPresentOnly) {
  ASSERT_EQ(Open(), 0);
  FrameSetRate(0);
  FrameSyncManual();
  g_log.clear();
  FrameSync();
  EXPECT_TRUE(Only("Present").empty());
  EXPECT_EQ(Only("SceneEnd").size(), 1u);
  FrameSync();
  EXPECT_EQ(Only("Present").size(), 1u);
}

TEST_F(RecordingRuntime, PaintPresentsAgainInWindowedMode) {
  ASSERT_EQ(Open(), 0);
  g_log.clear();
  win32::InvalidateRect(CoreDataGet()->window, nullptr, TRUE);
  MessagePump();
  std::vector<std::string> expected = {"SceneEnd", "Present", "SceneBegin"};
  EXPECT_EQ(FrameEntries(), expected);
}

TEST_F(RecordingRuntime, RateSixtyHoldsFramesFifteenMillisecondsApart) {
  ASSERT_EQ(Open(), 0);
  tessark::testing::TestClock clock(1);  // each reading is a microsecond: the wait polls
  FrameSyncManual();
  FrameSetRate(60);
  FrameSync();
  std::uint64_t first = Runtime().last_frame_micros;
  FrameSync();
  // Not before the period, and not long after it either: the wait ends at its deadline.
  EXPECT_GE(Runtime().last_frame_micros - first, 15000u);
  EXPECT_LT(Runtime().last_frame_micros - first, 15500u);
  EXPECT_GE(Runtime().last_frame_time - static_cast<std::uint32_t>(first / 1000), 15u);
}

TEST_F(RecordingRuntime, NegativeRateDrawsOnlyWhenTheGapHasPassed) {
  ASSERT_EQ(Open(), 0);
  FrameSyncManual();
  FrameSetRate(-50);
  tessark::testing::TestClock clock;
  // The clock starts at the real time, which may be anywhere in the first gap after start-up:
  // move it past the gap so that the first call surely draws.
  clock.Advance(50000);
  FrameSync();
  std::vector<std::uint64_t> drawn_at;
  for (int i = 0; i < 12; ++i) {
    g_log.clear();
    clock.Advance(10000);
    FrameSync();
    if (!Only("SceneBegin").empty()) drawn_at.push_back(Runtime().last_frame_micros);
    EXPECT_GE(Only("music.Update").size(), 1u) << "every call still updates the media";
  }
  // Calls 10 ms apart: every fifth one draws, 50 ms after the last.
  ASSERT_EQ(drawn_at.size(), 2u);
  EXPECT_EQ(drawn_at[1] - drawn_at[0], 50000u);
}

TEST_F(RecordingRuntime, AutomaticModeDrawsAtEveryRefreshManualOnlyAtFrameSync) {
  ASSERT_EQ(Open(), 0);
  FrameSetRate(0);
  FrameSyncAuto();
  g_log.clear();
  RuntimeRefresh();  // what every wait and print pumps through
  EXPECT_EQ(Only("SceneEnd").size(), 1u);
  EXPECT_EQ(Only("Present").size(), 1u);
  FrameSyncManual();
  g_log.clear();
  RuntimeRefresh();
  EXPECT_TRUE(Only("SceneEnd").empty());
  EXPECT_TRUE(Only("Present").empty());
  FrameSync();
  EXPECT_EQ(Only("SceneEnd").size(), 1u);
}

TEST_F(RecordingRuntime, ClosingDuringTheWaitEndsTheLoop) {
  ASSERT_EQ(Open(), 0);
  FrameSyncManual();
  FrameSetRate(60);
  FrameSync();
  t::WindowClose();
  FrameSync();
  EXPECT_EQ(Runtime().quit_requested, 1);
  EXPECT_FALSE(RuntimeRunning());
  // After the quit message a frame returns from its wait at once, without a new stamp.
  std::uint64_t stamp = Runtime().last_frame_micros;
  FrameSync();
  FrameSync();
  EXPECT_EQ(Runtime().last_frame_micros, stamp);
}

TEST(FrameSetRate, DividesNineHundredAndTakesNegativesAsAGap) {
  FrameSetRate(60);
  EXPECT_EQ(Runtime().frame_period, 15u);
  EXPECT_EQ(Runtime().frame_min_gap, 0u);
  FrameSetRate(30);
  EXPECT_EQ(Runtime().frame_period, 30u);
  FrameSetRate(-50);
  EXPECT_EQ(Runtime().frame_period, 0u);
  EXPECT_EQ(Runtime().frame_min_gap, 50u);
  FrameSetRate(1000);
  EXPECT_EQ(Runtime().frame_period, 0u);
  EXPECT_EQ(Runtime().frame_min_gap, 0u);
  FrameSetRate(-2147483647 - 1);
  EXPECT_EQ(Runtime().frame_min_gap, 2147483648u);
  FrameSetRate(0);
  EXPECT_EQ(Runtime().frame_period, 0u);
  EXPECT_EQ(Runtime().frame_min_gap, 0u);
}

}  // namespace
}  // namespace tessark

namespace tessark {
namespace {

std::vector<std::string> g_printed;

TEST_F(RecordingRuntime, PrintsGoThroughThePrintEngine) {
  ASSERT_EQ(Open(), 0);
  g_printed.clear();
  Modules().text_services.PrintText = [](const char* text, std::int32_t new_line) {
    g_printed.push_back(std::string(text) + (new_line ? "|" : ""));
  };
  PrintInteger(-9007199254740993LL);
  PrintReal(1.0 / 3.0);
  PrintReal(1e20);
  PrintString("kettle");
  PrintString(nullptr);
  CoreDataGet()->PrintDispatch("direct", 0);
  std::vector<std::string> expected = {
      "-9007199254740993|", "0.333333333333|", "1e+20|", "kettle|", "|", "direct"};
  EXPECT_EQ(g_printed, expected);
}

TEST_F(RecordingRuntime, WaitsPumpAndEndOnQuit) {
  ASSERT_EQ(Open(), 0);
  FrameSyncManual();
  std::uint32_t start = win32::timeGetTime();
  WaitMillis(30);
  EXPECT_GE(win32::timeGetTime() - start, 30u);

  t::KeyDown(SDL_SCANCODE_SPACE);
  WaitKey();  // the key goes down at the first pump
  EXPECT_EQ(Runtime().last_key_code, VK_SPACE);
  t::MouseButtonDown(SDL_BUTTON_LEFT);
  t::KeyUp(SDL_SCANCODE_SPACE);
  WaitMouse();
  EXPECT_EQ(CoreDataGet()->mouse_buttons, 1);

  t::WindowClose();
  start = win32::timeGetTime();
  WaitMillis(5000);  // ends as soon as the quit message is seen
  EXPECT_LT(win32::timeGetTime() - start, 1000u);
  WaitKey();
  WaitMouse();
}

}  // namespace
}  // namespace tessark
