#include "ledger/table.h"

#include <sys/stat.h>

#include <algorithm>
#include <atomic>
#include <cassert>

#include <cerrno>
#include <condition_variable>
#include <ctime>
#include <mutex>
#include <stdexcept>
#include <system_error>
#include <thread>
#include <utility>

#include "ledger/dataset.h"
#include "ledger/errors.h"
#include "ledger/field_codec.h"
#include "ledger/locks.h"
#include "ledger/replace_file.h"
#include "text/cp1250.h"
#include "text/error.h"

namespace ledger {

namespace {

// Read windows. A mapped window costs no copy: a walk that reads one column
// touches one cache line a record instead of moving every byte through a
// buffer. Where a file cannot be mapped, a copy small enough to stay in the
// processor's cache while it is decoded.
constexpr std::size_t kMappedWindowBytes = 8 << 20;
constexpr std::size_t kCopiedWindowBytes = 64 << 10;
// A crash leaves at most one uncounted record per writer; looking further
// would only mistake trailing bytes of other tools for records.
constexpr std::int64_t kMaxUncountedRecords = 64;

std::string number(std::int64_t n) { return std::to_string(n); }

[[noreturn]] void damaged(const std::string& shownPath, std::string_view what) {
  throw mincar::Error(shownPath + ": " + std::string(what));
}

// In readOnlyReason_: opened for reading only because the caller asked.
constexpr int kAskedForReading = -100;

bool mayOnlyRead(int error) { return error == EACCES || error == EROFS || error == EPERM; }

// The reason a name did not open, a link that leads nowhere named as such.
std::string openFailure(const std::filesystem::path& path, int error) {
  struct stat st {};
  if (error == ENOENT && ::lstat(path.c_str(), &st) == 0 && S_ISLNK(st.st_mode)) {
    return "it is a link to a file that does not exist";
  }
  return systemMessage(error);
}

// A restore renames a new file over the table. Opened just before the rename
// and locked just after the restore let go, our file would be the old one,
// already unlinked, and every row written to it lost: so once the open lock
// is ours the name must still lead to the file we hold, or we open again.
}  // namespace

Table::Opened Table::openCurrentFile(const std::filesystem::path& path, TableAccess access) {
  const LockMode mode = access == TableAccess::Exclusive ? LockMode::Exclusive : LockMode::Shared;
  for (int attempt = 0;; ++attempt) {
    Opened opened;
    int error = 0;
    if (access == TableAccess::ReadOnly) {
      opened.file = openPosixFileForReading(path, error);
      opened.readOnlyReason = kAskedForReading;
    } else {
      opened.file = openPosixFile(path, error);
      // A read-only mount, a file without write rights or another user's
      // file: readable still, for everything that only reads.
      if (!opened.file && access == TableAccess::Shared && mayOnlyRead(error)) {
        const int why = error;
        opened.file = openPosixFileForReading(path, error);
        opened.readOnlyReason = why;
      }
    }
    if (!opened.file) {
      opened.whyNot = openFailure(path, error);
      return opened;
    }
    // A refused lock is reported by the constructor, which tries it again.
    if (opened.file->lock(lock_layout::kOpenLock, 1, mode) != 0) return opened;
    if (opened.file->isNamedBy(path) || attempt == 20) return opened;
  }
}

namespace {

// Where the file as found goes before a damaged count is repaired:
// "peden.dbf.damaged-20261208-112233" beside it, "-2", "-3" ... after the
// stamp when that is taken, so that no earlier copy is ever replaced.
std::filesystem::path damagedCopyName(const std::filesystem::path& table) {
  const std::time_t now = std::time(nullptr);
  std::tm local{};
  localtime_r(&now, &local);
  char stamp[32] = {};
  std::strftime(stamp, sizeof stamp, "%Y%m%d-%H%M%S", &local);
  const std::string base = table.filename().string() + ".damaged-" + stamp;
  std::filesystem::path name = table.parent_path() / base;
  // Ends: the folder holds finitely many names.
  for (int n = 2;; ++n) {
    struct stat st {};
    // lstat: a planted link takes the name too. Any other failure is left
    // to the copy, which reports it.
    if (::lstat(name.c_str(), &st) != 0) return name;
    name = table.parent_path() / (base + "-" + std::to_string(n));
  }
}

}  // namespace

// Faults in the pages of one mapped window after another on a thread of its
// own, so that a reader that gets to the window finds its pages mapped
// instead of stopping at every 64 KiB for the kernel. It only ever reads the
// window it was given, and stop() returns only once it has let go of it, so
// that the window can be unmapped safely.
class Table::PageToucher {
 public:
  explicit PageToucher(std::size_t pageSize) : pageSize_(std::max<std::size_t>(1, pageSize)) {
    thread_ = std::thread([this] { run(); });
  }
  ~PageToucher() {
    {
      std::lock_guard<std::mutex> lock(mutex_);
      quit_ = true;
      abandon_ = true;
    }
    wake_.notify_all();
    thread_.join();
  }
  PageToucher(const PageToucher&) = delete;
  PageToucher& operator=(const PageToucher&) = delete;

