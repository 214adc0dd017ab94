#pragma once
#include <filesystem>
#include <memory>
#include <string>
#include <string_view>
#include <vector>

#include "ledger/file.h"

namespace backup {

// How the lines of a backup file end, decided by its first line end.
enum class LineEnds {
  LfCr,     // as the program writes them (and files with no line end at all)
  LfOrCrLf, // as a text editor may save them: LF alone or CR LF
};

// The lines of one backup file, read from the disk a block at a time so
// that a file of any size costs one buffer.
//
// Files with LF CR line ends are read exactly as ReadLine reads them: the
// bytes up to the LF with every CR left out, the byte after the LF consumed
// unseen (the CR of the pair), and when that byte is an LF itself the next
// line is empty. The look-behind byte starts as at program start for each
// file and is this reader's own, so that a file with other line ends read
// earlier cannot make this one lose its first byte, and this one cannot
// upset the settings file or any later file.
//
// With LF or CR LF line ends the LF ends the line and nothing after it is
// consumed; CR bytes are left out as before. So the same rows come back
// whichever of the three a file uses.
//
// Past the end of the data every line reads as empty.
class BackupLines {
 public:
  // Throws "Cannot open file %s".
  explicit BackupLines(std::filesystem::path file);
  ~BackupLines();
  BackupLines(const BackupLines&) = delete;
  BackupLines& operator=(const BackupLines&) = delete;

  const std::filesystem::path& path() const { return path_; }

  // The next line without its line end; valid until the next call.
  // Read errors throw "Cannot read %s: reason".
  std::string_view ReadLine();
  // The number of the line last read, from 1.
  long long lineNumber() const { return lineNumber_; }
  // True when the line last read lay wholly beyond the end of the data.
  bool pastEnd() const { return pastEnd_; }
  LineEnds lineEnds();

  // Back to the first line, as if opened anew.
  void rewind();

 private:
  bool more();              // reads the next block; false at the end of the data
  bool byteAhead();         // true when a byte is buffered, reading if needed
  void decideLineEnds();
  std::string_view withoutCr(const char* begin, const char* end);

  std::filesystem::path path_;
  std::unique_ptr<ledger::File> file_;
  std::vector<char> buffer_;
  std::size_t begin_ = 0;  // the unread bytes are buffer_[begin_, end_)
  std::size_t end_ = 0;
  std::size_t keep_ = 0;   // more() keeps the bytes from here on
  long long fileOffset_ = 0;  // of buffer_[end_]
  bool atEnd_ = false;        // nothing more to read from the file
  bool decided_ = false;
  LineEnds lineEnds_ = LineEnds::LfCr;
  char lookBehind_ = ' ';
  long long lineNumber_ = 0;
  bool pastEnd_ = false;
  std::string scratch_;
};

}  // namespace backup
