#include "app/textio.h"

#include <gtest/gtest.h>

#include <fstream>
#include <random>
#include <sstream>
#include <string>
#include <vector>

#include "test_support.h"
#include "text/error.h"

namespace {

using app::GetToken;
using app::LineReader;

std::vector<std::string> readLines(LineReader& reader, const std::string& bytes, int calls) {
  std::istringstream in(bytes);
  std::vector<std::string> lines;
  for (int i = 0; i < calls; ++i) lines.push_back(reader.ReadLine(in));
  return lines;
}

TEST(ReadLine, Cases) {
  struct Case {
    const char* name;
    std::string bytes;
    std::vector<std::string> lines;
    char lookBehindAfter;
  } cases[] = {
      {"our own LF CR line ends", "Firma =;A;\n\rVystavil =;B;\n\r",
       {"Firma =;A;", "Vystavil =;B;", "", ""}, '\r'},
      {"empty data", "", {"", ""}, ' '},
      {"no line end at the end", "abc", {"abc", ""}, 'c'},
      {"a CR inside a line is dropped", "x\ry\r\n\r", {"xy", ""}, '\r'},
      // The byte after each LF is consumed unseen: with CR LF ends that is
      // the first byte of the next line.
      {"CR LF line ends", "ab\r\ncd\r\nef\r\n", {"ab", "d", "f", ""}, '\n'},
      {"LF line ends", "ab\ncd\nef\n", {"ab", "d", "f", ""}, '\n'},
      // An LF consumed as the byte after an LF leaves b = LF: the next call
      // returns "" at once and consumes one byte more, here the 'b'.
      {"two LFs", "a\n\nbc\n\r", {"a", "", "c", ""}, '\r'},
      {"two LFs at the end", "a\n\n", {"a", "", ""}, '\n'},
      {"a blank line of our own", "a\n\r\n\rb\n\r", {"a", "", "b", ""}, '\r'},
      {"a missing line reads as empty", "only\n\r", {"only", "", "", ""}, '\r'},
  };
  for (const Case& c : cases) {
    LineReader reader;
    EXPECT_EQ(readLines(reader, c.bytes, static_cast<int>(c.lines.size())), c.lines) << c.name;
    EXPECT_EQ(reader.lookBehind(), c.lookBehindAfter) << c.name;
  }
}

TEST(ReadLine, EveryOtherByteIsOrdinaryText) {
  std::string text;
  for (int b = 0; b < 256; ++b)
    if (b != '\n' && b != '\r') text += static_cast<char>(b);
  LineReader reader;
  EXPECT_EQ(readLines(reader, text + "\n\r" + text + "\n\r", 2),
            (std::vector<std::string>{text, text}));
}

TEST(ReadLine, StartsWithABlankLookBehind) {
  LineReader reader;
  EXPECT_EQ(reader.lookBehind(), ' ');
}

// The look-behind byte carries from one file to the next.
TEST(ReadLine, LookBehindCarriesToTheNextFile) {
  LineReader reader;
  readLines(reader, "first\n\r", 2);
  EXPECT_EQ(readLines(reader, "second\n\r", 1), std::vector<std::string>{"second"});

  // A file that ends in a bare LF leaves b = LF, so the next file's first
  // call returns "" and its first byte is lost.
  LineReader bareEnd;
  readLines(bareEnd, "first\n", 2);
  EXPECT_EQ(bareEnd.lookBehind(), '\n');
  EXPECT_EQ(readLines(bareEnd, "xyz\n\r", 2), (std::vector<std::string>{"", "yz"}));
}

TEST(ReadLine, ReadsARealFile) {
  testing_support::TempDir dir;
  testing_support::writeFile(dir / "lines.txt", "one\n\rtwo\n\r");
  std::ifstream in(dir / "lines.txt", std::ios::binary);
  LineReader reader;
  EXPECT_EQ(reader.ReadLine(in), "one");
  EXPECT_EQ(reader.ReadLine(in), "two");
  EXPECT_EQ(reader.ReadLine(in), "");
  EXPECT_TRUE(in.eof());
}

TEST(GetToken, Cases) {
  struct Case {
    const char* text;
    char sep;
    int n;
    const char* piece;
  } cases[] = {
      {"a;b;c", ';', 0, "a"},
      {"a;b;c", ';', 1, "b"},
      {"a;b;c", ';', 2, "c"},
      {"a;b;c", ';', 3, ""},
      {"a;b;c", ';', 9, ""},
      {"Firma =;Novák s.r.o.;", ';', 1, "Novák s.r.o."},
      {"Firma =;no second", ';', 1, "no second"},
      {"Firma =", ';', 1, ""},
      {"Firma =;A;B;", ';', 1, "A"},
      {";;", ';', 0, ""},
      {";;", ';', 1, ""},
      {";;", ';', 2, ""},
      {";x", ';', 1, "x"},
      {"", ';', 0, ""},
      {"", ';', 1, ""},
      {"abc", ';', 0, "abc"},
      {"a,b;c", ',', 1, "b;c"},
      {"2;Nákup; ;", ';', 2, " "},
      {"a;b", ';', -1, ""},
  };
  for (const Case& c : cases)
    EXPECT_EQ(GetToken(c.text, c.sep, c.n), c.piece) << c.text << " piece " << c.n;
}

// The byte walk with its counter, as the format defines it.
std::string referenceGetToken(std::string_view text, char sep, int n) {
  std::string result;
  int k = n;
  for (char c : text) {
    if (k == 0 && c != sep) result += c;
    if (c == sep) {
      --k;
      if (k == -1) break;
    }
  }
  return result;
}

TEST(GetToken, AgreesWithTheByteWalkOnRandomTexts) {
  std::mt19937 random(1250);
  const std::string alphabet = ";;;ab \x9A";
  for (int i = 0; i < 5000; ++i) {
    std::string text;
    const int length = static_cast<int>(random() % 12);
    for (int j = 0; j < length; ++j) text += alphabet[random() % alphabet.size()];
    for (int n = -1; n < 8; ++n) ASSERT_EQ(GetToken(text, ';', n), referenceGetToken(text, ';', n)) << text << " " << n;
  }
}

TEST(WriteText, WritesExactlyTheBytes) {
  std::ostringstream out;
  app::WriteText(out, std::string("a\0b\xFF", 4));
  app::WriteText(out, "");
  app::WriteText(out, app::kLineEnd);
  EXPECT_EQ(out.str(), std::string("a\0b\xFF\n\r", 6));
}

TEST(WriteText, RefusedBytesThrow) {
  std::ofstream full;
  full.rdbuf()->pubsetbuf(nullptr, 0);  // unbuffered: the device refuses at once
  full.open("/dev/full", std::ios::binary);
  if (!full) GTEST_SKIP() << "no /dev/full";
  try {
    app::WriteText(full, "Firma =;A;\n\r");
    FAIL() << "no error";
  } catch (const mincar::Error& e) {
    EXPECT_STREQ(e.what(), "Stream write error");
  }

  std::ofstream notOpen;
  EXPECT_THROW(app::WriteText(notOpen, "x"), mincar::Error);
}

}  // namespace
