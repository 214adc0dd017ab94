// The matcher against the journal and the writer through the journal's
// new-row rule, as one batch and all or nothing.
#include "import/journal_import.h"

#include <gtest/gtest.h>

#include <stdexcept>
#include <string>
#include <vector>

#include "app/ledger.h"
#include "app/status_line.h"
#include "ledger/ledger_tables.h"
#include "test_support.h"
#include "text/cp1250.h"

namespace {

using ledger::LedgerTable;
using ledger::Value;
using testing_support::seedRows;
using testing_support::storedRows;
using testing_support::TempDir;
namespace J = ledger::journal;

bank::StatementLine line(text::Date date, std::int64_t amount, bool income, std::string name) {
  bank::StatementLine l;
  l.date = date;
  l.amount = amount;
  l.income = income;
  l.counterparty = std::move(name);
  return l;
}

std::vector<const bank::StatementLine*> all(const bank::Statement& s) {
  std::vector<const bank::StatementLine*> out;
  for (const auto& l : s.lines) out.push_back(&l);
  return out;
}

class JournalImport : public ::testing::Test {
 protected:
  void SetUp() override {
    seedRows(dir.path(), LedgerTable::Books, {{1.0, std::string("Banka")}, {2.0, std::string("Pokladna")}});
    seedRows(dir.path(), LedgerTable::Moves, {{7.0, std::string("Převod")}});
  }
  TempDir dir;
  app::RecordingStatusLine status;
};

TEST_F(JournalImport, TheTextJoinsNameMessageAndVsAndIsCutToTheColumn) {
  bank::StatementLine l = line({2026, 12, 1}, 1, true, "Jan");
  l.message = "Za obědy";
  l.vs = "123";
  EXPECT_EQ(bank::journalText(l, 200), "Jan, Za obědy, VS 123");
  EXPECT_EQ(bank::journalText(l, 5), "Jan,");
  EXPECT_EQ(bank::journalText(line({2026, 12, 1}, 1, true, ""), 200), "");
}

TEST_F(JournalImport, CountsEqualMovementsOfADayAndLooksOnlyAtTheBook) {
  // One 100,00 payment to A on 1.12. is in book 1, one in book 2.
  seedRows(dir.path(), LedgerTable::Journal,
           {{5.0, 1.0, 7.0, text::Date{2026, 12, 1}, std::string("A"), 0.0, 100.0},
            {6.0, 2.0, 7.0, text::Date{2026, 12, 1}, std::string("A"), 0.0, 100.0},
            {8.0, 1.0, 7.0, text::Date{2026, 12, 1}, std::string("A"), 100.0, 0.0}});
  app::Ledger ledger(dir.path(), text::Regional::czech(), status);
  ledger.open();
  bank::Statement s;
  s.lines = {line({2026, 12, 1}, 10000, false, "A"), line({2026, 12, 1}, 10000, false, "A"),
             line({2026, 12, 1}, 10000, true, "A"), line({2026, 12, 2}, 10000, true, "A")};
  const bank::Match m = bank::matchJournal(ledger.journal(), 1.0, s);
  ASSERT_EQ(m.present.size(), 2u);
  EXPECT_EQ(m.present[0], &s.lines[0]);
  EXPECT_EQ(m.present[1], &s.lines[2]);
  ASSERT_EQ(m.toAdd.size(), 2u);
  EXPECT_EQ(m.toAdd[0], &s.lines[1]);
  EXPECT_EQ(m.toAdd[1], &s.lines[3]);
  // The search's filter is as it was.
  EXPECT_TRUE(ledger.journal().filtered());
}

TEST_F(JournalImport, NumbersTheRowsOnFromTheHighestAndStampsThemByTheRule) {
  seedRows(dir.path(), LedgerTable::Journal, {{41.0, 2.0, 7.0, text::Date{2026, 1, 1}}, {3.0}});
  app::Ledger ledger(dir.path(), text::Regional::czech(), status);
  ledger.open();
  ledger.books().first();
  ledger.moves().first();
  bank::Statement s;
  s.lines = {line({2026, 12, 1}, 12345, true, text::toCp1250("Žák")),
             line({2026, 12, 3}, 50, false, "B")};
  const text::Date calendar = ledger.calendarDate;
  bank::addToJournal(ledger, all(s));
  EXPECT_EQ(ledger.calendarDate, calendar);
  const auto rows = storedRows(dir.path(), LedgerTable::Journal);
  ASSERT_EQ(rows.size(), 4u);
  const std::vector<Value> first = {42.0, 1.0, 7.0, text::Date{2026, 12, 1}, text::toCp1250("Žák"),
                                    123.45, Value{}, Value{}};
  const std::vector<Value> second = {43.0, 1.0, 7.0, text::Date{2026, 12, 3}, std::string("B"),
                                     Value{}, 0.5, Value{}};
  EXPECT_EQ(rows[2], first);
  EXPECT_EQ(rows[3], second);
}

TEST_F(JournalImport, ARowThatFailsTakesEveryRowOfTheBatchOutAgain) {
  seedRows(dir.path(), LedgerTable::Journal, {{1.0, 1.0, 7.0, text::Date{2026, 1, 1}}});
  const auto before = storedRows(dir.path(), LedgerTable::Journal);
  app::Ledger ledger(dir.path(), text::Regional::czech(), status);
  ledger.open();
  EXPECT_THROW(ledger.newJournalRows(
                   5, [](std::size_t) {},
                   [](std::size_t i) {
                     if (i == 3) throw std::runtime_error("disk full");
                   }),
               std::runtime_error);
  EXPECT_EQ(storedRows(dir.path(), LedgerTable::Journal), before);
  // The numbering goes on as if the batch had never been.
  ledger.newJournalRow();
  EXPECT_EQ(storedRows(dir.path(), LedgerTable::Journal).back()[J::ID], Value{2.0});
}

}  // namespace
