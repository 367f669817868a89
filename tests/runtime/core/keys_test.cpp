// The public key and mouse-button names read the keys and buttons they name.
#include <gtest/gtest.h>

#include "tests/support/runtime_fixture.h"
#include "tessark/tessark.h"

namespace tessark {
namespace {

using namespace tessark::testing;

TEST_F(RuntimeFixture, KeyNamesReadTheirKeysAndMouseNamesTheirButtons) {
  const struct {
    SDL_Scancode sdl;
    std::int32_t named;
  } kKeys[] = {{SDL_SCANCODE_A, key::kA},
               {SDL_SCANCODE_LEFT, key::kLeft},
               {SDL_SCANCODE_KP_ENTER, key::kPadEnter},
               {SDL_SCANCODE_F12, key::kF12},
               {SDL_SCANCODE_RALT, key::kRightAlt},
               {SDL_SCANCODE_0, key::k0},
               {SDL_SCANCODE_PAGEDOWN, key::kPageDown}};
  for (const auto& k : kKeys) {
    KeyDown(k.sdl);
    PumpMessages();
    EXPECT_TRUE(KeyState(k.named)) << k.named;
    EXPECT_EQ(KeyScancode(), k.named);
    KeyUp(k.sdl);
    PumpMessages();
    EXPECT_FALSE(KeyState(k.named)) << k.named;
  }
  MouseMoveTo(100, 100);
  for (auto [sdl, named] : {std::pair{SDL_BUTTON_LEFT, mouse::kLeft},
                            {SDL_BUTTON_RIGHT, mouse::kRight},
                            {SDL_BUTTON_MIDDLE, mouse::kMiddle}}) {
    MouseButtonDown(static_cast<Uint8>(sdl));
    RunFrames(1);
    EXPECT_EQ(MouseButtons(), named);
    MouseButtonUp(static_cast<Uint8>(sdl));
    RunFrames(1);
  }
}

}  // namespace
}  // namespace tessark
