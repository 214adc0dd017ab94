// Files written whole (settings, pages, backups, table rewrites): written
// beside the name and renamed over it, never through a link someone else
// planted, with the rights the others sharing the folder need.
#include <fcntl.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <gtest/gtest.h>

#include <filesystem>
#include <string>
#include <vector>

#include "ledger/replace_file.h"
#include "test_support.h"

namespace {

namespace fs = std::filesystem;
using ledger::ReplacementFile;
using testing_support::readFile;
using testing_support::writeFile;

// A folder that every user may write into, as a shared data folder is to
// its group, inside a test folder that everyone may pass through.
class SharedFolder : public ::testing::Test {
 protected:
  void SetUp() override {
    ::chmod(dir_.path().c_str(), 0755);
    fs::create_directory(shared_);
    ::chmod(shared_.c_str(), 0777);
  }

  // Plants a link as a second user would: under another uid where the tests
  // run as root (as CI does), else as ourselves.
  void plantLink(const fs::path& target, const fs::path& link) {
    if (::geteuid() == 0 && fs::exists("/usr/bin/setpriv")) {
      const auto r = testing_support::run("/usr/bin/setpriv", {"--reuid=65534", "--regid=65534", "--clear-groups",
                                                               "/bin/ln", "-s", target.string(), link.string()});
      ASSERT_EQ(r.exitCode, 0) << r.err;
      struct stat st {};
      ASSERT_EQ(::lstat(link.c_str(), &st), 0);
      ASSERT_EQ(st.st_uid, 65534u);
    } else {
      fs::create_symlink(target, link);
    }
  }

  void replace(const fs::path& file, const std::string& bytes) {
    ReplacementFile out(file);
    out.write(bytes);
    out.commit();
  }

