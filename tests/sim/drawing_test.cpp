// The ball drawing as recorded calls: projection figures, dimming, the rim, the marking polygon,
// culling, and the painter's order; and the plane geometry behind them.
#include <gtest/gtest.h>

#include <cmath>
#include <limits>

#include "engine_test.h"
#include "random.h"
#include "recording_dc.h"

namespace {

using Kind = RecordedCall::Kind;

class DrawingTest : public EngineTest {
 protected:
  void SetUp() override {
    EngineTest::SetUp();
    engine = MakeEngine();
  }
  // The engine saves its final state on destruction, before the scratch folder goes.
  void TearDown() override {
    engine.reset();
    EngineTest::TearDown();
  }
  // Draws one ball of radius r at (x, y, z) and returns the log.
  RecordingDC Draw(float x, float y, float z, float r, TColor color, float theta = 0, float phi = 0) {
    RecordingDC dc;
    engine->draw_body(x, y, z, theta, phi, r, color, 1000, dc);
    return dc;
  }
  std::unique_ptr<sim3d> engine;
};

// The centre of a recorded ellipse box.
double CentreX(const RecordedCall& call) { return (call.box.left + call.box.right) / 2.0; }
double CentreY(const RecordedCall& call) { return (call.box.top + call.box.bottom) / 2.0; }

}  // namespace

TEST_F(DrawingTest, AxisBallIsADimmedDiscWithARimAndAFortyCornerMarking) {
  const RecordingDC dc = Draw(511, 383, 500, 50, TColor(201, 100, 7), static_cast<float>(test_pi), 0);
  ASSERT_EQ(dc.Calls.size(), 7u) << dc.Describe();
  const std::vector<Kind> kinds = {Kind::SelectPen, Kind::SelectBrush, Kind::Ellipse, Kind::RestoreBrush,
                                   Kind::SelectBrush, Kind::Polygon, Kind::RestoreBrush};
  for (size_t k = 0; k < kinds.size(); ++k) EXPECT_EQ(dc.Calls[k].kind, kinds[k]) << dc.Describe();

  // Apparent radius 33.31: the box from 511 - 33.31 to 511 + 33.31, truncated.
  EXPECT_EQ(dc.Calls[2].box, TRect(477, 349, 544, 416));
  const RecordedCall& pen = dc.Calls[0];
  EXPECT_EQ(pen.width, 1);
  EXPECT_EQ(pen.style, 0);
  // z = 500 dims by 0.6 (in single precision a little above): rim channels below ceil(153), fill
  // channels ceil(c * f), so 100 gives 61.
  EXPECT_LT(pen.color.Red(), 153);
  EXPECT_LT(pen.color.Green(), 153);
  EXPECT_LT(pen.color.Blue(), 153);
  EXPECT_EQ(dc.Calls[1].color, TColor(121, 61, 5));
  // The marking: the complement (54, 155, 248) dimmed and truncated.
  EXPECT_EQ(dc.Calls[4].color, TColor(32, 93, 148));
  // With theta = pi it faces the eye: a near-circle of radius about 8.64 about the centre.
  const std::vector<TPoint>& corners = dc.Calls[5].points;
  ASSERT_EQ(corners.size(), 40u);
  for (const TPoint& corner : corners) {
    const double distance = std::hypot(corner.x - 511.0, corner.y - 383.0);
    EXPECT_GT(distance, 7.0) << corner.x << ',' << corner.y;
    EXPECT_LT(distance, 10.5) << corner.x << ',' << corner.y;
  }
}

TEST_F(DrawingTest, DimmingFiguresAndRimRanges) {
  set_fixed_random_seed(3);
  randomize();
  // f = 0.5 at z = 625: e = 128, channel 201 -> ceil(100.5) = 101.
  // f = 0.2 (a little above) at the rear: e = 52, channel 200 -> 41.
  // Undimmed: e = 255, rims 0..254.
  struct Case {
    float z;
    int dim;
    int expectedFill;
    int rimRange;
    int channel;
  } cases[] = {{625, 1, 101, 128, 201}, {1000, 1, 41, 52, 200}, {625, 0, 201, 255, 201}};
  for (const Case& c : cases) {
    engine->dim_on = c.dim;
    engine->spin_on = 0;
    int highest = 0;
    for (int k = 0; k < 3000; ++k) {
      const RecordingDC dc = Draw(511, 383, c.z, 20, TColor(c.channel, c.channel, c.channel));
      ASSERT_EQ(dc.Calls.size(), 4u);  // no marking with spinning off
      EXPECT_EQ(dc.Calls[1].color.Red(), c.expectedFill);
      const TColor rim = dc.Calls[0].color;
      highest = std::max({highest, rim.Red(), rim.Green(), rim.Blue()});
    }
    EXPECT_EQ(highest, c.rimRange - 1) << "z " << c.z;
  }
}

