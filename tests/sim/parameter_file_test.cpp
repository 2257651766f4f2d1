// Parameter files: the exact text the writer produces, the round trip, "0" as "not given", and the
// reader's handling of hand-edited files with bad values.
#include <gtest/gtest.h>

#include <cmath>
#include <cstdarg>
#include <cstdio>
#include <cstring>
#include <string>

#include "engine_test.h"
#include "parameter_values.h"
#include "random.h"

namespace {

class ParameterFileTest : public EngineTest {
 protected:
  void SetUp() override {
    EngineTest::SetUp();
    engine = MakeEngine();
    file = (Root / "state.tmr").string();
  }
  // The engine saves its final state on destruction, before the scratch folder goes.
  void TearDown() override {
    engine.reset();
    EngineTest::TearDown();
  }

  // A known state: every value distinct and exactly representable in "%f".
  void KnownState(sim3d& e) {
    e.gravitation_constant = 20.0f;
    e.ball_density = 0.001f;
    for (int i = 1; i <= 9; ++i) {
      body& b = e.bodies[i];
      b.vx = 0.25f * i;
      b.vy = -1.5f;
      b.vz = 0.125f;
      b.x = 100.0f + 80.0f * i;
      b.y = 200.5f;
      b.z = 300.0f + 10.0f * i;
      b.radius = 5.0f + i;
      b.mass = 12.5f * i;
      b.color = TColor(i, 20 * i, 255 - i);
    }
  }

  // Writes a parameter file with the given lines in the section.
  void WriteFile(const std::string& lines) { WriteText(file, "[tes-mar_ScreenSaver]\n" + lines); }

  std::unique_ptr<sim3d> engine;
  std::string file;
};

std::string Line(const char* format, ...) __attribute__((format(printf, 1, 2)));
std::string Line(const char* format, ...) {
  char text[400];
  va_list arguments;
  va_start(arguments, format);
  std::vsnprintf(text, sizeof text, format, arguments);
  va_end(arguments);
  return text;
}

bool AllFinite(const sim3d& e) {
  for (int i = 1; i <= 9; ++i) {
    const body& b = e.bodies[i];
    for (float v : {b.x, b.y, b.z, b.vx, b.vy, b.vz, b.mass, b.radius})
      if (!std::isfinite(v)) return false;
  }
  return std::isfinite(e.gravitation_constant) && std::isfinite(e.ball_density);
}

}  // namespace

TEST_F(ParameterFileTest, WriterTextHasTheKeysInOrderWithPrintfValues) {
  KnownState(*engine);
  engine->set_pars(file.c_str());
  std::string expected =
      "[tes-mar_ScreenSaver]\n"
      "gravitation_constant=20.000000\n"
      "ball_density=0.001000\n"
      "ball_N1_speed_x_y_z=0.250000 -1.500000 0.125000\n"
      "ball_N1_coordinates_x_y_z=180.000000 200.500000 310.000000\n"
      "ball_N1_radius=6.000000\n"
      "ball_N1_mass=12.500000\n"
      "ball_N1_red_green_blue_0-255=1 20 254\n";
  for (int i = 2; i <= 9; ++i) {
    const body& b = engine->bodies[i];
    expected += Line("ball_N%d_speed_x_y_z=%f %f %f\n", i, b.vx, b.vy, b.vz);
    expected += Line("ball_N%d_coordinates_x_y_z=%f %f %f\n", i, b.x, b.y, b.z);
    expected += Line("ball_N%d_radius=%f\n", i, b.radius);
    expected += Line("ball_N%d_mass=%f\n", i, b.mass);
    expected += Line("ball_N%d_red_green_blue_0-255=%d %d %d\n", i, i, 20 * i, 255 - i);
  }
  std::string text = ReadText(file);
  std::erase(text, '\r');  // the Windows profile service writes CRLF
  EXPECT_EQ(text, expected);
}

