#pragma once
#include <chrono>
#include <cstdint>
#include <filesystem>
#include <memory>
#include <string>
#include <string_view>
#include <vector>

#include "ledger/dbf_header.h"
#include "ledger/file.h"
#include "ledger/replace_file.h"
#include "ledger/value.h"

namespace ledger {

// ReadOnly: for a command that only reads. Nothing is written, repairs
// included (they wait for the first opening for writing), and a file the
// user may only read opens too.
enum class TableAccess { Shared, Exclusive, ReadOnly };

// One open dBASE table file: its header, records by number, appends that
// other processes' appends cannot overwrite, row locks, and the repair of a
// count that a crash left one behind or that damage left beyond the records. Reads go through two windows that
// slide over the file (mapped views of 8 MiB, or read copies of 64 KiB where
// a file cannot be mapped), and a third one ahead of them while a ReadAhead
// lives, so memory stays the same whatever the table's size.
class Table {
 public:
  // Opens the table for reading and writing. Errors (mincar::Error): "Cannot
  // open file %s", damage naming the file, the busy refusal.
  Table(std::filesystem::path path, TableAccess access);
  // The same over a file the caller opened; tests stand faulty files in here,
  // and a failing maker for the copy a damaged file leaves beside it. A null
  // file is reported as a file that cannot be opened.
  Table(std::filesystem::path path, TableAccess access, std::unique_ptr<File> file,
        ReplacementFile::FileMaker makeCopy = createPosixFile);
  ~Table();
  Table(const Table&) = delete;
  Table& operator=(const Table&) = delete;

  const std::string& shownPath() const { return shownPath_; }
  // False when opened for reading only, asked for or because the user may
  // only read the file (then opened shared): every change is refused with
  // "Cannot write to %s: reason".
  bool writable() const { return readOnlyReason_ == 0; }
  TableAccess access() const { return access_; }
  const std::vector<FieldDef>& fields() const { return header_.fields; }
  // Where each field starts, after the deletion flag.
  const std::vector<int>& offsets() const { return header_.offsets; }
  int recordLength() const { return recordLength_; }

  // The count as last read from the header.
  std::int64_t recordCount() const { return count_; }
  // Rereads the count from the header; rows that other processes appended
  // count from here on.
  std::int64_t refreshCount();
  // Forgets what the read windows hold, so that the next reads show what
  // other processes have written meanwhile.
  void forgetWindows();

  // The bytes of record n (< recordCount()), deletion flag first, valid until
  // the next call of record(), rereadRecord() or a write.
  const char* record(std::int64_t n) {
    const Window& w = windows_[recent_];
    if (n >= w.first && n < w.end) {
      return w.records + static_cast<std::size_t>(n - w.first) * static_cast<std::size_t>(recordLength_);
    }
    return loadRecord(n);
  }
  // The bytes of record n as record() gives them, and in `end` where the
  // records that follow it contiguously in memory end: a scan steps through
  // them without a call per record. Valid as long as record()'s bytes are.
  const char* recordSpan(std::int64_t n, std::int64_t& end) {
    const char* bytes = record(n);
    end = windows_[recent_].end;
    return bytes;
  }
  // A pass that reads the records in order, one window after the other:
  // while it lives, the window after the one being read is mapped ahead and
  // a helper thread faults its pages in meanwhile, so that on a machine with
  // a core to spare the reader seldom waits for the kernel. Nothing happens
  // where windows are read copies or the table fits in one window.
  class ReadAhead {
   public:
    explicit ReadAhead(Table& table);
    ~ReadAhead();  // stops the helper and unmaps the window ahead
    ReadAhead(const ReadAhead&) = delete;
    ReadAhead& operator=(const ReadAhead&) = delete;

   private:
    Table* table_ = nullptr;
  };

  // Changes whenever bytes that record() returned may have changed, so that
  // a reader may keep what it decoded from them until then.
  std::uint64_t generation() const { return generation_; }
  // Record n as the file holds it now, past the windows.
  std::string rereadRecord(std::int64_t n);
  // Records [first, end) as the file holds them now, into `out`.
  void rereadRecords(std::int64_t first, std::int64_t end, char* out);

  // Writes record n and forces it to the disk.
  void writeRecord(std::int64_t n, std::string_view bytes);
  // Whole records from record `first` on, in one write, not yet forced to
  // the disk: a pass calls sync() once at its end.
  void writeRecords(std::int64_t first, std::string_view bytes);
  // Marks record n deleted and forces the mark to the disk.
  void markDeleted(std::int64_t n);
  // Appends a record at the end of the file as it is now (other processes
  // may have appended since the last refresh) and returns its number. The
  // record reaches the disk before the count that covers it, and both before
  // this returns. On a failed write the count stays as it was.
  std::int64_t appendRecord(std::string_view bytes);
  // Forces what was written to the disk. Errors: "Cannot write to %s: %s".
  void sync();
  // Between these, syncs wait for the end of the batch, where one sync
  // covers them all: a bulk fill of many rows that is confirmed as a whole.
  void beginSyncBatch() { ++syncBatches_; }
  void endSyncBatch();

