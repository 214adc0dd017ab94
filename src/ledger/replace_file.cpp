#include "ledger/replace_file.h"

#include <fcntl.h>
#include <stdio.h>
#include <signal.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <climits>
#include <utility>

#include "ledger/errors.h"
#include "text/cp1250.h"

namespace ledger {

namespace fs = std::filesystem;

namespace {

constexpr long long kWritebackStep = 8 << 20;
constexpr std::string_view kTemporarySuffix = ".tmp";

std::string hostName() {
  char name[HOST_NAME_MAX + 1] = {};
  if (::gethostname(name, sizeof name - 1) != 0 || name[0] == '\0') return "host";
  std::string host(name);
  // The name goes into a file name: no separators, no dots to confuse the
  // parse of a stale temporary's name.
  for (char& c : host) {
    if (c == '/' || c == '.') c = '_';
  }
  return host;
}

const std::string& thisHost() {
  static const std::string host = hostName();
  return host;
}

}  // namespace

void writeFully(File& file, const void* data, std::size_t count, long long offset, const std::string& shownPath,
                std::string_view failure) {
  const char* bytes = static_cast<const char*>(data);
  while (count > 0) {
    const IoResult r = file.pwrite(bytes, count, offset);
    if (r.error) throw mincar::Error(mincar::fill(failure, {shownPath, systemMessage(r.error)}));
    if (r.bytes == 0) throw mincar::Error(mincar::fill(failure, {shownPath, systemMessage(ENOSPC)}));
    bytes += r.bytes;
    count -= static_cast<std::size_t>(r.bytes);
    offset += r.bytes;
  }
}

void writeFully(File& file, const void* data, std::size_t count, long long offset, const std::string& shownPath) {
  writeFully(file, data, count, offset, shownPath, messages::kCannotWrite);
}

int syncFolder(const fs::path& folder) {
  int fd;
  do {
    fd = ::open(folder.empty() ? "." : folder.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
  } while (fd < 0 && errno == EINTR);
  if (fd < 0) return errno;
  const int result = ::fsync(fd) == 0 ? 0 : errno;
  ::close(fd);
  // Some file systems cannot sync a folder; the rename itself has happened.
  return result == EINVAL || result == EROFS ? 0 : result;
}

EarlyWriteback::EarlyWriteback(const fs::path& file) {
  do {
    fd_ = ::open(file.c_str(), O_RDONLY | O_CLOEXEC | O_NOFOLLOW);
  } while (fd_ < 0 && errno == EINTR);
}

EarlyWriteback::~EarlyWriteback() {
  if (fd_ >= 0) ::close(fd_);
}

void EarlyWriteback::written(long long bytes) {
#ifdef __linux__
  if (fd_ < 0 || bytes - started_ < kWritebackStep) return;
  ::sync_file_range(fd_, started_, bytes - started_, SYNC_FILE_RANGE_WRITE);
  started_ = bytes;
#else
  (void)bytes;
#endif
}

std::unique_ptr<File> openFileToRead(const fs::path& path) {
  int error = 0;
  std::unique_ptr<File> file = openPosixFileForReading(path, error);
  const std::string shown = text::pathText(path);
  if (error == kNotARegularFile) {
    throw mincar::Error(mincar::fill(messages::kCannotOpenFileBecause, {shown, systemMessage(error)}));
  }
  if (!file) throw mincar::Error(mincar::fill(messages::kCannotOpenFile, {shown}));
  return file;
}

int shareWithFolderGroup(File& file, const fs::path& path) {
  const fs::path folder = path.parent_path();
  struct stat dir {};
  struct stat made {};
  if (::stat(folder.empty() ? "." : folder.c_str(), &dir) != 0 || (dir.st_mode & S_IWGRP) == 0) return 0;
  if (::lstat(path.c_str(), &made) != 0) return errno;
  return file.setRights((made.st_mode & 07777) | S_IRGRP | S_IWGRP, -1);
}

fs::path ReplacementFile::temporaryName(const fs::path& target, long process, int attempt) {
  std::string name(1, '.');
  name += target.filename().string();
  name += '.';
  name += thisHost();
  name += '.';
  name += std::to_string(process);
  if (attempt > 0) {
    name += '-';
    name += std::to_string(attempt);
  }
  name += kTemporarySuffix;
  return target.parent_path() / name;
}

void ReplacementFile::removeStaleTemporaries(const fs::path& folder) noexcept {
  // ".NAME.HOST.PID[-N].tmp": only this host's, since a process number says
  // nothing about another machine's processes sharing the folder.
  const std::string hostPart = "." + thisHost() + ".";
  std::error_code ec;
  fs::directory_iterator it(folder.empty() ? fs::path(".") : folder, ec);
  for (; !ec && it != fs::directory_iterator(); it.increment(ec)) {
    const std::string name = it->path().filename().string();
    if (name.size() < 2 || name[0] != '.' || !name.ends_with(kTemporarySuffix)) continue;
    const std::string stem = name.substr(0, name.size() - kTemporarySuffix.size());
    const std::size_t host = stem.rfind(hostPart);
    if (host == std::string::npos || host == 0) continue;
    std::string process = stem.substr(host + hostPart.size());
    if (const std::size_t dash = process.find('-'); dash != std::string::npos) process.resize(dash);
    if (process.empty() || process.size() > 9 ||
        process.find_first_not_of("0123456789") != std::string::npos) {
      continue;
    }
    const long pid = std::stol(process);
    if (pid <= 0 || pid == ::getpid()) continue;
    // A living process, or one we may not signal, keeps its file.
    if (::kill(static_cast<pid_t>(pid), 0) == 0 || errno != ESRCH) continue;
    std::error_code typeError;
    if (!it->is_regular_file(typeError) || it->is_symlink(typeError)) continue;
    std::error_code ignored;
    fs::remove(it->path(), ignored);
  }
}

ReplacementFile::ReplacementFile(fs::path target, ReplaceTexts texts, FileMaker create)
    : target_(std::move(target)), shown_(text::pathText(target_)), texts_(texts) {
  if (target_.empty() || !target_.has_filename()) failCreate(EINVAL);
  struct stat old {};
  const bool replacing = ::lstat(target_.c_str(), &old) == 0;
  if (replacing && !S_ISREG(old.st_mode) && !S_ISLNK(old.st_mode)) {
    failCreate(S_ISDIR(old.st_mode) ? EISDIR : EINVAL);
  }
  const fs::path folder = target_.parent_path();
  removeStaleTemporaries(folder);
  int error = 0;
  for (int attempt = 0; !file_ && attempt < 100; ++attempt) {
    temporary_ = temporaryName(target_, static_cast<long>(::getpid()), attempt);
    file_ = create(temporary_, error);
    if (!file_ && error != EEXIST) break;
  }
  if (!file_) failCreate(error ? error : EIO);
  writeback_ = std::make_unique<EarlyWriteback>(temporary_);
  if (replacing && S_ISREG(old.st_mode)) {
    // The others sharing the file keep what rights they had on it.
    file_->setRights(old.st_mode & 07777, static_cast<long long>(old.st_gid));
  } else {
    shareWithFolderGroup(*file_, temporary_);
  }
  buffer_.reserve(kBufferBytes);
}

ReplacementFile::~ReplacementFile() {
  writeback_.reset();
  if (committed_ || temporary_.empty() || !file_) return;
  file_.reset();
  std::error_code ignored;
  fs::remove(temporary_, ignored);
}

void ReplacementFile::failWrite(int error) const {
  throw mincar::Error(mincar::fill(texts_.cannotWrite, {shown_, systemMessage(error)}));
}

void ReplacementFile::failCreate(int error) const {
  throw mincar::Error(mincar::fill(texts_.cannotCreate, {shown_, systemMessage(error)}));
}

void ReplacementFile::flush() {
  if (buffer_.empty()) return;
  if (finished_) failWrite(EBADF);
  if (!file_) failWrite(EBADF);
  writeFully(*file_, buffer_.data(), buffer_.size(), written_, shown_, texts_.cannotWrite);
  written_ += static_cast<long long>(buffer_.size());
  buffer_.clear();
  writeback_->written(written_);
}

void ReplacementFile::flushFull(std::string_view more) {
  flush();
  if (more.size() >= kBufferBytes) {
    writeFully(*file_, more.data(), more.size(), written_, shown_, texts_.cannotWrite);
    written_ += static_cast<long long>(more.size());
    writeback_->written(written_);
  } else {
    buffer_.append(more);
  }
}

void ReplacementFile::writeAt(long long offset, std::string_view bytes) {
  if (finished_) failWrite(EBADF);
  flush();
  if (!file_) failWrite(EBADF);
  writeFully(*file_, bytes.data(), bytes.size(), offset, shown_, texts_.cannotWrite);
}

void ReplacementFile::finish() {
  if (finished_) return;
  flush();
  if (!file_) failWrite(EBADF);
  if (const int error = file_->sync()) failWrite(error);
  finished_ = true;
}

void ReplacementFile::commit() {
  if (committed_) return;
  finish();
  file_.reset();
  // rename() replaces a link at the target itself, never what it names.
  if (::rename(temporary_.c_str(), target_.c_str()) != 0) {
    const int error = errno;
    std::error_code ignored;
    fs::remove(temporary_, ignored);
    committed_ = true;  // nothing left to remove
    failCreate(error);
  }
  committed_ = true;
  if (const int error = syncFolder(target_.parent_path())) failWrite(error);
}

namespace {

// Puts `from` at the name `to` unless `to` exists: 0, or an errno value
// (EEXIST when the name is taken).
int renameWithoutReplacing(const fs::path& from, const fs::path& to) {
#ifdef RENAME_NOREPLACE
  if (::renameat2(AT_FDCWD, from.c_str(), AT_FDCWD, to.c_str(), RENAME_NOREPLACE) == 0) return 0;
  // File systems without the flag (some network ones) answer EINVAL.
  if (errno != EINVAL && errno != ENOSYS) return errno;
#endif
  // A hard link never replaces either; the temporary's own name goes after.
  if (::link(from.c_str(), to.c_str()) != 0) return errno;
  ::unlink(from.c_str());
  return 0;
}

}  // namespace

bool ReplacementFile::commitNew() {
  if (committed_) return true;
  finish();
  file_.reset();
  const int error = renameWithoutReplacing(temporary_, target_);
  committed_ = true;
  if (error != 0) {
    std::error_code ignored;
    fs::remove(temporary_, ignored);
    if (error == EEXIST) return false;
    failCreate(error);
  }
  if (const int why = syncFolder(target_.parent_path())) failWrite(why);
  return true;
}

}  // namespace ledger
