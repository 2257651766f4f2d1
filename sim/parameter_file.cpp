// Parameter files of sim3d: get_pars reads a state over the random one, set_pars writes the state.
// Files are edited by hand, so every value is checked before it reaches the engine.
#include <charconv>
#include <cmath>
#include <cstdio>
#include <new>
#include <stdexcept>
#include <system_error>

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

// A value's text as the writer builds it: numbers separated by a blank, as "%f" and "%d" write them.
class value_text {
 public:
  void real(double value) {
    separate();
    length = append_real(text, value_size, length, value);
  }
  void integer(int value) {
    separate();
    const auto written = std::to_chars(text + length, text + value_size - 1, value);
    if (written.ec == std::errc()) length = static_cast<std::size_t>(written.ptr - text);
    text[length] = '\0';
  }
  const char* c_str() const { return text; }

 private:
  void separate() {
    if (length > 0 && length + 1 < value_size) text[length++] = ' ';
  }
  char text[value_size] = "";
  std::size_t length = 0;
};

// A ball's entries in the file. Each is read over the ball as the entries read before it left it.
void read_speed(sim3d& engine, body& ball, const char* text) {
  float speed[3];
  read_reals(text, speed, 3);
  float* const components[] = {&ball.vx, &ball.vy, &ball.vz};
  for (int k = 0; k < 3; ++k) {
    if (speed[k] != 0.0f && speed_fits(engine, speed[k])) *components[k] = speed[k];
  }
}

void read_radius(sim3d& engine, body& ball, const char* text) {
  float radius;
  read_reals(text, &radius, 1);
  if (radius != 0.0f && radius_fits(engine, radius)) ball.radius = radius;
}

// A position not given, or one that leaves the ball of the radius as it now stands outside the box,
// places the ball at random.
void read_coordinates(sim3d& engine, body& ball, const char* text) {
  float position[3];
  read_reals(text, position, 3);
  if (position[0] != 0.0f && position[1] != 0.0f && position[2] != 0.0f && inside_box(engine, position, ball.radius)) {
    ball.x = position[0];
    ball.y = position[1];
    ball.z = position[2];
  } else {
    engine.place_radius = ball.radius;
    ball.x = random_coordinate(engine.rightframe, engine.place_radius);
    ball.y = random_coordinate(engine.bottomframe, engine.place_radius);
    ball.z = random_coordinate(engine.rearframe, engine.place_radius);
  }
}

// A mass not given, or out of range, follows from the radius as it now stands and the density.
void read_mass(sim3d& engine, body& ball, const char* text) {
  float mass;
  read_reals(text, &mass, 1);
  if (mass > 0.0f && mass <= largest_mass) {
    ball.mass = mass;
  } else {
    ball.mass = static_cast<float>(static_cast<long double>(cube(ball.radius)) * 4.0L * engine.ball_density * pi *
                                   static_cast<long double>(one_third));
  }
}

void read_colour(sim3d& /*engine*/, body& ball, const char* text) {
  int channels[3];
  read_integers(text, channels, 3);
  if (channels[0] != 0 || channels[1] != 0 || channels[2] != 0) {
    ball.color = TColor(channels[0] & 0xFF, channels[1] & 0xFF, channels[2] & 0xFF);
  }
}

template <float body::*... fields>
void write_reals(const body& ball, value_text& text) {
  (text.real(ball.*fields), ...);
}

void write_colour(const body& ball, value_text& text) {
  text.integer(ball.color.Red());
  text.integer(ball.color.Green());
  text.integer(ball.color.Blue());
}

struct ball_entry {
  const char* suffix;  // of the key "ball_N<ball><suffix>"
  const char* absent;  // the text of a missing key
  void (*read)(sim3d& engine, body& ball, const char* text);
  void (*write)(const body& ball, value_text& text);
};

// In the order a written file lists them.
enum ball_entry_name { speed_entry, coordinates_entry, radius_entry, mass_entry, colour_entry };
constexpr ball_entry ball_entries[] = {
    {"_speed_x_y_z", "0 0 0", read_speed, write_reals<&body::vx, &body::vy, &body::vz>},
    {"_coordinates_x_y_z", "0 0 0", read_coordinates, write_reals<&body::x, &body::y, &body::z>},
    {"_radius", "0", read_radius, write_reals<&body::radius>},
    {"_mass", "0", read_mass, write_reals<&body::mass>},
    {"_red_green_blue_0-255", "0 0 0", read_colour, write_colour},
};
// The radius is read before the position and the mass, which follow from it.
constexpr ball_entry_name reading_order[] = {speed_entry, radius_entry, coordinates_entry, mass_entry, colour_entry};

// Runs `work`, which reads or writes a parameter file; false when an error of the file cut it short.
// A lack of memory is no error of the file and goes on to the caller.
template <typename Work>
bool ran_without_file_error(Work work) {
  try {
    work();
    return true;
  } catch (const std::bad_alloc&) {
    throw;
  } catch (const std::exception&) {
    return false;
  }
}

}  // namespace

const char sim3d::pars_section[] = "tes-mar_ScreenSaver";

void sim3d::get_pars(const char* name) {
  if (name == nullptr || name[0] == '\0') return;
  ran_without_file_error([&] {
    TProfile profile(pars_section, name);
    get_pars(profile);
  });
}

// An unreadable file gives what was read so far; nothing is reported.
void sim3d::get_pars(TProfile& profile) {
  ran_without_file_error([&] {
    char value[value_size];
    char key[key_size];
    float number;

    profile.GetString("gravitation_constant", value, value_size, "0");
    read_reals(value, &number, 1);
    if (number != 0.0f && std::fabs(number) <= largest_gravitation) gravitation_constant = number;

    profile.GetString("ball_density", value, value_size, "0");
    read_reals(value, &number, 1);
    if (number > 0.0f && number <= largest_density) ball_density = number;

    for (int i = 1; i <= max_balls; ++i) {
      for (const ball_entry_name name : reading_order) {
        const ball_entry& entry = ball_entries[name];
        ball_key(key, i, entry.suffix);
        profile.GetString(key, value, value_size, entry.absent);
        entry.read(*this, bodies[i], value);
      }
    }
  });
}

void sim3d::set_pars(const char* name) {
  const char* file = (name == nullptr || name[0] == '\0') ? default_file : name;
  ran_without_file_error([&] {
    TProfile profile(pars_section, file);
    set_pars(profile);
  });
}

bool sim3d::set_pars(TProfile& profile) {
  bool stored = true;
  const auto store = [&profile, &stored](const char* key, const value_text& value) {
    stored = profile.WriteString(key, value.c_str()) && stored;
  };
  const bool finished = ran_without_file_error([&] {
    char key[key_size];

    value_text constant;
    constant.real(gravitation_constant);
    store("gravitation_constant", constant);
    value_text density;
    density.real(ball_density);
    store("ball_density", density);

    for (int i = 1; i <= max_balls; ++i) {
      for (const ball_entry& entry : ball_entries) {
        value_text text;
        entry.write(bodies[i], text);
        ball_key(key, i, entry.suffix);
        store(key, text);
      }
    }
    stored = profile.Flush() && stored;
  });
  return finished && stored;
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
