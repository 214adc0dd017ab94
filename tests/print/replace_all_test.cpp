#include "print/replace_all.h"

#include <gtest/gtest.h>

#include <string>

namespace {

struct ReplaceCase {
  const char* why;
  std::string text;
  std::string search;
  std::string replacement;
  std::string expected;
};

TEST(ReplaceAll, ReplacesEveryOccurrenceByTheRules) {
  const ReplaceCase cases[] = {
      {"an empty replacement removes the marker", "Organizace: xxx3<br/>xxx4", "xxx4", "",
       "Organizace: xxx3<br/>"},
      {"a marker twice is replaced in both places", "xxx1 a xxx1", "xxx1", "Nákup",
       "Nákup a Nákup"},
      {"a marker that does not occur", "Organizace: xxx3", "xxx9", "Novák", "Organizace: xxx3"},
      {"search equal to the replacement", "xxx5 xxx5", "xxx5", "xxx5", "xxx5 xxx5"},
      {"a replacement holding its own search is inserted once", "<b>xxx7</b> xxx7", "xxx7",
       "[xxx7]", "<b>[xxx7]</b> [xxx7]"},
      {"the dots of a date", "7.12.2026", ".", "_", "7_12_2026"},
      {"an empty search never matches", "abc", "", "X", "abc"},
      {"occurrences do not overlap", "aaaa", "aa", "b", "bb"},
      {"the odd byte after the last occurrence stays", "aaa", "aa", "b", "ba"},
      {"inserted text is not searched again", "aabb", "ab", "", "ab"},
      {"markers are case-sensitive", "XXX1 Xxx1 xxx1", "xxx1", "v", "XXX1 Xxx1 v"},
      {"an empty text", "", "xxx1", "v", ""},
      {"the whole text is one occurrence", "xxx8", "xxx8", "", ""},
      {"a search longer than the text", "xx", "xxx1", "v", "xx"},
      {"a replacement longer than the text", "x", "x", "xxxxxxxx", "xxxxxxxx"},
      {"bytes are compared exactly, NUL included", std::string("a\0b\0", 4), std::string("\0", 1),
       "-", "a-b-"},
      {"high bytes are plain bytes", "\xE8\xE8\xE9", "\xE8", "&#269;", "&#269;&#269;\xE9"},
  };
  for (const ReplaceCase& c : cases) {
    EXPECT_EQ(print::ReplaceAll(c.text, c.search, c.replacement), c.expected) << c.why;
  }
}

TEST(ReplaceAll, LeavesItsArgumentsUnchanged) {
  const std::string text = "xxx1 xxx2";
  const std::string search = "xxx1";
  const std::string replacement = "xxx2";
  const std::string result = print::ReplaceAll(text, search, replacement);
  EXPECT_EQ(result, "xxx2 xxx2");
  EXPECT_EQ(text, "xxx1 xxx2");
  EXPECT_EQ(search, "xxx1");
  EXPECT_EQ(replacement, "xxx2");
}

TEST(ReplaceAll, FillsALargeTextInOnePass) {
  // A report page of many rows: the work grows with the text, not with the
  // square of the occurrences.
  std::string text;
  for (int i = 0; i < 200000; ++i) text += "<td>xxx0</td>";
  const std::string result = print::ReplaceAll(text, "xxx0", "1234,50");
  EXPECT_EQ(result.size(), text.size() + 200000u * 3u);
  EXPECT_EQ(result.find("xxx0"), std::string::npos);
  EXPECT_EQ(result.substr(0, 16), "<td>1234,50</td>");
}

}  // namespace
