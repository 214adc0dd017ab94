#pragma once
#include <cstdint>
#include <filesystem>
#include <functional>
#include <memory>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

#include "ledger/dbf_header.h"
#include "ledger/file.h"
#include "ledger/replace_file.h"
#include "ledger/value.h"

namespace ledger {

// The header of a table file as it stands, read past the engine (no locks):
// the parsed header and its bytes, header length of them. Errors name the
// file: "Cannot open file %s", "Cannot read %s: reason", damage.
struct TableHeader {
  dbf::Header header;
  std::string bytes;
};
TableHeader readTableHeader(const std::filesystem::path& table);

// A table written anew in a file beside it and put in its place by one
// rename, so that a crash at any moment leaves either the old file or the
// whole new one, never a table half written. The new file keeps the old
// header byte for byte (fields, language driver, whatever else a foreign
// writer put there) except the date and the count, and the next values of
// autoincrement fields, which are kept ahead of the rows written.
//
// The caller holds the table for exclusive use from before the rewrite is
// made until after install(): nobody else may open the old file meanwhile,
// and a file left beside it by an earlier rewrite that crashed is then
// known to be a leftover, which the constructor removes.
class TableRewrite {
 public:
  // Creates a new file; a null result with error set when it cannot.
  using FileMaker = ReplacementFile::FileMaker;

  explicit TableRewrite(std::filesystem::path table, FileMaker create = createPosixFile);
  // Removes the new file unless it was installed; never throws.
  ~TableRewrite();
  TableRewrite(const TableRewrite&) = delete;
  TableRewrite& operator=(const TableRewrite&) = delete;

  const std::vector<FieldDef>& fields() const { return header_.header.fields; }
  // Where each field starts, after the deletion flag.
  const std::vector<int>& offsets() const { return header_.header.offsets; }
  int recordLength() const { return header_.header.recordLength; }
  std::int64_t count() const { return count_; }

  // One record, deletion flag first, recordLength() bytes.
  void append(std::string_view record);
  // Writes what is buffered, the end mark and the header's count, and
  // forces it all to the disk. The old table is untouched so far.
  void finish();
  // Renames the finished file over the table and makes the rename durable.
  void install();

  // Where earlier versions built the new file; one found there is a
  // leftover of a crash.
  static std::filesystem::path temporaryPath(const std::filesystem::path& table);

 private:
  std::filesystem::path table_;
  std::string shownPath_;
  TableHeader header_;
  std::unique_ptr<ReplacementFile> file_;
  std::int64_t count_ = 0;
  // Per autoincrement field: its index and the next value its rows need.
  std::vector<std::pair<std::size_t, std::int64_t>> autoIncrements_;
  bool finished_ = false;
};

}  // namespace ledger
