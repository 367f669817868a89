// The game's rules played through scripted input on the headless runtime: the replay engine
// delivers the script's clicks and keys frame by frame, the test reads the game's state and
// what each presented frame showed.
#include <gtest/gtest.h>
#include <unistd.h>

#include <filesystem>
#include <fstream>
#include <iterator>
#include <string>
#include <vector>

#include <tessark/tessark.h>

#include "platform/replay/replay.h"
#include "tests/game/game_fixture.h"

using namespace tessark;

namespace kettlebrim {
namespace {

namespace t = tessark::testing;

class ScriptedRulesTest : public testing::GameFixture {
 protected:
  void TearDown() override {
    replay::Stop();
    GameFixture::TearDown();
  }

  // Plays this script from the next frame on (its frame 0).
  void Script(const std::string& text) {
    ASSERT_EQ(replay::StartScript(text + "\nframe 100000 end", false), "");
  }
  // Runs frames until the predicate holds (at most limit frames); false if it never did.
  template <typename Predicate>
  bool FramesUntil(Predicate done, int limit = 400) {
    for (int i = 0; i < limit; ++i) {
      if (done()) return true;
      Frame();
    }
    return done();
  }
  // The sum of a presented rectangle's pixels: equal sums mean nothing was drawn differently.
  std::uint64_t Region(int x0, int y0, int x1, int y1) const {
    std::uint64_t sum = 0;
    for (int y = y0; y < y1; ++y)
      for (int x = x0; x < x1; ++x) sum = sum * 31 + (DotRead(x, y) & 0xFFFFFFu);
    return sum;
  }
  // Starts a game with the title click, then leaves Ready at once.
  void StartPlaying() {
    Script("frame 0 mouse 320 60; frame 1 press left; frame 3 release left");
    ASSERT_TRUE(FramesUntil([] { return g_state.screens.current == kScreenGame; }, 10));
    Frames(4);
    GameSetPhase(kPhasePlaying);
  }
  // Moves the first n active tokens below the screen, where the next update loses them.
  void DropOneOut(int n = 1) {
    for (Token& token : g_state.tokens.slots) {
      if (n > 0 && token.active && cpBodyGetPosition(token.body).y < 480) {
        cpBodySetPosition(token.body, cpv(300, 600));
        --n;
      }
    }
  }
};

TEST_F(ScriptedRulesTest, AQuitFromTheTitleIsNeverPresentedAndAClickInItsFrameStillStarts) {
  // Escape and the click arrive together on the first title, whose guard is 0.
  Script("frame 2 mouse 320 60; frame 4 press left keydown escape");
  int shown = 0;
  while (Frame()) {
    ASSERT_LT(++shown, 20) << "the quitting Escape was not seen";
  }
  EXPECT_EQ(replay::FrameNumber(), static_cast<std::uint32_t>(shown))
      << "every frame that went on was presented, the quitting one was not";
  EXPECT_TRUE(g_state.screens.quit);
  EXPECT_EQ(g_state.screens.current, kScreenGame) << "the click in the same frame still starts";
  EXPECT_EQ(g_state.game.phase, kPhaseReady);
  EXPECT_EQ(Active(), 25);
}

TEST_F(ScriptedRulesTest, TheStartingPressStillHeldIsAClickInTheFirstGameFrame) {
  // The press lands in the pot area and stays down.
  Script("frame 0 mouse 320 300; frame 2 press left");
  ASSERT_TRUE(FramesUntil([] { return g_state.screens.current == kScreenGame; }, 10));
  EXPECT_FALSE(g_state.mouse.held[1]) << "the reset cleared the held flags";
  Frame();
  EXPECT_TRUE(g_state.mouse.pressed[1]) << "the held button reads as a new press";
  Frame();
  EXPECT_FALSE(g_state.mouse.pressed[1]) << "and only once";
  EXPECT_TRUE(g_state.mouse.held[1]);
}

TEST_F(ScriptedRulesTest, DuringPotOutTheButtonsActAndAnotherFallRestartsTheCaption) {
  StartPlaying();
  g_state.game.chances = 0;
  g_state.game.add_veg_cooldown = 0;
  DropOneOut();
  Frame();
  ASSERT_EQ(g_state.game.phase, kPhasePotOut);
  int before = Active();
  Script("frame 0 mouse 100 430; frame 2 press left; frame 4 release left");
  ASSERT_TRUE(FramesUntil([] { return g_state.game.add_veg_cooldown > 0; }, 8));
  EXPECT_EQ(Active(), before + 5) << "Add veg drops its row of five during PotOut";
  EXPECT_EQ(g_state.game.add_veg_cooldown, 300);

  Frames(40);
  int counter = g_state.game.phase_counter;
  ASSERT_GT(counter, 40);
  DropOneOut();
  Frame();
  EXPECT_EQ(g_state.game.phase, kPhasePotOut);
  EXPECT_EQ(g_state.game.phase_counter, 1) << "the caption starts over";
  EXPECT_EQ(g_state.game.chances, 0);
  Frames(139);
  EXPECT_EQ(g_state.screens.current, kScreenGame);
  Frame();
  EXPECT_EQ(g_state.screens.current, kScreenTitle);
}

TEST_F(ScriptedRulesTest, FromLevel16SpawnsCome16FramesApart) {
  StartPlaying();
  for (int i = 0; i < 16; ++i) GameLevelUp();
  EXPECT_EQ(g_state.game.level, 17);
  EXPECT_EQ(g_state.game.spawn_interval, 15) << "15 is reached at level 16 and kept";
  g_state.game.spawn_countdown = 15;
  int before = Active();
  Frames(15);
  EXPECT_EQ(Active(), before);
  Frame();
  EXPECT_EQ(Active(), before + 1) << "the countdown fell below 0";
  Frames(15);
  EXPECT_EQ(Active(), before + 1);
  Frame();
  EXPECT_EQ(Active(), before + 2) << "16 frames later";
}

TEST_F(ScriptedRulesTest, APointsClickShowsItsScoreOnlyInTheNextFrame) {
  StartPlaying();
  g_state.game.shake_cooldown = 0;
  const int score = g_state.game.score;
  // The score's digits on the board at the top left.
  auto score_area = [&] { return Region(30, 120, 190, 150); };
  Script("frame 0 mouse 500 430; frame 2 press left; frame 4 release left");
  std::uint64_t shown = score_area();
  ASSERT_TRUE(FramesUntil(
      [&] {
        if (g_state.game.score != score) return true;
        shown = score_area();
        return false;
      },
      8));
  EXPECT_EQ(g_state.game.score, score + 500);
  EXPECT_EQ(score_area(), shown) << "the board was drawn before the click was handled";
  Frame();
  EXPECT_NE(score_area(), shown) << "the next frame shows the points";
}

TEST_F(ScriptedRulesTest, TheRingIsDrawnOnlyWithThePointerInThePotAndNeverOnTheTitle) {
  // Left of the pot's left edge, where a ring around a pointer just inside would reach.
  auto beside_pot = [&] { return Region(150, 80, 190, 160); };
  Script("frame 0 mouse 600 30; frame 3 mouse 195 120");
  Frames(2);
  std::uint64_t title_away = beside_pot();
  Frames(3);
  EXPECT_EQ(g_state.screens.current, kScreenTitle);
  EXPECT_EQ(beside_pot(), title_away) << "no ring on the title, even over the pot";

  StartPlaying();
  Script("frame 0 mouse 600 30; frame 3 mouse 189 120; frame 6 mouse 195 120");
  Frames(2);
  std::uint64_t away = beside_pot();
  Frames(3);
  EXPECT_EQ(beside_pot(), away) << "a pointer just left of the pot area draws no ring";
  Frames(3);
  EXPECT_NE(beside_pot(), away) << "just inside it, the ring reaches past the pot's edge";
}

TEST_F(ScriptedRulesTest, EveryFallenTokenPlaysTheLostChanceSoundSeveralInOneFrame) {
  // A sound played again restarts its buffer, so the output cannot tell two plays in a frame
  // from one; the sound device's answers that each play asks for can, and a recording of the
  // run holds every one of them with its frame.
  StartPlaying();
  replay::Stop();
  g_state.game.chances = 10;
  const std::filesystem::path folder =
      std::filesystem::temp_directory_path() / ("kb_lost_" + std::to_string(getpid()));
  std::filesystem::create_directories(folder);
  std::ofstream(folder / "play.txt") << "frame 0 mouse 600 30\nframe 100000 end\n";
  replay::Options options;
  options.replay = (folder / "play.txt").string();
  options.record = (folder / "play.rec").string();
  options.fast = true;
  options.exit_process = false;
  ASSERT_EQ(replay::Start(options), "");
  std::uint32_t fell_in[4] = {};
  for (int n = 1; n <= 3; ++n) {
    SoundStop(kSoundLostChance);
    Frame();
    const int chances = g_state.game.chances;
    DropOneOut(n);
    fell_in[n] = replay::FrameNumber();
    Frame();
    EXPECT_EQ(g_state.game.chances, chances - n);
    EXPECT_TRUE(SoundPlaying(kSoundLostChance)) << n << " fell";
  }
  ASSERT_EQ(replay::Finish(), 0);

  std::ifstream in(folder / "play.rec", std::ios::binary);
  const std::vector<std::uint8_t> bytes{std::istreambuf_iterator<char>(in), {}};
  replay::Recording recording;
  ASSERT_EQ(replay::ReadRecording(bytes.data(), bytes.size(), &recording), "");
  std::filesystem::remove_all(folder);
  int asked[4] = {};
  for (const replay::Item& item : recording.items) {
    for (int n = 1; n <= 3; ++n)
      asked[n] += item.frame == fell_in[n] && item.kind == replay::ItemKind::kValue &&
                  item.sub == static_cast<std::uint8_t>(replay::ValueKind::kSoundStatus);
  }
  EXPECT_GT(asked[2], asked[1]) << "a second token in the frame played the sound again";
  EXPECT_EQ(asked[3] - asked[2], asked[2] - asked[1]) << "and so does each one after it";
}

}  // namespace
}  // namespace kettlebrim
