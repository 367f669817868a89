// Present: the refresh clock that stands in for the retrace, the nearest-pixel scaling, and
// both ways to the screen on SDL's dummy video driver (the window's surface, which the machine
// without a GPU takes, and an SDL renderer, forced), read back from the window.
#include <SDL.h>
#include <gtest/gtest.h>

#include <algorithm>
#include <cstdint>
#include <cstring>
#include <vector>

#include "platform/d3d9/d3d9.h"
#include "platform/d3d9/present.h"
#include "platform/win32/event_source.h"
#include "platform/win32/user.h"

using d3d9_internal::PresentPath;
using d3d9_internal::RefreshClock;

namespace {

constexpr std::uint64_t kPeriod = 16666666;  // 60 Hz

TEST(RefreshClock, FrameIsShownAtTheFirstTickAfterItsPresent) {
  RefreshClock clock(kPeriod);
  EXPECT_EQ(clock.NextTick(5 * kPeriod + 10), 6 * kPeriod);
  // A present exactly on a tick waits for the next one: the retrace has just gone by.
  EXPECT_EQ(clock.NextTick(8 * kPeriod), 9 * kPeriod);
  // A frame that missed ticks takes the next one, not the ones it missed.
  EXPECT_EQ(clock.NextTick(20 * kPeriod + 1), 21 * kPeriod);
}

TEST(RefreshClock, TwoPresentsInOnePeriodAreShownOnePeriodApart) {
  RefreshClock clock(kPeriod);
  std::uint64_t first = clock.NextTick(3 * kPeriod + 100);
  std::uint64_t second = clock.NextTick(3 * kPeriod + 200);  // before the first was shown
  std::uint64_t third = clock.NextTick(first + 1);
  EXPECT_EQ(second - first, kPeriod);
  EXPECT_EQ(third - second, kPeriod);
}

TEST(RefreshClock, FifteenMillisecondFramesRunAtTheRefreshRate) {
  // The runtime's frame wait is 15 ms from a stamp taken before the present; the present then
  // waits for the tick. Every frame gets its own tick: 60 a second, evenly spaced.
  RefreshClock clock(kPeriod);
  std::uint64_t stamp = 1000000, shown = 0;
  std::vector<std::uint64_t> ticks;
  for (int i = 0; i < 120; ++i) {
    std::uint64_t drawn = shown + 2000000;  // two milliseconds of game after the last present
    stamp = std::max(stamp + 15000000, drawn);
    shown = clock.NextTick(stamp);
    ticks.push_back(shown);
  }
  for (std::size_t i = 1; i < ticks.size(); ++i) EXPECT_EQ(ticks[i] - ticks[i - 1], kPeriod);
}

TEST(RefreshClock, PeriodFollowsTheDisplayRateWithSixtyWhenUnknown) {
  EXPECT_EQ(d3d9_internal::RefreshPeriodNs(0), 1000000000ull / 60);
  EXPECT_EQ(d3d9_internal::RefreshPeriodNs(-5), 1000000000ull / 60);
  EXPECT_EQ(d3d9_internal::RefreshPeriodNs(75), 1000000000ull / 75);
  RefreshClock clock(kPeriod);
  std::uint64_t before = clock.NextTick(10 * kPeriod + 5);
  clock.SetPeriod(d3d9_internal::RefreshPeriodNs(120));
  // A faster display: the next tick follows the last one shown, never repeats it.
  std::uint64_t after = clock.NextTick(before - 1000);
  EXPECT_GT(after, before);
  EXPECT_LE(after - before, 1000000000ull / 120);
}

std::vector<std::uint32_t> Scale(const std::vector<std::uint32_t>& src, int sw, int sh, int dw,
                                 int dh) {
  std::vector<std::uint32_t> dst(static_cast<std::size_t>(dw * dh), 0xDEADBEEF);
  d3d9_internal::ColumnTable columns;
  d3d9_internal::ScaleNearest32(reinterpret_cast<const std::uint8_t*>(src.data()), sw * 4, sw, sh,
                                reinterpret_cast<std::uint8_t*>(dst.data()), dw * 4, dw, dh,
                                columns);
  return dst;
}

TEST(ScaleNearest, CopiesEnlargesAndShrinksByPixelCentres) {
  std::vector<std::uint32_t> src = {1, 2, 3, 4, 5, 6};  // 3 x 2
  EXPECT_EQ(Scale(src, 3, 2, 3, 2), src);
  EXPECT_EQ(Scale(src, 3, 2, 6, 4),
            (std::vector<std::uint32_t>{1, 1, 2, 2, 3, 3, 1, 1, 2, 2, 3, 3,  //
                                        4, 4, 5, 5, 6, 6, 4, 4, 5, 5, 6, 6}));
  // Shrinking keeps the pixel each destination centre falls in: columns 0.75 and 2.25 of 3,
  // row 1 of 2.
  EXPECT_EQ(Scale(src, 3, 2, 2, 1), (std::vector<std::uint32_t>{4, 6}));
  // An uneven stretch (3 to 5 columns) covers every source pixel, the middle one once or more.
  EXPECT_EQ(Scale({7, 8, 9}, 3, 1, 5, 1), (std::vector<std::uint32_t>{7, 7, 8, 9, 9}));
}

// A device on a real (dummy-driver) window, presenting the way the test asks.
class PresentToWindow : public ::testing::Test {
 protected:
  static LRESULT Proc(HWND w, UINT m, WPARAM wp, LPARAM lp) {
    return win32::DefWindowProcA(w, m, wp, lp);
  }
  void SetUp() override {
    ASSERT_TRUE(win32::VideoReady());
    WNDCLASSA c{};
    c.lpfnWndProc = Proc;
    c.lpszClassName = "PresentTest";
    win32::RegisterClassA(&c);
    window_ = win32::CreateWindowExA(0, "PresentTest", "Present", WS_POPUP | WS_VISIBLE, 0, 0,
                                     kClientW, kClientH, nullptr, nullptr, nullptr, nullptr);
    ASSERT_NE(window_, nullptr);
    d3d_ = Ref<IDirect3D9>::Adopt(Direct3DCreate9(D3D_SDK_VERSION));
    ASSERT_TRUE(d3d_);
  }
  void TearDown() override {
    device_.Reset();
    d3d_.Reset();
    d3d9::testing::RestoreAll();
    win32::DestroyWindow(window_);
    win32::UnregisterClassA("PresentTest", nullptr);
  }

