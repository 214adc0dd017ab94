#include "ledger/dataset.h"

#include <algorithm>
#include <cmath>
#include <cstdint>
#include <limits>
#include <numeric>
#include <utility>

#include "ledger/dataset_cursor.h"
#include "ledger/dataset_testing.h"
#include "ledger/errors.h"
#include "ledger/dbf_header.h"
#include "ledger/field_codec.h"
#include "ledger/locks.h"
#include "ledger/table.h"
#include "text/error.h"

namespace ledger {

namespace {

// Which records a walk shows, for positional access (grids): with no filter
// and no deleted rows row i is record i and nothing is kept; otherwise the
// record numbers, 4 bytes a row. Dropped at the start of every walk from the
// first row (other users may have deleted rows, the filter may see other
// criteria) and built again by that walk as it goes, or on first use; rows
// that others append are examined as they come.
class VisibleRows {
 public:
  void forget() {
    kind_ = Kind::Unknown;
    records_.clear();
    records_.shrink_to_fit();
    examined_ = 0;
  }
  bool known() const { return kind_ != Kind::Unknown; }

  // A walk that goes through the records in order tells what it saw, so that
  // a full walk leaves the rows known at no extra cost.
  [[gnu::always_inline]] void observe(std::int64_t record, bool shown) {
    if (record != examined_) return;
    if (kind_ == Kind::Identity && shown) {
      ++examined_;  // the usual case: every row shown so far
      return;
    }
    observeOther(shown);
  }

  // Brings the rows up to date with a table of `count` records.
  template <class Visible>
  void update(std::int64_t count, Visible visible) {
    if (count < examined_) forget();
    try {
      while (examined_ < count) observe(examined_, visible(examined_));
    } catch (...) {
      forget();
      throw;
    }
  }

  std::int64_t size() const {
    return kind_ == Kind::Indexed ? static_cast<std::int64_t>(records_.size()) : examined_;
  }
  std::int64_t recordAt(std::int64_t row) const {
    return kind_ == Kind::Indexed ? static_cast<std::int64_t>(records_[static_cast<std::size_t>(row)]) : row;
  }
  // The row of a record, or the row it would take when it is not shown.
  std::int64_t rowOf(std::int64_t record) const {
    if (kind_ != Kind::Indexed) return std::min(record, examined_);
    auto at = std::lower_bound(records_.begin(), records_.end(), static_cast<std::uint32_t>(record));
    return at - records_.begin();
  }
  void erase(std::int64_t record) {
    if (kind_ == Kind::Unknown || record >= examined_) return;
    if (kind_ == Kind::Identity) becomeIndexed();
    auto at = std::lower_bound(records_.begin(), records_.end(), static_cast<std::uint32_t>(record));
    if (at != records_.end() && *at == record) records_.erase(at);
  }

 private:
  [[gnu::noinline]] void observeOther(bool shown) {
    if (kind_ == Kind::Unknown) kind_ = Kind::Identity;  // examined_ is 0 here
    if (kind_ == Kind::Identity) {
      if (!shown) becomeIndexed();  // the first hidden record
    } else if (shown) {
      records_.push_back(static_cast<std::uint32_t>(examined_));
    }
    ++examined_;
  }

  // Rows so far were records 0 .. examined_-1; from now on they are listed.
  void becomeIndexed() {
    records_.resize(static_cast<std::size_t>(examined_));
    std::iota(records_.begin(), records_.end(), 0u);
    kind_ = Kind::Indexed;
  }

