// The sprite module: placement and rotation checked in the back buffer, alpha, the sprite
// pass and its priority order, background handling, error codes and frame sheets.
#include <atomic>
#include <cstdlib>
#include <new>

#include "tests/runtime/image/image_fixture.h"
#include "tests/support/test_clock.h"

// Every allocation of this program is counted, so a test can show that pastes make none. (GCC
// sees the replacement's malloc and free inlined into new and delete expressions and takes
// them for a mismatch.)
#if defined(__GNUC__) && !defined(__clang__)
#pragma GCC diagnostic ignored "-Wmismatched-new-delete"
#endif
namespace {
std::atomic<long> g_allocations{0};
}  // namespace

void* operator new(std::size_t size) {
  ++g_allocations;
  if (void* p = std::malloc(size ? size : 1)) return p;
  throw std::bad_alloc();
}
void* operator new[](std::size_t size) {
  return operator new(size);
}
void* operator new(std::size_t size, const std::nothrow_t&) noexcept {
  ++g_allocations;
  return std::malloc(size ? size : 1);
}
void* operator new[](std::size_t size, const std::nothrow_t& tag) noexcept {
  return operator new(size, tag);
}
void operator delete(void* p) noexcept {
  std::free(p);
}
void operator delete(void* p, std::size_t) noexcept {
  std::free(p);
}
void operator delete[](void* p) noexcept {
  std::free(p);
}
void operator delete[](void* p, std::size_t) noexcept {
  std::free(p);
}
void operator delete(void* p, const std::nothrow_t&) noexcept {
  std::free(p);
}
void operator delete[](void* p, const std::nothrow_t&) noexcept {
  std::free(p);
}

