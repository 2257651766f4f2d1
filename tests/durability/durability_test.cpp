// Kills a process with SIGKILL at random moments while it rewrites "default.tmr" (through the
// engine's writer) and "tes-mar.ini" (through the profile, as the settings dialog does), many times,
// and checks that each file is afterwards one whole version: the old one or the new one.
#include <gtest/gtest.h>

#include <signal.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <random>
#include <set>
#include <sstream>
#include <string>
#include <vector>

#include "atomic_file.h"
#include "ini_document.h"
#include "phys52.h"
#include "profile.h"

namespace {

namespace fs = std::filesystem;
constexpr const char* section = "tes-mar_ScreenSaver";

std::string read_file(const fs::path& path) {
  std::ifstream in(path, std::ios::binary);
  std::ostringstream out;
  out << in.rdbuf();
  return out.str();
}

// Every value of one version carries the version's number g.
void write_parameters(sim3d& sim, int g) {
  sim.gravitation_constant = static_cast<float>(g);
  sim.ball_density = static_cast<float>(g);
  for (int i = 1; i <= 9; ++i) {
    body& b = sim.bodies[i];
    b.vx = b.vy = b.vz = static_cast<float>(g);
    b.x = b.y = b.z = static_cast<float>(g);
    b.radius = b.mass = static_cast<float>(g);
    b.color = TColor(g % 256, g % 256, g % 256);
  }
  sim.set_pars("");
}

void write_settings(int g) {
  TProfile profile(section, "tes-mar.ini");
  const std::string v = std::to_string(g);
  profile.WriteString("Speed", v.c_str());
  profile.WriteString("Frame_on", v.c_str());
  profile.WriteString("what_file", v.c_str());
  profile.WriteString("param_file", ("file" + v + ".tmr").c_str());
}

// The version number of a whole parameter file, or -1 when it is not one whole version.
int parameter_version(const std::string& text) {
  const IniDocument document = IniDocument::Parse(text);
  std::set<int> versions;
  auto note = [&](const std::string& key, int numbers) {
    const auto value = document.Get(section, key);
    if (!value) {
      versions.insert(-1);
      return;
    }
    std::istringstream in(*value);
    for (int k = 0; k < numbers; ++k) {
      double x = -1;
      if (!(in >> x)) x = -1;
      versions.insert(key.find("red_green_blue") != std::string::npos ? -2 : static_cast<int>(x));
    }
  };
  note("gravitation_constant", 1);
  note("ball_density", 1);
  for (int i = 1; i <= 9; ++i) {
    const std::string prefix = "ball_N" + std::to_string(i);
    note(prefix + "_speed_x_y_z", 3);
    note(prefix + "_coordinates_x_y_z", 3);
    note(prefix + "_radius", 1);
    note(prefix + "_mass", 1);
    note(prefix + "_red_green_blue_0-255", 3);
  }
  versions.erase(-2);
  return versions.size() == 1 ? *versions.begin() : -1;
}

int settings_version(const std::string& text) {
  const IniDocument document = IniDocument::Parse(text);
  std::set<std::string> versions;
  for (const char* key : {"Speed", "Frame_on", "what_file"}) {
    const auto value = document.Get(section, key);
    versions.insert(value ? *value : "missing");
  }
  const auto file = document.Get(section, "param_file");
  if (versions.size() != 1 || !file || *file != "file" + *versions.begin() + ".tmr") return -1;
  try {
    return std::stoi(*versions.begin());
  } catch (...) {
    return -1;
  }
}

class Durability : public ::testing::Test {
 protected:
  void SetUp() override {
    folder = fs::temp_directory_path() / ("tesmar-durability-" + std::to_string(getpid()));
    fs::create_directories(folder / "config");
    setenv("XDG_CONFIG_HOME", (folder / "config").c_str(), 1);
    previous = fs::current_path();
    fs::current_path(folder);
  }
  void TearDown() override {
    fs::current_path(previous);
    fs::remove_all(folder);
  }
  fs::path folder;
  fs::path previous;
};

TEST_F(Durability, KilledWritersLeaveTheOldOrTheNewFileWhole) {
  const fs::path parameters = folder / "config" / "tes-mar" / "default.tmr";
  const fs::path settings = folder / "config" / "tes-mar" / "tes-mar.ini";
  {
    sim3d sim(0, 1023, 0, 767, 0, 1000, "");
    write_parameters(sim, 1);
  }
  write_settings(1);

  std::mt19937 random(12345);
  const int kills = 200;
  int last_parameters = parameter_version(read_file(parameters));
  int last_settings = settings_version(read_file(settings));
  ASSERT_EQ(last_parameters, 1);
  ASSERT_EQ(last_settings, 1);

  for (int round = 0; round < kills; ++round) {
    const int first = 2 + round * 1000;
    const pid_t child = fork();
    ASSERT_GE(child, 0);
    if (child == 0) {
      // The engine saves its state on construction as well; then the writers run until killed.
      sim3d sim(0, 1023, 0, 767, 0, 1000, "");
      for (int g = first;; ++g) {
        write_parameters(sim, g);
        write_settings(g);
      }
    }
    usleep(std::uniform_int_distribution<useconds_t>(0, 30000)(random));
    kill(child, SIGKILL);
    int status = 0;
    waitpid(child, &status, 0);
    ASSERT_TRUE(WIFSIGNALED(status));

    // The construction in the child writes a version of its own (random values, no single number).
    const std::string parameter_text = read_file(parameters);
    const int p = parameter_version(parameter_text);
    const bool random_start = p == -1 && parameter_text.find("ball_N9_red_green_blue_0-255=") != std::string::npos &&
                              parameter_text.back() == '\n';
    ASSERT_TRUE(p == last_parameters || p >= first || random_start) << "round " << round << ":\n" << parameter_text;
    if (!random_start) last_parameters = p;

    const int s = settings_version(read_file(settings));
    ASSERT_TRUE(s == last_settings || s >= first) << "round " << round << ": settings version " << s;
    last_settings = s;
  }
  for (const auto& entry : fs::directory_iterator(folder / "config" / "tes-mar")) {
    const std::string name = entry.path().filename().string();
    EXPECT_TRUE(name == "default.tmr" || name == "tes-mar.ini" || name.find(".tmp") != std::string::npos) << name;
  }
}

// Writers killed mid-write leave "<file>.tmp<pid>" behind; the next write removes those of dead
// writers, but never the file of a writer that still runs (one saver per monitor may be writing).
TEST_F(Durability, AWriteRemovesOnlyTheTemporaryFilesOfDeadWriters) {
  const fs::path target = folder / "default.tmr";
  const pid_t dead = fork();
  ASSERT_GE(dead, 0);
  if (dead == 0) _exit(0);
  waitpid(dead, nullptr, 0);
  const pid_t living = fork();
  ASSERT_GE(living, 0);
  if (living == 0) {
    pause();
    _exit(0);
  }

  const std::string deadName = "default.tmr.tmp" + std::to_string(dead);
  const std::string livingName = "default.tmr.tmp" + std::to_string(living);
  const std::vector<std::string> kept = {livingName, "default.tmr.tmp", "default.tmr.tmp12x",
                                         "other.tmr.tmp" + std::to_string(dead), "xdefault.tmr.tmp" + std::to_string(dead)};
  for (const std::string& name : kept) std::ofstream(folder / name) << "partial";
  std::ofstream(folder / deadName) << "partial";

  EXPECT_TRUE(WriteFileAtomically(target.string(), "whole\n"));
  kill(living, SIGKILL);
  waitpid(living, nullptr, 0);

  EXPECT_EQ(read_file(target), "whole\n");
  EXPECT_FALSE(fs::exists(folder / deadName));
  for (const std::string& name : kept) EXPECT_TRUE(fs::exists(folder / name)) << name;
  EXPECT_FALSE(fs::exists(folder / ("default.tmr.tmp" + std::to_string(getpid()))));

  // Once that writer is gone too, the next write takes its file away.
  EXPECT_TRUE(WriteFileAtomically(target.string(), "whole again\n"));
  EXPECT_FALSE(fs::exists(folder / livingName));
}

}  // namespace