  // The row lock of record n; false while another user holds it. One row
  // lock at a time.
  bool tryLockRow(std::int64_t n);
  void unlockRow(std::int64_t n) noexcept;
  // The row lock of record n, waiting up to `limit` while another holds it.
  bool lockRowWaiting(std::int64_t n, std::chrono::milliseconds limit);
  // The numbering lock, waited for (bounded; then the busy refusal), and
  // let go.
  void lockNumbering();
  void unlockNumbering() noexcept;
  // The row locks of records [first, end) in one call: all of them, or none
  // when another user holds any. Held instead of a single row lock.
  bool tryLockRows(std::int64_t first, std::int64_t end);
  void unlockRows(std::int64_t first, std::int64_t end) noexcept;

  // Removes every record; needs exclusive access.
  void empty();

  // What opening had to repair after a crash ("" if nothing), for the status
  // line; reading it clears it.
  std::string takeRepairNotice();
  // What opening found damaged and repaired, keeping the file as found
  // beside it ("" if nothing): the user must read this one, in a message box
  // or on standard error. Reading it clears it.
  std::string takeDamageNotice();

  static void create(const std::filesystem::path& path, const std::vector<FieldDef>& fields);

 private:
  struct Window {
    std::int64_t first = 0;
    std::int64_t end = 0;  // records [first, end)
    const char* records = nullptr;  // where record `first` starts
    const char* view = nullptr;     // the mapping, when mapped
    std::size_t viewLength = 0;
    std::vector<char> copy;         // the bytes read, when not mapped
  };

  class PageToucher;
  struct Opened {
    std::unique_ptr<File> file;
    std::string whyNot;     // why it could not be opened
    int readOnlyReason = 0;  // why it is open for reading only
  };
  static Opened openCurrentFile(const std::filesystem::path& path, TableAccess access);
  Table(std::filesystem::path path, TableAccess access, Opened opened);
  void checkWritable() const;
  void init(const ReplacementFile::FileMaker& makeCopy);

  const char* loadRecord(std::int64_t n);
  std::int64_t windowRecords() const;
  void fillWindow(Window& w, std::int64_t first, std::int64_t end);
  void prepareAhead(std::int64_t first);
  void release(Window& w) noexcept;
  // What the file holds after the header, against the header's count.
  struct Extent {
    std::int64_t complete = 0;   // whole records present
    std::int64_t uncounted = 0;  // whole records after the counted ones that a crash left uncounted
  };
  Extent readHeaderAndExtent();
  void repairCount();
  void repairOvercount(const ReplacementFile::FileMaker& makeCopy);
  std::filesystem::path keepDamagedCopy(const ReplacementFile::FileMaker& makeCopy);
  dbf::Header readFileHeader();
  long long fileSize();
  void readExactly(char* buffer, std::size_t count, long long offset);
  void writeAll(const char* data, std::size_t count, long long offset);
  void restoreEnd(long long endOffset) noexcept;
  void touchDate();
  void keepAutoIncrementsAhead(char* records, std::size_t count, bool numberEmpty);
  void patchWindows(std::int64_t n, std::size_t at, std::string_view bytes);
  void checkRange(std::int64_t first, std::int64_t end) const;
  long long recordOffset(std::int64_t n) const {
    return static_cast<long long>(header_.headerLength) + n * static_cast<long long>(recordLength_);
  }

  std::filesystem::path path_;
  std::string shownPath_;
  TableAccess access_;
  int readOnlyReason_ = 0;
  bool damageNoticeGiven_ = false;  // opened for reading over a damaged count
  std::unique_ptr<File> file_;
  dbf::Header header_;
  bool autoIncrements_ = false;  // the table has a field of type '+'
  int recordLength_ = 0;
  std::int64_t count_ = 0;
  text::Date headerDate_;
  bool mapping_ = true;  // until a map fails
  Window windows_[2];
  int recent_ = 0;
  // While a ReadAhead lives: the window after the one being read, and the
  // thread that faults its pages in.
  Window ahead_;
  std::unique_ptr<PageToucher> toucher_;
  std::uint64_t generation_ = 0;
  // The row locks held: records [lockedFirst_, lockedEnd_).
  std::int64_t lockedFirst_ = 0;
  std::int64_t lockedEnd_ = 0;
  int syncBatches_ = 0;
  bool unsynced_ = false;
  std::string appendBuffer_;
  std::string repairNotice_;
  std::string damageNotice_;
};

}  // namespace ledger
