#pragma once
#include <cstddef>
#include <cstdint>
#include <filesystem>
#include <functional>
#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "app/status_line.h"
#include "ledger/dataset.h"
#include "text/date.h"
#include "text/regional.h"

namespace app {

// What the journal's new-row rule puts into a new row besides its number:
// the calendar's date (its step 7) and the current book and movement (step 9).
struct JournalStamp {
  // A list's current value, empty on an empty list. `missing`: the list has
  // rows but lacks the column, which the rule refuses as reading the column
  // refuses it, and a restore takes as empty.
  struct FromList {
    ledger::Value value;
    bool missing = false;
  };
  std::string date;   // the calendar date's short-date text
  FromList book;      // column 0 of the books' current row
  FromList move;      // column 0 of the movements' current row
  FromList moveName;  // column 1 of the movements' current row
};

// The three ledger tables with every rule that crosses them: the new-row
// rules, the stamps of the lists and the calendar, the balance
// recomputation. The windows and mincar-cli are thin front ends over it.
class Ledger {
 public:
  Ledger(std::filesystem::path workDir, text::Regional regional, StatusLine& status);
  ~Ledger();

  // Creates missing tables, then opens journal, movements and books in the
  // windows' creation order; installs the new-row callbacks and the journal's
  // filter (on, letting every row through until a criterion is set).
  void open();
  // The same for a command that only reads: no table is created or written,
  // repairs wait for the next opening for writing, and a change is refused.
  void openForReading();

  ledger::Dataset& journal() { return journal_; }
  ledger::Dataset& moves() { return moves_; }
  ledger::Dataset& books() { return books_; }
  StatusLine& status() { return status_; }
  const text::Regional& regional() const { return regional_; }
  const std::filesystem::path& workDir() const { return workDir_; }

  // The calendar picker's selected date: the working date of new rows;
  // today when the ledger is made.
  text::Date calendarDate;

  // False only while a restore fills the tables.
  bool RefreshAfterNewRecord = true;

  // The stamp as the journal's new-row rule would make it now.
  JournalStamp journalStamp();

  // Journal commands.
  void newJournalRow();     // ToolButton2Click / Novdek1Click
  // `count` new journal rows by the same rule as one batch: the numbering
  // lock is held once, the highest number found once, and the rows are
  // numbered on from it; forced to the disk together at the end. Before each
  // row `beforeRow(i)` may set the calendar and the lists it stamps from;
  // after the rule has stored it, `fillRow(i)` types into the row in edit
  // state, and the row is stored again. All or nothing: on any failure the
  // rows this batch added are deleted again and the error is rethrown.
  void newJournalRows(std::size_t count, const std::function<void(std::size_t)>& beforeRow,
                      const std::function<void(std::size_t)>& fillRow);
  void deleteJournalRow();  // ToolButton3Click / Smazatdek1Click
  // ToolButton12Click. One walk of the journal for all books. On an engine
  // error (a row another user edits) the rows stored so far keep their
  // values, the failing row's edit is dropped, the journal's filter setting
  // and data source are restored, and the error is rethrown.
  void RecomputeBalances();

  // Deleted rows taken back, by record number (from 0): the "Smazané
  // záznamy" windows, Ctrl+Z in the journal window, mincar-cli undelete.
  // The record comes back in its place with its values and its number,
  // unless a row that is not deleted holds that number now: then it gets
  // the number a new row would get (MaxFieldValue and NextRowNumber under
  // the table's numbering lock, as the new-row rules). Its row lock is
  // taken as for an edit. As after a new row, the journal's filter is off
  // and the cursor stands on the row. Nothing is recomputed, as after a
  // delete: the status line says which number the row got and, for the
  // journal and the books, that the balances need recomputing.
  struct Recalled {
    std::optional<double> number;  // the row's number now; none when empty
    std::optional<double> taken;   // its old number, when another row held it
  };
  Recalled recallJournalRow(std::int64_t record);
  Recalled recallBook(std::int64_t record);
  Recalled recallMove(std::int64_t record);

  // List commands. The stamps leave the journal row in edit state, to be
  // stored or cancelled like any edit; on an empty journal the edit first
  // appends a row by the journal's rule and the stamp then lands on it.
  void newBook();
  void deleteBook();
  void setBookOnJournal();   // books ToolButton3Click
  void newMove();
  void deleteMove();
  void setMoveOnJournal();   // moves ToolButton3Click
  void setDateOnJournal();   // calendar BitBtn1Click

 private:
  void openTables();
  void Table1NewRecord(ledger::Dataset& journal);      // journal
  // The rule's steps from storing the row to storing its stamp; `highest`
  // gives the highest number in use once the row is stored.
  void numberJournalRow(ledger::Dataset& journal, const std::function<double()>& highest);
  void ListNewRecord(ledger::Dataset& list);           // books and movements
  Recalled recallRow(ledger::Dataset& table, std::int64_t record, bool balancesChange);
  // The journal in edit state for a stamp of a list or the calendar, also
  // when the journal is empty and the edit first appends a row.
  void editJournalForStamp();
  std::string calendarDateText() const;

  std::filesystem::path workDir_;
  text::Regional regional_;
  StatusLine& status_;
  ledger::Dataset journal_;
  ledger::Dataset moves_;
  ledger::Dataset books_;
  // While newJournalRows runs: the highest number so far and the records
  // the batch stored. No member initialisers: some compilers cannot then
  // build it inside the optional below before this class is complete.
  struct JournalBatch {
    double highest;
    std::vector<std::int64_t> stored;
  };
  std::optional<JournalBatch> batch_;
};

// Edit state on a row this copy stored a moment ago. No user can have begun
// editing it; only another copy's pass over the whole table holds its lock,
// for the few milliseconds of one block, so the lock is waited out (up to
// 3 s) instead of failing and leaving a half-made row behind.
void editStoredRow(ledger::Dataset& table);

}  // namespace app
