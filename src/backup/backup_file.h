#pragma once
#include <filesystem>
#include <memory>
#include <string>
#include <string_view>

#include "ledger/table_rewrite.h"

namespace backup {

// The file a backup is written to. The bytes go to a new file beside the
// target, and only a backup written whole and forced to the disk is renamed
// over the target: a backup that fails (a full disk, a removed device, a
// crash) leaves an earlier file of that name as it was and never passes
// for a backup. Every write is checked.
class BackupFile {
 public:
  // Errors: "Cannot create file %s" with the target's name when the folder
  // is missing, cannot be written or the name is a folder.
  explicit BackupFile(std::filesystem::path target,
                      ledger::TableRewrite::FileMaker create = ledger::createPosixFile);
  // Removes the new file unless it was committed; never throws.
  ~BackupFile();
  BackupFile(const BackupFile&) = delete;
  BackupFile& operator=(const BackupFile&) = delete;

  const std::filesystem::path& target() const { return target_; }

  // WriteText's job: exactly these bytes. Buffered; a failure of the file
  // throws "Cannot write to %s: reason" naming the target.
  void write(std::string_view bytes) {
    if (buffer_.size() + bytes.size() > kBufferBytes) flushFull(bytes);
    else buffer_.append(bytes);
  }
  // Everything on the disk, then the new file in the target's place.
  void commit();

 private:
  static constexpr std::size_t kBufferBytes = 1 << 20;
  void flushFull(std::string_view more);
  void flush();
  void writeAll(const char* data, std::size_t count);
  [[noreturn]] void failWrite(int error) const;

  std::filesystem::path target_;     // as the user named it
  std::filesystem::path replaced_;   // the file that the rename replaces
  std::filesystem::path temporary_;
  std::unique_ptr<ledger::File> file_;
  std::unique_ptr<ledger::EarlyWriteback> writeback_;
  std::string buffer_;
  long long written_ = 0;
  bool committed_ = false;
};

}  // namespace backup