TEST_F(ParameterFileTest, RoundTripRestoresEveryValueWhoseTextIsNotZero) {
  KnownState(*engine);
  engine->gravitation_constant = 7.5f;
  engine->ball_density = 0.002f;
  engine->bodies[2].vy = 0.0f;           // "0": the reader keeps the generated 0
  engine->bodies[3].x = 0.0000004f;      // written as 0.000000: ball 3 is placed at random
  engine->set_pars(file.c_str());

  auto other = MakeEngine();
  other->get_pars(file.c_str());
  EXPECT_EQ(other->gravitation_constant, 7.5f);
  EXPECT_EQ(other->ball_density, 0.002f);
  for (int i = 1; i <= 9; ++i) {
    const body& a = engine->bodies[i];
    const body& b = other->bodies[i];
    EXPECT_EQ(b.vx, a.vx);
    EXPECT_EQ(b.vz, a.vz);
    EXPECT_EQ(b.radius, a.radius);
    EXPECT_EQ(b.mass, a.mass);
    EXPECT_EQ(b.color, a.color);
    if (i != 3) {
      EXPECT_EQ(b.x, a.x) << i;
    }
  }
  EXPECT_EQ(other->bodies[2].vy, 0.0f);
  const body& placed = other->bodies[3];
  EXPECT_GE(placed.x, placed.radius + 5);
  EXPECT_LE(placed.x, 1023 - placed.radius - 5);
  EXPECT_NE(placed.y, 200.5f);
}

TEST_F(ParameterFileTest, ZeroMeansNotGiven) {
  Quiet(*engine);
  engine->gravitation_constant = 33.0f;
  for (int i = 1; i <= 9; ++i) engine->bodies[i].vx = 4.0f;
  WriteFile(
      "gravitation_constant=0\n"
      "ball_N3_speed_x_y_z=0 2.5 0\n"
      "ball_N3_radius=12\n"
      "ball_N4_coordinates_x_y_z=100 0 300\n"
      "ball_N4_radius=12\n"
      "ball_N4_mass=0\n"
      "ball_N5_red_green_blue_0-255=0 0 0\n"
      "ball_N6_red_green_blue_0-255=256 0 0\n"
      "ball_N7_red_green_blue_0-255=-1 0 0\n"
      "ball_N10_radius=30\n");
  engine->get_pars(file.c_str());
  sim3d& e = *engine;
  EXPECT_EQ(e.gravitation_constant, 33.0f);
  EXPECT_EQ(e.bodies[3].vx, 4.0f);
  EXPECT_EQ(e.bodies[3].vy, 2.5f);
  EXPECT_EQ(e.bodies[3].radius, 12.0f);
  // "100 0 300" is no full position: placed at random with the radius as margin.
  EXPECT_EQ(e.place_radius, 10.0f);  // the last ball placed at random had radius 10
  EXPECT_GE(e.bodies[4].x, 17.0f);
  EXPECT_LE(e.bodies[4].y, 767.0f - 17.0f);
  EXPECT_FALSE(e.bodies[4].x == 100.0f && e.bodies[4].z == 300.0f);
  EXPECT_NEAR(e.bodies[4].mass, 12 * 12 * 12 * 4 * 0.001 * test_pi / 3, 1e-5);
  EXPECT_EQ(e.bodies[5].color, TColor(50, 100, 125));  // kept
  EXPECT_EQ(e.bodies[6].color, TColor(0, 0, 0));       // low byte of 256
  EXPECT_EQ(e.bodies[7].color, TColor(255, 0, 0));
  // A file without keys still places every ball afresh and recomputes its mass.
  for (int i = 1; i <= 9; ++i) EXPECT_GT(e.bodies[i].mass, 0.0f) << i;

  // An empty name reads nothing; a missing file reads as one without keys.
  Quiet(e);
  e.get_pars("");
  EXPECT_EQ(e.bodies[1].x, 200.0f);
  EXPECT_EQ(e.bodies[1].mass, 0.0f);
  e.get_pars((Root / "missing.tmr").string().c_str());
  EXPECT_NE(e.bodies[1].x, 200.0f);
  EXPECT_NEAR(e.bodies[1].mass, 1000 * 4 * 0.001 * test_pi / 3, 1e-5);
  EXPECT_EQ(e.bodies[1].color, TColor(10, 20, 25));
}

