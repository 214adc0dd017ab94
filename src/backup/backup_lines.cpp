#include "backup/backup_lines.h"

#include <fcntl.h>
#include <unistd.h>

#include <cerrno>
#include <cstring>
#include <system_error>
#include <utility>

#include "backup/backup_file.h"
#include "ledger/errors.h"
#include "text/cp1250.h"
#include "text/error.h"

namespace backup {

namespace {

constexpr char kLF = '\n';
constexpr char kCR = '\r';

constexpr std::size_t kBlockBytes = 1 << 20;
// The line end style is decided within the first bytes: a file whose first
// line is longer than any header is no backup, and is read as the program
// always read files.
constexpr std::size_t kLineEndSearch = 64 << 10;
// No backup line comes near this (a dBASE record is at most 64 KiB); a
// file that holds one is refused instead of being gathered into memory.
constexpr std::size_t kLongestLine = 16 << 20;

}  // namespace

BackupLines::BackupLines(std::filesystem::path file) : path_(std::move(file)) {
  file_ = ledger::openFileToRead(path_);
  buffer_.resize(kBlockBytes);
}

BackupLines::~BackupLines() = default;

bool BackupLines::more() {
  if (atEnd_) return false;
  // Keep the line being read (from begin_ of this call's line, which the
  // caller has not consumed for good yet) at the front of the buffer.
  if (keep_ > 0) {
    std::memmove(buffer_.data(), buffer_.data() + keep_, end_ - keep_);
    begin_ -= keep_;
    end_ -= keep_;
    keep_ = 0;
  }
  if (end_ == buffer_.size()) {
    if (buffer_.size() >= kLongestLine) {
      throw mincar::Error(mincar::fill("%s: line %d is longer than 16 MiB; the file is no backup",
                                       {text::pathText(path_), std::to_string(lineNumber_ == 0 ? 1 : lineNumber_)}));
    }
    buffer_.resize(buffer_.size() * 2);
  }
  {
    const ledger::IoResult r = file_->pread(buffer_.data() + end_, buffer_.size() - end_, fileOffset_);
    if (r.error) {
      throw mincar::Error(mincar::fill("Cannot read %s: %s", {text::pathText(path_), ledger::systemMessage(r.error)}));
    }
    const long long n = r.bytes;
    if (n == 0) {
      atEnd_ = true;
      return false;
    }
    end_ += static_cast<std::size_t>(n);
    fileOffset_ += n;
    return true;
  }
}

bool BackupLines::byteAhead() {
  while (begin_ == end_) {
    if (!more()) return false;
  }
  return true;
}

void BackupLines::decideLineEnds() {
  decided_ = true;
  lineEnds_ = LineEnds::LfCr;
  std::size_t at = begin_;
  while (at - begin_ < kLineEndSearch) {
    if (at == end_) {
      keep_ = begin_;
      const std::size_t offset = at - begin_;
      if (!more()) return;
      at = begin_ + offset;
      continue;
    }
    const char c = buffer_[at];
    if (c != kLF && c != kCR) {
      ++at;
      continue;
    }
    // The byte after the first line end tells LF CR from CR LF and LF.
    std::size_t next = at + 1;
    if (next == end_) {
      keep_ = begin_;
      const std::size_t offset = next - begin_;
      if (!more()) {
        // One line and an LF: both readings give the same.
        if (c == kLF) lineEnds_ = LineEnds::LfOrCrLf;
        return;
      }
      next = begin_ + offset;
    }
    const char after = buffer_[next];
    if (c == kLF) {
      lineEnds_ = after == kCR ? LineEnds::LfCr : LineEnds::LfOrCrLf;
    } else {
      // A CR alone is no line end the program ever knew.
      lineEnds_ = after == kLF ? LineEnds::LfOrCrLf : LineEnds::LfCr;
    }
    return;
  }
}

LineEnds BackupLines::lineEnds() {
  if (!decided_) decideLineEnds();
  return lineEnds_;
}

std::string_view BackupLines::withoutCr(const char* begin, const char* end) {
  const std::size_t length = static_cast<std::size_t>(end - begin);
  if (std::memchr(begin, kCR, length) == nullptr) return std::string_view(begin, length);
  scratch_.clear();
  for (const char* p = begin; p < end; ++p) {
    if (*p != kCR) scratch_ += *p;
  }
  return scratch_;
}

std::string_view BackupLines::ReadLine() {
  if (!decided_) decideLineEnds();
  ++lineNumber_;
  keep_ = begin_;
  const bool lfCr = lineEnds_ == LineEnds::LfCr;
  pastEnd_ = !byteAhead();
  keep_ = begin_;
  std::size_t lineStart = begin_;
  std::size_t lineEnd = begin_;

  // 2. Up to the LF, unless the byte consumed after the previous LF was an
  //    LF itself (LF CR files only: then this line is empty).
  if (!lfCr || lookBehind_ != kLF) {
    std::size_t searched = begin_;
    for (;;) {
      const void* lf = std::memchr(buffer_.data() + searched, kLF, end_ - searched);
      if (lf != nullptr) {
        lineEnd = static_cast<std::size_t>(static_cast<const char*>(lf) - buffer_.data());
        begin_ = lineEnd + 1;
        lookBehind_ = kLF;
        break;
      }
      const std::size_t searchedFromStart = end_ - lineStart;
      if (!more()) {
        // The end of the data ends the line; b keeps the last byte read.
        lineStart = keep_;
        lineEnd = end_;
        begin_ = end_;
        if (lineEnd > lineStart) lookBehind_ = buffer_[lineEnd - 1];
        break;
      }
      lineStart = keep_;
      searched = lineStart + searchedFromStart;
    }
  }
  // 3. The byte after the LF is consumed unseen; at the end of the data
  //    there is none and b keeps its value.
  if (lfCr && lookBehind_ == kLF) {
    const std::size_t length = lineEnd - lineStart;
    keep_ = lineStart;
    if (byteAhead()) {
      lineStart = keep_;
      lineEnd = lineStart + length;
      lookBehind_ = buffer_[begin_];
      ++begin_;
    } else {
      lineStart = keep_;
      lineEnd = lineStart + length;
    }
  }
  keep_ = begin_;
  return withoutCr(buffer_.data() + lineStart, buffer_.data() + lineEnd);
}

void BackupLines::rewind() {
  begin_ = end_ = keep_ = 0;
  fileOffset_ = 0;
  atEnd_ = false;
  lookBehind_ = ' ';
  lineNumber_ = 0;
  pastEnd_ = false;
}

}  // namespace backup
