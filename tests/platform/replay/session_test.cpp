// The session behind the hooks: a recording made from SDL events, clock readings and device
// answers gives them back in a replay at the same pumps and readings, and a replay that reads
// something else than the recording holds next stops, naming the frame.
#include <gtest/gtest.h>
#include <unistd.h>

#include <filesystem>
#include <string>
#include <vector>

#include "platform/replay/replay.h"

namespace replay {
namespace {

namespace fs = std::filesystem;

std::vector<SDL_Event> g_delivered;

void Collect(const SDL_Event& event) {
  g_delivered.push_back(event);
}

void PushKey(SDL_Scancode code) {
  SDL_Event e{};
  e.type = SDL_KEYDOWN;
  e.key.keysym.scancode = code;
  SDL_PushEvent(&e);
}

class SessionTest : public ::testing::Test {
 protected:
  void SetUp() override {
    ASSERT_EQ(SDL_InitSubSystem(SDL_INIT_EVENTS), 0);
    file_ = fs::temp_directory_path() / ("session_" + std::to_string(getpid()) + ".rec");
    options_.exit_process = false;
    options_.width = 640;
    options_.height = 480;
    g_delivered.clear();
  }
  void TearDown() override {
    Stop();
    SDL_QuitSubSystem(SDL_INIT_EVENTS);
    fs::remove(file_);
  }

  // Two frames: keys at the second pump of the first, a sound answer, a key in a frame wait.
  void Record() {
    Options o = options_;
    o.record = file_.string();
    ASSERT_EQ(Start(o), "");
    EXPECT_EQ(Clock(5'000'000), 5'000'000u);
    Pump(Collect);  // nothing waiting: an empty pump
    PushKey(SDL_SCANCODE_A);
    PushKey(SDL_SCANCODE_B);
    Pump(Collect);
    EXPECT_EQ(Exchange(ValueKind::kSoundStatus, 5), 5u);
    EXPECT_EQ(Clock(5'004'900), 5'004'900u);
    FrameEnd(true);
    {
      WaitScope wait;
      Pump(Collect);
      PushKey(SDL_SCANCODE_C);
      Pump(Collect);
      Clock(5'010'000);  // the wait's own readings are not written down
    }
    EXPECT_EQ(Clock(5'016'000), 5'016'000u);
    FrameEnd(true);
    EXPECT_EQ(Finish(), 0);
    EXPECT_EQ(g_delivered.size(), 3u) << "recording delivers what it writes down";
    g_delivered.clear();
  }

  Options Replay() const {
    Options o = options_;
    o.replay = file_.string();
    o.fast = true;
    o.check = true;
    return o;
  }

  fs::path file_;
  Options options_;
};

TEST_F(SessionTest, AReplayGivesBackEachAnswerAtItsReadingAndEachBatchAtItsPump) {
  Record();
  ASSERT_EQ(Start(Replay()), "");
  PushKey(SDL_SCANCODE_Z);  // the machine's own input is dropped
  EXPECT_EQ(Clock(1), 5'000'000u);
  Pump(Collect);
  EXPECT_TRUE(g_delivered.empty()) << "the recorded batch came at the second pump";
  Pump(Collect);
  ASSERT_EQ(g_delivered.size(), 2u);
  EXPECT_EQ(g_delivered[0].key.keysym.scancode, SDL_SCANCODE_A);
  EXPECT_EQ(g_delivered[1].key.keysym.scancode, SDL_SCANCODE_B);
  EXPECT_EQ(Exchange(ValueKind::kSoundStatus, 0), 5u);
  EXPECT_EQ(Clock(1) / 1000, 5'004u) << "readings are kept to the millisecond";
  FrameEnd(true);
  {
    WaitScope wait;
    Pump(Collect);  // one pump stands for the whole wait
  }
  ASSERT_EQ(g_delivered.size(), 3u);
  EXPECT_EQ(g_delivered[2].key.keysym.scancode, SDL_SCANCODE_C);
  EXPECT_EQ(Clock(1), 5'016'000u);
  FrameEnd(true);
  EXPECT_EQ(Finish(), 0);
  EXPECT_EQ(StopReason(), "");
}

TEST_F(SessionTest, AReplayThatReadsSomethingElseStopsNamingTheFrame) {
  Record();
  ASSERT_EQ(Start(Replay()), "");
  Clock(1);
  Pump(Collect);
  Pump(Collect);
  FrameEnd(true);  // the recording asked the sound device first
  EXPECT_FALSE(Active());
  EXPECT_NE(StopReason().find("frame 0: the game showed a frame where the recording holds a "
                              "device's answer"),
            std::string::npos)
      << StopReason();
  EXPECT_EQ(Finish(), 3);

  ASSERT_EQ(Start(Replay()), "");
  Clock(1);
  Pump(Collect);
  Pump(Collect);
  Exchange(ValueKind::kSoundStatus, 0);
  Clock(1);
  FrameEnd(true);
  {
    WaitScope wait;
    Pump(Collect);
  }
  Clock(1);
  Clock(1);  // the recording has its frame end next
  EXPECT_NE(StopReason().find("frame 1: the game read the clock where the recording holds a "
                              "frame end"),
            std::string::npos)
      << StopReason();

  // A game that ends early is told so.
  ASSERT_EQ(Start(Replay()), "");
  Clock(1);
  EXPECT_EQ(Finish(), 3);
  EXPECT_NE(StopReason().find("the game ended at frame 0, before the recording did"),
            std::string::npos)
      << StopReason();
}

TEST_F(SessionTest, RecordingAndScriptsAreRefusedWithTheirReason) {
  Options o = options_;
  o.record = "/nonexistent-folder/x.rec";
  EXPECT_NE(Start(o).find("cannot write the recording"), std::string::npos);
  EXPECT_FALSE(Active());
  o = options_;
  o.replay = file_.string();
  std::FILE* f = std::fopen(file_.c_str(), "w");
  std::fputs("frame 3 jump\n", f);
  std::fclose(f);
  EXPECT_NE(Start(o).find("line 1: unknown action \"jump\""), std::string::npos);
  EXPECT_FALSE(Active());

  Record();
  o = Replay();
  o.width = 800;
  EXPECT_NE(Start(o).find("recorded in a 640 x 480 window; this one is 800 x 480"),
            std::string::npos);
  EXPECT_FALSE(Active());
}

}  // namespace
}  // namespace replay
