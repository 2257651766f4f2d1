// Fuzzes the parameter-file reader with any text as the file: the state it gives has finite values
// only, and a few steps from it run without a crash (a math error is the one exception allowed).
#include <cmath>
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <string>
#include <string_view>

#include "drawing.h"
#include "phys52.h"
#include "profile.h"
#include "random.h"
#include "recording_dc.h"

namespace {
void check(bool condition) {
  if (!condition) std::abort();
}

bool finite(const body& b) {
  const float values[] = {b.x, b.y, b.z, b.theta, b.phi, b.vx, b.vy, b.vz, b.dtheta, b.dphi, b.mass, b.radius};
  for (float v : values)
    if (!std::isfinite(v)) return false;
  return true;
}

// One engine for the whole run: building one places the balls over and over and writes a file.
sim3d& engine() {
  static sim3d* instance = new sim3d(0, 1023, 0, 767, 0, 1000, "");
  return *instance;
}
}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  sim3d& sim = engine();
  // init_set leaves the density alone; the last input's must not leak into this one.
  sim.ball_density = 0.001f;
  // The same random start for every run of an input, so that a failure can be replayed.
  set_fixed_random_seed(1);
  sim.init_set();
  TProfile profile(sim3d::pars_section,
                   TProfile::TInMemory{std::string_view(reinterpret_cast<const char*>(data), size)});
  sim.get_pars(profile);
  check(std::isfinite(sim.gravitation_constant) && std::isfinite(sim.ball_density));
  for (int i = 0; i <= sim.n_balls; ++i) check(finite(sim.bodies[i]));

  NullDC dc;
  for (int step = 0; step < 3; ++step) {
    try {
      sim.run(dc);
    } catch (const char* text) {
      check(std::string(text) == "matherror occured");
    }
  }
  return 0;
}
