#include "ledger/file.h"

#include <fcntl.h>
#include <sys/mman.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>

namespace ledger {

namespace {

class PosixFile final : public File {
 public:
  explicit PosixFile(int fd) : fd_(fd), pageSize_(static_cast<std::size_t>(::sysconf(_SC_PAGESIZE))) {}
  ~PosixFile() override {
    // Don't retry close on EINTR: the descriptor is gone either way.
    ::close(fd_);
  }
  PosixFile(const PosixFile&) = delete;
  PosixFile& operator=(const PosixFile&) = delete;

  IoResult pread(void* buffer, std::size_t count, long long offset) override {
    for (;;) {
      ssize_t n = ::pread(fd_, buffer, count, static_cast<off_t>(offset));
      if (n >= 0) return {n, 0};
      if (errno != EINTR) return {0, errno};
    }
  }

  IoResult pwrite(const void* data, std::size_t count, long long offset) override {
    for (;;) {
      ssize_t n = ::pwrite(fd_, data, count, static_cast<off_t>(offset));
      if (n >= 0) return {n, 0};
      if (errno != EINTR) return {0, errno};
    }
  }

  bool isRegular() const {
    struct stat st {};
    return ::fstat(fd_, &st) == 0 && S_ISREG(st.st_mode);
  }

  void clearNonBlocking() {
    const int flags = ::fcntl(fd_, F_GETFL);
    if (flags >= 0) ::fcntl(fd_, F_SETFL, flags & ~O_NONBLOCK);
  }

  bool isNamedBy(const std::filesystem::path& path) const override {
    struct stat mine {}, named {};
    if (::fstat(fd_, &mine) != 0 || ::stat(path.c_str(), &named) != 0) return false;
    return mine.st_dev == named.st_dev && mine.st_ino == named.st_ino;
  }

  IoResult size() override {
    struct stat st {};
    if (::fstat(fd_, &st) != 0) return {0, errno};
    return {static_cast<long long>(st.st_size), 0};
  }

  int truncate(long long length) override {
    for (;;) {
      if (::ftruncate(fd_, static_cast<off_t>(length)) == 0) return 0;
      if (errno != EINTR) return errno;
    }
  }

  int setRights(unsigned mode, long long group) override {
    // Group first: changing it may clear the set-group-id bit.
    if (group >= 0 && ::fchown(fd_, static_cast<uid_t>(-1), static_cast<gid_t>(group)) != 0 && errno != EPERM) {
      return errno;
    }
    return ::fchmod(fd_, static_cast<mode_t>(mode)) == 0 ? 0 : errno;
  }

  int sync() override { return ::fdatasync(fd_) == 0 ? 0 : errno; }

  int lock(long long offset, long long length, LockMode mode) override {
    // Open file description locks (see locks.h for why not classic ones).
    // l_pid must be 0 for them.
    struct flock fl {};
    fl.l_type = mode == LockMode::Shared ? F_RDLCK : mode == LockMode::Exclusive ? F_WRLCK : F_UNLCK;
    fl.l_whence = SEEK_SET;
    fl.l_start = static_cast<off_t>(offset);
    fl.l_len = static_cast<off_t>(length);
    fl.l_pid = 0;
    for (;;) {
      if (::fcntl(fd_, F_OFD_SETLK, &fl) == 0) return 0;
      if (errno != EINTR) return errno;
    }
  }

  const char* map(long long offset, std::size_t length) override {
    void* view = ::mmap(nullptr, length, PROT_READ, MAP_SHARED, fd_, static_cast<off_t>(offset));
    return view == MAP_FAILED ? nullptr : static_cast<const char*>(view);
  }

  void unmap(const char* view, std::size_t length) noexcept override {
    ::munmap(const_cast<char*>(view), length);
  }

  std::size_t mapAlignment() const override { return pageSize_; }

 private:
  int fd_;
  std::size_t pageSize_;
};

std::unique_ptr<File> openWith(const std::filesystem::path& path, int flags, int& error) {
  // O_CLOEXEC: a child that inherited the descriptor would share this open
  // file description and with it every lock on the table, keeping them alive
  // after we let go (a browser started for a printout, for instance).
  int fd;
  do {
    fd = ::open(path.c_str(), flags | O_CLOEXEC, 0666);
  } while (fd < 0 && errno == EINTR);
  if (fd < 0) {
    error = errno;
    return nullptr;
  }
  error = 0;
  return std::make_unique<PosixFile>(fd);
}

// An existing regular file. Non-blocking while opening, so that a pipe at
// the name cannot hold the open; a folder, device or pipe is refused.
std::unique_ptr<File> openRegular(const std::filesystem::path& path, int flags, int& error) {
  std::unique_ptr<File> file = openWith(path, flags | O_NONBLOCK, error);
  if (!file) return file;
  auto& posix = static_cast<PosixFile&>(*file);
  if (!posix.isRegular()) {
    error = kNotARegularFile;
    return nullptr;
  }
  posix.clearNonBlocking();
  return file;
}

}  // namespace

std::unique_ptr<File> openPosixFileForReading(const std::filesystem::path& path, int& error) {
  return openRegular(path, O_RDONLY, error);
}

std::unique_ptr<File> openPosixFile(const std::filesystem::path& path, int& error) {
  return openRegular(path, O_RDWR, error);
}

std::unique_ptr<File> createPosixFile(const std::filesystem::path& path, int& error) {
  return openWith(path, O_RDWR | O_CREAT | O_EXCL | O_NOFOLLOW, error);
}

}  // namespace ledger