TEST_F(ParameterFileTest, BadValuesNeverReachTheEngine) {
  Quiet(*engine);
  sim3d& e = *engine;
  e.gravitation_constant = 20.0f;
  std::string binary("ball_N9_speed_x_y_z=\x01\xff\x80 3", 25);
  WriteFile(
      "gravitation_constant=nan\n"
      "ball_density=-0.5\n"
      "ball_N1_speed_x_y_z=inf -1e39 7\n"
      "ball_N1_radius=-5\n"
      "ball_N1_mass=-3\n"
      "ball_N2_radius=1e30\n"
      "ball_N2_coordinates_x_y_z=nan 300 300\n"
      "ball_N2_red_green_blue_0-255=999 -3 x\n"
      "ball_N3_speed_x_y_z=fast 1 2\n"
      "ball_N3_radius=" + std::string(10000, '7') + "\n"
      "ball_N4_coordinates_x_y_z=5000 300 300\n"  // outside the box
      "ball_N5_coordinates_x_y_z=15 300 300\n"    // reaching past the left wall
      "ball_N5_speed_x_y_z=2000 1023 -0.5\n"      // faster than the box is wide
      "ball_N6_mass=1e6\n"
      "ball_N7_red_green_blue_0-255=99999999999 1 1\n" +
      binary + "\n");
  e.get_pars(file.c_str());
  EXPECT_TRUE(AllFinite(e));
  EXPECT_EQ(e.gravitation_constant, 20.0f);
  EXPECT_EQ(e.ball_density, 0.001f);
  EXPECT_EQ(e.bodies[1].vx, 0.0f);
  EXPECT_EQ(e.bodies[1].vy, 0.0f);
  EXPECT_EQ(e.bodies[1].vz, 7.0f);
  EXPECT_EQ(e.bodies[1].radius, 10.0f);
  EXPECT_GT(e.bodies[1].mass, 0.0f);
  EXPECT_EQ(e.bodies[2].radius, 10.0f);
  EXPECT_NE(e.bodies[2].y, 300.0f);
  EXPECT_EQ(e.bodies[2].color, TColor(999 & 0xFF, -3 & 0xFF, 0));
  EXPECT_EQ(e.bodies[3].vy, 0.0f);  // reading stops at the first word
  EXPECT_EQ(e.bodies[3].radius, 10.0f);
  EXPECT_LE(e.bodies[4].x, 1023.0f - 15.0f);
  EXPECT_GE(e.bodies[5].x, 15.0f);
  EXPECT_EQ(e.bodies[5].vx, 0.0f);
  EXPECT_EQ(e.bodies[5].vy, 1023.0f);
  EXPECT_EQ(e.bodies[5].vz, -0.5f);
  EXPECT_NE(e.bodies[6].mass, 1e6f);
  EXPECT_EQ(e.bodies[7].color, TColor(0, 1, 1));
  EXPECT_EQ(e.bodies[9].vy, 0.0f);
  for (int i = 1; i <= 9; ++i) EXPECT_EQ(e.frame_reflekt(i, 0), 0) << "ball " << i << " past a wall";
}

TEST_F(ParameterFileTest, NamesAreUsedUnchangedAndTheEmptyNameIsTheDefaultFile) {
  char name[] = "own.tmr";
  engine->set_pars(name);
  EXPECT_STREQ(name, "own.tmr");
  EXPECT_TRUE(std::filesystem::exists(FilesFolder() / "own.tmr"));
  std::filesystem::remove(DefaultFile());
  engine->set_pars("");
  EXPECT_TRUE(std::filesystem::exists(DefaultFile()));
}

TEST_F(ParameterFileTest, ANameFarLongerThanAnyPathIsHandledWithoutHarm) {
  const std::string longName(5000, 'n');
  engine->set_pars(longName.c_str());
  engine->get_pars(longName.c_str());
  EXPECT_TRUE(AllFinite(*engine));
}

TEST(ParameterValues, ReadLikeScanfButStrictAboutNonFiniteNumbers) {
  float reals[3];
  EXPECT_EQ(read_reals("  1.5\t-2e2 +3 trailing", reals, 3), 3);
  EXPECT_EQ(reals[0], 1.5f);
  EXPECT_EQ(reals[1], -200.0f);
  EXPECT_EQ(reals[2], 3.0f);
  EXPECT_EQ(read_reals("4 x 6", reals, 3), 1);
  EXPECT_EQ(reals[1], 0.0f);
  EXPECT_EQ(reals[2], 0.0f);
  EXPECT_EQ(read_reals("1e39 nan -inf", reals, 3), 3);
  EXPECT_EQ(reals[0] + reals[1] + reals[2], 0.0f);
  EXPECT_EQ(read_reals("", reals, 1), 0);
  int whole[3];
  EXPECT_EQ(read_integers("12.7 -3 99999999999", whole, 3), 1);  // reading stops at ".7", as scanf does
  EXPECT_EQ(whole[0], 12);
  EXPECT_EQ(whole[1], 0);
  EXPECT_EQ(read_integers(" 1 -3 99999999999", whole, 3), 3);
  EXPECT_EQ(whole[1], -3);
  EXPECT_EQ(whole[2], 0);

  char text[12] = "";
  std::size_t length = append_real(text, sizeof text, 0, -0.0000004);
  EXPECT_STREQ(text, "-0.000000");
  length = append_real(text, sizeof text, length, 123456.0);  // does not fit: left off
  EXPECT_STREQ(text, "-0.000000");
  EXPECT_EQ(length, 9u);
}
