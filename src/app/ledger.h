#pragma once
#include <filesystem>
#include <memory>

#include "app/status_line.h"
#include "ledger/dataset.h"
#include "text/date.h"
#include "text/regional.h"

namespace app {

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

  // Journal commands.
  void newJournalRow();     // ToolButton2Click / Novdek1Click
  void deleteJournalRow();  // ToolButton3Click / Smazatdek1Click
  // ToolButton12Click. One walk of the journal for all books. On an engine
  // error (a row another user edits) the rows stored so far keep their
  // values, the failing row's edit is dropped, the journal's filter setting
  // and data source are restored, and the error is rethrown.
  void RecomputeBalances();

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
  void ListNewRecord(ledger::Dataset& list);           // books and movements
  // The journal in edit state for a stamp of a list or the calendar, also
  // when the journal is empty and the edit first appends a row.
  void editJournalForStamp();

  std::filesystem::path workDir_;
  text::Regional regional_;
  StatusLine& status_;
  ledger::Dataset journal_;
  ledger::Dataset moves_;
  ledger::Dataset books_;
};

// Edit state on a row this copy stored a moment ago. No user can have begun
// editing it; only another copy's pass over the whole table holds its lock,
// for the few milliseconds of one block, so the lock is waited out (up to
// 3 s) instead of failing and leaving a half-made row behind.
void editStoredRow(ledger::Dataset& table);

}  // namespace app
