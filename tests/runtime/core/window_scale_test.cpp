// The runtime's window under --scale: the window the player sees is N times the display, the
// program's client stays the display's size, and the pointer's corners land on the display's.
#include <SDL.h>
#include <gtest/gtest.h>

#include <utility>

#include "platform/win32/event_source.h"
#include "platform/win32/user.h"
#include "runtime/core/core_data.h"
#include "runtime/core/launch_options.h"
#include "tests/support/runtime_fixture.h"

namespace tessark {
namespace {

namespace t = tessark::testing;

class ScaledWindow : public t::RuntimeFixture, public ::testing::WithParamInterface<int> {
 protected:
  void SetUp() override {
    LaunchOptions options;
    options.scale = GetParam();
    LaunchOptionsStore(options);
    RuntimeFixture::SetUp();
  }
  void TearDown() override {
    RuntimeFixture::TearDown();
    LaunchOptionsStore(LaunchOptions{});
  }
  // The display position the pointer at SDL window pixel (x, y) reads as.
  static std::pair<int, int> PointerAt(int x, int y) {
    t::MouseMoveToClient(x, y);
    t::PumpMessages();
    return {CoreDataGet()->mouse_x, CoreDataGet()->mouse_y};
  }
};

TEST_P(ScaledWindow, CornersOfTheWindowAreTheDisplaysCorners) {
  ASSERT_EQ(open_result_, 0);
  const int n = GetParam();
  int w = 0, h = 0;
  SDL_GetWindowSize(win32::SdlWindowOf(t::Window()), &w, &h);
  EXPECT_EQ(w, 640 * n);
  EXPECT_EQ(h, 480 * n);
  RECT client{};
  win32::GetClientRect(t::Window(), &client);
  EXPECT_EQ(client.right, 640);
  EXPECT_EQ(client.bottom, 480);
  using P = std::pair<int, int>;
  EXPECT_EQ(PointerAt(0, 0), P(0, 0));
  EXPECT_EQ(PointerAt(640 * n - 1, 0), P(639, 0));
  EXPECT_EQ(PointerAt(0, 480 * n - 1), P(0, 479));
  EXPECT_EQ(PointerAt(640 * n - 1, 480 * n - 1), P(639, 479));
  EXPECT_EQ(PointerAt(n, n), P(1, 1));
  EXPECT_EQ(PointerAt(n - 1, 2 * n - 1), P(0, 1));
}

INSTANTIATE_TEST_SUITE_P(Scales, ScaledWindow, ::testing::Values(2, 3));

}  // namespace
}  // namespace tessark
