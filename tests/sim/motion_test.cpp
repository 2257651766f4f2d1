// Gravitation, motion, the vector functions and the checked math path.
#include <gtest/gtest.h>

#include <cmath>
#include <cstring>
#include <limits>
#include <random>

#include "checked_math.h"
#include "engine_test.h"

namespace {

// The text of a const char* exception, or "" when f throws nothing.
template <typename F>
std::string ThrownText(F f) {
  try {
    f();
  } catch (const char* text) {
    return text;
  }
  return "";
}

}  // namespace

TEST_F(EngineTest, GravitationPullsByMassOverDistanceSquared) {
  auto engine = MakeEngine();
  Quiet(*engine);
  sim3d& e = *engine;
  e.gravitation_constant = 20.0f;
  Place(e, 1, 400, 300, 500);
  Place(e, 2, 500, 300, 500);
  e.bodies[2].mass = 50.0f;
  e.gravitation();
  // 20 x 50 / 100^2 towards ball 2; the massless balls pull nothing.
  EXPECT_FLOAT_EQ(e.bodies[1].vx, 0.1f);
  EXPECT_FLOAT_EQ(e.bodies[1].vy, 0.0f);
  EXPECT_FLOAT_EQ(e.bodies[2].vx, 0.0f);
  EXPECT_LT(e.bodies[3].vx, 0.0f);  // pulled towards ball 2, on its left
}

TEST_F(EngineTest, GravitationCutOffOnlyWithoutCollisionsAndNoPullFromCoincidentCentres) {
  auto engine = MakeEngine();
  sim3d& e = *engine;
  Quiet(e);
  e.gravitation_constant = 20.0f;
  e.bodies[2].mass = 50.0f;
  Place(e, 1, 400, 300, 500);
  Place(e, 2, 405, 300, 500);  // overlapping and closer than 10
  e.gravitation();
  EXPECT_GT(e.bodies[1].vx, 0.0f);

  e.bodies[1].vx = 0.0f;
  e.collisions_on = 0;
  e.gravitation();
  EXPECT_EQ(e.bodies[1].vx, 0.0f);

  e.collisions_on = 1;
  Place(e, 2, 400, 300, 500);  // same centre: no direction, no pull
  e.bodies[1].mass = 50.0f;
  e.gravitation();
  EXPECT_EQ(e.bodies[1].vx, 0.0f);
  EXPECT_TRUE(std::isfinite(e.bodies[1].vy) && std::isfinite(e.bodies[2].vz));
}

TEST_F(EngineTest, TrajectoryMovesTurnsAndSkipsTheBallsOfTheContactBeingResolved) {
  auto engine = MakeEngine();
  sim3d& e = *engine;
  Quiet(e);
  for (int i = 1; i <= 9; ++i) Place(e, i, 100.0f * i, 300, 400, 1.5f, -2.0f, 0.5f);
  e.bodies[1].theta = 6.2f;
  e.bodies[1].dtheta = 0.1f;
  e.bodies[1].phi = 1.0f;
  e.bodies[1].dphi = 0.25f;
  // Slot 0 holds zeros, so an empty table names no ball.
  e.calc_trajectory(1.0f);
  EXPECT_FLOAT_EQ(e.bodies[1].x, 101.5f);
  EXPECT_FLOAT_EQ(e.bodies[9].y, 298.0f);
  EXPECT_NEAR(e.bodies[1].theta, 6.3 - 2 * test_pi, 1e-6);
  EXPECT_FLOAT_EQ(e.bodies[1].phi, 1.25f);

  // A wind-back with contact 3 (balls 2 and 5) in the last sorted slot leaves those two alone.
  e.n_contacts = 3;
  e.contacts[3] = contact{2, 5, 0.5f};
  e.contact_order[3] = 3;
  e.calc_trajectory(-0.5f);
  EXPECT_FLOAT_EQ(e.bodies[1].x, 100.75f);
  EXPECT_FLOAT_EQ(e.bodies[2].x, 201.5f);
  EXPECT_FLOAT_EQ(e.bodies[5].x, 501.5f);
  EXPECT_FLOAT_EQ(e.bodies[1].phi, 1.125f);
  // A wall code names no ball.
  e.contacts[3] = contact{4, sim3d::left_wall, 0.5f};
  e.calc_trajectory(1.0f);
  EXPECT_FLOAT_EQ(e.bodies[4].x, 400.75f);
  EXPECT_FLOAT_EQ(e.bodies[1].x, 102.25f);
  EXPECT_FLOAT_EQ(e.bodies[2].x, 203.0f);
}

TEST_F(EngineTest, VectorFunctions) {
  auto engine = MakeEngine();
  sim3d& e = *engine;
  EXPECT_FLOAT_EQ(e.modul(3, 4, 12), 13.0f);
  EXPECT_FLOAT_EQ(e.cos_fi(1, 2, 3, 2, 4, 6), 1.0f);
  EXPECT_FLOAT_EQ(e.cos_fi(1, 2, 3, -1, -2, -3), -1.0f);
  EXPECT_FLOAT_EQ(e.cos_fi(1, 0, 0, 0, 5, 0), 0.0f);
  EXPECT_EQ(e.cos_fi(0, 0, 0, 1, 2, 3), 0.0f);
  // Nearly parallel vectors never give a cosine past 1, which an arc cosine would take for an error.
  std::mt19937 generator(7);
  std::uniform_real_distribution<float> coordinate(-2000.0f, 2000.0f);
  for (int k = 0; k < 20000; ++k) {
    const float x = coordinate(generator), y = coordinate(generator), z = coordinate(generator);
    const float scale = 0.01f + static_cast<float>(k % 97);
    const float c = e.cos_fi(x, y, z, x * scale, y * scale, z * scale);
    ASSERT_LE(c, 1.0f);
    ASSERT_GE(e.cos_fi(x, y, z, -x * scale, -y * scale, -z * scale), -1.0f);
  }
}

TEST_F(EngineTest, CheckedMathThrowsTheMathErrorTextOnDomainAndRangeErrorsOnly) {
  EXPECT_STREQ(matherror_text, "matherror occured");
  EXPECT_EQ(ThrownText([] { checked_sqrt(-1e-30); }), "matherror occured");
  EXPECT_EQ(ThrownText([] { checked_acos(1.0000001); }), "matherror occured");
  EXPECT_EQ(ThrownText([] { checked_sin(std::numeric_limits<double>::infinity()); }), "matherror occured");
  EXPECT_EQ(ThrownText([] { checked_pow(1e200, 2.0); }), "matherror occured");
  EXPECT_EQ(ThrownText([] { checked_pow(-8.0, 0.5); }), "matherror occured");
  // Arguments that are not numbers pass through for the callers that test for them.
  EXPECT_EQ(ThrownText([] { EXPECT_TRUE(std::isnan(checked_sqrt(std::nan("")))); }), "");
  EXPECT_EQ(ThrownText([] { EXPECT_TRUE(std::isnan(checked_acos(std::nan("")))); }), "");
  EXPECT_EQ(checked_sqrt(-0.0), 0.0);
  EXPECT_EQ(checked_pow(3.0, 3.0), 27.0);
}
