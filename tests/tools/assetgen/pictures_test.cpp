// Checks the generated pictures against where and how the game draws them: sizes, the token
// badges' transparency against their physics outlines, the hover ring's radius, the pot's inner
// walls, and the readable differences the art relies on (selected, faded, colour-blind safe).
#include <cairo.h>
#include <gtest/gtest.h>

#include <cmath>
#include <string>
#include <vector>

#include "tests/tools/assetgen/generated_data.h"

namespace {

using assetgen_test::DataDir;

// A PNG read back through cairo, with straight (not premultiplied) pixel access.
class Picture {
 public:
  explicit Picture(const std::string& rel)
      : surface_(cairo_image_surface_create_from_png((DataDir() + "/Images/" + rel).c_str())) {}
  ~Picture() { cairo_surface_destroy(surface_); }
  Picture(const Picture&) = delete;
  Picture& operator=(const Picture&) = delete;

  bool ok() const { return cairo_surface_status(surface_) == CAIRO_STATUS_SUCCESS; }
  int width() const { return cairo_image_surface_get_width(surface_); }
  int height() const { return cairo_image_surface_get_height(surface_); }

  uint32_t Raw(int x, int y) const {
    const unsigned char* row =
        cairo_image_surface_get_data(surface_) + y * cairo_image_surface_get_stride(surface_);
    return reinterpret_cast<const uint32_t*>(row)[x];
  }
  int Alpha(int x, int y) const {
    if (cairo_image_surface_get_format(surface_) == CAIRO_FORMAT_RGB24) return 255;
    return Raw(x, y) >> 24;
  }
  // Straight colour components 0..1 (black where fully transparent).
  double Channel(int x, int y, int shift) const {
    int a = Alpha(x, y);
    if (a == 0) return 0;
    return ((Raw(x, y) >> shift) & 255) / static_cast<double>(a);
  }
  double Luma(int x, int y) const {
    return 0.299 * Channel(x, y, 16) + 0.587 * Channel(x, y, 8) + 0.114 * Channel(x, y, 0);
  }

