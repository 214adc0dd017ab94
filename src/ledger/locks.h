#pragma once
#include <chrono>
#include <cstdint>
#include <string>

#include "ledger/file.h"

// Sharing a table between processes: byte-range locks on the table file.
//
// Layout. Every lock covers one byte far beyond any data, so that locks and
// I/O never meet:
//
//   999,999,998       open lock    shared: the table is open shared
//                                  exclusive: the table is open exclusively
//   999,999,999       header lock  exclusive: around an append, a repair, an
//                                  emptying (the count and the file's end
//                                  change) and the day's first date update;
//                                  shared: around rereading the count
//   999,999,997       numbering    exclusive: from before a new row is
//                     lock         stored until its number is, so that no
//                                  two copies give out one number
//   1,000,000,000 + n row lock     exclusive: row n (from 0) is being edited
//                                  or deleted
//
// Allowed changes and their waits:
//
//   open lock    none -> shared | exclusive   never waits; the open fails
//                                             when the other kind is held
//   numbering    none -> exclusive -> none    waits (bounded); held for one
//                                             new-row rule, or one import's
//                                             batch of rows, during which the
//                                             holder takes the header lock
//                                             and its new rows' locks
//   header lock  none -> shared | exclusive   waits (bounded); held for a
//                -> none                      few reads and writes only
//   row lock     none -> exclusive -> none    never waits; edit and remove
//                                             refuse at once; one per open
//                                             table (Table asserts it), or
//                                             one block of consecutive rows
//                                             taken and dropped in one call
//                                             (a bulk column update)
//
// Waits are bounded, and taken in one order only: numbering lock, header
// lock, row lock. Whoever holds the header lock waits for nothing; a pass
// that waits for a row (kRowFillWait) holds no other row, and the new-row
// rule holding that row waits for nothing but the header lock, so no two
// processes can wait for each other for long.
//
// Traps.
// 1. Classic fcntl locks (F_SETLK) belong to the process and the file, not to
//    the descriptor: closing ANY descriptor of the file, even one opened by a
//    library for a quick look, drops ALL of the process's locks on it, and two
//    descriptors of one process never conflict with each other. We use open
//    file description locks (F_OFD_SETLK): they belong to the open() that took
//    them, are dropped only when its last descriptor closes, and two opens in
//    one process conflict exactly as two processes do (two Datasets on one
//    table in one program behave like two users).
// 2. An OFD lock is shared by every descriptor that refers to the same open
//    file description, so a forked child inherits it. Tables are opened with
//    O_CLOEXEC so that a started program (the browser) does not keep our locks.
// 3. On network file systems the shared header lock is what makes the client
//    drop its cached pages and read the count the server has.
// 4. A Windows port would take LockFileEx / UnlockFileEx on the same offsets
//    (LOCKFILE_FAIL_IMMEDIATELY for the non-waiting ones). Windows locks are
//    mandatory: they would block reads of locked bytes, which is one more
//    reason the offsets lie beyond the data. Only a table of about 999 MB
//    (3.5 million journal rows) would reach them.
namespace ledger {

namespace lock_layout {
inline constexpr long long kNumberingLock = 999'999'997;
inline constexpr long long kOpenLock = 999'999'998;
inline constexpr long long kHeaderLock = 999'999'999;
inline constexpr long long kFirstRowLock = 1'000'000'000;
inline constexpr long long rowLock(std::int64_t row) { return kFirstRowLock + row; }
}  // namespace lock_layout

// How long a header lock is waited for before the table counts as busy.
inline constexpr std::chrono::milliseconds kHeaderLockWait{10'000};
// How long the numbering lock is waited for: other copies hold it for one
// new-row rule each, a walk of the table included, or for an import's batch
// (10,000 rows into a million take about half a second).
inline constexpr std::chrono::milliseconds kNumberingLockWait{10'000};
// How long a pass waits for a row that another copy's new-row rule is
// filling (a few milliseconds); a row a user edits stays refused after it.
inline constexpr std::chrono::milliseconds kRowFillWait{1'000};

// Takes a lock without waiting. False when another holder's lock conflicts;
// other failures (a file system without locks) throw mincar::Error naming
// the file.
bool tryLock(File& file, long long offset, LockMode mode, const std::string& shownPath);
// Takes a lock, waiting at most `limit`; throws the busy error after that.
void waitLock(File& file, long long offset, LockMode mode, const std::string& shownPath,
              std::chrono::milliseconds limit = kHeaderLockWait);
void unlock(File& file, long long offset) noexcept;
// The same over `length` bytes from `offset` in one call: every byte or
// none. A bulk update takes the row locks of a block of rows so.
bool tryLockRange(File& file, long long offset, long long length, LockMode mode, const std::string& shownPath);
void unlockRange(File& file, long long offset, long long length) noexcept;

// The header lock for one block of work.
class HeaderLock {
 public:
  HeaderLock(File& file, LockMode mode, const std::string& shownPath) : file_(file) {
    waitLock(file_, lock_layout::kHeaderLock, mode, shownPath);
  }
  ~HeaderLock() { unlock(file_, lock_layout::kHeaderLock); }
  HeaderLock(const HeaderLock&) = delete;
  HeaderLock& operator=(const HeaderLock&) = delete;

 private:
  File& file_;
};

}  // namespace ledger
