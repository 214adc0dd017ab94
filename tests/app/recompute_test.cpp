// The balance recomputation on real tables: its edge cases and a comparison
// with the plain per-book walk on random journals.
#include <gtest/gtest.h>

#include <filesystem>
#include <memory>
#include <random>
#include <string>
#include <vector>

#include "app/ledger.h"
#include "app/status_line.h"
#include "ledger/dataset.h"
#include "ledger/ledger_tables.h"
#include "test_support.h"
#include "text/cp1250.h"

namespace {

namespace fs = std::filesystem;
using ledger::Dataset;
using ledger::LedgerTable;
using ledger::Value;
using testing_support::seedRows;
using testing_support::storedRows;
using testing_support::TempDir;
namespace J = ledger::journal;
namespace B = ledger::books;

const Value kEmpty{};
using Rows = std::vector<std::vector<Value>>;

std::string cz(const char* utf8) { return text::toCp1250(utf8); }
std::string finished() { return cz("Konečné stavy obnoveny..."); }

// Columns left out stay empty.
struct JournalRow {
  Value id{}, idk{}, idm{}, datum{}, text{}, plus{}, minus{}, zustatek{};
};

void seedJournal(const fs::path& workDir, const std::vector<JournalRow>& rows) {
  Rows values;
  for (const JournalRow& r : rows) {
    values.push_back({r.id, r.idk, r.idm, r.datum, r.text, r.plus, r.minus, r.zustatek});
  }
  seedRows(workDir, LedgerTable::Journal, values);
}

std::vector<Value> column(const Rows& rows, int position) {
  std::vector<Value> values;
  for (const auto& row : rows) values.push_back(row.at(static_cast<size_t>(position)));
  return values;
}

// The recomputation as it has always been written: for each book in turn, a
// walk over the whole journal, each matching row edited and stored by the
// move to the next row, then the book's closing balance.
void referenceRecompute(const fs::path& workDir) {
  Dataset journal("Table1", ledger::tablePath(workDir, LedgerTable::Journal), text::Regional::czech());
  Dataset books("Table1", ledger::tablePath(workDir, LedgerTable::Books), text::Regional::czech());
  journal.open();
  books.open();
  books.first();
  while (!books.eof()) {
    journal.first();
    double sum = 0;
    while (!journal.eof()) {
      if (journal.field(J::IDK).asInteger() == books.field(B::ID).asInteger()) {
        sum = sum + journal.field(J::PLUS).asFloat();
        sum = sum - journal.field(J::MINUS).asFloat();
        journal.edit();
        journal.field(J::ZUSTATEK).setAsFloat(sum);
      }
      journal.next();
    }
    books.edit();
    books.field(B::BALANCE).setAsFloat(sum);
    books.next();
  }
}

class Recompute : public ::testing::Test {
 protected:
  app::Ledger& open() {
    ledger_ = std::make_unique<app::Ledger>(dir_.path(), text::Regional::czech(), status_);
    ledger_->open();
    return *ledger_;
  }
  Rows stored(LedgerTable t) { return storedRows(dir_.path(), t); }

