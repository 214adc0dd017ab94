#include "ledger/table_rewrite.h"

#include <fcntl.h>
#include <unistd.h>

#include <algorithm>
#include <cassert>
#include <cerrno>
#include <system_error>
#include <utility>

#include "ledger/errors.h"
#include "ledger/field_codec.h"
#include "text/cp1250.h"
#include "text/error.h"

namespace ledger {

namespace fs = std::filesystem;

namespace {

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

TableHeader readTableHeader(const fs::path& table) {
  const std::string shown = text::pathText(table);
  ReadOnlyFile file(table);
  if (!file.ok()) throw mincar::Error(mincar::fill(messages::kCannotOpenFile, {shown}));
  int error = 0;
  std::string fixed(dbf::XBASE_FILEHDR_SZ, '\0');
  fixed.resize(file.read(fixed.data(), fixed.size(), 0, error));
  if (error) throw mincar::Error(mincar::fill(messages::kCannotRead, {shown, systemMessage(error)}));
  const dbf::Header first = dbf::parseFileHeader(fixed, shown);
  TableHeader result;
  result.bytes.resize(static_cast<std::size_t>(first.headerLength));
  result.bytes.resize(file.read(result.bytes.data(), result.bytes.size(), 0, error));
  if (error) throw mincar::Error(mincar::fill(messages::kCannotRead, {shown, systemMessage(error)}));
  result.header = dbf::parseHeader(result.bytes, shown);
  return result;
}

fs::path TableRewrite::temporaryPath(const fs::path& table) {
  fs::path name = table.filename();
  name += ".rewrite";
  return table.parent_path() / name;
}

TableRewrite::TableRewrite(fs::path table, FileMaker create)
    : table_(std::move(table)), shownPath_(text::pathText(table_)) {
  header_ = readTableHeader(table_);
  // The caller has the table to itself, so a file under the old name is
  // what a rewrite of an earlier version that crashed left behind.
  std::error_code ignored;
  fs::remove(temporaryPath(table_), ignored);
  file_ = std::make_unique<ReplacementFile>(
      table_, ReplaceTexts{messages::kCannotCreate, messages::kCannotWrite}, std::move(create));
  file_->write(header_.bytes);
  const std::vector<FieldDef>& fields = header_.header.fields;
  for (std::size_t i = 0; i < fields.size(); ++i) {
    if (fields[i].type != FieldType::AutoIncrement) continue;
    const std::size_t at = dbf::nextAutoIncrementAt(header_.header, i);
    autoIncrements_.emplace_back(i, dbf::decodeAutoIncrement(std::string_view(header_.bytes).substr(at, 4)));
  }
}

TableRewrite::~TableRewrite() = default;

void TableRewrite::append(std::string_view record) {
  assert(!finished_);
  assert(record.size() == static_cast<std::size_t>(recordLength()));
  if (count_ >= dbf::kMaxRecordCount) {
    throw mincar::Error(shownPath_ + ": the table cannot hold more rows");
  }
  for (auto& [index, next] : autoIncrements_) {
    std::int64_t value = 0;
    if (codec::decodeInteger(record.data() + 1 + header_.header.offsets[index], value)) {
      next = std::max(next, value + 1);
    }
  }
  file_->write(record);
  ++count_;
}

void TableRewrite::finish() {
  if (finished_) return;
  const char eof = dbf::END_OF_FILE_CHARACTER;
  file_->write(std::string_view(&eof, 1));
  for (const auto& [index, next] : autoIncrements_) {
    file_->writeAt(static_cast<long long>(dbf::nextAutoIncrementAt(header_.header, index)),
                   dbf::encodeAutoIncrement(next));
  }
  // The count last, as every append does it.
  file_->writeAt(dbf::OFFSET_DATE, dbf::encodeDateAndCount(text::Date::today(), count_));
  file_->finish();
  finished_ = true;
}

void TableRewrite::install() {
  finish();
  file_->commit();
}

}  // namespace ledger
