// The sim3d engine: construction and final save, the random start, contact detection, gravitation,
// motion, collisions, the simulation step and the sort of contacts and depths.
#include "phys52.h"

#include <cmath>

#include "checked_math.h"
#include "random.h"
#include "trace.h"

namespace {

constexpr double pi = 3.141592653589793;
constexpr double two_pi = 6.283185307179586;
constexpr int max_attempts = 101;  // the constructor's tries for a configuration free of contacts

// The contact a wall-contact time stands for when the velocity across the wall is 0 and the
// quotient has no value: the step goes on with t = 0.
float wall_contact_time(float distance, float velocity) {
  if (velocity == 0.0f) return 0.0f;
  return std::fabs(distance / velocity);
}

}  // namespace

void engine_trace(const char* label) { Trace(TTraceHook::Engine, label); }

sim3d::sim3d(int left, int right, int top, int bottom, int front, int rear, const char* param_file)
    : bodies{},
      contacts{},
      place_radius(0.0f),
      n_balls(max_balls),
      eye_distance(1000),
      gravitation_constant(20.0f),
      draw_order{},
      depth{},
      contact_order{},
      contact_time{},
      collisions_on(1),
      paint_on(1),
      ball_density(0.001f),
      spin_on(1),
      leftframe(left),
      rightframe(right),
      topframe(top),
      bottomframe(bottom),
      frontframe(front),
      rearframe(rear),
      n_contacts(0),
      rewind_factor(1),
      collided(0),
      dim_on(1) {
  int attempt = 0;
  bool has_contact = true;
  do {
    ++attempt;
    engine_trace("trying init");
    init_set();
    get_pars(param_file);
    // A math error of the detection pass (a rounding-negative discriminant of two barely
    // overlapping balls) would otherwise escape the window's constructor; it counts as a contact.
    try {
      has_contact = geometrie() != 0;
    } catch (const char*) {
      has_contact = true;
    }
  } while (has_contact && attempt < max_attempts);
  if (attempt == max_attempts) engine_trace("Reached 100");

  engine_trace("saving init config");
  set_pars("");
}

sim3d::~sim3d() {
  if (final_saved) return;
  engine_trace("saving final config");
  try {
    set_pars("");
  } catch (...) {
    // A failed write is ignored; a destructor must not throw.
  }
}

void sim3d::init_set() {
  randomize();
  for (int i = 1; i <= max_balls; ++i) {
    body& ball = bodies[i];
    place_radius = static_cast<float>(bottomframe / 20 - 2);
    ball.vx = 0.0f;
    ball.vy = 0.0f;
    ball.vz = 0.0f;
    // The margin allows for the largest radius, so no ball starts within 5 units of a wall.
    const float margin = place_radius + 5.0f;
    ball.x = static_cast<float>(random(static_cast<int>(static_cast<float>(rightframe) - 2.0f * margin))) + margin;
    ball.y = static_cast<float>(random(static_cast<int>(static_cast<float>(bottomframe) - 2.0f * margin))) + margin;
    ball.z = static_cast<float>(random(static_cast<int>(static_cast<float>(rearframe) - 2.0f * margin))) + margin;
    ball.radius = static_cast<float>(random(static_cast<int>(place_radius)) + 1);
    const double r = ball.radius;
    ball.mass = static_cast<float>(r * r * r * 4.0 * ball_density * pi / 3.0);
    const int blue = random(255);
    const int green = random(255);
    const int red = random(255);
    ball.color = TColor(red, green, blue);
    ball.theta = static_cast<float>(random(360) * pi / 180.0);
    ball.phi = static_cast<float>(random(360) * pi / 180.0);
    ball.dtheta = static_cast<float>(random(360) * pi / 180.0 / 45.0);
    ball.dphi = static_cast<float>(random(360) * pi / 180.0 / 45.0);
  }

  body& eye = bodies[observer];
  eye.vx = 0.0f;
  eye.vy = 0.0f;
  eye.vz = 0.0f;
  eye.radius = 1000.0f;
  eye.x = static_cast<float>(rightframe / 2);
  eye.y = static_cast<float>(bottomframe / 2);
  eye.z = -eye.radius;
  eye.mass = 1e-10f;
  eye.theta = 0.0f;
  eye.phi = 0.0f;
  eye.dtheta = 0.0f;
  eye.dphi = 0.0f;

  n_balls = max_balls;
  eye_distance = static_cast<int>(-eye.z);
  gravitation_constant = 20.0f;
}

