#include "ledger/locks.h"

#include <cerrno>
#include <system_error>
#include <thread>

#include "ledger/errors.h"

namespace ledger {

std::string systemMessage(int error) {
  if (error == kNotARegularFile) return "not a regular file";
  return std::generic_category().message(error);
}

bool tryLock(File& file, long long offset, LockMode mode, const std::string& shownPath) {
  return tryLockRange(file, offset, 1, mode, shownPath);
}

bool tryLockRange(File& file, long long offset, long long length, LockMode mode, const std::string& shownPath) {
  int error = file.lock(offset, length, mode);
  if (error == 0) return true;
  if (error == EAGAIN || error == EACCES) return false;
  throw mincar::Error(mincar::fill(messages::kCannotLock, {shownPath, systemMessage(error)}));
}

void waitLock(File& file, long long offset, LockMode mode, const std::string& shownPath,
              std::chrono::milliseconds limit) {
  // Polling instead of F_OFD_SETLKW: a blocking lock has no time limit, and
  // a peer that hangs while holding the header lock must not hang us too.
  // Holders keep it for a few writes, so the first retries come quickly.
  const auto deadline = std::chrono::steady_clock::now() + limit;
  std::chrono::microseconds pause{20};
  while (!tryLock(file, offset, mode, shownPath)) {
    if (std::chrono::steady_clock::now() >= deadline) throw TableBusyError(shownPath);
    std::this_thread::sleep_for(pause);
    if (pause < std::chrono::milliseconds(5)) pause *= 2;
  }
}

void unlock(File& file, long long offset) noexcept { unlockRange(file, offset, 1); }

void unlockRange(File& file, long long offset, long long length) noexcept {
  // Dropping a lock cannot conflict; a failure here would leave nothing for
  // us to do, and the lock goes when the file closes anyway.
  file.lock(offset, length, LockMode::Unlock);
}

}  // namespace ledger
