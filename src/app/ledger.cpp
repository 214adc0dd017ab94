#include "app/ledger.h"

#include <chrono>
#include <cstdint>
#include <optional>
#include <string>
#include <string_view>
#include <thread>
#include <unordered_map>
#include <utility>
#include <variant>
#include <vector>

#include "ledger/errors.h"
#include "ledger/ledger_tables.h"
#include "text/cp1250.h"
#include "text/error.h"
#include "text/regional.h"

namespace app {

namespace fs = std::filesystem;
using ledger::Dataset;
using ledger::DatasetState;
using ledger::LedgerTable;

namespace {

// Both lists keep their number in column 0.
constexpr int kListId = 0;
static_assert(kListId == ledger::books::ID && kListId == ledger::moves::ID);

constexpr const char* kNewRecordAppended = "New record is appended...";
constexpr const char* kRecomputeStart = "Start";
// The literals below hold Czech letters: source files are UTF-8, the status
// line takes Windows-1250.
constexpr const char* kBalancesRestoredUtf8 = "Konečné stavy obnoveny...";
constexpr const char* kMoveSetPatternUtf8 = "Tak, počet jednotek je %d ...";
constexpr const char* kRecalledUtf8 = "Záznam obnoven";
constexpr const char* kRecalledWithNumberUtf8 = "Záznam obnoven s číslem %s";
constexpr const char* kRecalledRenumberedUtf8 = "Záznam obnoven s novým číslem %s: číslo %s mezitím dostal jiný záznam";
constexpr const char* kRecomputeNeededUtf8 = "; zůstatky je třeba přepočítat...";

// Column 0 or 1 of a list's current row; an empty list has no current row
// and gives an empty value.
JournalStamp::FromList currentOf(Dataset& list, int column) {
  if (list.isEmpty()) return {};
  if (column >= list.fieldCount()) return {ledger::Value{}, true};
  return {list.field(column).value()};
}

// One list's part of the stamp into a journal column, read at step 9 itself:
// a list that cannot be read fails after the earlier steps, as it always did.
void stampFromList(ledger::Field& to, Dataset& list, int column) {
  const JournalStamp::FromList from = currentOf(list, column);
  // Reading the column the list lacks throws the list's own refusal.
  if (from.missing) list.field(column);
  to.setValue(from.value);
}

// A list's current row ID when it can be stamped: not on an empty list, not
// when the row was stored without a number.
bool stampableId(Dataset& list, double& id) {
  if (list.isEmpty()) return false;
  const ledger::Field& f = list.field(0);
  if (f.isNull()) return false;
  id = f.asFloat();
  return true;
}

}  // namespace

Ledger::Ledger(fs::path workDir, text::Regional regional, StatusLine& status)
    : calendarDate(text::Date::today()),
      workDir_(std::move(workDir)),
      regional_(std::move(regional)),
      status_(status),
      journal_("Table1", ledger::tablePath(workDir_, LedgerTable::Journal), regional_),
      moves_("Table1", ledger::tablePath(workDir_, LedgerTable::Moves), regional_),
      books_("Table1", ledger::tablePath(workDir_, LedgerTable::Books), regional_) {}

Ledger::~Ledger() = default;

void Ledger::open() {
  ledger::createMissingTables(workDir_);
  openTables();
}

void Ledger::openForReading() {
  for (Dataset* table : {&journal_, &moves_, &books_}) table->setReadOnly(true);
  openTables();
}

void Ledger::openTables() {
  // The windows' creation order: journal, movements list, books list.
  journal_.open();
  moves_.open();
  books_.open();

  journal_.onNewRecord = [this](Dataset& table) { Table1NewRecord(table); };
  moves_.onNewRecord = [this](Dataset& table) { ListNewRecord(table); };
  books_.onNewRecord = [this](Dataset& table) { ListNewRecord(table); };

  // No search criterion is in force yet, so every row passes.
  journal_.onFilterRecord = [](Dataset&) { return true; };
  journal_.setFiltered(true);
}

namespace {

// On a shared folder another copy may append between our store and the
// walk's end, so the last row is not always ours: numbering it would fill
// in the other user's row.
void returnToStoredRow(Dataset& table, std::int64_t stored) {
  if (table.recordNumber() == stored) return;
  if (!table.gotoRecord(stored)) {
    throw ledger::RowDeletedError(text::pathText(table.path()));
  }
}

}  // namespace

void editStoredRow(Dataset& table) {
  using namespace std::chrono_literals;
  const auto giveUp = std::chrono::steady_clock::now() + 3s;
  for (;;) {
    try {
      table.edit();
      return;
    } catch (const ledger::RowLockedError&) {
      if (std::chrono::steady_clock::now() >= giveUp) throw;
    }
    std::this_thread::sleep_for(5ms);
  }
}

void Ledger::Table1NewRecord(Dataset& journal) {
  namespace col = ledger::journal;
  // 1. The grid must not follow the walk of step 4. It follows again when
  //    the rule ends (11.), however it ends, unless the flag is off: then
  //    whoever turned it off switches the source on when done.
  ledger::DataSource::Quiet quiet(journal.dataSource());
  if (!RefreshAfterNewRecord) journal.dataSource().setEnabled(false);
  if (batch_) {
    // The batch holds the numbering lock and knows the highest number: no
    // other copy can have numbered a row since.
    numberJournalRow(journal, [this] { return batch_->highest; });
    return;
  }
  // No other copy numbers a row between our store and our number.
  ledger::NumberingLock numbering(journal);
  numberJournalRow(journal, [&journal] {
    // 3. Every row counts for the number; the filter stays off afterwards.
    journal.setFiltered(false);
    // 4. The walk ends on the last row, the one just stored.
    return ledger::MaxFieldValue(journal, col::ID);
  });
}

void Ledger::numberJournalRow(Dataset& journal, const std::function<double()>& highestNow) {
  namespace col = ledger::journal;
  // 2. Stored at once, as the physical last row.
  journal.post();
  const std::int64_t stored = journal.recordNumber();
  if (batch_) batch_->stored.push_back(stored);
  // 3. and 4.
  const double highest = highestNow();
  returnToStoredRow(journal, stored);
  // 5.
  editStoredRow(journal);
  // 6. A column that the table numbers itself (type '+') keeps the
  //    table's number, given when the row was stored.
  if (journal.field(col::ID).type() != ledger::FieldType::AutoIncrement) {
    const double number = ledger::NextRowNumber(highest);
    journal.field(col::ID).setAsFloat(number);
    if (batch_) batch_->highest = number;
  }
  // 7. Through the short-date text, as the calendar hands its date over.
  journal.field(col::DATUM).setAsString(calendarDateText());
  // 8.
  status_.show(kNewRecordAppended);
  // 9. The current book and movement; the journal's TEXT column cuts the name.
  stampFromList(journal.field(col::IDK), books_, ledger::books::ID);
  stampFromList(journal.field(col::IDM), moves_, ledger::moves::ID);
  stampFromList(journal.field(col::TEXT), moves_, ledger::moves::TEXT);
  // 10. Stored in place. Alone, the row is the last one and moving there
  //     would store it the same way; with others appending, the last row
  //     may be theirs and the cursor must stay on ours.
  journal.post();
}

void Ledger::newJournalRows(std::size_t count, const std::function<void(std::size_t)>& beforeRow,
                            const std::function<void(std::size_t)>& fillRow) {
  if (count == 0) return;
  journal_.storePendingEdit();
  ledger::DataSource::Quiet quiet(journal_.dataSource());
  batch_.emplace(JournalBatch{0.0, {}});
  try {
    ledger::NumberingLock numbering(journal_);
    journal_.beginSyncBatch();
    try {
      // Steps 3 and 4 of the rule, once for the whole batch.
      journal_.setFiltered(false);
      batch_->highest = ledger::MaxFieldValue(journal_, ledger::journal::ID);
      for (std::size_t i = 0; i < count; ++i) {
        beforeRow(i);
        journal_.append();
        editStoredRow(journal_);
        fillRow(i);
        journal_.post();
      }
    } catch (...) {
      // Every row the batch stored goes again, half-made ones too; the
      // first error is the one to report.
      try {
        if (journal_.state() != DatasetState::Browse) journal_.cancel();
        for (auto record = batch_->stored.rbegin(); record != batch_->stored.rend(); ++record) {
          if (journal_.gotoRecord(*record)) journal_.remove();
        }
      } catch (...) {
      }
      try {
        journal_.endSyncBatch();
      } catch (...) {
      }
      throw;
    }
    journal_.endSyncBatch();
  } catch (...) {
    batch_.reset();
    throw;
  }
  batch_.reset();
}

std::string Ledger::calendarDateText() const { return text::formatDate(calendarDate, regional_); }

JournalStamp Ledger::journalStamp() {
  return {calendarDateText(), currentOf(books_, ledger::books::ID), currentOf(moves_, ledger::moves::ID),
          currentOf(moves_, ledger::moves::TEXT)};
}

void Ledger::ListNewRecord(Dataset& list) {
  ledger::NumberingLock numbering(list);
  // 1. Stored at once, as the physical last row.
  list.post();
  const std::int64_t stored = list.recordNumber();
  // 2. The walk ends on the last row, the one just stored.
  const double highest = ledger::MaxFieldValue(list, kListId);
  returnToStoredRow(list, stored);
  // 3.
  editStoredRow(list);
  // 4. As the journal's step 6.
  if (list.field(kListId).type() != ledger::FieldType::AutoIncrement) {
    list.field(kListId).setAsFloat(ledger::NextRowNumber(highest));
  }
  // 5.
  status_.show(kNewRecordAppended);
  // 6. Stored in place, for the reason of the journal's step 10.
  list.post();
}

// Appending stores a pending edit first, as the grid does when the user
// leaves the row.
void Ledger::newJournalRow() { journal_.append(); }

void Ledger::deleteJournalRow() { journal_.remove(); }

void Ledger::newBook() { books_.append(); }

void Ledger::deleteBook() { books_.remove(); }

void Ledger::newMove() { moves_.append(); }

void Ledger::deleteMove() { moves_.remove(); }

Ledger::Recalled Ledger::recallJournalRow(std::int64_t record) { return recallRow(journal_, record, true); }

Ledger::Recalled Ledger::recallBook(std::int64_t record) { return recallRow(books_, record, true); }

Ledger::Recalled Ledger::recallMove(std::int64_t record) { return recallRow(moves_, record, false); }

Ledger::Recalled Ledger::recallRow(Dataset& table, std::int64_t record, bool balancesChange) {
  // Every table keeps its number in column 0.
  constexpr int kId = 0;
  static_assert(kId == ledger::journal::ID && kId == kListId);
  ledger::DataSource::Quiet quiet(table.dataSource());
  table.storePendingEdit();
  // Refused before anything is walked.
  if (!table.recordDeleted(record)) {
    throw mincar::Error(mincar::fill(ledger::messages::kRecordNotDeleted,
                                     {std::to_string(record + 1), text::pathText(table.path())}));
  }
  // No other copy gives out a number between our look and our store.
  ledger::NumberingLock numbering(table);
  // Every row counts for a number in use, hidden ones too; the filter stays
  // off afterwards, as after a new row, so that the row is seen.
  table.setFiltered(false);
  Recalled recalled;
  const ledger::Value stored = table.recordValue(record, kId);
  if (const double* number = std::get_if<double>(&stored)) {
    recalled.number = *number;
    // A column that the table numbers itself (type '+') never gives a
    // number twice: the row keeps its own.
    if (table.field(kId).type() != ledger::FieldType::AutoIncrement && ledger::NumberInUse(table, kId, *number)) {
      recalled.taken = *number;
      recalled.number = ledger::NextRowNumber(ledger::MaxFieldValue(table, kId));
    }
  }
  table.recall(record);
  try {
    if (recalled.taken) table.field(kId).setAsFloat(*recalled.number);
    table.post();
  } catch (...) {
    if (table.state() != DatasetState::Browse) table.cancel();
    throw;
  }
  std::string shown;
  if (!recalled.number) {
    shown = kRecalledUtf8;
  } else if (!recalled.taken) {
    shown = mincar::fill(kRecalledWithNumberUtf8, {text::formatNumber(*recalled.number, regional_)});
  } else {
    shown = mincar::fill(kRecalledRenumberedUtf8, {text::formatNumber(*recalled.number, regional_),
                                                   text::formatNumber(*recalled.taken, regional_)});
  }
  if (balancesChange) shown += kRecomputeNeededUtf8;
  status_.show(text::toCp1250(shown));
  return recalled;
}

void Ledger::editJournalForStamp() {
  journal_.edit();
  // On an empty journal the edit began a new row, which the new-row rule has
  // already stored complete and left in browse state. The stamp still lands
  // on it, in an edit of its own like every other stamp.
  if (journal_.state() == DatasetState::Browse) journal_.edit();
}

void Ledger::setBookOnJournal() {
  double id = 0;
  if (!stampableId(books_, id)) return;
  editJournalForStamp();
  journal_.field(ledger::journal::IDK).setAsFloat(id);
}

void Ledger::setMoveOnJournal() {
  double id = 0;
  if (!stampableId(moves_, id)) return;
  editJournalForStamp();
  journal_.field(ledger::journal::IDM).setAsFloat(id);
  ledger::Field& rowText = journal_.field(ledger::journal::TEXT);
  // A text the user wrote is never replaced; the column cuts a long name.
  if (rowText.isNull() || rowText.asString().empty()) {
    rowText.setAsString(moves_.field(ledger::moves::TEXT).asString());
  }
  status_.show(mincar::fill(text::toCp1250(kMoveSetPatternUtf8),
                            {std::to_string(journal_.fieldCount())}));
}

void Ledger::setDateOnJournal() {
  const std::string dateText = calendarDateText();
  editJournalForStamp();
  journal_.field(ledger::journal::DATUM).setAsString(dateText);
  status_.show(dateText);
}

void Ledger::RecomputeBalances() {
  namespace col = ledger::journal;
  // 1. The journal grid stands still for the whole pass, and follows again
  //    (8.) however it ends.
  ledger::DataSource::Quiet quiet(journal_.dataSource());
  // 2. Every row takes part, hidden ones too. A pending edit in the grid is
  // stored first, as switching the filter would store it.
  const bool wasFiltered = journal_.filtered();
  try {
    journal_.storePendingEdit();
    journal_.setFiltered(false);

    // 3.
    books_.first();
    status_.show(kRecomputeStart);

    // 4. One walk of the journal for all books instead of one per book: every
    // book's running sum depends only on its own rows in natural order, and
    // books with equal numbers would compute the same sums again. The books'
    // numbers, read as whole numbers like the rows' IDK, select the rows
    // that are written; rows naming no book keep their ZUSTATEK.
    std::unordered_map<std::int64_t, double> runningSum;
    for (; !books_.eof(); books_.next()) {
      runningSum.emplace(books_.field(ledger::books::ID).asInteger(), 0.0);
    }

    // Without books the per-book walk never visits the journal.
    if (!runningSum.empty()) {
      const ledger::Field& idk = journal_.field(col::IDK);
      const ledger::Field& plus = journal_.field(col::PLUS);
      const ledger::Field& minus = journal_.field(col::MINUS);
      const ledger::Field& rowText = journal_.field(col::TEXT);
      // A row's text is shown once the row is stored, that is when the pass
      // has moved on to the next row: a row that cannot be stored (another
      // user edits it) stops the pass before its text appears, as in the
      // walk that edits and posts row by row.
      std::string doneText;
      bool haveDoneText = false;
      // The engine locks, rereads and writes the rows a block at a time
      // instead of editing and posting each one.
      journal_.updateColumn(col::ZUSTATEK, [&](const Dataset&) -> std::optional<ledger::Value> {
        if (haveDoneText) status_.show(doneText);
        doneText = rowText.asString();
        haveDoneText = true;
        auto book = runningSum.find(idk.asInteger());
        if (book == runningSum.end()) return std::nullopt;
        // Income first, then the expense: the same two roundings as the
        // per-book walk, so that the sums agree to the last bit.
        book->second += plus.asFloat();
        book->second -= minus.asFloat();
        return ledger::Value{book->second};
      });
      if (haveDoneText) status_.show(doneText);
    }

    // Each book's closing balance, in the books' natural order; a book
    // without rows closes at 0.
    for (books_.first(); !books_.eof(); books_.next()) {
      const double sum = runningSum[books_.field(ledger::books::ID).asInteger()];
      books_.edit();
      books_.field(ledger::books::BALANCE).setAsFloat(sum);
      books_.post();
    }
  } catch (...) {
    // The pass ends at the failing row: what is stored stays stored, the row
    // that could not be written is released, and the journal is left as the
    // user had it (filter setting and grid), so that the error does not leave
    // the search off and the grid frozen. A second failure while restoring
    // must not hide the first, which is the one the user needs to see.
    try {
      if (journal_.state() != DatasetState::Browse) journal_.cancel();
      if (books_.state() != DatasetState::Browse) books_.cancel();
      journal_.setFiltered(wasFiltered);
    } catch (...) {
    }
    throw;
  }

  // 5.
  journal_.setFiltered(wasFiltered);
  // 6. The books list's selection moves to the first book.
  books_.first();
  // 7.
  status_.show(text::toCp1250(kBalancesRestoredUtf8));
}

}  // namespace app