  // Starts on a window; the previous one must have been stopped.
  void touch(const char* view, std::size_t length) {
    std::lock_guard<std::mutex> lock(mutex_);
    view_ = view;
    length_ = length;
    busy_ = true;
    abandon_ = false;
    wake_.notify_all();
  }

  // Returns once the thread touches no window: it drops its window at the
  // next page.
  void stop() noexcept {
    abandon_ = true;
    std::unique_lock<std::mutex> lock(mutex_);
    idle_.wait(lock, [this] { return !busy_; });
  }

 private:
  void run() noexcept {
    std::unique_lock<std::mutex> lock(mutex_);
    for (;;) {
      wake_.wait(lock, [this] { return busy_ || quit_; });
      if (quit_) return;
      const volatile char* view = view_;
      const std::size_t length = length_;
      lock.unlock();
      char sink = 0;
      for (std::size_t at = 0; at < length && !abandon_.load(std::memory_order_relaxed); at += pageSize_) {
        sink = static_cast<char>(sink ^ view[at]);
      }
      static_cast<void>(sink);
      lock.lock();
      busy_ = false;
      idle_.notify_all();
    }
  }

  const std::size_t pageSize_;
  std::mutex mutex_;
  std::condition_variable wake_;
  std::condition_variable idle_;
  const char* view_ = nullptr;
  std::size_t length_ = 0;
  bool busy_ = false;
  bool quit_ = false;
  std::atomic<bool> abandon_{false};
  std::thread thread_;
};

Table::Table(std::filesystem::path path, TableAccess access)
    : Table(path, access, openCurrentFile(path, access)) {}

Table::Table(std::filesystem::path path, TableAccess access, Opened opened)
    : path_(std::move(path)),
      shownPath_(text::pathText(path_)),
      access_(access),
      readOnlyReason_(opened.readOnlyReason),
      file_(std::move(opened.file)) {
  if (!file_) throw mincar::Error(mincar::fill(messages::kCannotOpenFileBecause, {shownPath_, opened.whyNot}));
  init(createPosixFile);
}

Table::Table(std::filesystem::path path, TableAccess access, std::unique_ptr<File> file,
             ReplacementFile::FileMaker makeCopy)
    : path_(std::move(path)),
      shownPath_(text::pathText(path_)),
      access_(access),
      readOnlyReason_(access == TableAccess::ReadOnly ? kAskedForReading : 0),
      file_(std::move(file)) {
  if (!file_) throw mincar::Error(mincar::fill(messages::kCannotOpenFile, {shownPath_}));
  init(makeCopy);
}

void Table::init(const ReplacementFile::FileMaker& makeCopy) {
  const LockMode openMode = access_ == TableAccess::Exclusive ? LockMode::Exclusive : LockMode::Shared;
  if (!tryLock(*file_, lock_layout::kOpenLock, openMode, shownPath_)) {
    throw TableBusyError(shownPath_);
  }
  Extent extent;
  {
    // An append in progress holds the header lock: waiting for it means we
    // never take its record, already written, for a crash's leftover.
    HeaderLock lock(*file_, LockMode::Shared, shownPath_);
    extent = readHeaderAndExtent();
  }
  if (!writable()) {
    // Shown as the file holds them; the repair waits for a copy that opens
    // the table for writing.
    if (count_ > extent.complete) {
      damageNotice_ = mincar::fill(messages::kOvercountShown,
                                   {shownPath_, number(count_), number(extent.complete)});
      damageNoticeGiven_ = true;
      count_ = extent.complete;
    }
  } else if (count_ > extent.complete) {
    repairOvercount(makeCopy);
  } else if (extent.uncounted > 0) {
    repairCount();
  }
}

void Table::checkWritable() const {
  if (writable()) return;
  const std::string reason =
      readOnlyReason_ == kAskedForReading ? "the table is open for reading only" : systemMessage(readOnlyReason_);
  throw mincar::Error(mincar::fill(messages::kCannotWrite, {shownPath_, reason}));
}

Table::~Table() {
  toucher_.reset();
  for (Window& w : windows_) release(w);
  release(ahead_);
  // Closing the file (file_'s destructor) drops every lock it holds.
}

dbf::Header Table::readFileHeader() {
  char bytes[dbf::XBASE_FILEHDR_SZ];
  IoResult r = file_->pread(bytes, sizeof bytes, 0);
  if (r.error) throw mincar::Error(mincar::fill(messages::kCannotRead, {shownPath_, systemMessage(r.error)}));
  return dbf::parseFileHeader(std::string_view(bytes, static_cast<std::size_t>(r.bytes)), shownPath_);
}

long long Table::fileSize() {
  IoResult r = file_->size();
  if (r.error) throw mincar::Error(mincar::fill(messages::kCannotRead, {shownPath_, systemMessage(r.error)}));
  return r.bytes;
}

void Table::readExactly(char* buffer, std::size_t count, long long offset) {
  std::size_t done = 0;
  while (done < count) {
    IoResult r = file_->pread(buffer + done, count - done, offset + static_cast<long long>(done));
    if (r.error) throw mincar::Error(mincar::fill(messages::kCannotRead, {shownPath_, systemMessage(r.error)}));
    if (r.bytes == 0) damaged(shownPath_, messages::kFileCut);
    done += static_cast<std::size_t>(r.bytes);
  }
}

void Table::writeAll(const char* data, std::size_t count, long long offset) {
  writeFully(*file_, data, count, offset, shownPath_);
}

void Table::endSyncBatch() {
  if (syncBatches_ > 0 && --syncBatches_ == 0 && unsynced_) sync();
}

void Table::sync() {
  if (syncBatches_ > 0) {
    unsynced_ = true;
    return;
  }
  unsynced_ = false;
  if (const int error = file_->sync()) {
    throw mincar::Error(mincar::fill(messages::kCannotWrite, {shownPath_, systemMessage(error)}));
  }
}

Table::Extent Table::readHeaderAndExtent() {
  // The fixed part tells how long the whole header is.
  const dbf::Header fixed = readFileHeader();
  std::string bytes(static_cast<std::size_t>(fixed.headerLength), '\0');
  std::size_t got = 0;
  while (got < bytes.size()) {
    const IoResult r = file_->pread(bytes.data() + got, bytes.size() - got, static_cast<long long>(got));
    if (r.error) throw mincar::Error(mincar::fill(messages::kCannotRead, {shownPath_, systemMessage(r.error)}));
    if (r.bytes == 0) break;
    got += static_cast<std::size_t>(r.bytes);
  }
  header_ = dbf::parseHeader(std::string_view(bytes.data(), got), shownPath_);
  autoIncrements_ = std::any_of(header_.fields.begin(), header_.fields.end(),
                                [](const FieldDef& f) { return f.type == FieldType::AutoIncrement; });
  recordLength_ = header_.recordLength;
  count_ = header_.recordCount;
  headerDate_ = header_.lastUpdate;

  const long long size = fileSize();
  const long long dataSize = std::max(0LL, size - header_.headerLength);
  Extent extent;
  // A partial record at the end (a write cut short) is no record.
  extent.complete = dataSize / recordLength_;
  if (count_ > extent.complete) return extent;  // damage: the caller repairs it
  const long long countedEnd = recordOffset(count_);
  if (size > countedEnd) {
    const long long tailLength = std::min<long long>(size - countedEnd, kMaxUncountedRecords * recordLength_);
    std::string tail(static_cast<std::size_t>(tailLength), '\0');
    readExactly(tail.data(), tail.size(), countedEnd);
    extent.uncounted = dbf::countUncountedRecords(tail, recordLength_);
    extent.uncounted = std::min(extent.uncounted, dbf::kMaxRecordCount - count_);
  }
  return extent;
}

void Table::repairCount() {
  HeaderLock lock(*file_, LockMode::Exclusive, shownPath_);
  // Another process may have repaired or appended since we looked.
  const Extent extent = readHeaderAndExtent();
  if (extent.uncounted == 0 || count_ > extent.complete) return;
  const std::int64_t before = count_;
  const std::int64_t after = count_ + extent.uncounted;
  const text::Date today = text::Date::today();
  const std::string bytes = dbf::encodeDateAndCount(today, after);
  writeAll(bytes.data(), bytes.size(), static_cast<long long>(dbf::OFFSET_DATE));
  count_ = after;
  headerDate_ = today;
  repairNotice_ = mincar::fill(messages::kCountRepaired, {shownPath_, number(before), number(after)});
}

// A header that counts more records than the file holds was damaged
// elsewhere (a power cut on an older version, a copy cut short, another
// program). Refusing it would lock the user out of their own cash book, and
// the missing rows are not in the file anyway: so the file as found is kept
// beside it first, and only then the count is lowered to the records there.
void Table::repairOvercount(const ReplacementFile::FileMaker& makeCopy) {
  HeaderLock lock(*file_, LockMode::Exclusive, shownPath_);
  // Another copy of the program may have repaired it since we looked.
  const Extent extent = readHeaderAndExtent();
  if (count_ <= extent.complete) return;
  const std::int64_t promised = count_;
  const std::int64_t present = extent.complete;
  std::filesystem::path copy;
  try {
    copy = keepDamagedCopy(makeCopy);
  } catch (const mincar::Error& e) {
    // Without the copy nothing is changed: the rows beyond might yet be
    // recovered from the file by hand.
    throw mincar::Error(
        mincar::fill(messages::kOvercountNotCopied, {shownPath_, number(promised), number(present), e.what()}));
  }
  // End mark first, count next, cut last (as empty() does): a crash between
  // them leaves a count that the next open accepts as it is.
  const long long end = recordOffset(present);
  const char eof = dbf::END_OF_FILE_CHARACTER;
  writeAll(&eof, 1, end);
  const text::Date today = text::Date::today();
  const std::string dateAndCount = dbf::encodeDateAndCount(today, present);
  writeAll(dateAndCount.data(), dateAndCount.size(), static_cast<long long>(dbf::OFFSET_DATE));
  count_ = present;
  headerDate_ = today;
  if (const int error = file_->truncate(end + 1)) {
    throw mincar::Error(mincar::fill(messages::kCannotWrite, {shownPath_, systemMessage(error)}));
  }
  if (const int error = file_->sync()) {
    throw mincar::Error(mincar::fill(messages::kCannotWrite, {shownPath_, systemMessage(error)}));
  }
  damageNotice_ = mincar::fill(messages::kOvercountRepaired,
                               {shownPath_, number(promised), number(present), text::pathText(copy)});
}

// The whole file, byte for byte, under a new name beside it; called under
// the exclusive header lock, so no append changes it meanwhile.
std::filesystem::path Table::keepDamagedCopy(const ReplacementFile::FileMaker& makeCopy) {
  constexpr std::size_t kChunkBytes = 1 << 20;
  ReplacementFile out(damagedCopyName(path_), ReplaceTexts{messages::kCannotCreate, messages::kCannotWrite},
                      makeCopy);
  const long long size = fileSize();
  std::string chunk;
  for (long long at = 0; at < size;) {
    const std::size_t length = static_cast<std::size_t>(std::min<long long>(size - at, kChunkBytes));
    chunk.resize(length);
    readExactly(chunk.data(), length, at);
    out.write(chunk);
    at += static_cast<long long>(length);
  }
  out.commit();
  return out.target();
}

std::string Table::takeRepairNotice() { return std::exchange(repairNotice_, std::string()); }

std::string Table::takeDamageNotice() { return std::exchange(damageNotice_, std::string()); }

std::int64_t Table::refreshCount() {
  dbf::Header h;
  long long size = 0;
  {
    HeaderLock lock(*file_, LockMode::Shared, shownPath_);
    h = readFileHeader();
    size = fileSize();
  }
  if (h.headerLength != header_.headerLength || h.recordLength != recordLength_) {
    damaged(shownPath_, messages::kLayoutChanged);
  }
  const std::int64_t present = std::max(0LL, size - header_.headerLength) / recordLength_;
  // Opened for reading over a damaged count: the whole records are shown,
  // as at opening, which told the user.
  if (!writable() && h.recordCount > present && damageNoticeGiven_) h.recordCount = present;
  if (h.recordCount > present) {
    // Only damage from elsewhere gets here: cooperating processes write the
    // record before the count and cut only under exclusive access. No repair
    // while open: our cursor, a row lock or a pending edit may stand on the
    // rows that are gone, and the copy would no longer show the file as the
    // damage left it once we had read on. At open nothing depends on the
    // count yet, so the next open repairs it and keeps the file as found.
    throw mincar::Error(mincar::fill(messages::kOvercountWhileOpen,
                                     {shownPath_, number(h.recordCount), number(present)}));
  }
  if (h.recordCount < count_) forgetWindows();  // rows went: another program emptied the table
  count_ = h.recordCount;
  headerDate_ = h.lastUpdate;
  return count_;
}

void Table::release(Window& w) noexcept {
  if (w.view != nullptr) file_->unmap(w.view, w.viewLength);
  w.view = nullptr;
  w.viewLength = 0;
  w.records = nullptr;
  w.first = w.end = 0;
}

void Table::forgetWindows() {
  ++generation_;
  if (toucher_) toucher_->stop();
  for (Window& w : windows_) release(w);
  release(ahead_);
}

std::int64_t Table::windowRecords() const {
  const std::size_t windowBytes = mapping_ ? kMappedWindowBytes : kCopiedWindowBytes;
  return std::max<std::int64_t>(1, static_cast<std::int64_t>(windowBytes) / recordLength_);
}

const char* Table::loadRecord(std::int64_t n) {
  if (n < 0 || n >= count_) throw std::out_of_range("record number beyond the table's count");
  const int other = 1 - recent_;
  Window& o = windows_[other];
  if (n >= o.first && n < o.end) {
    recent_ = other;
    return o.records + static_cast<std::size_t>(n - o.first) * static_cast<std::size_t>(recordLength_);
  }
  ++generation_;
  // When the reader has caught up with the helper, it faults the rest in
  // itself rather than wait.
  if (toucher_) toucher_->stop();
  release(o);
  if (ahead_.end > ahead_.first && n >= ahead_.first && n < ahead_.end) {
    // The window a read-ahead prepared; the one after it is prepared next.
    std::swap(o, ahead_);
    recent_ = other;
    prepareAhead(o.end);
    return o.records + static_cast<std::size_t>(n - o.first) * static_cast<std::size_t>(recordLength_);
  }
  // A walk backwards gets a window that ends at n, so that prior() reads
  // once per window too.
  const std::int64_t records = windowRecords();
  const Window& current = windows_[recent_];
  const bool backwards = current.end > current.first && n < current.first;
  const std::int64_t first = backwards ? std::max<std::int64_t>(0, n - records + 1) : n;
  fillWindow(o, first, std::min(count_, first + records));
  recent_ = other;
  if (toucher_) prepareAhead(o.end);
  return o.records + static_cast<std::size_t>(n - first) * static_cast<std::size_t>(recordLength_);
}

// Only while a ReadAhead lives.
void Table::prepareAhead(std::int64_t first) {
  toucher_->stop();
  if (ahead_.first != first || ahead_.end <= ahead_.first) {
    release(ahead_);
    if (!mapping_ || first >= count_) return;
    try {
      fillWindow(ahead_, first, std::min(count_, first + windowRecords()));
    } catch (...) {
      // Reading ahead is a favour: whatever is wrong there, the reader meets
      // it when it gets there itself.
      release(ahead_);
      return;
    }
  }
  if (ahead_.view != nullptr) toucher_->touch(ahead_.view, ahead_.viewLength);
}

void Table::fillWindow(Window& o, std::int64_t first, std::int64_t end) {
  const long long begin = recordOffset(first);
  const long long stop = recordOffset(end);
  if (mapping_) {
    // Only bytes that the file holds now may be mapped: touching a mapped
    // page beyond its end kills the process. Cooperating processes never cut
    // counted records (emptying needs exclusive access); this catches
    // another program that did.
    if (fileSize() < stop) damaged(shownPath_, messages::kFileCut);
    const long long alignment = static_cast<long long>(file_->mapAlignment());
    const long long start = begin - begin % alignment;
    const std::size_t length = static_cast<std::size_t>(stop - start);
    if (const char* view = file_->map(start, length)) {
      o.view = view;
      o.viewLength = length;
      o.records = view + (begin - start);
    } else {
      mapping_ = false;
    }
  }
  if (o.view == nullptr) {
    const std::size_t length = static_cast<std::size_t>(stop - begin);
    if (o.copy.size() < length) o.copy.resize(length);
    readExactly(o.copy.data(), length, begin);
    o.records = o.copy.data();
  }
  o.first = first;
  o.end = end;
}

Table::ReadAhead::ReadAhead(Table& table) {
  // Only a table larger than a window gains; only mapped windows have
  // pages to fault in.
  if (!table.mapping_ || table.toucher_ || table.count_ <= table.windowRecords()) return;
  try {
    table.toucher_ = std::make_unique<PageToucher>(table.file_->mapAlignment());
  } catch (const std::system_error&) {
    return;  // no thread to be had: the reader faults the pages in itself
  }
  table_ = &table;
}

Table::ReadAhead::~ReadAhead() {
  if (table_ == nullptr) return;
  table_->toucher_.reset();  // stops and joins the thread
  table_->release(table_->ahead_);
}

// `bytes` were written at byte `at` of record n and may reach into the
// records after it.
void Table::patchWindows(std::int64_t n, std::size_t at, std::string_view bytes) {
  ++generation_;
  const long long length = recordLength_;
  const long long begin = n * length + static_cast<long long>(at);
  const long long end = begin + static_cast<long long>(bytes.size());
  for (Window* window : {&windows_[0], &windows_[1], &ahead_}) {
    Window& w = *window;
    // A mapped view shows the write already.
    if (w.view != nullptr || w.end <= w.first) continue;
    const long long from = std::max(begin, w.first * length);
    const long long to = std::min(end, w.end * length);
    if (from >= to) continue;
    std::copy(bytes.begin() + (from - begin), bytes.begin() + (to - begin),
              w.copy.begin() + static_cast<std::ptrdiff_t>(from - w.first * length));
  }
}

void Table::checkRange(std::int64_t first, std::int64_t end) const {
  if (first < 0 || end > count_ || first > end) throw std::out_of_range("record number beyond the table's count");
}

std::string Table::rereadRecord(std::int64_t n) {
  if (n < 0 || n >= count_) throw std::out_of_range("record number beyond the table's count");
  std::string bytes(static_cast<std::size_t>(recordLength_), '\0');
  rereadRecords(n, n + 1, bytes.data());
  return bytes;
}

void Table::rereadRecords(std::int64_t first, std::int64_t end, char* out) {
  checkRange(first, end);
  const std::size_t length = static_cast<std::size_t>(end - first) * static_cast<std::size_t>(recordLength_);
  readExactly(out, length, recordOffset(first));
  patchWindows(first, 0, std::string_view(out, length));
}

void Table::touchDate() {
  // The last-update date, when the header does not show today yet: once a
  // day, so the header lock costs nothing here. Only its three bytes, never
  // the count beside them.
  const text::Date today = text::Date::today();
  if (today == headerDate_) return;
  HeaderLock lock(*file_, LockMode::Exclusive, shownPath_);
  const std::string bytes = dbf::encodeDate(today);
  writeAll(bytes.data(), bytes.size(), static_cast<long long>(dbf::OFFSET_DATE));
  headerDate_ = today;
}

// Under the exclusive header lock. A field of type '+' takes its next value
// from its descriptor when `numberEmpty` and it is empty; the descriptor is
// kept ahead of every value stored, so that a number once given is never
// given again. Only empty fields are written into, and only when
// `numberEmpty`.
void Table::keepAutoIncrementsAhead(char* records, std::size_t count, bool numberEmpty) {
  constexpr std::int64_t kLargest = 2147483647;
  const std::size_t length = static_cast<std::size_t>(recordLength_);
  for (std::size_t i = 0; i < header_.fields.size(); ++i) {
    const FieldDef& f = header_.fields[i];
    if (f.type != FieldType::AutoIncrement) continue;
    const long long at = static_cast<long long>(dbf::nextAutoIncrementAt(header_, i));
    // As the file has it now: another process may have numbered rows.
    char stored[4];
    readExactly(stored, sizeof stored, at);
    const std::int64_t found = dbf::decodeAutoIncrement(std::string_view(stored, sizeof stored));
    std::int64_t next = std::max<std::int64_t>(found, 1);
    for (std::size_t r = 0; r < count; ++r) {
      char* field = records + r * length + 1 + static_cast<std::size_t>(header_.offsets[i]);
      std::int64_t value = 0;
      if (!codec::decodeInteger(field, value)) {
        if (!numberEmpty) continue;
        if (next > kLargest) {
          throw mincar::Error(mincar::fill(messages::kAutoIncrementExhausted,
                                           {shownPath_, f.name, number(next)}));
        }
        codec::encodeInteger(static_cast<std::int32_t>(next), field);
        value = next;
      }
      next = std::max(next, value + 1);
    }
    if (next != found) {
      const std::string bytes = dbf::encodeAutoIncrement(next);
      writeAll(bytes.data(), bytes.size(), at);
    }
  }
}

void Table::writeRecord(std::int64_t n, std::string_view bytes) {
  assert(bytes.size() == static_cast<std::size_t>(recordLength_));
  if (n < 0 || n >= count_) throw std::out_of_range("record number beyond the table's count");
  writeRecords(n, bytes);
  sync();
}

void Table::writeRecords(std::int64_t first, std::string_view bytes) {
  checkWritable();
  assert(bytes.size() % static_cast<std::size_t>(recordLength_) == 0);
  const auto records = static_cast<std::int64_t>(bytes.size() / static_cast<std::size_t>(recordLength_));
  checkRange(first, first + records);
  if (records == 0) return;
  if (autoIncrements_) {
    HeaderLock lock(*file_, LockMode::Exclusive, shownPath_);
    // Nothing is written into the records: numberEmpty is false.
    keepAutoIncrementsAhead(const_cast<char*>(bytes.data()), static_cast<std::size_t>(records), false);
  }
  writeAll(bytes.data(), bytes.size(), recordOffset(first));
  patchWindows(first, 0, bytes);
  touchDate();
}

void Table::markDeleted(std::int64_t n) {
  checkWritable();
  if (n < 0 || n >= count_) throw std::out_of_range("record number beyond the table's count");
  const char flag = dbf::RECORD_DELETED;
  writeAll(&flag, 1, recordOffset(n));
  patchWindows(n, 0, std::string_view(&flag, 1));
  touchDate();
  sync();
}

void Table::restoreEnd(long long endOffset) noexcept {
  // After a failed append the slot may hold part of a record: put the end
  // mark back where the counted records end and drop the rest. Best effort;
  // the count was never raised, so the row does not count either way.
  const char eof = dbf::END_OF_FILE_CHARACTER;
  file_->pwrite(&eof, 1, endOffset);
  file_->truncate(endOffset + 1);
}

std::int64_t Table::appendRecord(std::string_view bytes) {
  checkWritable();
  assert(bytes.size() == static_cast<std::size_t>(recordLength_));
  HeaderLock lock(*file_, LockMode::Exclusive, shownPath_);
  // 1. The count as the file has it now: other processes may have appended.
  const dbf::Header h = readFileHeader();
  if (h.headerLength != header_.headerLength || h.recordLength != recordLength_) {
    damaged(shownPath_, messages::kLayoutChanged);
  }
  const std::int64_t n = h.recordCount;
  if (n >= dbf::kMaxRecordCount) damaged(shownPath_, messages::kTableFull);
  const long long slot = recordOffset(n);
  if (fileSize() < slot) {
    damaged(shownPath_, mincar::fill(messages::kCountBeyondFile, {number(n)}));
  }
  // 2. The record and the end mark after it. An autoincrement field's
  // descriptor goes ahead first: a crash after it skips a number, never
  // gives one twice.
  appendBuffer_.assign(bytes);
  if (autoIncrements_) keepAutoIncrementsAhead(appendBuffer_.data(), 1, true);
  appendBuffer_ += dbf::END_OF_FILE_CHARACTER;
  const text::Date today = text::Date::today();
  const std::string dateAndCount = dbf::encodeDateAndCount(today, n + 1);
  try {
    writeAll(appendBuffer_.data(), appendBuffer_.size(), slot);
    // 3. On the disk before the count that covers it: otherwise a power cut
    // could keep the count and lose the record, and the table would not open.
    sync();
  } catch (...) {
    restoreEnd(slot);
    throw;
  }
  // 4. Only now the count: a crash before this line leaves a whole record
  // that the next open counts, never a counted record that is not there.
  const std::string oldDateAndCount = dbf::encodeDateAndCount(h.lastUpdate, n);
  try {
    writeAll(dateAndCount.data(), dateAndCount.size(), static_cast<long long>(dbf::OFFSET_DATE));
  } catch (...) {
    file_->pwrite(oldDateAndCount.data(), oldDateAndCount.size(), static_cast<long long>(dbf::OFFSET_DATE));
    restoreEnd(slot);
    throw;
  }
  count_ = n + 1;
  headerDate_ = today;
  // 5. The row is reported stored only once the count is on the disk too.
  sync();
  return n;
}

bool Table::tryLockRow(std::int64_t n) { return tryLockRows(n, n + 1); }

void Table::unlockRow(std::int64_t n) noexcept { unlockRows(n, n + 1); }

bool Table::lockRowWaiting(std::int64_t n, std::chrono::milliseconds limit) {
  const auto deadline = std::chrono::steady_clock::now() + limit;
  while (!tryLockRow(n)) {
    if (std::chrono::steady_clock::now() >= deadline) return false;
    std::this_thread::sleep_for(std::chrono::milliseconds(2));
  }
  return true;
}

void Table::lockNumbering() {
  checkWritable();
  waitLock(*file_, lock_layout::kNumberingLock, LockMode::Exclusive, shownPath_, kNumberingLockWait);
}

void Table::unlockNumbering() noexcept { unlock(*file_, lock_layout::kNumberingLock); }

bool Table::tryLockRows(std::int64_t first, std::int64_t end) {
  // A row is locked to be changed: refused with the reason, not with the
  // lock's failure on a descriptor that cannot write.
  checkWritable();
  assert(lockedFirst_ == lockedEnd_ && "one row lock (or block of them) at a time");
  assert(first < end);
  if (!tryLockRange(*file_, lock_layout::rowLock(first), end - first, LockMode::Exclusive, shownPath_)) {
    return false;
  }
  lockedFirst_ = first;
  lockedEnd_ = end;
  return true;
}

void Table::unlockRows(std::int64_t first, std::int64_t end) noexcept {
  assert(lockedFirst_ == first && lockedEnd_ == end);
  unlockRange(*file_, lock_layout::rowLock(first), end - first);
  lockedFirst_ = lockedEnd_ = 0;
}

void Table::empty() {
  checkWritable();
  if (access_ != TableAccess::Exclusive) throw std::logic_error("emptying needs exclusive access");
  HeaderLock lock(*file_, LockMode::Exclusive, shownPath_);
  // End mark first, count next, cut last: a crash at any point leaves a
  // table whose count the next open accepts (never one it would "repair"
  // back to the old rows).
  const long long dataStart = header_.headerLength;
  const char eof = dbf::END_OF_FILE_CHARACTER;
  writeAll(&eof, 1, dataStart);
  const text::Date today = text::Date::today();
  const std::string dateAndCount = dbf::encodeDateAndCount(today, 0);
  writeAll(dateAndCount.data(), dateAndCount.size(), static_cast<long long>(dbf::OFFSET_DATE));
  count_ = 0;
  headerDate_ = today;
  forgetWindows();
  if (int error = file_->truncate(dataStart + 1)) {
    throw mincar::Error(mincar::fill(messages::kCannotWrite, {shownPath_, systemMessage(error)}));
  }
  if (int error = file_->sync()) {
    throw mincar::Error(mincar::fill(messages::kCannotWrite, {shownPath_, systemMessage(error)}));
  }
}

void Table::create(const std::filesystem::path& path, const std::vector<FieldDef>& fields) {
  const std::string shown = text::pathText(path);
  dbf::checkNewFields(fields, shown);
  int error = 0;
  std::unique_ptr<File> file = createPosixFile(path, error);
  if (!file) {
    if (error == EEXIST) throw mincar::Error(mincar::fill(messages::kCannotCreateExists, {shown}));
    throw mincar::Error(mincar::fill(messages::kCannotCreate, {shown, systemMessage(error)}));
  }
  // The others in a group-shared folder must be able to open it.
  shareWithFolderGroup(*file, path);
  std::string bytes = dbf::encodeHeader(fields, text::Date::today());
  bytes += dbf::END_OF_FILE_CHARACTER;
  // A table that could not be written whole is no table: it goes again.
  try {
    writeFully(*file, bytes.data(), bytes.size(), 0, shown);
    if (const int why = file->sync()) {
      throw mincar::Error(mincar::fill(messages::kCannotWrite, {shown, systemMessage(why)}));
    }
  } catch (const mincar::Error&) {
    file.reset();
    std::error_code ignored;
    std::filesystem::remove(path, ignored);
    throw;
  }
}

void createTable(const std::filesystem::path& path, const std::vector<FieldDef>& fields) {
  Table::create(path, fields);
}

}  // namespace ledger
