#include "test_support.h"

#include <fcntl.h>
#include <poll.h>
#include <sys/socket.h>
#include <sys/wait.h>
#include <unistd.h>

#include <csignal>

#include <cstdlib>
#include <fstream>
#include <sstream>
#include <stdexcept>

#include "text/regional.h"

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


LedgerPeer::LedgerPeer(const fs::path& table) {
  int sockets[2];
  if (socketpair(AF_UNIX, SOCK_STREAM | SOCK_CLOEXEC, 0, sockets) != 0) throw std::runtime_error("socketpair");
  const std::string program = builtProgram("ledger_peer").string();
  const std::string tableArg = table.string();
  pid_ = fork();
  if (pid_ < 0) throw std::runtime_error("fork");
  if (pid_ == 0) {
    dup2(sockets[1], 0);
    dup2(sockets[1], 1);
    execl(program.c_str(), program.c_str(), tableArg.c_str(), static_cast<char*>(nullptr));
    _exit(127);
  }
  close(sockets[1]);
  socket_ = sockets[0];
}

LedgerPeer::~LedgerPeer() {
  if (socket_ >= 0) close(socket_);  // the peer reads the end of its input and ends
  if (pid_ > 0) waitpid(pid_, nullptr, 0);
}

void LedgerPeer::send(const std::string& command) {
  const std::string line = command + "\n";
  if (::send(socket_, line.data(), line.size(), MSG_NOSIGNAL) != static_cast<ssize_t>(line.size())) {
    throw std::runtime_error("peer is gone");
  }
}

std::string LedgerPeer::reply() {
  std::string line;
  char c = 0;
  for (;;) {
    pollfd p{socket_, POLLIN, 0};
    if (poll(&p, 1, 30'000) <= 0) throw std::runtime_error("peer does not answer");
    if (read(socket_, &c, 1) != 1) throw std::runtime_error("peer is gone");
    if (c == '\n') return line;
    line += c;
  }
}

std::string LedgerPeer::ask(const std::string& command) {
  send(command);
  return reply();
}

void LedgerPeer::kill() {
  ::kill(pid_, SIGKILL);
  waitpid(pid_, nullptr, 0);
  pid_ = -1;
}


void seedRows(const fs::path& workDir, ledger::LedgerTable table, const StoredRows& rows) {
  ledger::createMissingTables(workDir);
  ledger::Dataset d("Table1", ledger::tablePath(workDir, table), text::Regional::czech());
  d.open();
  for (const auto& row : rows) {
    d.append();
    for (size_t i = 0; i < row.size(); ++i) d.field(static_cast<int>(i)).setValue(row[i]);
    d.post();
  }
}

StoredRows storedRows(const fs::path& workDir, ledger::LedgerTable table) {
  ledger::Dataset d("Table1", ledger::tablePath(workDir, table), text::Regional::czech());
  d.open();
  StoredRows rows;
  for (d.first(); !d.eof(); d.next()) {
    std::vector<ledger::Value> row;
    for (int i = 0; i < d.fieldCount(); ++i) row.push_back(d.field(i).value());
    rows.push_back(row);
  }
  return rows;
}

UnmappedFile::UnmappedFile(const fs::path& path) {
  int error = 0;
  real_ = ledger::openPosixFile(path, error);
  if (!real_) throw std::runtime_error("cannot open " + path.string());
}
ledger::IoResult UnmappedFile::pread(void* buffer, std::size_t count, long long offset) {
  return real_->pread(buffer, count, offset);
}
ledger::IoResult UnmappedFile::pwrite(const void* data, std::size_t count, long long offset) {
  return real_->pwrite(data, count, offset);
}
ledger::IoResult UnmappedFile::size() { return real_->size(); }
int UnmappedFile::truncate(long long length) { return real_->truncate(length); }
int UnmappedFile::sync() { return real_->sync(); }
int UnmappedFile::lock(long long offset, long long length, ledger::LockMode mode) {
  return real_->lock(offset, length, mode);
}

}  // namespace testing_support
