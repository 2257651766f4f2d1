// The sim3d engine: nine balls and the observer in a box; their gravitation, motion and collisions,
// the painting of the scene through a TDC, and the loading and saving of the state in parameter files.
#pragma once

#include <string>

#include "drawing.h"

class TProfile;

// The engine's trace hook: the step and the constructor name what they are about to do.
void engine_trace(const char* label);

// One ball, or the observer. The fields other than color get their values from init_set and from
// the parameter file.
struct body {
  float x, y, z;
  float theta, phi;
  float vx, vy, vz;
  float dtheta, dphi;
  float mass;
  float radius;
  TColor color;
};

// One entry of the contact table. A partner of 1000 or more is a wall code.
struct contact {
  int ball;
  int partner;
  float t;
};

class sim3d {
 public:
  static constexpr int observer = 0;  // the slot of bodies that holds the observer
  static constexpr int max_balls = 9;
  static constexpr int max_contacts = 36;

  // Wall codes of the contact table.
  static constexpr int left_wall = 1000;
  static constexpr int right_wall = 1010;
  static constexpr int top_wall = 1020;
  static constexpr int bottom_wall = 1030;
  static constexpr int front_wall = 1040;
  static constexpr int rear_wall = 1050;

  body bodies[max_balls + 1];
  contact contacts[max_contacts + 1];
  float place_radius;
  int n_balls;
  int eye_distance;
  float gravitation_constant;
  int draw_order[max_balls + 1];
  float depth[max_balls + 1];
  int contact_order[max_contacts + 1];
  float contact_time[max_contacts + 1];
  int collisions_on;
  int paint_on;
  float ball_density;
  int spin_on;
  int leftframe, rightframe;
  int topframe, bottomframe;
  int frontframe, rearframe;
  int n_contacts;
  int rewind_factor;
  int collided;
  int dim_on;

  // Builds a starting state free of contacts (at most 101 attempts) from a random configuration
  // and the parameter file param_file (empty: random only), and saves it to "default.tmr".
  sim3d(int left, int right, int top, int bottom, int front, int rear, const char* param_file);
  // Saves the final state to "default.tmr", unless save_final already did.
  ~sim3d();
  sim3d(const sim3d&) = delete;
  sim3d& operator=(const sim3d&) = delete;

  // Starting configuration and contact detection.
  void init_set();
  int geometrie();

  // Gravitation and motion.
  void gravitation();
  void calc_trajectory(float dt);
  float modul(float x, float y, float z);
  float cos_fi(float ax, float ay, float az, float bx, float by, float bz);

  // Collisions; mode 0 measures, any other mode resolves.
  int frame_reflekt(int ball, int mode);
  void reflect(int i, int j, int mode);

  // One simulation step, painted into dc.
  void run(TDC& dc);

  // Perspective projection and plane geometry of the ball drawing.
  float sfi(float a, float b, float phi);
  float sn(float a, float b, float c, float d);
  float sf(float a, float b, float c, float d);
  float r_nah(float a, float b, float c, float d);
  float r_fern(float a, float b, float c, float d);
  float y1(float a, float b, float c);
  float angle(float a, float b);
  float xn(float a, float b, float c);
  float yn(float a, float b, float c);

  // Index heapsort: keys[order[1..n]] ascending; lists counted from 1.
  void sortier(int n, float* keys, int* order);

  // Drawing of one ball, of its marking, and of the whole scene far to near.
  void draw_body(float x, float y, float z, float theta, float phi, float radius, TColor color, unsigned u,
                 TDC& dc);
  void draw_ellipse(float x0, float y0, float a1, float a2, float b, float ang, TColor color, TDC& dc);
  void paint(TDC& dc);

  // Parameter files; an empty name reads nothing, and writes "default.tmr". The name is not changed.
  void get_pars(const char* name);
  void set_pars(const char* name);
  // The same over a profile already open on the parameter section (tests and fuzz targets read
  // and write text in memory this way).
  void get_pars(TProfile& profile);
  // False when the profile could not store every value.
  bool set_pars(TProfile& profile);
  static const char pars_section[];

  // Writes the final state to "default.tmr" now, as the destructor would, and leaves the destructor
  // nothing to write: for an end that cannot wait for it (the session or the display going away) and
  // for callers that report where the state went. Returns that path, empty when it could not be written.
  std::string save_final();

 private:
  bool final_saved = false;
};
