// Bitmaps on the whole runtime: drawing redirected into them, copies, the effects with values
// worked out by hand, loading pictures, device refreshes and the memory-block round trip.
// Pixels are written and read through memory blocks (32-bit rows) and the back buffer.
#include <SDL.h>
#include <SDL_image.h>
#include <gtest/gtest.h>
#include <unistd.h>

#include <cstdint>
#include <cstring>
#include <filesystem>
#include <limits>
#include <string>
#include <utility>
#include <vector>

#include "platform/d3d9/d3d9.h"
#include "runtime/core/core_data.h"
#include "runtime/core/module_table.h"
#include "runtime/display/display_state.h"
#include "tessark/tessark.h"
#include "tests/support/runtime_fixture.h"

using namespace tessark;

namespace {

class BitmapTest : public tessark::testing::RuntimeFixture {
 protected:
  void SetUp() override {
    RuntimeFixture::SetUp();
    ASSERT_EQ(open_result_, 0);
  }
  std::int32_t Error() { return std::exchange(error_word_, 0); }

  // Bitmap id made w x h from 32-bit pixels (row after row), through a memory block.
  void Make(std::int32_t id, std::int32_t w, std::int32_t h,
            const std::vector<std::uint32_t>& pixels) {
    MemblockMake(200, 12 + w * h * 4);
    std::uint8_t* at = MemblockAddress(200);
    const std::int32_t header[3] = {w, h, 32};
    std::memcpy(at, header, 12);
    std::memcpy(at + 12, pixels.data(), pixels.size() * 4);
    BitmapFromMemblock(id, 200);
    MemblockDelete(200);
  }
  // Bitmap id's pixels, through a memory block.
  std::vector<std::uint32_t> Pixels(std::int32_t id) {
    MemblockFromBitmap(201, id);
    if (!MemblockExists(201)) return {};
    std::vector<std::uint32_t> out(static_cast<std::size_t>(MemblockSize(201) - 12) / 4);
    std::memcpy(out.data(), MemblockAddress(201) + 12, out.size() * 4);
    MemblockDelete(201);
    return out;
  }
  // One pixel of the back buffer.
  static std::uint32_t Screen(int x, int y) {
    IDirect3DSurface9* back = CoreDataGet()->back_buffer_surface;
    D3DLOCKED_RECT locked{};
    if (FAILED(back->LockRect(&locked, nullptr, D3DLOCK_READONLY))) return 0xDEADBEEF;
    std::uint32_t v;
    std::memcpy(&v, static_cast<BYTE*>(locked.pBits) + y * locked.Pitch + x * 4, 4);
    back->UnlockRect();
    return v;
  }
};

constexpr std::uint32_t kRed = 0xFFFF0000u, kGreen = 0xFF00FF00u, kBlue = 0xFF0000FFu;

TEST_F(BitmapTest, TheScreenIsBitmapZeroFromTheStart) {
  EXPECT_EQ(BitmapCurrent(), 0);
  EXPECT_TRUE(BitmapExists(0));
  EXPECT_EQ(BitmapWidth(0), 640);
  EXPECT_EQ(BitmapHeight(), 480);
  EXPECT_EQ(BitmapDepth(), 32);
  EXPECT_FALSE(BitmapExists(1));
  EXPECT_EQ(Error(), 0);
  BitmapDelete(0);
  EXPECT_EQ(Error(), 1001);
  BitmapCreate(0, 8, 8);
  EXPECT_EQ(Error(), 1001);
  BitmapExists(22000001);
  EXPECT_EQ(Error(), 1001);
  EXPECT_EQ(BitmapWidth(5), 0);
  EXPECT_EQ(Error(), 1002);
  BitmapSetCurrent(5);
  EXPECT_EQ(Error(), 1002);
  BitmapDelete(5);
  EXPECT_EQ(Error(), 1002);
}

TEST_F(BitmapTest, EveryKindOfDrawingGoesToTheCurrentBitmap) {
  ScreenClear(kBlue);
  BitmapCreate(1, 320, 200);
  ASSERT_EQ(Error(), 0);
  EXPECT_EQ(BitmapCurrent(), 1);
  EXPECT_EQ(BitmapWidth(), 320);
  EXPECT_EQ(Pixels(1)[0], 0xFF000000u);  // made black
  EXPECT_EQ(Screen(0, 0), kBlue);

  ScreenClear(kRed);
  InkSet(kGreen, 0);
  BoxDraw(10, 10, 20, 20);
  std::vector<std::uint32_t> image(4, 0xFF123456u);
  ImageSetData(1, 2, 2, 32, reinterpret_cast<const std::uint8_t*>(image.data()));
  ImagePaste(1, 30, 30, 0);
  TextPrintAt(50, 50, "MMMM");
  std::vector<std::uint32_t> drawn = Pixels(1);
  EXPECT_EQ(drawn[0], kRed);
  EXPECT_EQ(drawn[15 * 320 + 15], kGreen);
  EXPECT_EQ(drawn[31 * 320 + 31], 0xFF123456u);
  int text = 0;
  for (int y = 50; y < 70; ++y) {
    for (int x = 50; x < 90; ++x) text += drawn[y * 320 + x] != kRed;
  }
  EXPECT_GT(text, 0);
  EXPECT_EQ(Screen(0, 0), kBlue);
  EXPECT_EQ(Screen(15, 15), kBlue);
  EXPECT_EQ(Screen(31, 31), kBlue);
  EXPECT_EQ(Screen(55, 55), kBlue);

  BitmapSetCurrent(0);
  ScreenClear(kGreen);
  EXPECT_EQ(Screen(0, 0), kGreen);
  EXPECT_EQ(Pixels(1)[0], kRed);
  BitmapSetCurrent(1);
  BitmapDelete(1);
  EXPECT_EQ(BitmapCurrent(), 0);
  EXPECT_EQ(CoreDataGet()->render_surface, CoreDataGet()->back_buffer_surface);
}

TEST_F(BitmapTest, CopiesTakeTheSharedTopLeftOrStretch) {
  BitmapCreate(1, 320, 200);
  ScreenClear(kRed);
  BitmapCreate(2, 640, 480);
  ScreenClear(kBlue);
  BitmapCopy(1, 2);
  const std::vector<std::uint32_t> big = Pixels(2);
  EXPECT_EQ(big[0], kRed);
  EXPECT_EQ(big[199 * 640 + 319], kRed);
  EXPECT_EQ(big[199 * 640 + 320], kBlue);
  EXPECT_EQ(big[200 * 640 + 319], kBlue);
  BitmapCopy(2, 2);
  EXPECT_EQ(Error(), 1001);

  // Equal widths: a plain copy of the source's size; the destination's right and bottom unused.
  Make(3, 4, 1, {1, 2, 3, 4});
  Make(4, 6, 2, std::vector<std::uint32_t>(12, 0));
  BitmapCopyRect(3, 1, 0, 3, 1, 4, 3, 1, 5, 99);
  EXPECT_EQ(Pixels(4), (std::vector<std::uint32_t>{0, 0, 0, 0, 0, 0, 0, 0, 0, 2, 3, 0}));
  // Other widths: nearest pixel by truncation, 2 wide onto 5 wide takes 0 0 0 1 1.
  BitmapCopyRect(3, 0, 0, 2, 1, 4, 0, 0, 5, 2);
  EXPECT_EQ(Pixels(4), (std::vector<std::uint32_t>{1, 1, 1, 2, 2, 0, 1, 1, 1, 2, 2, 0}));
  // Within one bitmap the source is read as it was before the copy.
  BitmapCopyRect(3, 0, 0, 3, 1, 3, 1, 0, 4, 1);
  EXPECT_EQ(Pixels(3), (std::vector<std::uint32_t>{1, 1, 2, 3}));
  BitmapCopyRect(3, 0, 0, 2, 1, 3, 0, 0, 4, 1);
  EXPECT_EQ(Pixels(3), (std::vector<std::uint32_t>{1, 1, 1, 1}));
  // Rectangles reaching outside their bitmaps copy nothing (never past the surface).
  BitmapCopyRect(3, 0, 0, 2, 1, 4, 3, 0, 9, 2);
  BitmapCopyRect(3, -1, 0, 2, 1, 4, 0, 0, 3, 1);
  // Destinations at the ends of the 32-bit range, whose sums and differences overflow it.
  constexpr std::int32_t kMin = std::numeric_limits<std::int32_t>::min();
  constexpr std::int32_t kMax = std::numeric_limits<std::int32_t>::max();
  BitmapCopyRect(3, 0, 0, 2, 1, 4, 0, kMax, 2, kMax);
  BitmapCopyRect(3, 0, 0, 2, 1, 4, kMax, 0, kMax, 1);
  BitmapCopyRect(3, 0, 0, 2, 1, 4, kMin, kMin, kMax, kMax);
  BitmapCopyRect(3, 0, 0, 2, 1, 4, kMax - 1, 0, kMin, 1);  // a width of 2 modulo 2^32
  EXPECT_EQ(Pixels(4), (std::vector<std::uint32_t>{1, 1, 1, 2, 2, 0, 1, 1, 1, 2, 2, 0}));
  EXPECT_EQ(Error(), 0);
}

TEST_F(BitmapTest, FlipAndMirrorTurnPixelsAndToggleTheirFlags) {
  const std::vector<std::uint32_t> start{1, 2, 3, 4, 5, 6};  // 3 x 2
  Make(1, 3, 2, start);
  BitmapFlip(1);
  EXPECT_EQ(Pixels(1), (std::vector<std::uint32_t>{4, 5, 6, 1, 2, 3}));
  EXPECT_TRUE(BitmapFlipped(1));
  BitmapFlip(1);
  EXPECT_EQ(Pixels(1), start);
  EXPECT_FALSE(BitmapFlipped(1));
  BitmapMirror(1);
  EXPECT_EQ(Pixels(1), (std::vector<std::uint32_t>{3, 2, 1, 6, 5, 4}));
  EXPECT_TRUE(BitmapMirrored(1));
  EXPECT_TRUE(BitmapMirrored());  // made by data: current
  BitmapMirror(1);
  EXPECT_EQ(Pixels(1), start);
  BitmapFlip(9);
  EXPECT_EQ(Error(), 1002);
}

TEST_F(BitmapTest, FadeScalesColourAndKeepsAlpha) {
  Make(1, 2, 1, {0xFF804020u, 0x7FFFFFFFu});
  BitmapFade(1, 101);
  BitmapFade(1, -1);
  EXPECT_EQ(Pixels(1), (std::vector<std::uint32_t>{0xFF804020u, 0x7FFFFFFFu}));
  BitmapFade(1, 50);
  EXPECT_EQ(Pixels(1), (std::vector<std::uint32_t>{0xFF402010u, 0x7F7F7F7Fu}));
  BitmapFade(1, 0);
  EXPECT_EQ(Pixels(1), (std::vector<std::uint32_t>{0xFF000000u, 0x7F000000u}));
}

TEST_F(BitmapTest, BlurAveragesItsClippedWindow) {
  // 5 x 5, all alpha 0xFF, one pixel with blue 90 at (2, 2) and alpha 0 at (0, 4).
  std::vector<std::uint32_t> start(25, 0xFF000000u);
  start[2 * 5 + 2] = 0xFF00005Au;
  start[4 * 5 + 0] = 0x00000000u;
  Make(1, 5, 5, start);
  BitmapBlur(1, 10);
  BitmapBlur(1, 1);
  EXPECT_EQ(Pixels(1), start);

  // Value 3: the window is -1..1. (2, 2) sees 90 among 9 pixels: 10. (1, 1) and (3, 3) too.
  // (4, 4) is clipped to 2 x 2 without the bright pixel: 0. (0, 3) is clipped to 2 x 3 and
  // holds the transparent pixel: alpha 0xFF * 5 / 6 = 0xD4.
  BitmapBlur(1, 3);
  std::vector<std::uint32_t> three = Pixels(1);
  EXPECT_EQ(three[2 * 5 + 2], 0xFF00000Au);
  EXPECT_EQ(three[1 * 5 + 1], 0xFF00000Au);
  EXPECT_EQ(three[3 * 5 + 3], 0xFF00000Au);
  EXPECT_EQ(three[4 * 5 + 4], 0xFF000000u);
  EXPECT_EQ(three[3 * 5 + 0], 0xD4000000u);

  // Value 4: the window is -2..1. (2, 2) sees 90 among 4 x 4 (0..3): 90 / 16 = 5. (4, 4) is
  // clipped to 2..4 x 2..4: 90 / 9 = 10. (3, 1): columns 1..4, rows 0..2: 90 / 12 = 7.
  // (0, 0) is clipped to 0..1 and does not reach (2, 2): 0.
  Make(1, 5, 5, start);
  BitmapBlur(1, 4);
  std::vector<std::uint32_t> four = Pixels(1);
  EXPECT_EQ(four[2 * 5 + 2] & 0xFF, 5u);
  EXPECT_EQ(four[4 * 5 + 4] & 0xFF, 10u);
  EXPECT_EQ(four[1 * 5 + 3] & 0xFF, 7u);
  EXPECT_EQ(four[0] & 0xFF, 0u);
}

TEST_F(BitmapTest, PicturesLoadIntoBitmapsAndOntoTheScreen) {
  const std::string path =
      (std::filesystem::temp_directory_path() / ("bitmap_" + std::to_string(getpid()) + ".png"))
          .string();
  SDL_Surface* s = SDL_CreateRGBSurfaceWithFormat(0, 3, 2, 32, SDL_PIXELFORMAT_ARGB8888);
  ASSERT_NE(s, nullptr);
  const std::uint32_t colours[6] = {kRed, kGreen, kBlue, 0xFF101010u, 0xFF202020u, 0xFF303030u};
  for (int y = 0; y < 2; ++y) {
    std::memcpy(static_cast<std::uint8_t*>(s->pixels) + y * s->pitch, colours + y * 3, 12);
  }
  ASSERT_EQ(IMG_SavePNG(s, path.c_str()), 0);
  SDL_FreeSurface(s);

  BitmapLoad(path.c_str(), 2);
  ASSERT_EQ(Error(), 0);
  EXPECT_EQ(BitmapCurrent(), 2);
  EXPECT_EQ(BitmapWidth(2), 3);
  EXPECT_EQ(BitmapHeight(2), 2);
  EXPECT_EQ(Pixels(2), std::vector<std::uint32_t>(colours, colours + 6));

  // Into a bitmap that exists: only its top-left part that fits.
  Make(3, 2, 1, {0, 0});
  BitmapLoad(path.c_str(), 3);
  EXPECT_EQ(Pixels(3), (std::vector<std::uint32_t>{kRed, kGreen}));

  BitmapLoad(path.c_str());
  EXPECT_EQ(BitmapCurrent(), 0);
  EXPECT_EQ(Screen(2, 0), kBlue);
  EXPECT_EQ(Screen(0, 1), 0xFF101010u);

  BitmapLoad("no such picture.png", 4);
  EXPECT_EQ(Error(), 1003);
  EXPECT_FALSE(BitmapExists(4));
  BitmapLoad(path.c_str(), 0);
  EXPECT_EQ(Error(), 1001);
  std::filesystem::remove(path);
}

TEST_F(BitmapTest, BitmapsGoToBlocksAndBackUnchanged) {
  std::vector<std::uint32_t> pixels(7 * 3);
  for (std::size_t i = 0; i < pixels.size(); ++i) pixels[i] = 0x80000000u | (i * 0x030507u);
  Make(5, 7, 3, pixels);
  MemblockFromBitmap(1, 5);
  ASSERT_EQ(Error(), 0);
  EXPECT_EQ(MemblockReadDword(1, 0), 7);
  EXPECT_EQ(MemblockReadDword(1, 4), 3);
  EXPECT_EQ(MemblockReadDword(1, 8), 32);
  BitmapFromMemblock(6, 1);
  EXPECT_EQ(Pixels(6), pixels);
  EXPECT_EQ(BitmapCurrent(), 6);

  MemblockFromBitmap(2, 0);  // the screen
  EXPECT_EQ(MemblockSize(2), 12 + 640 * 480 * 4);
  MemblockFromBitmap(2, 9);
  EXPECT_EQ(Error(), 1002);
  MemblockFromBitmap(2, 22000000);
  EXPECT_EQ(Error(), 1001);
  // Rows into bitmap 0 go to the back buffer.
  Make(0, 2, 1, {kRed, kGreen});
  EXPECT_EQ(Screen(1, 0), kGreen);
}

// Blocks of another depth than the display's are converted pixel by pixel, never copied raw.
TEST_F(BitmapTest, BlocksOfOtherDepthsAreConvertedToTheDisplays) {
  struct Case {
    std::int32_t depth;
    std::vector<std::uint8_t> bytes;  // two pixels
    std::vector<std::uint32_t> shown;
  };
  const Case cases[] = {
      {16, {0x00, 0xF8, 0xE0, 0x07}, {0xFFFF0000u, 0xFF00FF00u}},  // red, green (5-6-5)
      {24, {0x30, 0x20, 0x10, 0xFF, 0x00, 0x00}, {0xFF102030u, 0xFF0000FFu}},
      {8, {0x00, 0x80}, {0xFF000000u, 0xFF808080u}},  // grey levels
  };
  for (const Case& c : cases) {
    MemblockMake(1, 12 + static_cast<std::int32_t>(c.bytes.size()));
    const std::int32_t header[3] = {2, 1, c.depth};
    std::memcpy(MemblockAddress(1), header, 12);
    std::memcpy(MemblockAddress(1) + 12, c.bytes.data(), c.bytes.size());
    BitmapFromMemblock(3, 1);
    MemblockDelete(1);
    EXPECT_EQ(Error(), 0) << c.depth;
    EXPECT_EQ(BitmapDepth(3), 32) << c.depth;
    EXPECT_EQ(Pixels(3), c.shown) << c.depth;
  }
  // Depths that are not whole bytes per pixel are no picture at all.
  MemblockMake(1, 12 + 4);
  const std::int32_t header[3] = {2, 1, 12};
  std::memcpy(MemblockAddress(1), header, 12);
  BitmapFromMemblock(4, 1);
  EXPECT_EQ(Error(), 1002);
  EXPECT_FALSE(BitmapExists(4));
}

TEST_F(BitmapTest, ADeviceRefreshFreesEveryBitmapAndKeepsTheScreen) {
  BitmapCreate(1, 16, 16);
  BitmapCreate(2, 16, 16);
  ASSERT_EQ(BitmapCurrent(), 2);
  tessark::testing::RunFrames(1);
  IDirect3DDevice9* device = Modules().display.DisplayDevice();
  d3d9::testing::LoseDevice(device, true);
  tessark::testing::RunFrames(1);
  EXPECT_NE(Modules().display.DisplayDevice()->TestCooperativeLevel(), D3DERR_DEVICELOST);
  EXPECT_FALSE(BitmapExists(1));
  EXPECT_FALSE(BitmapExists(2));
  EXPECT_TRUE(BitmapExists(0));
  EXPECT_EQ(BitmapCurrent(), 0);
  EXPECT_EQ(CoreDataGet()->render_surface, CoreDataGet()->back_buffer_surface);
  BitmapCreate(1, 8, 8);
  ScreenClear(kRed);
  EXPECT_EQ(Pixels(1)[63], kRed);
  EXPECT_EQ(Error(), 0);
}

}  // namespace