  void Create(UINT w, UINT h, UINT interval = D3DPRESENT_INTERVAL_ONE) {
    D3DPRESENT_PARAMETERS pp{};
    pp.BackBufferWidth = w;
    pp.BackBufferHeight = h;
    pp.BackBufferFormat = D3DFMT_X8R8G8B8;
    pp.SwapEffect = D3DSWAPEFFECT_COPY;
    pp.Windowed = TRUE;
    pp.PresentationInterval = interval;
    pp.Flags = D3DPRESENTFLAG_LOCKABLE_BACKBUFFER;
    ASSERT_EQ(d3d_->CreateDevice(0, D3DDEVTYPE_HAL, window_, D3DCREATE_SOFTWARE_VERTEXPROCESSING,
                                 &pp, device_.Put()),
              D3D_OK);
  }

  // Left half red, right half blue, with a green top-left pixel.
  void Paint(LONG w, LONG h) {
    D3DRECT left{0, 0, w / 2, h}, right{w / 2, 0, w, h}, corner{0, 0, 1, 1};
    device_->Clear(1, &left, D3DCLEAR_TARGET, 0xFFFF0000, 1.0f, 0);
    device_->Clear(1, &right, D3DCLEAR_TARGET, 0xFF0000FF, 1.0f, 0);
    device_->Clear(1, &corner, D3DCLEAR_TARGET, 0xFF00FF00, 1.0f, 0);
  }

  // A pixel of the window as shown, as 0xRRGGBB.
  std::uint32_t Shown(int x, int y) {
    SDL_Window* sdl = win32::SdlWindowOf(window_);
    if (device_->PresentPathUsed() == PresentPath::kRenderer) {
      SDL_Renderer* r = SDL_GetRenderer(sdl);
      SDL_Rect one{x, y, 1, 1};
      std::uint32_t v = 0;
      SDL_RenderReadPixels(r, &one, SDL_PIXELFORMAT_ARGB8888, &v, 4);
      return v & 0xFFFFFF;
    }
    SDL_Surface* s = SDL_GetWindowSurface(sdl);
    std::uint32_t raw = 0;
    std::memcpy(&raw, static_cast<const std::uint8_t*>(s->pixels) + y * s->pitch + x * 4, 4);
    std::uint8_t r, g, b;
    SDL_GetRGB(raw, s->format, &r, &g, &b);
    return (std::uint32_t{r} << 16) | (std::uint32_t{g} << 8) | b;
  }

