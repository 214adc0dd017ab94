#pragma once
#include <fcntl.h>
#include <spawn.h>
#include <sys/wait.h>
#include <unistd.h>

#include <filesystem>
#include <memory>
#include <string>
#include <vector>

#include "ledger/dataset.h"
#include "ledger/file.h"
#include "ledger/ledger_tables.h"
#include "text/error.h"

namespace testing_support {

// A fresh folder under the system's temp folder, removed with the object.
class TempDir {
 public:
  TempDir();
  ~TempDir();
  TempDir(const TempDir&) = delete;
  TempDir& operator=(const TempDir&) = delete;
  const std::filesystem::path& path() const { return path_; }
  std::filesystem::path operator/(const std::string& name) const { return path_ / name; }

 private:
  std::filesystem::path path_;
};

std::string readFile(const std::filesystem::path& file);
void writeFile(const std::filesystem::path& file, const std::string& bytes);

// A program built beside the tests (helpers, mincar-cli).
std::filesystem::path builtProgram(const std::string& name);

struct RunResult {
  int exitCode = -1;
  std::string out;
  std::string err;
};
// Runs a program with arguments (no shell), waits for it and collects its output.
RunResult run(const std::filesystem::path& program, const std::vector<std::string>& args,
              const std::filesystem::path& workingDir = {});

// hold_row in a process of its own: it edits one row of a table in workDir
// until released.
class RowHolder {
 public:
  RowHolder(const std::filesystem::path& workDir, const std::string& table, const std::string& id) {
    int toChild[2], fromChild[2];
    if (pipe2(toChild, O_CLOEXEC) != 0 || pipe2(fromChild, O_CLOEXEC) != 0) return;
    posix_spawn_file_actions_t actions;
    posix_spawn_file_actions_init(&actions);
    posix_spawn_file_actions_adddup2(&actions, toChild[0], 0);
    posix_spawn_file_actions_adddup2(&actions, fromChild[1], 1);
    std::string program = testing_support::builtProgram("hold_row").string();
    std::string dir = workDir.string();
    std::vector<char*> argv = {program.data(), dir.data(), const_cast<char*>(table.c_str()),
                               const_cast<char*>(id.c_str()), nullptr};
    int rc = posix_spawn(&pid_, program.c_str(), &actions, nullptr, argv.data(), environ);
    posix_spawn_file_actions_destroy(&actions);
    close(toChild[0]);
    close(fromChild[1]);
    release_ = toChild[1];
    if (rc != 0) {
      pid_ = -1;
      close(fromChild[0]);
      return;
    }
    std::string said;
    char c;
    while (said.find('\n') == std::string::npos && read(fromChild[0], &c, 1) == 1) said += c;
    close(fromChild[0]);
    ready_ = said == "ready\n";
  }
  ~RowHolder() { release(); }
  RowHolder(const RowHolder&) = delete;
  RowHolder& operator=(const RowHolder&) = delete;

  bool ready() const { return ready_; }
  // Lets the row go; the holder cancels its edit and ends. Its exit status.
  int release() {
    if (release_ >= 0) close(release_);
    release_ = -1;
    if (pid_ <= 0) return -1;
    int status = 0;
    while (waitpid(pid_, &status, 0) < 0) {
    }
    pid_ = -1;
    return WIFEXITED(status) ? WEXITSTATUS(status) : -1;
  }

 private:
  pid_t pid_ = -1;
  int release_ = -1;
  bool ready_ = false;
};


// tests/helpers/ledger_peer in a process of its own on one table: a second
// user, talked to a line at a time over a socket pair (a dead peer then means
// an error, not a SIGPIPE). Closing the socket ends it.
class LedgerPeer {
 public:
  explicit LedgerPeer(const std::filesystem::path& table);
  ~LedgerPeer();
  LedgerPeer(const LedgerPeer&) = delete;
  LedgerPeer& operator=(const LedgerPeer&) = delete;

  void send(const std::string& command);
  // The answer to the oldest command not yet answered.
  std::string reply();
  std::string ask(const std::string& command);
  // Ends the peer the hard way, as a crash or a power cut of its computer.
  void kill();

 private:
  pid_t pid_ = -1;
  int socket_ = -1;
};


// The text of the error that body throws, or "(no error)".
template <class Body>
std::string errorOf(Body&& body) {
  try {
    body();
  } catch (const mincar::Error& e) {
    return e.what();
  }
  return "(no error)";
}

using StoredRows = std::vector<std::vector<ledger::Value>>;

// Rows stored directly, without the new-row rules, as another program or an
// earlier run left them. The tables are made first where missing; columns
// left out stay empty.
void seedRows(const std::filesystem::path& workDir, ledger::LedgerTable table, const StoredRows& rows);

// What is stored, read by a fresh component in natural order.
StoredRows storedRows(const std::filesystem::path& workDir, ledger::LedgerTable table);

// A table file that cannot be mapped: the engine reads it through copies
// instead. Install it with DatasetTestAccess::setFileOpener.
class UnmappedFile : public ledger::File {
 public:
  explicit UnmappedFile(const std::filesystem::path& path);
  ledger::IoResult pread(void* buffer, std::size_t count, long long offset) override;
  ledger::IoResult pwrite(const void* data, std::size_t count, long long offset) override;
  ledger::IoResult size() override;
  int truncate(long long length) override;
  int sync() override;
  int lock(long long offset, long long length, ledger::LockMode mode) override;

 private:
  std::unique_ptr<ledger::File> real_;
};

}  // namespace testing_support
