// The test programs' main on Linux: a QApplication for the windows, and a scratch configuration
// folder so that tests never touch the user's settings, parameter files or saver-running flag.
#include <QApplication>

#include <gtest/gtest.h>

#include <cstdlib>
#include <filesystem>
#include <string>

int main(int argc, char* argv[]) {
  setenv("QT_QPA_PLATFORM", "offscreen", 0);
  char scratchTemplate[] = "/tmp/tesmar-tests-XXXXXX";
  const char* scratch = mkdtemp(scratchTemplate);
  if (!scratch) return 1;
  const std::filesystem::path root(scratch);
  std::filesystem::create_directories(root / "config");
  std::filesystem::create_directories(root / "runtime");
  std::filesystem::permissions(root / "runtime", std::filesystem::perms::owner_all);
  setenv("XDG_CONFIG_HOME", (root / "config").c_str(), 1);
  setenv("XDG_RUNTIME_DIR", (root / "runtime").c_str(), 1);

  QApplication application(argc, argv);
  testing::InitGoogleTest(&argc, argv);
  // Death tests start the program afresh rather than forking a process that holds a GUI connection.
  GTEST_FLAG_SET(death_test_style, "threadsafe");
  const int result = RUN_ALL_TESTS();

  std::error_code ignored;
  std::filesystem::remove_all(root, ignored);
  return result;
}