  testing_support::TempDir dir_;
  fs::path shared_ = dir_ / "shared";
  fs::path outside_ = dir_ / "private.txt";
};

TEST_F(SharedFolder, ALinkAtTheNameIsReplacedAndWhatItNamesStaysUntouched) {
  for (const bool dangling : {false, true}) {
    SCOPED_TRACE(dangling ? "dangling link" : "link to a private file");
    const fs::path target = dangling ? dir_ / "not-yet.txt" : outside_;
    if (!dangling) writeFile(target, "private");
    const fs::path name = shared_ / (dangling ? "out2.htm" : "out.htm");
    plantLink(target, name);
    replace(name, "page");
    EXPECT_FALSE(fs::is_symlink(name));
    EXPECT_EQ(readFile(name), "page");
    if (dangling) EXPECT_FALSE(fs::exists(target));
    else EXPECT_EQ(readFile(target), "private");
  }
}

TEST_F(SharedFolder, ALinkPlantedAtTheTemporaryNameIsNeverOpened) {
  writeFile(outside_, "private");
  const fs::path name = shared_ / "prop1.txt";
  for (int attempt = 0; attempt < 3; ++attempt) {
    plantLink(outside_, ReplacementFile::temporaryName(name, static_cast<long>(::getpid()), attempt));
  }
  replace(name, "settings");
  EXPECT_EQ(readFile(name), "settings");
  EXPECT_EQ(readFile(outside_), "private");
}

TEST_F(SharedFolder, NamesThatAreNoFilesAreRefusedAtOnce) {
  const fs::path fifo = shared_ / "fifo.txu";
  ASSERT_EQ(::mkfifo(fifo.c_str(), 0644), 0);
  fs::create_directory(shared_ / "folder.htm");
  struct Case {
    fs::path name;
  } cases[] = {{fifo}, {shared_ / "folder.htm"}, {"/dev/null"}, {shared_ / "missing" / "x.txu"}};
  for (const Case& c : cases) {
    EXPECT_EQ(testing_support::errorOf([&] { ReplacementFile out(c.name); }), "Cannot create file " + c.name.string());
  }
  EXPECT_TRUE(fs::is_fifo(fifo));
  EXPECT_TRUE(fs::exists("/dev/null"));
  // Nothing was left beside them.
  std::vector<std::string> names;
  for (const auto& entry : fs::directory_iterator(shared_)) names.push_back(entry.path().filename().string());
  std::sort(names.begin(), names.end());
  EXPECT_EQ(names, (std::vector<std::string>{"fifo.txu", "folder.htm"}));
}

TEST_F(SharedFolder, AReplacedFileKeepsItsModeAndGroupAndANewOneTheFoldersGroupWrite) {
  const fs::path kept = shared_ / "zaloha.txu";
  writeFile(kept, "old");
  ::chmod(kept.c_str(), 0640);
  const gid_t otherGroup = ::geteuid() == 0 ? 65534 : ::getegid();
  ASSERT_EQ(::chown(kept.c_str(), static_cast<uid_t>(-1), otherGroup), 0);
  replace(kept, "new");
  struct stat st {};
  ASSERT_EQ(::stat(kept.c_str(), &st), 0);
  EXPECT_EQ(st.st_mode & 07777, 0640u);
  EXPECT_EQ(st.st_gid, otherGroup);

  // umask 022 takes the group's write bit; a group-writable folder gives it
  // back, so that the others can open what one of them made.
  const mode_t before = ::umask(022);
  replace(shared_ / "new.txu", "x");
  fs::create_directory(dir_ / "own");
  ::chmod((dir_ / "own").c_str(), 0755);
  replace(dir_ / "own" / "new.txu", "x");
  ::umask(before);
  ASSERT_EQ(::stat((shared_ / "new.txu").c_str(), &st), 0);
  EXPECT_EQ(st.st_mode & 0777, 0664u);
  ASSERT_EQ(::stat((dir_ / "own" / "new.txu").c_str(), &st), 0);
  EXPECT_EQ(st.st_mode & 0777, 0644u);
}

TEST_F(SharedFolder, TemporariesOfEndedProcessesAreRemovedByTheNextWrite) {
  // A process that has ended: its number is free (until reused, which the
  // test cannot see in the few microseconds it runs).
  const pid_t ended = ::fork();
  if (ended == 0) _exit(0);
  ::waitpid(ended, nullptr, 0);
  const fs::path stale = ReplacementFile::temporaryName(shared_ / "zaloha.txu", ended, 0);
  const fs::path staleRetry = ReplacementFile::temporaryName(shared_ / "other.txu", ended, 2);
  const fs::path living = ReplacementFile::temporaryName(shared_ / "x.txu", static_cast<long>(::getppid()), 0);
  const fs::path foreign = shared_ / ".x.txu.otherhost.1.tmp";
  for (const fs::path& f : {stale, staleRetry, living, foreign}) writeFile(f, "half");
  replace(shared_ / "zaloha.txu", "whole");
  EXPECT_FALSE(fs::exists(stale));
  EXPECT_FALSE(fs::exists(staleRetry));
  EXPECT_TRUE(fs::exists(living));
  EXPECT_TRUE(fs::exists(foreign));
}

TEST_F(SharedFolder, AFailedWriteLeavesTheOldFileAndNoTemporary) {
  const fs::path name = shared_ / "prop1.txt";
  writeFile(name, "old");
  {
    ReplacementFile out(name);
    out.write("half of it");
    // Dropped without commit: a failure on the way.
  }
  EXPECT_EQ(readFile(name), "old");
  std::vector<std::string> names;
  for (const auto& entry : fs::directory_iterator(shared_)) names.push_back(entry.path().filename().string());
  EXPECT_EQ(names, std::vector<std::string>{"prop1.txt"});
}

TEST_F(SharedFolder, OfTwoWritersOfANewNameTheFirstKeepsItAndTheOtherWritesNothing) {
  const fs::path name = shared_ / "zaloha_2026-12-08.txu";
  ReplacementFile first(name);
  ReplacementFile second(name);
  first.write("the first one, whole");
  second.write("the second one, whole too");
  EXPECT_TRUE(first.commitNew());
  EXPECT_FALSE(second.commitNew());
  EXPECT_EQ(readFile(name), "the first one, whole");
  std::vector<std::string> names;
  for (const auto& entry : fs::directory_iterator(shared_)) names.push_back(entry.path().filename().string());
  EXPECT_EQ(names, std::vector<std::string>{"zaloha_2026-12-08.txu"});
  // A link at the name takes it too: nothing is written through it.
  const fs::path linked = shared_ / "linked.txu";
  fs::create_symlink(outside_, linked);
  ReplacementFile third(linked);
  third.write("through the link");
  EXPECT_FALSE(third.commitNew());
  EXPECT_FALSE(fs::exists(outside_));
}

}  // namespace