  enum class Kind { Unknown, Identity, Indexed };
  Kind kind_ = Kind::Unknown;
  std::vector<std::uint32_t> records_;
  std::int64_t examined_ = 0;
};

// A bulk update takes this many bytes of rows at a time: one range lock,
// one read and one write each, small enough to stay in the processor's
// cache between reading the block and writing it back.
constexpr std::size_t kUpdateBlockBytes = 256 << 10;
// Values a scan hands over per call.
constexpr std::size_t kScanBlockValues = 512;

bool isNumberType(FieldType type) { return type == FieldType::Numeric || type == FieldType::Float; }

bool sameLayout(const std::vector<Field>& fields, const Table& table) {
  const std::vector<FieldDef>& defs = table.fields();
  if (fields.size() != defs.size()) return false;
  for (std::size_t i = 0; i < defs.size(); ++i) {
    const Field& f = fields[i];
    if (f.name() != defs[i].name || f.type() != defs[i].type || f.length() != defs[i].length ||
        f.decimals() != defs[i].decimals) {
      return false;
    }
  }
  return true;
}

}  // namespace

struct Dataset::Impl {
  explicit Impl(Dataset& o) : owner(o) {}

  Dataset& owner;
  std::unique_ptr<Table> table;
  Cursor cursor;
  Cursor::Position beforeInsert;  // for cancel
  std::string buffer;         // the row in edit or insert state
  std::int64_t testing = -1;  // the record that the filter callback looks at
  // The bytes that the fields read while a bulk pass shows a row of its own
  // block to the filter or to its callback; takes precedence over the rest.
  const char* passRow = nullptr;
  bool inPass = false;  // a bulk pass's callback runs
  // Changes whenever the row that the fields read may change, besides the
  // cursor's moves: the state changes, the pending row changes, the filter
  // callback or a pass's callback starts or ends.
  std::uint64_t rowVersion = 0;
  bool filtering = false;
  VisibleRows rows;
  std::string repairNotice;
  std::string damageNotice;
  FileOpener openFile;

  // The last number decoded, for the next question about the same field of
  // the same row: a walk asks isNull() and then asFloat() of every row.
  struct DecodedNumber {
    int field = -1;
    std::uint64_t rowKey = 0;
    std::uint64_t tableGeneration = 0;
    bool present = false;
    double value = 0;
  } decoded;

  // --- reading --------------------------------------------------------------

  // The bytes that the fields read: the record under the filter callback, the
  // pending row, or the cursor's record.
  const char* rowBytes() {
    if (!table) return nullptr;
    if (passRow != nullptr) return passRow;
    if (testing >= 0) return table->record(testing);
    if (owner.state_ == DatasetState::Edit || owner.state_ == DatasetState::Insert) return buffer.data();
    if (!cursor.onRow()) return nullptr;
    return table->record(cursor.record());
  }

  // Both only grow, so the sum changes whenever either does.
  std::uint64_t rowKey() const { return rowVersion + cursor.moves(); }

  // A walk shows a record when it is not deleted and the filter takes it.
  bool shows(std::int64_t record) {
    if (table->record(record)[0] == dbf::RECORD_DELETED) return false;
    if (!owner.filtered_ || !owner.onFilterRecord) return true;
    testing = record;
    filtering = true;
    ++rowVersion;
    struct Restore {
      Impl& impl;
      ~Restore() {
        impl.testing = -1;
        impl.filtering = false;
        ++impl.rowVersion;
      }
    } restore{*this};
    return owner.onFilterRecord(owner);
  }

  // A flag up for as long as a callback runs.
  struct Raised {
    explicit Raised(bool& flag) : flag(flag) { flag = true; }
    ~Raised() { flag = false; }
    Raised(const Raised&) = delete;
    Raised& operator=(const Raised&) = delete;
    bool& flag;
  };

  // The fields read `bytes` while a bulk pass runs a callback on them.
  struct ShowPassRow {
    ShowPassRow(Impl& impl, const char* bytes, bool& flag) : impl(impl), raised(flag) {
      impl.passRow = bytes;
      ++impl.rowVersion;
    }
    ~ShowPassRow() {
      impl.passRow = nullptr;
      ++impl.rowVersion;
    }
    ShowPassRow(const ShowPassRow&) = delete;
    ShowPassRow& operator=(const ShowPassRow&) = delete;
    Impl& impl;
    Raised raised;
  };

  // As shows(), for a record whose bytes a bulk pass holds.
  bool showsBytes(const char* bytes) {
    if (bytes[0] == dbf::RECORD_DELETED) return false;
    if (!owner.filtered_ || !owner.onFilterRecord) return true;
    ShowPassRow show(*this, bytes, filtering);
    return owner.onFilterRecord(owner);
  }

