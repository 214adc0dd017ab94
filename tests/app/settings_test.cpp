#include "app/settings.h"

#include <gtest/gtest.h>
#include <signal.h>
#include <sys/resource.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <filesystem>
#include <string>

#include "test_support.h"
#include "text/cp1250.h"
#include "text/error.h"

namespace {

namespace fs = std::filesystem;
using app::LineReader;
using app::Settings;
using testing_support::errorOf;
using testing_support::readFile;
using testing_support::TempDir;
using testing_support::writeFile;

const text::Date kToday{2026, 12, 7};

Settings defaults() { return Settings::defaults(text::Regional::czech(), kToday); }

std::string describe(const Settings& s) {
  return "[" + s.firma + "|" + s.vystavil + "|" + s.schvalil + "|" + s.prevzal + "|" + s.datumOd +
         "|" + s.datumDo + "|" + s.browser + "|" + s.filespec + "]";
}

Settings read(const fs::path& file) {
  LineReader reader;
  Settings s = defaults();
  app::ReadSettingsFile(file, reader, s);
  return s;
}

Settings sample() {
  Settings s;
  s.firma = text::toCp1250("<b>Domácnost Nováků</b><br>Brno");
  s.vystavil = text::toCp1250("Jan Novák");
  s.schvalil = text::toCp1250("Eva Nováková");
  s.prevzal = text::toCp1250("Petr Šťastný");
  s.datumOd = "1.1.2026";
  s.datumDo = "31.12.2026";
  s.browser = "firefox ";
  s.filespec = "file://";
  return s;
}

TEST(Settings, Defaults) {
  EXPECT_EQ(describe(defaults()), "[||||7.12.2026|7.12.2026|xdg-open |File://]");
  EXPECT_EQ(Settings::defaults(text::Regional{"yyyy-MM-dd", '.'}, kToday).datumDo, "2026-12-07");
}

TEST(Settings, MissingFileKeepsTheDefaultsAndSaysWhich) {
  TempDir dir;
  const fs::path file = dir / "prop1.txt";
  LineReader reader;
  Settings s = defaults();
  EXPECT_EQ(errorOf([&] { app::ReadSettingsFile(file, reader, s); }),
            "Cannot open file " + file.string());
  EXPECT_EQ(describe(s), describe(defaults()));
  EXPECT_EQ(reader.lookBehind(), ' ');

  // The first close then creates the file with eight lines.
  app::WriteSettingsFile(file, s);
  EXPECT_EQ(readFile(file),
            "Firma =; ;\n\rVystavil =; ;\n\rSchvalil =; ;\n\rPrevzal =; ;\n\r"
            "Datum od =;7.12.2026;\n\rDatum do =;7.12.2026;\n\r"
            "Browser =;xdg-open ;\n\rFilespec =;File://;\n\r");
}

TEST(Settings, AFolderAPipeADeviceOrAHugeFileIsNoSettingsFileAndIsRefusedAtOnce) {
  TempDir dir;
  fs::create_directory(dir / "folder.txt");
  ASSERT_EQ(::mkfifo((dir / "fifo.txt").c_str(), 0644), 0);
  testing_support::writeFile(dir / "huge.txt", std::string(64 << 10, 'x') + "\n");
  struct Case {
    fs::path file;
    std::string error;
  } cases[] = {
      {dir / "folder.txt", ": not a regular file"},
      {dir / "fifo.txt", ": not a regular file"},
      {"/dev/zero", ": not a regular file"},
      {dir / "huge.txt", ": larger than any settings file (64 KiB)"},
  };
  for (const Case& c : cases) {
    LineReader reader;
    Settings s = defaults();
    // A pipe with no writer would hang a plain read; the test would time out.
    EXPECT_EQ(errorOf([&] { app::ReadSettingsFile(c.file, reader, s); }), "Cannot open file " + c.file.string() + c.error);
    EXPECT_EQ(describe(s), describe(defaults())) << c.file;
  }
}

TEST(Settings, WritesTheGoldenBytes) {
  TempDir dir;
  Settings s = sample();
  app::WriteSettingsFile(dir / "prop1.txt", s);
  EXPECT_EQ(readFile(dir / "prop1.txt"),
            "Firma =;<b>Dom\xE1\x63nost Nov\xE1k\xF9</b><br>Brno;\n\r"
            "Vystavil =;Jan Nov\xE1k;\n\r"
            "Schvalil =;Eva Nov\xE1kov\xE1;\n\r"
            "Prevzal =;Petr \x8A\x9D\x61stn\xFD;\n\r"
            "Datum od =;1.1.2026;\n\r"
            "Datum do =;31.12.2026;\n\r"
            "Browser =;firefox ;\n\r"
            "Filespec =;file://;\n\r");
  EXPECT_EQ(describe(s), describe(sample())) << "nothing empty, nothing changed";
}

TEST(Settings, AllEightComeBack) {
  TempDir dir;
  Settings written = sample();
  app::WriteSettingsFile(dir / "prop1.txt", written);
  EXPECT_EQ(describe(read(dir / "prop1.txt")), describe(sample()));
}

TEST(Settings, OverwritesAnExistingFile) {
  TempDir dir;
  writeFile(dir / "prop1.txt", std::string(500, 'x'));
  Settings s = sample();
  app::WriteSettingsFile(dir / "prop1.txt", s);
  EXPECT_EQ(describe(read(dir / "prop1.txt")), describe(sample()));
  EXPECT_EQ(std::distance(fs::directory_iterator(dir.path()), fs::directory_iterator()), 1)
      << "no temporary file is left beside it";
}

TEST(Settings, ASemicolonInANameCutsItOnRereading) {
  TempDir dir;
  Settings s = sample();
  s.firma = "Novak; syn a spol.";
  app::WriteSettingsFile(dir / "prop1.txt", s);
  EXPECT_EQ(read(dir / "prop1.txt").firma, "Novak");
}

TEST(Settings, AnEmptiedBrowserFieldBringsTheDefaultBack) {
  TempDir dir;
  Settings s = sample();
  s.browser = "";
  app::WriteSettingsFile(dir / "prop1.txt", s);
  EXPECT_EQ(s.browser, " ") << "the edit box is set to the blank it was written as";
  EXPECT_NE(readFile(dir / "prop1.txt").find("\n\rBrowser =; ;\n\rFilespec ="), std::string::npos);
  EXPECT_EQ(read(dir / "prop1.txt").browser, "xdg-open ");
}

TEST(Settings, AnEmptyVoucherNameComesBackAsOneBlank) {
  TempDir dir;
  Settings s = sample();
  s.schvalil = "";
  s.filespec = "";
  app::WriteSettingsFile(dir / "prop1.txt", s);
  EXPECT_EQ(s.schvalil, " ");
  EXPECT_EQ(s.filespec, " ");
  const Settings back = read(dir / "prop1.txt");
  EXPECT_EQ(back.schvalil, " ");
  EXPECT_EQ(back.filespec, "File://");
}

TEST(Settings, EmptyDatesAreWrittenAsTheyAre) {
  TempDir dir;
  Settings s = sample();
  s.datumOd = "";
  app::WriteSettingsFile(dir / "prop1.txt", s);
  EXPECT_EQ(s.datumOd, "");
  EXPECT_NE(readFile(dir / "prop1.txt").find("\n\rDatum od =;;\n\r"), std::string::npos);
}

TEST(Settings, ReadingCases) {
  struct Case {
    const char* name;
    std::string bytes;
    std::string expected;
  } cases[] = {
      {"seven lines leave the prefix at its default",
       "Firma =;F;\n\rVystavil =;V;\n\rSchvalil =;S;\n\rPrevzal =;P;\n\r"
       "Datum od =;1.1.2026;\n\rDatum do =;2.1.2026;\n\rBrowser =;lynx ;\n\r",
       "[F|V|S|P|1.1.2026|2.1.2026|lynx |File://]"},
      {"lines 1 to 6 replace the settings also when empty",
       "Firma =;;\n\rVystavil =\n\rSchvalil =;;\n\rPrevzal =;;\n\rDatum od =;;\n\r"
       "Datum do =;;\n\rBrowser =;;\n\rFilespec =;;\n\r",
       "[||||||xdg-open |File://]"},
      {"browser and prefix of two characters keep the defaults",
       "Firma =;F;\n\rVystavil =;V;\n\rSchvalil =;S;\n\rPrevzal =;P;\n\r"
       "Datum od =;1.1.2026;\n\rDatum do =;2.1.2026;\n\rBrowser =;ab;\n\rFilespec =;f:;\n\r",
       "[F|V|S|P|1.1.2026|2.1.2026|xdg-open |File://]"},
      {"three characters are enough",
       "Firma =;F;\n\rVystavil =;V;\n\rSchvalil =;S;\n\rPrevzal =;P;\n\r"
       "Datum od =;1.1.2026;\n\rDatum do =;2.1.2026;\n\rBrowser =;abc;\n\rFilespec =;f:/;\n\r",
       "[F|V|S|P|1.1.2026|2.1.2026|abc|f:/]"},
      {"CR LF line ends, as an editor saves them",
       "Firma =;F;\r\nVystavil =;V;\r\nSchvalil =;S;\r\nPrevzal =;P;\r\n"
       "Datum od =;1.1.2026;\r\nDatum do =;2.1.2026;\r\nBrowser =;lynx ;\r\nFilespec =;file:;\r\n",
       "[F|V|S|P|1.1.2026|2.1.2026|lynx |file:]"},
      {"LF line ends",
       "Firma =;F;\nVystavil =;V;\nSchvalil =;S;\nPrevzal =;P;\n"
       "Datum od =;1.1.2026;\nDatum do =;2.1.2026;\nBrowser =;lynx ;\nFilespec =;file:;\n",
       "[F|V|S|P|1.1.2026|2.1.2026|lynx |file:]"},
      {"the keys are not checked",
       "Vystavil =;V;\n\rFirma =;F;\n\rSchvalil =;S;\n\rPrevzal =;P;\n\r"
       "Datum od =;1.1.2026;\n\rDatum do =;2.1.2026;\n\rFilespec =;file:;\n\rBrowser =;lynx ;\n\r",
       "[V|F|S|P|1.1.2026|2.1.2026|file:|lynx ]"},
      {"no second semicolon takes the rest of the line",
       "Firma =;F\n\rVystavil =;V;x;\n\rSchvalil =;S;\n\rPrevzal =;P;\n\r"
       "Datum od =;1.1.2026;\n\rDatum do =;2.1.2026;\n\rBrowser =;lynx \n\rFilespec =;file:;\n\r",
       "[F|V|S|P|1.1.2026|2.1.2026|lynx |file:]"},
      {"an empty file empties the first six", "", "[||||||xdg-open |File://]"},
      {"lines after the eighth are ignored",
       "Firma =;F;\n\rVystavil =;V;\n\rSchvalil =;S;\n\rPrevzal =;P;\n\r"
       "Datum od =;1.1.2026;\n\rDatum do =;2.1.2026;\n\rBrowser =;lynx ;\n\rFilespec =;file:;\n\r"
       "Extra =;zzz;\n\r",
       "[F|V|S|P|1.1.2026|2.1.2026|lynx |file:]"},
  };
  for (const Case& c : cases) {
    TempDir dir;
    writeFile(dir / "prop1.txt", c.bytes);
    EXPECT_EQ(describe(read(dir / "prop1.txt")), c.expected) << c.name;
  }
}

TEST(Settings, TheSharedReaderIsLeftAfterOurLineEnd) {
  TempDir dir;
  Settings s = sample();
  app::WriteSettingsFile(dir / "prop1.txt", s);
  LineReader reader;
  Settings back = defaults();
  app::ReadSettingsFile(dir / "prop1.txt", reader, back);
  EXPECT_EQ(reader.lookBehind(), '\r');
}

TEST(Settings, CannotCreateInAMissingFolder) {
  TempDir dir;
  const fs::path file = dir / "missing" / "prop1.txt";
  Settings s = sample();
  EXPECT_EQ(errorOf([&] { app::WriteSettingsFile(file, s); }),
            "Cannot create file " + file.string());
}

TEST(Settings, CannotReplaceAFolder) {
  TempDir dir;
  const fs::path file = dir / "prop1.txt";
  fs::create_directory(file);
  Settings s = sample();
  EXPECT_EQ(errorOf([&] { app::WriteSettingsFile(file, s); }),
            "Cannot create file " + file.string());
  EXPECT_TRUE(fs::is_directory(file));
  EXPECT_EQ(std::distance(fs::directory_iterator(dir.path()), fs::directory_iterator()), 1)
      << "the temporary file is removed";
}

// A write that the system cuts short (here by a file size limit in a child
// process, as a full disk would) leaves the old settings whole.
TEST(Settings, AFailedWriteLeavesTheOldFileWhole) {
  TempDir dir;
  const fs::path file = dir / "prop1.txt";
  Settings old = sample();
  app::WriteSettingsFile(file, old);
  const std::string before = readFile(file);

  const pid_t pid = fork();
  ASSERT_GE(pid, 0);
  if (pid == 0) {
    signal(SIGXFSZ, SIG_IGN);
    rlimit limit{20, 20};
    if (setrlimit(RLIMIT_FSIZE, &limit) != 0) _exit(3);
    Settings s = sample();
    s.firma = std::string(1000, 'F');
    try {
      app::WriteSettingsFile(file, s);
    } catch (const mincar::Error& e) {
      _exit(std::string(e.what()) == "Cannot create file " + file.string() ? 0 : 2);
    }
    _exit(1);
  }
  int status = 0;
  waitpid(pid, &status, 0);
  ASSERT_TRUE(WIFEXITED(status));
  EXPECT_EQ(WEXITSTATUS(status), 0) << "1: no error, 2: another message, 3: no limit";
  EXPECT_EQ(readFile(file), before);
  EXPECT_EQ(std::distance(fs::directory_iterator(dir.path()), fs::directory_iterator()), 1)
      << "the temporary file is removed";
}

}  // namespace
