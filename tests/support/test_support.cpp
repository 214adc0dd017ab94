#include "test_support.h"

#include <fcntl.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cstdlib>
#include <fstream>
#include <sstream>
#include <stdexcept>

namespace testing_support {

namespace fs = std::filesystem;

TempDir::TempDir() {
  std::string pattern = (fs::temp_directory_path() / "mincar-test-XXXXXX").string();
  if (!mkdtemp(pattern.data())) throw std::runtime_error("mkdtemp failed");
  path_ = pattern;
}

TempDir::~TempDir() {
  std::error_code ec;
  fs::remove_all(path_, ec);
}

std::string readFile(const fs::path& file) {
  std::ifstream in(file, std::ios::binary);
  if (!in) throw std::runtime_error("cannot read " + file.string());
  std::ostringstream s;
  s << in.rdbuf();
  return s.str();
}

void writeFile(const fs::path& file, const std::string& bytes) {
  std::ofstream out(file, std::ios::binary | std::ios::trunc);
  out << bytes;
  if (!out) throw std::runtime_error("cannot write " + file.string());
}

fs::path builtProgram(const std::string& name) {
  for (const char* sub : {"tests", "", "bench"}) {
    fs::path p = fs::path(MINCAR_BUILD_DIR) / sub / name;
    if (fs::exists(p)) return p;
  }
  throw std::runtime_error("program not built: " + name);
}

static std::string drain(int fd) {
  std::string s;
  char buf[4096];
  ssize_t n;
  while ((n = read(fd, buf, sizeof buf)) > 0) s.append(buf, static_cast<size_t>(n));
  return s;
}

RunResult run(const fs::path& program, const std::vector<std::string>& args,
              const fs::path& workingDir) {
  fs::path outFile = fs::temp_directory_path() / ("mincar-run-" + std::to_string(getpid()) + "-" +
                                                  std::to_string(std::rand()));
  fs::path errFile = outFile;
  errFile += ".err";
  pid_t pid = fork();
  if (pid < 0) throw std::runtime_error("fork failed");
  if (pid == 0) {
    int o = open(outFile.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0600);
    int e = open(errFile.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0600);
    dup2(o, 1);
    dup2(e, 2);
    int nul = open("/dev/null", O_RDONLY);
    dup2(nul, 0);
    if (!workingDir.empty() && chdir(workingDir.c_str()) != 0) _exit(127);
    std::vector<char*> argv;
    std::string prog = program.string();
    argv.push_back(prog.data());
    std::vector<std::string> copy = args;
    for (auto& a : copy) argv.push_back(a.data());
    argv.push_back(nullptr);
    execv(prog.c_str(), argv.data());
    _exit(127);
  }
  int status = 0;
  while (waitpid(pid, &status, 0) < 0) {
  }
  RunResult r;
  r.exitCode = WIFEXITED(status) ? WEXITSTATUS(status) : 128 + WTERMSIG(status);
  int o = open(outFile.c_str(), O_RDONLY);
  int e = open(errFile.c_str(), O_RDONLY);
  if (o >= 0) { r.out = drain(o); close(o); }
  if (e >= 0) { r.err = drain(e); close(e); }
  fs::remove(outFile);
  fs::remove(errFile);
  return r;
}

}  // namespace testing_support