namespace {

TEST_F(BitmapTest, SixteenBitBitmapsFadeAndBlurByTheirOwnChannels) {
  // A desktop of 16 bits per pixel, so that the windowed back buffer has them too.
  const D3DDISPLAYMODE mode{640, 480, 60, D3DFMT_R5G6B5};
  d3d9::testing::SetAdapterModes({mode}, D3DDISPLAYMODE{1024, 768, 60, D3DFMT_R5G6B5});
  display::FindHardWareInfo();
  const D3DDISPLAYMODE desktop = display::State().desktop;
  display::State().desktop.Format = D3DFMT_R5G6B5;
  DisplaySetMode(640, 480, 16);
  display::State().desktop = desktop;
  d3d9::testing::RestoreAdapterModes();
  ASSERT_EQ(Error(), 0);
  ASSERT_EQ(BitmapDepth(0), 16);
  // Red 5 bits at 11, green 6 at 5, blue 5 at 0: 31, 63, 31 fade to 15, 31, 15 at 50 %.
  MemblockMake(1, 12 + 4);
  MemblockWriteDword(1, 0, 2);
  MemblockWriteDword(1, 4, 1);
  MemblockWriteDword(1, 8, 16);
  MemblockWriteWord(1, 12, 0xFFFF);
  MemblockWriteWord(1, 14, 0x0000);
  BitmapFromMemblock(1, 1);
  ASSERT_EQ(Error(), 0);
  EXPECT_EQ(BitmapDepth(1), 16);
  BitmapFade(1, 50);
  MemblockFromBitmap(2, 1);
  EXPECT_EQ(MemblockReadWord(2, 12), (15 << 11) | (31 << 5) | 15);
  // Blur 2 (window -1..0): the second pixel averages both, the first is clipped to itself.
  BitmapBlur(1, 2);
  MemblockFromBitmap(2, 1);
  EXPECT_EQ(MemblockReadWord(2, 12), (15 << 11) | (31 << 5) | 15);
  EXPECT_EQ(MemblockReadWord(2, 14), (7 << 11) | (15 << 5) | 7);
  // 32-bit rows on this display are packed down to its 5-6-5 pixels.
  Make(3, 2, 1, {0xFFFF0000u, 0xFF0000FFu});
  EXPECT_EQ(BitmapDepth(3), 16);
  MemblockFromBitmap(2, 3);
  EXPECT_EQ(MemblockReadWord(2, 12), 0xF800);
  EXPECT_EQ(MemblockReadWord(2, 14), 0x001F);
}

}  // namespace
