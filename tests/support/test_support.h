#pragma once
#include <fcntl.h>
#include <spawn.h>
#include <sys/wait.h>
#include <unistd.h>

#include <filesystem>
#include <string>
#include <vector>

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

}  // namespace testing_support
