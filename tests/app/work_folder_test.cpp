// Where the windows' program works, and what a first start finds there.

#include <gtest/gtest.h>
#include <unistd.h>

#include <filesystem>
#include <optional>
#include <string>

#include "app/settings.h"
#include "app/work_folder.h"
#include "test_support.h"
#include "text/date.h"
#include "text/error.h"
#include "text/regional.h"

namespace fs = std::filesystem;
using testing_support::TempDir;

namespace {

// Each test's chdir is undone.
class WorkFolderTest : public testing::Test {
 protected:
  void TearDown() override { fs::current_path(before_); }
  app::Settings defaults() const {
    return app::Settings::defaults(text::Regional::czech(), text::Date(2026, 12, 8));
  }
  std::string message(const fs::path& folder) {
    try {
      app::EnterWorkFolder(folder, defaults());
    } catch (const mincar::Error& error) {
      return error.what();
    }
    return "";
  }
  TempDir dir_;

 private:
  fs::path before_ = fs::current_path();
};

TEST_F(WorkFolderTest, TheNamedFolderThenTheMenusDefaultThenTheCurrentFolderButNeverHome) {
  const fs::path home = dir_ / "home";
  const fs::path elsewhere = dir_ / "finance";
  fs::create_directories(home);
  fs::create_directories(elsewhere);
  struct Case {
    const char* why;
    std::optional<fs::path> named;
    bool defaultFolder;
    fs::path current;
    fs::path expected;
  };
  const Case cases[] = {
      {"a folder named on the command line", elsewhere / "2026", false, home, elsewhere / "2026"},
      {"the menu entry's start", std::nullopt, true, elsewhere, home / "Mincar"},
      {"a terminal in a folder", std::nullopt, false, elsewhere, elsewhere},
      {"a start in the home folder", std::nullopt, false, home, home / "Mincar"},
      {"the home folder spelled another way", std::nullopt, false, home / "." , home / "Mincar"},
      {"a start in the root", std::nullopt, false, "/", home / "Mincar"},
  };
  for (const Case& c : cases) {
    EXPECT_EQ(app::ChooseWorkFolder(c.named, c.defaultFolder, c.current, home), c.expected) << c.why;
  }
}

TEST_F(WorkFolderTest, ANewFolderGetsTheDefaultSettingsSoTheFirstStartIsQuiet) {
  const fs::path folder = dir_ / "Mincar";
  app::EnterWorkFolder(folder, defaults());
  EXPECT_TRUE(fs::equivalent(fs::current_path(), folder));
  app::Settings read = app::Settings::defaults(text::Regional::czech(), text::Date(2001, 1, 1));
  app::LineReader reader;
  app::ReadSettingsFile(folder / app::kSettingsFileName, reader, read);
  EXPECT_EQ(read.datumOd, "8.12.2026");
  EXPECT_EQ(read.browser, app::kDefaultBrowser);
  EXPECT_EQ(read.filespec, app::kDefaultFilespec);
}

TEST_F(WorkFolderTest, AFolderThatExistsIsEnteredAsItIs) {
  const fs::path folder = dir_ / "made by hand";
  fs::create_directory(folder);
  app::EnterWorkFolder(folder, defaults());
  EXPECT_TRUE(fs::equivalent(fs::current_path(), folder));
  EXPECT_FALSE(fs::exists(folder / app::kSettingsFileName));
}

TEST_F(WorkFolderTest, AFolderThatCannotBeUsedIsRefusedByNameAndNothingIsCreated) {
  testing_support::writeFile(dir_ / "a file", "x");
  EXPECT_EQ(message(dir_ / "missing" / "Mincar"),
            "Cannot create folder " + (dir_ / "missing" / "Mincar").string() + ": No such file or directory");
  EXPECT_FALSE(fs::exists(dir_ / "missing"));
  EXPECT_EQ(message(dir_ / "a file"), "Cannot open folder " + (dir_ / "a file").string() + ": Not a directory");
  fs::create_directory(dir_ / "closed");
  fs::permissions(dir_ / "closed", fs::perms::owner_read);
  if (::geteuid() != 0) {
    EXPECT_EQ(message(dir_ / "closed" / "Mincar"),
              "Cannot create folder " + (dir_ / "closed" / "Mincar").string() + ": Permission denied");
  }
  fs::permissions(dir_ / "closed", fs::perms::owner_all);
}

// The program itself, started in the home folder as a desktop menu starts
// it: it works in ~/Mincar, shows no box about missing settings, and leaves
// the home folder clean. The screenshot switch closes it after a moment.
TEST_F(WorkFolderTest, TheProgramStartedInTheHomeFolderWorksInItsOwnFolder) {
  const fs::path program = testing_support::builtProgram("mincar");
  if (!fs::exists(program)) GTEST_SKIP() << "built without the windows";
  const fs::path home = dir_ / "home";
  fs::create_directory(home);
  const auto result = testing_support::run(
      "/usr/bin/env",
      {"HOME=" + home.string(), "QT_QPA_PLATFORM=offscreen", "MINCAR_SCREENSHOT=" + (dir_ / "shot.png").string(),
       "timeout", "60", program.string()},
      home);
  EXPECT_EQ(result.exitCode, 0) << result.err;  // 124: held by a message box
  EXPECT_TRUE(fs::exists(home / "Mincar" / "data" / "peden.dbf"));
  EXPECT_TRUE(fs::exists(home / "Mincar" / app::kSettingsFileName));
  EXPECT_FALSE(fs::exists(home / "data"));
  EXPECT_FALSE(fs::exists(home / app::kSettingsFileName));
}

}  // namespace
