#pragma once
#include <cstdint>
#include <filesystem>
#include <functional>
#include <memory>
#include <optional>
#include <span>
#include <string>
#include <string_view>
#include <vector>

#include "ledger/value.h"
#include "text/regional.h"

namespace ledger {

class Table;
class Dataset;

// Creates a new, empty dBASE III table with these columns (Windows-1250
// language driver). Refuses with mincar::Error when the file already exists.
void createTable(const std::filesystem::path& path, const std::vector<FieldDef>& fields);

enum class DatasetState { Inactive, Browse, Edit, Insert };

// One column of a Dataset's current row. Reads see the row under the cursor
// (during a filter callback: the row being tested); writes need edit or insert
// state.
class Field {
 public:
  const std::string& name() const { return def_.name; }
  FieldType type() const { return def_.type; }
  int length() const { return def_.length; }
  int decimals() const { return def_.decimals; }
  int index() const { return index_; }

  bool isNull() const;
  Value value() const;
  double asFloat() const;         // empty reads as 0
  std::int64_t asInteger() const; // rounded to the nearest whole number; empty reads as 0
  std::string asString() const;   // "" when empty; numbers in the general form, dates in the short date format
  text::Date asDate() const;      // {} when empty

  // Stores a value: a number, a text (cut to the column's length; a number or
  // date column parses it with the regional settings) or empty. A value that
  // the column cannot take is refused with "Invalid value for field '%s'" and
  // nothing changes.
  void setValue(const Value& v);
  void setAsString(std::string_view text);
  void setAsFloat(double v) { setValue(Value{v}); }
  void clear() { setValue(Value{}); }
  // Takes the other column's current value; empty copies as empty.
  void assign(const Field& other) { setValue(other.value()); }

 private:
  friend class Dataset;
  Field(Dataset& owner, FieldDef def, int index, int offset)
      : owner_(&owner), def_(std::move(def)), index_(index), offset_(offset) {}
  Dataset* owner_;
  FieldDef def_;
  int index_;
  int offset_;  // within the record, after the deletion flag
};

// What a data source tells the controls bound to it.
enum class DataEvent {
  DataSetChanged,  // rows came or went, or everything may differ: reread all
  RecordChanged,   // a value of the current row changed
  Scrolled,        // the cursor moved to another row
  StateChanged,    // browse / edit / insert changed
};

// The switch between a Dataset and its bound controls (grids, edits). While
// it is off, or while any Quiet lives, listeners hear nothing; when both
// let go they hear one DataSetChanged.
class DataSource {
 public:
  using Listener = std::function<void(DataEvent)>;
  bool enabled() const { return on_; }
  // The switch as a user of the table sets it.
  void setEnabled(bool on);
  int subscribe(Listener listener);  // returns a handle for unsubscribe
  void unsubscribe(int handle);
  void notify(DataEvent event);

  // Keeps the controls still for a pass and lets them read everything anew
  // at its end, however it ends. Passes nest; a switch that someone turned
  // off meanwhile stays off.
  class Quiet {
   public:
    explicit Quiet(DataSource& source);
    ~Quiet();  // a listener's failure on DataSetChanged is its own to show
    Quiet(const Quiet&) = delete;
    Quiet& operator=(const Quiet&) = delete;

   private:
    DataSource& source_;
  };

 private:
  void update();
  bool switch_ = true;
  int quiet_ = 0;
  bool on_ = true;  // switch_ and no Quiet: read once per row by walks
  int nextHandle_ = 1;
  std::vector<std::pair<int, Listener>> listeners_;
};

// The table component: a cursor over one dBASE table in natural order, with
// the states browse, edit and insert, the new-row and filter callbacks and a
// data source. Walks skip deleted rows and, while the filter is on, rows the
// filter callback refuses. Moving the cursor stores a pending edit first.
class Dataset {
 public:
  // componentName prefixes the component's own errors ("Table1: Cannot
  // perform this operation on an empty dataset").
  Dataset(std::string componentName, std::filesystem::path path, text::Regional regional);
  ~Dataset();
  Dataset(const Dataset&) = delete;
  Dataset& operator=(const Dataset&) = delete;

  const std::string& componentName() const { return name_; }
  const std::filesystem::path& path() const { return path_; }
  const text::Regional& regional() const { return regional_; }

