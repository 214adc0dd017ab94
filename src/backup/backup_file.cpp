#include "backup/backup_file.h"

#include <unistd.h>

#include <cerrno>
#include <system_error>
#include <utility>

#include "text/cp1250.h"
#include "text/error.h"

namespace backup {

namespace fs = std::filesystem;

namespace {

std::string systemMessage(int error) { return std::generic_category().message(error); }

// Hidden, so that the file dialogs do not offer a backup still being
// written; the process number keeps two writers apart.
fs::path temporaryName(const fs::path& replaced, int attempt) {
  std::string name(1, '.');
  name += replaced.filename().string();
  name += '.';
  name += std::to_string(::getpid());
  if (attempt > 0) {
    name += '-';
    name += std::to_string(attempt);
  }
  name += ".tmp";
  return replaced.parent_path() / name;
}

}  // namespace

BackupFile::BackupFile(fs::path target, ledger::TableRewrite::FileMaker create)
    : target_(std::move(target)), replaced_(target_) {
  const std::string shown = text::pathText(target_);
  auto cannotCreate = [&] { throw mincar::Error(mincar::fill("Cannot create file %s", {shown})); };
  if (target_.empty() || !target_.has_filename()) cannotCreate();
  std::error_code ec;
  const fs::file_status status = fs::status(target_, ec);
  if (fs::is_directory(status)) cannotCreate();
  // Through a link the backup replaces the file the link names, not the
  // link, as writing into it would.
  if (fs::exists(status)) {
    fs::path resolved = fs::canonical(target_, ec);
    if (!ec) replaced_ = std::move(resolved);
  }
  int error = 0;
  for (int attempt = 0; !file_ && attempt < 100; ++attempt) {
    temporary_ = temporaryName(replaced_, attempt);
    file_ = create(temporary_, error);
    if (!file_ && error != EEXIST) break;
  }
  if (!file_) cannotCreate();
  writeback_ = std::make_unique<ledger::EarlyWriteback>(temporary_);
  // A replaced backup keeps the rights it had.
  if (fs::exists(status)) fs::permissions(temporary_, status.permissions(), ec);
  buffer_.reserve(kBufferBytes);
}

BackupFile::~BackupFile() {
  writeback_.reset();
  if (committed_) return;
  file_.reset();
  std::error_code ignored;
  fs::remove(temporary_, ignored);
}

void BackupFile::failWrite(int error) const {
  throw mincar::Error(mincar::fill("Cannot write to %s: %s", {text::pathText(target_), systemMessage(error)}));
}

void BackupFile::writeAll(const char* data, std::size_t count) {
  if (!file_) failWrite(EBADF);
  while (count > 0) {
    const ledger::IoResult r = file_->pwrite(data, count, written_);
    if (r.error) failWrite(r.error);
    // A write that moves nothing is a full disk that does not say so.
    if (r.bytes == 0) failWrite(ENOSPC);
    data += r.bytes;
    count -= static_cast<std::size_t>(r.bytes);
    written_ += r.bytes;
  }
}

void BackupFile::flush() {
  writeAll(buffer_.data(), buffer_.size());
  buffer_.clear();
  writeback_->written(written_);
}

void BackupFile::flushFull(std::string_view more) {
  flush();
  if (more.size() >= kBufferBytes) {
    writeAll(more.data(), more.size());
  } else {
    buffer_.append(more);
  }
}

void BackupFile::commit() {
  if (committed_) return;
  flush();
  if (!file_) failWrite(EBADF);
  if (const int error = file_->sync()) failWrite(error);
  file_.reset();
  std::error_code ec;
  fs::rename(temporary_, replaced_, ec);
  if (ec) throw mincar::Error(mincar::fill("Cannot create file %s", {text::pathText(target_)}));
  committed_ = true;
  if (const int error = ledger::syncFolder(replaced_.parent_path())) failWrite(error);
}

}  // namespace backup
