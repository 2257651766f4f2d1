// The fixture of the engine tests: a scratch folder for the Windows directory and the working
// directory, an engine on a 1024 x 768 box, and helpers that set up ball layouts.
#pragma once

#include <gtest/gtest.h>

#include <filesystem>
#include <memory>
#include <string>

#include "phys52.h"

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
  std::filesystem::path WindowsDirectory() const { return Root / "config" / "tes-mar"; }
  std::filesystem::path DefaultFile() const { return WindowsDirectory() / "default.tmr"; }

 private:
  std::filesystem::path SavedWorkingDirectory;
};