  TempDir dir_;
  app::RecordingStatusLine status_;
  std::unique_ptr<app::Ledger> ledger_;
};

TEST_F(Recompute, RunningBalancesPerBookInEntryOrderAndClosingBalances) {
  seedRows(dir_.path(), LedgerTable::Books, {{1.0, cz("Hotovost"), 999.0}, {2.0, cz("Banka"), 999.0}});
  seedJournal(dir_.path(),
              {{.id = 1.0, .idk = 1.0, .datum = text::Date{2026, 3, 5}, .text = cz("Záloha"),
                .plus = 1000.0},
               {.id = 2.0, .idk = 2.0, .datum = text::Date{2026, 3, 1}, .text = cz("Mzda"),
                .plus = 25000.0},
               // Entered later, dated earlier: its balance follows the row before it.
               {.id = 3.0, .idk = 1.0, .datum = text::Date{2026, 2, 1}, .text = cz("Nákup"),
                .minus = 250.5},
               // Income and expense in one row.
               {.id = 4.0, .idk = 1.0, .datum = text::Date{2026, 3, 6}, .text = cz("Vratná záloha"),
                .plus = 30.0, .minus = 120.25},
               {.id = 5.0, .idk = 2.0, .text = cz("Nájem"), .minus = 9000.0, .zustatek = 1.0}});
  app::Ledger& l = open();
  l.RecomputeBalances();

  auto journal = stored(LedgerTable::Journal);
  EXPECT_EQ(column(journal, J::ZUSTATEK),
            (std::vector<Value>{1000.0, 25000.0, 749.5, 659.25, 16000.0}));
  auto books = stored(LedgerTable::Books);
  EXPECT_EQ(column(books, B::BALANCE), (std::vector<Value>{659.25, 16000.0}));
  EXPECT_EQ(status_.texts,
            (std::vector<std::string>{"Start", cz("Záloha"), cz("Mzda"), cz("Nákup"),
                                      cz("Vratná záloha"), cz("Nájem"), finished()}));
}

TEST_F(Recompute, ABookWithoutRowsClosesAtZero) {
  seedRows(dir_.path(), LedgerTable::Books, {{1.0, cz("Hotovost"), 55.0}, {2.0, cz("Banka"), 66.0}});
  seedJournal(dir_.path(), {{.id = 1.0, .idk = 1.0, .plus = 10.0}});
  open().RecomputeBalances();
  EXPECT_EQ(column(stored(LedgerTable::Books), B::BALANCE), (std::vector<Value>{10.0, 0.0}));
}

TEST_F(Recompute, AnEmptyBooksTableChangesNothing) {
  seedJournal(dir_.path(), {{.id = 1.0, .idk = 1.0, .text = cz("a"), .plus = 10.0, .zustatek = 3.0},
                            {.id = 2.0, .text = cz("b"), .minus = 1.0}});
  const Rows before = stored(LedgerTable::Journal);
  open().RecomputeBalances();
  EXPECT_EQ(stored(LedgerTable::Journal), before);
  EXPECT_EQ(status_.texts, (std::vector<std::string>{"Start", finished()}));
}

TEST(RecomputeBookZero, AnEmptyBookNumberBelongsToBookZeroIfThereIsOne) {
  const std::vector<JournalRow> rows = {
      {.id = 1.0, .plus = 5.0, .zustatek = 77.0},
      {.id = 2.0, .idk = 0.0, .plus = 6.0, .zustatek = 77.0},
      {.id = 3.0, .idk = 1.0, .plus = 7.0, .zustatek = 77.0},
  };
  struct Case {
    const char* why;
    Rows books;
    std::vector<Value> balances;
  };
  const Case cases[] = {
      {"book 0 exists", {{0.0, cz("Nula")}, {1.0, cz("Jedna")}}, {5.0, 11.0, 7.0}},
      {"no book 0", {{1.0, cz("Jedna")}}, {77.0, 77.0, 7.0}},
  };
  for (const Case& c : cases) {
    TempDir dir;
    seedRows(dir.path(), LedgerTable::Books, c.books);
    seedJournal(dir.path(), rows);
    app::RecordingStatusLine status;
    app::Ledger l(dir.path(), text::Regional::czech(), status);
    l.open();
    l.RecomputeBalances();
    EXPECT_EQ(column(storedRows(dir.path(), LedgerTable::Journal), J::ZUSTATEK), c.balances) << c.why;
  }
}

TEST_F(Recompute, RowsOfADeletedBookKeepTheirBalance) {
  seedRows(dir_.path(), LedgerTable::Books, {{1.0, cz("Hotovost")}, {3.0, cz("Stará kasa")}});
  seedJournal(dir_.path(), {{.id = 1.0, .idk = 3.0, .plus = 50.0},
                            {.id = 2.0, .idk = 1.0, .plus = 10.0},
                            {.id = 3.0, .idk = 3.0, .minus = 5.0}});
  app::Ledger& l = open();
  l.RecomputeBalances();
  ASSERT_EQ(column(stored(LedgerTable::Journal), J::ZUSTATEK),
            (std::vector<Value>{50.0, 10.0, 45.0}));
  l.books().last();
  l.deleteBook();
  l.journal().first();
  l.journal().edit();
  l.journal().field(J::PLUS).setAsString("60");
  l.journal().post();

  l.RecomputeBalances();
  EXPECT_EQ(column(stored(LedgerTable::Journal), J::ZUSTATEK),
            (std::vector<Value>{50.0, 10.0, 45.0}));
}

TEST_F(Recompute, HiddenRowsAreRecomputedAndTheFilterIsOnAgainAfterwards) {
  seedRows(dir_.path(), LedgerTable::Books, {{1.0, cz("Hotovost")}});
  seedJournal(dir_.path(), {{.id = 1.0, .idk = 1.0, .plus = 100.0},
                            {.id = 2.0, .idk = 1.0, .minus = 30.0},
                            {.id = 3.0, .idk = 1.0, .minus = 20.0}});
  app::Ledger& l = open();
  l.journal().onFilterRecord = [](Dataset& d) { return d.field(J::ID).asFloat() != 2; };
  l.journal().refilter();
  ASSERT_EQ(l.journal().recordCount(), 2);

  l.RecomputeBalances();
  EXPECT_TRUE(l.journal().filtered());
  EXPECT_EQ(l.journal().recordCount(), 2);
  EXPECT_EQ(column(stored(LedgerTable::Journal), J::ZUSTATEK),
            (std::vector<Value>{100.0, 70.0, 50.0}));
  EXPECT_EQ(column(stored(LedgerTable::Books), B::BALANCE), (std::vector<Value>{50.0}));

  // And a filter that was off stays off.
  l.journal().setFiltered(false);
  l.RecomputeBalances();
  EXPECT_FALSE(l.journal().filtered());
}

TEST_F(Recompute, TwiceInARowGivesTheSameValues) {
  seedRows(dir_.path(), LedgerTable::Books, {{1.0, cz("Hotovost")}, {2.0, cz("Banka")}});
  seedJournal(dir_.path(), {{.id = 1.0, .idk = 1.0, .plus = 0.1},
                            {.id = 2.0, .idk = 2.0, .plus = 0.2},
                            {.id = 3.0, .idk = 1.0, .plus = 0.2, .minus = 0.3}});
  app::Ledger& l = open();
  l.RecomputeBalances();
  const Rows journal = stored(LedgerTable::Journal);
  const Rows books = stored(LedgerTable::Books);
  l.RecomputeBalances();
  EXPECT_EQ(stored(LedgerTable::Journal), journal);
  EXPECT_EQ(stored(LedgerTable::Books), books);
}

TEST_F(Recompute, LeavesTheBooksOnTheirFirstRowAndTheJournalGridConnected) {
  seedRows(dir_.path(), LedgerTable::Books, {{1.0, cz("Hotovost")}, {2.0, cz("Banka")}});
  seedJournal(dir_.path(), {{.id = 1.0, .idk = 2.0, .plus = 1.0}});
  app::Ledger& l = open();
  l.books().last();
  std::vector<ledger::DataEvent> journalEvents;
  l.journal().dataSource().subscribe([&](ledger::DataEvent e) { journalEvents.push_back(e); });
  int booksEvents = 0;
  l.books().dataSource().subscribe([&](ledger::DataEvent) { ++booksEvents; });

  l.RecomputeBalances();
  EXPECT_EQ(l.books().field(B::ID).asFloat(), 1);
  EXPECT_TRUE(l.journal().dataSource().enabled());
  // The journal grid only hears that everything may have changed, once the
  // pass is over; an open books list follows the walk.
  EXPECT_EQ(journalEvents, std::vector<ledger::DataEvent>{ledger::DataEvent::DataSetChanged});
  EXPECT_GT(booksEvents, 0);

  // So the next new row takes the first book.
  l.newJournalRow();
  EXPECT_EQ(l.journal().field(J::IDK).asFloat(), 1);
}

TEST_F(Recompute, APendingEditInTheJournalIsStoredAndCounted) {
  seedRows(dir_.path(), LedgerTable::Books, {{1.0, cz("Hotovost")}});
  seedJournal(dir_.path(), {{.id = 1.0, .idk = 1.0, .plus = 1.0}, {.id = 2.0, .idk = 1.0}});
  app::Ledger& l = open();
  l.journal().last();
  l.journal().edit();
  l.journal().field(J::MINUS).setAsString("0,25");
  l.RecomputeBalances();
  EXPECT_EQ(column(stored(LedgerTable::Journal), J::ZUSTATEK), (std::vector<Value>{1.0, 0.75}));
}

// Random ledgers against the per-book walk: books with equal, zero and
// missing numbers, rows naming no book, empty amounts, a filter in force.
TEST(RecomputeAgainstTheWalk, RandomJournalsGiveTheSameTables) {
  std::mt19937 random(20260307);
  auto pick = [&](const std::vector<Value>& from) {
    return from[std::uniform_int_distribution<size_t>(0, from.size() - 1)(random)];
  };
  auto amount = [&]() -> Value {
    if (random() % 3 == 0) return kEmpty;
    return static_cast<double>(random() % 2000000) / 100.0;
  };
  const std::vector<Value> bookIds = {kEmpty, 0.0, 1.0, 2.0, 3.0, 4.0, -1.0};
  const std::vector<Value> rowBooks = {kEmpty, 0.0, 1.0, 2.0, 3.0, 4.0, 5.0, -1.0, 99.0};

  for (int round = 0; round < 60; ++round) {
    TempDir ours, reference;
    Rows books;
    const int bookCount = static_cast<int>(random() % 6);
    for (int b = 0; b < bookCount; ++b) books.push_back({pick(bookIds), cz("kniha"), amount()});
    Rows journal;
    const int rowCount = static_cast<int>(random() % 50);
    for (int r = 0; r < rowCount; ++r) {
      journal.push_back({static_cast<double>(r + 1), pick(rowBooks), 1.0, text::Date{2026, 1, 1},
                         "r" + std::to_string(r), amount(), amount(), amount()});
    }
    seedRows(ours.path(), LedgerTable::Books, books);
    seedRows(ours.path(), LedgerTable::Journal, journal);
    seedRows(reference.path(), LedgerTable::Books, books);
    seedRows(reference.path(), LedgerTable::Journal, journal);

    app::RecordingStatusLine status;
    app::Ledger l(ours.path(), text::Regional::czech(), status);
    l.open();
    if (random() % 2) {
      l.journal().onFilterRecord = [](Dataset& d) { return d.field(J::ID).asInteger() % 3 != 0; };
      l.journal().refilter();
    }
    l.books().last();
    l.RecomputeBalances();
    referenceRecompute(reference.path());

    EXPECT_EQ(storedRows(ours.path(), LedgerTable::Journal),
              storedRows(reference.path(), LedgerTable::Journal))
        << "round " << round;
    EXPECT_EQ(storedRows(ours.path(), LedgerTable::Books), storedRows(reference.path(), LedgerTable::Books))
        << "round " << round;
    ASSERT_GE(status.texts.size(), 2u);
    EXPECT_EQ(status.texts.front(), "Start");
    EXPECT_EQ(status.texts.back(), finished());
  }
}

}  // namespace