namespace image_test {
namespace {

using Sprites = ImageModules;

constexpr std::uint32_t kRed = 0xFFFF0000u, kGreen = 0xFF00FF00u, kBlue = 0xFF0000FFu,
                        kWhite = 0xFFFFFFFFu;

// A 32 by 32 token whose quarters are red, green (top right), blue (bottom left) and white.
void WriteToken(const char* path) {
  WritePicture(path, 32, 32, [](int x, int y) {
    return y < 16 ? (x < 16 ? kRed : kGreen) : (x < 16 ? kBlue : kWhite);
  });
}

void SpritePass() {
  tessark::Modules().sprite_pass.SpritePass();
}

TEST_F(Sprites, OffsetSpritePasteCoversItsSquare) {
  WriteToken("pictures/token.png");
  ImageLoad("pictures/token.png", 34, 1);
  SpriteSet(1, 100, 50, 34);
  SpriteSetOffset(1, 16, 16);
  SpritePaste(1, 100, 50);
  SpriteDelete(1);
  EXPECT_EQ(error_word_, 0);
  // 84..115 by 34..65, centre at 100, 50.
  EXPECT_EQ(Pixel(84, 34), 0xFF0000u);
  EXPECT_EQ(Pixel(115, 34), 0x00FF00u);
  EXPECT_EQ(Pixel(84, 65), 0x0000FFu);
  EXPECT_EQ(Pixel(115, 65), 0xFFFFFFu);
  EXPECT_EQ(Pixel(99, 49), 0xFF0000u);
  EXPECT_EQ(Pixel(100, 50), 0xFFFFFFu);
  for (auto [x, y] : {std::pair{83, 50}, {116, 50}, {100, 33}, {100, 66}}) {
    EXPECT_EQ(Pixel(x, y), 0u) << x << "," << y;
  }
  // The pasted picture stays; nothing is left for the sprite pass.
  SpritePass();
  EXPECT_EQ(Pixel(84, 34), 0xFF0000u);
}

TEST_F(Sprites, RotationTurnsClockwiseAboutTheHotSpot) {
  WriteToken("pictures/token.png");
  ImageLoad("pictures/token.png", 34, 1);
  SpriteSet(1, 100, 50, 34);
  SpriteSetOffset(1, 16, 16);
  SpriteRotate(1, 90.0f);
  SpritePaste(1, 100, 50);
  // A quarter turn clockwise: red (top left) is now top right, green bottom right, blue top
  // left, white bottom left.
  EXPECT_EQ(Pixel(108, 42), 0xFF0000u);
  EXPECT_EQ(Pixel(108, 58), 0x00FF00u);
  EXPECT_EQ(Pixel(92, 42), 0x0000FFu);
  EXPECT_EQ(Pixel(92, 58), 0xFFFFFFu);
  EXPECT_EQ(Pixel(80, 50), 0u);
  EXPECT_EQ(Pixel(120, 50), 0u);
  EXPECT_FLOAT_EQ(SpriteAngle(1), 90.0f);
  // A paste does not move the sprite.
  EXPECT_FLOAT_EQ(SpriteX(1), 100.0f);
}

TEST_F(Sprites, AlphaAndTheTransparentFlag) {
  WritePicture("pictures/white.png", 8, 8, [](int, int) { return kWhite; });
  ImageLoad("pictures/white.png", 2, 1);
  Clear(kBlue);
  SpriteSet(1, 10, 10, 2);
  SpriteSetAlpha(1, 256);
  EXPECT_EQ(error_word_, 314);
  EXPECT_EQ(SpriteAlpha(1), 255);
  SpriteSetAlpha(1, 0);
  SpritePaste(1, 10, 10);
  EXPECT_EQ(Pixel(12, 12), 0x0000FFu);  // invisible while blended
  SpriteSetDrawMode(1, 0, 0);
  SpritePaste(1, 10, 10);
  EXPECT_EQ(Pixel(12, 12), 0xFFFFFFu);  // opaque: alpha changes nothing visible
  SpriteSetDrawMode(1, 0, 1);
  Clear(kBlue);
  SpriteSetAlpha(1, 128);
  SpritePaste(1, 10, 10);
  EXPECT_NEAR(static_cast<int>(Pixel(12, 12) >> 16), 128, 2);
  EXPECT_EQ(Pixel(12, 12) & 0xFF, 0xFFu);

  // A hidden sprite pastes, and stays hidden.
  Clear(0xFF000000u);
  SpriteSetAlpha(1, 255);
  SpriteHide(1);
  SpritePaste(1, 30, 30);
  EXPECT_EQ(Pixel(31, 31), 0xFFFFFFu);
  EXPECT_FALSE(SpriteVisible(1));
  Clear(0xFF000000u);
  SpritePass();
  EXPECT_EQ(Pixel(11, 11), 0u);
}

TEST_F(Sprites, ErrorCodesChangeNothing) {
  WritePicture("pictures/white.png", 8, 8, [](int, int) { return kWhite; });
  ImageLoad("pictures/white.png", 2, 1);
  SpriteSet(0, 10, 10, 2);
  EXPECT_EQ(error_word_, 301);
  SpriteSet(1, 10, 10, 0);
  EXPECT_EQ(error_word_, 501);
  EXPECT_FALSE(SpriteExists(1));
  SpriteSet(1, 10, 10, 3);  // an image without a texture: nothing is created
  EXPECT_EQ(error_word_, 501);
  EXPECT_FALSE(SpriteExists(1));
  SpriteDelete(1);
  EXPECT_EQ(error_word_, 302);
  SpriteSet(1, 10, 10, 2);
  error_word_ = 0;
  SpriteSetColour(1, 256, 0, 0);
  EXPECT_EQ(error_word_, 315);
  EXPECT_EQ(SpriteRed(1), 255);
  SpriteScale(1, -1.0f);
  EXPECT_EQ(error_word_, 311);
  SpriteSize(1, -1, 5);
  EXPECT_EQ(error_word_, 312);
  SpriteSetVertexUV(1, 4, 0, 0);
  EXPECT_EQ(error_word_, 317);
  SpriteSetDrawMode(1, 3, 0);
  EXPECT_EQ(error_word_, 303);
  SpriteSetDrawMode(1, 0, 2);
  EXPECT_EQ(error_word_, 304);
  SpriteClone(1, 1);
  EXPECT_EQ(error_word_, 321);
  SpriteClone(1, 22000001);
  EXPECT_EQ(error_word_, 301);
  SpritePlay(1, 1, 2, -1);
  EXPECT_EQ(error_word_, 316);
  SpriteCollision(1, 9);
  EXPECT_EQ(error_word_, 302);
  SpriteCreateAnimated(1, "pictures/white.png", 2, 2, 5);
  EXPECT_EQ(error_word_, 321);
  SpriteCreateAnimated(2, "pictures/white.png", 0, 2, 5);
  EXPECT_EQ(error_word_, 318);
  SpriteCreateAnimated(2, "pictures/missing.png", 2, 2, 5);
  EXPECT_EQ(error_word_, 300);
  EXPECT_FALSE(SpriteExists(2));
}

TEST_F(Sprites, ThePassDrawsByPriorityThenAge) {
  WritePicture("pictures/red.png", 8, 8, [](int, int) { return kRed; });
  WritePicture("pictures/green.png", 8, 8, [](int, int) { return kGreen; });
  WritePicture("pictures/blue.png", 8, 8, [](int, int) { return kBlue; });
  ImageLoad("pictures/red.png", 1, 1);
  ImageLoad("pictures/green.png", 2, 1);
  ImageLoad("pictures/blue.png", 3, 1);
  SpriteSet(1, 0, 0, 1);
  SpriteSet(2, 0, 0, 2);
  SpritePass();
  EXPECT_EQ(Pixel(1, 1), 0x00FF00u);  // equal priority: the younger on top
  SpritePriority(1, 1);
  SpritePass();
  EXPECT_EQ(Pixel(1, 1), 0xFF0000u);
  SpritePriority(1, 0);
  SpriteDelete(2);
  SpriteSet(2, 0, 0, 2);
  SpriteSet(3, 0, 0, 3);
  SpriteDelete(3);
  SpriteSet(3, 0, 0, 3);  // recreated: goes to the end again
  SpritePass();
  EXPECT_EQ(Pixel(1, 1), 0x0000FFu);
  SpritePriority(3, -1);  // never drawn by the pass
  Clear(0xFF000000u);
  SpritePass();
  EXPECT_EQ(Pixel(1, 1), 0x00FF00u);
  SpriteHideAll();
  Clear(0xFF000000u);
  SpritePass();
  EXPECT_EQ(Pixel(1, 1), 0u);

  // Reloading an image changes the sprites that show it.
  SpriteShowAll();
  ImageLoad("pictures/red.png", 2, 1);
  SpritePass();
  EXPECT_EQ(Pixel(1, 1), 0xFF0000u);
}

TEST_F(Sprites, BackgroundModesAroundThePass) {
  WritePicture("pictures/white.png", 8, 8, [](int, int) { return kWhite; });
  ImageLoad("pictures/white.png", 2, 1);
  tessark::SpritePassEntries& pass = tessark::Modules().sprite_pass;
  // The first sprite switches to clearing: the next frame starts in the backdrop colour.
  SpriteSet(1, 50, 50, 2);
  Clear(kRed);
  pass.SpriteBackgroundRestore();
  EXPECT_EQ(Pixel(0, 0), 0x000080u);

  // Mode 1: what the program drew is saved before the pass and put back after it.
  SpriteSetDrawMode(1, 1, 1);
  Clear(kGreen);
  pass.SpriteBackgroundSave();
  pass.SpritePass();
  EXPECT_EQ(Pixel(51, 51), 0xFFFFFFu);
  pass.SpriteBackgroundRestore();
  EXPECT_EQ(Pixel(51, 51), 0x00FF00u);

  // Deleting the last sprite ends the background handling.
  SpriteDelete(1);
  Clear(kRed);
  pass.SpriteBackgroundRestore();
  EXPECT_EQ(Pixel(0, 0), 0xFF0000u);
}

TEST_F(Sprites, ScaleMirrorCollisionAndClone) {
  WriteToken("pictures/token.png");
  ImageLoad("pictures/token.png", 34, 1);
  SpriteSet(1, 0, 0, 34);
  SpriteScale(1, 50.0f);
  EXPECT_EQ(SpriteWidth(1), 16);
  SpritePaste(1, 0, 0);
  EXPECT_EQ(Pixel(0, 0), 0xFF0000u);
  EXPECT_EQ(Pixel(15, 15), 0xFFFFFFu);
  EXPECT_EQ(Pixel(16, 16), 0u);
  SpriteScale(1, 100.0f);
  SpriteMirror(1);
  SpriteFlip(1);
  Clear(0xFF000000u);
  SpritePaste(1, 0, 0);
  EXPECT_EQ(Pixel(0, 0), 0xFFFFFFu);  // mirrored and flipped: the corners swap
  EXPECT_EQ(Pixel(31, 0), 0x0000FFu);

  SpriteSize(1, 64, 8);
  EXPECT_EQ(SpriteWidth(1), 64);
  EXPECT_EQ(SpriteHeight(1), 8);

  SpriteSet(2, 60, 0, 34);
  EXPECT_EQ(SpriteCollision(1, 0), 2);
  EXPECT_EQ(SpriteCollision(1, 2), 1);
  SpriteSet(2, 200, 200, 34);
  EXPECT_EQ(SpriteCollision(1, 0), 0);
  SpriteSet(2, 10, 0, 34);
  EXPECT_EQ(SpriteHit(1, 2), 1);
  EXPECT_EQ(SpriteHit(1, 2), 0);  // still touching: no new hit
  SpriteSet(2, 200, 200, 34);
  EXPECT_EQ(SpriteHit(1, 2), 0);
  SpriteSet(2, 10, 0, 34);
  EXPECT_EQ(SpriteHit(1, 2), 1);

  SpriteClone(1, 5);
  EXPECT_TRUE(SpriteExists(5));
  EXPECT_EQ(SpriteWidth(5), 64);
  SpriteRotate(5, 90.0f);
  SpriteMove(5, 10.0f);  // facing right: moves right
  EXPECT_NEAR(SpriteX(5), 10.0f, 1e-3);
  EXPECT_NEAR(SpriteY(5), 0.0f, 1e-3);
}

TEST_F(Sprites, FrameSheetsShowOneCell) {
  // 2 by 2 cells of 8 by 8: red, green / blue, white.
  WritePicture("pictures/sheet.png", 16, 16, [](int x, int y) {
    return y < 8 ? (x < 8 ? kRed : kGreen) : (x < 8 ? kBlue : kWhite);
  });
  SpriteCreateAnimated(3, "pictures/sheet.png", 2, 2, 40);
  ASSERT_EQ(error_word_, 0);
  EXPECT_TRUE(ImageExists(40));
  EXPECT_EQ(SpriteWidth(3), 8);
  EXPECT_EQ(SpriteFrame(3), 1);
  SpritePaste(3, 0, 0);
  EXPECT_EQ(Pixel(0, 0), 0xFF0000u);
  EXPECT_EQ(Pixel(7, 7), 0xFF0000u);
  EXPECT_EQ(Pixel(8, 8), 0u);
  SpriteSetFrame(3, 4);
  SpritePaste(3, 20, 0);
  EXPECT_EQ(Pixel(20, 0), 0xFFFFFFu);
  SpriteSetFrame(3, 5);
  EXPECT_EQ(error_word_, 501);

  // Playing steps one frame each time the delay has passed, wrapping to the first.
  error_word_ = 0;
  {
    tessark::testing::TestClock clock;
    SpritePlay(3, 2, 3, 0);  // outside 2..3: starts at 2
    EXPECT_EQ(SpriteFrame(3), 2);
    SpritePlay(3, 2, 3, 0);
    EXPECT_EQ(SpriteFrame(3), 2) << "no time has passed";
    clock.Advance(1000);
    SpritePlay(3, 2, 3, 0);
    EXPECT_EQ(SpriteFrame(3), 3);
    clock.Advance(1000);
    SpritePlay(3, 2, 3, 0);
    EXPECT_EQ(SpriteFrame(3), 2);
    clock.Advance(99000);
    SpritePlay(3, 2, 3, 100000);
    EXPECT_EQ(SpriteFrame(3), 2) << "the delay has not passed";
  }
  // A sheet stays a cell wide after other images load.
  ImageLoad("pictures/sheet.png", 41, 1);
  EXPECT_EQ(SpriteWidth(3), 8);
}

TEST_F(Sprites, PastesAllocateNothing) {
  WriteToken("pictures/token.png");
  ImageLoad("pictures/token.png", 34, 1);
  SpriteSet(1, 100, 50, 34);
  ImagePaste(34, 0, 0, 1);  // first draws may size the device's own buffers
  SpritePaste(1, 100, 50);
  const long before = g_allocations.load();
  for (int i = 0; i < 50; ++i) {
    ImagePaste(34, i, i, 1);
    SpriteSetOffset(1, 16, 16);
    SpriteRotate(1, static_cast<float>(i * 7));
    SpriteSetAlpha(1, 128);
    SpritePaste(1, 100 + i, 50);
  }
  EXPECT_EQ(g_allocations.load(), before);
}

// A sprite stamped every frame (set, pasted, deleted) reuses its record and list node: after
// the first cycle nothing is allocated, and the stamp still draws and leaves no sprite behind.
TEST_F(Sprites, StampCycleAllocatesNothingAfterTheFirst) {
  WriteToken("pictures/token.png");
  ImageLoad("pictures/token.png", 34, 1);
  SpriteSet(2, 0, 0, 34);  // a sprite that stays, so the stamp is not the list's only entry
  SpriteSet(1, 10, 10, 34);
  SpritePaste(1, 10, 10);
  SpriteDelete(1);
  const long before = g_allocations.load();
  for (int i = 0; i < 50; ++i) {
    SpriteSet(1, 10 + i, 10, 34);
    SpriteSetAlpha(1, 200);
    SpritePaste(1, 10 + i, 10);
    SpriteDelete(1);
  }
  EXPECT_EQ(g_allocations.load(), before);
  EXPECT_FALSE(SpriteExists(1));
  EXPECT_TRUE(SpriteExists(2));
  // A reused record starts afresh: nothing of the stamp's alpha is carried over.
  SpriteSet(1, 0, 0, 34);
  EXPECT_EQ(SpriteAlpha(1), 255);
}

TEST_F(Sprites, TexturePasteStretchesAndTurnsUpsideDown) {
  WriteToken("pictures/token.png");
  ImageLoad("pictures/token.png", 34, 1);
  IDirect3DBaseTexture9* texture = tessark::Modules().image_services.ImageTexture(34);
  tessark::Modules().sprite_services.TexturePaste(texture, 1.0f, 1.0f, 0, 0, 64, 64);
  EXPECT_EQ(Pixel(0, 0), 0xFF0000u);
  EXPECT_EQ(Pixel(63, 63), 0xFFFFFFu);
  EXPECT_EQ(Pixel(64, 64), 0u);
  tessark::Modules().sprite_services.TexturePaste(texture, 1.0f, -1.0f, 100, 0, 164, 64);
  EXPECT_EQ(Pixel(100, 0), 0x0000FFu);  // upside down: the bottom row on top
}

}  // namespace
}  // namespace image_test
