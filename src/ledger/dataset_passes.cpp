#include <algorithm>
#include <cstdint>
#include <utility>

#include "ledger/dataset_impl.h"
#include "ledger/dbf_header.h"
#include "ledger/errors.h"
#include "ledger/locks.h"

namespace ledger {

namespace {

// A bulk update takes this many bytes of rows at a time: one range lock,
// one read and one write each, small enough to stay in the processor's
// cache between reading the block and writing it back.
constexpr std::size_t kUpdateBlockBytes = 256 << 10;
// Values a scan hands over per call.
constexpr std::size_t kScanBlockValues = 512;

}  // namespace

bool Dataset::Impl::showsBytes(const char* bytes) {
  if (bytes[0] == dbf::RECORD_DELETED) return false;
  if (!filterOn()) return true;
  ShowPassRow show(*this, bytes, filtering);
  return filterTakes();
}

bool Dataset::Impl::beginPass() {
  checkCallable();
  storePending();
  const bool changed = refresh(true);
  rows.forget();
  cursor.beginPass();
  return changed;
}

void Dataset::Impl::scanNumbers(int column, const std::function<void(std::span<const double>)>& take) {
  checkCallable();
  const Field& f = owner.field(column);
  const bool changed = beginPass();
  const FieldDef& def = f.def_;
  const int offset = 1 + f.offset_;
  const bool plainWalk = isNumberType(def.type) && !filterOn();
  const std::int64_t count = table->recordCount();
  const std::size_t length = static_cast<std::size_t>(table->recordLength());
  double values[kScanBlockValues];
  std::size_t held = 0;
  const Table::ReadAhead readAhead(*table);
  auto handOver = [&] {
    if (held == 0) return;
    const std::size_t n = std::exchange(held, 0);
    Raised inCallback(inPass);
    take(std::span<const double>(values, n));
  };
  try {
    for (std::int64_t r = 0; r < count;) {
      std::int64_t spanEnd = r;
      const char* bytes = table->recordSpan(r, spanEnd);
      if (plainWalk) {
        // The usual case, a number column with no filter callback: straight
        // over the window's bytes, one cache line a row.
        for (; r < spanEnd; ++r, bytes += length) {
          const bool shown = bytes[0] != dbf::RECORD_DELETED;
          rows.observe(r, shown);
          if (!shown) continue;
          cursor.passBy(r);
          if (codec::decodeNumber(bytes + offset, def.length, values[held], def.decimals) &&
              ++held == kScanBlockValues) {
            handOver();
          }
        }
      } else {
        // The filter callback may read the record, which keeps the window
        // but not our pointer into it.
        for (; r < spanEnd; ++r) {
          const bool shown = shows(r);
          rows.observe(r, shown);
          if (!shown) continue;
          cursor.passBy(r);
          const char* field = table->record(r) + offset;
          if (!codec::isNull(def, field)) {
            values[held] = codec::toFloat(def, field, owner.regional_);
            if (++held == kScanBlockValues) handOver();
          }
        }
      }
    }
    handOver();
  } catch (...) {
    cursor.endPass(true);
    notify(DataEvent::DataSetChanged);
    throw;
  }
  cursor.endPass(false);
  notify(changed ? DataEvent::DataSetChanged : DataEvent::Scrolled);
}

std::optional<Value> Dataset::Impl::stepOnto(std::int64_t r, const char* bytes, const NewValue& newValue) {
  const bool shown = showsBytes(bytes);
  rows.observe(r, shown);
  if (!shown) return std::nullopt;
  cursor.passOver(r);
  return newValueOf(bytes, newValue);
}

std::optional<Value> Dataset::Impl::newValueOf(const char* bytes, const NewValue& newValue) {
  ShowPassRow show(*this, bytes, inPass);
  return newValue(owner);
}

void Dataset::Impl::updateLockedBlock(std::int64_t first, std::int64_t end, const Field& f, const NewValue& newValue,
                                      std::string& block) {
  struct Unlock {
    Table& table;
    std::int64_t first, end;
    ~Unlock() { table.unlockRows(first, end); }
  } unlock{*table, first, end};
  const std::size_t length = static_cast<std::size_t>(table->recordLength());
  table->rereadRecords(first, end, block.data());
  std::int64_t changedFirst = end;
  std::int64_t changedEnd = first;
  auto store = [&] {
    if (changedFirst >= changedEnd) return;
    const std::size_t from = static_cast<std::size_t>(changedFirst - first) * length;
    const std::size_t to = static_cast<std::size_t>(changedEnd - first) * length;
    table->writeRecords(changedFirst, std::string_view(block.data() + from, to - from));
  };
  try {
    for (std::int64_t r = first; r < end; ++r) {
      char* bytes = block.data() + static_cast<std::size_t>(r - first) * length;
      const std::optional<Value> value = stepOnto(r, bytes, newValue);
      if (!value) continue;
      codec::encode(f.def_, *value, owner.regional_, codec::EmptyText::Refused, bytes + 1 + f.offset_);
      changedFirst = std::min(changedFirst, r);
      changedEnd = r + 1;
    }
  } catch (...) {
    // The rows before the failing one are stored, as the walk stores each
    // row before it moves on. (A failure to store them is the error to
    // report, then.)
    store();
    throw;
  }
  store();
}

void Dataset::Impl::updateBlockRowByRow(std::int64_t first, std::int64_t end, const Field& f, const NewValue& newValue,
                                        std::string& block) {
  const std::size_t length = static_cast<std::size_t>(table->recordLength());
  table->rereadRecords(first, end, block.data());
  for (std::int64_t r = first; r < end; ++r) {
    const char* bytes = block.data() + static_cast<std::size_t>(r - first) * length;
    const std::optional<Value> value = stepOnto(r, bytes, newValue);
    if (!value) continue;
    // Another copy's new row is held for the few milliseconds of its
    // new-row rule: that is waited out; a user's edit is not.
    if (!table->lockRowWaiting(r, kRowFillWait)) throw RowLockedError(table->shownPath());
    struct Unlock {
      Table& table;
      std::int64_t row;
      ~Unlock() { table.unlockRow(row); }
    } unlock{*table, r};
    std::string fresh = table->rereadRecord(r);
    if (fresh[0] == dbf::RECORD_DELETED) throw RowDeletedError(table->shownPath());
    codec::encode(f.def_, *value, owner.regional_, codec::EmptyText::Refused, fresh.data() + 1 + f.offset_);
    table->writeRecords(r, fresh);
  }
}

void Dataset::Impl::updateColumn(int column, const NewValue& newValue) {
  checkCallable();
  const Field& f = owner.field(column);
  beginPass();
  const std::int64_t count = table->recordCount();
  const std::int64_t blockRecords =
      std::max<std::int64_t>(1, static_cast<std::int64_t>(kUpdateBlockBytes) / table->recordLength());
  std::string block(static_cast<std::size_t>(std::min(count, blockRecords) * table->recordLength()), '\0');
  try {
    for (std::int64_t first = 0; first < count; first += blockRecords) {
      const std::int64_t end = std::min(count, first + blockRecords);
      if (table->tryLockRows(first, end)) {
        updateLockedBlock(first, end, f, newValue, block);
      } else {
        updateBlockRowByRow(first, end, f, newValue, block);
      }
    }
    // Once for the pass, not per block or row.
    table->sync();
  } catch (...) {
    // What was stored before the failing row is forced to the disk too;
    // the first error is the one to report.
    try {
      table->sync();
    } catch (const mincar::Error&) {
    }
    cursor.endPass(true);
    notify(DataEvent::DataSetChanged);
    throw;
  }
  cursor.endPass(false);
  notify(DataEvent::DataSetChanged);
}

void Dataset::scanNumbers(int column, const std::function<void(std::span<const double>)>& take) {
  impl_->scanNumbers(column, take);
}

void Dataset::updateColumn(int column, const NewValue& newValue) { impl_->updateColumn(column, newValue); }

}  // namespace ledger
