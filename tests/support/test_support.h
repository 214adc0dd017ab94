#pragma once
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

}  // namespace testing_support
