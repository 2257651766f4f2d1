// The engine tests' fixture: scratch folders and ball layouts.
#include "engine_test.h"

#include "saver_files.h"

#include <chrono>
#include <cstdlib>
#include <fstream>
#include <sstream>

#include "random.h"
#include "system_api.h"

namespace {

void SetEnvironment(const char* name, const std::string& value) {
#ifdef _WIN32
  _putenv_s(name, value.c_str());
#else
  setenv(name, value.c_str(), 1);
#endif
}

}  // namespace

std::filesystem::path EngineTest::FilesFolder() { return SaverFolder(); }

void EngineTest::SetUp() {
  const auto stamp = std::chrono::steady_clock::now().time_since_epoch().count();
  for (int attempt = 0; Root.empty(); ++attempt) {
    const auto candidate = std::filesystem::temp_directory_path() /
                           ("tesmar-sim-" + std::to_string(stamp) + "-" + std::to_string(attempt));
    if (std::filesystem::create_directory(candidate)) Root = candidate;
  }
  std::filesystem::create_directories(Root / "config");
  std::filesystem::create_directories(Root / "work");
  // No test may touch the user's own files: on Linux the profile's Windows directory lies in the
  // scratch folder (on Windows the tests run in a Wine prefix of their own), and so does the
  // working directory, which the profile's file search looks in.
  SetEnvironment("XDG_CONFIG_HOME", (Root / "config").string());
  SetEnvironment("HOME", Root.string());
  SavedWorkingDirectory = std::filesystem::current_path();
  std::filesystem::current_path(Root / "work");
  set_fixed_random_seed(1234);
}

void EngineTest::TearDown() {
  clear_fixed_random_seed();
  std::filesystem::current_path(SavedWorkingDirectory);
  std::error_code ignored;
  // Outside the scratch folder only on Windows, where the tests' Wine prefix holds the directory.
  for (const char* name : {"default.tmr", "own.tmr"}) std::filesystem::remove(FilesFolder() / name, ignored);
  std::filesystem::remove_all(Root, ignored);
}

std::unique_ptr<sim3d> EngineTest::MakeEngine(const char* param_file) {
  return std::make_unique<sim3d>(0, 1023, 0, 767, 0, 1000, param_file);
}

void EngineTest::Quiet(sim3d& engine) {
  for (int i = 1; i <= 9; ++i) {
    body& ball = engine.bodies[i];
    ball = body{};
    ball.x = 200.0f + 300.0f * ((i - 1) % 3);
    ball.y = 150.0f + 230.0f * ((i - 1) / 3);
    ball.z = 500.0f;
    ball.radius = 10.0f;
    ball.color = TColor(10 * i, 20 * i, 25 * i);
  }
  engine.gravitation_constant = 0.0f;
  for (contact& entry : engine.contacts) entry = contact{0, 0, 0.0f};
  for (int& slot : engine.contact_order) slot = 0;
  engine.n_contacts = 0;
}

void EngineTest::Place(sim3d& engine, int ball, float x, float y, float z, float vx, float vy, float vz) {
  body& b = engine.bodies[ball];
  b.x = x;
  b.y = y;
  b.z = z;
  b.vx = vx;
  b.vy = vy;
  b.vz = vz;
}

std::string EngineTest::ReadText(const std::filesystem::path& path) {
  std::ifstream in(path, std::ios::binary);
  std::ostringstream text;
  text << in.rdbuf();
  return text.str();
}

void EngineTest::WriteText(const std::filesystem::path& path, const std::string& text) {
  std::ofstream out(path, std::ios::binary);
  out << text;
}
