// Fuzzes the parameter-file reader through the profile: any bytes give a state with finite values
// only, and a few steps from it run without a crash (a math error is the one exception allowed).
#include <cmath>
#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <string>

#include "drawing.h"
#include "phys52.h"
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

sim3d& engine() {
  static sim3d* instance = new sim3d(0, 1023, 0, 767, 0, 1000, "");
  return *instance;
}
}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  const std::string path = "fuzz-parameters.tmr";
  std::FILE* file = std::fopen(path.c_str(), "wb");
  if (!file) return 0;
  std::fwrite(data, 1, size, file);
  std::fclose(file);

  sim3d& sim = engine();
  sim.init_set();
  sim.get_pars(path.c_str());
  check(std::isfinite(sim.gravitation_constant) && std::isfinite(sim.ball_density));
  for (int i = 1; i <= sim.n_balls; ++i) check(finite(sim.bodies[i]));

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
