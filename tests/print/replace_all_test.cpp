#include "print/replace_all.h"

#include <gtest/gtest.h>

#include <random>
#include <string>
#include <vector>

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

struct FillCase {
  const char* why;
  std::string text;
  std::vector<print::MarkerValue> fills;
  std::string expected;
};

TEST(FillTemplate, PutsEachValueInPlaceOfItsMarkerInOnePass) {
  const FillCase cases[] = {
      {"each marker takes its value", "<b>xxx1</b> xxx2", {{"xxx1", "kind"}, {"xxx2", "15"}}, "<b>kind</b> 15"},
      {"a marker twice takes its value twice", "xxx0 a xxx0", {{"xxx0", "Kniha"}}, "Kniha a Kniha"},
      {"a value holding a later marker keeps it", "[xxx7] [xxx9]", {{"xxx7", "pay xxx9"}, {"xxx9", "Jana"}},
       "[pay xxx9] [Jana]"},
      {"a value holding an earlier marker keeps it", "[xxx1] [xxx2]", {{"xxx1", "a"}, {"xxx2", "xxx1"}},
       "[a] [xxx1]"},
      {"a value holding its own marker keeps it", "xxx7 xxx7", {{"xxx7", "<xxx7>"}}, "<xxx7> <xxx7>"},
      {"a value equal to its marker", "xxx5|xxx6", {{"xxx5", "xxx5"}, {"xxx6", "xxx5"}}, "xxx5|xxx5"},
      {"an empty value removes the marker", "Organizace: xxx3<br/>xxx4", {{"xxx3", ""}, {"xxx4", ""}},
       "Organizace: <br/>"},
      {"a marker not in the list stays", "xxx1 xxx2", {{"xxx1", "a"}}, "a xxx2"},
      {"adjacent markers", "xxx1xxx2", {{"xxx1", "a"}, {"xxx2", "b"}}, "ab"},
      {"a value and the text behind it make no marker", "xxx1x2", {{"xxx1", "xx"}, {"xxx2", "B"}}, "xxx2"},
      {"a marker begins only where a whole one fits", "xxxx1", {{"xxx1", "v"}}, "xv"},
      {"at one place the earlier marker in the list wins", "xxx10", {{"xxx1", "a"}, {"xxx10", "b"}}, "a0"},
      {"the list's order decides, not the length", "xxx10", {{"xxx10", "b"}, {"xxx1", "a"}}, "b"},
      {"markers are case-sensitive", "XXX1 Xxx1 xxx1", {{"xxx1", "v"}}, "XXX1 Xxx1 v"},
      {"an empty marker never matches", "abc", {{"", "X"}}, "abc"},
      {"no markers", "abc", {}, "abc"},
      {"an empty text", "", {{"xxx1", "v"}}, ""},
      {"a marker cut off at the end stays", "a xxx", {{"xxx1", "v"}}, "a xxx"},
      {"high bytes and NUL are plain bytes", std::string("\xE8xxx1\0", 6), {{"xxx1", "\x8A"}},
       std::string("\xE8\x8A\0", 3)},
  };
  for (const FillCase& c : cases) {
    EXPECT_EQ(print::FillTemplate(c.text, c.fills), c.expected) << c.why;
  }
}

TEST(FillTemplate, GivesWhatMarkerAfterMarkerGaveForValuesWithoutMarkers) {
  // Texts and values without an "x" hold no marker and cannot make one at a
  // seam, so the one pass must fill them as ReplaceAll did marker by marker.
  const std::vector<std::string> markers = {"xxx0", "xxx1", "xxx2", "xxx3", "xxx4", "xxx5", "xxx6",
                                            "xxx7", "xxx8", "xxx9", "xxxA", "xxxB", "xxxC"};
  const std::string pieces = "<>/ab \n&;\xE8\x8A";
  std::mt19937 random(71226);
  for (int round = 0; round < 2000; ++round) {
    std::string text;
    const int length = static_cast<int>(random() % 40);
    for (int i = 0; i < length; ++i) {
      text += random() % 4 == 0 ? markers[random() % markers.size()] : std::string(1, pieces[random() % pieces.size()]);
    }
    std::vector<std::string> values(markers.size());
    for (std::string& value : values) {
      const int size = static_cast<int>(random() % 6);
      for (int i = 0; i < size; ++i) value += pieces[random() % pieces.size()];
    }
    std::vector<print::MarkerValue> fills;
    std::string oneByOne = text;
    for (std::size_t i = 0; i < markers.size(); ++i) {
      fills.push_back({markers[i], values[i]});
      oneByOne = print::ReplaceAll(oneByOne, markers[i], values[i]);
    }
    ASSERT_EQ(print::FillTemplate(text, fills), oneByOne) << text;
  }
}

TEST(FillTemplate, FillsALargeTextInOnePass) {
  std::string text;
  for (int i = 0; i < 200000; ++i) text += "<td>xxx0</td><td>xxx7</td>";
  const print::MarkerValue fills[] = {{"xxx0", "1234,50"}, {"xxx7", "xxx0"}};
  const std::string result = print::FillTemplate(text, fills);
  EXPECT_EQ(result.size(), text.size() + 200000u * 3u);
  EXPECT_EQ(result.substr(0, 29), "<td>1234,50</td><td>xxx0</td>");
}

}  // namespace
