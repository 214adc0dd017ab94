#include "text/cp1250.h"

#include <gtest/gtest.h>
#include <locale.h>
#include <wctype.h>

#include <string>

#include "text/error.h"

namespace {

std::string allBytes() {
  std::string s;
  for (int b = 0; b < 256; ++b) s += static_cast<char>(b);
  return s;
}

std::string byte(int b) { return std::string(1, static_cast<char>(b)); }

std::string refusal(std::string_view utf8) {
  try {
    text::toCp1250(utf8);
  } catch (const mincar::Error& e) {
    return e.what();
  }
  return "(accepted)";
}

// The upper half as the code page's published table has it; the undefined
// bytes as the C1 controls of the same value.
const char* const kHighHalfUtf8 =
    "€\xC2\x81""‚\xC2\x83""„…†‡\xC2\x88""‰Š‹ŚŤŽŹ"  // 80
    "\xC2\x90""‘’“”•–—\xC2\x98""™š›śťžź"            // 90
    "\xC2\xA0""ˇ˘Ł¤Ą¦§¨©Ş«¬\xC2\xAD""®Ż"            // A0
    "°±˛ł´µ¶·¸ąş»Ľ˝ľż"                              // B0
    "ŔÁÂĂÄĹĆÇČÉĘËĚÍÎĎ"                              // C0
    "ĐŃŇÓÔŐÖ×ŘŮÚŰÜÝŢß"                              // D0
    "ŕáâăäĺćçčéęëěíîď"                              // E0
    "đńňóôőö÷řůúűüýţ˙";                             // F0

TEST(Cp1250, UpperHalfMapsToThePublishedCharacters) {
  EXPECT_EQ(text::toUtf8(allBytes().substr(0x80)), kHighHalfUtf8);
  EXPECT_EQ(text::toCp1250(kHighHalfUtf8), allBytes().substr(0x80));
}

TEST(Cp1250, AsciiAndControlBytesPassUnchanged) {
  const std::string low = allBytes().substr(0, 0x80);
  EXPECT_EQ(text::toUtf8(low), low);
  EXPECT_EQ(text::toCp1250(low), low);
}

TEST(Cp1250, EveryByteSurvivesARoundTrip) {
  const std::string bytes = allBytes() + allBytes();
  EXPECT_EQ(text::toCp1250(text::toUtf8(bytes)), bytes);
}

TEST(Cp1250, CzechLettersTakeTheirBytes) {
  EXPECT_EQ(text::toCp1250("Příliš žluťoučký kůň"),
            "P\xF8\xEDli\x9A \x9Elu\x9Do\x75\xE8k\xFD k\xF9\xF2");
  EXPECT_EQ(text::toCp1250("Účet 5 €"), "\xDA\xE8\x65t 5 \x80");
  EXPECT_EQ(text::toUtf8("\xC8\x45\x5A"), "ČEZ");
  EXPECT_EQ(text::toCp1250(""), "");
  EXPECT_EQ(text::toUtf8(""), "");
}

TEST(Cp1250, RefusesCharactersTheCodePageLacks) {
  struct Case {
    const char* utf8;
    const char* message;
  } cases[] = {
      {"♥", "Character U+2665 cannot be stored in Windows-1250"},
      {"Жук", "Character U+0416 cannot be stored in Windows-1250"},
      {"中", "Character U+4E2D cannot be stored in Windows-1250"},
      {"a😀", "Character U+1F600 cannot be stored in Windows-1250"},
      {"ÿ", "Character U+00FF cannot be stored in Windows-1250"},
      // The C1 controls that stand for no undefined byte.
      {"\xC2\x80", "Character U+0080 cannot be stored in Windows-1250"},
      {"\xC2\x82", "Character U+0082 cannot be stored in Windows-1250"},
  };
  for (const Case& c : cases) EXPECT_EQ(refusal(c.utf8), c.message) << c.utf8;
}

TEST(Cp1250, RefusesBytesThatAreNotUtf8) {
  struct Case {
    const char* utf8;
    const char* message;
  } cases[] = {
      {"\xC3", "Text is not valid UTF-8: byte 0xC3 at offset 0"},
      {"ab\x80", "Text is not valid UTF-8: byte 0x80 at offset 2"},
      {"\xC0\xAF", "Text is not valid UTF-8: byte 0xC0 at offset 0"},      // overlong '/'
      {"\xE0\x80\xAF", "Text is not valid UTF-8: byte 0xE0 at offset 0"},  // overlong
      {"\xED\xA0\x80", "Text is not valid UTF-8: byte 0xED at offset 0"},  // surrogate
      {"\xF4\x90\x80\x80", "Text is not valid UTF-8: byte 0xF4 at offset 0"},  // > U+10FFFF
      {"\xF5\x80\x80\x80", "Text is not valid UTF-8: byte 0xF5 at offset 0"},
      {"x\xE2\x28\xA1", "Text is not valid UTF-8: byte 0x28 at offset 2"},
      {"\xE2\x82", "Text is not valid UTF-8: byte 0xE2 at offset 0"},  // cut short
      {"\xFF", "Text is not valid UTF-8: byte 0xFF at offset 0"},
  };
  for (const Case& c : cases) EXPECT_EQ(refusal(c.utf8), c.message) << c.message;
}

TEST(Cp1250, UpperCzOverTheCzechAlphabet) {
  const std::string lower = text::toCp1250("příliš žluťoučký kůň úpěl ďábelské ódy");
  EXPECT_EQ(text::toUtf8(text::upperCz(lower)), "PŘÍLIŠ ŽLUŤOUČKÝ KŮŇ ÚPĚL ĎÁBELSKÉ ÓDY");
  const std::string all = text::toCp1250("aábcčdďeéěfghiíjklmnňoópqrřsštťuúůvwxyýzž");
  EXPECT_EQ(text::toUtf8(text::upperCz(all)), "AÁBCČDĎEÉĚFGHIÍJKLMNŇOÓPQRŘSŠTŤUÚŮVWXYÝZŽ");
}

TEST(Cp1250, UpperCzOverTheOtherLettersOfTheCodePage) {
  const std::string lower = text::toCp1250("śźłąşľżŕâăäĺćçęëîđńôőöűüţ");
  EXPECT_EQ(text::toUtf8(text::upperCz(lower)), "ŚŹŁĄŞĽŻŔÂĂÄĹĆÇĘËÎĐŃÔŐÖŰÜŢ");
}

TEST(Cp1250, UpperCzLeavesBytesWithoutACapital) {
  const std::string unchanged = text::toCp1250("ß˙µ÷×0123456789 ;<>@[]{}~€ ŠČ");
  EXPECT_EQ(text::upperCz(unchanged), unchanged);
  EXPECT_EQ(text::upperCz('\xDF'), '\xDF');
  EXPECT_EQ(text::upperCz('\xFF'), '\xFF');
  EXPECT_EQ(text::upperCz('\xF7'), '\xF7');
  EXPECT_EQ(text::upperCz('\xB5'), '\xB5');
  EXPECT_EQ(text::upperCz('\x9A'), '\x8A');
  EXPECT_EQ(text::upperCz('z'), 'Z');
}

// The C library's Unicode case mapping as an independent reference: a byte
// goes up exactly when its capital exists in the code page.
TEST(Cp1250, UpperCzAgreesWithUnicodeCaseMapping) {
  locale_t utf8 = newlocale(LC_ALL_MASK, "C.UTF-8", static_cast<locale_t>(0));
  if (utf8 == static_cast<locale_t>(0)) GTEST_SKIP() << "no C.UTF-8 locale";
  for (int b = 0; b < 256; ++b) {
    const std::u32string cp = [&] {
      std::string u = text::toUtf8(byte(b));
      std::u32string r;
      // Decoding the one character by hand keeps the reference free of the code under test.
      unsigned char c0 = static_cast<unsigned char>(u[0]);
      if (c0 < 0x80) r += c0;
      else if (u.size() == 2) r += static_cast<char32_t>(((c0 & 0x1F) << 6) | (u[1] & 0x3F));
      else r += static_cast<char32_t>(((c0 & 0x0F) << 12) | ((u[1] & 0x3F) << 6) | (u[2] & 0x3F));
      return r;
    }();
    const wint_t upper = towupper_l(static_cast<wint_t>(cp[0]), utf8);
    std::string expected = byte(b);
    if (upper != static_cast<wint_t>(cp[0])) {
      std::string upperUtf8;
      const char32_t u = static_cast<char32_t>(upper);
      if (u < 0x80) upperUtf8 += static_cast<char>(u);
      else if (u < 0x800) {
        upperUtf8 += static_cast<char>(0xC0 | (u >> 6));
        upperUtf8 += static_cast<char>(0x80 | (u & 0x3F));
      } else {
        upperUtf8 += static_cast<char>(0xE0 | (u >> 12));
        upperUtf8 += static_cast<char>(0x80 | ((u >> 6) & 0x3F));
        upperUtf8 += static_cast<char>(0x80 | (u & 0x3F));
      }
      try {
        expected = text::toCp1250(upperUtf8);
      } catch (const mincar::Error&) {
        // A capital outside the code page (µ -> Greek Mu): the byte stays.
      }
    }
    EXPECT_EQ(text::upperCz(byte(b)), expected) << "byte " << b;
  }
  freelocale(utf8);
}

}  // namespace

TEST(PathText, ShowsAPathInTheCodePageOfTheMessages) {
  struct Case {
    const char* path;
    const char* shown;  // Windows-1250
  };
  const Case cases[] = {
      {"/home/jan/data/peden.dbf", "/home/jan/data/peden.dbf"},
      {"/home/jiří/Účetnictví/peden.dbf", "/home/ji\xf8\xed/\xda\xe8" "etnictv\xed/peden.dbf"},
      // What the code page lacks, or what is not UTF-8, stands as '?'.
      {"/home/李/data", "/home/?/data"},
      {"/tmp/\xff\xfe\x41", "/tmp/??A"},
  };
  for (const Case& c : cases) {
    EXPECT_EQ(text::pathText(c.path), c.shown) << c.path;
  }
}
