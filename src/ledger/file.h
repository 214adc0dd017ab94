#pragma once
#include <cstddef>
#include <filesystem>
#include <memory>

namespace ledger {

// What one call of the I/O seam did: bytes moved (or a size), or the errno
// value of the failure.
struct IoResult {
  long long bytes = 0;
  int error = 0;
};

enum class LockMode { Shared, Exclusive, Unlock };

// The table engine's only door to the file system. Each call behaves as its
// POSIX namesake and reports failures as values, so that tests can stand a
// file in between that writes short, runs out of space or fails with EIO,
// while the engine's own logic runs unchanged.
class File {
 public:
  virtual ~File() = default;

  virtual IoResult pread(void* buffer, std::size_t count, long long offset) = 0;
  virtual IoResult pwrite(const void* data, std::size_t count, long long offset) = 0;
  virtual IoResult size() = 0;
  virtual int truncate(long long length) = 0;  // 0 or an errno value
  virtual int sync() = 0;                      // 0 or an errno value
  // Takes, changes or drops a lock on the byte range without waiting: 0, or
  // an errno value (EAGAIN or EACCES while another holder's lock conflicts).
  // The lock belongs to this open file, not to the process: see locks.h.
  virtual int lock(long long offset, long long length, LockMode mode) = 0;

  // A read-only view of [offset, offset + length), offset a multiple of
  // mapAlignment(), or nullptr when the file cannot be mapped; the engine
  // then reads instead. The view shows later writes of every process, and
  // touching it beyond the file's end would kill the process (SIGBUS), so the
  // engine maps counted records only.
  virtual const char* map(long long offset, std::size_t length) {
    (void)offset;
    (void)length;
    return nullptr;
  }
  virtual void unmap(const char* view, std::size_t length) noexcept {
    (void)view;
    (void)length;
  }
  virtual std::size_t mapAlignment() const { return 1; }

  // Gives the file these mode bits and, unless group is -1, this group (a
  // group the user is not in is left as it is). 0 or an errno value.
  virtual int setRights(unsigned mode, long long group) {
    (void)mode;
    (void)group;
    return 0;
  }

  // False when the name no longer leads to this file: another process has
  // renamed a new file over it since it was opened.
  virtual bool isNamedBy(const std::filesystem::path& path) const {
    (void)path;
    return true;
  }
};

// In an open's `error`: the name leads to a folder, a device or a pipe, which
// is refused at once (a pipe is never waited on, a device never read).
inline constexpr int kNotARegularFile = -1;

// Opens an existing regular file for reading only; nullptr with error set
// (an errno value or kNotARegularFile) when it cannot.
std::unique_ptr<File> openPosixFileForReading(const std::filesystem::path& path, int& error);

// Opens an existing file for reading and writing; nullptr with error set when
// it cannot.
std::unique_ptr<File> openPosixFile(const std::filesystem::path& path, int& error);
// Creates a new file; fails with EEXIST when the name is taken, by a link
// too (a link is never followed to create its target).
std::unique_ptr<File> createPosixFile(const std::filesystem::path& path, int& error);

}  // namespace ledger