  // A number field of the row the fields read; false when empty.
  bool number(const FieldDef& def, int index, int offset, double& out) {
    if (!table) return false;
    const bool known = index == decoded.field && rowKey() == decoded.rowKey &&
                       table->generation() == decoded.tableGeneration;
    if (!known) {
      const char* row = rowBytes();
      if (row == nullptr) return false;
      decoded.present = codec::decodeNumber(row + 1 + offset, def.length, decoded.value, def.decimals);
      decoded.field = index;
      decoded.rowKey = rowKey();
      decoded.tableGeneration = table->generation();
    }
    out = decoded.value;
    return decoded.present;
  }

  void changedBuffer() { ++rowVersion; }

  void ensureRows() {
    rows.update(table->recordCount(), [this](std::int64_t r) { return shows(r); });
  }

  // --- checks ---------------------------------------------------------------

  mincar::Error componentError(const std::string& text) const { return mincar::Error(owner.name_ + ": " + text); }
  // Out of the way of the checks below, which every cursor move makes.
  [[noreturn, gnu::cold, gnu::noinline]] void refuse(const char* text) const { throw componentError(text); }

  void checkActive() const {
    if (!table) [[unlikely]] refuse("Cannot perform this operation on a closed dataset");
  }
  // Operations that move the cursor or run the filter cannot run inside the
  // filter callback, which looks at one record while the cursor stands still.
  void checkCallable() const {
    checkActive();
    if (filtering) [[unlikely]] refuse("Cannot perform this operation inside the filter callback");
    if (inPass) [[unlikely]] refuse("Cannot perform this operation inside a pass over a column");
  }

  void notify(DataEvent event) { owner.source_.notify(event); }

  void setState(DatasetState state) {
    if (owner.state_ == state) return;
    owner.state_ = state;
    ++rowVersion;
    notify(DataEvent::StateChanged);
  }

  bool pending() const { return owner.state_ == DatasetState::Edit || owner.state_ == DatasetState::Insert; }

  // Moving the cursor stores a pending edit first, as post would.
  void storePending() {
    if (pending()) post();
  }

  // Rereads the header's count; true when rows came or went.
  bool refresh(bool forgetWindows) {
    if (forgetWindows) table->forgetWindows();
    const std::int64_t before = table->recordCount();
    const std::int64_t now = table->refreshCount();
    if (now < before) {
      rows.forget();
      if (cursor.record() >= now) cursor.leaveRow();
    }
    return now != before;
  }

  // --- opening --------------------------------------------------------------

  std::unique_ptr<Table> openTable(TableAccess access) const {
    if (openFile) return std::make_unique<Table>(owner.path_, access, openFile(owner.path_));
    return std::make_unique<Table>(owner.path_, access);
  }

  void open() {
    if (table) return;
    table = openTable(owner.readOnly_    ? TableAccess::ReadOnly
                      : owner.exclusive_ ? TableAccess::Exclusive
                                         : TableAccess::Shared);
    if (!sameLayout(owner.fields_, *table)) {
      // Field references stay valid across close and open while the layout
      // stays the same.
      owner.fields_.clear();
      owner.fields_.reserve(table->fields().size());
      for (std::size_t i = 0; i < table->fields().size(); ++i) {
        owner.fields_.push_back(Field(owner, table->fields()[i], static_cast<int>(i), table->offsets()[i]));
      }
    }
    repairNotice = table->takeRepairNotice();
    damageNotice = table->takeDamageNotice();
    rows.forget();
    cursor.empty();
    buffer.clear();
    changedBuffer();
    setState(DatasetState::Browse);
    moveFirst(DataEvent::DataSetChanged);
  }

  void close() {
    if (!table) return;
    checkCallable();
    storePending();
    table.reset();  // closing the file drops its locks
    rows.forget();
    cursor.empty();
    setState(DatasetState::Inactive);
    notify(DataEvent::DataSetChanged);
  }