TEST_F(DrawingTest, MarkingColourVisibilityAndSize) {
  engine->dim_on = 0;
  const RecordingDC red = Draw(511, 383, 500, 50, TColor(255, 0, 0), static_cast<float>(test_pi), 0);
  ASSERT_EQ(red.Count(Kind::Polygon), 1);
  EXPECT_EQ(red.OfKind(Kind::SelectBrush)[1].color, TColor(0, 255, 255));
  // Pointing away from the eye: hidden.
  EXPECT_EQ(Draw(511, 383, 500, 50, TColor(255, 0, 0), 0, 0).Count(Kind::Polygon), 0);
  // A tiny ball's marking is half a pixel wide or less.
  EXPECT_EQ(Draw(511, 383, 900, 1.5f, TColor(255, 0, 0), static_cast<float>(test_pi), 0).Count(Kind::Polygon), 0);
  engine->spin_on = 0;
  EXPECT_EQ(Draw(511, 383, 500, 50, TColor(255, 0, 0), static_cast<float>(test_pi), 0).Count(Kind::Polygon), 0);
}

TEST_F(DrawingTest, ProjectionAndCulling) {
  engine->spin_on = 0;
  // Near the front face a point keeps its place; the rear face's corner shows at half scale.
  const RecordingDC front = Draw(100, 200, 0.01f, 5, TColor(1, 2, 3));
  ASSERT_EQ(front.Count(Kind::Ellipse), 1);
  EXPECT_NEAR(CentreX(front.OfKind(Kind::Ellipse)[0]), 100.0, 1.0);
  EXPECT_NEAR(CentreY(front.OfKind(Kind::Ellipse)[0]), 200.0, 1.0);
  const RecordingDC rear = Draw(0, 0, 1000, 2, TColor(1, 2, 3));
  ASSERT_EQ(rear.Count(Kind::Ellipse), 1);
  EXPECT_NEAR(CentreX(rear.OfKind(Kind::Ellipse)[0]), 255.5, 1.0);
  EXPECT_NEAR(CentreY(rear.OfKind(Kind::Ellipse)[0]), 191.5, 1.0);

  // Not in front of the box, or wholly off the screen: nothing at all.
  EXPECT_TRUE(Draw(511, 383, 0, 10, TColor()).Calls.empty());
  EXPECT_TRUE(Draw(511, 383, -5, 10, TColor()).Calls.empty());
  EXPECT_TRUE(Draw(-3000, 383, 10, 10, TColor()).Calls.empty());
  EXPECT_TRUE(Draw(511, 5000, 10, 10, TColor()).Calls.empty());
  EXPECT_TRUE(Draw(std::nanf(""), 383, 10, 10, TColor()).Calls.empty());
}

TEST_F(DrawingTest, EllipseOutlineReplacesZerosAndRunsTipToTip) {
  auto corners = [&](float a1, float a2, float ang) {
    RecordingDC dc;
    engine->draw_ellipse(300, 200, a1, a2, 5, ang, TColor(9, 8, 7), dc);
    EXPECT_EQ(dc.Calls.size(), 3u);
    EXPECT_EQ(dc.Calls[0].color, TColor(9, 8, 7));
    return dc.OfKind(Kind::Polygon).at(0).points;
  };
  EXPECT_EQ(corners(0, 12, 0.3f), corners(1, 12, 0.3f));
  EXPECT_EQ(corners(6, 12, 0), corners(6, 12, 0.001f));
  const std::vector<TPoint> outline = corners(6, 12, 0.001f);
  ASSERT_EQ(outline.size(), 40u);
  EXPECT_EQ(outline[0], TPoint(295, 200));   // the near tip at -a1
  EXPECT_EQ(outline[20], TPoint(312, 201));  // the far tip at +a2
  for (int i = 1; i < 20; ++i) EXPECT_GE(outline[i].y, 200) << i;  // one side of the axis ...
  for (int i = 21; i < 40; ++i) EXPECT_LE(outline[i].y, 201) << i;  // ... then the other
}

