// Fuzzes the parameter file's writer against its reader: a state the engine can hold, written and read
// back into a fresh random state, gives every value as "%f" wrote it, so a saver that starts from its
// last file goes on where it stopped.
#include <charconv>
#include <cmath>
#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <string>

#include "phys52.h"
#include "profile.h"
#include "random.h"

namespace {
void check(bool condition) {
  if (!condition) std::abort();
}

// The input as a stream of fractions in [0, 1); zeros once it runs out.
class TFractions {
 public:
  TFractions(const std::uint8_t* data, std::size_t size) : Data(data), Size(size) {}
  double Next() {
    std::uint32_t bits = 0;
    for (int i = 0; i < 4; ++i) bits = (bits << 8) | (Offset < Size ? Data[Offset++] : 0);
    return bits / 4294967296.0;
  }
  float Between(double low, double high) { return static_cast<float>(low + Next() * (high - low)); }
  float Signed(double low, double high) {
    const float magnitude = Between(low, high);
    return Next() < 0.5 ? -magnitude : magnitude;
  }

 private:
  const std::uint8_t* Data;
  std::size_t Size;
  std::size_t Offset = 0;
};

// What a reader of the written text gets: the value as "%f" shows it, read back as a float. to_chars
// with a precision prints as printf does, at a fraction of its cost under the sanitizers.
float written(float value) {
  char text[64];
  const auto end = std::to_chars(text, text + sizeof text, static_cast<double>(value), std::chars_format::fixed, 6).ptr;
  float read = 0;
  std::from_chars(text, end, read);
  return read;
}

void expect(float read, float value) { check(read == value); }

constexpr int right = 1023, bottom = 767, rear = 1000;

sim3d& engine() {
  static sim3d* instance = new sim3d(0, right, 0, bottom, 0, rear, "");
  return *instance;
}
}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  TFractions input(data, size);
  sim3d& sim = engine();

  // Values inside what the reader accepts, never so small that six decimals show them as 0.
  sim.gravitation_constant = input.Signed(0.001, 1000);
  sim.ball_density = input.Between(0.000001, 0.1);
  body state[sim3d::max_balls + 1];
  for (int i = 1; i <= sim3d::max_balls; ++i) {
    body& ball = sim.bodies[i];
    ball.vx = input.Signed(0, right);
    ball.vy = input.Signed(0, right);
    ball.vz = input.Signed(0, right);
    // Twice the radius and a wall gap each side fit the box's shortest side.
    ball.radius = input.Between(0.001, 0.999 * (bottom / 2.0 - 5.0));
    // Somewhere in the box, the whole ball inside, short of the far walls by rounding's margin.
    ball.x = ball.radius + input.Between(0.001, 0.999) * (right - 2 * ball.radius);
    ball.y = ball.radius + input.Between(0.001, 0.999) * (bottom - 2 * ball.radius);
    ball.z = ball.radius + input.Between(0.001, 0.999) * (rear - 2 * ball.radius);
    ball.mass = input.Between(0.001, 1e5);
    ball.color = TColor(static_cast<int>(input.Next() * 256), static_cast<int>(input.Next() * 256),
                        static_cast<int>(input.Next() * 256));
    state[i] = ball;
  }
  const float gravitation = sim.gravitation_constant, density = sim.ball_density;

  TProfile profile(sim3d::pars_section, TProfile::TInMemory{});
  sim.set_pars(profile);
  const std::string text = profile.Text();

  // Every value read must come from the text, not from what the engine held.
  sim.ball_density = 0.001f;
  set_fixed_random_seed(1);
  sim.init_set();
  TProfile reread(sim3d::pars_section, TProfile::TInMemory{text});
  sim.get_pars(reread);

  expect(sim.gravitation_constant, written(gravitation));
  expect(sim.ball_density, written(density));
  for (int i = 1; i <= sim3d::max_balls; ++i) {
    const body& was = state[i];
    const body& ball = sim.bodies[i];
    expect(ball.vx, written(was.vx));
    expect(ball.vy, written(was.vy));
    expect(ball.vz, written(was.vz));
    expect(ball.radius, written(was.radius));
    expect(ball.x, written(was.x));
    expect(ball.y, written(was.y));
    expect(ball.z, written(was.z));
    expect(ball.mass, written(was.mass));
    // Black reads as "no colour given".
    if (was.color != TColor(0, 0, 0)) check(ball.color == was.color);
  }
  return 0;
}