int sim3d::geometrie() {
  n_contacts = 0;
  int found = 0;
  for (int i = 1; i <= n_balls; ++i) {
    if (frame_reflekt(i, 0)) found = 1;
    for (int j = i + 1; j <= n_balls; ++j) {
      const body& a = bodies[i];
      const body& b = bodies[j];
      const float d = modul(a.x - b.x, a.y - b.y, a.z - b.z);
      if (a.radius + b.radius > d) {
        found = 1;
        // A full table keeps the first contacts and records no more.
        if (n_contacts < max_contacts) {
          ++n_contacts;
          reflect(i, j, 0);
          contacts[n_contacts].ball = i;
          contacts[n_contacts].partner = j;
        }
      }
    }
  }
  return found;
}

void sim3d::gravitation() {
  for (int i = 1; i <= n_balls; ++i) {
    body& ball = bodies[i];
    float ax = 0.0f;
    float ay = 0.0f;
    float az = 0.0f;
    for (int j = 1; j <= n_balls; ++j) {
      if (j == i) continue;
      const body& other = bodies[j];
      const float dx = other.x - ball.x;
      const float dy = other.y - ball.y;
      const float dz = other.z - ball.z;
      const float d = modul(dx, dy, dz);
      const bool counts = collisions_on || (ball.radius + other.radius < d && d > 10.0f);
      // Coincident centres give no direction to pull in; that pair adds nothing.
      if (!counts || !(d > 0.0f)) continue;
      const float s = other.mass / (d * d);
      ax += s * dx / d;
      ay += s * dy / d;
      az += s * dz / d;
    }
    ball.vx += gravitation_constant * ax;
    ball.vy += gravitation_constant * ay;
    ball.vz += gravitation_constant * az;
  }
}

void sim3d::calc_trajectory(float dt) {
  // The contact being resolved moves its own balls; slot 0 and cleared slots name no ball.
  const contact& resolving = contacts[contact_order[n_contacts]];
  const body& eye = bodies[observer];
  for (int i = 1; i <= n_balls; ++i) {
    if (i == resolving.ball || i == resolving.partner) continue;
    body& ball = bodies[i];
    ball.x += (ball.vx - eye.vx) * dt;
    ball.y += (ball.vy - eye.vy) * dt;
    ball.z += (ball.vz - eye.vz) * dt;
    if (spin_on) {
      ball.theta += ball.dtheta * dt;
      if (ball.theta >= two_pi) ball.theta = static_cast<float>(ball.theta - two_pi);
      ball.phi += ball.dphi * dt;
      if (ball.phi >= two_pi) ball.phi = static_cast<float>(ball.phi - two_pi);
    }
  }
}

float sim3d::modul(float x, float y, float z) {
  const double dx = x;
  const double dy = y;
  const double dz = z;
  return static_cast<float>(checked_sqrt(dx * dx + dy * dy + dz * dz));
}

float sim3d::cos_fi(float ax, float ay, float az, float bx, float by, float bz) {
  // Single precision throughout, as every sum of the engine: only modul's squares and root are double.
  const float lengths = modul(ax, ay, az) * modul(bx, by, bz);
  // A zero vector has no direction: 0, as for vectors at right angles.
  if (lengths == 0.0f) return 0.0f;
  const float dot = ax * bx + ay * by + az * bz;
  const float cosine = dot / lengths;
  // Rounding can carry the quotient of nearly parallel vectors past 1, and the arc cosine of the
  // drawing would take that for a math error.
  if (cosine > 1.0f) return 1.0f;
  if (cosine < -1.0f) return -1.0f;
  return cosine;
}

