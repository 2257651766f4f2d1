// Wall and pair contacts: their times, their resolution, and the detection pass that lists them.
#include <gtest/gtest.h>

#include <random>

#include "engine_test.h"

namespace {

struct Totals {
  double px, py, pz, energy;
};

Totals MomentumAndEnergy(const body& a, const body& b) {
  auto energy = [](const body& x) {
    return 0.5 * x.mass * (double(x.vx) * x.vx + double(x.vy) * x.vy + double(x.vz) * x.vz);
  };
  return {double(a.mass) * a.vx + double(b.mass) * b.vx, double(a.mass) * a.vy + double(b.mass) * b.vy,
          double(a.mass) * a.vz + double(b.mass) * b.vz, energy(a) + energy(b)};
}

}  // namespace

TEST_F(EngineTest, WallContactTimeAndReflection) {
  auto engine = MakeEngine();
  sim3d& e = *engine;
  Quiet(e);
  Place(e, 1, -3, 300, 500, -2, 1, 0);
  EXPECT_EQ(e.frame_reflekt(1, 0), 1);
  ASSERT_EQ(e.n_contacts, 1);
  EXPECT_EQ(e.contacts[1].ball, 1);
  EXPECT_EQ(e.contacts[1].partner, sim3d::left_wall);
  EXPECT_FLOAT_EQ(e.contacts[1].t, 6.5f);

  EXPECT_EQ(e.frame_reflekt(1, 1), 1);
  EXPECT_EQ(e.n_contacts, 1);  // resolving records nothing
  EXPECT_FLOAT_EQ(e.bodies[1].x, 10.013f);
  EXPECT_FLOAT_EQ(e.bodies[1].y, 300.0f - 6.5065f);
  EXPECT_FLOAT_EQ(e.bodies[1].vx, 2.0f);
  EXPECT_FLOAT_EQ(e.bodies[1].vy, 1.0f);

  // Exactly touching is no contact; no velocity across the wall gives t = 0 and moves nothing.
  Place(e, 2, 10, 300, 500, -1, 0, 0);
  EXPECT_EQ(e.frame_reflekt(2, 0), 0);
  Place(e, 3, 1020, 300, 500, 0, 3, 0);
  e.n_contacts = 0;
  EXPECT_EQ(e.frame_reflekt(3, 0), 1);
  EXPECT_EQ(e.contacts[1].t, 0.0f);
  e.frame_reflekt(3, 1);
  EXPECT_EQ(e.bodies[3].x, 1020.0f);
  EXPECT_EQ(e.bodies[3].vy, 3.0f);
}

TEST_F(EngineTest, WallTestsRunInOrderEachSeeingThePositionTheEarlierLeft) {
  auto engine = MakeEngine();
  sim3d& e = *engine;
  Quiet(e);
  Place(e, 1, 1020, 765, 500, 2, 4, 0);  // past the right and the bottom wall
  e.frame_reflekt(1, 0);
  ASSERT_EQ(e.n_contacts, 2);
  EXPECT_EQ(e.contacts[1].partner, sim3d::right_wall);
  EXPECT_EQ(e.contacts[2].partner, sim3d::bottom_wall);
  // Moving back from the right wall by 3.5 time units also clears the bottom wall.
  e.frame_reflekt(1, 1);
  EXPECT_FLOAT_EQ(e.bodies[1].x, 1012.993f);
  EXPECT_FLOAT_EQ(e.bodies[1].y, 750.986f);
  EXPECT_FLOAT_EQ(e.bodies[1].vx, -2.0f);
  EXPECT_FLOAT_EQ(e.bodies[1].vy, 4.0f);

  Place(e, 2, 1020, 765, 500, 1, 1, 0);  // here the bottom wall is still reached afterwards
  e.frame_reflekt(2, 1);
  EXPECT_FLOAT_EQ(e.bodies[2].vx, -1.0f);
  EXPECT_FLOAT_EQ(e.bodies[2].vy, -1.0f);
  EXPECT_NEAR(e.bodies[2].y, 756.999f, 1e-3);

  // A ball past a wall but moving back in is turned outwards, and the next resolution brings it in.
  Place(e, 3, -3, 300, 500, 2, 0, 0);
  e.frame_reflekt(3, 1);
  EXPECT_FLOAT_EQ(e.bodies[3].x, -16.013f);
  EXPECT_FLOAT_EQ(e.bodies[3].vx, -2.0f);
  e.frame_reflekt(3, 1);
  EXPECT_GT(e.bodies[3].x - 10.0f, 0.0f);
  EXPECT_FLOAT_EQ(e.bodies[3].vx, 2.0f);
}