TEST_F(DrawingTest, PainterDrawsFarToNearAndEqualDepthsInSortOrder) {
  Quiet(*engine);
  engine->spin_on = 0;
  engine->dim_on = 0;
  for (int i = 1; i <= 9; ++i) engine->bodies[i].z = 100.0f * i;
  RecordingDC dc;
  engine->paint(dc);
  std::vector<TRect> boxes;
  for (const RecordedCall& call : dc.OfKind(Kind::SelectBrush)) boxes.push_back(TRect(call.color.Red(), 0, 0, 0));
  ASSERT_EQ(boxes.size(), 9u);
  for (int k = 0; k < 9; ++k) EXPECT_EQ(boxes[k].left, 10 * (9 - k));  // ball 9 (farthest) first

  for (int i = 1; i <= 9; ++i) engine->bodies[i].z = 500.0f;
  RecordingDC equal;
  engine->paint(equal);
  std::vector<int> order;
  for (const RecordedCall& call : equal.OfKind(Kind::SelectBrush)) order.push_back(call.color.Red() / 10);
  EXPECT_EQ(order, (std::vector<int>{1, 9, 8, 7, 6, 5, 4, 3, 2}));

  engine->bodies[5].z = -1.0f;  // skipped, the others unaffected
  RecordingDC skipped;
  engine->paint(skipped);
  EXPECT_EQ(skipped.Count(Kind::Ellipse), 8);

  for (int i = 1; i <= 9; ++i) engine->bodies[i].z = -1.0f;
  RecordingDC none;
  engine->paint(none);
  EXPECT_TRUE(none.Calls.empty());
}

TEST_F(DrawingTest, PlaneGeometry) {
  sim3d& e = *engine;
  EXPECT_FLOAT_EQ(e.angle(1, 0), 0.0f);
  EXPECT_FLOAT_EQ(e.angle(0, 1), static_cast<float>(test_pi / 2));
  EXPECT_FLOAT_EQ(e.angle(-1, 0), static_cast<float>(test_pi));
  EXPECT_FLOAT_EQ(e.angle(0, -1), static_cast<float>(3 * test_pi / 2));
  EXPECT_FLOAT_EQ(e.angle(0, 0), static_cast<float>(test_pi));
  EXPECT_EQ(e.xn(0, 0, 1.3f), 0.0f);
  EXPECT_EQ(e.yn(0, 0, 1.3f), 0.0f);
  EXPECT_NEAR(e.xn(3, 0, static_cast<float>(test_pi / 2)), 0.0f, 1e-6);  // clockwise on the screen
  EXPECT_NEAR(e.yn(3, 0, static_cast<float>(test_pi / 2)), 3.0f, 1e-6);
  EXPECT_EQ(e.y1(0.5f, 1, 1), 0.0f);
  EXPECT_EQ(e.y1(0, 10, 5), 5.0f);
  EXPECT_EQ(e.y1(10, 10, 5), 0.0f);
  EXPECT_FLOAT_EQ(e.sfi(3, 4, static_cast<float>(test_pi / 2)), 5.0f);
  // Outside [-1, 1] the half-axes are exactly 1; an obtuse angle makes r_fern negative.
  EXPECT_EQ(e.r_nah(1, 100, 1, 0.5f), 1.0f);
  EXPECT_EQ(e.r_fern(1, 100, 1, 0.5f), 1.0f);
  EXPECT_EQ(e.r_fern(0, 0, 1, 0.5f), 1.0f);
  EXPECT_LT(e.r_fern(10, 10, 31.12f, 1.0f), -10.0f);
  // Huge half-lengths, as near the limb of a ball, stay finite and raise nothing.
  EXPECT_TRUE(std::isfinite(e.y1(1e15f, 2e15f, 5)));
  RecordingDC dc;
  e.draw_ellipse(300, 200, 1e16f, 1e16f, 5, 0.5f, TColor(), dc);
  EXPECT_EQ(dc.Count(Kind::Polygon), 1);
}
