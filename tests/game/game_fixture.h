// The game on the headless runtime, started as the program starts it, in the folder that holds
// its Data, with no frame pacing (tests count frames, not milliseconds) and the seed fixed.
#pragma once

#include <filesystem>

#include <tessark/tessark.h>

#include "game/game.h"
#include "tests/support/runtime_fixture.h"

namespace kettlebrim::testing {

class GameFixture : public tessark::testing::RuntimeFixture {
 protected:
  void SetUp() override {
    RuntimeFixture::SetUp();
    start_folder_ = std::filesystem::current_path();
    std::filesystem::current_path(KETTLEBRIM_DATA_PARENT);
    GameStateClear();
    GameStartUp();
    tessark::FrameSetRate(0);
    tessark::RandomSeed(1234);
  }
  void TearDown() override {
    GameStateClear();
    std::filesystem::current_path(start_folder_);
    RuntimeFixture::TearDown();
  }

  bool Frame() { return GameFrame(); }
  void Frames(int n) {
    for (int i = 0; i < n; ++i) Frame();
  }
  // Tokens now in play.
  int Active() const {
    int n = 0;
    for (const Token& token : g_state.tokens.slots) n += token.active;
    return n;
  }

 private:
  std::filesystem::path start_folder_;
};

}  // namespace kettlebrim::testing
