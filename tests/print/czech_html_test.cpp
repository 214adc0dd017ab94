#include "print/czech_html.h"

#include <gtest/gtest.h>

#include <set>
#include <string>

#include "text/cp1250.h"

namespace {

using text::toCp1250;

struct Letter {
  const char* utf8;
  unsigned char cp1250;
  const char* reference;
};

const Letter kEncodedLetters[] = {
    {"č", 0xE8, "&#269;"}, {"Č", 0xC8, "&#268;"}, {"ď", 0xEF, "&#271;"}, {"Ď", 0xCF, "&#270;"},
    {"ě", 0xEC, "&#283;"}, {"Ě", 0xCC, "&#282;"}, {"ĺ", 0xE5, "&#314;"}, {"Ĺ", 0xC5, "&#313;"},
    {"ľ", 0xBE, "&#318;"}, {"Ľ", 0xBC, "&#317;"}, {"ň", 0xF2, "&#328;"}, {"Ň", 0xD2, "&#327;"},
    {"ř", 0xF8, "&#345;"}, {"Ř", 0xD8, "&#344;"}, {"š", 0x9A, "&#353;"}, {"Š", 0x8A, "&#352;"},
    {"ť", 0x9D, "&#357;"}, {"Ť", 0x8D, "&#356;"}, {"ů", 0xF9, "&#367;"}, {"Ů", 0xD9, "&#366;"},
    {"ž", 0x9E, "&#382;"}, {"Ž", 0x8E, "&#381;"},
};

TEST(CzechToHtml, WritesEachOfTheTwentyTwoLettersAsItsReference) {
  for (const Letter& letter : kEncodedLetters) {
    const std::string byte = toCp1250(letter.utf8);
    ASSERT_EQ(byte, std::string(1, static_cast<char>(letter.cp1250))) << letter.utf8;
    EXPECT_EQ(print::CzechToHtml(byte), letter.reference) << letter.utf8;
    EXPECT_EQ(print::CzechToHtml("a" + byte + "b" + byte), std::string("a") + letter.reference +
                                                               "b" + letter.reference)
        << letter.utf8;
  }
}

TEST(CzechToHtml, KeepsEveryOtherByte) {
  std::set<unsigned char> encoded;
  for (const Letter& letter : kEncodedLetters) encoded.insert(letter.cp1250);
  for (int b = 0; b < 256; ++b) {
    if (encoded.count(static_cast<unsigned char>(b))) continue;
    const std::string byte(1, static_cast<char>(b));
    EXPECT_EQ(print::CzechToHtml(byte), byte) << "byte " << b;
  }
}

TEST(CzechToHtml, EncodesOnlyTheTableLettersOfWords) {
  struct Case {
    const char* utf8;
    std::string expected;  // Windows-1250
  };
  const Case cases[] = {
      {"Kč", "K&#269;"},
      {"Účel", "\xDA&#269;el"},
      {"Převzal", "P&#345;evzal"},
      {"Částka slovy", "&#268;\xE1stka slovy"},
      {"<b>Tučné písmo</b>", "<b>Tu&#269;n\xE9 p\xEDsmo</b>"},
      {"á é ô ä ŕ ł", "\xE1 \xE9 \xF4 \xE4 \xE0 \xB3"},
      {"ÁÉÍÓÚÝ áéíóúý ÄÔÖÜ äôöü", toCp1250("ÁÉÍÓÚÝ áéíóúý ÄÔÖÜ äôöü")},
      {"< > & \" '", "< > & \" '"},
      {"K&#269; &#345;", "K&#269; &#345;"},
      {"", ""},
      {"Příliš žluťoučký kůň úpěl ďábelské ódy",
       "P&#345;\xEDli&#353; &#382;lu&#357;ou&#269;k\xFD k&#367;&#328; \xFAp&#283;l "
       "&#271;\xE1" "belsk\xE9 \xF3" "dy"},
      {"ĽUBOŠ ĹŽIČKA", "&#317;UBO&#352; &#313;&#381;I&#268;KA"},
  };
  for (const Case& c : cases) {
    EXPECT_EQ(print::CzechToHtml(toCp1250(c.utf8)), c.expected) << c.utf8;
  }
}

TEST(HtmlEscape, WritesAmpersandAndAngleBracketsAsReferences) {
  struct Case {
    const char* why;
    std::string text;      // Windows-1250
    std::string expected;  // Windows-1250
  };
  const Case cases[] = {
      {"a script", "<script>alert(1)</script>", "&lt;script&gt;alert(1)&lt;/script&gt;"},
      {"an ampersand", "Tom & Jerry", "Tom &amp; Jerry"},
      {"the three alone", "<&>", "&lt;&amp;&gt;"},
      {"a reference typed by hand prints as typed", "K&#269; &amp;", "K&amp;#269; &amp;amp;"},
      {"a name in angle quotes (‹ is 0x8B, no letter)", toCp1250("‹ZŠ Úvoz>"), "\x8BZ\x8A \xDAvoz&gt;"},
      {"quotation marks stay", "\"a\" 'b'", "\"a\" 'b'"},
      {"Czech letters stay for CzechToHtml", toCp1250("Nákup č. 5"), toCp1250("Nákup č. 5")},
      {"an empty text", "", ""},
  };
  ASSERT_EQ(toCp1250("‹"), "\x8B");
  for (const Case& c : cases) {
    EXPECT_EQ(print::HtmlEscape(c.text), c.expected) << c.why;
  }
}

TEST(HtmlEscape, KeepsEveryOtherByte) {
  for (int b = 0; b < 256; ++b) {
    if (b == '&' || b == '<' || b == '>') continue;
    const std::string byte(1, static_cast<char>(b));
    EXPECT_EQ(print::HtmlEscape(byte), byte) << "byte " << b;
  }
}

TEST(HtmlEscape, ThenCzechToHtmlEncodesTheLettersWithoutASecondEscape) {
  struct Case {
    const char* utf8;
    std::string expected;  // Windows-1250
  };
  const Case cases[] = {
      {"‹ZŠ Úvoz>", "\x8BZ&#352; \xDAvoz&gt;"},
      {"<b>Tučně</b> & č", "&lt;b&gt;Tu&#269;n&#283;&lt;/b&gt; &amp; &#269;"},
      {"K&#269;", "K&amp;#269;"},
      {"Příliš & žluťoučký", "P&#345;\xEDli&#353; &amp; &#382;lu&#357;ou&#269;k\xFD"},
  };
  for (const Case& c : cases) {
    EXPECT_EQ(print::CzechToHtml(print::HtmlEscape(toCp1250(c.utf8))), c.expected) << c.utf8;
  }
}

TEST(CzechToHtml, LeavesItsInputUnchanged) {
  const std::string input = toCp1250("Kč");
  const std::string output = print::CzechToHtml(input);
  EXPECT_EQ(input, toCp1250("Kč"));
  EXPECT_EQ(output, "K&#269;");
}

}  // namespace
