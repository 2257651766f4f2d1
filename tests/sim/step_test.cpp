// One simulation step: the full advance, the choice of the earliest contact, the wind-back, the
// resolution, painting, and gravitation only in steps without a collision.
#include <gtest/gtest.h>

#include <cmath>

#include "engine_test.h"
#include "recording_dc.h"

namespace {

class StepTest : public EngineTest {
 protected:
  void SetUp() override {
    EngineTest::SetUp();
    engine = MakeEngine();
    Quiet(*engine);
  }
  // The engine saves its final state on destruction, before the scratch folder goes.
  void TearDown() override {
    engine.reset();
    EngineTest::TearDown();
  }
  std::unique_ptr<sim3d> engine;
  NullDC dc;
};

}  // namespace

TEST_F(StepTest, WithoutContactsEveryBallMovesAFullUnitThenFeelsGravitation) {
  sim3d& e = *engine;
  e.gravitation_constant = 20.0f;
  Place(e, 1, 400, 300, 500, 1, 0, 0);
  Place(e, 2, 601, 300, 500);
  e.bodies[1].mass = e.bodies[2].mass = 50.0f;
  Place(e, 9, 800, 610, 500, 0.5f, -0.25f, 2);
  RecordingDC recording;
  e.run(recording);
  EXPECT_FLOAT_EQ(e.bodies[1].x, 401.0f);
  EXPECT_FLOAT_EQ(e.bodies[9].z, 502.0f);
  // The pull is taken at the new positions, 200 apart: 20 * 50 / 200^2.
  EXPECT_FLOAT_EQ(e.bodies[1].vx, 1.025f);
  EXPECT_FLOAT_EQ(e.bodies[2].vx, -0.025f);
  EXPECT_EQ(e.n_contacts, 0);
  EXPECT_EQ(e.collided, 0);
  EXPECT_EQ(recording.Count(RecordedCall::Kind::Ellipse), 9);
}

TEST_F(StepTest, OneWallContactWindsTheOthersBackAndSkipsGravitation) {
  sim3d& e = *engine;
  e.gravitation_constant = 20.0f;
  e.bodies[3].mass = 50.0f;
  Place(e, 1, 10.5f, 380, 300, -1, 0, 0);  // 0.5 past the left wall after the advance
  Place(e, 2, 500, 150, 500, 0, 1, 0);
  e.run(dc);
  ASSERT_EQ(e.n_contacts, 1);
  EXPECT_EQ(e.contact_order[1], 1);
  EXPECT_FLOAT_EQ(e.bodies[2].y, 150.5f);
  EXPECT_FLOAT_EQ(e.bodies[1].x, 10.0005f);
  EXPECT_FLOAT_EQ(e.bodies[1].vx, 1.0f);
  EXPECT_EQ(e.bodies[2].vx, 0.0f);  // no gravitation in this step
  EXPECT_EQ(e.bodies[2].vy, 1.0f);
  EXPECT_EQ(e.collided, 0);

  // The next step has no contact and applies gravitation again.
  e.run(dc);
  EXPECT_EQ(e.n_contacts, 0);
  EXPECT_GT(e.bodies[2].vx, 0.0f);
}

TEST_F(StepTest, OnlyTheContactThatBeganFirstIsResolved) {
  sim3d& e = *engine;
  Place(e, 1, 10.8f, 150, 500, -1, 0, 0);  // t = 0.2
  Place(e, 2, 10.3f, 380, 500, -1, 0, 0);  // t = 0.7
  Place(e, 3, 10.6f, 610, 500, -1, 0, 0);  // t = 0.4
  Place(e, 4, 200, 380, 500, 0, 1, 0);
  e.run(dc);
  ASSERT_EQ(e.n_contacts, 3);
  EXPECT_EQ(e.contact_order[3], 2);
  EXPECT_NEAR(e.bodies[4].y, 380.3f, 1e-4);
  EXPECT_NEAR(e.bodies[1].x, 10.5f, 1e-4);
  EXPECT_NEAR(e.bodies[3].x, 10.3f, 1e-4);
  EXPECT_NEAR(e.bodies[2].x, 10.0007f, 1e-4);
  EXPECT_EQ(e.bodies[2].vx, 1.0f);
  EXPECT_EQ(e.bodies[1].vx, -1.0f);
  EXPECT_EQ(e.bodies[3].vx, -1.0f);
  // Slot 0 of both tables still names no ball.
  EXPECT_EQ(e.contacts[0].ball, 0);
  EXPECT_EQ(e.contacts[0].partner, 0);
  EXPECT_EQ(e.contact_order[0], 0);
}

TEST_F(StepTest, OfEqualTimesTheContactRecordedFirstIsResolved) {
  sim3d& e = *engine;
  Place(e, 1, 10.5f, 380, 500, -1, 0, 0);    // left wall, t = 0.5
  Place(e, 2, 1012.5f, 380, 500, 1, 0, 0);   // right wall, t = 0.5
  e.run(dc);
  ASSERT_EQ(e.n_contacts, 2);
  EXPECT_EQ(e.contact_order[1], 2);
  EXPECT_EQ(e.contact_order[2], 1);
  EXPECT_EQ(e.bodies[1].vx, 1.0f);
  EXPECT_EQ(e.bodies[2].vx, 1.0f);
  EXPECT_FLOAT_EQ(e.bodies[2].x, 1013.0f);
}

TEST_F(StepTest, ASlowBallDeepPastAWallWindsTheOthersBackMoreThanAUnit) {
  sim3d& e = *engine;
  Place(e, 1, 9.6f, 380, 500, -0.1f, 0, 0);  // t = 5 after the advance
  Place(e, 2, 500, 150, 500, 0, 1, 0);
  e.run(dc);
  EXPECT_NEAR(e.contacts[1].t, 5.0f, 1e-4);
  EXPECT_NEAR(e.bodies[2].y, 146.0f, 1e-3);
}

TEST_F(StepTest, AMathErrorEndsTheStepAndTheNextStepStartsClean) {
  sim3d& e = *engine;
  e.gravitation_constant = 20.0f;
  e.bodies[3].mass = 50.0f;
  Place(e, 1, 10.5f, 380, 300, -1, 0, 0);  // a collision in this step
  e.bodies[4].theta = INFINITY;            // whose marking cannot be drawn
  try {
    e.run(dc);
    FAIL() << "no exception";
  } catch (const char* text) {
    EXPECT_STREQ(text, "matherror occured");
  }
  EXPECT_EQ(e.bodies[2].vx, 0.0f);  // the step ended before gravitation

  e.bodies[4].theta = 0.0f;
  Place(e, 1, 400, 300, 500);
  e.run(dc);
  EXPECT_EQ(e.n_contacts, 0);
  EXPECT_NE(e.bodies[2].vx, 0.0f);  // gravitation applied: no collision flag left over
}