  // Opening is shared unless exclusive is set; opening an open table does
  // nothing. Errors: "Cannot open file %s", damage, "table in use".
  void open();
  void close();
  bool active() const;
  void setActive(bool on) { on ? open() : close(); }
  void setExclusive(bool on);  // only while closed
  bool exclusive() const { return exclusive_; }
  // For a command that only reads: the table is opened for reading, nothing
  // is written (repairs wait), and a change is refused with the reason.
  // Only while closed.
  void setReadOnly(bool on);
  bool readOnly() const { return readOnly_; }
  // Removes every row; needs the table closed and exclusive mode set, and
  // fails while another process has the table open.
  void emptyTable();

  // The table's numbering lock (locks.h), waited for (bounded). The new-row
  // rules hold it from before the new row is stored until its number is; an
  // import's batch from before its first row until its last is numbered.
  void lockNumbering();
  void unlockNumbering() noexcept;

  // Many changes confirmed as one (a bulk fill): while a batch is open they
  // are not forced to the disk one by one; ending it forces them all.
  // Errors of the end: "Cannot write to %s: %s".
  void beginSyncBatch();
  void endSyncBatch();

  // What the engine had to repair when it opened the table ("" if nothing),
  // for the status line; reading it clears it.
  std::string takeRepairNotice();
  // What the engine found damaged and repaired when it opened the table,
  // keeping the file as found beside it ("" if nothing): too grave for the
  // status line, the user must read it. Reading it clears it.
  std::string takeDamageNotice();

  DatasetState state() const { return state_; }
  // True while the filter callback or a pass's callback runs: the rows
  // cannot be read by position then (a view repainted meanwhile waits).
  bool insideCallback() const;
  // Stores a pending edit or insert, as moving the cursor does; a pass over
  // the rows starts so.
  void storePendingEdit();
  void append();  // insert state; onNewRecord runs before it returns
  void edit();    // from browse: locks the row; on an empty dataset: append
  void post();
  void cancel();
  void remove();  // delete the current row at once

  void first();
  void next();
  void prior();
  void last();
  bool eof() const;  // true on an empty dataset and after next on the last row
  bool bof() const;
  bool isEmpty() const;

  int fieldCount() const { return static_cast<int>(fields_.size()); }
  Field& field(int position);
  const Field& field(int position) const;

  // Rows a walk from first to end would visit (filter honoured). Rereads the
  // table's row count, so rows that other processes appended count.
  std::int64_t recordCount();

  // For a grid that learns its rows in steps instead of counting them all
  // (a walk of every record under the filter) after every change. Rows are
  // numbered as recordCount() numbers them; a row being inserted is not
  // among them.
  //  - knownRowCount(): the rows known so far from the first one on, with
  //    no record examined;
  //  - allRowsKnown(): every record has been examined, so knownRowCount()
  //    is what recordCount() said when the count was last reread;
  //  - knowRows(): examines records on from the last one examined until
  //    `rows` rows are known, `records` more records have been examined or
  //    every record has; once every record has, rereads the table's count
  //    as recordCount() does and goes on with what others appended, in the
  //    same budget. Returns knownRowCount().
  // The rows are forgotten and learnt again from the first one by every
  // first() (setFiltered, refilter and open included). The positional
  // calls below walk only as far as the row they need.
  std::int64_t knownRowCount() const;
  bool allRowsKnown() const;
  std::int64_t knowRows(std::int64_t rows, std::int64_t records);

  // The most records that first() (and with it setFiltered, refilter and
  // open) examines looking for the first shown row. When none of them is
  // shown, first() returns with the cursor seeking (seekingFirstRow()): it
  // lands on the first row that knowRows() or any walk of the rows finds,
  // or at once, walking on as far as it takes, when something needs it
  // (eof(), a field's value, next(), rowIndex() ...). A filter callback's
  // failure may so come from that later call. Also the step a grid's
  // knowRows() takes. At least 1.
  static constexpr std::int64_t kDefaultExamineStep = 32768;
  void setExamineStep(std::int64_t records);
  std::int64_t examineStep() const { return examineStep_; }
  bool seekingFirstRow() const;

  // Passes over one column of every row that a walk from the first row
  // visits (deleted rows skipped, the filter honoured), in natural order:
  // what a walk with first() and next() would do, without its cost per row.
  // Both store a pending edit first, as first() does, and leave the cursor
  // where that walk ends: on the last row it visited. Their callbacks may
  // read fields (and other tables) but not move this table's cursor.

