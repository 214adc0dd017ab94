// The record rules of the three tables, the stamps of the lists and the
// calendar, on real tables in a temporary folder, and against a second
// process that holds a row.
#include "app/ledger.h"

#include <fcntl.h>
#include <spawn.h>
#include <sys/wait.h>
#include <unistd.h>

#include <gtest/gtest.h>

#include <algorithm>
#include <filesystem>
#include <functional>
#include <memory>
#include <string>
#include <vector>

#include "app/status_line.h"
#include "dbase_levels.h"
#include "ledger/dataset.h"
#include "ledger/ledger_tables.h"
#include "test_support.h"
#include "text/cp1250.h"
#include "text/error.h"

extern char** environ;

namespace {

namespace fs = std::filesystem;
using ledger::Dataset;
using ledger::DatasetState;
using ledger::LedgerTable;
using ledger::Value;
using testing_support::seedRows;
using testing_support::storedRows;
using testing_support::TempDir;
namespace J = ledger::journal;

const Value kEmpty{};
const char* const kNewRecord = "New record is appended...";

std::string cz(const char* utf8) { return text::toCp1250(utf8); }

// Columns left out stay empty.
struct JournalRow {
  Value id{}, idk{}, idm{}, datum{}, text{}, plus{}, minus{}, zustatek{};
  std::vector<Value> values() const { return {id, idk, idm, datum, text, plus, minus, zustatek}; }
};

void seedJournal(const fs::path& workDir, const std::vector<JournalRow>& rows) {
  std::vector<std::vector<Value>> values;
  for (const JournalRow& r : rows) values.push_back(r.values());
  seedRows(workDir, LedgerTable::Journal, values);
}

// Book 1, and a foreign movements table that holds movement 5 by its
// number alone.
void seedListsWithANamelessMovement(const fs::path& workDir) {
  const fs::path moves = ledger::tablePath(workDir, LedgerTable::Moves);
  fs::create_directories(moves.parent_path());
  ledger::createTable(moves, {{"ID", ledger::FieldType::Numeric, 10, 0}});
  seedRows(workDir, LedgerTable::Books, {{1.0, cz("Hotovost")}});
  seedRows(workDir, LedgerTable::Moves, {{5.0}});
}

void standOn(Dataset& table, double id) {
  for (table.first(); !table.eof(); table.next()) {
    if (!table.field(0).isNull() && table.field(0).asFloat() == id) return;
  }
  FAIL() << "no row with ID " << id;
}

class LedgerRules : public ::testing::Test {
 protected:
  app::Ledger& open() {
    ledger_ = std::make_unique<app::Ledger>(dir_.path(), text::Regional::czech(), status_);
    ledger_->open();
    return *ledger_;
  }
  std::vector<std::vector<Value>> stored(LedgerTable t) { return storedRows(dir_.path(), t); }

