// mincar-cli import: statements into the journal through the new-row rule,
// skipping what the book holds, all or nothing.
#include <gtest/gtest.h>

#include <algorithm>
#include <atomic>
#include <filesystem>
#include <set>
#include <string>
#include <thread>
#include <vector>

#include "ledger/ledger_tables.h"
#include "statement_files.h"
#include "test_support.h"
#include "text/cp1250.h"

namespace {

namespace fs = std::filesystem;
using ledger::LedgerTable;
using ledger::Value;
using testing_support::gpcHeader;
using testing_support::gpcItem;
using testing_support::gpcMessage;
using testing_support::run;
using testing_support::storedRows;
using testing_support::TempDir;
namespace J = ledger::journal;

fs::path cli() { return testing_support::builtProgram("mincar-cli"); }

std::string gpc(const std::vector<std::string>& records) {
  std::string out;
  for (const std::string& r : records) out += r + "\r\n";
  return out;
}

class CliImport : public ::testing::Test {
 protected:
  void SetUp() override {
    EXPECT_EQ(cli({"init"}).exitCode, 0);
    EXPECT_EQ(cli({"add-book", "Účet"}).out, "1\n");
    EXPECT_EQ(cli({"add-move", "Hotovost"}).out, "1\n");
    EXPECT_EQ(cli({"add-move", "Banka"}).out, "2\n");
  }
  testing_support::RunResult cli(std::vector<std::string> args) {
    args.insert(args.begin(), {"-C", dir.path().string()});
    return run(::cli(), args);
  }
  std::string write(const std::string& name, const std::string& bytes) {
    testing_support::writeFile(dir / name, bytes);
    return (dir / name).string();
  }
  std::vector<std::vector<Value>> journal() { return storedRows(dir.path(), LedgerTable::Journal); }
  TempDir dir;
};

// Opening 1 000,00; out 250,50 and 49,50 (a credit's reversal); in 3 000,00
// and 12,00 (a debit's reversal): closing 3 712,00.
const std::vector<std::string> kStatement = {
    gpcHeader(100000, 371200, 30000, 301200),
    gpcItem(25050, '1', "011226", text::toCp1250("Elektrárna Žďár"), "0000001234"),
    gpcMessage("078", text::toCp1250("Záloha prosinec")),
    gpcItem(300000, '2', "021226", text::toCp1250("Zaměstnavatel")),
    gpcItem(4950, '5', "031226", "OBCHOD"),
    gpcItem(1200, '4', "031226", "OBCHOD"),
};

TEST_F(CliImport, AddsEachMovementByTheRuleAndPrintsTheBalances) {
  const auto r = cli({"import", write("v.gpc", gpc(kStatement)), "--book", "1", "--move", "2"});
  ASSERT_EQ(r.exitCode, 0) << r.err;
  EXPECT_EQ(r.out, "added 4, skipped 0\nopening balance 1000,00, closing balance 3712,00\n");
  const auto rows = journal();
  ASSERT_EQ(rows.size(), 4u);
  const std::vector<std::vector<Value>> expected = {
      {1.0, 1.0, 2.0, text::Date{2026, 12, 1}, text::toCp1250("Elektrárna Žďár, Záloha prosinec, VS 1234"),
       Value{}, 250.5, Value{}},
      {2.0, 1.0, 2.0, text::Date{2026, 12, 2}, text::toCp1250("Zaměstnavatel"), 3000.0, Value{}, Value{}},
      {3.0, 1.0, 2.0, text::Date{2026, 12, 3}, std::string("OBCHOD"), Value{}, 49.5, Value{}},
      {4.0, 1.0, 2.0, text::Date{2026, 12, 3}, std::string("OBCHOD"), 12.0, Value{}, Value{}},
  };
  EXPECT_EQ(rows, expected);
}

TEST_F(CliImport, TheSameStatementTwiceAddsNothingAndAnOverlapOnlyTheNew) {
  const std::string file = write("v.gpc", gpc(kStatement));
  ASSERT_EQ(cli({"import", file, "--book", "1"}).out.substr(0, 19), "added 4, skipped 0\n");
  const auto again = cli({"import", file, "--book", "1"});
  EXPECT_EQ(again.out, "added 0, skipped 4\nopening balance 1000,00, closing balance 3712,00\n");
  // The next statement repeats the 3rd and brings a new one.
  const std::string next = write(
      "w.gpc", gpc({gpcHeader(371200, 361200, 10000, 0), gpcItem(1200, '4', "031226", "OBCHOD"),
                    gpcItem(10000, '1', "041226", "OBCHOD")}));
  const auto overlap = cli({"import", next, "--book", "1"});
  EXPECT_EQ(overlap.out, "added 1, skipped 1\nopening balance 3712,00, closing balance 3612,00\n");
  EXPECT_EQ(journal().size(), 5u);
  // The movement kind defaults to the list's first row.
  EXPECT_EQ(journal().back()[J::IDM], Value{1.0});
}

TEST_F(CliImport, TwoEqualPaymentsOfADayWhenTheJournalHoldsOne) {
  ASSERT_EQ(cli({"add-row", "--book", "1", "--date", "5.12.2026", "--text", "KAVARNA", "--minus", "80"})
                .exitCode,
            0);
  const std::string file = write("v.gpc", gpc({gpcHeader(0, -16000, 16000, 0),
                                                gpcItem(8000, '1', "051226", "KAVARNA"),
                                                gpcItem(8000, '1', "051226", "KAVARNA")}));
  EXPECT_EQ(cli({"import", file, "--book", "1"}).out.substr(0, 19), "added 1, skipped 1\n");
  EXPECT_EQ(journal().size(), 2u);
}

TEST_F(CliImport, ACutLineRefusesTheWholeFileAndAddsNothing) {
  std::vector<std::string> records = kStatement;
  records[4] = records[4].substr(0, 52);
  const std::string file = write("v.gpc", gpc(records));
  const auto r = cli({"import", file, "--book", "1"});
  EXPECT_EQ(r.exitCode, 1);
  EXPECT_EQ(r.err, "File " + file + ", line 5, amount: the line ends before the field does\n");
  EXPECT_EQ(r.out, "");
  EXPECT_TRUE(journal().empty());
}

TEST_F(CliImport, AnUnknownBookOrMovementChangesNothing) {
  const std::string file = write("v.gpc", gpc(kStatement));
  const std::string before = testing_support::readFile(ledger::tablePath(dir.path(), LedgerTable::Journal));
  const auto book = cli({"import", file, "--book", "9"});
  EXPECT_EQ(book.exitCode, 1);
  EXPECT_EQ(book.err, "No book has ID 9\n");
  const auto move = cli({"import", file, "--book", "1", "--move", "9"});
  EXPECT_EQ(move.exitCode, 1);
  EXPECT_EQ(move.err, "No movement has ID 9\n");
  EXPECT_EQ(cli({"import", file}).exitCode, 2);
  for (const std::string& missing : {(dir / "none.gpc").string(), dir.path().string()}) {
    const auto r = cli({"import", missing, "--book", "1"});
    EXPECT_EQ(r.exitCode, 1);
    EXPECT_EQ(r.err, "Cannot open file " + missing + "\n");
  }
  EXPECT_EQ(cli({"import", file, "--book", "1", "--format", "ofx"}).exitCode, 2);
  EXPECT_EQ(testing_support::readFile(ledger::tablePath(dir.path(), LedgerTable::Journal)), before);
}

TEST_F(CliImport, ADryRunPrintsWhatWouldHappenAndChangesNothing) {
  const std::string file = write("v.gpc", gpc({kStatement[0], kStatement[3], kStatement[4]}));
  ASSERT_EQ(cli({"add-row", "--book", "1", "--date", "3.12.2026", "--text", "OBCHOD", "--minus", "49,5"})
                .exitCode,
            0);
  const std::string before = testing_support::readFile(ledger::tablePath(dir.path(), LedgerTable::Journal));
  const auto r = cli({"import", file, "--book", "1", "--dry-run"});
  ASSERT_EQ(r.exitCode, 0) << r.err;
  EXPECT_EQ(r.out,
            "add 2.12.2026 3000,00 Zaměstnavatel\n"
            "skip 3.12.2026 -49,50 OBCHOD\n"
            "would add 1, would skip 1\n"
            "opening balance 1000,00, closing balance 3712,00\n");
  EXPECT_EQ(testing_support::readFile(ledger::tablePath(dir.path(), LedgerTable::Journal)), before);
}

TEST_F(CliImport, AfterRecomputeTheBookClosesAtTheStatementsClosingBalance) {
  ASSERT_EQ(cli({"add-row", "--book", "1", "--date", "30.11.2026", "--text", "Počáteční stav", "--plus",
                 "1000"})
                .exitCode,
            0);
  ASSERT_EQ(cli({"import", write("v.gpc", gpc(kStatement)), "--book", "1"}).exitCode, 0);
  ASSERT_EQ(cli({"recompute"}).exitCode, 0);
  const auto books = storedRows(dir.path(), LedgerTable::Books);
  EXPECT_EQ(books[0][ledger::books::BALANCE], Value{3712.0});
}

TEST_F(CliImport, ACsvStatementInUtf8AndInWindows1250) {
  const std::string utf8 =
      "\xEF\xBB\xBF"
      "Datum;Objem;Název protiúčtu;Zpráva pro příjemce;VS\n"
      "1.12.2026;-250,50;Elektrárna;\"Záloha; prosinec\";1234\n"
      "2.12.2026;3000;Zaměstnavatel;;\n";
  const auto r = cli({"import", write("v.csv", utf8), "--book", "1"});
  ASSERT_EQ(r.exitCode, 0) << r.err;
  EXPECT_EQ(r.out, "added 2, skipped 0\n");
  EXPECT_EQ(journal()[0][J::TEXT], Value{text::toCp1250("Elektrárna, Záloha; prosinec, VS 1234")});
  // The same movements from the Windows-1250 export of another bank.
  const std::string cp1250 = text::toCp1250(
      "Datum,Částka,Název protiúčtu,Zpráva pro příjemce,VS\n"
      "2026-12-01,-250.50,Elektrárna,\"Záloha; prosinec\",1234\n"
      "2026-12-02,3000.00,Zaměstnavatel,,\n"
      "2026-12-03,1.00,Úrok,,\n");
  const auto again = cli({"import", write("w.csv", cp1250), "--book", "1"});
  EXPECT_EQ(again.out, "added 1, skipped 2\n");
  const auto columns =
      cli({"import", write("x.csv", "4.12.2026;7\n"), "--book", "1", "--columns", "date=1,amount=2"});
  EXPECT_EQ(columns.out, "added 1, skipped 0\n");
}

// Another copy appends rows by the same rule for as long as a long statement
// comes in: every number stays unique and nothing is lost.
TEST_F(CliImport, AnotherCopyAppendingMeanwhileGetsNumbersOfItsOwn) {
  constexpr int kMovements = 6000;
  std::vector<std::string> records = {gpcHeader(0, 0, 0, 0)};
  for (int i = 0; i < kMovements; ++i) {
    records.push_back(gpcItem(100 + i, i % 2 ? '1' : '2', "011226", "P" + std::to_string(i)));
  }
  const std::string file = write("v.gpc", gpc(records));
  testing_support::RunResult imported;
  std::atomic<bool> done{false};
  std::thread import([&] {
    imported = cli({"import", file, "--book", "1"});
    done = true;
  });
  int added = 0;
  int whileImporting = 0;
  for (int i = 0; i < 200 && (i < 2 || !done); ++i) {
    const bool before = !done;
    const auto r = cli({"add-row", "--book", "1", "--text", "peer"});
    EXPECT_EQ(r.exitCode, 0) << r.err;
    if (r.exitCode == 0) ++added;
    if (before && !done) ++whileImporting;
  }
  import.join();
  ASSERT_EQ(imported.exitCode, 0) << imported.err;
  EXPECT_EQ(imported.out.substr(0, 22), "added 6000, skipped 0\n");
  EXPECT_GT(whileImporting, 0);
  const auto rows = journal();
  ASSERT_EQ(rows.size(), static_cast<size_t>(kMovements + added));
  std::set<double> ids;
  for (const auto& row : rows) ids.insert(std::get<double>(row[J::ID]));
  EXPECT_EQ(ids.size(), rows.size());
  EXPECT_EQ(*ids.rbegin(), static_cast<double>(rows.size()));
}

}  // namespace