  // For the destructor: stores a pending row without callbacks or events
  // (the listeners may be gone already) and never throws.
  void closeQuietly() noexcept {
    if (!table) return;
    try {
      if (owner.state_ == DatasetState::Edit) {
        table->writeRecord(cursor.record(), buffer);
        table->unlockRow(cursor.record());
      } else if (owner.state_ == DatasetState::Insert) {
        table->appendRecord(buffer);
      }
    } catch (...) {
      // Nobody is left to tell; the file keeps what it had.
    }
    table.reset();
  }

  // --- moving ---------------------------------------------------------------

  void moveFirst(DataEvent event) {
    const bool changed = refresh(true);
    rows.forget();
    cursor.leaveRow();
    std::int64_t found = -1;
    const std::int64_t count = table->recordCount();
    for (std::int64_t r = 0; r < count; ++r) {
      const bool shown = shows(r);
      rows.observe(r, shown);
      if (shown) {
        found = r;
        break;
      }
    }
    cursor.placeOnFirst(found);
    notify(changed ? DataEvent::DataSetChanged : event);
  }

  void first() {
    checkCallable();
    storePending();
    moveFirst(DataEvent::Scrolled);
  }

  void next() {
    checkCallable();
    storePending();
    if (!cursor.onRow()) {
      cursor.placeAfterLast();
      return;
    }
    const std::int64_t count = table->recordCount();
    for (std::int64_t r = cursor.record() + 1; r < count; ++r) {
      const bool shown = shows(r);
      rows.observe(r, shown);
      if (shown) {
        cursor.placeOn(r);
        notify(DataEvent::Scrolled);
        return;
      }
    }
    cursor.placeAfterLast();
  }

  void prior() {
    checkCallable();
    storePending();
    if (!cursor.onRow()) {
      cursor.placeBeforeFirst();
      return;
    }
    for (std::int64_t r = cursor.record() - 1; r >= 0; --r) {
      if (shows(r)) {
        cursor.placeOn(r);
        notify(DataEvent::Scrolled);
        return;
      }
    }
    cursor.placeBeforeFirst();
  }

  void last() {
    checkCallable();
    storePending();
    const bool changed = refresh(true);
    cursor.leaveRow();
    std::int64_t found = -1;
    for (std::int64_t r = table->recordCount() - 1; r >= 0; --r) {
      if (shows(r)) {
        found = r;
        break;
      }
    }
    if (found < 0) {
      cursor.empty();
    } else {
      cursor.placeOn(found);
    }
    notify(changed ? DataEvent::DataSetChanged : DataEvent::Scrolled);
  }

  void moveTo(std::int64_t row) {
    checkCallable();
    storePending();
    ensureRows();
    if (rows.size() == 0) {
      cursor.empty();
    } else {
      cursor.placeOn(rows.recordAt(std::clamp<std::int64_t>(row, 0, rows.size() - 1)));
    }
    notify(DataEvent::Scrolled);
  }

  bool gotoRecord(std::int64_t record) {
    checkCallable();
    storePending();
    ensureRows();
    const std::int64_t row = rows.rowOf(record);
    if (record < 0 || row >= rows.size() || rows.recordAt(row) != record) return false;
    cursor.placeOn(record);
    notify(DataEvent::Scrolled);
    return true;
  }

  // After a removal: the following row, or the new last row.
  void settleAfterRemoval(std::int64_t removed) {
    const std::int64_t count = table->recordCount();
    for (std::int64_t r = removed + 1; r < count; ++r) {
      if (shows(r)) {
        cursor.placeOn(r);
        return;
      }
    }
    for (std::int64_t r = removed - 1; r >= 0; --r) {
      if (shows(r)) {
        cursor.placeOn(r);
        return;
      }
    }
    cursor.empty();
  }

  // --- bulk passes ----------------------------------------------------------

  // The start of a bulk pass, as first() begins a walk.
  bool beginPass() {
    checkCallable();
    storePending();
    const bool changed = refresh(true);
    rows.forget();
    cursor.beginPass();
    return changed;
  }

