// The backup's line reader: ReadLine's reading of files with LF CR line
// ends, byte for byte, and the same lines from files that a text editor
// saved with CR LF or LF.
#include "backup/backup_lines.h"

#include <gtest/gtest.h>

#include <random>
#include <sstream>
#include <string>
#include <vector>

#include "app/textio.h"
#include "test_support.h"
#include "text/error.h"

namespace {

namespace fs = std::filesystem;
using backup::BackupLines;
using backup::LineEnds;
using testing_support::TempDir;

std::vector<std::string> readLines(BackupLines& in, int count) {
  std::vector<std::string> lines;
  for (int i = 0; i < count; ++i) lines.emplace_back(in.ReadLine());
  return lines;
}

// ReadLine of a program that has just started.
std::vector<std::string> readLinesAsReadLine(const std::string& bytes, int count) {
  app::LineReader reader;
  std::istringstream in(bytes);
  std::vector<std::string> lines;
  for (int i = 0; i < count; ++i) lines.push_back(reader.ReadLine(in));
  return lines;
}

class Lines : public ::testing::Test {
 protected:
  fs::path file(const std::string& bytes) {
    const fs::path path = dir_ / ("f" + std::to_string(++files_) + ".txu");
    testing_support::writeFile(path, bytes);
    return path;
  }
  TempDir dir_;
  int files_ = 0;
};

TEST_F(Lines, TheLineEndsAreThoseOfTheFirstLineEnd) {
  struct Case {
    std::string bytes;
    LineEnds expected;
  } cases[] = {
      {"a;1;\n\rb\n\r", LineEnds::LfCr},
      {"a;1;\r\nb\r\n", LineEnds::LfOrCrLf},
      {"a;1;\nb\n", LineEnds::LfOrCrLf},
      {"a;1;\n", LineEnds::LfOrCrLf},
      {"a;1;\rb\rc", LineEnds::LfCr},  // a CR alone: read as ever
      {"no line end at all", LineEnds::LfCr},
      {"", LineEnds::LfCr},
      {std::string(70000, 'x') + "\nb\n", LineEnds::LfCr},  // no backup has such a first line
  };
  for (const Case& c : cases) {
    BackupLines in(file(c.bytes));
    EXPECT_EQ(in.lineEnds(), c.expected) << c.bytes.substr(0, 20);
  }
}

TEST_F(Lines, LfCrFilesReadExactlyAsReadLineReadsThem) {
  struct Case {
    const char* what;
    std::string bytes;
  } cases[] = {
      {"the program's own", "h;2;\n\r1;a;\n\r2;b;\n\r"},
      {"a CR inside a line is left out", "h;2;\n\r1;a\rb;\n\r"},
      {"an LF after the LF makes an empty line", "h;2;\n\r\n1;a;\n\r"},
      {"the last line without its line end", "h;1;\n\r1;a;"},
      {"the byte after the LF is eaten whatever it is", "h;1;\n\rx\ny\nz\n\r"},
      {"bytes of every value", std::string("h;1;\n\r\x01\xFF\x80\x1A;\n\r", 11)},
  };
  for (const Case& c : cases) {
    BackupLines in(file(c.bytes));
    ASSERT_EQ(in.lineEnds(), LineEnds::LfCr) << c.what;
    EXPECT_EQ(readLines(in, 8), readLinesAsReadLine(c.bytes, 8)) << c.what;
  }
}

TEST_F(Lines, RandomLfCrFilesReadAsReadLineReadsThem) {
  std::mt19937 random(4711);
  const char alphabet[] = {'a', ';', ' ', '\n', '\r', '\xFF', '\0', '7'};
  for (int round = 0; round < 300; ++round) {
    // Starting with the program's own line end fixes the reading; after it
    // anything may come.
    std::string bytes = "h;3;\n\r";
    const int length = static_cast<int>(random() % 200);
    for (int i = 0; i < length; ++i) bytes += alphabet[random() % sizeof alphabet];
    BackupLines in(file(bytes));
    EXPECT_EQ(readLines(in, 60), readLinesAsReadLine(bytes, 60)) << round;
  }
}

TEST_F(Lines, CrLfAndLfFilesGiveTheLinesOfTheLfCrFile) {
  const std::vector<std::string> rows = {"######### This is a table Denik and have ;2; records ",
                                         "1;1;2;12.9.2004;A;350,5; ; ;", "", "3; ;x;"};
  std::string lfcr, crlf, lf;
  for (const std::string& r : rows) {
    lfcr += r + "\n\r";
    crlf += r + "\r\n";
    lf += r + "\n";
  }
  const std::vector<std::string> expected = readLinesAsReadLine(lfcr, 6);
  ASSERT_EQ(expected[1], rows[1]);
  for (const std::string* bytes : {&lfcr, &crlf, &lf}) {
    BackupLines in(file(*bytes));
    EXPECT_EQ(readLines(in, 6), expected);
  }
  // Without a line end after the last line, and with a CR LF file's CR
  // before every LF, the same.
  BackupLines cut(file(lf.substr(0, lf.size() - 1)));
  EXPECT_EQ(readLines(cut, 6), expected);
}

TEST_F(Lines, LinesPastTheEndReadAsEmptyAndAreNumbered) {
  BackupLines in(file("one\n\rtwo\n\r"));
  EXPECT_EQ(in.ReadLine(), "one");
  EXPECT_EQ(in.lineNumber(), 1);
  EXPECT_FALSE(in.pastEnd());
  EXPECT_EQ(in.ReadLine(), "two");
  EXPECT_FALSE(in.pastEnd());
  EXPECT_EQ(in.ReadLine(), "");
  EXPECT_EQ(in.lineNumber(), 3);
  EXPECT_TRUE(in.pastEnd());
  EXPECT_EQ(in.ReadLine(), "");
  EXPECT_TRUE(in.pastEnd());
  in.rewind();
  EXPECT_EQ(in.ReadLine(), "one");
  EXPECT_EQ(in.lineNumber(), 1);
}

TEST_F(Lines, LinesAcrossTheReadBlocksComeWhole) {
  // Lines of every length around the 1 MiB block, in all three styles.
  for (const char* end : {"\n\r", "\r\n", "\n"}) {
    std::string bytes = std::string("h;1;") + end;
    std::vector<std::string> rows;
    std::mt19937 random(7);
    while (bytes.size() < (3u << 20)) {
      std::string row(random() % 70000, 'a' + static_cast<char>(random() % 26));
      rows.push_back(row);
      bytes += row + end;
    }
    BackupLines in(file(bytes));
    EXPECT_EQ(in.ReadLine(), "h;1;");
    for (const std::string& row : rows) ASSERT_EQ(in.ReadLine(), row) << end;
    EXPECT_EQ(in.ReadLine(), "");
    EXPECT_TRUE(in.pastEnd());
  }
}

TEST_F(Lines, AFileThatCannotBeOpenedOrHoldsAHugeLineIsRefused) {
  const fs::path missing = dir_ / "missing.txu";
  try {
    BackupLines in(missing);
    ADD_FAILURE() << "opened";
  } catch (const mincar::Error& e) {
    EXPECT_EQ(std::string(e.what()), "Cannot open file " + missing.string());
  }
  const fs::path huge = file("h;1;\n\r" + std::string(17 << 20, 'x'));
  BackupLines in(huge);
  EXPECT_EQ(in.ReadLine(), "h;1;");
  try {
    in.ReadLine();
    ADD_FAILURE() << "read a line of 17 MiB";
  } catch (const mincar::Error& e) {
    EXPECT_EQ(std::string(e.what()), huge.string() + ": line 2 is longer than 16 MiB; the file is no backup");
  }
}

TEST_F(Lines, AFileWithOtherLineEndsReadBeforeDoesNotTouchTheNextOne) {
  // ReadLine's shared byte after a CR LF settings file is an LF, which
  // would eat the first byte of the next file; each backup starts afresh.
  app::LineReader shared;
  std::istringstream settings("Firma =;x;\r\n");
  shared.ReadLine(settings);
  shared.ReadLine(settings);
  ASSERT_EQ(shared.lookBehind(), '\n');
  const fs::path first = file("a;1;\r\nb\r\n");
  const fs::path second = file("######### x ;5; records \n\r");
  BackupLines one(first);
  readLines(one, 3);
  BackupLines two(second);
  EXPECT_EQ(two.ReadLine(), "######### x ;5; records ");
  EXPECT_EQ(shared.lookBehind(), '\n');
}

}  // namespace
