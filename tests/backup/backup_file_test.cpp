// The backup file: written beside its target and renamed over it only when
// whole, so that a full disk, a failing device or a name that cannot be
// created never passes for a backup and never harms an earlier one.
#include "backup/backup_file.h"

#include <fcntl.h>
#include <sys/mount.h>
#include <sys/resource.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <gtest/gtest.h>

#include <cerrno>
#include <csignal>
#include <string>

#include "backup/backup_commands.h"
#include "backup/backup_writer.h"
#include "backup_test_support.h"
#include "test_support.h"
#include "text/error.h"

namespace {

using namespace backup_testing;
using testing_support::TempDir;

// Files in a folder, the hidden ones too.
std::vector<std::string> namesIn(const fs::path& folder) {
  std::vector<std::string> names;
  for (const auto& entry : fs::directory_iterator(folder)) names.push_back(entry.path().filename().string());
  std::sort(names.begin(), names.end());
  return names;
}

// A journal of some hundred kilobytes of backup text.
void seedLargeJournal(const fs::path& workDir, int rows) {
  Rows journal;
  for (int i = 1; i <= rows; ++i) {
    journal.push_back({static_cast<double>(i), 1.0, 2.0, text::Date{2026, 1 + i % 12, 1 + i % 28},
                       cz("Řádek s dlouhým textem, který zabere místo ") + std::to_string(i),
                       static_cast<double>(i) / 100.0});
  }
  seedRows(workDir, LedgerTable::Journal, journal);
}

// A file of the seam that fails the way a device does.
class FailingFile final : public ledger::File {
 public:
  enum class Fault { ShortWrites, NoSpaceAfter, QuietlyFull, SyncFails };
  FailingFile(std::unique_ptr<ledger::File> real, Fault fault, long long limit)
      : real_(std::move(real)), fault_(fault), limit_(limit) {}

  ledger::IoResult pread(void* buffer, std::size_t count, long long offset) override {
    return real_->pread(buffer, count, offset);
  }
  ledger::IoResult pwrite(const void* data, std::size_t count, long long offset) override {
    switch (fault_) {
      case Fault::ShortWrites:
        return real_->pwrite(data, std::max<std::size_t>(1, count / 3), offset);
      case Fault::NoSpaceAfter:
        if (offset + static_cast<long long>(count) > limit_) return {0, ENOSPC};
        break;
      case Fault::QuietlyFull:
        if (offset + static_cast<long long>(count) > limit_) return {0, 0};
        break;
      case Fault::SyncFails:
        break;
    }
    return real_->pwrite(data, count, offset);
  }
  ledger::IoResult size() override { return real_->size(); }
  int truncate(long long length) override { return real_->truncate(length); }
  int sync() override { return fault_ == Fault::SyncFails ? EIO : real_->sync(); }
  int lock(long long offset, long long length, ledger::LockMode mode) override {
    return real_->lock(offset, length, mode);
  }

 private:
  std::unique_ptr<ledger::File> real_;
  Fault fault_;
  long long limit_;
};

ledger::TableRewrite::FileMaker failing(FailingFile::Fault fault, long long limit = 0) {
  return [fault, limit](const fs::path& path, int& error) -> std::unique_ptr<ledger::File> {
    auto real = ledger::createPosixFile(path, error);
    if (!real) return nullptr;
    return std::make_unique<FailingFile>(std::move(real), fault, limit);
  };
}

class BackupFileTest : public ::testing::Test {
 protected:
  void SetUp() override {
    seedLargeJournal(dir_.path(), 3000);
    seedRows(dir_.path(), LedgerTable::Books, {{1.0, cz("Hotovost"), 5.0}});
    open_ = std::make_unique<OpenLedger>(dir_.path());
    fs::create_directories(dir_ / "out");
  }
  app::Ledger& ledger() { return open_->ledger; }
  std::string expectFailure(const fs::path& file, ledger::TableRewrite::FileMaker create) {
    try {
      backup::SaveBackupTo(ledger(), file, std::move(create));
      ADD_FAILURE() << "the backup passed";
    } catch (const mincar::Error& e) {
      return e.what();
    }
    return {};
  }

