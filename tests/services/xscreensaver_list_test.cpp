// Adding this saver to xscreensaver's list: one entry more, every other byte as it was, nothing
// written when it is listed already.
#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <sstream>
#include <string>

#include "xscreensaver_list.h"

namespace {

const std::string UserFile =
    "# XScreenSaver Preferences File\n"
    "timeout:\t0:10:00\n"
    "textURL:\thttps://example.org/feed \\\n"
    "\tprograms: not this\n"
    "programs:\t\t\t\t\t\t\t\t      \\\n"
    "\t\t\t\tmaze --root\t\t\t\t    \\n\\\n"
    "- GL: \t\t\t\tsuperquadrics --root\t\t\t    \\n\\\n"
    "\t\t\t\tattraction --root\t\t\t    \\n\n"
    "\n"
    "pointerHysteresis:\t10\n";

TEST(XscreensaverList, AddsOneEntryAtTheEndOfTheListAndKeepsTheRest) {
  bool listed = true;
  const std::string added = AddProgramEntry(UserFile, "tesmar --root", "", listed);
  EXPECT_FALSE(listed);
  const std::string expected =
      "# XScreenSaver Preferences File\n"
      "timeout:\t0:10:00\n"
      "textURL:\thttps://example.org/feed \\\n"
      "\tprograms: not this\n"
      "programs:\t\t\t\t\t\t\t\t      \\\n"
      "\t\t\t\tmaze --root\t\t\t\t    \\n\\\n"
      "- GL: \t\t\t\tsuperquadrics --root\t\t\t    \\n\\\n"
      "\t\t\t\tattraction --root\t\t\t    \\n\\\n"
      "\t\t\t\ttesmar --root\t\t\t\t    \\n\n"
      "\n"
      "pointerHysteresis:\t10\n";
  EXPECT_EQ(added, expected);

  // Once there, whether enabled, disabled or by its full path, it is not added again.
  AddProgramEntry(added, "tesmar --root", "", listed);
  EXPECT_TRUE(listed);
  const std::string disabled = "programs: \\\n  maze --root \\n\\\n-  /usr/libexec/xscreensaver/tesmar -root \\n\n";
  EXPECT_EQ(AddProgramEntry(disabled, "tesmar --root", "", listed), disabled);
  EXPECT_TRUE(listed);
  // A program whose name only contains it is another program.
  AddProgramEntry("programs: \\\n  tesmarx --root \\n\n", "tesmar --root", "", listed);
  EXPECT_FALSE(listed);
}

TEST(XscreensaverList, MakesAListFromTheSystemsWhenTheFileHasNone) {
  const std::string appDefaults =
      "*timeout: 0:10:00\n"
      "*programs:\t\t\t\t      \\\n"
      "\t\t\t\tmaze --root\t\t    \\n\\\n"
      "- GL: \t\t\t\tsuperquadrics --root\t    \\n\n"
      "*pointerHysteresis: 10\n";
  const std::string system = ProgramsResource(appDefaults);
  EXPECT_EQ(system, "\t\t\t\tmaze --root\t\t    \\n\\\n- GL: \t\t\t\tsuperquadrics --root\t    \\n\n");

  bool listed = true;
  const std::string made = AddProgramEntry("timeout:\t0:05:00", "tesmar --root", system, listed);
  EXPECT_FALSE(listed);
  EXPECT_EQ(made.rfind("timeout:\t0:05:00\nprograms:", 0), 0u);
  EXPECT_NE(made.find("maze --root\t\t    \\n\\\n- GL: \t\t\t\tsuperquadrics --root\t    \\n\\\n\t\t\t\ttesmar --root"),
            std::string::npos);
  EXPECT_EQ(made.back(), '\n');

  // No file at all and no system list: a list of this saver alone.
  const std::string alone = AddProgramEntry("", "tesmar --root", "", listed);
  EXPECT_EQ(alone, "programs:\t\t\t\t\t\t\t\t      \\\n\t\t\t\ttesmar --root\t\t\t\t    \\n\n");
}

// A last line that ends in a continuation would swallow a new resource: the daemon would not see
// the list, and the next run would add it again.
TEST(XscreensaverList, ANewListDoesNotContinueAnUnfinishedLastLine) {
  bool listed = true;
  const std::string made = AddProgramEntry("textURL:\thttps://example.org \\\n", "tesmar --root", "", listed);
  EXPECT_FALSE(listed);
  EXPECT_EQ(made.rfind("textURL:\thttps://example.org \\\n\nprograms:", 0), 0u);
  EXPECT_EQ(AddProgramEntry(made, "tesmar --root", "", listed), made);
  EXPECT_TRUE(listed);
}

TEST(XscreensaverList, WritesTheFileOnlyWhenItChanges) {
  const std::filesystem::path folder = std::filesystem::temp_directory_path() / "tesmar-xscreensaver-list-test";
  std::filesystem::remove_all(folder);
  std::filesystem::create_directories(folder);
  const std::string path = (folder / ".xscreensaver").string();
  std::ofstream(path, std::ios::binary) << UserFile;

  ::testing::internal::CaptureStdout();
  EXPECT_EQ(AddToXscreensaverFile(path, (folder / "none").string(), "tesmar --root"), 0);
  const auto modified = std::filesystem::last_write_time(path);
  std::filesystem::last_write_time(path, modified - std::chrono::hours(1));
  EXPECT_EQ(AddToXscreensaverFile(path, (folder / "none").string(), "tesmar --root"), 0);
  ::testing::internal::GetCapturedStdout();
  // The second call found it listed and left the file alone.
  EXPECT_EQ(std::filesystem::last_write_time(path), modified - std::chrono::hours(1));
  std::ifstream file(path, std::ios::binary);
  std::ostringstream bytes;
  bytes << file.rdbuf();
  EXPECT_NE(bytes.str().find("tesmar --root"), std::string::npos);
  // Only the file itself is there: no temporary file left beside it.
  EXPECT_EQ(std::distance(std::filesystem::directory_iterator(folder), std::filesystem::directory_iterator()), 1);

  // A folder that cannot hold the file: an error, and nothing made.
  ::testing::internal::CaptureStderr();
  EXPECT_NE(AddToXscreensaverFile((folder / "missing" / ".xscreensaver").string(), "", "tesmar --root"), 0);
  EXPECT_FALSE(::testing::internal::GetCapturedStderr().empty());
  EXPECT_FALSE(std::filesystem::exists(folder / "missing"));
  std::filesystem::remove_all(folder);
}

}  // namespace