  void scanNumbers(int column, const std::function<void(std::span<const double>)>& take) {
    checkCallable();
    const Field& f = owner.field(column);
    const bool changed = beginPass();
    const FieldDef& def = f.def_;
    const int offset = 1 + f.offset_;
    const bool plainWalk = isNumberType(def.type) && !(owner.filtered_ && owner.onFilterRecord);
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

  // The column's new value for the row in `bytes`, from the caller's callback.
  std::optional<Value> newValueOf(const char* bytes, const NewValue& newValue) {
    ShowPassRow show(*this, bytes, inPass);
    return newValue(owner);
  }

  // A block whose row locks we hold: read again under them, changed, and
  // the changed rows written back in one write.
  void updateLockedBlock(std::int64_t first, std::int64_t end, const Field& f, const NewValue& newValue,
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
        const bool shown = showsBytes(bytes);
        rows.observe(r, shown);
        if (!shown) continue;
        cursor.passOver(r);
        const std::optional<Value> value = newValueOf(bytes, newValue);
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

  // A block in which another user holds a row: its rows one at a time, each
  // as the walk treats it, read as it stands, and locked, read again,
  // changed and written only when it is to change.
  void updateBlockRowByRow(std::int64_t first, std::int64_t end, const Field& f, const NewValue& newValue,
                           std::string& block) {
    const std::size_t length = static_cast<std::size_t>(table->recordLength());
    table->rereadRecords(first, end, block.data());
    for (std::int64_t r = first; r < end; ++r) {
      const char* bytes = block.data() + static_cast<std::size_t>(r - first) * length;
      const bool shown = showsBytes(bytes);
      rows.observe(r, shown);
      if (!shown) continue;
      cursor.passOver(r);
      const std::optional<Value> value = newValueOf(bytes, newValue);
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

  void updateColumn(int column, const NewValue& newValue) {
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

  // --- changing -------------------------------------------------------------

  void append() {
    checkCallable();
    storePending();
    beforeInsert = cursor.position();
    buffer.assign(static_cast<std::size_t>(table->recordLength()), ' ');
    changedBuffer();
    setState(DatasetState::Insert);
    if (!owner.onNewRecord) return;
    try {
      owner.onNewRecord(owner);
    } catch (...) {
      // The append ends where the callback failed: what it stored stays, a
      // row it left pending is dropped and its lock released.
      try {
        if (pending()) cancel();
      } catch (...) {
      }
      throw;
    }
  }

  void edit() {
    checkCallable();
    if (pending()) return;
    if (!cursor.onRow()) {
      append();  // as the toolkit does on an empty dataset
      return;
    }
    if (!table->tryLockRow(cursor.record())) throw RowLockedError(table->shownPath());
    // Another user may have changed or deleted the row since we read it.
    std::string fresh;
    try {
      fresh = table->rereadRecord(cursor.record());
    } catch (...) {
      table->unlockRow(cursor.record());
      throw;
    }
    if (fresh[0] == dbf::RECORD_DELETED) {
      table->unlockRow(cursor.record());
      throw RowDeletedError(table->shownPath());
    }
    buffer = std::move(fresh);
    changedBuffer();
    setState(DatasetState::Edit);
    notify(DataEvent::RecordChanged);
  }

  void post() {
    checkCallable();
    if (owner.state_ == DatasetState::Insert) {
      // A failed write leaves the row pending, to post again or cancel.
      const std::int64_t record = table->appendRecord(buffer);
      cursor.placeOn(record);
      buffer.clear();
      changedBuffer();
      if (rows.known()) {
        try {
          ensureRows();
        } catch (...) {
          // The row is stored; the filter's failure shows at the next walk.
          rows.forget();
        }
      }
      setState(DatasetState::Browse);
      notify(DataEvent::DataSetChanged);
    } else if (owner.state_ == DatasetState::Edit) {
      table->writeRecord(cursor.record(), buffer);
      table->unlockRow(cursor.record());
      buffer.clear();
      changedBuffer();
      setState(DatasetState::Browse);
      notify(DataEvent::RecordChanged);
    }
  }

  void cancel() {
    checkCallable();
    if (owner.state_ == DatasetState::Insert) {
      buffer.clear();
      changedBuffer();
      cursor.restore(beforeInsert);
      setState(DatasetState::Browse);
      notify(DataEvent::Scrolled);
    } else if (owner.state_ == DatasetState::Edit) {
      table->unlockRow(cursor.record());
      buffer.clear();
      changedBuffer();
      setState(DatasetState::Browse);
      notify(DataEvent::RecordChanged);
    }
  }

  void remove() {
    checkCallable();
    if (owner.state_ == DatasetState::Insert) {
      cancel();  // the new row was never stored
      return;
    }
    if (!cursor.onRow()) throw componentError("Cannot perform this operation on an empty dataset");
    const bool editing = owner.state_ == DatasetState::Edit;  // holds the row lock already
    if (!editing && !table->tryLockRow(cursor.record())) throw RowLockedError(table->shownPath());
    try {
      const std::string fresh = table->rereadRecord(cursor.record());
      if (fresh[0] == dbf::RECORD_DELETED) throw RowDeletedError(table->shownPath());
      table->markDeleted(cursor.record());
    } catch (...) {
      // An edit in progress keeps its lock; a lock taken for the removal goes.
      if (!editing) table->unlockRow(cursor.record());
      throw;
    }
    table->unlockRow(cursor.record());
    buffer.clear();
    changedBuffer();
    const std::int64_t removed = cursor.record();
    rows.erase(removed);
    settleAfterRemoval(removed);
    setState(DatasetState::Browse);
    notify(DataEvent::DataSetChanged);
  }

  void setField(const FieldDef& def, int offset, const Value& value, codec::EmptyText emptyText) {
    checkActive();
    if (!pending()) throw componentError("Dataset not in edit or insert mode");
    codec::encode(def, value, owner.regional_, emptyText, buffer.data() + 1 + offset);
    changedBuffer();
    notify(DataEvent::RecordChanged);
  }

  // --- positions ------------------------------------------------------------

  std::int64_t rowIndex() {
    // Counting the rows would run the filter on other rows than the one
    // that the callback in progress looks at.
    if (!table || filtering || inPass) return -1;
    if (owner.state_ == DatasetState::Insert) {
      ensureRows();
      return rows.size();
    }
    if (!cursor.onRow()) return -1;
    ensureRows();
    return rows.rowOf(cursor.record());
  }

  // The bytes of a row by position, or null past the rows.
  const char* bytesAt(std::int64_t row) {
    checkCallable();
    ensureRows();
    if (owner.state_ == DatasetState::Insert && row == rows.size()) return buffer.data();
    if (row < 0 || row >= rows.size()) return nullptr;
    const std::int64_t record = rows.recordAt(row);
    if (owner.state_ == DatasetState::Edit && record == cursor.record()) return buffer.data();
    return table->record(record);
  }
};

// --- Field -------------------------------------------------------------------

bool Field::isNull() const {
  if (isNumberType(def_.type)) {
    double ignored;
    return !owner_->impl_->number(def_, index_, offset_, ignored);
  }
  const char* row = owner_->impl_->rowBytes();
  return row == nullptr || codec::isNull(def_, row + 1 + offset_);
}

Value Field::value() const {
  if (isNumberType(def_.type)) {
    double v;
    if (owner_->impl_->number(def_, index_, offset_, v)) return v;
    return {};
  }
  const char* row = owner_->impl_->rowBytes();
  if (row == nullptr) return {};
  return codec::decode(def_, row + 1 + offset_);
}

double Field::asFloat() const {
  if (isNumberType(def_.type)) {
    double v;
    return owner_->impl_->number(def_, index_, offset_, v) ? v : 0.0;
  }
  const char* row = owner_->impl_->rowBytes();
  if (row == nullptr) return 0.0;
  return codec::toFloat(def_, row + 1 + offset_, owner_->regional_);
}

std::int64_t Field::asInteger() const {
  const double v = asFloat();
  if (std::isnan(v)) return 0;
  // Beyond 2^63 llround has no answer; the nearest whole number that fits.
  constexpr double limit = 9223372036854775807.0;
  if (v >= limit) return std::numeric_limits<std::int64_t>::max();
  if (v <= -limit) return std::numeric_limits<std::int64_t>::min();
  return static_cast<std::int64_t>(std::llround(v));
}

std::string Field::asString() const {
  const char* row = owner_->impl_->rowBytes();
  if (row == nullptr) return {};
  return codec::toText(def_, row + 1 + offset_, owner_->regional_);
}

text::Date Field::asDate() const {
  const char* row = owner_->impl_->rowBytes();
  if (row == nullptr) return {};
  return codec::toDate(def_, row + 1 + offset_, owner_->regional_);
}

void Field::setValue(const Value& v) { owner_->impl_->setField(def_, offset_, v, codec::EmptyText::Refused); }

void Field::setAsString(std::string_view text) {
  owner_->impl_->setField(def_, offset_, Value{std::string(text)}, codec::EmptyText::Clears);
}

// --- DataSource --------------------------------------------------------------

void DataSource::setEnabled(bool on) {
  switch_ = on;
  update();
}

void DataSource::update() {
  const bool was = on_;
  on_ = switch_ && quiet_ == 0;
  if (on_ && !was) notify(DataEvent::DataSetChanged);
}

DataSource::Quiet::Quiet(DataSource& source) : source_(source) {
  ++source_.quiet_;
  source_.update();
}

DataSource::Quiet::~Quiet() {
  --source_.quiet_;
  try {
    source_.update();
  } catch (...) {
  }
}

int DataSource::subscribe(Listener listener) {
  const int handle = nextHandle_++;
  listeners_.emplace_back(handle, std::move(listener));
  return handle;
}

void DataSource::unsubscribe(int handle) {
  std::erase_if(listeners_, [handle](const auto& entry) { return entry.first == handle; });
}

namespace {

// A listener may subscribe or unsubscribe others (or itself) meanwhile:
// each one that is still subscribed is called, by handle.
[[gnu::noinline]] void tellListeners(std::vector<std::pair<int, DataSource::Listener>>& listeners,
                                     const bool& enabled, DataEvent event) {
  std::vector<int> handles;
  handles.reserve(listeners.size());
  for (const auto& entry : listeners) handles.push_back(entry.first);
  for (int handle : handles) {
    auto at = std::find_if(listeners.begin(), listeners.end(),
                           [handle](const auto& entry) { return entry.first == handle; });
    if (at == listeners.end()) continue;
    DataSource::Listener listener = at->second;  // survives its own unsubscribe
    listener(event);
    if (!enabled) return;
  }
}

}  // namespace

// Kept small, so that a walk nobody watches pays one test per row.
void DataSource::notify(DataEvent event) {
  if (on_ && !listeners_.empty()) tellListeners(listeners_, on_, event);
}

// --- Dataset -----------------------------------------------------------------

Dataset::Dataset(std::string componentName, std::filesystem::path path, text::Regional regional)
    : name_(std::move(componentName)),
      path_(std::move(path)),
      regional_(std::move(regional)),
      impl_(std::make_unique<Impl>(*this)) {}

// A pending row is stored, as close() would; a failure cannot be reported
// from here and leaves the file as it was.
Dataset::~Dataset() { impl_->closeQuietly(); }

void Dataset::open() { impl_->open(); }
void Dataset::close() { impl_->close(); }
bool Dataset::active() const { return impl_->table != nullptr; }

void Dataset::setExclusive(bool on) {
  if (impl_->table) throw impl_->componentError("Cannot perform this operation on an open dataset");
  exclusive_ = on;
}

void Dataset::setReadOnly(bool on) {
  if (impl_->table) throw impl_->componentError("Cannot perform this operation on an open dataset");
  readOnly_ = on;
}

void Dataset::emptyTable() {
  if (impl_->table) throw impl_->componentError("Cannot perform this operation on an open dataset");
  if (!exclusive_) throw impl_->componentError("Cannot empty the table without exclusive mode");
  impl_->openTable(TableAccess::Exclusive)->empty();
}

void Dataset::storePendingEdit() {
  if (state_ == DatasetState::Edit || state_ == DatasetState::Insert) post();
}

void Dataset::beginSyncBatch() {
  if (!impl_->table) throw impl_->componentError("Cannot perform this operation on a closed dataset");
  impl_->table->beginSyncBatch();
}

void Dataset::endSyncBatch() {
  if (impl_->table) impl_->table->endSyncBatch();
}

void Dataset::lockNumbering() {
  if (!impl_->table) throw impl_->componentError("Cannot perform this operation on a closed dataset");
  impl_->table->lockNumbering();
}

void Dataset::unlockNumbering() noexcept {
  if (impl_->table) impl_->table->unlockNumbering();
}

std::string Dataset::takeRepairNotice() { return std::exchange(impl_->repairNotice, std::string()); }
std::string Dataset::takeDamageNotice() { return std::exchange(impl_->damageNotice, std::string()); }

void Dataset::append() { impl_->append(); }
void Dataset::edit() { impl_->edit(); }
void Dataset::post() { impl_->post(); }
void Dataset::cancel() { impl_->cancel(); }
void Dataset::remove() { impl_->remove(); }

void Dataset::first() { impl_->first(); }
void Dataset::next() { impl_->next(); }
void Dataset::prior() { impl_->prior(); }
void Dataset::last() { impl_->last(); }
bool Dataset::eof() const { return !impl_->table || impl_->cursor.eof(); }
bool Dataset::bof() const { return !impl_->table || impl_->cursor.bof(); }

bool Dataset::isEmpty() const {
  if (!impl_->table) return true;
  if (state_ == DatasetState::Insert) return false;
  return !impl_->cursor.onRow();
}

Field& Dataset::field(int position) {
  if (position < 0 || position >= fieldCount()) {
    throw impl_->componentError(mincar::fill("Field index %d out of range", {std::to_string(position)}));
  }
  return fields_[static_cast<std::size_t>(position)];
}

const Field& Dataset::field(int position) const { return const_cast<Dataset*>(this)->field(position); }

std::int64_t Dataset::recordCount() {
  impl_->checkCallable();
  impl_->refresh(false);
  impl_->ensureRows();
  return impl_->rows.size();
}

void Dataset::scanNumbers(int column, const std::function<void(std::span<const double>)>& take) {
  impl_->scanNumbers(column, take);
}

void Dataset::updateColumn(int column, const NewValue& newValue) { impl_->updateColumn(column, newValue); }

void Dataset::setFiltered(bool on) {
  if (on == filtered_) return;
  if (!impl_->table) {
    filtered_ = on;
    return;
  }
  impl_->checkCallable();
  impl_->storePending();
  filtered_ = on;
  impl_->moveFirst(DataEvent::DataSetChanged);
}

void Dataset::refilter() {
  if (!impl_->table) return;
  impl_->checkCallable();
  impl_->storePending();
  impl_->moveFirst(DataEvent::DataSetChanged);
}

std::int64_t Dataset::rowIndex() const { return impl_->rowIndex(); }

void Dataset::moveTo(std::int64_t row) { impl_->moveTo(row); }

std::int64_t Dataset::recordNumber() const { return impl_->table ? impl_->cursor.record() : -1; }

bool Dataset::gotoRecord(std::int64_t record) { return impl_->gotoRecord(record); }

Value Dataset::valueAt(std::int64_t row, int column) {
  const Field& f = field(column);
  const char* bytes = impl_->bytesAt(row);
  if (bytes == nullptr) return {};
  return codec::decode(f.def_, bytes + 1 + f.offset_);
}

std::string Dataset::textAt(std::int64_t row, int column) {
  const Field& f = field(column);
  const char* bytes = impl_->bytesAt(row);
  if (bytes == nullptr) return {};
  return codec::toText(f.def_, bytes + 1 + f.offset_, regional_);
}

void DatasetTestAccess::setFileOpener(Dataset& dataset, FileOpener opener) {
  dataset.impl_->openFile = std::move(opener);
}

}  // namespace ledger
