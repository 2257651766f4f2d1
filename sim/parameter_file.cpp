// Parameter files of sim3d: get_pars reads a state over the random one, set_pars writes the state.
// Files are edited by hand, so every value is checked before it reaches the engine.
#include <cmath>
#include <cstdio>
#include <new>
#include <stdexcept>

#include "parameter_values.h"
#include "phys52.h"
#include "profile.h"
#include "random.h"

namespace {

constexpr char default_file[] = "default.tmr";
constexpr unsigned value_size = 200;  // each value is read into a buffer of this many characters
constexpr unsigned key_size = 64;
constexpr long double pi = 3.141592653589793;
constexpr double one_third = 1.0 / 3.0;
constexpr float wall_gap = 5.0f;  // a ball placed at random keeps this far from the walls

void ball_key(char (&key)[key_size], int ball, const char* suffix) {
  std::snprintf(key, key_size, "ball_N%d%s", ball, suffix);
}

int extent(int low, int high) { return high - low; }

// The smallest and the largest extent of the box.
int smallest_extent(const sim3d& engine) {
  int smallest = extent(engine.leftframe, engine.rightframe);
  if (extent(engine.topframe, engine.bottomframe) < smallest) smallest = extent(engine.topframe, engine.bottomframe);
  if (extent(engine.frontframe, engine.rearframe) < smallest) smallest = extent(engine.frontframe, engine.rearframe);
  return smallest;
}

int largest_extent(const sim3d& engine) {
  int largest = extent(engine.leftframe, engine.rightframe);
  if (extent(engine.topframe, engine.bottomframe) > largest) largest = extent(engine.topframe, engine.bottomframe);
  if (extent(engine.frontframe, engine.rearframe) > largest) largest = extent(engine.frontframe, engine.rearframe);
  return largest;
}

// Limits of hand-edited values; beyond them the single-precision engine overflows within a few
// thousand steps (the pull G * mass above about 1e9) and its balls end as values that are not numbers.
constexpr float largest_gravitation = 1000.0f;  // 50 times the engine's own constant
constexpr float largest_mass = 1e5f;            // some 500 times the heaviest ball of a random start
constexpr float largest_density = 0.1f;         // 100 times the engine's own density

// A radius counts only when it is positive and a ball of it fits the box with the gap of a random
// placement on both sides; larger balls would be placed past a wall, or hold the eye.
bool radius_fits(const sim3d& engine, float radius) {
  return radius > 0.0f && 2.0 * (static_cast<double>(radius) + wall_gap) <= smallest_extent(engine);
}

// A speed component counts only up to the largest extent of the box: a faster ball crosses the whole
// box within one step, and as only one contact is resolved per step it drifts out of reach.
bool speed_fits(const sim3d& engine, float speed) { return std::fabs(speed) <= largest_extent(engine); }

// A position counts only when the whole ball lies in the box: a ball given past a wall with no
// velocity across it would stay there, resolved every step.
bool inside_box(const sim3d& engine, const float (&position)[3], float radius) {
  return position[0] - radius >= engine.leftframe && position[0] + radius <= engine.rightframe &&
         position[1] - radius >= engine.topframe && position[1] + radius <= engine.bottomframe &&
         position[2] - radius >= engine.frontframe && position[2] + radius <= engine.rearframe;
}

// The cube of a float in double: its square is exact there, so the cube is rounded once, which is the
// correctly rounded power that no two C libraries' pow are bound to agree on.
double cube(float value) {
  const double d = value;
  return d * d * d;
}

float random_coordinate(int upper, float radius) {
  const double span = std::floor(upper - 2.0 * (static_cast<double>(radius) + wall_gap));
  return static_cast<float>(random(static_cast<int>(span))) + (radius + wall_gap);
}

struct value_text {
  char text[value_size] = "";
  std::size_t length = 0;

  void real(double value) {
    if (length > 0 && length + 1 < value_size) text[length++] = ' ';
    length = append_real(text, value_size, length, value);
  }
};

}  // namespace

const char sim3d::pars_section[] = "tes-mar_ScreenSaver";

void sim3d::get_pars(const char* name) {
  if (name == nullptr || name[0] == '\0') return;
  try {
    TProfile profile(pars_section, name);
    get_pars(profile);
  } catch (const std::bad_alloc&) {
    throw;
  } catch (const std::exception&) {
  }
}

