// Plays the real game on the headless runtime: SDL events for the mouse and keys, frame by
// frame, with the seed fixed by the test, checking the game's state and what it drew.
#include <gtest/gtest.h>
#include <unistd.h>

#include <filesystem>
#include <string>

#include <tessark/tessark.h>

#include "tests/game/game_fixture.h"

using namespace tessark;

namespace kettlebrim {
namespace {

namespace t = tessark::testing;

class PlayTest : public testing::GameFixture {
 protected:
  void TearDown() override {
    t::MouseButtonUp();
    t::KeyUp(SDL_SCANCODE_ESCAPE);
    t::PumpMessages();
    GameFixture::TearDown();
  }

  // A press held over a frame boundary, then released: the game sees one click.
  void Click(int x, int y) {
    t::MouseMoveTo(x, y);
    Frame();
    t::MouseButtonDown();
    Frame();
    t::MouseButtonUp();
  }
  void StartGame() {
    Click(320, 60);
    ASSERT_EQ(g_state.screens.current, kScreenGame);
    Frame();
  }
};

TEST_F(PlayTest, StartUpLoadsEveryAssetAndOpensOnTheTitle) {
  EXPECT_EQ(error_word_, 0);
  for (int slot = 2; slot <= 50; ++slot) EXPECT_TRUE(ImageExists(slot)) << "image " << slot;
  EXPECT_EQ(SoundVolume(kSoundMusic), 75);
  EXPECT_EQ(SoundLooping(kSoundMusic), 1);
  EXPECT_EQ(g_state.screens.current, kScreenTitle);
  EXPECT_TRUE(std::filesystem::current_path().string().ends_with("Data/Images"));
}

TEST_F(PlayTest, ALeftClickStartsTheGameAndSpaceDoesNothing) {
  t::KeyPress(SDL_SCANCODE_SPACE);
  Frames(3);
  EXPECT_EQ(g_state.screens.current, kScreenTitle);

  std::uint32_t title_pixel = DotRead(320, 240);
  StartGame();
  EXPECT_EQ(g_state.game.phase, kPhaseReady);
  EXPECT_EQ(Active(), 25);
  EXPECT_EQ(g_state.game.chances, 3);
  EXPECT_EQ(g_state.game.level, 1);
  EXPECT_NE(DotRead(320, 240), title_pixel) << "the Ready caption covers the middle";
}

TEST_F(PlayTest, ReadyLasts141UpdatesThenSpawnsCome61FramesApart) {
  StartGame();
  while (g_state.game.phase == kPhaseReady) Frame();
  int updates_in_ready = g_state.game.phase_counter;  // reset by the switch
  EXPECT_EQ(updates_in_ready, 0);
  int before = Active();
  Frames(60);
  EXPECT_EQ(Active(), before) << "no spawn in the first 60 Playing updates";
  Frame();
  EXPECT_EQ(Active(), before + 1) << "the 61st Playing update spawns";
  Frames(60);
  EXPECT_EQ(Active(), before + 1);
  Frame();
  EXPECT_EQ(Active(), before + 2);
}

TEST_F(PlayTest, ShakeKicksTheTokensAndRaisesOnlyThePotImage) {
  StartGame();
  Frames(200);
  g_state.game.shake_cooldown = 0;
  int score = g_state.game.score;
  cpVect left_wall = cpSegmentShapeGetA(g_state.pot.segments[0]);
  Click(500, 430);
  EXPECT_EQ(g_state.game.shake_offset, 10);
  EXPECT_EQ(g_state.game.shake_cooldown, 300);
  EXPECT_EQ(g_state.game.score, score + 500);
  int rising = 0;
  for (const Token& token : g_state.tokens.slots) {
    if (token.active && cpBodyGetVelocity(token.body).y < -100) ++rising;
  }
  EXPECT_GT(rising, 10);
  Frame();
  EXPECT_EQ(g_state.game.shake_offset, 9) << "the pot is drawn 9 pixels higher";
  cpVect after = cpSegmentShapeGetA(g_state.pot.segments[0]);
  EXPECT_EQ(after.x, left_wall.x);
  EXPECT_EQ(after.y, left_wall.y) << "the walls stay where they are";
}

TEST_F(PlayTest, AClickInTheFirstFrameInsideThePotRemovesNothing) {
  StartGame();
  Frames(250);
  int before = Active();
  t::MouseMoveTo(320, 340);
  t::MouseButtonDown();
  Frame();  // pointer and press arrive together: no token is hovered yet
  t::MouseButtonUp();
  Frame();
  EXPECT_EQ(Active(), before);
}

// Clicks all over the settled pot until one removes tokens; every click must follow the rule:
// exactly the hovered tokens of kinds with three or more in the ring go, and score as such.
TEST_F(PlayTest, ClicksOnThePotRemoveMatchesAndScore) {
  StartGame();
  Frames(250);
  int removed_total = 0;
  for (int x = 210; x < 440 && removed_total == 0; x += 12) {
    for (int y = 300; y < 380 && removed_total == 0; y += 12) {
      t::MouseMoveTo(x, y);
      Frames(2);
      bool was_active[kTokenSlots];
      for (int s = 0; s < kTokenSlots; ++s) was_active[s] = g_state.tokens.slots[s].active;
      int score = g_state.game.score;
      int chain = g_state.game.chain_bonus;
      t::MouseButtonDown();
      Frame();  // the click: hovered flags stay as this frame's update left them

      int hovered[kKindCount] = {};
      for (int s = 0; s < kTokenSlots; ++s) {
        const Token& token = g_state.tokens.slots[s];
        if (was_active[s] && token.hovered) ++hovered[token.kind];
      }
      int removed = 0;
      for (int s = 0; s < kTokenSlots; ++s) {
        const Token& token = g_state.tokens.slots[s];
        if (!was_active[s] || !token.hovered) continue;
        bool gone = !token.active;
        EXPECT_EQ(gone, hovered[token.kind] > 2) << "slot " << s;
        removed += gone;
      }
      EXPECT_EQ(g_state.game.score - score, ClickPoints(removed, chain, 1));
      removed_total = removed;
      t::MouseButtonUp();
      Frame();
    }
  }
  EXPECT_GT(removed_total, 0) << "some spot in the settled pot has three of a kind";
}

TEST_F(PlayTest, EscapeReturnsToTheTitleWhoseGuardHoldsOff100Frames) {
  StartGame();
  t::KeyDown(SDL_SCANCODE_ESCAPE);
  EXPECT_TRUE(Frame());
  EXPECT_EQ(g_state.screens.current, kScreenTitle);
  EXPECT_EQ(g_state.title.guard, 100);
  for (int i = 1; i < 100; ++i) ASSERT_TRUE(Frame()) << "quit during the guard, frame " << i;
  EXPECT_FALSE(Frame()) << "Escape held past the guard quits";
  EXPECT_TRUE(g_state.screens.quit);
}

TEST_F(PlayTest, EscapeOnTheFirstTitleQuitsAtOnce) {
  t::KeyDown(SDL_SCANCODE_ESCAPE);
  EXPECT_FALSE(Frame());
  EXPECT_TRUE(g_state.screens.quit);
}

TEST_F(PlayTest, LosingTheFourthChancePutsThePotOutAndReturnsToTheTitle) {
  StartGame();
  Frames(150);
  for (int lost = 0; lost < 4; ++lost) {
    for (Token& token : g_state.tokens.slots) {
      if (token.active) {
        cpBodySetPosition(token.body, cpv(300, 600));
        break;
      }
    }
    Frame();
  }
  EXPECT_EQ(g_state.game.phase, kPhasePotOut);
  EXPECT_EQ(g_state.game.chances, 0);
  EXPECT_EQ(g_state.game.phase_counter, 1) << "the update that lost the token counts";
  Frames(139);
  EXPECT_EQ(g_state.screens.current, kScreenGame);
  Frame();
  EXPECT_EQ(g_state.screens.current, kScreenTitle) << "the 141st PotOut update";
  EXPECT_EQ(g_state.title.guard, 100);
}

TEST_F(PlayTest, ClosingTheWindowEndsTheLoop) {
  StartGame();
  t::WindowClose();
  Frame();
  EXPECT_FALSE(Frame());
}

class NoDataTest : public t::RuntimeFixture {};

TEST_F(NoDataTest, WithoutTheDataFolderErrorsAreRecordedAndTheGameStillRuns) {
  auto start = std::filesystem::current_path();
  auto empty = std::filesystem::temp_directory_path() / ("kb_nodata_" + std::to_string(getpid()));
  std::filesystem::create_directories(empty);
  std::filesystem::current_path(empty);
  GameStateClear();
  GameStartUp();
  FrameSetRate(0);
  EXPECT_NE(error_word_, 0);
  EXPECT_FALSE(ImageExists(kImagePot));
  for (int i = 0; i < 5; ++i) EXPECT_TRUE(GameFrame());
  t::MouseMoveTo(320, 60);
  GameFrame();
  t::MouseButtonDown();
  GameFrame();
  EXPECT_EQ(g_state.screens.current, kScreenGame);
  for (int i = 0; i < 20; ++i) EXPECT_TRUE(GameFrame());
  t::KeyDown(SDL_SCANCODE_ESCAPE);
  GameFrame();
  t::KeyUp(SDL_SCANCODE_ESCAPE);
  t::MouseButtonUp();
  t::PumpMessages();
  GameStateClear();
  std::filesystem::current_path(start);
  std::filesystem::remove_all(empty);
}

}  // namespace
}  // namespace kettlebrim
