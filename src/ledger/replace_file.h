#pragma once
#include <filesystem>
#include <functional>
#include <memory>
#include <string>
#include <string_view>

#include "ledger/errors.h"
#include "ledger/file.h"

namespace ledger {

// Writes all `count` bytes at `offset`, carrying on after short writes. A
// write that moves nothing is a full disk that does not say so. Throws
// `failure` filled with shownPath and the reason.
void writeFully(File& file, const void* data, std::size_t count, long long offset, const std::string& shownPath,
                std::string_view failure);
// The same with "Cannot write to %s: %s".
void writeFully(File& file, const void* data, std::size_t count, long long offset, const std::string& shownPath);

// Forces a folder's entries to the disk: a rename is durable only once the
// folder that holds both names is. 0 or an errno value.
int syncFolder(const std::filesystem::path& folder);

// Starts the disk's work on a file being written while the rest is still
// being made, so that the sync at the end waits for little. Through a
// descriptor of its own: the seam's files know nothing of it, and where it
// cannot work it costs only time. Linux only; elsewhere it does nothing.
class EarlyWriteback {
 public:
  explicit EarlyWriteback(const std::filesystem::path& file);
  ~EarlyWriteback();
  EarlyWriteback(const EarlyWriteback&) = delete;
  EarlyWriteback& operator=(const EarlyWriteback&) = delete;
  // The file now holds this many bytes from its start.
  void written(long long bytes);

 private:
  int fd_ = -1;
  long long started_ = 0;  // bytes whose writeback has been started
};

// A new file in a group-writable folder gets the group's read and write
// bits whatever the umask, so that the others sharing the folder can open
// it. Best effort: 0 or an errno value.
int shareWithFolderGroup(File& file, const std::filesystem::path& path);

// Opens a file that is read whole (the settings, a backup to restore).
// Errors: "Cannot open file %s" when it is missing or cannot be read, and
// "Cannot open file %s: not a regular file" for a folder, device or pipe,
// refused at once instead of hanging or reading without end.
std::unique_ptr<File> openFileToRead(const std::filesystem::path& path);

// The texts a replacement fails with; each is filled with the target's shown
// name and the system's reason (a pattern may leave the reason out).
struct ReplaceTexts {
  std::string_view cannotCreate = messages::kCannotCreateFile;
  std::string_view cannotWrite = messages::kCannotWrite;
};

// Every file the program writes whole (settings, pages, backups, table
// rewrites) is made so: the bytes go to a temporary beside the target,
// created exclusively (a name that is taken, a planted link included, is
// never opened), and only a file written whole and forced to the disk is
// renamed over the target, the folder then synced too. A link at the target
// is replaced, never followed; a folder, device or pipe there is refused.
//
// Rights: a replaced file's mode and group pass to the new one; a new file
// takes the group-write bit of a group-writable folder, so that the others
// sharing it can open what one of them made.
class ReplacementFile {
 public:
  using FileMaker = std::function<std::unique_ptr<File>(const std::filesystem::path&, int& error)>;

  // Errors: texts.cannotCreate when the folder is missing or cannot be
  // written, or the name is not a file's.
  explicit ReplacementFile(std::filesystem::path target, ReplaceTexts texts = {},
                           FileMaker create = createPosixFile);
  // Removes the temporary unless committed; never throws.
  ~ReplacementFile();
  ReplacementFile(const ReplacementFile&) = delete;
  ReplacementFile& operator=(const ReplacementFile&) = delete;

  const std::filesystem::path& target() const { return target_; }
  const std::filesystem::path& temporary() const { return temporary_; }
  const std::string& shownTarget() const { return shown_; }

  // Appends bytes (buffered). Errors: texts.cannotWrite.
  void write(std::string_view bytes) {
    if (buffer_.size() + bytes.size() > kBufferBytes) flushFull(bytes);
    else buffer_.append(bytes);
  }
  // Overwrites bytes already written, at `offset` (a header's count).
  void writeAt(long long offset, std::string_view bytes);
  // Bytes written so far.
  long long size() const { return written_ + static_cast<long long>(buffer_.size()); }
  // Everything on the disk; the target is untouched so far.
  void finish();
  // finish(), then the temporary in the target's place and the folder synced.
  void commit();
  // The same, but only where the name is free: a file that took the name
  // meanwhile (another process's, written the same way) stays, the
  // temporary goes, and the answer is false. Two writers racing for one
  // name so leave exactly one whole file. Errors: texts.cannotCreate when
  // the file system can neither rename without replacing nor link.
  bool commitNew();

  // The name a temporary for `target` gets: hidden, so that file dialogs do
  // not offer it, and naming the host and process that write it.
  static std::filesystem::path temporaryName(const std::filesystem::path& target, long process, int attempt);
  // Removes the temporaries in `folder` that processes of this host which
  // have ended left behind (a kill in mid-write). Never throws.
  static void removeStaleTemporaries(const std::filesystem::path& folder) noexcept;

 private:
  static constexpr std::size_t kBufferBytes = 1 << 20;
  void flushFull(std::string_view more);
  void flush();
  [[noreturn]] void failWrite(int error) const;
  [[noreturn]] void failCreate(int error) const;

  std::filesystem::path target_;
  std::filesystem::path temporary_;
  std::string shown_;
  ReplaceTexts texts_;
  std::unique_ptr<File> file_;
  std::unique_ptr<EarlyWriteback> writeback_;
  std::string buffer_;
  long long written_ = 0;
  bool finished_ = false;
  bool committed_ = false;
};

}  // namespace ledger
