// The cash-book search over a real ledger in a folder of its own: the
// journal's filter event with each criterion, ApplyFilter, and the running
// balance through the shown rows.

#include "print/book_search.h"

#include <gtest/gtest.h>

#include <optional>
#include <string>
#include <vector>

#include "app/ledger.h"
#include "app/status_line.h"
#include "ledger/dataset.h"
#include "ledger/ledger_tables.h"
#include "print_fixtures.h"
#include "test_support.h"
#include "text/cp1250.h"
#include "text/error.h"
#include "text/regional.h"

namespace {

namespace J = ledger::journal;
using ledger::Dataset;
using ledger::LedgerTable;
using ledger::Value;
using print::BookSearch;
using print::SearchCriteria;
using testing_support::seedLedger;
using testing_support::storedRows;
using testing_support::withText;
using text::Date;
using text::toCp1250;

// The IDs of the rows that a walk of the journal shows, in order.
std::vector<int> shownIds(Dataset& journal) {
  std::vector<int> ids;
  for (journal.first(); !journal.eof(); journal.next()) {
    ids.push_back(static_cast<int>(journal.field(J::ID).asInteger()));
  }
  return ids;
}

void standOnId(Dataset& list, double id) {
  for (list.first(); !list.eof(); list.next()) {
    if (list.field(0).asFloat() == id) return;
  }
  FAIL() << "no list row with ID " << id;
}

class Search : public testing_support::LedgerFolderTest {
 protected:
  // The dialog created, the criteria set and filtered with; the IDs shown.
  std::vector<int> filterWith(const SearchCriteria& criteria) {
    if (!search_) search_ = std::make_unique<BookSearch>(*ledger_);
    search_->setCriteria(criteria);
    search_->ApplyFilter();
    return shownIds(ledger_->journal());
  }
  Dataset& journal() { return ledger_->journal(); }
};

// --- the text test -------------------------------------------------------------

TEST_F(Search, TheTextMatchesOneContiguousPieceOfTheUpperCasedTextWithItsDiacritics) {
  seedLedger(dir_.path(),
             {{.id = 1, .text = "Nákup potravin"},
              {.id = 2, .text = "NÁKUP"},
              {.id = 3, .text = "Nakup"},
              {.id = 4, .text = "Velký nákup"},
              {.id = 5, .text = " nákup s blankem na začátku"},
              {.id = 6, .text = "Pečivo"},
              {.id = 7, .text = "PEČIVO"},
              {.id = 8, .text = "100% n_k"},
              {.id = 9, .text = "Ná kup"},
              {.id = 10, .text = ""},
              {.id = 11, .text = "účet nák"},
              {.id = 12, .text = "Dlouhý popis, který se shoduje až na samém konci: nák"},
              {.id = 13, .text = "nák"},
              // The piece begins right after eight and sixteen bytes that cannot begin it.
              {.id = 14, .text = "abcdefghnák"},
              {.id = 15, .text = "ABCDEFGHIJKLMOPQnák"}},
             {}, {});
  openLedger();
  struct Case {
    const char* why;
    const char* text;
    std::vector<int> shown;
  };
  const Case cases[] = {
      {"case is ignored, the diacritics are not", "nák", {1, 2, 4, 5, 11, 12, 13, 14, 15}},
      {"an upper-case filter text is the same", "NÁK", {1, 2, 4, 5, 11, 12, 13, 14, 15}},
      {"a filter without diacritics finds only texts without them", "nak", {3}},
      {"a leading blank must stand before the piece", " nák", {4, 5, 11, 12}},
      {"a trailing blank is not found in the field's padding", "nák ", {}},
      {"a blank inside the text counts", "á k", {9}},
      {"Czech letters upper-case by Czech rules", "eč", {6, 7}},
      {"č and c differ", "ec", {}},
      {"Ú and ú are one letter", "ÚČET", {11}},
      {"% is no wildcard", "%", {8}},
      {"_ is no wildcard", "n_k", {8}},
      {"? is no wildcard", "n?k", {}},
      {"* is no wildcard", "*", {}},
      {"the whole text", "nákup potravin", {1}},
      {"the very end of a long text", "konci: nák", {12}},
      {"longer than any text", "nákup potravin a ještě něco navíc", {}},
  };
  for (const Case& c : cases) {
    EXPECT_EQ(filterWith(withText(c.text)), c.shown) << c.why << " ('" << c.text << "')";
  }
}

TEST_F(Search, ANewFilterTextGoesIntoTheStatusLineUpperCased) {
  seedLedger(dir_.path(), {{.id = 1, .text = "Nákup"}, {.id = 2, .text = "Mzda"}}, {}, {});
  openLedger();
  filterWith(withText("nák"));
  EXPECT_EQ(status_.text(), toCp1250("NÁK"));
  // Another command's text stays while the journal evaluates rows again
  // (a repaint), until the filter text changes.
  status_.show("Something else");
  journal().first();
  journal().last();
  EXPECT_EQ(status_.text(), "Something else");
  filterWith(withText("mz"));
  EXPECT_EQ(status_.text(), "MZ");
}

TEST_F(Search, EveryRowPassesBeforeTheDialogExistsAndWhileNothingIsInForce) {
  seedLedger(dir_.path(), {{.id = 1, .text = "Nákup"}, {.id = 2, .text = "Mzda"}}, {}, {});
  openLedger();
  // The journal opens filtered, and the filter lets every row through
  // without touching the status line.
  EXPECT_TRUE(journal().filtered());
  EXPECT_EQ(shownIds(journal()), (std::vector<int>{1, 2}));
  EXPECT_TRUE(status_.texts.empty());

  // The dialog exists: still every row, and the status line gets the empty
  // filter text at each evaluation.
  search_ = std::make_unique<BookSearch>(*ledger_);
  status_.show("Started...");
  EXPECT_EQ(shownIds(journal()), (std::vector<int>{1, 2}));
  EXPECT_EQ(status_.text(), "");

  // ApplyFilter with nothing in force switches the filter off.
  search_->ApplyFilter();
  EXPECT_FALSE(journal().filtered());
  EXPECT_EQ(shownIds(journal()), (std::vector<int>{1, 2}));

  // Once the dialog is gone, a filtered journal lets every row through again.
  search_->setCriteria(withText("nák"));
  search_->ApplyFilter();
  EXPECT_EQ(shownIds(journal()), (std::vector<int>{1}));
  search_.reset();
  EXPECT_TRUE(journal().filtered());
  EXPECT_EQ(shownIds(journal()), (std::vector<int>{1, 2}));
}

// --- the date bounds -----------------------------------------------------------

TEST_F(Search, DateBoundsAreInclusiveAndAnEmptyDateIsEarlierThanAnyDate) {
  seedLedger(dir_.path(),
             {{.id = 1, .datum = Date{2026, 11, 30}},
              {.id = 2, .datum = Date{2026, 12, 1}},
              {.id = 3},  // no date
              {.id = 4, .datum = Date{2026, 12, 1}},
              {.id = 5, .datum = Date{2026, 12, 2}},
              {.id = 6, .datum = Date{1, 1, 1}}},
             {}, {});
  openLedger();
  struct Case {
    const char* why;
    std::optional<Date> from{};
    std::optional<Date> to{};
    std::vector<int> shown;
  };
  const Case cases[] = {
      {"both dates on one day: only that day", Date{2026, 12, 1}, Date{2026, 12, 1}, {2, 4}},
      {"from-date after to-date: nothing", Date{2026, 12, 2}, Date{2026, 12, 1}, {}},
      {"from-date only: a row without a date is hidden", Date{2026, 12, 1}, std::nullopt, {2, 4, 5}},
      {"to-date only: a row without a date is shown", std::nullopt, Date{2026, 12, 1}, {1, 2, 3, 4, 6}},
      {"from the earliest date: every dated row", Date{1, 1, 1}, std::nullopt, {1, 2, 4, 5, 6}},
      {"neither box: every row", std::nullopt, std::nullopt, {1, 2, 3, 4, 5, 6}},
  };
  for (const Case& c : cases) {
    SearchCriteria criteria;
    // The pickers always hold a date; only the boxes decide.
    criteria.fromDate = c.from.value_or(Date{2026, 12, 2});
    criteria.fromDateOn = c.from.has_value();
    criteria.toDate = c.to.value_or(Date{2026, 11, 30});
    criteria.toDateOn = c.to.has_value();
    EXPECT_EQ(filterWith(criteria), c.shown) << c.why;
    EXPECT_EQ(journal().filtered(), c.from || c.to) << c.why;
  }
}

// --- the movement and book tests -------------------------------------------------

class ListSearch : public Search {
 protected:
  void SetUp() override {
    seedLedger(dir_.path(),
               {{.id = 1, .idk = 1, .idm = 1, .text = "Mzda"},
                {.id = 2, .idk = 2, .idm = 2, .text = "Nákup"},
                {.id = 3, .idk = 1, .idm = 2, .text = "Nákup"},
                {.id = 4, .text = "bez knihy a pohybu"},
                {.id = 5, .idk = 0, .idm = 0, .text = "nula"},
                {.id = 6, .idk = 2, .idm = 1, .text = "Nákup"}},
               {{1, "Hotovost"}, {2, "Banka"}, {std::nullopt, "bez čísla"}},
               {{1, "Mzda"}, {2, "Nákup"}, {std::nullopt, "bez čísla"}});
    openLedger();
  }
};

TEST_F(ListSearch, TheMovementAndBookBoxesCompareWithTheListsCurrentRows) {
  struct Case {
    const char* why;
    std::optional<double> move{};  // the movements list's current row, ticked
    std::optional<double> book{};
    const char* text;
    std::vector<int> shown;
  };
  const Case cases[] = {
      {"movement 2", 2.0, std::nullopt, "", {2, 3}},
      {"book 1", std::nullopt, 1.0, "", {1, 3}},
      {"movement 2 in book 2", 2.0, 2.0, "", {2}},
      {"book 2 and a text", std::nullopt, 2.0, "nák", {2, 6}},
      {"a list row without an ID is 0, as empty IDs are", 0.0, std::nullopt, "", {4, 5}},
  };
  for (const Case& c : cases) {
    SearchCriteria criteria = withText(c.text);
    if (c.move) {
      if (*c.move == 0) {
        ledger_->moves().last();  // the row without an ID
      } else {
        standOnId(ledger_->moves(), *c.move);
      }
      criteria.moveOn = true;
    }
    if (c.book) {
      standOnId(ledger_->books(), *c.book);
      criteria.bookOn = true;
    }
    EXPECT_EQ(filterWith(criteria), c.shown) << c.why;
  }
}

TEST_F(ListSearch, TheListsAreReadAtEachEvaluationNotWhenTheFilterWasApplied) {
  standOnId(ledger_->books(), 1);
  SearchCriteria criteria;
  criteria.bookOn = true;
  EXPECT_EQ(filterWith(criteria), (std::vector<int>{1, 3}));
  // Another book in the list: the journal reads it at its next walk.
  standOnId(ledger_->books(), 2);
  EXPECT_EQ(shownIds(journal()), (std::vector<int>{2, 6}));
}

TEST_F(ListSearch, AnEmptyListComparesAsZero) {
  ledger_->books().first();
  while (!ledger_->books().isEmpty()) ledger_->deleteBook();
  SearchCriteria criteria;
  criteria.bookOn = true;
  EXPECT_EQ(filterWith(criteria), (std::vector<int>{4, 5}));
}

// --- ApplyFilter -----------------------------------------------------------------

TEST_F(ListSearch, ApplyFilterReloadsTheJournalOnceAndStandsOnTheFirstShownRow) {
  std::vector<ledger::DataEvent> heard;
  journal().dataSource().subscribe([&heard](ledger::DataEvent e) { heard.push_back(e); });
  journal().last();
  heard.clear();
  search_ = std::make_unique<BookSearch>(*ledger_);
  search_->setCriteria(withText("nák"));
  search_->ApplyFilter();
  EXPECT_EQ(heard, (std::vector<ledger::DataEvent>{ledger::DataEvent::DataSetChanged}));
  EXPECT_TRUE(journal().filtered());
  EXPECT_EQ(journal().field(J::ID).asInteger(), 2);
  EXPECT_EQ(journal().recordCount(), 3);
}

TEST_F(ListSearch, SettingTheCriteriaAloneDoesNotReloadButTheNextEvaluationSeesThem) {
  search_ = std::make_unique<BookSearch>(*ledger_);
  search_->setCriteria(withText("nák"));
  search_->ApplyFilter();
  search_->setCriteria(withText("mzda"));
  EXPECT_EQ(journal().field(J::ID).asInteger(), 2);  // no reload
  EXPECT_EQ(shownIds(journal()), (std::vector<int>{1}));
}

TEST_F(ListSearch, ApplyFilterStoresAPendingEditAndShowsOtherUsersRows) {
  search_ = std::make_unique<BookSearch>(*ledger_);
  journal().first();
  journal().edit();
  journal().field(J::TEXT).setAsString(toCp1250("Nákup mzdy"));
  // Another program adds a row meanwhile.
  seedLedger(dir_.path(), {{.id = 7, .text = "Nákup jinde"}}, {}, {});
  search_->setCriteria(withText("nák"));
  search_->ApplyFilter();
  EXPECT_EQ(journal().state(), ledger::DatasetState::Browse);
  EXPECT_EQ(shownIds(journal()), (std::vector<int>{1, 2, 3, 6, 7}));
}

TEST_F(ListSearch, ANewRowSwitchesTheFilterOffAndTheNextApplyFilterOnAgain) {
  standOnId(ledger_->moves(), 1);  // the new row's text becomes "Mzda"
  EXPECT_EQ(filterWith(withText("nák")), (std::vector<int>{2, 3, 6}));
  ledger_->newJournalRow();
  EXPECT_FALSE(journal().filtered());
  EXPECT_EQ(shownIds(journal()), (std::vector<int>{1, 2, 3, 4, 5, 6, 7}));
  search_->ApplyFilter();
  EXPECT_EQ(shownIds(journal()), (std::vector<int>{2, 3, 6}));
}

// --- RecomputeShownBalances -----------------------------------------------------

class ShownBalances : public Search {
 protected:
  void SetUp() override {
    seedLedger(dir_.path(),
               {{.id = 1, .idk = 1, .text = "Nákup", .plus = 50, .zustatek = 1},
                {.id = 2, .idk = 1, .text = "Mzda", .plus = 1000, .zustatek = 999},
                {.id = 3, .idk = 1, .text = "nákup", .minus = 30, .zustatek = 2},
                {.id = 4, .idk = 1, .text = "Mzda"},
                {.id = 5, .idk = 1, .text = "NÁKUP", .plus = 20, .minus = 5}},
               {{1, "Hotovost"}}, {});
    {
      Dataset books("seed", ledger::tablePath(dir_.path(), LedgerTable::Books), text::Regional::czech());
      books.open();
      books.edit();
      books.field(ledger::books::BALANCE).setAsFloat(777);
      books.post();
    }
    openLedger();
    search_ = std::make_unique<BookSearch>(*ledger_);
    search_->setCriteria(withText("nák"));
    search_->ApplyFilter();
    journalBefore_ = storedRows(dir_.path(), LedgerTable::Journal);
  }
  std::vector<std::vector<Value>> journalBefore_;
};

TEST_F(ShownBalances, RunFromTheInitialBalanceThroughTheShownRowsOnly) {
  status_.texts.clear();
  search_->RecomputeShownBalances("100");
  const auto rows = storedRows(dir_.path(), LedgerTable::Journal);
  EXPECT_EQ(rows[0][J::ZUSTATEK], Value{150.0});
  EXPECT_EQ(rows[2][J::ZUSTATEK], Value{120.0});
  EXPECT_EQ(rows[4][J::ZUSTATEK], Value{135.0});  // PLUS and MINUS in one step
  // The hidden rows keep theirs, and the book its balance.
  EXPECT_EQ(rows[1], journalBefore_[1]);
  EXPECT_EQ(rows[3], journalBefore_[3]);
  EXPECT_EQ(storedRows(dir_.path(), LedgerTable::Books)[0][ledger::books::BALANCE], Value{777.0});
  // Only ZUSTATEK changed in the shown rows.
  for (int row : {0, 2, 4}) {
    for (int c = 0; c < J::ZUSTATEK; ++c) EXPECT_EQ(rows[row][c], journalBefore_[row][c]) << row << " " << c;
  }
  EXPECT_TRUE(journal().eof());
  EXPECT_EQ(journal().field(J::ID).asInteger(), 5);
  EXPECT_EQ(journal().state(), ledger::DatasetState::Browse);
  // The filter text is shown already: the pass's evaluations leave "Start",
  // its own message, in place.
  EXPECT_EQ(status_.texts, (std::vector<std::string>{"Start"}));
}

TEST_F(ShownBalances, TheInitialBalanceIsReadInTheRegionalNotation) {
  search_->RecomputeShownBalances(" 100,25 ");
  const auto rows = storedRows(dir_.path(), LedgerTable::Journal);
  EXPECT_EQ(rows[0][J::ZUSTATEK], Value{150.25});
  EXPECT_EQ(rows[4][J::ZUSTATEK], Value{135.25});
}

TEST_F(ShownBalances, AnInitialBalanceThatIsNoNumberStopsBeforeAnyRowIsTouched) {
  for (const char* typed : {"100.5", "", "sto", "1e"}) {
    try {
      search_->RecomputeShownBalances(typed);
      ADD_FAILURE() << "'" << typed << "' was taken as a number";
    } catch (const mincar::Error& e) {
      EXPECT_EQ(std::string(e.what()), mincar::fill("'%s' is not a valid floating point value", {typed}));
    }
    EXPECT_EQ(storedRows(dir_.path(), LedgerTable::Journal), journalBefore_) << typed;
    EXPECT_EQ(status_.text(), "Start");
  }
}

TEST_F(ShownBalances, WithNoRowShownNothingChanges) {
  search_->setCriteria(withText("nic takového"));
  search_->ApplyFilter();
  search_->RecomputeShownBalances("100");
  EXPECT_EQ(storedRows(dir_.path(), LedgerTable::Journal), journalBefore_);
  EXPECT_TRUE(journal().eof());
}

TEST_F(ShownBalances, ABalanceTheColumnCannotHoldStopsAtItsRow) {
  try {
    search_->RecomputeShownBalances("9999999999999");  // + 50 does not fit N(15,2)
    ADD_FAILURE() << "an amount beyond the column was stored";
  } catch (const mincar::Error& e) {
    EXPECT_EQ(std::string(e.what()), "Invalid value for field 'ZUSTATEK'");
  }
  EXPECT_EQ(storedRows(dir_.path(), LedgerTable::Journal), journalBefore_);
  EXPECT_EQ(journal().state(), ledger::DatasetState::Browse);
}


TEST_F(ShownBalances, ARowAnotherUserHoldsStopsThePassThereAndTheRowsBeforeKeepTheirs) {
  testing_support::RowHolder holder(dir_.path(), "journal", "3");
  ASSERT_TRUE(holder.ready());
  try {
    search_->RecomputeShownBalances("100");
    ADD_FAILURE() << "a held row was written";
  } catch (const mincar::Error& e) {
    EXPECT_EQ(std::string(e.what()),
              "Record locked by another user.\nTable: " + ledger::tablePath(dir_.path(), LedgerTable::Journal).string());
  }
  EXPECT_EQ(journal().state(), ledger::DatasetState::Browse);
  EXPECT_EQ(journal().field(J::ID).asInteger(), 3);  // where it stopped
  EXPECT_EQ(holder.release(), 0);
  const auto rows = storedRows(dir_.path(), LedgerTable::Journal);
  EXPECT_EQ(rows[0][J::ZUSTATEK], Value{150.0});
  EXPECT_EQ(rows[2], journalBefore_[2]);
  EXPECT_EQ(rows[4], journalBefore_[4]);

  // With the row free again the pass completes.
  search_->RecomputeShownBalances("100");
  EXPECT_EQ(storedRows(dir_.path(), LedgerTable::Journal)[4][J::ZUSTATEK], Value{135.0});
}

}  // namespace
