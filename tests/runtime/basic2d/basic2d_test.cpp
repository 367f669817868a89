// The basic 2D module on the headless runtime: colours and ink, the screen clear, dots with
// their bounds, 16-bit pixel packing and widening, the circle's exact pixels, lines, boxes,
// gradient boxes, ellipses and overlapping area copies.
#include <cmath>
#include <set>
#include <utility>

#include "platform/d3d9/d3d9.h"
#include "runtime/core/core_data.h"
#include "runtime/core/module_table.h"
#include "tessark/basic2d.h"
#include "tessark/display.h"
#include "tests/support/runtime_fixture.h"

using namespace tessark;

namespace {

using tessark::CoreDataGet;

class Basic2dTest : public tessark::testing::RuntimeFixture {
 protected:
  IDirect3DDevice9* Device() { return tessark::Modules().display.DisplayDevice(); }
  // The pixels of a 200 by 200 window around the origin that are not black.
  std::set<std::pair<int, int>> Lit(int ox, int oy, int radius) {
    std::set<std::pair<int, int>> lit;
    SurfaceLock();
    for (int y = oy - radius; y <= oy + radius; ++y) {
      for (int x = ox - radius; x <= ox + radius; ++x) {
        if ((DotRead(x, y) & 0xFFFFFF) != 0) lit.insert({x - ox, y - oy});
      }
    }
    SurfaceUnlock();
    return lit;
  }
  // Points at a 16-bit render target (as a current bitmap would).
  Ref<IDirect3DSurface9> SixteenBitTarget() {
    Ref<IDirect3DSurface9> rt;
    EXPECT_EQ(Device()->CreateRenderTarget(64, 64, D3DFMT_R5G6B5, D3DMULTISAMPLE_NONE, 0, TRUE,
                                           rt.Put(), nullptr),
              D3D_OK);
    CoreDataGet()->render_surface = rt.Get();
    CoreDataGet()->draw_target = 1;
    EXPECT_EQ(SurfaceDepthRead(), 2);
    return rt;
  }
  void BackToScreen() {
    CoreDataGet()->render_surface = CoreDataGet()->back_buffer_surface;
    CoreDataGet()->draw_target = 0;
    SurfaceDepthRead();
  }
};

TEST(Basic2dColours, PackAndUnpack) {
  EXPECT_EQ(ColourRgb(255, 255, 255), 0xFFFFFFFFu);
  EXPECT_EQ(ColourRgb(0, 128, 0), 0xFF008000u);
  EXPECT_EQ(ColourRgb(0, 0, 0), 0xFF000000u);
  EXPECT_EQ(ColourRgb(300, 0, 0), 0xFF2C0000u);  // red's high bits vanish under the alpha
  EXPECT_EQ(ColourRgb(1, 300, -1), 0xFF012CFFu);
  EXPECT_EQ(ColourRed(0x12345678), 0x34);
  EXPECT_EQ(ColourGreen(0x12345678), 0x56);
  EXPECT_EQ(ColourBlue(0x12345678), 0x78);
}

TEST_F(Basic2dTest, ClearResetsTheCursorAndKeepsTheInk) {
  ASSERT_EQ(open_result_, 0);
  InkSet(0xFF00FF00, 0xFF0000FF);
  CoreDataGet()->print_x = 30;
  CoreDataGet()->print_y = 40;
  DotDrawColour(5, 5, 0xFFFFFFFF);
  ScreenClear(0);
  EXPECT_EQ(CoreDataGet()->print_x, 0);
  EXPECT_EQ(CoreDataGet()->print_y, 0);
  EXPECT_EQ(CoreDataGet()->ink, 0xFF00FF00u);
  EXPECT_EQ(CoreDataGet()->background_ink, 0xFF0000FFu);
  EXPECT_EQ(DotRead(5, 5), 0u);
  EXPECT_EQ(DotRead(639, 479), 0u);
}

TEST_F(Basic2dTest, DotsOutsideTheDisplayDrawNothing) {
  ScreenClear(0);
  InkSet(0xFFFF0000, 0);
  DotDraw(-1, 5);
  DotDraw(640, 5);
  DotDraw(5, 480);
  DotDraw(639, 5);
  EXPECT_EQ(DotRead(639, 5), 0xFFFF0000u);
  EXPECT_EQ(DotRead(640, 5), 0u);
  EXPECT_EQ(DotRead(-1, 5), 0u);
  EXPECT_EQ(Lit(320, 240, 330).size(), 1u);
}

TEST_F(Basic2dTest, SixteenBitDotsPackAndWiden) {
  auto rt = SixteenBitTarget();
  DotDrawColour(1, 1, 0xFF808080);
  SurfaceLock();
  auto* row = static_cast<BYTE*>(SurfacePixels()) + SurfacePitch();
  EXPECT_EQ(reinterpret_cast<std::uint16_t*>(row)[1], 0x8410);
  SurfaceUnlock();
  EXPECT_EQ(DotRead(1, 1), 0xFF848384u);
  DotDrawColour(2, 1, 0xFFFFFFFF);
  EXPECT_EQ(DotRead(2, 1), 0xFFFFFFFFu);
  DotDrawColour(3, 1, 30 << 19);  // red 30 << 3: stores r5 = 30
  EXPECT_EQ(ColourRed(DotRead(3, 1)), 249);
  // Beyond the bitmap's own size nothing is written, though the display is larger.
  DotDrawColour(64, 1, 0xFFFFFFFF);
  EXPECT_EQ(DotRead(64, 1), 0u);
  BackToScreen();
}

TEST_F(Basic2dTest, CircleOfRadiusThreeHasTwentyPixels) {
  ScreenClear(0);
  InkSet(0xFFFFFFFF, 0);
  CircleDraw(100, 100, 3);
  std::set<std::pair<int, int>> want;
  for (auto [a, b] : {std::pair{0, 3}, {1, 3}, {2, 3}, {3, 2}}) {
    for (int sa : {-1, 1}) {
      for (int sb : {-1, 1}) {
        want.insert({sa * a, sb * b});
        want.insert({sb * b, sa * a});
      }
    }
  }
  EXPECT_EQ(want.size(), 20u);
  EXPECT_EQ(Lit(100, 100, 6), want);
  ScreenClear(0);
  CircleDraw(50, 50, 0);
  EXPECT_EQ(Lit(50, 50, 3), (std::set<std::pair<int, int>>{{0, 0}}));
}

TEST_F(Basic2dTest, EllipseIsSymmetricAndReachesItsSides) {
  ScreenClear(0);
  InkSet(0xFFFFFFFF, 0);
  EllipseDraw(200, 200, 20, 10);
  auto lit = Lit(200, 200, 25);
  EXPECT_TRUE(lit.count({20, 0}));
  EXPECT_TRUE(lit.count({-20, 0}));
  // The offsets truncate: the top leaves its start (0, 10) at once for (0, 9).
  EXPECT_TRUE(lit.count({0, 9}));
  EXPECT_FALSE(lit.count({0, 10}));
  for (auto [x, y] : lit) {
    EXPECT_TRUE(lit.count({-x, y}) && lit.count({x, -y})) << x << "," << y;
    EXPECT_LE(std::abs(x), 20);
    EXPECT_LE(std::abs(y), 10);
  }
}

// The outline walked step by step, every parameter step taken, as the drawing is defined: the
// drawn ellipse (which skips the steps that aim where the last one did) must light exactly
// these pixels.
std::set<std::pair<int, int>> EllipseWalk(int rx, int ry) {
  std::set<std::pair<int, int>> lit;
  int a = 0, b = ry;
  for (float t = 0.0f; t < 2.0f; t += 0.001f) {
    const auto ta = static_cast<int>(static_cast<float>(rx) * std::sin(t));
    const auto tb = static_cast<int>(static_cast<float>(ry) * std::cos(t));
    while (a != ta || b != tb) {
      if (a != ta) a += ta > a ? 1 : -1;
      if (b != tb) b += tb > b ? 1 : -1;
      lit.insert({{a, b}, {-a, b}, {a, -b}, {-a, -b}});
    }
  }
  return lit;
}

// Drawn again, the same radii come from the remembered aims; more radii than are remembered
// push the first ones out, and they are walked afresh.
TEST_F(Basic2dTest, EllipsePixelsFollowEveryParameterStep) {
  InkSet(0xFFFFFFFF, 0);
  const std::pair<int, int> radii[] = {{20, 10}, {1, 1},    {0, 7},    {9, 0},   {-13, 6},
                                       {5, -11}, {150, 60}, {37, 140}, {20, 11}, {3, 3}};
  for (int pass = 0; pass < 3; ++pass) {
    for (auto [rx, ry] : radii) {
      ScreenClear(0);
      EllipseDraw(300, 240, rx, ry);
      EXPECT_EQ(Lit(300, 240, 150), EllipseWalk(rx, ry)) << rx << "," << ry << " pass " << pass;
    }
  }
}

TEST_F(Basic2dTest, BoxIgnoresBlendingAndKeepsTheInksAlpha) {
  ScreenClear(0xFF000000);
  InkSet(0x00FF0000, 0);
  BoxDraw(10, 10, 20, 15);
  EXPECT_EQ(DotRead(10, 10), 0x00FF0000u);
  EXPECT_EQ(DotRead(19, 14), 0x00FF0000u);
  EXPECT_EQ(DotRead(20, 14), 0xFF000000u);
  EXPECT_EQ(DotRead(19, 15), 0xFF000000u);
}

TEST_F(Basic2dTest, LinesCoverBothEnds) {
  ScreenClear(0);
  InkSet(0xFF00FF00, 0);
  LineDraw(10, 10, 20, 10);
  auto lit = Lit(15, 10, 8);
  EXPECT_EQ(lit.size(), 11u);
  EXPECT_TRUE(lit.count({-5, 0}));
  EXPECT_TRUE(lit.count({5, 0}));
  ScreenClear(0);
  LineDraw(30, 30, 33, 40);  // steep: one pixel a row
  EXPECT_EQ(Lit(30, 35, 8).size(), 11u);
  EXPECT_EQ(DotRead(30, 30), 0xFF00FF00u);
  EXPECT_EQ(DotRead(33, 40), 0xFF00FF00u);
}

TEST_F(Basic2dTest, GradientBoxBlendsItsCornersOverWhatIsThere) {
  ScreenClear(0xFF000000);
  // Equal opaque corners: a flat box over exactly left..right-1, top..bottom-1.
  BoxGradientDraw(10, 10, 20, 20, 0xFFFF0000, 0xFFFF0000, 0xFFFF0000, 0xFFFF0000);
  EXPECT_EQ(DotRead(10, 10) & 0xFFFFFF, 0xFF0000u);
  EXPECT_EQ(DotRead(19, 19) & 0xFFFFFF, 0xFF0000u);
  EXPECT_EQ(DotRead(20, 19), 0xFF000000u);
  EXPECT_EQ(DotRead(9, 10), 0xFF000000u);
  // Half-transparent white over black gives mid grey.
  BoxGradientDraw(30, 10, 40, 20, 0x80FFFFFF, 0x80FFFFFF, 0x80FFFFFF, 0x80FFFFFF);
  EXPECT_EQ(DotRead(35, 15) & 0xFFFFFF, 0x808080u);
  // Left corners black, right corners white: brightness grows to the right.
  BoxGradientDraw(50, 10, 90, 20, 0xFF000000, 0xFF000000, 0xFFFFFFFF, 0xFFFFFFFF);
  EXPECT_LT(ColourRed(DotRead(52, 15)), ColourRed(DotRead(70, 15)));
  EXPECT_LT(ColourRed(DotRead(70, 15)), ColourRed(DotRead(88, 15)));
}

TEST_F(Basic2dTest, OverlappingAreaCopyScrollsUp) {
  ScreenClear(0);
  for (int y = 0; y < 12; ++y) {
    for (int x = 0; x < 4; ++x) DotDrawColour(x, y, 0xFF000000u | static_cast<std::uint32_t>(y));
  }
  AreaCopy(0, 0, 4, 10, 0, 2);  // up by two rows: source and destination overlap
  for (int y = 0; y < 10; ++y) EXPECT_EQ(DotRead(1, y), 0xFF000000u | (y + 2u)) << y;
  EXPECT_EQ(DotRead(1, 10), 0xFF00000Au);  // rows below the copied band stay
  EXPECT_EQ(DotRead(4, 0), 0u);            // and so do the columns beside it
  // Down and to the right, partly off the display: the visible part is copied.
  AreaCopy(637, 1, 10, 3, 0, 0);
  EXPECT_EQ(DotRead(637, 1), 0xFF000002u);
  EXPECT_EQ(DotRead(639, 3), 0xFF000004u);
}

TEST_F(Basic2dTest, ServicesAreBoundForOtherModules) {
  const tessark::Basic2dServices& s = tessark::Modules().basic2d_services;
  ASSERT_NE(s.BoxDraw, nullptr);
  ASSERT_NE(s.AreaCopy, nullptr);
  ASSERT_NE(s.DotDraw, nullptr);
  ScreenClear(0);
  s.DotDraw(3, 3, 0xFF123456);
  EXPECT_EQ(DotRead(3, 3), 0xFF123456u);
}

TEST_F(Basic2dTest, SurvivesADisplayReset) {
  DisplaySetMode(800, 600, 32);
  ASSERT_EQ(error_word_, 0);
  InkSet(0xFF0000FF, 0);
  LineDraw(0, 0, 10, 0);
  EXPECT_EQ(DotRead(10, 0), 0xFF0000FFu);
  DotDraw(799, 599);
  EXPECT_EQ(DotRead(799, 599), 0xFF0000FFu);
}

}  // namespace
