#pragma once
#include <cstdint>
#include <functional>
#include <memory>
#include <optional>
#include <span>
#include <string>
#include <string_view>

#include "ledger/dataset.h"
#include "ledger/dataset_cursor.h"
#include "ledger/dataset_testing.h"
#include "ledger/errors.h"
#include "ledger/field_codec.h"
#include "ledger/table.h"
#include "ledger/visible_rows.h"
#include "text/error.h"

namespace ledger {

inline bool isNumberType(FieldType type) { return type == FieldType::Numeric || type == FieldType::Float; }

// What a Dataset keeps beside its public state: the open table, the cursor,
// the pending row and the rows a walk shows. The bulk passes over a column
// are in dataset_passes.cpp.
struct Dataset::Impl {
  explicit Impl(Dataset& o) : owner(o) {}

  Dataset& owner;
  std::unique_ptr<Table> table;
  Cursor cursor;
  Cursor::Position beforeInsert;  // for cancel, of an append or a recall
  bool recalling = false;  // the edit state takes a deleted record back
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

  // The bytes that the fields read: the record under the filter callback, the
  // pending row, or the cursor's record.
  const char* rowBytes();

  // Both only grow, so the sum changes whenever either does.
  std::uint64_t rowKey() const { return rowVersion + cursor.moves(); }

  // A walk shows a record when it is not deleted and the filter takes it.
  bool shows(std::int64_t record);
  bool filterOn() const { return owner.filtered_ && owner.onFilterRecord; }
  // The filter callback's answer for the row that the fields read.
  bool filterTakes() { return owner.onFilterRecord(owner); }

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
  bool showsBytes(const char* bytes);

  // A number field of the row the fields read; false when empty.
  bool number(const FieldDef& def, int index, int offset, double& out);

  void changedBuffer() { ++rowVersion; }

  // The rows, known from the first one on only as far as asked: every row;
  // rows 0..row (or all there are); every record up to this one examined.
  void ensureRows();
  void rowsThroughRow(std::int64_t row);
  void rowsThroughRecord(std::int64_t record);
  // Walks on (see VisibleRows::extend); true when every record is examined.
  bool extendRows(std::int64_t rows, std::int64_t until);
  std::int64_t knowRows(std::int64_t rows, std::int64_t records);
  // A seeking cursor lands once the rows tell where the first one is.
  void landSeekingCursor();
  // A seeking cursor lands now, walking on as far as it takes; not while a
  // callback runs, which sees the cursor as the walk left it.
  void settleCursor();

  mincar::Error componentError(std::string_view text) const {
    return mincar::Error(owner.name_ + ": " + std::string(text));
  }
  // Out of the way of the checks below, which every cursor move makes.
  [[noreturn, gnu::cold, gnu::noinline]] void refuse(std::string_view text) const { throw componentError(text); }

  void checkActive() const {
    if (!table) [[unlikely]] refuse(messages::kClosedDataset);
  }
  // Operations that move the cursor or run the filter cannot run inside the
  // filter callback, which looks at one record while the cursor stands still.
  void checkCallable() const {
    checkActive();
    if (filtering) [[unlikely]] refuse(messages::kInsideFilter);
    if (inPass) [[unlikely]] refuse(messages::kInsidePass);
  }

  void notify(DataEvent event) { owner.source_.notify(event); }

  void setState(DatasetState state);

  bool pending() const { return owner.state_ == DatasetState::Edit || owner.state_ == DatasetState::Insert; }

  // Moving the cursor stores a pending edit first, as post would.
  void storePending() {
    if (pending()) post();
  }

  // Rereads the header's count; true when rows came or went.
  bool refresh(bool forgetWindows);

  std::unique_ptr<Table> openTable(TableAccess access) const;
  void open();
  void close();
  // For the destructor: stores a pending row without callbacks or events
  // (the listeners may be gone already) and never throws.
  void closeQuietly() noexcept;

  void moveFirst(DataEvent event);
  void first();
  void next();
  void prior();
  void last();
  void moveTo(std::int64_t row);
  bool gotoRecord(std::int64_t record);
  // After a removal: the following row, or the new last row.
  void settleAfterRemoval(std::int64_t removed);

  // The start of a bulk pass, as first() begins a walk.
  bool beginPass();
  void scanNumbers(int column, const std::function<void(std::span<const double>)>& take);
  void updateColumn(int column, const NewValue& newValue);
  // The column's new value for the row in `bytes`, from the caller's callback.
  std::optional<Value> newValueOf(const char* bytes, const NewValue& newValue);
  // A pass's step onto record r: counted as shown or hidden, the cursor on
  // it when shown, and the value it is to take, if any.
  std::optional<Value> stepOnto(std::int64_t r, const char* bytes, const NewValue& newValue);
  // A block whose row locks we hold: read again under them, changed, and
  // the changed rows written back in one write.
  void updateLockedBlock(std::int64_t first, std::int64_t end, const Field& f, const NewValue& newValue,
                         std::string& block);
  // A block in which another user holds a row: its rows one at a time, each
  // as the walk treats it, read as it stands, and locked, read again,
  // changed and written only when it is to change.
  void updateBlockRowByRow(std::int64_t first, std::int64_t end, const Field& f, const NewValue& newValue,
                           std::string& block);

  void append();
  void edit();
  void recall(std::int64_t record);
  // A record number that the table holds; else the refusal naming it.
  void checkRecord(std::int64_t record);
  // The bytes of any record by number; the cursor's shows its pending edit.
  const char* bytesOfRecord(std::int64_t record);
  void post();
  void cancel();
  void remove();
  void setField(const FieldDef& def, int offset, const Value& value, codec::EmptyText emptyText);

  std::int64_t rowIndex();
  // The bytes of a row by position, or null past the rows.
  const char* bytesAt(std::int64_t row);
};

}  // namespace ledger
