#include "ledger/table_rewrite.h"

#include <fcntl.h>
#include <unistd.h>

#include <cassert>
#include <cerrno>
#include <system_error>
#include <utility>

#include "text/cp1250.h"
#include "text/error.h"

namespace ledger {

namespace fs = std::filesystem;

namespace {

// Large enough that the writes cost nothing per record, small enough to
// stay in the cache while it fills.
constexpr std::size_t kWriteBuffer = 1 << 20;
constexpr long long kWritebackStep = 8 << 20;

std::string systemMessage(int error) { return std::generic_category().message(error); }

// A plain descriptor for reading the header: closing it drops none of the
// locks that the engine holds on the table through its own open (they are
// open file description locks, see locks.h).
class ReadOnlyFile {
 public:
  explicit ReadOnlyFile(const fs::path& path) {
    do {
      fd_ = ::open(path.c_str(), O_RDONLY | O_CLOEXEC);
    } while (fd_ < 0 && errno == EINTR);
  }
  ~ReadOnlyFile() {
    if (fd_ >= 0) ::close(fd_);
  }
  ReadOnlyFile(const ReadOnlyFile&) = delete;
  ReadOnlyFile& operator=(const ReadOnlyFile&) = delete;
  bool ok() const { return fd_ >= 0; }

  // Up to count bytes from offset; fewer only at the end of the file.
  std::size_t read(char* buffer, std::size_t count, long long offset, int& error) {
    std::size_t done = 0;
    while (done < count) {
      const ssize_t n = ::pread(fd_, buffer + done, count - done, static_cast<off_t>(offset) + static_cast<off_t>(done));
      if (n < 0 && errno == EINTR) continue;
      if (n < 0) {
        error = errno;
        return done;
      }
      if (n == 0) break;
      done += static_cast<std::size_t>(n);
    }
    error = 0;
    return done;
  }

 private:
  int fd_ = -1;
};

}  // namespace

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
    fd_ = ::open(file.c_str(), O_RDONLY | O_CLOEXEC);
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

TableHeader readTableHeader(const fs::path& table) {
  const std::string shown = text::pathText(table);
  ReadOnlyFile file(table);
  if (!file.ok()) throw mincar::Error(mincar::fill("Cannot open file %s", {shown}));
  int error = 0;
  std::string fixed(dbf::XBASE_FILEHDR_SZ, '\0');
  fixed.resize(file.read(fixed.data(), fixed.size(), 0, error));
  if (error) throw mincar::Error(mincar::fill("Cannot read %s: %s", {shown, systemMessage(error)}));
  const dbf::Header first = dbf::parseFileHeader(fixed, shown);
  TableHeader result;
  result.bytes.resize(static_cast<std::size_t>(first.headerLength));
  result.bytes.resize(file.read(result.bytes.data(), result.bytes.size(), 0, error));
  if (error) throw mincar::Error(mincar::fill("Cannot read %s: %s", {shown, systemMessage(error)}));
  result.header = dbf::parseHeader(result.bytes, shown);
  return result;
}

fs::path TableRewrite::temporaryPath(const fs::path& table) {
  fs::path name = table.filename();
  name += ".rewrite";
  return table.parent_path() / name;
}

TableRewrite::TableRewrite(fs::path table, FileMaker create)
    : table_(std::move(table)), temporary_(temporaryPath(table_)), shownPath_(text::pathText(table_)) {
  header_ = readTableHeader(table_);
  // The caller has the table to itself, so a file under this name is what
  // a rewrite that crashed left behind.
  std::error_code ignored;
  fs::remove(temporary_, ignored);
  int error = 0;
  file_ = create(temporary_, error);
  if (!file_) {
    throw mincar::Error(mincar::fill("Cannot create %s: %s", {text::pathText(temporary_), systemMessage(error ? error : EIO)}));
  }
  writeback_ = std::make_unique<EarlyWriteback>(temporary_);
  // Other users of a shared folder keep the rights they had on the table.
  std::error_code statusError;
  const fs::file_status old = fs::status(table_, statusError);
  if (!statusError) fs::permissions(temporary_, old.permissions(), ignored);
  buffer_.reserve(kWriteBuffer);
  buffer_ = header_.bytes;
}

TableRewrite::~TableRewrite() {
  writeback_.reset();
  if (installed_) return;
  file_.reset();
  std::error_code ignored;
  fs::remove(temporary_, ignored);
}

void TableRewrite::failWrite(int error) const {
  throw mincar::Error(mincar::fill("Cannot write to %s: %s", {shownPath_, systemMessage(error)}));
}

void TableRewrite::writeAt(const char* data, std::size_t count, long long offset) {
  while (count > 0) {
    const IoResult r = file_->pwrite(data, count, offset);
    if (r.error) failWrite(r.error);
    // A write that moves nothing is a full disk that says so quietly.
    if (r.bytes == 0) failWrite(ENOSPC);
    data += r.bytes;
    count -= static_cast<std::size_t>(r.bytes);
    offset += r.bytes;
  }
}

void TableRewrite::flush() {
  if (buffer_.empty()) return;
  writeAt(buffer_.data(), buffer_.size(), written_);
  written_ += static_cast<long long>(buffer_.size());
  buffer_.clear();
  writeback_->written(written_);
}

void TableRewrite::append(std::string_view record) {
  assert(!finished_);
  assert(record.size() == static_cast<std::size_t>(recordLength()));
  if (count_ >= dbf::kMaxRecordCount) {
    throw mincar::Error(shownPath_ + ": the table cannot hold more rows");
  }
  if (buffer_.size() + record.size() > kWriteBuffer) flush();
  buffer_.append(record);
  ++count_;
}

void TableRewrite::finish() {
  if (finished_) return;
  buffer_ += dbf::END_OF_FILE_CHARACTER;
  flush();
  // The count last, as every append does it.
  const std::string dateAndCount = dbf::encodeDateAndCount(text::Date::today(), count_);
  writeAt(dateAndCount.data(), dateAndCount.size(), static_cast<long long>(dbf::OFFSET_DATE));
  if (const int error = file_->sync()) failWrite(error);
  file_.reset();
  finished_ = true;
}

void TableRewrite::install() {
  finish();
  if (installed_) return;
  std::error_code ec;
  fs::rename(temporary_, table_, ec);
  if (ec) failWrite(ec.value());
  installed_ = true;
  if (const int error = syncFolder(table_.parent_path())) failWrite(error);
}

}  // namespace ledger