TEST_F(EngineTest, PairContactTimeAndElasticExchange) {
  auto engine = MakeEngine();
  sim3d& e = *engine;
  Quiet(e);
  // Head-on, equal masses: j runs at i with speed 2 and is 1 unit past the touching point.
  Place(e, 1, 100, 300, 500);
  Place(e, 2, 119, 300, 500, -2, 0, 0);
  e.bodies[1].mass = e.bodies[2].mass = 4.0f;
  e.n_contacts = 1;
  e.reflect(1, 2, 0);
  EXPECT_FLOAT_EQ(e.contacts[1].t, 0.5f);
  e.reflect(1, 2, 1);
  EXPECT_FLOAT_EQ(e.bodies[2].x, 120.0f);
  EXPECT_FLOAT_EQ(e.bodies[1].x, 100.0f);
  EXPECT_FLOAT_EQ(e.bodies[1].vx, -2.0f);
  EXPECT_NEAR(e.bodies[2].vx, 0.0f, 1e-6);

  // Masses 1 and 3, speeds along the line of centres -1 and 0: afterwards 0.5 and -0.5.
  Place(e, 3, 115, 500, 500, -1, 0, 0);
  Place(e, 4, 100, 500, 500);
  e.bodies[3].mass = 1.0f;
  e.bodies[4].mass = 3.0f;
  e.reflect(3, 4, 1);
  EXPECT_FLOAT_EQ(e.bodies[3].x, 120.0f);
  EXPECT_FLOAT_EQ(e.bodies[3].vx, 0.5f);
  EXPECT_FLOAT_EQ(e.bodies[4].vx, -0.5f);

  // Equal velocities: t = 0, nothing moves and nothing changes.
  Place(e, 5, 300, 700, 500, 1, 1, 0);
  Place(e, 6, 305, 700, 500, 1, 1, 0);
  e.bodies[5].mass = e.bodies[6].mass = 1.0f;
  e.reflect(5, 6, 0);
  EXPECT_EQ(e.contacts[1].t, 0.0f);
  e.reflect(5, 6, 1);
  EXPECT_EQ(e.bodies[5].x, 300.0f);
  EXPECT_EQ(e.bodies[6].vx, 1.0f);
}

TEST_F(EngineTest, ObliqueCollisionsKeepMomentumAndEnergyAndTheCrossComponents) {
  auto engine = MakeEngine();
  sim3d& e = *engine;
  Quiet(e);
  std::mt19937 generator(11);
  std::uniform_real_distribution<float> unit(-1.0f, 1.0f);
  for (int k = 0; k < 500; ++k) {
    body& a = e.bodies[1];
    body& b = e.bodies[2];
    a.radius = 5.0f + 10.0f * (unit(generator) + 1.0f);
    b.radius = 5.0f + 10.0f * (unit(generator) + 1.0f);
    a.mass = 1.0f + 50.0f * (unit(generator) + 1.0f);
    b.mass = 1.0f + 50.0f * (unit(generator) + 1.0f);
    // Overlapping by a fraction of the radii, approaching each other.
    const float nx = unit(generator), ny = unit(generator), nz = unit(generator);
    const float length = std::sqrt(nx * nx + ny * ny + nz * nz) + 1e-3f;
    const float gap = (a.radius + b.radius) * 0.8f / length;
    Place(e, 2, 500, 400, 500, 3 * unit(generator), 3 * unit(generator), 3 * unit(generator));
    Place(e, 1, 500 + nx * gap, 400 + ny * gap, 500 + nz * gap, -nx * 2 + unit(generator), -ny * 2 + unit(generator),
          -nz * 2 + unit(generator));
    const Totals before = MomentumAndEnergy(a, b);
    e.reflect(1, 2, 1);
    const Totals after = MomentumAndEnergy(a, b);
    const double scale = before.energy + 1.0;
    EXPECT_NEAR(after.px, before.px, 1e-4 * scale);
    EXPECT_NEAR(after.py, before.py, 1e-4 * scale);
    EXPECT_NEAR(after.pz, before.pz, 1e-4 * scale);
    EXPECT_NEAR(after.energy, before.energy, 1e-4 * scale);
    // The balls are wound back to the touching point.
    EXPECT_NEAR(e.modul(a.x - b.x, a.y - b.y, a.z - b.z), a.radius + b.radius, 1e-3 * (a.radius + b.radius));
  }

  // Glancing: one time unit ago ball 3 touched ball 4 along x; only the x components change.
  Place(e, 3, 99, 100.75f, 499.5f, -1, 0.75f, -0.5f);
  Place(e, 4, 80, 100, 500);
  e.bodies[3].mass = e.bodies[4].mass = 2.0f;
  e.reflect(3, 4, 1);
  EXPECT_NEAR(e.bodies[3].x, 100.0f, 1e-4);
  EXPECT_NEAR(e.bodies[3].vx, 0.0f, 1e-5);
  EXPECT_NEAR(e.bodies[3].vy, 0.75f, 1e-5);
  EXPECT_NEAR(e.bodies[3].vz, -0.5f, 1e-5);
  EXPECT_NEAR(e.bodies[4].vx, -1.0f, 1e-5);
  EXPECT_NEAR(e.bodies[4].vy, 0.0f, 1e-5);
}