  TempDir dir_;
  app::RecordingStatusLine status_;
  std::unique_ptr<app::Ledger> ledger_;
};

// --- opening -------------------------------------------------------------

TEST_F(LedgerRules, OpenCreatesMissingTablesFiltersTheJournalAndStartsOnToday) {
  app::Ledger& l = open();
  for (auto t : {LedgerTable::Journal, LedgerTable::Books, LedgerTable::Moves}) {
    EXPECT_TRUE(fs::exists(ledger::tablePath(dir_.path(), t)));
  }
  EXPECT_TRUE(l.journal().filtered());
  EXPECT_FALSE(l.books().filtered());
  EXPECT_FALSE(l.moves().filtered());
  EXPECT_EQ(l.calendarDate, text::Date::today());
  EXPECT_TRUE(l.RefreshAfterNewRecord);
}

TEST_F(LedgerRules, TheJournalFilterLetsEveryRowThroughUntilACriterionIsSet) {
  seedJournal(dir_.path(), {{.id = 1.0}, {.id = 2.0}, {}});
  app::Ledger& l = open();
  EXPECT_EQ(l.journal().recordCount(), 3);
}

// --- the journal's new-row rule -----------------------------------------

TEST(JournalNewRow, NumbersExactlyFromTheHighestIdOfTheWholeTable) {
  struct Case {
    const char* what;
    std::vector<Value> ids;
    double expected;
  } cases[] = {
      {"empty journal", {}, 1},
      {"all numbers negative", {-5.0, -2.0}, 1},
      {"all numbers empty", {kEmpty, kEmpty}, 1},
      {"an edited 500 among small numbers", {1.0, 2.0, 500.0, 3.0}, 501},
      {"equal numbers", {4.0, 4.0}, 5},
      // Beyond 2^24, where single precision repeated numbers.
      {"2^24 - 1", {16777215.0}, 16777216},
      {"2^24", {16777216.0}, 16777217},
      {"2^24 + 1", {16777217.0}, 16777218},
      {"a typed year and sequence", {5.0, 2026000001.0, 7.0}, 2026000002},
      {"ten digits", {9999999998.0}, 9999999999},
  };
  for (const Case& c : cases) {
    TempDir dir;
    std::vector<JournalRow> rows;
    for (const Value& id : c.ids) rows.push_back({.id = id});
    seedJournal(dir.path(), rows);
    app::RecordingStatusLine status;
    app::Ledger l(dir.path(), text::Regional::czech(), status);
    l.open();
    l.newJournalRow();
    EXPECT_EQ(l.journal().state(), DatasetState::Browse) << c.what;
    EXPECT_EQ(l.journal().field(J::ID).asFloat(), c.expected) << c.what;
    auto all = storedRows(dir.path(), LedgerTable::Journal);
    ASSERT_EQ(all.size(), c.ids.size() + 1) << c.what;
    EXPECT_EQ(all.back()[J::ID], Value{c.expected}) << c.what;
  }
}

TEST_F(LedgerRules, RowsHiddenByTheFilterStillCountAndTheFilterIsOffAfterwards) {
  seedJournal(dir_.path(), {{.id = 1.0}, {.id = 500.0}, {.id = 2.0}});
  app::Ledger& l = open();
  l.journal().onFilterRecord = [](Dataset& d) { return d.field(J::ID).asFloat() < 100; };
  l.journal().refilter();
  ASSERT_EQ(l.journal().recordCount(), 2);

  l.newJournalRow();
  EXPECT_FALSE(l.journal().filtered());
  EXPECT_EQ(l.journal().recordCount(), 4);
  EXPECT_EQ(l.journal().field(J::ID).asFloat(), 501);
}

TEST_F(LedgerRules, NewRowTakesTheCurrentBookMovementAndCalendarDate) {
  seedRows(dir_.path(), LedgerTable::Books, {{1.0, cz("Hotovost")}, {2.0, cz("Banka")}});
  seedRows(dir_.path(), LedgerTable::Moves, {{1.0, cz("Nákup")}, {5.0, cz("Benzín")}, {6.0, cz("Mzda")}});
  seedJournal(dir_.path(), {{.id = 1.0, .text = cz("starý řádek"), .plus = 10.0}});
  app::Ledger& l = open();
  standOn(l.books(), 2);
  standOn(l.moves(), 5);
  l.calendarDate = {2004, 9, 12};

  l.newJournalRow();

  EXPECT_EQ(status_.texts, std::vector<std::string>{kNewRecord});
  EXPECT_EQ(l.journal().state(), DatasetState::Browse);
  EXPECT_TRUE(l.journal().dataSource().enabled());
  EXPECT_EQ(l.journal().field(J::ID).asFloat(), 2);  // the grid stands on the new row
  auto rows = stored(LedgerTable::Journal);
  ASSERT_EQ(rows.size(), 2u);
  EXPECT_EQ(rows[0][J::TEXT], Value{cz("starý řádek")});
  const std::vector<Value> expected = {2.0, 2.0, 5.0, text::Date{2004, 9, 12}, cz("Benzín"),
                                       kEmpty, kEmpty, kEmpty};
  EXPECT_EQ(rows[1], expected);
}

TEST_F(LedgerRules, EmptyListsGiveAnEmptyBookMovementAndText) {
  app::Ledger& l = open();
  l.calendarDate = {2026, 1, 31};
  l.newJournalRow();
  auto rows = stored(LedgerTable::Journal);
  ASSERT_EQ(rows.size(), 1u);
  const std::vector<Value> expected = {1.0, kEmpty, kEmpty, text::Date{2026, 1, 31}, kEmpty,
                                       kEmpty, kEmpty, kEmpty};
  EXPECT_EQ(rows[0], expected);
}

TEST_F(LedgerRules, AnEmptyBookNumberCopiesAsEmpty) {
  seedRows(dir_.path(), LedgerTable::Books, {{kEmpty, cz("bez čísla")}});
  seedRows(dir_.path(), LedgerTable::Moves, {{3.0, kEmpty}});
  app::Ledger& l = open();
  l.newJournalRow();
  auto rows = stored(LedgerTable::Journal);
  ASSERT_EQ(rows.size(), 1u);
  EXPECT_EQ(rows[0][J::IDK], kEmpty);
  EXPECT_EQ(rows[0][J::IDM], Value{3.0});
  EXPECT_EQ(rows[0][J::TEXT], kEmpty);
}

TEST_F(LedgerRules, AMovementsListWithoutANameColumnIsRefusedWhenTheRuleReadsTheName) {
  seedListsWithANamelessMovement(dir_.path());
  app::Ledger& l = open();
  l.calendarDate = {2004, 9, 12};
  try {
    l.newJournalRow();
    ADD_FAILURE() << "a name was read from a column the list lacks";
  } catch (const mincar::Error& e) {
    EXPECT_EQ(std::string(e.what()), "Table1: Field index 1 out of range");
  }
  // The steps before the name ran.
  EXPECT_EQ(status_.texts, std::vector<std::string>{kNewRecord});
  EXPECT_EQ(l.journal().state(), DatasetState::Browse);
  auto rows = stored(LedgerTable::Journal);
  ASSERT_EQ(rows.size(), 1u);
  EXPECT_EQ(rows[0], std::vector<Value>(8, kEmpty));
}

TEST_F(LedgerRules, TheStampSaysWhichListColumnIsMissingAndGivesItEmpty) {
  seedListsWithANamelessMovement(dir_.path());
  app::Ledger& l = open();
  l.calendarDate = {2004, 9, 12};
  const app::JournalStamp stamp = l.journalStamp();
  EXPECT_EQ(stamp.date, "12.9.2004");
  EXPECT_EQ(stamp.book.value, Value{1.0});
  EXPECT_FALSE(stamp.book.missing);
  EXPECT_EQ(stamp.move.value, Value{5.0});
  EXPECT_FALSE(stamp.move.missing);
  EXPECT_EQ(stamp.moveName.value, kEmpty);
  EXPECT_TRUE(stamp.moveName.missing);
}

TEST_F(LedgerRules, ALongMovementNameIsCutTo200Characters) {
  // Windows-1250 letters are one byte each, so the cut counts letters.
  const std::string name = std::string(195, 'x') + cz("žžžžžžžžžž") + std::string(35, 'y');
  seedRows(dir_.path(), LedgerTable::Moves, {{1.0, name}});
  app::Ledger& l = open();
  l.newJournalRow();
  auto rows = stored(LedgerTable::Journal);
  ASSERT_EQ(rows.size(), 1u);
  EXPECT_EQ(rows[0][J::TEXT], Value{name.substr(0, 200)});
}

TEST_F(LedgerRules, TheGridIsDetachedDuringTheWalkAndReconnectedOnlyWhileRefreshing) {
  seedJournal(dir_.path(), {{.id = 1.0}, {.id = 2.0}, {.id = 3.0}});
  app::Ledger& l = open();
  std::vector<ledger::DataEvent> events;
  l.journal().dataSource().subscribe([&](ledger::DataEvent e) { events.push_back(e); });

  l.newJournalRow();
  // The walk over the rows is not seen; the grid hears the change as a whole
  // once the rule is done.
  for (ledger::DataEvent e : events) EXPECT_NE(e, ledger::DataEvent::Scrolled);
  EXPECT_NE(std::find(events.begin(), events.end(), ledger::DataEvent::DataSetChanged), events.end());
  EXPECT_TRUE(l.journal().dataSource().enabled());

  // A grid that someone switched off stays off after the rule.
  l.journal().dataSource().setEnabled(false);
  l.newJournalRow();
  EXPECT_FALSE(l.journal().dataSource().enabled());
  l.RecomputeBalances();
  EXPECT_FALSE(l.journal().dataSource().enabled());
  l.journal().dataSource().setEnabled(true);

  events.clear();
  l.RefreshAfterNewRecord = false;
  l.newJournalRow();
  EXPECT_FALSE(l.journal().dataSource().enabled());
  // Only the start of the insert, before the rule switched the grid off.
  for (ledger::DataEvent e : events) EXPECT_EQ(e, ledger::DataEvent::StateChanged);
  EXPECT_EQ(stored(LedgerTable::Journal).size(), 6u);
}

TEST_F(LedgerRules, AnErrorInsideTheRuleEndsTheAppendWithTheEmptyRowKept) {
  // The next number does not fit the ten places of the ID column.
  seedJournal(dir_.path(), {{.id = 9999999999.0}});
  app::Ledger& l = open();
  try {
    l.newJournalRow();
    ADD_FAILURE() << "an ID beyond the column was stored";
  } catch (const mincar::Error& e) {
    EXPECT_EQ(std::string(e.what()), "Invalid value for field 'ID'");
  }
  EXPECT_EQ(l.journal().state(), DatasetState::Browse);
  EXPECT_TRUE(l.journal().dataSource().enabled());
  auto rows = stored(LedgerTable::Journal);
  ASSERT_EQ(rows.size(), 2u);
  EXPECT_EQ(rows[1], std::vector<Value>(8, kEmpty));
}

TEST_F(LedgerRules, APendingEditIsStoredBeforeTheNewRow) {
  seedJournal(dir_.path(), {{.id = 1.0}});
  app::Ledger& l = open();
  l.journal().first();
  l.journal().edit();
  l.journal().field(J::TEXT).setAsString(cz("Oběd"));
  l.newJournalRow();
  auto rows = stored(LedgerTable::Journal);
  ASSERT_EQ(rows.size(), 2u);
  EXPECT_EQ(rows[0][J::TEXT], Value{cz("Oběd")});
  EXPECT_EQ(rows[1][J::ID], Value{2.0});
}

TEST_F(LedgerRules, DeletingAJournalRowChangesNothingElse) {
  seedRows(dir_.path(), LedgerTable::Books, {{1.0, cz("Hotovost"), 70.0}});
  seedJournal(dir_.path(), {{.id = 1.0, .idk = 1.0, .plus = 100.0, .zustatek = 100.0},
                            {.id = 2.0, .idk = 1.0, .minus = 30.0, .zustatek = 70.0},
                            {.id = 3.0, .idk = 1.0, .plus = 1.0, .zustatek = 71.0}});
  app::Ledger& l = open();
  standOn(l.journal(), 2);
  l.deleteJournalRow();
  auto rows = stored(LedgerTable::Journal);
  ASSERT_EQ(rows.size(), 2u);
  EXPECT_EQ(rows[0][J::ZUSTATEK], Value{100.0});
  EXPECT_EQ(rows[1][J::ID], Value{3.0});
  EXPECT_EQ(rows[1][J::ZUSTATEK], Value{71.0});
  EXPECT_EQ(stored(LedgerTable::Books)[0][ledger::books::BALANCE], Value{70.0});
}

TEST_F(LedgerRules, DeletingFromAnEmptyTableIsRefusedWithTheComponentsMessage) {
  app::Ledger& l = open();
  const std::string message = "Table1: Cannot perform this operation on an empty dataset";
  for (auto remove : {&app::Ledger::deleteJournalRow, &app::Ledger::deleteBook,
                      &app::Ledger::deleteMove}) {
    try {
      (l.*remove)();
      ADD_FAILURE() << "deleting from an empty table succeeded";
    } catch (const mincar::Error& e) {
      EXPECT_EQ(std::string(e.what()), message);
    }
  }
}

// --- the lists' new-row rule ----------------------------------------------

TEST(ListNewRow, NumbersFromTheHighestIdAndStandsOnTheNewRow) {
  struct Case {
    const char* what;
    std::vector<Value> ids;
    double expected;
  } cases[] = {
      {"empty list", {}, 1},
      {"1, 2 and 7", {1.0, 2.0, 7.0}, 8},
      {"not in order", {7.0, 1.0, 2.0}, 8},
      {"negative and empty numbers", {-4.0, kEmpty}, 1},
      {"zero", {0.0}, 1},
  };
  for (LedgerTable table : {LedgerTable::Books, LedgerTable::Moves}) {
    for (const Case& c : cases) {
      TempDir dir;
      std::vector<std::vector<Value>> rows;
      for (const Value& id : c.ids) rows.push_back({id, cz("název")});
      seedRows(dir.path(), table, rows);
      app::RecordingStatusLine status;
      app::Ledger l(dir.path(), text::Regional::czech(), status);
      l.open();
      Dataset& list = table == LedgerTable::Books ? l.books() : l.moves();
      list.first();
      if (table == LedgerTable::Books) {
        l.newBook();
      } else {
        l.newMove();
      }
      EXPECT_EQ(status.texts, std::vector<std::string>{kNewRecord}) << c.what;
      EXPECT_EQ(list.state(), DatasetState::Browse) << c.what;
      EXPECT_EQ(list.field(0).asFloat(), c.expected) << c.what;
      auto all = storedRows(dir.path(), table);
      ASSERT_EQ(all.size(), c.ids.size() + 1) << c.what;
      EXPECT_EQ(all.back()[0], Value{c.expected}) << c.what;
      EXPECT_EQ(all.back()[1], kEmpty) << c.what;  // the user types the name afterwards
    }
  }
}

TEST_F(LedgerRules, NumbersFreedAtTheTopAreGivenOutAgain) {
  seedRows(dir_.path(), LedgerTable::Books, {{1.0, cz("A")}, {2.0, cz("B")}, {3.0, cz("C")}});
  app::Ledger& l = open();
  standOn(l.books(), 3);
  l.deleteBook();
  l.newBook();
  EXPECT_EQ(l.books().field(0).asFloat(), 3);
  auto rows = stored(LedgerTable::Books);
  ASSERT_EQ(rows.size(), 3u);
  EXPECT_EQ(rows[2][0], Value{3.0});
}

TEST_F(LedgerRules, ANewRowAfterAddingToTheListsGetsTheNewLastRows) {
  seedRows(dir_.path(), LedgerTable::Books, {{1.0, cz("Hotovost")}});
  seedRows(dir_.path(), LedgerTable::Moves, {{1.0, cz("Nákup")}});
  app::Ledger& l = open();
  l.newBook();
  l.newMove();
  l.moves().edit();
  l.moves().field(ledger::moves::TEXT).setAsString(cz("Palivo"));
  l.moves().post();
  l.newJournalRow();
  auto rows = stored(LedgerTable::Journal);
  ASSERT_EQ(rows.size(), 1u);
  EXPECT_EQ(rows[0][J::IDK], Value{2.0});
  EXPECT_EQ(rows[0][J::IDM], Value{2.0});
  EXPECT_EQ(rows[0][J::TEXT], Value{cz("Palivo")});
}

// --- stamps ----------------------------------------------------------------

class Stamps : public LedgerRules {
 protected:
  void SetUp() override {
    seedRows(dir_.path(), LedgerTable::Books, {{1.0, cz("Hotovost")}, {2.0, cz("Banka")}});
    seedRows(dir_.path(), LedgerTable::Moves,
             {{1.0, cz("Nákup")}, {4.0, cz("Benzín")}, {9.0, std::string(230, 'm')}});
    seedJournal(dir_.path(),
                {{.id = 1.0, .idk = 1.0, .idm = 1.0, .datum = text::Date{2026, 3, 1},
                  .text = cz("Oběd")},
                 {.id = 2.0, .idk = 1.0, .idm = 1.0, .datum = text::Date{2026, 3, 2}}});
    open();
    status_.texts.clear();
  }
  std::vector<Value> storedJournalRow(size_t i) { return stored(LedgerTable::Journal).at(i); }
};

TEST_F(Stamps, BookGoesIntoTheJournalRowAsAPendingEdit) {
  app::Ledger& l = *ledger_;
  standOn(l.books(), 2);
  standOn(l.journal(), 2);
  l.setBookOnJournal();
  EXPECT_EQ(l.journal().state(), DatasetState::Edit);
  EXPECT_EQ(l.journal().field(J::IDK).asFloat(), 2);
  EXPECT_EQ(storedJournalRow(1)[J::IDK], Value{1.0});  // not stored yet
  EXPECT_TRUE(status_.texts.empty());
  l.journal().post();
  EXPECT_EQ(storedJournalRow(1)[J::IDK], Value{2.0});
  EXPECT_EQ(storedJournalRow(0)[J::IDK], Value{1.0});
}

TEST_F(Stamps, CancellingTheJournalEditDiscardsAStamp) {
  app::Ledger& l = *ledger_;
  standOn(l.books(), 2);
  standOn(l.moves(), 4);
  l.calendarDate = {2004, 9, 12};
  standOn(l.journal(), 2);
  l.setBookOnJournal();
  l.setMoveOnJournal();
  l.setDateOnJournal();
  l.journal().cancel();
  const std::vector<Value> unchanged = {2.0, 1.0, 1.0, text::Date{2026, 3, 2}, kEmpty,
                                        kEmpty, kEmpty, kEmpty};
  EXPECT_EQ(l.journal().field(J::IDK).asFloat(), 1);
  EXPECT_EQ(storedJournalRow(1), unchanged);
}

TEST_F(Stamps, AStampJoinsAPendingEditOfTheUser) {
  app::Ledger& l = *ledger_;
  standOn(l.journal(), 1);
  l.journal().edit();
  l.journal().field(J::PLUS).setAsString("250,5");
  standOn(l.books(), 2);
  l.setBookOnJournal();
  l.journal().post();
  auto row = storedJournalRow(0);
  EXPECT_EQ(row[J::PLUS], Value{250.5});
  EXPECT_EQ(row[J::IDK], Value{2.0});
}

TEST_F(Stamps, MovementFillsTheTextOnlyWhenTheRowHasNone) {
  app::Ledger& l = *ledger_;
  standOn(l.moves(), 4);
  for (double id : {1.0, 2.0}) {
    standOn(l.journal(), id);
    l.setMoveOnJournal();
    l.journal().post();
  }
  EXPECT_EQ(storedJournalRow(0)[J::TEXT], Value{cz("Oběd")});
  EXPECT_EQ(storedJournalRow(0)[J::IDM], Value{4.0});
  EXPECT_EQ(storedJournalRow(1)[J::TEXT], Value{cz("Benzín")});
  EXPECT_EQ(storedJournalRow(1)[J::IDM], Value{4.0});
  const std::string message = cz("Tak, počet jednotek je 8 ...");
  EXPECT_EQ(status_.texts, (std::vector<std::string>{message, message}));
}

TEST_F(Stamps, ALongMovementNameArrivesCutTo200Characters) {
  app::Ledger& l = *ledger_;
  standOn(l.moves(), 9);
  standOn(l.journal(), 2);
  l.setMoveOnJournal();
  l.journal().post();
  EXPECT_EQ(storedJournalRow(1)[J::TEXT], Value{std::string(200, 'm')});
}

TEST_F(Stamps, DateGoesInAsItsShortDateTextAndShowsIt) {
  app::Ledger& l = *ledger_;
  l.calendarDate = {2004, 9, 12};
  // OK twice on two rows: both get the same date.
  for (double id : {1.0, 2.0}) {
    standOn(l.journal(), id);
    l.setDateOnJournal();
    EXPECT_EQ(l.journal().state(), DatasetState::Edit);
  }
  l.journal().post();
  EXPECT_EQ(storedJournalRow(0)[J::DATUM], (Value{text::Date{2004, 9, 12}}));
  EXPECT_EQ(storedJournalRow(1)[J::DATUM], (Value{text::Date{2004, 9, 12}}));
  EXPECT_EQ(status_.texts, (std::vector<std::string>{"12.9.2004", "12.9.2004"}));
}

TEST_F(Stamps, ADateInAnotherShortFormatStillLandsOnTheSameDay) {
  ledger_.reset();
  text::Regional us{"M/d/yyyy", '.'};
  ledger_ = std::make_unique<app::Ledger>(dir_.path(), us, status_);
  ledger_->open();
  app::Ledger& l = *ledger_;
  l.calendarDate = {2026, 12, 7};
  standOn(l.journal(), 1);
  l.setDateOnJournal();
  l.journal().post();
  EXPECT_EQ(status_.texts.back(), "12/7/2026");
  EXPECT_EQ(storedJournalRow(0)[J::DATUM], (Value{text::Date{2026, 12, 7}}));
}

TEST(StampsFromNowhere, EmptyListsOrNumberlessRowsStampNothingAndShowNothing) {
  TempDir dir;
  seedRows(dir.path(), LedgerTable::Books, {{kEmpty, cz("bez čísla")}});
  seedJournal(dir.path(), {{.id = 1.0, .idk = 5.0, .idm = 6.0}});
  app::RecordingStatusLine status;
  app::Ledger l(dir.path(), text::Regional::czech(), status);
  l.open();
  l.journal().first();
  l.setBookOnJournal();  // the book has no number
  l.setMoveOnJournal();  // the list is empty
  EXPECT_EQ(l.journal().state(), DatasetState::Browse);
  EXPECT_TRUE(status.texts.empty());
  EXPECT_EQ(storedRows(dir.path(), LedgerTable::Journal)[0][J::IDK], Value{5.0});
  EXPECT_EQ(storedRows(dir.path(), LedgerTable::Journal)[0][J::IDM], Value{6.0});
}

TEST(StampsOnAnEmptyJournal, LandOnTheNewRowThatTheEditBegins) {
  struct Case {
    const char* what;
    void (app::Ledger::*stamp)();
    std::vector<std::string> texts;
  } cases[] = {
      {"book", &app::Ledger::setBookOnJournal, {kNewRecord}},
      {"movement", &app::Ledger::setMoveOnJournal, {kNewRecord, cz("Tak, počet jednotek je 8 ...")}},
      {"date", &app::Ledger::setDateOnJournal, {kNewRecord, "12.9.2004"}},
  };
  for (const Case& c : cases) {
    TempDir dir;
    seedRows(dir.path(), LedgerTable::Books, {{1.0, cz("Hotovost")}, {2.0, cz("Banka")}});
    seedRows(dir.path(), LedgerTable::Moves, {{3.0, cz("Nákup")}});
    app::RecordingStatusLine status;
    app::Ledger l(dir.path(), text::Regional::czech(), status);
    l.open();
    standOn(l.books(), 2);
    l.moves().first();
    l.calendarDate = {2004, 9, 12};

    EXPECT_NO_THROW((l.*c.stamp)()) << c.what;
    // Like every stamp, it waits in the row's edit to be stored or cancelled.
    EXPECT_EQ(l.journal().state(), DatasetState::Edit) << c.what;
    l.journal().post();
    EXPECT_EQ(status.texts, c.texts) << c.what;
    auto rows = storedRows(dir.path(), LedgerTable::Journal);
    ASSERT_EQ(rows.size(), 1u) << c.what;
    const std::vector<Value> expected = {1.0, 2.0, 3.0, text::Date{2004, 9, 12}, cz("Nákup"),
                                         kEmpty, kEmpty, kEmpty};
    EXPECT_EQ(rows[0], expected) << c.what;
  }
}

// --- a second process holding a row ------------------------------------------

// The engine's refusal of a row that another user is editing.
std::string rowLocked(const fs::path& workDir, LedgerTable table) {
  return "Record locked by another user.\nTable: " + ledger::tablePath(workDir, table).string();
}

void expectRefusal(const std::function<void()>& action, const std::string& message,
                   const char* what) {
  try {
    action();
    ADD_FAILURE() << what << " went through on a row that another process edits";
  } catch (const mincar::Error& e) {
    EXPECT_EQ(std::string(e.what()), message) << what;
  }
}

class HeldRows : public LedgerRules {
 protected:
  void SetUp() override {
    seedRows(dir_.path(), LedgerTable::Books, {{1.0, cz("Hotovost"), 5.0}, {2.0, cz("Banka"), 6.0}});
    seedRows(dir_.path(), LedgerTable::Moves, {{1.0, cz("Nákup")}});
    seedJournal(dir_.path(),
                {{.id = 1.0, .idk = 1.0, .datum = text::Date{2026, 3, 1}, .text = cz("první"),
                  .plus = 100.0, .zustatek = 1.0},
                 {.id = 2.0, .idk = 1.0, .datum = text::Date{2026, 3, 2}, .text = cz("druhý"),
                  .minus = 40.0, .zustatek = 2.0},
                 {.id = 3.0, .idk = 2.0, .datum = text::Date{2026, 3, 3}, .text = cz("třetí"),
                  .plus = 7.0, .zustatek = 3.0}});
    journalBefore_ = stored(LedgerTable::Journal);
    booksBefore_ = stored(LedgerTable::Books);
    open();
  }
  void expectLockRefusal(const std::function<void()>& action, const char* what,
                         LedgerTable held = LedgerTable::Journal) {
    expectRefusal(action, rowLocked(dir_.path(), held), what);
  }
  std::vector<std::vector<Value>> journalBefore_, booksBefore_;
};

TEST_F(HeldRows, EditDeleteAndStampsOfAHeldJournalRowAreRefusedAndNothingIsLost) {
  app::Ledger& l = *ledger_;
  testing_support::RowHolder holder(dir_.path(), "journal", "2");
  ASSERT_TRUE(holder.ready());

  standOn(l.journal(), 2);
  expectLockRefusal([&] { l.journal().edit(); }, "edit");
  expectLockRefusal([&] { l.deleteJournalRow(); }, "delete");
  standOn(l.books(), 2);
  expectLockRefusal([&] { l.setBookOnJournal(); }, "book stamp");
  expectLockRefusal([&] { l.setMoveOnJournal(); }, "movement stamp");
  expectLockRefusal([&] { l.setDateOnJournal(); }, "date stamp");
  EXPECT_EQ(l.journal().state(), DatasetState::Browse);

  // The other rows are free.
  standOn(l.journal(), 3);
  l.setBookOnJournal();
  l.journal().cancel();

  EXPECT_EQ(holder.release(), 0);
  EXPECT_EQ(stored(LedgerTable::Journal), journalBefore_);
  // Once the other user lets go, the row can be changed.
  standOn(l.journal(), 2);
  l.deleteJournalRow();
  EXPECT_EQ(stored(LedgerTable::Journal).size(), 2u);
}

TEST_F(HeldRows, RecomputationStopsAtAHeldJournalRowAndLeavesTheJournalAsItWas) {
  app::Ledger& l = *ledger_;
  testing_support::RowHolder holder(dir_.path(), "journal", "2");
  ASSERT_TRUE(holder.ready());

  expectLockRefusal([&] { l.RecomputeBalances(); }, "recomputation");
  EXPECT_TRUE(l.journal().filtered());
  EXPECT_TRUE(l.journal().dataSource().enabled());
  EXPECT_EQ(l.journal().state(), DatasetState::Browse);
  EXPECT_EQ(status_.texts.front(), "Start");

  EXPECT_EQ(holder.release(), 0);
  // The row before the held one is stored with its new balance; the rest and
  // the books are as they were.
  auto journal = stored(LedgerTable::Journal);
  EXPECT_EQ(journal[0][J::ZUSTATEK], Value{100.0});
  EXPECT_EQ(journal[1], journalBefore_[1]);
  EXPECT_EQ(journal[2], journalBefore_[2]);
  EXPECT_EQ(stored(LedgerTable::Books), booksBefore_);

  // A second run, with the row free, completes.
  l.RecomputeBalances();
  journal = stored(LedgerTable::Journal);
  EXPECT_EQ(journal[1][J::ZUSTATEK], Value{60.0});
  EXPECT_EQ(journal[2][J::ZUSTATEK], Value{7.0});
}

TEST_F(HeldRows, RecomputationStopsAtAHeldBookAndDeletingItIsRefused) {
  app::Ledger& l = *ledger_;
  testing_support::RowHolder holder(dir_.path(), "books", "2");
  ASSERT_TRUE(holder.ready());

  standOn(l.books(), 2);
  expectLockRefusal([&] { l.deleteBook(); }, "delete book", LedgerTable::Books);
  expectLockRefusal([&] { l.RecomputeBalances(); }, "recomputation", LedgerTable::Books);
  EXPECT_TRUE(l.journal().filtered());
  EXPECT_TRUE(l.journal().dataSource().enabled());
  EXPECT_EQ(l.books().state(), DatasetState::Browse);

  EXPECT_EQ(holder.release(), 0);
  auto books = stored(LedgerTable::Books);
  ASSERT_EQ(books.size(), 2u);
  EXPECT_EQ(books[1], booksBefore_[1]);
  l.RecomputeBalances();
  books = stored(LedgerTable::Books);
  EXPECT_EQ(books[0][ledger::books::BALANCE], Value{60.0});
  EXPECT_EQ(books[1][ledger::books::BALANCE], Value{7.0});
}

// A journal of several of the blocks in which the recomputation stores its
// rows (923 journal rows each), with the held row in the second one.
TEST(HeldRowsOfALargeJournal, RecomputationStoresTheRowsBeforeTheHeldOneAndShowsTheirTextsOnly) {
  TempDir dir;
  constexpr int kRows = 2000;
  constexpr int kHeldId = 1500;
  seedRows(dir.path(), LedgerTable::Books, {{1.0, cz("Hotovost"), 5.0}, {2.0, cz("Banka"), 6.0}});
  std::vector<JournalRow> rows;
  for (int i = 1; i <= kRows; ++i) {
    // Rows of book 3 name no book: they are walked over, never stored.
    rows.push_back({.id = static_cast<double>(i), .idk = static_cast<double>(1 + i % 3),
                    .text = "r" + std::to_string(i), .plus = static_cast<double>(i), .zustatek = -1.0});
  }
  seedJournal(dir.path(), rows);
  const auto journalBefore = storedRows(dir.path(), LedgerTable::Journal);
  const auto booksBefore = storedRows(dir.path(), LedgerTable::Books);
  app::RecordingStatusLine status;
  app::Ledger l(dir.path(), text::Regional::czech(), status);
  l.open();
  testing_support::RowHolder holder(dir.path(), "journal", std::to_string(kHeldId));
  ASSERT_TRUE(holder.ready());

  expectRefusal([&] { l.RecomputeBalances(); }, rowLocked(dir.path(), LedgerTable::Journal), "recomputation");
  EXPECT_EQ(l.journal().state(), DatasetState::Browse);
  EXPECT_TRUE(l.journal().filtered());
  EXPECT_TRUE(l.journal().dataSource().enabled());
  EXPECT_EQ(holder.release(), 0);

  auto journal = storedRows(dir.path(), LedgerTable::Journal);
  double sums[3] = {};
  for (int i = 1; i <= kRows; ++i) {
    const int book = 1 + i % 3;
    Value expected = journalBefore[static_cast<size_t>(i - 1)][J::ZUSTATEK];
    if (i < kHeldId && book != 3) expected = sums[book] += i;
    EXPECT_EQ(journal[static_cast<size_t>(i - 1)][J::ZUSTATEK], expected) << "row " << i;
  }
  EXPECT_EQ(storedRows(dir.path(), LedgerTable::Books), booksBefore);
  // Every row's text up to the held row, which stopped the pass before its
  // own text.
  std::vector<std::string> texts = {"Start"};
  for (int i = 1; i < kHeldId; ++i) texts.push_back("r" + std::to_string(i));
  EXPECT_EQ(status.texts, texts);
}

// --- a level 7 journal that numbers its rows itself -------------------------

TEST(LevelSevenNewRow, AnAutoincrementIdKeepsTheTablesNumberAndTheRestOfTheRuleRuns) {
  TempDir dir;
  const fs::path journal = ledger::tablePath(dir.path(), LedgerTable::Journal);
  fs::create_directories(journal.parent_path());
  testing_support::LevelTable table;
  table.version = 0x04;
  table.columns = testing_support::journalColumns("+IIDCOON");
  // Its numbers ran ahead of the rows, as after rows deleted in the tool.
  table.columns[0].nextAutoIncrement = 8;
  table.records = {testing_support::record(table.columns, {1.0, 1.0, 1.0, text::Date{2026, 1, 2}, cz("první"),
                                                           10.0, kEmpty, 10.0})};
  testing_support::writeFile(journal, table.bytes());
  seedRows(dir.path(), LedgerTable::Books, {{1.0, cz("Hotovost")}});
  seedRows(dir.path(), LedgerTable::Moves, {{2.0, cz("Nákup")}});

  app::RecordingStatusLine status;
  app::Ledger l(dir.path(), text::Regional::czech(), status);
  l.open();
  l.calendarDate = {2026, 12, 8};
  l.books().last();
  l.moves().last();
  l.newJournalRow();
  l.newJournalRow();
  EXPECT_EQ(storedRows(dir.path(), LedgerTable::Journal),
            (std::vector<std::vector<Value>>{
                {1.0, 1.0, 1.0, text::Date{2026, 1, 2}, cz("první"), 10.0, kEmpty, 10.0},
                {8.0, 1.0, 2.0, text::Date{2026, 12, 8}, cz("Nákup"), kEmpty, kEmpty, kEmpty},
                {9.0, 1.0, 2.0, text::Date{2026, 12, 8}, cz("Nákup"), kEmpty, kEmpty, kEmpty}}));
}

}  // namespace
