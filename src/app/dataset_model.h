#pragma once
#include <cstdint>
#include <string>

#include <QAbstractTableModel>

#include "ledger/dataset.h"

namespace app {

// A text of the tables (Windows-1250) as the windows show it.
QString fromCp1250(const std::string& bytes);
// Where a column's cells stand: numbers right, everything else left.
Qt::Alignment cellAlignment(ledger::FieldType type);

// A ledger::Dataset as a table model for the grids of the journal, books and
// movements windows. Rows are read from the dataset when a view asks for
// them; nothing is copied, so a journal of a million rows opens at once.
//
// Rows are learnt in steps, never counted whole on a change (under the
// search dialog's filter a count is a walk of every record): after a change
// the first screenful (kFirstRows, within the dataset's examineStep()), then
// one step of at most examineStep() records per turn of the event loop
// until every record has been examined, each step's rows added at the end.
// A change in between starts again from the first row. rowCount() is what
// is known so far and canFetchMore() says whether more may come; the
// cursor's row, once the dataset has found it, is among the known rows, and
// a jump to the last row (fetchAll) learns them all.
//
// Edit policy, the one place where it is decided when a change is stored
// (the toolkit grid's, like QSqlTableModel's OnRowChange):
//  - the first keystroke into a cell or box of a row puts it into edit state
//    (beginEdit), which locks it: another copy's lock is refused before the
//    user types the value, not when the cell is left;
//  - setData moves the dataset's cursor to the row, puts the row into edit
//    state if it is not yet and sets the field from its text; the row stays
//    pending;
//  - the pending row is stored when the cursor moves to another row (the
//    view's current row changing, or any command that moves the dataset);
//  - revert() (Esc in the grid) cancels the pending row;
//  - submit(), which views call when an editor closes with Enter, stores
//    nothing: Enter ends the cell, not the row.
// An engine error ends the edit where it was raised and is shown in the
// error box once the view has finished its own handling of the key or
// click; the row stays in edit state.
class DatasetModel : public QAbstractTableModel {
  Q_OBJECT
 public:
  explicit DatasetModel(ledger::Dataset& dataset, QObject* parent = nullptr);
  ~DatasetModel() override;

  ledger::Dataset& dataset() { return dataset_; }

  int rowCount(const QModelIndex& parent = {}) const override;
  int columnCount(const QModelIndex& parent = {}) const override;
  QVariant data(const QModelIndex& index, int role = Qt::DisplayRole) const override;
  QVariant headerData(int section, Qt::Orientation orientation,
                      int role = Qt::DisplayRole) const override;
  Qt::ItemFlags flags(const QModelIndex& index) const override;
  bool setData(const QModelIndex& index, const QVariant& value, int role = Qt::EditRole) override;
  bool canFetchMore(const QModelIndex& parent) const override;
  // One step: at most examineStep() records examined.
  void fetchMore(const QModelIndex& parent) override;
  // Every row, however many records it takes: for a jump to the last one.
  void fetchAll();
  // True when no row is shown at all. Rows still to come are looked for
  // first: a filter whose first match lies beyond the records examined so
  // far is no empty table.
  bool showsNoRows();
  // Rows the first step after a change looks for: more than a tall window
  // shows, so that it is full without waiting for the next steps.
  static constexpr std::int64_t kFirstRows = 100;

  // The dataset's cursor row, -1 when there is none.
  int cursorRow() const;
  // Moves the cursor to a row, storing the pending edit of another row.
  bool moveCursorTo(int row);
  // Moves the cursor to a row and puts it into edit state, as typing into
  // it begins. False, with the error shown, when the row cannot be edited.
  bool beginEdit(int row);
  void revert() override;
  // A new row through the dataset's append, which runs its new-row rule.
  bool appendRow();
  // Deletes the cursor's row.
  bool removeCursorRow();
  // Counts the typed values the table refused, so that a caller can tell
  // whether what it handed over went in.
  int refusals() const { return refusals_; }

 signals:
  // The dataset's cursor stands on this row now; views follow it.
  void cursorMoved(int row);

 private:
  void onDataEvent(ledger::DataEvent event);
  // The first screenful and the rows up to the cursor's, learnt; returns
  // the rows to show.
  int firstRows();
  // Rows as the dataset knows them, the one being inserted included.
  int knownRows();
  void reread();       // everything may differ: reset the views
  bool resyncCount();  // rows may have come or gone, or become known; false when it failed
  void fetchStep(std::int64_t wantedRows, std::int64_t records);
  void fillLater(int delayMs = 0);
  // Tells the views where the cursor is, and remembers what it told.
  void tellCursor();
  void rowChanged(int row);
  void resyncViewsLater();
  void report(const std::exception& error) const;

  int refusals_ = 0;

  ledger::Dataset& dataset_;
  int subscription_ = 0;
  int rows_ = 0;  // as the views were last told; refreshed on the dataset's events and by the steps
  int toldCursor_ = -1;
  bool fillScheduled_ = false;
  bool fetching_ = false;
  bool changing_ = false;  // from begin to the end of telling the views of a change
  struct Changing {
    explicit Changing(bool& flag) : flag(flag), was(flag) { flag = true; }
    ~Changing() { flag = was; }
    Changing(const Changing&) = delete;
    Changing& operator=(const Changing&) = delete;
    bool& flag;
    bool was;
  };
  bool fillFailed_ = false;  // a step failed: no more until the next change
  ledger::DatasetState lastState_ = ledger::DatasetState::Inactive;
  mutable bool readErrorShown_ = false;
  mutable QString queuedError_;
};

}  // namespace app
