#include "print/browser.h"

#include <fcntl.h>
#include <sys/wait.h>

#include <gtest/gtest.h>

#include <chrono>
#include <sstream>
#include <filesystem>
#include <string>

#include "app/status_line.h"
#include "print_test_support.h"
#include "test_support.h"
#include "text/cp1250.h"
#include "text/error.h"

namespace {

namespace fs = std::filesystem;
using print_testing::AdoptOrphans;
using print_testing::argumentRecorder;
using print_testing::CurrentFolder;
using print_testing::RecordingLauncher;
using print_testing::waitForFile;
using testing_support::readFile;
using testing_support::TempDir;

struct CommandLineCase {
  const char* why;
  std::string command;
  std::string fileSpec;
  fs::path folder;
  std::string expected;  // Windows-1250
};

TEST(BrowserCommandLine, JoinsCommandBlankPrefixFolderSeparatorAndName) {
  const CommandLineCase cases[] = {
      {"the defaults: two blanks before the prefix", "xdg-open ", "File://", "/home/jana/Finance",
       "xdg-open  File:///home/jana/Finance/out.htm"},
      {"a command without a trailing blank gets one", "firefox", "File://", "/home/jana/Finance",
       "firefox File:///home/jana/Finance/out.htm"},
      {"the command is not trimmed", "  chromium  ", "File://", "/data",
       "  chromium   File:///data/out.htm"},
      {"an empty prefix gives the bare path", "xdg-open ", "", "/home/jana/Finance",
       "xdg-open  /home/jana/Finance/out.htm"},
      {"the root keeps its own separator and gets one more", "xdg-open ", "File://", "/",
       "xdg-open  File:////out.htm"},
      {"an empty command", "", "File://", "/data", " File:///data/out.htm"},
      {"Czech letters are no shell characters", "xdg-open ", "File://", "/home/jana/Účty 2026x",
       "xdg-open  File://'/home/jana/\xDA\xE8ty 2026x/out.htm'"},
      {"Czech letters alone stay bare", "xdg-open ", "File://", "/home/jana/Účty",
       "xdg-open  File:///home/jana/\xDA\xE8ty/out.htm"},
      {"ordinary punctuation stays bare", "xdg-open ", "File://", "/srv/a-b_c.d+e,f:g@h%i=j",
       "xdg-open  File:///srv/a-b_c.d+e,f:g@h%i=j/out.htm"},
      {"a blank quotes the page's path, not the prefix", "xdg-open ", "File://",
       "/home/jana/Moje finance", "xdg-open  File://'/home/jana/Moje finance/out.htm'"},
      {"a semicolon", "xdg-open ", "File://", "/tmp/a;rm -rf x",
       "xdg-open  File://'/tmp/a;rm -rf x/out.htm'"},
      {"command substitution", "xdg-open ", "File://", "/tmp/$(id)",
       "xdg-open  File://'/tmp/$(id)/out.htm'"},
      {"backquotes", "xdg-open ", "File://", "/tmp/`id`", "xdg-open  File://'/tmp/`id`/out.htm'"},
      {"a single quote is closed, escaped and reopened", "xdg-open ", "File://", "/tmp/it's",
       "xdg-open  File://'/tmp/it'\\''s/out.htm'"},
      {"a tilde, a star and a hash", "xdg-open ", "File://", "/tmp/~*#",
       "xdg-open  File://'/tmp/~*#/out.htm'"},
      {"an empty prefix with a quoted path", "xdg-open ", "", "/tmp/a b",
       "xdg-open  '/tmp/a b/out.htm'"},
  };
  for (const CommandLineCase& c : cases) {
    EXPECT_EQ(print::BrowserCommandLine(c.command, c.fileSpec, c.folder, "out.htm"), c.expected)
        << c.why;
  }
}

// A folder the code page cannot name is shown with "?" and run as the
// system names it; the quoting is the same in both.
TEST(BrowserCommandLine, AFolderOutsideWindows1250IsShownWithQuestionMarksAndRunAsNamed) {
  struct Case {
    const char* why;
    fs::path folder;
    std::string shown;   // Windows-1250
    std::string system;  // UTF-8
  };
  const Case cases[] = {
      {"Cyrillic", "/home/\xD0\x96ito", "xdg-open  File:///home/?ito/out.htm",
       "xdg-open  File:///home/\xD0\x96ito/out.htm"},
      {"Spanish and Swedish letters beside Czech ones", "/home/A\xC3\xB1o \xC3\xA5r \xC3\x9A\xC4\x8Dty",
       "xdg-open  File://'/home/A?o ?r \xDA\xE8ty/out.htm'",
       "xdg-open  File://'/home/A\xC3\xB1o \xC3\xA5r \xC3\x9A\xC4\x8Dty/out.htm'"},
      {"a name that is no UTF-8 at all", "/srv/\xFF\xFE", "xdg-open  File:///srv/?" "?/out.htm",
       "xdg-open  File:///srv/\xFF\xFE/out.htm"},
  };
  for (const Case& c : cases) {
    EXPECT_EQ(print::BrowserCommandLine("xdg-open ", "File://", c.folder, "out.htm"), c.shown) << c.why;
    EXPECT_EQ(print::SystemCommandLine("xdg-open ", "File://", c.folder, "out.htm"), c.system) << c.why;
  }
}

TEST(SystemCommandLine, CommandAndPrefixReachTheSystemInUtf8) {
  EXPECT_EQ(print::SystemCommandLine("\xE8te\x9A ", "Soubor://", "/home/jana/\xC3\x9A\xC4\x8Dty", "out.htm"),
            "\xC4\x8Dte\xC5\xA1  Soubor:///home/jana/\xC3\x9A\xC4\x8Dty/out.htm");
}

TEST(OpenInBrowser, ShowsTheCommandLineAndHandsItToTheLauncher) {
  app::RecordingStatusLine status;
  RecordingLauncher launcher;
  status.show("Started...");
  print::OpenInBrowser("xdg-open ", "File://", "/home/jana/Finance", "out.htm", status, launcher);
  ASSERT_EQ(launcher.commandLines.size(), 1u);
  EXPECT_EQ(launcher.commandLines[0], "xdg-open  File:///home/jana/Finance/out.htm");
  EXPECT_EQ(status.text(), "xdg-open  File:///home/jana/Finance/out.htm");
}

TEST(ShellLauncher, ReturnsAtOnceAndLeavesNoChildBehind) {
  TempDir dir;
  const fs::path ran = dir / "ran";
  print::ShellLauncher launcher;
  const auto start = std::chrono::steady_clock::now();
  // A browser that stays open for two seconds.
  launcher.launch("sleep 2; touch " + ran.string() + "; true  File:///x/out.htm");
  EXPECT_LT(std::chrono::steady_clock::now() - start, std::chrono::milliseconds(1000));
  // The middle process is reaped and the interpreter is not ours: nothing
  // is left to become a zombie.
  EXPECT_EQ(::waitpid(-1, nullptr, WNOHANG), -1);
  EXPECT_EQ(errno, ECHILD);
  EXPECT_FALSE(fs::exists(ran));
  EXPECT_TRUE(waitForFile(ran)) << "the command line did not run";
}

TEST(ShellLauncher, RunsTheCommandLineInASessionOfItsOwn) {
  TempDir dir;
  const fs::path stat = dir / "stat";
  print::ShellLauncher launcher;
  AdoptOrphans adopted;
  launcher.launch("cat /proc/$$/stat > " + stat.string());
  ASSERT_TRUE(adopted.waitForAll());
  // pid (name) state ppid pgrp session ...; the name holds no ")" here.
  std::istringstream fields(readFile(stat).substr(readFile(stat).rfind(')') + 1));
  std::string state;
  long parent = 0, group = 0, session = 0;
  fields >> state >> parent >> group >> session;
  ASSERT_TRUE(fields) << readFile(stat);
  EXPECT_NE(session, static_cast<long>(::getsid(0)));
  EXPECT_NE(group, static_cast<long>(::getpgrp()));
}

// The page's path reaches the browser as one argument, exactly, whatever the
// folder is called, and nothing in the folder's name is run.
TEST(ShellLauncher, PassesAnyFolderAsOneArgumentAndRunsNothingInIt) {
  TempDir sandbox;
  CurrentFolder inSandbox(sandbox.path());
  const std::string names[] = {
      "Moje finance",
      "a;touch INJECTED;b",
      "$(touch INJECTED)",
      "`touch INJECTED`",
      "x && touch INJECTED || touch INJECTED",
      "it's \"quoted\" | touch INJECTED > INJECTED < y",
      "*?[a] #~ \\ !{} tab\there",
      "line\ntouch INJECTED",
      "Účty domácnosti",
      "Жито; touch INJECTED",
      "Año år",
  };
  int round = 0;
  for (const std::string& name : names) {
    const fs::path folder = sandbox / name;
    fs::create_directory(folder);
    const fs::path args = sandbox / ("args" + std::to_string(++round));
    {
      AdoptOrphans adopted;
      print::ShellLauncher launcher;
      app::RecordingStatusLine status;
      print::OpenInBrowser(argumentRecorder(args), "File://", folder, "out.htm", status, launcher);
      ASSERT_TRUE(adopted.waitForAll()) << name;
    }
    ASSERT_TRUE(fs::exists(args)) << name;
    EXPECT_EQ(readFile(args), "1\nFile://" + folder.string() + "/out.htm\n") << name;
    for (const auto& entry : fs::recursive_directory_iterator(sandbox.path())) {
      EXPECT_NE(entry.path().filename(), "INJECTED") << "ran a command from " << name;
      EXPECT_NE(entry.path().filename(), "y") << name;
    }
  }
}

TEST(ShellLauncher, LeavesTheBrowserNoneOfTheProgramsFiles) {
  TempDir dir;
  const fs::path held = dir / "held";
  testing_support::writeFile(held, "x");
  // A descriptor without close-on-exec, as a library might leave one.
  const int fd = ::open(held.c_str(), O_RDONLY);
  ASSERT_GE(fd, 3);
  const fs::path seen = dir / "seen";
  AdoptOrphans adopted;
  print::ShellLauncher launcher;
  launcher.launch("ls -l /proc/$$/fd > " + seen.string());
  ASSERT_TRUE(adopted.waitForAll());
  ::close(fd);
  EXPECT_EQ(readFile(seen).find(held.string()), std::string::npos) << readFile(seen);
}

// The default command must open the page under the default prefix: the
// desktop's opener hands "File://" (a scheme in another case) to the
// browser as it is, and a browser takes schemes in any case.
TEST(DefaultBrowserCommand, XdgOpenPassesTheFilePrefixToTheBrowser) {
  if (!fs::exists("/usr/bin/xdg-open")) {
    if (print_testing::runningInCi()) FAIL() << "xdg-open is not installed (Debian: xdg-utils)";
    GTEST_SKIP() << "xdg-open is not installed (Debian: xdg-utils)";
  }
  TempDir dir;
  const fs::path args = dir / "args";
  const fs::path browser = dir / "browser";
  testing_support::writeFile(browser, "#!/bin/sh\nprintf '%s\\n' \"$#\" \"$@\" > " + args.string() +
                                          "\n");
  fs::permissions(browser, fs::perms::owner_all);
  const std::string url = "File://" + dir.path().string() + "/out.htm";
  // No desktop: the opener falls back to $BROWSER, the way it ends on most.
  const auto r = testing_support::run(
      "/usr/bin/env", {"-u", "DISPLAY", "-u", "WAYLAND_DISPLAY", "-u", "XDG_CURRENT_DESKTOP",
                       "-u", "DESKTOP_SESSION", "BROWSER=" + browser.string(), "/usr/bin/xdg-open",
                       url});
  EXPECT_EQ(r.exitCode, 0) << r.err;
  ASSERT_TRUE(fs::exists(args)) << r.err;
  EXPECT_EQ(readFile(args), "1\n" + url + "\n");
}

}  // namespace