  static constexpr int kClientW = 80, kClientH = 60;
  HWND window_ = nullptr;
  Ref<IDirect3D9> d3d_;
  Ref<IDirect3DDevice9> device_;
};

TEST_F(PresentToWindow, WithoutAGpuTheWindowSurfaceIsUsedAndWaitsForTheRefresh) {
  Create(kClientW, kClientH);
  EXPECT_EQ(device_->PresentPathUsed(), PresentPath::kSurface);
  // The dummy driver shows nothing, so there is no refresh to keep pace with.
  EXPECT_FALSE(device_->PresentWaitsForRefresh());
  d3d9::testing::WaitForRefreshHeadless(true);
  Create(kClientW, kClientH);
  EXPECT_EQ(device_->PresentPathUsed(), PresentPath::kSurface);
  EXPECT_TRUE(device_->PresentWaitsForRefresh());
  Create(kClientW, kClientH, D3DPRESENT_INTERVAL_IMMEDIATE);
  EXPECT_FALSE(device_->PresentWaitsForRefresh());
}

TEST_F(PresentToWindow, SurfaceShowsTheBackBufferScaledToTheClientArea) {
  Create(kClientW, kClientH, D3DPRESENT_INTERVAL_IMMEDIATE);
  Paint(kClientW, kClientH);
  ASSERT_EQ(device_->Present(nullptr, nullptr, nullptr, nullptr), D3D_OK);
  EXPECT_EQ(Shown(0, 0), 0x00FF00u);
  EXPECT_EQ(Shown(1, 0), 0xFF0000u);
  EXPECT_EQ(Shown(kClientW - 1, kClientH - 1), 0x0000FFu);

  // A back buffer half the window's size is doubled: its corner pixel covers 2 x 2.
  Create(kClientW / 2, kClientH / 2, D3DPRESENT_INTERVAL_IMMEDIATE);
  Paint(kClientW / 2, kClientH / 2);
  ASSERT_EQ(device_->Present(nullptr, nullptr, nullptr, nullptr), D3D_OK);
  EXPECT_EQ(Shown(1, 1), 0x00FF00u);
  EXPECT_EQ(Shown(2, 1), 0xFF0000u);
  EXPECT_EQ(Shown(kClientW / 2 - 1, 10), 0xFF0000u);
  EXPECT_EQ(Shown(kClientW / 2, 10), 0x0000FFu);
}

TEST_F(PresentToWindow, SurfaceShowsASourceRectangleAndBlacksOutBesideADestination) {
  Create(kClientW, kClientH, D3DPRESENT_INTERVAL_IMMEDIATE);
  Paint(kClientW, kClientH);
  // Only the right (blue) half, stretched over the whole window.
  RECT right{kClientW / 2, 0, kClientW, kClientH};
  ASSERT_EQ(device_->Present(&right, nullptr, nullptr, nullptr), D3D_OK);
  EXPECT_EQ(Shown(0, 0), 0x0000FFu);
  EXPECT_EQ(Shown(kClientW - 1, kClientH - 1), 0x0000FFu);
  // The whole picture into the top-left quarter: the rest of the window is black.
  RECT quarter{0, 0, kClientW / 2, kClientH / 2};
  ASSERT_EQ(device_->Present(nullptr, &quarter, nullptr, nullptr), D3D_OK);
  EXPECT_EQ(Shown(0, 0), 0xFF0000u);  // halved: the green corner pixel falls between centres
  EXPECT_EQ(Shown(kClientW / 4 + 1, 5), 0x0000FFu);
  EXPECT_EQ(Shown(kClientW - 1, kClientH - 1), 0x000000u);
  // A destination reaching outside the window is clipped, not written out of bounds.
  RECT beyond{kClientW / 2, kClientH / 2, kClientW * 3, kClientH * 3};
  ASSERT_EQ(device_->Present(nullptr, &beyond, nullptr, nullptr), D3D_OK);
  EXPECT_EQ(Shown(0, 0), 0x000000u);
  EXPECT_EQ(Shown(kClientW / 2, kClientH / 2), 0x00FF00u);
}

// The scaling's column table belongs to one pair of widths: a source rectangle of another
// width never reads with it (past the back buffer's end when the new source is narrower, the
// wrong columns when it is wider).
TEST_F(PresentToWindow, SurfaceScalesSourcesOfEveryWidthWithTheirOwnColumns) {
  Create(kClientW / 2, kClientH / 2, D3DPRESENT_INTERVAL_IMMEDIATE);
  Paint(kClientW / 2, kClientH / 2);
  RECT right{kClientW / 4, 0, kClientW / 2, kClientH / 2};
  for (int order = 0; order < 2; ++order) {
    const bool whole_first = order == 0;
    for (int step = 0; step < 2; ++step) {
      const bool whole = (step == 0) == whole_first;
      ASSERT_EQ(device_->Present(whole ? nullptr : &right, nullptr, nullptr, nullptr), D3D_OK);
      EXPECT_EQ(Shown(kClientW - 1, kClientH - 1), 0x0000FFu) << order << step;
      EXPECT_EQ(Shown(0, kClientH - 1), whole ? 0xFF0000u : 0x0000FFu) << order << step;
      EXPECT_EQ(Shown(kClientW / 2, kClientH - 1), 0x0000FFu) << order << step;
    }
  }
}

// A window at a whole-pixel scale shows each back-buffer pixel as a square of that side; made
// larger by the window manager, at the largest whole scale that fits, centred on black.
TEST_F(PresentToWindow, ScaledWindowsShowWholePixelsCentredOnBlack) {
  ASSERT_TRUE(win32::SetWindowScale(window_, 2));
  Create(kClientW, kClientH, D3DPRESENT_INTERVAL_IMMEDIATE);
  Paint(kClientW, kClientH);
  ASSERT_EQ(device_->Present(nullptr, nullptr, nullptr, nullptr), D3D_OK);
  EXPECT_EQ(Shown(1, 1), 0x00FF00u);
  EXPECT_EQ(Shown(2, 0), 0xFF0000u);
  EXPECT_EQ(Shown(kClientW - 1, 5), 0xFF0000u);
  EXPECT_EQ(Shown(kClientW, 5), 0x0000FFu);
  EXPECT_EQ(Shown(2 * kClientW - 1, 2 * kClientH - 1), 0x0000FFu);

  SDL_SetWindowSize(win32::SdlWindowOf(window_), 2 * kClientW + 45, 2 * kClientH + 11);
  win32::PumpSdlEvents();
  ASSERT_EQ(device_->Present(nullptr, nullptr, nullptr, nullptr), D3D_OK);
  EXPECT_EQ(Shown(21, 4), 0x000000u);
  EXPECT_EQ(Shown(22, 5), 0x00FF00u);
  EXPECT_EQ(Shown(23, 6), 0x00FF00u);
  EXPECT_EQ(Shown(24, 5), 0xFF0000u);
  EXPECT_EQ(Shown(22 + 2 * kClientW - 1, 5 + 2 * kClientH - 1), 0x0000FFu);
  EXPECT_EQ(Shown(22 + 2 * kClientW, 30), 0x000000u);
  EXPECT_EQ(Shown(40, 5 + 2 * kClientH), 0x000000u);
  // A destination rectangle is in the program's pixels too: a quarter of them at scale 2 takes
  // the back buffer pixel for pixel.
  RECT quarter{0, 0, kClientW / 2, kClientH / 2};
  ASSERT_EQ(device_->Present(nullptr, &quarter, nullptr, nullptr), D3D_OK);
  EXPECT_EQ(Shown(22, 5), 0x00FF00u);
  EXPECT_EQ(Shown(23, 5), 0xFF0000u);
  EXPECT_EQ(Shown(22 + kClientW - 1, 5 + kClientH - 1), 0x0000FFu);
  EXPECT_EQ(Shown(22 + kClientW, 5 + kClientH), 0x000000u);
}

TEST_F(PresentToWindow, IntervalOnePresentsOneRefreshApart) {
  d3d9::testing::WaitForRefreshHeadless(true);
  Create(kClientW, kClientH);
  ASSERT_TRUE(device_->PresentWaitsForRefresh());
  // Frames keep to the refresh once they show drawing, here the first one presented below:
  // before, they are cleared back buffers of one colour, shown at once.
  Paint(kClientW, kClientH);
  ASSERT_EQ(device_->Present(nullptr, nullptr, nullptr, nullptr), D3D_OK);
  std::uint64_t start = SDL_GetPerformanceCounter();
  for (int i = 0; i < 3; ++i)
    ASSERT_EQ(device_->Present(nullptr, nullptr, nullptr, nullptr), D3D_OK);
  double ms = 1000.0 * static_cast<double>(SDL_GetPerformanceCounter() - start) /
              static_cast<double>(SDL_GetPerformanceFrequency());
  // Each of three more frames waits for a tick of its own on the (60 Hz, unknown-rate) dummy
  // display: the first one after the clock was read, so at least two whole refreshes pass,
  // however late the first present woke.
  EXPECT_GE(ms, 2.0 * 1000.0 / 60.0 - 0.1);
}

TEST_F(PresentToWindow, ForcedRendererShowsTheSamePicture) {
  d3d9::testing::ForcePresentPath(PresentPath::kRenderer);
  Create(kClientW / 2, kClientH / 2, D3DPRESENT_INTERVAL_IMMEDIATE);
  ASSERT_EQ(device_->PresentPathUsed(), PresentPath::kRenderer);
  Paint(kClientW / 2, kClientH / 2);
  ASSERT_EQ(device_->Present(nullptr, nullptr, nullptr, nullptr), D3D_OK);
  // Read before the next present: the renderer's picture is the one just presented.
  EXPECT_EQ(Shown(kClientW - 1, kClientH - 1), 0x0000FFu);
  EXPECT_EQ(Shown(2, 1), 0xFF0000u);
}

}  // namespace
