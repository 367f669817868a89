// The pot's physics: what falls in stays in, what falls beside it is lost, worlds do not leak
// into each other, and a reused slot keeps its spin.
#include <gtest/gtest.h>

#include "game/game.h"

namespace kettlebrim {
namespace {

class PotWorldTest : public ::testing::Test {
 protected:
  void SetUp() override { PotWorldBuild(pot_, 0); }
  void TearDown() override { PotWorldRelease(pot_); }

  cpBody* Drop(int shape_class, int x, int y) {
    cpBody* body;
    cpShape* shape;
    PotWorldCreateBody(pot_, shape_class, x, y, &body, &shape);
    return body;
  }
  void Frames(int n) {
    for (int i = 0; i < n; ++i) PotWorldStep(pot_);
  }

  PotWorld pot_{};
};

TEST_F(PotWorldTest, LayoutZeroHasTheWallsTheFloorTheEdgeAndTwoSlopes) {
  EXPECT_EQ(pot_.segment_count, 6);
  EXPECT_EQ(pot_.grid[11 * kGridSize + 6], 4);
  EXPECT_EQ(pot_.grid[11 * kGridSize + 13], 5);
  cpVect a = cpSegmentShapeGetA(pot_.segments[4]);
  cpVect b = cpSegmentShapeGetB(pot_.segments[4]);
  EXPECT_EQ(a.x, 192);
  EXPECT_EQ(a.y, 352);
  EXPECT_EQ(b.x, 224);
  EXPECT_EQ(b.y, 384);
  a = cpSegmentShapeGetA(pot_.segments[5]);
  EXPECT_EQ(a.x, 448);
  EXPECT_EQ(a.y, 352);
  EXPECT_EQ(cpSpaceGetGravity(pot_.space).y, 400);
}

TEST_F(PotWorldTest, MassesAndMomentsOfTheTwoShapeClasses) {
  cpBody* circle = Drop(kCircle, 300, 200);
  cpBody* square = Drop(kSquare, 350, 200);
  EXPECT_FLOAT_EQ(cpBodyGetMass(circle), 0.3);
  EXPECT_NEAR(cpBodyGetMoment(circle), 38.4, 1e-9);
  EXPECT_FLOAT_EQ(cpBodyGetMass(square), 1.0);
  EXPECT_NEAR(cpBodyGetMoment(square), 170.667, 1e-3);
}

TEST_F(PotWorldTest, TokensInsideThePotSettleAndOthersFallPast) {
  cpBody* inside_circle = Drop(kCircle, 250, 100);
  cpBody* inside_square = Drop(kSquare, 400, 100);
  cpBody* left = Drop(kCircle, 150, 100);
  cpBody* right = Drop(kSquare, 520, 100);
  Frames(600);
  EXPECT_LT(cpBodyGetPosition(inside_circle).y, 382);
  EXPECT_GT(cpBodyGetPosition(inside_circle).y, 300);
  EXPECT_LT(cpBodyGetPosition(inside_square).y, 382);
  EXPECT_GT(cpBodyGetPosition(left).y, 480);
  EXPECT_GT(cpBodyGetPosition(right).y, 480);
}

TEST_F(PotWorldTest, ParkMovesOnlyXAndPlaceKeepsTheSpin) {
  cpBody* body = Drop(kSquare, 300, 100);
  cpBodySetAngularVelocity(body, 3.0);
  cpBodySetAngle(body, 1.0);
  cpBodySetVelocity(body, cpv(5, 7));
  PotWorldPark(body);
  EXPECT_EQ(cpBodyGetPosition(body).x, 1000);
  EXPECT_EQ(cpBodyGetPosition(body).y, 100);
  EXPECT_EQ(cpBodyGetVelocity(body).y, 7);
  PotWorldPlace(body, 260, 20);
  EXPECT_EQ(cpBodyGetPosition(body).x, 260);
  EXPECT_EQ(cpBodyGetVelocity(body).x, 0);
  EXPECT_EQ(cpBodyGetVelocity(body).y, 0);
  EXPECT_EQ(cpBodyGetAngularVelocity(body), 3.0);
  EXPECT_EQ(cpBodyGetAngle(body), 1.0);
}

TEST_F(PotWorldTest, ShakeKicksActiveTokensOnly) {
  TokenPool pool{};
  pool.slots[0].active = true;
  pool.slots[0].body = Drop(kCircle, 300, 300);
  pool.slots[1].body = Drop(kCircle, 340, 300);
  PotWorldShake(pool);
  EXPECT_EQ(cpBodyGetVelocity(pool.slots[0].body).y, -200);
  EXPECT_EQ(cpBodyGetVelocity(pool.slots[1].body).y, 0);
}

TEST_F(PotWorldTest, ANewWorldStartsEmpty) {
  for (int i = 0; i < 50; ++i) Drop(i % 2, 200 + i, 50);
  EXPECT_EQ(pot_.body_count, 50);
  PotWorldBuild(pot_, 0);  // frees the first world's bodies (checked under the leak checker)
  EXPECT_EQ(pot_.body_count, 0);
  EXPECT_EQ(pot_.segment_count, 6);
}

}  // namespace
}  // namespace kettlebrim
