// The fixture of the engine tests: a scratch folder for the Windows directory and the working
// directory, an engine on a 1024 x 768 box, and helpers that set up ball layouts.
#pragma once

#include <gtest/gtest.h>

#include <filesystem>
#include <memory>
#include <string>

#include "phys52.h"

// M_PI is not standard, and MinGW leaves it out in strict mode.
inline constexpr double test_pi = 3.14159265358979323846;

class EngineTest : public ::testing::Test {
 protected:
  void SetUp() override;
  void TearDown() override;

  // A fresh engine for the 1024 x 768 box, built from a random start with a fixed seed.
  std::unique_ptr<sim3d> MakeEngine(const char* param_file = "");

  // Nine balls of radius 10 at rest on a grid, far from each other and from the walls, with no
  // mass, no spin, no pull (gravitation_constant 0) and the contact table cleared.
  static void Quiet(sim3d& engine);
  static void Place(sim3d& engine, int ball, float x, float y, float z, float vx = 0, float vy = 0, float vz = 0);

  static std::string ReadText(const std::filesystem::path& path);
  static void WriteText(const std::filesystem::path& path, const std::string& text);

  std::filesystem::path Root;
  // Where a bare file name is written: the saver folder, on Linux inside Root.
  static std::filesystem::path FilesFolder();
  static std::filesystem::path DefaultFile() { return FilesFolder() / "default.tmr"; }

 private:
  std::filesystem::path SavedWorkingDirectory;
};