void sim3d::get_pars(TProfile& profile) {
  try {
    char value[value_size];
    char key[key_size];
    float numbers[3];

    profile.GetString("gravitation_constant", value, value_size, "0");
    read_reals(value, numbers, 1);
    if (numbers[0] != 0.0f && std::fabs(numbers[0]) <= largest_gravitation) gravitation_constant = numbers[0];

    profile.GetString("ball_density", value, value_size, "0");
    read_reals(value, numbers, 1);
    if (numbers[0] > 0.0f && numbers[0] <= largest_density) ball_density = numbers[0];

    for (int i = 1; i <= max_balls; ++i) {
      body& ball = bodies[i];

      ball_key(key, i, "_speed_x_y_z");
      profile.GetString(key, value, value_size, "0 0 0");
      read_reals(value, numbers, 3);
      if (numbers[0] != 0.0f && speed_fits(*this, numbers[0])) ball.vx = numbers[0];
      if (numbers[1] != 0.0f && speed_fits(*this, numbers[1])) ball.vy = numbers[1];
      if (numbers[2] != 0.0f && speed_fits(*this, numbers[2])) ball.vz = numbers[2];

      ball_key(key, i, "_radius");
      profile.GetString(key, value, value_size, "0");
      read_reals(value, numbers, 1);
      if (numbers[0] != 0.0f && radius_fits(*this, numbers[0])) ball.radius = numbers[0];

      // Position and mass follow from the radius (and the density) as they now stand.
      const float r = ball.radius;
      const float rho = ball_density;

      ball_key(key, i, "_coordinates_x_y_z");
      profile.GetString(key, value, value_size, "0 0 0");
      float position[3];
      read_reals(value, position, 3);
      if (position[0] != 0.0f && position[1] != 0.0f && position[2] != 0.0f && inside_box(*this, position, r)) {
        ball.x = position[0];
        ball.y = position[1];
        ball.z = position[2];
      } else {
        place_radius = r;
        ball.x = random_coordinate(rightframe, place_radius);
        ball.y = random_coordinate(bottomframe, place_radius);
        ball.z = random_coordinate(rearframe, place_radius);
      }

      ball_key(key, i, "_mass");
      profile.GetString(key, value, value_size, "0");
      read_reals(value, numbers, 1);
      if (numbers[0] > 0.0f && numbers[0] <= largest_mass) {
        ball.mass = numbers[0];
      } else {
        ball.mass = static_cast<float>(static_cast<long double>(cube(r)) * 4.0L * rho * pi *
                                       static_cast<long double>(one_third));
      }

      ball_key(key, i, "_red_green_blue_0-255");
      profile.GetString(key, value, value_size, "0 0 0");
      int channels[3];
      read_integers(value, channels, 3);
      if (channels[0] != 0 || channels[1] != 0 || channels[2] != 0) {
        ball.color = TColor(channels[0] & 0xFF, channels[1] & 0xFF, channels[2] & 0xFF);
      }
    }
  } catch (const std::bad_alloc&) {
    throw;
  } catch (const std::exception&) {
    // An unreadable file gives what was read so far; nothing is reported.
  }
}

void sim3d::set_pars(const char* name) {
  const char* file = (name == nullptr || name[0] == '\0') ? default_file : name;
  try {
    TProfile profile(pars_section, file);
    set_pars(profile);
  } catch (const std::bad_alloc&) {
    throw;
  } catch (const std::exception&) {
  }
}

bool sim3d::set_pars(TProfile& profile) {
  bool stored = true;
  const auto store = [&profile, &stored](const char* key, const char* value) {
    stored = profile.WriteString(key, value) && stored;
  };
  try {
    char key[key_size];

    value_text constant;
    constant.real(gravitation_constant);
    store("gravitation_constant", constant.text);
    value_text density;
    density.real(ball_density);
    store("ball_density", density.text);

    for (int i = 1; i <= max_balls; ++i) {
      const body& ball = bodies[i];

      value_text speed;
      speed.real(ball.vx);
      speed.real(ball.vy);
      speed.real(ball.vz);
      ball_key(key, i, "_speed_x_y_z");
      store(key, speed.text);

      value_text position;
      position.real(ball.x);
      position.real(ball.y);
      position.real(ball.z);
      ball_key(key, i, "_coordinates_x_y_z");
      store(key, position.text);

      value_text radius;
      radius.real(ball.radius);
      ball_key(key, i, "_radius");
      store(key, radius.text);

      value_text mass;
      mass.real(ball.mass);
      ball_key(key, i, "_mass");
      store(key, mass.text);

      char colour[value_size];
      std::snprintf(colour, sizeof colour, "%d %d %d", ball.color.Red(), ball.color.Green(), ball.color.Blue());
      ball_key(key, i, "_red_green_blue_0-255");
      store(key, colour);
    }
    stored = profile.Flush() && stored;
  } catch (const std::bad_alloc&) {
    throw;
  } catch (const std::exception&) {
    stored = false;
  }
  return stored;
}

std::string sim3d::save_final() {
  if (final_saved) return {};
  final_saved = true;
  engine_trace("saving final config");
  try {
    TProfile profile(pars_section, default_file);
    if (set_pars(profile)) return profile.GetFileName();
  } catch (...) {
  }
  return {};
}