  // The non-empty values of the column, read as Field::asFloat reads them,
  // handed to `take` a block at a time.
  void scanNumbers(int column, const std::function<void(std::span<const double>)>& take);

  // Sets the column of each row as edit(), setValue() and post() would.
  // newValue reads the row through the fields and gives the value to store,
  // or nothing to leave the row alone. The row locks of a block of rows are
  // taken in one call, the block is read again under them, changed and
  // written back at once. When another user holds a row of the block, its
  // rows are taken one by one instead, so that the update stops at exactly
  // the held row that was to change, with the lock message. Any error stops
  // the update at its row with the rows before it stored; the cursor then
  // stands on that row. Rows that other processes append meanwhile are left
  // for the next walk. The data source hears DataSetChanged once, at the end.
  using NewValue = std::function<std::optional<Value>(const Dataset&)>;
  void updateColumn(int column, const NewValue& newValue);

  void setFiltered(bool on);
  bool filtered() const { return filtered_; }
  // The criteria that the filter callback reads have changed: rows are
  // tested anew and the cursor goes to the first row.
  void refilter();

  std::function<void(Dataset&)> onNewRecord;
  std::function<bool(Dataset&)> onFilterRecord;

  DataSource& dataSource() { return source_; }

  // Positional access for grid models. Rows are numbered 0.. recordCount()-1
  // in walk order; rowIndex() is the cursor's row (-1 when empty; in insert
  // state the row being inserted, recordCount(), which needs every record
  // examined). Each examines records only as far as the row it needs.
  std::int64_t rowIndex() const;
  void moveTo(std::int64_t row);
  // The physical record under the cursor (-1 when there is none). Unlike a
  // row number it stays put while other processes append or delete.
  std::int64_t recordNumber() const;
  // Puts the cursor on that record, storing a pending edit first; false
  // when a walk would not visit it (deleted, filtered out, past the end).
  bool gotoRecord(std::int64_t record);
  // Deleted rows. A deleted record keeps its bytes in the file, only marked
  // with the format's deletion flag, until the table is rebuilt (a
  // restore). Record numbers count from 0 here; messages name them as dBASE
  // does (RECNO, from 1).
  //
  // The records that walks skip as deleted, in natural order. Rereads the
  // table's count as recordCount() does and sees what other users deleted.
  std::vector<std::int64_t> deletedRecords();
  // Whether the record is deleted; a record beyond the table is refused with
  // "There is no record %d in %s, which holds %d records".
  bool recordDeleted(std::int64_t record);
  // A column of any record, deleted or not, by its record number, as
  // valueAt() and textAt() read a row; the cursor's record shows its
  // pending edit. The same refusal beyond the table.
  Value recordValue(std::int64_t record, int column);
  std::string recordText(std::int64_t record, int column);
  // Takes a deleted record back in its place: its record number, and so its
  // place in the natural order, stays. As edit() does for a row, the
  // record's row lock is taken (refused with "Record locked by another
  // user." while another user holds it) and the record read again; the
  // cursor then stands on it in edit state with its values, which the
  // caller may change before post() stores the record, no longer deleted.
  // cancel() leaves it deleted and puts the cursor back where it stood.
  // A pending edit is stored first. Refused: a record beyond the table, and
  // "Record %d of %s is not deleted".
  void recall(std::int64_t record);
  bool recalling() const;

  // A value of any row without moving the cursor; the cursor row shows its
  // pending edit.
  Value valueAt(std::int64_t row, int column);
  std::string textAt(std::int64_t row, int column);  // as Field::asString

 private:
  friend class Field;
  friend struct DatasetTestAccess;
  struct Impl;
  // Takes the table's columns as the fields; while the layout stays the same
  // the fields stay, so that references to them survive close and open.
  void adoptLayout(const Table& table);

  std::string name_;
  std::filesystem::path path_;
  text::Regional regional_;
  bool exclusive_ = false;
  bool readOnly_ = false;
  bool filtered_ = false;
  std::int64_t examineStep_ = kDefaultExamineStep;
  DatasetState state_ = DatasetState::Inactive;
  std::vector<Field> fields_;
  DataSource source_;
  std::unique_ptr<Impl> impl_;
};

}  // namespace ledger
