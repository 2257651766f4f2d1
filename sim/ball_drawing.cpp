// The drawing half of sim3d: the perspective projection and its plane geometry, one ball with its
// dimmed disc, flickering rim and spinning marking, and the scene painted far to near.
#include <cmath>
#include <limits>

#include "checked_math.h"
#include "phys52.h"
#include "random.h"

namespace {

constexpr double pi = 3.141592653589793;
constexpr double two_pi = 6.283185307179586;
constexpr double dimming_slope = 0.8;
constexpr int full_channel = 255;
constexpr float marking_size = 0.5235988f;  // the marking's angular diameter seen from the ball's centre
constexpr float smallest_marking = 0.5f;    // pixels of half-width
constexpr int corners_per_half = 20;

// Screen coordinates beyond any screen, and well inside what both drawing back ends take: a
// marking near the limb of a ball can have a half-length near 1e16, whose integer would overflow.
constexpr double coordinate_limit = 16777216.0;

double clamp_coordinate(double value) {
  if (std::isnan(value)) return 0.0;
  if (value > coordinate_limit) return coordinate_limit;
  if (value < -coordinate_limit) return -coordinate_limit;
  return value;
}

// Truncation toward zero, as the drawing calls take their coordinates.
int truncated(double value) { return static_cast<int>(clamp_coordinate(value)); }
int ceiling(double value) { return static_cast<int>(std::ceil(clamp_coordinate(value))); }

// A dimmed colour channel |ceil(channel * factor)|; the factor is at most 1 inside the box, and a
// ball far behind the rear wall cannot carry the integer past its range.
int dimmed_channel(int channel, float factor) { return std::abs(ceiling(channel * static_cast<double>(factor))); }

}  // namespace

float sim3d::sfi(float a, float b, float phi) {
  const double da = a;
  const double db = b;
  return static_cast<float>(checked_sqrt(da * da + db * db - 2.0 * da * db * checked_cos(phi)));
}

float sim3d::sn(float a, float b, float c, float d) {
  const double da = a;
  const double side = b / checked_cos(d / 2.0);
  return static_cast<float>(checked_sqrt(da * da + side * side - 2.0 * da * side * checked_cos(c - d / 2.0)));
}

float sim3d::sf(float a, float b, float c, float d) {
  const double da = a;
  const double side = b / checked_cos(d / 2.0);
  return static_cast<float>(checked_sqrt(da * da + side * side - 2.0 * da * side * checked_cos(c + d / 2.0)));
}

namespace {

// The cosine of the angle at the eye shared by r_nah and r_fern, held in single precision.
float marking_cosine(float a, float b, float c, float d) {
  const double da = a;
  const double db = b;
  const double marking_radius = c * checked_tan(d / 2.0);
  return static_cast<float>((da * da + db * db - marking_radius * marking_radius) / (2.0 * da * db));
}

bool outside_cosine_range(float q) { return q > 1.0f || q < -1.0f || std::isnan(q); }

}  // namespace

float sim3d::r_nah(float a, float b, float c, float d) {
  const float q = marking_cosine(a, b, c, d);
  if (outside_cosine_range(q)) return 1.0f;
  return static_cast<float>(b * checked_sin(checked_acos(q)));
}

float sim3d::r_fern(float a, float b, float c, float d) {
  const float q = marking_cosine(a, b, c, d);
  if (outside_cosine_range(q)) return 1.0f;
  return static_cast<float>(a * checked_tan(checked_acos(q)));
}

float sim3d::y1(float a, float b, float c) {
  const double difference = static_cast<double>(b) * b - static_cast<double>(a) * a;
  // The truncation to a 32-bit integer saturates, so a huge half-length cannot overflow it.
  constexpr double int_limit = std::numeric_limits<int>::max();
  double whole = 0.0;
  if (!std::isnan(difference)) whole = std::fabs(difference) >= int_limit ? int_limit : std::trunc(std::fabs(difference));
  return static_cast<float>(checked_sqrt(whole) * c / b);
}

float sim3d::angle(float a, float b) {
  float m = static_cast<float>(a / checked_sqrt(static_cast<double>(a) * a + static_cast<double>(b) * b));
  if (m > 1.0f) {
    m = 1.0f;
  } else if (!(m >= -1.0f)) {
    m = -1.0f;  // also the zero vector, whose quotient has no value
  }
  const double arc = checked_acos(m);
  return static_cast<float>(b >= 0.0f ? arc : two_pi - arc);
}

float sim3d::xn(float a, float b, float c) {
  float g = static_cast<float>(static_cast<double>(angle(a, b)) + c);
  if (g > two_pi) g = static_cast<float>(g - two_pi);
  return static_cast<float>(checked_sqrt(static_cast<double>(a) * a + static_cast<double>(b) * b) * checked_cos(g));
}

float sim3d::yn(float a, float b, float c) {
  float g = static_cast<float>(static_cast<double>(angle(a, b)) + c);
  if (g > two_pi) g = static_cast<float>(g - two_pi);
  return static_cast<float>(checked_sqrt(static_cast<double>(a) * a + static_cast<double>(b) * b) * checked_sin(g));
}

