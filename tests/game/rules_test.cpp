// The game's rules without the screen: scoring, matching, the hover ring, spawning limits,
// fall-out, the number font and the effect timings.
#include <gtest/gtest.h>

#include <cstring>

#include "game/game.h"

namespace kettlebrim {
namespace {

class RulesTest : public ::testing::Test {
 protected:
  void SetUp() override {
    GameStateClear();
    g_state.game.level = 1;
    g_state.game.chances = 3;
    g_state.game.spawn_interval = 60;
    PotWorldBuild(g_state.pot, 0);
  }
  void TearDown() override { GameStateClear(); }

  // An active token of kind at x, y, hovered or not, in the lowest free slot of its class.
  Token& Put(int kind, int x, int y, bool hovered) {
    TokensSpawn(g_state.tokens, g_state.pot, x, y, kind);
    int first = VegShapeClass(kind) == kCircle ? 0 : kCircleSlotsEnd;
    for (int s = first + kCircleSlotsEnd - 1; s >= first; --s) {
      Token& t = g_state.tokens.slots[s];
      if (t.active && t.x == x && t.y == y) {
        t.hovered = hovered;
        return t;
      }
    }
    ADD_FAILURE() << "spawn failed";
    return g_state.tokens.slots[0];
  }
  int Active() const {
    int n = 0;
    for (const Token& t : g_state.tokens.slots) n += t.active;
    return n;
  }
};

TEST_F(RulesTest, WorkedScoringExampleWithTheChainBonus) {
  GameScreen& game = g_state.game;
  ScoreClick(game, 3);
  EXPECT_EQ(game.score, 10);
  EXPECT_EQ(game.chain_bonus, 200);
  ScoreClick(game, 4);
  EXPECT_EQ(game.score, 910);
  ScoreClick(game, 0);
  EXPECT_EQ(game.score, 910);
  EXPECT_EQ(game.chain_bonus, 0);
  ScoreClick(game, 3);
  EXPECT_EQ(game.score, 920);
  EXPECT_EQ(ClickPoints(6, 200, 3), 10000 + 6 * 200 * 3);
  EXPECT_EQ(ClickPoints(7, 200, 3), 0);
}

TEST_F(RulesTest, AClickRemovesOnlyKindsWithThreeInTheRing) {
  Put(kPea, 300, 300, true);
  Put(kPea, 310, 300, true);
  for (int i = 0; i < 3; ++i) Put(kCarrot, 300 + 10 * i, 320, true);
  Put(kCarrot, 400, 200, false);  // same kind, outside the ring: stays
  TokensClick(g_state.tokens);
  EXPECT_EQ(g_state.game.score, 10) << "n is 3";
  EXPECT_EQ(g_state.game.removed, 3);
  EXPECT_EQ(Active(), 3);
}

TEST_F(RulesTest, SevenTokensGoButScoreNothingAndClearTheChain) {
  g_state.game.chain_bonus = 200;
  for (int i = 0; i < 4; ++i) Put(kPea, 300 + 5 * i, 300, true);
  for (int i = 0; i < 3; ++i) Put(kCarrot, 300 + 5 * i, 320, true);
  TokensClick(g_state.tokens);
  EXPECT_EQ(Active(), 0);
  EXPECT_EQ(g_state.game.removed, 7);
  EXPECT_EQ(g_state.game.score, 0);
  EXPECT_EQ(g_state.game.chain_bonus, 0);
}

TEST_F(RulesTest, TheThirtiethRemovalLevelsUpInTheMiddleOfAClick) {
  g_state.game.removed = 28;
  for (int i = 0; i < 4; ++i) Put(kOnion, 300 + 5 * i, 300, true);
  TokensClick(g_state.tokens);
  EXPECT_EQ(g_state.game.level, 2);
  EXPECT_EQ(g_state.game.removed, 2);
  EXPECT_EQ(g_state.game.chances, 4);
  EXPECT_EQ(g_state.game.spawn_interval, 57);
  for (int level = 2; level < 16; ++level) GameLevelUp();
  EXPECT_EQ(g_state.game.level, 16);
  EXPECT_EQ(g_state.game.spawn_interval, 15);
  GameLevelUp();
  EXPECT_EQ(g_state.game.spawn_interval, 15);
}

TEST_F(RulesTest, HoverRingExcludesExactlyFortyPixels) {
  g_state.mouse.x = 300;
  g_state.mouse.y = 250;
  Token& near = Put(kPea, 300 + 39, 250, false);
  Token& edge = Put(kPea, 300, 250 + 40, false);
  Token& diagonal = Put(kPea, 300 + 24, 250 - 32, false);  // 24, 32: exactly 40
  TokensUpdate(g_state.tokens);
  EXPECT_TRUE(near.hovered);
  EXPECT_FALSE(edge.hovered);
  EXPECT_FALSE(diagonal.hovered);

  g_state.mouse.x = 100;  // outside the pot area: nothing is hovered
  TokensUpdate(g_state.tokens);
  EXPECT_FALSE(near.hovered);
}

TEST_F(RulesTest, AFullClassDropsSpawnsOfItsKindsOnly) {
  for (int i = 0; i < 100; ++i)
    TokensSpawn(g_state.tokens, g_state.pot, 250, 200, i % 2 ? kPea : kEggPlant);
  EXPECT_EQ(Active(), 100);
  TokensSpawn(g_state.tokens, g_state.pot, 250, 200, kSweetcorn);
  EXPECT_EQ(Active(), 100);
  TokensSpawn(g_state.tokens, g_state.pot, 250, 200, kCarrot);
  EXPECT_EQ(Active(), 101);
  EXPECT_TRUE(g_state.tokens.slots[100].active);
}

TEST_F(RulesTest, ATokenIsLostOnlyBelowY480) {
  Token& at = Put(kPea, 300, 100, false);
  Token& below = Put(kCarrot, 350, 100, false);
  cpBodySetPosition(at.body, cpv(300, 480.0));
  cpBodySetPosition(below.body, cpv(350, 480.1));
  TokensUpdate(g_state.tokens);
  EXPECT_TRUE(at.active);
  EXPECT_FALSE(below.active);
  EXPECT_EQ(g_state.game.chances, 2);
  EXPECT_EQ(cpBodyGetPosition(below.body).x, 1000) << "parked";
}

TEST_F(RulesTest, LosingWithNoChancesLeftPutsThePotOutAndRestartsIt) {
  g_state.game.chances = 0;
  g_state.game.phase = kPhasePlaying;
  LoseChance(g_state.game);
  EXPECT_EQ(g_state.game.phase, kPhasePotOut);
  EXPECT_EQ(g_state.game.chances, 0);
  g_state.game.phase_counter = 77;
  LoseChance(g_state.game);
  EXPECT_EQ(g_state.game.phase, kPhasePotOut);
  EXPECT_EQ(g_state.game.phase_counter, 0);
}

TEST_F(RulesTest, AReusedSlotKeepsItsBodyAndItsSpin) {
  Token& t = Put(kBeetroot, 300, 100, false);
  cpBody* body = t.body;
  cpBodySetAngularVelocity(body, 2.5);
  g_state.mouse = {};
  t.hovered = true;
  t.active = false;
  PotWorldPark(body);
  TokensSpawn(g_state.tokens, g_state.pot, 260, 10, kOnion);
  EXPECT_EQ(g_state.tokens.slots[100].body, body);
  EXPECT_EQ(cpBodyGetPosition(body).x, 260);
  EXPECT_EQ(cpBodyGetAngularVelocity(body), 2.5);
  EXPECT_EQ(g_state.pot.body_count, 1);
}

TEST(NumberFont, CommasEveryThreeDigitsFromTheRight) {
  char out[20];
  const char* cases[][2] = {{"0", "0"},
                            {"999", "999"},
                            {"1000", "1,000"},
                            {"1234", "1,234"},
                            {"123456", "123,456"},
                            {"1000000", "1,000,000"},
                            {"2147483647", "2,147,483,647"}};
  for (auto& c : cases) {
    NumberWithCommas(c[0], out);
    EXPECT_STREQ(out, c[1]);
  }
}

TEST(Effects, PopShowsEachImageForItsFrames) {
  FrameAnimation a{};
  a.delay = 3;
  a.first_image = 9;
  a.frame_count = 2;
  a.current_image = 9;
  int seen[10];
  for (int& s : seen) s = AnimationStep(a);
  int expected[10] = {9, 9, 10, 10, 10, 11, 11, 11, 11, 11};
  for (int i = 0; i < 10; ++i) EXPECT_EQ(seen[i], expected[i]) << "draw " << i;
}

TEST(Effects, AMultiplierRisesFrom149To120OverItsLife) {
  static EffectList list{};
  EffectsReset(list);
  EffectCreate(list, kEffectFadingSprite, 300, 150, 0, -1, 27, 0, 1, 30, false);
  Effect& e = list.slots[0];
  int first_y = -1, last_y = -1, draws = 0;
  for (int frame = 0; frame < 40; ++frame) {
    EffectsUpdate(list);
    if (!e.active) continue;
    if (first_y < 0) first_y = static_cast<int>(e.y);
    last_y = static_cast<int>(e.y);
    ++draws;
  }
  EXPECT_EQ(first_y, 149);
  EXPECT_EQ(last_y, 120);
  EXPECT_EQ(draws, 30);
}

TEST(Effects, AFullListDropsNewEffects) {
  static EffectList list{};
  EffectsReset(list);
  for (int i = 0; i < kEffectSlots + 5; ++i)
    EffectCreate(list, kEffectAnimation, i, 0, 0, 0, 9, 2, 3, 10, false);
  EXPECT_EQ(list.slots[kEffectSlots - 1].x, kEffectSlots - 1);
  int active = 0;
  for (const Effect& e : list.slots) active += e.active;
  EXPECT_EQ(active, kEffectSlots);
}

}  // namespace
}  // namespace kettlebrim