int sim3d::frame_reflekt(int ball, int mode) {
  body& b = bodies[ball];
  const float r = b.radius;
  int reached = 0;

  // One wall: record the contact (mode 0) or move the ball back along its velocity and turn the
  // velocity component across the wall.
  auto wall = [&](int code, float distance, float& across) {
    reached = 1;
    const float t = wall_contact_time(distance, across);
    if (mode == 0) {
      if (n_contacts < max_contacts) {
        ++n_contacts;
        contacts[n_contacts].ball = ball;
        contacts[n_contacts].partner = code;
        contacts[n_contacts].t = t;
      }
      return;
    }
    // The factor 1.001 leaves a ball that moved out through the wall just inside it.
    b.x = static_cast<float>(b.x - b.vx * t * 1.001);
    b.y = static_cast<float>(b.y - b.vy * t * 1.001);
    b.z = static_cast<float>(b.z - b.vz * t * 1.001);
    across = -across;
  };

  if (b.x - r < leftframe) wall(left_wall, b.x - r - leftframe, b.vx);
  if (b.x + r > rightframe) wall(right_wall, b.x + r - rightframe, b.vx);
  if (b.y - r < topframe) wall(top_wall, b.y - r - topframe, b.vy);
  if (b.y + r > bottomframe) wall(bottom_wall, b.y + r - bottomframe, b.vy);
  if (b.z - r < frontframe) wall(front_wall, b.z - r - frontframe, b.vz);
  if (b.z + r > rearframe) wall(rear_wall, b.z + r - rearframe, b.vz);
  return reached;
}

void sim3d::reflect(int i, int j, int mode) {
  body& a = bodies[i];
  body& b = bodies[j];
  const float dx = a.x - b.x;
  const float dy = a.y - b.y;
  const float dz = a.z - b.z;
  const float dvx = a.vx - b.vx;
  const float dvy = a.vy - b.vy;
  const float dvz = a.vz - b.vz;
  const float sum_radii = a.radius + b.radius;

  // R^2 |dv|^2 - |dv x dp|^2: the centres were R apart t time units ago.
  const double px = dx, py = dy, pz = dz, vx = dvx, vy = dvy, vz = dvz, R = sum_radii;
  const float discriminant = static_cast<float>(
      2.0 * (px * py * vx * vy + px * pz * vx * vz + py * pz * vy * vz) - (vx * py) * (vx * py) -
      (vx * pz) * (vx * pz) - (vy * px) * (vy * px) - (vy * pz) * (vy * pz) - (vz * px) * (vz * px) -
      (vz * py) * (vz * py) + (vx * R) * (vx * R) + (vy * R) * (vy * R) + (vz * R) * (vz * R));
  const float speed_squared = dvx * dvx + dvy * dvy + dvz * dvz;
  const float approach = dx * dvx + dy * dvy + dz * dvz;

  float t = 0.0f;  // equal velocities: the time has no value, and the step goes on with 0
  if (speed_squared != 0.0f) {
    const double root = checked_sqrt(discriminant);
    t = static_cast<float>((approach + root) / speed_squared);
    if (t < 0.0f) t = static_cast<float>((approach - root) / speed_squared);
  }

  if (mode != 1) {
    // Slot 0 must keep naming no ball, so a call without an opened slot records nothing.
    if (n_contacts > 0) contacts[n_contacts].t = t;
    return;
  }

  const float back = t * static_cast<float>(rewind_factor);
  a.x -= a.vx * back;
  a.y -= a.vy * back;
  a.z -= a.vz * back;
  b.x -= b.vx * back;
  b.y -= b.vy * back;
  b.z -= b.vz * back;

  const float px2 = a.x - b.x;
  const float py2 = a.y - b.y;
  const float pz2 = a.z - b.z;
  const float d = modul(px2, py2, pz2);
  // Coincident centres give no line of centres to exchange along; the velocities stay.
  if (!(d > 0.0f)) return;
  const float nx = px2 / d;
  const float ny = py2 / d;
  const float nz = pz2 / d;

  // The velocities along the line of centres and their exchange are kept as floats, as the state is.
  const float ui = -modul(a.vx, a.vy, a.vz) * cos_fi(a.vx, a.vy, a.vz, -px2, -py2, -pz2);
  const float uj = modul(b.vx, b.vy, b.vz) * cos_fi(b.vx, b.vy, b.vz, px2, py2, pz2);
  const float mi = a.mass;
  const float mj = b.mass;
  const float total = mi + mj;
  if (total == 0.0f) return;  // two massless balls have no exchange to share
  const float ui_after = (ui * (mi - mj) + 2.0f * mj * uj) / total;
  const float uj_after = (2.0f * mi * ui + uj * (mj - mi)) / total;
  const float change_i = ui_after - ui;
  const float change_j = uj_after - uj;
  a.vx += change_i * nx;
  a.vy += change_i * ny;
  a.vz += change_i * nz;
  b.vx += change_j * nx;
  b.vy += change_j * ny;
  b.vz += change_j * nz;
}

