// Soak: many random starts and extreme parameter files stepped for a long time. The engine must
// never crash or hang, raise nothing but the math-error text, and never draw from a non-finite state.
// TESMAR_SOAK_LONG=1 runs 100 starts of 100,000 steps instead of 20 of 50,000.
#include <gtest/gtest.h>

#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <string>

#include "phys52.h"
#include "random.h"
#include "recording_dc.h"

namespace {

namespace fs = std::filesystem;

struct SoakFigures {
  long steps = 0;
  long math_errors = 0;
  long non_finite_states = 0;
  long outside_box = 0;
  long draws_from_non_finite = 0;
};

// Counts the drawing calls; the test checks that none happen while the state is not finite.
class CountingDC : public NullDC {
 public:
  long calls = 0;
  bool Ellipse(int, int, int, int) override { return ++calls, true; }
  bool Polygon(const TPoint*, int) override { return ++calls, true; }
};

bool state_finite(const sim3d& sim) {
  for (int i = 1; i <= sim.n_balls; ++i) {
    const body& b = sim.bodies[i];
    const float v[] = {b.x, b.y, b.z, b.theta, b.phi, b.vx, b.vy, b.vz, b.dtheta, b.dphi, b.mass, b.radius};
    for (float f : v)
      if (!std::isfinite(f)) return false;
  }
  return true;
}

bool ball_outside(const sim3d& sim) {
  for (int i = 1; i <= sim.n_balls; ++i) {
    const body& b = sim.bodies[i];
    if (!(b.x >= sim.leftframe && b.x <= sim.rightframe && b.y >= sim.topframe && b.y <= sim.bottomframe &&
          b.z >= sim.frontframe && b.z <= sim.rearframe))
      return true;
  }
  return false;
}

void step_for(sim3d& sim, long steps, SoakFigures& figures) {
  CountingDC dc;
  for (long s = 0; s < steps; ++s) {
    const bool finite_before = state_finite(sim);
    const long calls_before = dc.calls;
    try {
      sim.run(dc);
    } catch (const char* text) {
      ASSERT_STREQ(text, "matherror occured");
      ++figures.math_errors;
    }
    ++figures.steps;
    if (!finite_before && dc.calls != calls_before) ++figures.draws_from_non_finite;
    if (!state_finite(sim)) ++figures.non_finite_states;
    else if (ball_outside(sim)) ++figures.outside_box;
  }
}

void report(const char* what, const SoakFigures& f) {
  std::printf("soak %s: %ld steps, %ld math errors, %ld non-finite states, %ld states with a ball outside the box\n",
              what, f.steps, f.math_errors, f.non_finite_states, f.outside_box);
  ::testing::Test::RecordProperty("steps", std::to_string(f.steps));
  ::testing::Test::RecordProperty("math_errors", std::to_string(f.math_errors));
  ::testing::Test::RecordProperty("non_finite_states", std::to_string(f.non_finite_states));
  ::testing::Test::RecordProperty("outside_box", std::to_string(f.outside_box));
}

class Soak : public ::testing::Test {
 protected:
  void SetUp() override {
    folder = fs::temp_directory_path() / ("tesmar-soak-" + std::to_string(::testing::UnitTest::GetInstance()->random_seed()) +
                                         "-" + ::testing::UnitTest::GetInstance()->current_test_info()->name());
    fs::create_directories(folder / "config");
    const std::string config = (folder / "config").string();
#ifdef _WIN32
    _putenv_s("XDG_CONFIG_HOME", config.c_str());
#else
    setenv("XDG_CONFIG_HOME", config.c_str(), 1);
#endif
    previous = fs::current_path();
    fs::current_path(folder);
  }
  void TearDown() override {
    fs::current_path(previous);
    fs::remove_all(folder);
    clear_fixed_random_seed();
  }
  fs::path folder;
  fs::path previous;
};

bool long_run() {
  const char* v = std::getenv("TESMAR_SOAK_LONG");
  return v && *v && std::string(v) != "0";
}

TEST_F(Soak, RandomStartsStayFiniteAndInsideTheBox) {
  const int starts = long_run() ? 100 : 20;
  const long steps = long_run() ? 100000 : 50000;
  SoakFigures figures;
  for (int seed = 1; seed <= starts; ++seed) {
    set_fixed_random_seed(static_cast<unsigned>(seed) * 7919u);
    sim3d sim(0, 1023, 0, 767, 0, 1000, "");
    step_for(sim, steps, figures);
  }
  report("random starts", figures);
  EXPECT_EQ(figures.draws_from_non_finite, 0);
  EXPECT_EQ(figures.non_finite_states, 0);
}

TEST_F(Soak, ExtremeParameterFilesNeverCrashOrDrawFromNonFiniteStates) {
  const char* extremes[] = {
      "ball_N1_radius=1000000\nball_N2_radius=1000000\n",
      "ball_N1_mass=1e30\nball_N2_mass=1e30\nball_N3_mass=1e30\n",
      "ball_N1_speed_x_y_z=1e20 1e20 1e20\nball_N2_speed_x_y_z=-1e20 1e20 -1e20\n",
      "gravitation_constant=1e30\n",
      "ball_density=1e30\n",
  };
  SoakFigures figures;
  int index = 0;
  for (const char* extreme : extremes) {
    const std::string name = "extreme" + std::to_string(++index) + ".tmr";
    std::ofstream file(name);
    file << "[tes-mar_ScreenSaver]\n" << extreme;
    // All nine balls at one point, inside the box.
    for (int i = 1; i <= 9; ++i) file << "ball_N" << i << "_coordinates_x_y_z=500 400 500\n";
    file.close();
    set_fixed_random_seed(static_cast<unsigned>(index));
    sim3d sim(0, 1023, 0, 767, 0, 1000, name.c_str());
    step_for(sim, 20000, figures);
  }
  report("extreme parameter files", figures);
  EXPECT_EQ(figures.draws_from_non_finite, 0);
}

}  // namespace