void sim3d::draw_body(float x, float y, float z, float theta, float phi, float radius, TColor color, unsigned u,
                      TDC& dc) {
  if (!(z > 0.0f)) return;

  const float cx = static_cast<float>(rightframe / 2);
  const float cy = static_cast<float>(bottomframe / 2);
  const double eye = u;

  const float D = modul(x - cx, y - cy, static_cast<float>(z + eye));
  const float k1 = static_cast<float>(eye / D);
  const float visible = static_cast<float>(static_cast<double>(D) * D - static_cast<double>(radius) * radius);
  const float rr = static_cast<float>(checked_sqrt(visible) * (static_cast<double>(radius) / D) * k1);

  const float k = static_cast<float>(eye / (eye + z));
  // Like every quantity of the drawing, computed in double from the float values; an offset rounded
  // to float first could put the disc's edge on the other side of a pixel boundary.
  const float sx = static_cast<float>(cx + (static_cast<double>(x) - cx) * k);
  const float sy = static_cast<float>(cy + (static_cast<double>(y) - cy) * k);

  // Written as negations so that a value that is not a number culls as well.
  if (!(sx + rr >= 0.0f) || !(sx - rr <= static_cast<float>(rightframe)) || !(sy + rr >= 0.0f) ||
      !(sy - rr <= static_cast<float>(bottomframe))) {
    return;
  }

  float f = 1.0f;
  int rim_range = full_channel;
  TColor fill = color;
  if (dim_on) {
    f = static_cast<float>((rearframe - dimming_slope * z) / rearframe);
    rim_range = ceiling(full_channel * static_cast<double>(f));
    fill = TColor(dimmed_channel(color.Red(), f), dimmed_channel(color.Green(), f), dimmed_channel(color.Blue(), f));
  }

  // The rim pen stays selected, so the marking is outlined with it too.
  const int rim_blue = random(rim_range);
  const int rim_green = random(rim_range);
  const int rim_red = random(rim_range);
  dc.SelectObject(TPen(TColor(rim_red, rim_green, rim_blue), 1, PS_SOLID));

  dc.SelectObject(TBrush(fill));
  dc.Ellipse(truncated(sx - rr), truncated(sy - rr), truncated(sx + rr), truncated(sy + rr));
  dc.RestoreBrush();

  if (!spin_on) return;

  // The marking sits where theta and phi point from the centre; it shows only on the cap the eye sees.
  const float alpha = static_cast<float>(checked_acos(radius / static_cast<double>(D)));
  const double sin_theta = checked_sin(theta);
  const float hx = static_cast<float>(radius * sin_theta * checked_cos(phi));
  const float hy = static_cast<float>(radius * sin_theta * checked_sin(phi));
  const float hz = static_cast<float>(radius * checked_cos(theta));
  const float beta = static_cast<float>(checked_acos(cos_fi(x - cx, y - cy, static_cast<float>(z + eye), hx, hy, hz)));
  if (pi - alpha >= beta) return;

  const float s = sfi(D, radius, beta);
  const float size = static_cast<float>(checked_tan(marking_size / 2.0) * radius * eye / s);
  if (size <= smallest_marking) return;

  const float rho = static_cast<float>(sin_theta * radius * k1);
  const float mx = static_cast<float>(sx + rho * checked_cos(phi));
  const float my = static_cast<float>(sy + rho * checked_sin(phi));

  // The complement of the undimmed colour, dimmed like the disc.
  color = TColor(dimmed_channel(color.Red() - full_channel, f), dimmed_channel(color.Green() - full_channel, f),
                 dimmed_channel(color.Blue() - full_channel, f));

  const float dn = sn(D, radius, beta, marking_size);
  const float df = sf(D, radius, beta, marking_size);
  const float a1 = static_cast<float>(r_nah(s, dn, radius, marking_size) * eye / s);
  const float a2 = static_cast<float>(r_fern(s, df, radius, marking_size) * eye / s);
  draw_ellipse(mx, my, a1, a2, size, phi, color, dc);
}

void sim3d::draw_ellipse(float x0, float y0, float a1, float a2, float b, float ang, TColor color, TDC& dc) {
  auto replace_zero = [](float& value, float replacement) {
    if (value == 0.0f || std::isnan(value)) value = replacement;
  };
  replace_zero(a1, 1.0f);
  replace_zero(a2, 1.0f);
  replace_zero(b, 1.0f);
  replace_zero(x0, 1.0f);
  replace_zero(y0, 1.0f);
  replace_zero(ang, 0.001f);

  const float step = static_cast<float>((static_cast<double>(a1) + a2) / corners_per_half);
  TPoint corners[2 * corners_per_half];
  for (int i = 0; i < corners_per_half; ++i) {
    // Upper half from the near tip toward the far one, then the lower half back.
    float t = static_cast<float>(static_cast<double>(i) * step - a1);
    float h = t > 0.0f ? a2 : a1;
    float e = y1(t, h, b);
    corners[i] = TPoint(ceiling(static_cast<double>(xn(t, e, ang)) + x0), ceiling(static_cast<double>(yn(t, e, ang)) + y0));

    t = static_cast<float>(a2 - static_cast<double>(i) * step);
    h = t > 0.0f ? a2 : a1;
    e = -y1(t, h, b);
    corners[corners_per_half + i] =
        TPoint(ceiling(static_cast<double>(xn(t, e, ang)) + x0), ceiling(static_cast<double>(yn(t, e, ang)) + y0));
  }

  dc.SelectObject(TBrush(color));
  dc.Polygon(corners, 2 * corners_per_half);
  dc.RestoreBrush();
}

void sim3d::paint(TDC& dc) {
  for (int i = 1; i <= n_balls; ++i) depth[i] = bodies[i].z;
  sortier(n_balls, depth, draw_order);
  // Farthest first, so nearer balls cover farther ones.
  for (int i = n_balls; i >= 1; --i) {
    const body& ball = bodies[draw_order[i]];
    draw_body(ball.x, ball.y, ball.z, ball.theta, ball.phi, ball.radius, ball.color,
              static_cast<unsigned>(eye_distance), dc);
  }
}