void sim3d::run(TDC& dc) {
  // An exception of an earlier step may have left the flag set.
  collided = 0;
  for (int k = 1; k <= max_contacts; ++k) {
    contacts[k] = contact{0, 0, 0.0f};
    contact_time[k] = 0.0f;
  }

  engine_trace("calc. traect.");
  calc_trajectory(1.0f);
  n_contacts = 0;

  if (collisions_on) {
    engine_trace("geometrie");
    geometrie();
    if (n_contacts > 0) {
      for (int k = 1; k <= n_contacts; ++k) contact_time[k] = contacts[k].t;
      if (n_contacts > 1) {
        engine_trace("sorting");
        sortier(n_contacts, contact_time, contact_order);
      } else {
        contact_order[1] = 1;
      }
      // The contact with the greatest time began first; the scene goes back to that moment.
      const contact& first = contacts[contact_order[n_contacts]];
      engine_trace("calc. traject again");
      calc_trajectory(-static_cast<float>(rewind_factor) * first.t);
      if (first.partner < left_wall) {
        reflect(first.ball, first.partner, 1);
      } else {
        frame_reflekt(first.ball, 1);
      }
      collided = 1;
    }
  }

  if (paint_on) {
    paint(dc);
    engine_trace("painting");
  }

  if (collided) {
    collided = 0;
  } else {
    gravitation();
    engine_trace("gravitation");
  }
}

void sim3d::sortier(int n, float* keys, int* order) {
  for (int j = 1; j <= n; ++j) order[j] = j;
  if (n <= 1) return;

  // Each "<" is the negation of ">=", so a key that is not a number counts as the smaller one.
  int l = n / 2 + 1;
  int ir = n;
  for (;;) {
    int t;
    float q;
    if (l > 1) {
      --l;
      t = order[l];
      q = keys[t];
    } else {
      t = order[ir];
      q = keys[t];
      order[ir] = order[1];
      --ir;
      if (ir == 1) {
        order[1] = t;
        return;
      }
    }
    int i = l;
    int j = 2 * l;
    while (j <= ir) {
      if (j < ir && !(keys[order[j]] >= keys[order[j + 1]])) ++j;
      if (!(q >= keys[order[j]])) {
        order[i] = order[j];
        i = j;
        j = 2 * j;
      } else {
        j = ir + 1;
      }
    }
    order[i] = t;
  }
}