 private:
  cairo_surface_t* surface_;
};

struct Sized {
  const char* path;
  int width, height;
};

// Sizes that the screen positions of the game fix.
TEST(Pictures, EveryFileExistsWithTheSizeTheScreenNeeds) {
  const Sized fixed[] = {
      {"Backgrounds/Background01.png", 640, 480},
      {"Backgrounds/Background02.png", 640, 480},
      {"Buttons/AddVeg.png", 188, 64},
      {"Buttons/AddVegFaded.png", 188, 64},
      {"Buttons/Shake.png", 180, 64},
      {"Buttons/ShakeFaded.png", 180, 64},
      {"Cursor/Cursor.png", 92, 92},
      {"Effects/Pop01.png", 32, 32},
      {"Effects/Pop02.png", 32, 32},
      {"Effects/Pop03.png", 32, 32},
      {"Text/GameTextShowOff.png", 150, 50},
  };
  for (const Sized& s : fixed) {
    Picture p(s.path);
    ASSERT_TRUE(p.ok()) << s.path;
    EXPECT_EQ(p.width(), s.width) << s.path;
    EXPECT_EQ(p.height(), s.height) << s.path;
  }
  for (const char* name :
       {"Beetroot", "Carrot", "EggPlant", "Onion", "Pea", "RedPepper", "Sweetcorn"}) {
    for (const char* variant : {"", "Selected"}) {
      std::string path = std::string("Shapes/") + name + variant + ".png";
      Picture p(path);
      ASSERT_TRUE(p.ok()) << path;
      EXPECT_EQ(p.width(), 32) << path;
      EXPECT_EQ(p.height(), 32) << path;
    }
  }
  // Pictures whose size is free, within what their places on the screen allow.
  const Sized bounded[] = {
      {"Multipliers/multi3.png", 80, 40},
      {"Multipliers/multi4.png", 80, 40},
      {"Multipliers/multi5.png", 80, 40},
      {"Multipliers/multi6.png", 80, 40},
      {"Text/GameTextReady.png", 440, 280},
      {"Text/GameTextGo.png", 440, 280},
      {"Text/GameTextPotOut.png", 460, 280},
      {"Text/GameLevelUp.png", 380, 280},
      {"Pot/Pot.png", 576, 384},
  };
  for (const Sized& s : bounded) {
    Picture p(s.path);
    ASSERT_TRUE(p.ok()) << s.path;
    EXPECT_GT(p.width(), 0) << s.path;
    EXPECT_LE(p.width(), s.width) << s.path;
    EXPECT_LE(p.height(), s.height) << s.path;
  }
  const char* glyphs[] = {"0", "1", "2",     "3",     "4",        "5",        "6",    "7",
                          "8", "9", "Colon", "Comma", "FullStop", "Multiply", "Slash"};
  for (const char* g : glyphs) {
    std::string path = std::string("ImageFont/ImageNumber") + g + ".png";
    Picture p(path);
    ASSERT_TRUE(p.ok()) << path;
    EXPECT_LE(p.width(), 12) << path << " must fit its 12-pixel place";
    int ink = 0;
    for (int y = 0; y < p.height(); ++y)
      for (int x = 0; x < p.width(); ++x) ink += p.Alpha(x, y) == 255;
    EXPECT_GT(ink, 2) << path;
  }
}

TEST(Pictures, BackdropsAreOpaque) {
  for (const char* path : {"Backgrounds/Background01.png", "Backgrounds/Background02.png"}) {
    Picture p(path);
    ASSERT_TRUE(p.ok());
    for (int y = 0; y < p.height(); ++y)
      for (int x = 0; x < p.width(); ++x) ASSERT_EQ(p.Alpha(x, y), 255) << path << " " << x;
  }
}

// The game prints level, score and chances at 32,65, 32,129 and 480,65: their labels sit just
// above, and the places for the digits are plain and dark enough for the cream digits.
TEST(Pictures, GameBackdropLabelsTheHudNumbers) {
  Picture p("Backgrounds/Background01.png");
  ASSERT_TRUE(p.ok());
  struct Place {
    int x, y, room;
  };
  for (Place at : {Place{32, 65, 152}, Place{32, 129, 152}, Place{480, 65, 130}}) {
    int label = 0;
    for (int y = at.y - 14; y < at.y; ++y)
      for (int x = at.x; x < at.x + 40; ++x) label += p.Luma(x, y) > 0.75;
    EXPECT_GT(label, 20) << "no label above " << at.x << "," << at.y;
    for (int y = at.y; y < at.y + 22; ++y)
      for (int x = at.x; x < at.x + at.room; ++x)
        ASSERT_LT(p.Luma(x, y), 0.45) << "digits would not read at " << x << "," << y;
  }
  // Where tokens fall in, above the pot, the wall stays calm.
  double sum = 0, squares = 0;
  int n = 0;
  for (int y = 0; y < 150; ++y) {
    for (int x = 200; x < 440; ++x) {
      double v = p.Luma(x, y);
      sum += v, squares += v * v, ++n;
    }
  }
  double mean = sum / n;
  EXPECT_LT(std::sqrt(squares / n - mean * mean), 0.05);
}

// Round badges: radius 16 about 16, 16. Square ones fill the 32 by 32 square.
TEST(Pictures, TokensAreOpaqueInsideTheirPhysicsShapeAndClearOutside) {
  for (const char* name : {"Pea", "Sweetcorn", "EggPlant", "RedPepper"}) {
    for (const char* variant : {"", "Selected"}) {
      std::string path = std::string("Shapes/") + name + variant + ".png";
      Picture p(path);
      ASSERT_TRUE(p.ok());
      for (int y = 0; y < 32; ++y) {
        for (int x = 0; x < 32; ++x) {
          double d = std::hypot(x + 0.5 - 16, y + 0.5 - 16);
          if (d > 16.75) {
            EXPECT_EQ(p.Alpha(x, y), 0) << path << " at " << x << "," << y;
          }
          if (d < 15.0) {
            EXPECT_EQ(p.Alpha(x, y), 255) << path << " at " << x << "," << y;
          }
        }
      }
      // The circle reaches the middle of each edge.
      EXPECT_GT(p.Alpha(16, 0), 128) << path;
      EXPECT_GT(p.Alpha(0, 16), 128) << path;
    }
  }
  for (const char* name : {"Carrot", "Onion", "Beetroot"}) {
    for (const char* variant : {"", "Selected"}) {
      std::string path = std::string("Shapes/") + name + variant + ".png";
      Picture p(path);
      ASSERT_TRUE(p.ok());
      for (int y = 0; y < 32; ++y) {
        for (int x = 0; x < 32; ++x) {
          // Only the rounding of the corners may be clear.
          bool corner = (x < 5 || x > 26) && (y < 5 || y > 26);
          if (!corner) {
            EXPECT_EQ(p.Alpha(x, y), 255) << path << " at " << x << "," << y;
          }
        }
      }
      EXPECT_EQ(p.Alpha(0, 0), 0) << path;
      EXPECT_EQ(p.Alpha(31, 31), 0) << path;
    }
  }
}

// Tokens are turned without filtering, so the texels along the badge's edge show or vanish one
// by one: a one-texel dark rim breaks into dots. The edge texel and the two inside it must read
// as one band, at the ends of the midlines and at the round badges' diagonals.
TEST(Pictures, TokenEdgesEndInABandNotAOneTexelRim) {
  auto differ = [](const Picture& p, int x0, int y0, int x1, int y1) {
    double d = 0;
    for (int shift : {16, 8, 0})
      d += std::fabs(p.Channel(x0, y0, shift) - p.Channel(x1, y1, shift));
    return d;
  };
  for (const char* name :
       {"Pea", "Carrot", "Sweetcorn", "EggPlant", "Onion", "Beetroot", "RedPepper"}) {
    Picture p(std::string("Shapes/") + name + ".png");
    ASSERT_TRUE(p.ok());
    // Walking inwards from the middle of each edge: (edge texel, one in, two in).
    const int walks[4][6] = {{16, 0, 16, 1, 16, 2},
                             {16, 31, 16, 30, 16, 29},
                             {0, 16, 1, 16, 2, 16},
                             {31, 16, 30, 16, 29, 16}};
    for (const auto& w : walks) {
      EXPECT_LT(differ(p, w[0], w[1], w[2], w[3]), 0.25) << name << " at " << w[0] << "," << w[1];
      EXPECT_LT(differ(p, w[2], w[3], w[4], w[5]), 0.25) << name << " at " << w[2] << "," << w[3];
    }
  }
}

// Mean straight colour of the opaque pixels.
struct Mean {
  double r = 0, g = 0, b = 0, luma = 0;
};
Mean MeanColour(const Picture& p) {
  Mean m;
  int n = 0;
  for (int y = 0; y < p.height(); ++y) {
    for (int x = 0; x < p.width(); ++x) {
      if (p.Alpha(x, y) < 255) continue;
      m.r += p.Channel(x, y, 16);
      m.g += p.Channel(x, y, 8);
      m.b += p.Channel(x, y, 0);
      m.luma += p.Luma(x, y);
      ++n;
    }
  }
  if (n > 0) m.r /= n, m.g /= n, m.b /= n, m.luma /= n;
  return m;
}

TEST(Pictures, SelectedTokensAreBrighterThanTheirPlainForm) {
  for (const char* name : {"Beetroot", "Carrot", "EggPlant", "Onion", "Pea", "Sweetcorn"}) {
    Picture plain(std::string("Shapes/") + name + ".png");
    Picture lit(std::string("Shapes/") + name + "Selected.png");
    EXPECT_GT(MeanColour(lit).luma, MeanColour(plain).luma + 0.05) << name;
    // The light outline: the rim just inside the badge is near white.
    EXPECT_GT(lit.Luma(16, 1), 0.85) << name;
  }
}

// Colours as seen with protanopia and deuteranopia (linear-light simulation matrices of
// Vienot, Brettel and Mollon, 1999): every two kinds must still differ.
TEST(Pictures, TokenKindsStayDistinctForRedGreenColourBlindness) {
  const char* kinds[] = {"Pea", "Carrot", "Sweetcorn", "EggPlant", "Onion", "Beetroot"};
  const double sims[2][2][3] = {
      {{0.11238, 0.88762, 0.0}, {0.00401, -0.00401, 1.0}},   // protanopia: r=g row, b row
      {{0.29275, 0.70725, 0.0}, {-0.02234, 0.02234, 1.0}}};  // deuteranopia
  auto linear = [](double c) { return std::pow(c, 2.2); };
  std::vector<Mean> means;
  for (const char* k : kinds)
    means.push_back(MeanColour(Picture(std::string("Shapes/") + k + ".png")));
  for (const auto& sim : sims) {
    for (size_t i = 0; i < means.size(); ++i) {
      for (size_t j = i + 1; j < means.size(); ++j) {
        auto seen = [&](const Mean& m, double out[2]) {
          double r = linear(m.r), g = linear(m.g), b = linear(m.b);
          for (int row = 0; row < 2; ++row)
            out[row] = std::pow(std::max(0.0, sim[row][0] * r + sim[row][1] * g + sim[row][2] * b),
                                1 / 2.2);
        };
        double a[2], c[2];
        seen(means[i], a);
        seen(means[j], c);
        double distance = std::hypot(a[0] - c[0], a[1] - c[1]);
        EXPECT_GT(distance, 0.08) << kinds[i] << " vs " << kinds[j];
      }
    }
  }
}

TEST(Pictures, CursorRingHasRadiusFortyAboutItsCentre) {
  Picture p("Cursor/Cursor.png");
  ASSERT_TRUE(p.ok());
  const double kPi = 3.14159265358979323846;
  double total = 0;
  int samples = 0;
  for (int i = 0; i < 24; ++i) {
    double a = (i + 0.5) * kPi / 12;  // between the tick marks
    double best_r = 0, best = -1;
    for (double r = 28; r <= 46; r += 0.25) {
      int x = static_cast<int>(46 + r * std::cos(a)), y = static_cast<int>(46 + r * std::sin(a));
      double v = p.Alpha(x, y) * p.Luma(x, y);
      if (v > best) best = v, best_r = r;
    }
    EXPECT_NEAR(best_r, 40, 1.5) << "angle " << a;
    total += best_r;
    ++samples;
    int inx = static_cast<int>(46 + 34 * std::cos(a)),
        iny = static_cast<int>(46 + 34 * std::sin(a));
    EXPECT_EQ(p.Alpha(inx, iny), 0) << "inside the ring must stay clear";
    int outx = static_cast<int>(46 + 45 * std::cos(a)),
        outy = static_cast<int>(46 + 45 * std::sin(a));
    EXPECT_EQ(p.Alpha(outx, outy), 0) << "outside the ring must stay clear";
  }
  EXPECT_NEAR(total / samples, 40, 0.6);
  EXPECT_EQ(p.Alpha(46, 46), 0);
}

// The pot is pasted at 64, 96: screen x 192 and 450 are picture columns 128 and 386, screen
// y 164 the rim (row 68), y 352 the foot of the walls (row 256), y 382 the floor (row 286).
TEST(Pictures, PotInnerWallsLineUpWithThePhysics) {
  Picture p("Pot/Pot.png");
  ASSERT_TRUE(p.ok());
  auto band = [&](int x0, int x1, int y) {
    double sum = 0;
    for (int x = x0; x <= x1; ++x) sum += p.Luma(x, y);
    return sum / (x1 - x0 + 1);
  };
  for (int y = 80; y <= 250; y += 5) {
    for (int x : {124, 127, 128, 131, 382, 385, 386, 389}) {
      EXPECT_EQ(p.Alpha(x, y), 255) << x << "," << y;
    }
    // The wall's cut face is bright copper; the inside starts exactly at the wall line.
    EXPECT_GT(band(124, 127, y) - band(128, 131, y), 0.2) << "left wall at row " << y;
    EXPECT_GT(band(386, 389, y) - band(382, 385, y), 0.2) << "right wall at row " << y;
  }
  for (int x = 170; x <= 340; x += 10) {
    EXPECT_GT(p.Luma(x, 288) - p.Luma(x, 284), 0.2) << "floor at column " << x;
  }
  // Bevels: the inside reaches diagonally from the wall foot to the floor.
  EXPECT_LT(p.Luma(130, 256), 0.35);
  EXPECT_GT(p.Luma(130, 270), p.Luma(150, 270) + 0.2);
  // Clear above the rim, and around the pot.
  for (int y = 0; y < 56; ++y)
    for (int x = 0; x < p.width(); ++x) ASSERT_EQ(p.Alpha(x, y), 0) << x << "," << y;
  for (int y = 0; y < p.height(); ++y) {
    EXPECT_EQ(p.Alpha(20, y), 0);
    EXPECT_EQ(p.Alpha(p.width() - 20, y), 0);
  }
  // Handles stand out beyond the walls.
  int left = 0, right = 0;
  for (int x = 60; x < 112; ++x) left += p.Alpha(x, 110) > 200;
  for (int x = 403; x < 460; ++x) right += p.Alpha(x, 110) > 200;
  EXPECT_GT(left, 0);
  EXPECT_GT(right, 0);
}

// Saturation of a straight colour.
double Saturation(double r, double g, double b) {
  double hi = std::max({r, g, b}), lo = std::min({r, g, b});
  return hi <= 0 ? 0 : (hi - lo) / hi;
}

TEST(Pictures, FadedButtonsLookUnavailable) {
  for (const char* name : {"AddVeg", "Shake"}) {
    Mean on = MeanColour(Picture(std::string("Buttons/") + name + ".png"));
    Mean off = MeanColour(Picture(std::string("Buttons/") + name + "Faded.png"));
    EXPECT_LT(Saturation(off.r, off.g, off.b), Saturation(on.r, on.g, on.b) / 2) << name;
    EXPECT_LT(off.luma, on.luma + 0.02) << name;
  }
}

TEST(Pictures, PopGrowsAndThinsOverItsThreeFrames) {
  double last_reach = 0, last_density = 1e9;
  for (const char* frame : {"Effects/Pop01.png", "Effects/Pop02.png", "Effects/Pop03.png"}) {
    Picture p(frame);
    ASSERT_TRUE(p.ok());
    double reach = 0, ink = 0;
    for (int y = 0; y < 32; ++y) {
      for (int x = 0; x < 32; ++x) {
        ink += p.Alpha(x, y);
        if (p.Alpha(x, y) > 64) reach = std::max(reach, std::hypot(x + 0.5 - 16, y + 0.5 - 16));
      }
    }
    // Grows: reaches further out. Thins: less ink for the area it spans.
    double density = ink / (reach * reach);
    EXPECT_GT(reach, last_reach) << frame;
    EXPECT_LT(density, last_density) << frame;
    last_reach = reach;
    last_density = density;
  }
}

}  // namespace