  TempDir dir_;
  std::unique_ptr<OpenLedger> open_;
};

TEST_F(BackupFileTest, WritesThatMoveFewerBytesAreCarriedOnUntilAllIsWritten) {
  const fs::path whole = dir_ / "out" / "whole.txu";
  backup::SaveBackupTo(ledger(), whole);
  const fs::path shortWrites = dir_ / "out" / "short.txu";
  backup::SaveBackupTo(ledger(), shortWrites, failing(FailingFile::Fault::ShortWrites));
  EXPECT_EQ(testing_support::readFile(shortWrites), testing_support::readFile(whole));
}

TEST_F(BackupFileTest, AFailingDeviceIsReportedAndTheEarlierBackupStays) {
  const fs::path file = dir_ / "out" / "zaloha.txu";
  testing_support::writeFile(file, "an earlier backup");
  struct Case {
    FailingFile::Fault fault;
    long long limit;
    std::string message;
  } cases[] = {
      {FailingFile::Fault::NoSpaceAfter, 100000, "Cannot write to " + file.string() + ": No space left on device"},
      {FailingFile::Fault::NoSpaceAfter, 10, "Cannot write to " + file.string() + ": No space left on device"},
      {FailingFile::Fault::QuietlyFull, 50000, "Cannot write to " + file.string() + ": No space left on device"},
      {FailingFile::Fault::SyncFails, 0, "Cannot write to " + file.string() + ": Input/output error"},
  };
  for (const Case& c : cases) {
    open_->status.texts.clear();
    EXPECT_EQ(expectFailure(file, failing(c.fault, c.limit)), c.message);
    EXPECT_EQ(testing_support::readFile(file), "an earlier backup");
    EXPECT_EQ(namesIn(dir_ / "out"), std::vector<std::string>{"zaloha.txu"});
    EXPECT_EQ(open_->status.texts, std::vector<std::string>{"Start zalohy..."});
  }
}

TEST_F(BackupFileTest, ANameThatCannotBeCreatedIsRefusedBeforeAnyTableIsWalked) {
  fs::create_directories(dir_ / "out" / "folder.txu");
  const fs::path missing = dir_ / "no such folder" / "b.txu";
  const fs::path folder = dir_ / "out" / "folder.txu";
  ledger().journal().first();
  for (const fs::path& file : {missing, folder}) {
    EXPECT_EQ(expectFailure(file, ledger::createPosixFile), "Cannot create file " + file.string());
  }
  // The walk never began.
  EXPECT_EQ(ledger().journal().rowIndex(), 0);
  chmod((dir_ / "out").c_str(), 0500);
  if (access((dir_ / "out").c_str(), W_OK) != 0) {  // root writes anyway
    EXPECT_EQ(expectFailure(dir_ / "out" / "x.txu", ledger::createPosixFile),
              "Cannot create file " + (dir_ / "out" / "x.txu").string());
  }
  chmod((dir_ / "out").c_str(), 0700);
}

TEST_F(BackupFileTest, ReplacingABackupKeepsItsRightsAndReplacesALinkInsteadOfItsTarget) {
  const fs::path file = dir_ / "out" / "zaloha.txu";
  testing_support::writeFile(file, "old");
  chmod(file.c_str(), 0640);
  backup::SaveBackupTo(ledger(), file);
  struct stat st {};
  ASSERT_EQ(stat(file.c_str(), &st), 0);
  EXPECT_EQ(st.st_mode & 0777, 0640u);

  // A link planted at the name (by anyone who may write into the folder)
  // is replaced; the file it names stays as it was.
  const fs::path target = dir_ / "private.txt";
  testing_support::writeFile(target, "private");
  const fs::path link = dir_ / "out" / "latest.txu";
  fs::create_symlink(target, link);
  backup::SaveBackupTo(ledger(), link);
  EXPECT_FALSE(fs::is_symlink(link));
  EXPECT_NE(testing_support::readFile(link), "private");
  EXPECT_EQ(testing_support::readFile(target), "private");
  EXPECT_EQ(namesIn(dir_ / "out"), (std::vector<std::string>{"latest.txu", "zaloha.txu"}));
}

// A real file system that runs out of space: a small tmpfs where the test
// may mount one (CI runs as root), else a file size limit in a child.
TEST_F(BackupFileTest, AFileSystemThatRunsOutOfSpaceFailsTheBackupAndKeepsTheEarlierOne) {
  const fs::path small = dir_ / "small";
  fs::create_directories(small);
  const bool mounted = mount("tmpfs", small.c_str(), "tmpfs", 0, "size=64k") == 0;
  const fs::path file = small / "zaloha.txu";
  testing_support::writeFile(file, "an earlier backup");

  if (mounted) {
    EXPECT_EQ(expectFailure(file, ledger::createPosixFile),
              "Cannot write to " + file.string() + ": No space left on device");
    EXPECT_EQ(testing_support::readFile(file), "an earlier backup");
    EXPECT_EQ(namesIn(small), std::vector<std::string>{"zaloha.txu"});
    ASSERT_EQ(umount(small.c_str()), 0);
  }

  // Past a file size limit every write fails with EFBIG, as on a full
  // quota: in a child, so that the limit does not reach the test.
  testing_support::writeFile(file, "an earlier backup");
  const pid_t child = fork();
  ASSERT_GE(child, 0);
  if (child == 0) {
    signal(SIGXFSZ, SIG_IGN);
    rlimit limit{32 * 1024, 32 * 1024};
    setrlimit(RLIMIT_FSIZE, &limit);
    try {
      backup::SaveBackupTo(ledger(), file);
      _exit(2);
    } catch (const mincar::Error& e) {
      _exit(std::string(e.what()) == "Cannot write to " + file.string() + ": File too large" ? 0 : 3);
    }
  }
  int status = 0;
  waitpid(child, &status, 0);
  EXPECT_TRUE(WIFEXITED(status) && WEXITSTATUS(status) == 0) << status;
  EXPECT_EQ(testing_support::readFile(file), "an earlier backup");
  EXPECT_EQ(namesIn(small), std::vector<std::string>{"zaloha.txu"});
}

}  // namespace
