// The INI rules on text alone: lookups, edits that leave every other byte alone, odd input.
#include <gtest/gtest.h>

#include <random>
#include <string>

#include "ini_document.h"

namespace {

std::string Edited(const std::string& text, const char* section, const char* key, const char* value) {
  IniDocument document = IniDocument::Parse(text);
  EXPECT_TRUE(document.Set(section, key, value));
  return document.Serialize();
}

TEST(IniDocument, ParseAndSerializeGiveBackAnyBytes) {
  std::vector<std::string> inputs = {
      "",
      "\n\n",
      "[a]\nx=1",
      "[a]\r\nx=1\r\n\n\r",
      "\xEF\xBB\xBF[a]\nx=1\n",
      std::string("[a]\0\nx=\0\0=1\n", 13),
      "[unclosed\n=\n==\n]\n[]\n;\n#\n   \t\n",
      std::string(200000, 'k') + "=" + std::string(100000, 'v'),
  };
  std::mt19937 generator(7);
  for (int i = 0; i < 50; ++i) {
    std::string noise(static_cast<std::size_t>(generator() % 300), '\0');
    for (char& c : noise) c = "[]=\r\n; a\0\xff"[generator() % 10];
    inputs.push_back(noise);
  }
  for (const std::string& input : inputs) {
    IniDocument document = IniDocument::Parse(input);
    EXPECT_EQ(document.Serialize(), input);
    document.Get("a", "x");
    // An edit of noise must still give text that parses back to the stored value.
    if (document.Set("a", "x", "42")) {
      EXPECT_EQ(IniDocument::Parse(document.Serialize()).Get("a", "x"), "42");
    }
  }
}

TEST(IniDocument, LooksUpLikeThePlatform) {
  const IniDocument document = IniDocument::Parse(
      "Speed=9\n"  // before any section: belongs to none
      "; Speed=8\n"
      "[other]\n"
      "speed=7\n"
      "[ TES-MAR_screensaver ]\n"
      "  SPEED =  2  \t\n"
      "speed=3\n"
      "param_file = C:\\x=y.tmr\n"
      "quoted=\"  a b \"\n"
      "empty=\n"
      "no equals sign\n"
      "[tes-mar_ScreenSaver]\n"
      "Frame_on=1\n");
  EXPECT_EQ(document.Get("tes-mar_ScreenSaver", "speed"), "2");  // first match wins, trimmed
  EXPECT_EQ(document.Get("Other", "SPEED"), "7");
  EXPECT_EQ(document.Get("tes-mar_ScreenSaver", "param_file"), "C:\\x=y.tmr");  // text after the first '='
  EXPECT_EQ(document.Get("tes-mar_ScreenSaver", "quoted"), "  a b ");
  EXPECT_EQ(document.Get("tes-mar_ScreenSaver", "empty"), "");
  EXPECT_EQ(document.Get("tes-mar_ScreenSaver", "no equals sign"), std::nullopt);
  // Only the first section of a name is searched, as the platform's reader does.
  EXPECT_EQ(document.Get("tes-mar_ScreenSaver", "Frame_on"), std::nullopt);
  EXPECT_EQ(document.Get("missing", "speed"), std::nullopt);
  EXPECT_EQ(document.Get("", "speed"), std::nullopt);
}

TEST(IniDocument, ReplacesOnlyTheValueAndKeepsEveryOtherByte) {
  const std::string before =
      "; settings\n"
      "[Other]\n"
      "Speed=5\n"
      "\n"
      "[tes-mar_ScreenSaver]\n"
      "  SPEED = 1   \n"
      "odd line \x01\xff\n"
      "what_file=0";
  EXPECT_EQ(Edited(before, "TES-MAR_SCREENSAVER", "speed", "2"),
            "; settings\n[Other]\nSpeed=5\n\n[tes-mar_ScreenSaver]\n  SPEED = 2\nodd line \x01\xff\nwhat_file=0");
}

TEST(IniDocument, AppendsANewKeyAfterTheLastKeyOfItsSection) {
  EXPECT_EQ(Edited("[a]\nx=1\n\n; about b\n[b]\ny=2\n", "a", "z", "3"),
            "[a]\nx=1\nz=3\n\n; about b\n[b]\ny=2\n");
  EXPECT_EQ(Edited("[a]\n; only a comment\n[b]\n", "a", "z", "3"), "[a]\nz=3\n; only a comment\n[b]\n");
  // The unterminated last line gets a line break before the new key.
  EXPECT_EQ(Edited("[a]\nx=1", "a", "z", "3"), "[a]\nx=1\nz=3\n");
}

TEST(IniDocument, AppendsAMissingSectionAtTheEnd) {
  EXPECT_EQ(Edited("", "s", "k", "v"), "[s]\nk=v\n");
  EXPECT_EQ(Edited("[a]\nx=1", "s", "k", "v"), "[a]\nx=1\n\n[s]\nk=v\n");
  EXPECT_EQ(Edited("[a]\nx=1\n\n", "s", "k", "v"), "[a]\nx=1\n\n[s]\nk=v\n");
}

TEST(IniDocument, ReadsCrLfAndWritesInTheFilesStyle) {
  const std::string before = "[a]\r\nx = 1\r\n\r\n[b]\r\n";
  EXPECT_EQ(IniDocument::Parse(before).Get("a", "x"), "1");
  IniDocument document = IniDocument::Parse(before);
  ASSERT_TRUE(document.Set("a", "x", "2"));
  ASSERT_TRUE(document.Set("a", "y", "3"));
  ASSERT_TRUE(document.Set("c", "z", "4"));
  EXPECT_EQ(document.Serialize(), "[a]\r\nx = 2\r\ny=3\r\n\r\n[b]\r\n\r\n[c]\r\nz=4\r\n");
}

TEST(IniDocument, RefusesNamesAndValuesThatWouldBreakTheLayout) {
  const std::string before = "[a]\nx=1\n";
  IniDocument document = IniDocument::Parse(before);
  EXPECT_FALSE(document.Set("a", "x", "1\n[evil]\ny=2"));
  EXPECT_FALSE(document.Set("a", "x", "1\r"));
  EXPECT_FALSE(document.Set("a", "x=y", "1"));
  EXPECT_FALSE(document.Set("a", " ", "1"));
  EXPECT_FALSE(document.Set("a", "[b]", "1"));
  EXPECT_FALSE(document.Set("a", ";x", "1"));
  EXPECT_FALSE(document.Set("", "x", "1"));
  EXPECT_FALSE(document.Set("a\nb", "x", "1"));
  EXPECT_EQ(document.Serialize(), before);
}

TEST(IniDocument, RemovesAKeyLine) {
  IniDocument document = IniDocument::Parse("[a]\nx=1\ny=2\n");
  EXPECT_TRUE(document.Remove("A", "X"));
  EXPECT_FALSE(document.Remove("a", "x"));
  EXPECT_EQ(document.Serialize(), "[a]\ny=2\n");
}

// Lookups remember the section found last; edits before, inside and after it must not mislead them.
TEST(IniDocument, FindsKeysAfterEditsAroundTheSectionFoundLast) {
  IniDocument document = IniDocument::Parse("[a]\nx=1\n[b]\ny=2\n[b]\nz=3\n");
  EXPECT_EQ(document.Get("b", "y"), "2");
  EXPECT_TRUE(document.Set("a", "w", "0"));  // a line before the section
  EXPECT_TRUE(document.Set("b", "v", "4"));  // a line at its end
  EXPECT_EQ(document.Get("b", "y"), "2");
  EXPECT_EQ(document.Get("b", "v"), "4");
  EXPECT_EQ(document.Get("b", "z"), std::nullopt);  // the second [b] stays hidden
  EXPECT_TRUE(document.Remove("a", "x"));
  EXPECT_TRUE(document.Remove("b", "y"));
  EXPECT_TRUE(document.Set("c", "u", "5"));  // a new section after it
  EXPECT_EQ(document.Get("b", "v"), "4");
  EXPECT_EQ(document.Get("a", "w"), "0");
  EXPECT_EQ(document.Serialize(), "[a]\nw=0\n[b]\nv=4\n[b]\nz=3\n\n[c]\nu=5\n");
}

}  // namespace