TEST_F(EngineTest, NegativeDiscriminantRaisesTheMathError) {
  auto engine = MakeEngine();
  sim3d& e = *engine;
  Quiet(e);
  // Far apart and passing each other: no real touching time.
  Place(e, 1, 100, 100, 500, 0, 1, 0);
  Place(e, 2, 200, 100, 500);
  e.n_contacts = 1;
  try {
    e.reflect(1, 2, 0);
    FAIL() << "no exception";
  } catch (const char* text) {
    EXPECT_STREQ(text, "matherror occured");
  }
}

TEST_F(EngineTest, DetectionListsWallContactsThenOverlapsBallByBall) {
  auto engine = MakeEngine();
  sim3d& e = *engine;
  Quiet(e);
  EXPECT_EQ(e.geometrie(), 0);
  EXPECT_EQ(e.n_contacts, 0);

  Place(e, 2, 220, 150, 500);  // exactly touching ball 1 at (200, 150): no contact
  EXPECT_EQ(e.geometrie(), 0);
  Place(e, 2, 219, 150, 500, -1, 0, 0);
  EXPECT_EQ(e.geometrie(), 1);
  ASSERT_EQ(e.n_contacts, 1);
  EXPECT_EQ(e.contacts[1].ball, 1);
  EXPECT_EQ(e.contacts[1].partner, 2);
  EXPECT_FLOAT_EQ(e.contacts[1].t, 1.0f);

  Place(e, 5, 5, 5, 500, -1, -1, 0);  // past the left and the top wall
  EXPECT_EQ(e.geometrie(), 1);
  ASSERT_EQ(e.n_contacts, 3);
  EXPECT_EQ(e.contacts[2].ball, 5);
  EXPECT_EQ(e.contacts[2].partner, sim3d::left_wall);
  EXPECT_EQ(e.contacts[3].partner, sim3d::top_wall);
}

TEST_F(EngineTest, DetectionKeepsTheFirst36ContactsOfAFullTable) {
  auto engine = MakeEngine();
  sim3d& e = *engine;
  Quiet(e);
  // All nine balls in one corner, each past three walls, all overlapping: 27 + 36 contacts.
  for (int i = 1; i <= 9; ++i) Place(e, i, 5, 5, 5 + 0.5f * i, -1, -1, -1);
  const float place_radius = e.place_radius;
  EXPECT_EQ(e.geometrie(), 1);
  EXPECT_EQ(e.n_contacts, 36);
  EXPECT_EQ(e.contacts[0].ball, 0);
  EXPECT_EQ(e.contacts[0].partner, 0);
  EXPECT_EQ(e.place_radius, place_radius);  // the field after the table is untouched
  // Ball 1: three walls, then its 8 overlaps; ball 2: three walls and 7 overlaps; ...
  EXPECT_EQ(e.contacts[4].ball, 1);
  EXPECT_EQ(e.contacts[4].partner, 2);
  EXPECT_EQ(e.contacts[12].ball, 2);
  EXPECT_EQ(e.contacts[12].partner, sim3d::left_wall);
  EXPECT_EQ(e.contacts[36].ball, 4);
}
