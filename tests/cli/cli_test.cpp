#include <fcntl.h>
#include <spawn.h>
#include <sys/wait.h>
#include <unistd.h>

#include <gtest/gtest.h>

#include <filesystem>
#include <string>
#include <vector>

#include "ledger/dataset.h"
#include "ledger/ledger_tables.h"
#include "test_support.h"
#include "text/cp1250.h"
#include "text/date.h"
#include "text/regional.h"

extern char** environ;

namespace {

namespace fs = std::filesystem;
using testing_support::run;
using testing_support::TempDir;

fs::path cli() { return testing_support::builtProgram("mincar-cli"); }

TEST(CliInit, CreatesTheThreeTablesOnceAndLeavesThemAlone) {
  TempDir dir;
  auto first = run(cli(), {"-C", dir.path().string(), "init"});
  ASSERT_EQ(first.exitCode, 0) << first.err;
  for (auto t : {ledger::LedgerTable::Journal, ledger::LedgerTable::Books,
                 ledger::LedgerTable::Moves}) {
    EXPECT_TRUE(fs::exists(ledger::tablePath(dir.path(), t)));
  }
  EXPECT_NE(first.out.find("peden.dbf"), std::string::npos);

  // A table with rows must survive a second init untouched.
  fs::path books = ledger::tablePath(dir.path(), ledger::LedgerTable::Books);
  {
    ledger::Dataset t("Table1", books, text::Regional::czech());
    t.open();
    t.append();
    t.field(0).setValue(1.0);
    t.field(1).setAsString(text::toCp1250("Hotovost"));
    t.post();
  }
  std::string before = testing_support::readFile(books);
  auto second = run(cli(), {"-C", dir.path().string(), "init"});
  ASSERT_EQ(second.exitCode, 0) << second.err;
  EXPECT_EQ(second.out, "");
  EXPECT_EQ(testing_support::readFile(books), before);
}

TEST(CliList, PrintsRowsInTheBackupLineFormInUtf8) {
  TempDir dir;
  ASSERT_EQ(run(cli(), {"-C", dir.path().string(), "init"}).exitCode, 0);
  {
    ledger::Dataset t("Table1", ledger::tablePath(dir.path(), ledger::LedgerTable::Journal),
                      text::Regional::czech());
    t.open();
    t.append();
    t.field(0).setValue(1.0);
    t.field(1).setValue(1.0);
    t.field(2).setValue(2.0);
    t.field(3).setAsString("12.9.2004");
    t.field(4).setAsString(text::toCp1250("Nákup; potraviny"));
    t.field(6).setValue(350.5);
    t.field(7).setValue(-350.5);
    t.post();
  }
  auto r = run(cli(), {"-C", dir.path().string(), "list", "journal"});
  ASSERT_EQ(r.exitCode, 0) << r.err;
  EXPECT_EQ(r.out, "1;1;2;12.9.2004;Nákup: potraviny; ;350,5;-350,5;\n");
}

TEST(CliUsage, WrongWordsExitTwoAndFailuresExitOneWithTheMessage) {
  TempDir dir;
  struct Case {
    std::vector<std::string> args;
    int exitCode;
    std::string errPart;
  } cases[] = {
      {{}, 2, "usage: mincar-cli"},
      {{"-C"}, 2, "usage: mincar-cli"},
      {{"-C", dir.path().string(), "frobnicate"}, 2, "unknown command 'frobnicate'"},
      {{"-C", dir.path().string(), "list", "people"}, 2, "unknown table 'people'"},
      {{"-C", dir.path().string(), "list", "journal"}, 1, "Cannot open file"},
      {{"-C", dir.path().string(), "add-book"}, 2, "add-book needs one NAME"},
      {{"-C", dir.path().string(), "add-move", "a", "b"}, 2, "add-move needs one NAME"},
      {{"-C", dir.path().string(), "add-row", "--colour", "red"}, 2,
       "unknown option '--colour' for add-row"},
      {{"-C", dir.path().string(), "add-row", "--plus"}, 2, "--plus needs a value"},
      {{"-C", dir.path().string(), "add-row", "--plus", "1", "--plus", "2"}, 2,
       "--plus given twice"},
      {{"-C", dir.path().string(), "add-row", "extra"}, 2, "add-row takes no argument 'extra'"},
      {{"-C", dir.path().string(), "set", "--book", "1"}, 2, "set needs one journal row ID"},
      {{"-C", dir.path().string(), "set", "1"}, 2, "set needs --book, --move or --date"},
      {{"-C", dir.path().string(), "set", "1", "--text", "x"}, 2, "unknown option '--text' for set"},
      {{"-C", dir.path().string(), "delete", "journal"}, 2, "delete needs a table"},
      {{"-C", dir.path().string(), "delete", "people", "1"}, 2, "unknown table 'people'"},
      {{"-C", dir.path().string(), "recompute", "now"}, 2, "recompute takes no arguments"},
  };
  for (const Case& c : cases) {
    auto r = run(cli(), c.args);
    EXPECT_EQ(r.exitCode, c.exitCode) << c.errPart;
    EXPECT_NE(r.err.find(c.errPart), std::string::npos) << r.err;
  }
}

// --- the verbs that work through the ledger's rules ---------------------------

std::string listed(const TempDir& dir, const char* table) {
  auto r = run(cli(), {"-C", dir.path().string(), "list", table});
  EXPECT_EQ(r.exitCode, 0) << r.err;
  return r.out;
}

// Runs a command that must succeed; its standard output.
std::string ok(const TempDir& dir, std::vector<std::string> args) {
  args.insert(args.begin(), {"-C", dir.path().string()});
  auto r = run(cli(), args);
  EXPECT_EQ(r.exitCode, 0) << args[2] << ": " << r.err;
  return r.out;
}

// Runs a command that must fail with exit 1 and exactly this message.
void fails(const TempDir& dir, std::vector<std::string> args, const std::string& message) {
  args.insert(args.begin(), {"-C", dir.path().string()});
  auto r = run(cli(), args);
  EXPECT_EQ(r.exitCode, 1) << args[2];
  EXPECT_EQ(r.err, message + "\n") << args[2];
  EXPECT_EQ(r.out, "") << args[2];
}

std::string today() { return text::formatDate(text::Date::today(), text::Regional::czech()); }

// Two books and two movement kinds, added as a user would.
void standardLists(const TempDir& dir) {
  ok(dir, {"add-book", "Hotovost"});
  ok(dir, {"add-book", "Bankovní účet"});
  ok(dir, {"add-move", "Nákup"});
  ok(dir, {"add-move", "Příjem mzdy"});
}

TEST(CliAddListRows, NumbersEachNewRowNamesItAndPrintsItsId) {
  TempDir dir;
  auto r = run(cli(), {"-C", dir.path().string(), "add-book", "Hotovost"});
  ASSERT_EQ(r.exitCode, 0) << r.err;
  EXPECT_EQ(r.out, "1\n");
  EXPECT_EQ(r.err, "New record is appended...\n");
  EXPECT_EQ(ok(dir, {"add-book", "Bankovní účet"}), "2\n");
  EXPECT_EQ(ok(dir, {"add-move", "Nákup; drobné"}), "1\n");
  EXPECT_EQ(listed(dir, "books"), "1;Hotovost; ;\n2;Bankovní účet; ;\n");
  EXPECT_EQ(listed(dir, "moves"), "1;Nákup: drobné;\n");

  // Numbers freed at the top are given out again.
  ok(dir, {"delete", "books", "2"});
  EXPECT_EQ(ok(dir, {"add-book", "Spořicí účet"}), "2\n");
  EXPECT_EQ(listed(dir, "books"), "1;Hotovost; ;\n2;Spořicí účet; ;\n");
}

TEST(CliAddListRows, ANameThatWindows1250CannotHoldIsRefusedAndNothingIsAdded) {
  TempDir dir;
  ok(dir, {"init"});
  fails(dir, {"add-book", "Kasa α"}, "NAME: Character U+03B1 cannot be stored in Windows-1250");
  EXPECT_EQ(listed(dir, "books"), "");
}

TEST(CliAddRow, DefaultsToTheFirstRowsOfTheListsAndToday) {
  TempDir dir;
  standardLists(dir);
  auto r = run(cli(), {"-C", dir.path().string(), "add-row"});
  ASSERT_EQ(r.exitCode, 0) << r.err;
  EXPECT_EQ(r.out, "1\n");
  EXPECT_EQ(r.err, "New record is appended...\n");
  EXPECT_EQ(listed(dir, "journal"), "1;1;1;" + today() + ";Nákup; ; ; ;\n");
}

TEST(CliAddRow, StandsTheListsOnTheGivenRowsAndTypesTheTextAndAmounts) {
  TempDir dir;
  standardLists(dir);
  ok(dir, {"add-row"});
  EXPECT_EQ(ok(dir, {"add-row", "--book", "2", "--move", "2", "--date", "12.9.2004", "--text",
                     "Výplata; září", "--plus", "25000,5", "--minus", "0,25"}),
            "2\n");
  EXPECT_EQ(ok(dir, {"add-row", "--move", "2", "--date", "1.10.04"}), "3\n");
  EXPECT_EQ(listed(dir, "journal"),
            "1;1;1;" + today() + ";Nákup; ; ; ;\n"
            "2;2;2;12.9.2004;Výplata: září;25000,5;0,25; ;\n"
            "3;1;2;1.10.2004;Příjem mzdy; ; ; ;\n");
}

TEST(CliAddRow, EmptyListsGiveAnEmptyBookMovementAndText) {
  TempDir dir;
  ok(dir, {"add-row", "--date", "7.12.2026", "--minus", "10"});
  EXPECT_EQ(listed(dir, "journal"), "1; ; ;7.12.2026; ; ;10; ;\n");
}

TEST(CliAddRow, WrongValuesAreRefusedBeforeAnythingIsStored) {
  TempDir dir;
  standardLists(dir);
  struct Case {
    std::vector<std::string> args;
    std::string message;
  } cases[] = {
      {{"add-row", "--book", "7"}, "No book has ID 7"},
      {{"add-row", "--move", "3"}, "No movement has ID 3"},
      {{"add-row", "--book", "jedna"}, "--book: 'jedna' is not a valid floating point value"},
      {{"add-row", "--plus", "12.50"}, "--plus: '12.50' is not a valid floating point value"},
      {{"add-row", "--minus", "abc"}, "--minus: 'abc' is not a valid floating point value"},
      {{"add-row", "--date", "31.2.2026"}, "--date: '31.2.2026' is not a valid date and time"},
      {{"add-row", "--text", "Ω"}, "--text: Character U+03A9 cannot be stored in Windows-1250"},
  };
  for (const Case& c : cases) fails(dir, c.args, c.message);
  EXPECT_EQ(listed(dir, "journal"), "");
}

TEST(CliAddRow, AnAmountTheColumnCannotHoldLeavesNoRow) {
  TempDir dir;
  standardLists(dir);
  ok(dir, {"add-row", "--date", "1.3.2026"});
  fails(dir, {"add-row", "--text", "Los", "--plus", "1E20"}, "Invalid value for field 'PLUS'");
  // The command failed, so the row its new-row rule began is gone again.
  EXPECT_EQ(listed(dir, "journal"), "1;1;1;1.3.2026;Nákup; ; ; ;\n");
  EXPECT_EQ(ok(dir, {"add-row", "--date", "2.3.2026"}), "2\n");
}

TEST(CliAddRow, ReportsACountThatTheEngineRepairedOnOpening) {
  TempDir dir;
  standardLists(dir);
  ok(dir, {"add-row", "--date", "1.3.2026"});
  ok(dir, {"add-row", "--date", "2.3.2026"});
  // A crash after an append left the header one row behind.
  const fs::path journal = dir / "data" / "peden.dbf";
  std::string bytes = testing_support::readFile(journal);
  bytes[4] = 1;
  testing_support::writeFile(journal, bytes);
  auto r = run(cli(), {"-C", dir.path().string(), "add-row", "--date", "3.3.2026"});
  ASSERT_EQ(r.exitCode, 0) << r.err;
  EXPECT_EQ(r.err, journal.string() + ": the row count was repaired from 1 to 2\n" +
                       "New record is appended...\n");
  EXPECT_EQ(r.out, "3\n");
}

TEST(CliSet, StampsTheBookMovementAndDateOnTheRowWithThatId) {
  TempDir dir;
  standardLists(dir);
  ok(dir, {"add-row", "--date", "1.3.2026"});
  ok(dir, {"add-row", "--date", "2.3.2026", "--text", ""});
  ok(dir, {"add-row", "--date", "3.3.2026"});

  auto r = run(cli(), {"-C", dir.path().string(), "set", "2", "--book", "2", "--move", "2",
                       "--date", "12.9.2004"});
  ASSERT_EQ(r.exitCode, 0) << r.err;
  EXPECT_EQ(r.out, "");
  EXPECT_EQ(r.err, "12.9.2004\n");
  // The movement stamp fills an empty text; it leaves a text that exists.
  r = run(cli(), {"-C", dir.path().string(), "set", "3", "--move", "2"});
  ASSERT_EQ(r.exitCode, 0) << r.err;
  EXPECT_EQ(r.err, "Tak, počet jednotek je 8 ...\n");
  ok(dir, {"set", "1", "--book", "2"});
  EXPECT_EQ(listed(dir, "journal"),
            "1;2;1;1.3.2026;Nákup; ; ; ;\n"
            "2;2;2;12.9.2004;Příjem mzdy; ; ; ;\n"
            "3;1;2;3.3.2026;Nákup; ; ; ;\n");
}

TEST(CliSet, AMissingRowOrListRowIsAnErrorAndNothingChanges) {
  TempDir dir;
  standardLists(dir);
  ok(dir, {"add-row", "--date", "1.3.2026"});
  const std::string before = listed(dir, "journal");
  fails(dir, {"set", "9", "--book", "1"}, "No journal row has ID 9");
  fails(dir, {"set", "1", "--book", "3"}, "No book has ID 3");
  fails(dir, {"set", "1", "--move", "1", "--date", "32.1.2026"},
        "--date: '32.1.2026' is not a valid date and time");
  EXPECT_EQ(listed(dir, "journal"), before);
}

TEST(CliDelete, RemovesTheFirstRowWithThatIdFromEachTable) {
  TempDir dir;
  standardLists(dir);
  ok(dir, {"add-row", "--date", "1.3.2026"});
  ok(dir, {"add-row", "--date", "2.3.2026"});
  ok(dir, {"delete", "journal", "1"});
  ok(dir, {"delete", "moves", "1"});
  ok(dir, {"delete", "books", "2"});
  EXPECT_EQ(listed(dir, "journal"), "2;1;1;2.3.2026;Nákup; ; ; ;\n");
  EXPECT_EQ(listed(dir, "moves"), "2;Příjem mzdy;\n");
  EXPECT_EQ(listed(dir, "books"), "1;Hotovost; ;\n");
  fails(dir, {"delete", "journal", "1"}, "No journal row has ID 1");
  fails(dir, {"delete", "books", "2"}, "No book has ID 2");
  fails(dir, {"delete", "moves", "1"}, "No movement has ID 1");
}

TEST(CliRecompute, WritesTheRunningAndClosingBalancesOfEveryBook) {
  TempDir dir;
  standardLists(dir);
  ok(dir, {"add-row", "--book", "1", "--plus", "1000"});
  ok(dir, {"add-row", "--book", "2", "--plus", "50"});
  ok(dir, {"add-row", "--book", "1", "--minus", "250,5"});
  ok(dir, {"add-row", "--book", "1", "--plus", "10", "--minus", "0,5"});
  ok(dir, {"delete", "books", "2"});
  auto r = run(cli(), {"-C", dir.path().string(), "recompute"});
  ASSERT_EQ(r.exitCode, 0) << r.err;
  EXPECT_EQ(r.out, "");
  EXPECT_EQ(r.err, "Konečné stavy obnoveny...\n");
  const std::string d = today();
  EXPECT_EQ(listed(dir, "journal"),
            "1;1;1;" + d + ";Nákup;1000; ;1000;\n"  // the book's rows in entry order
            "2;2;1;" + d + ";Nákup;50; ; ;\n"       // its book was deleted
            "3;1;1;" + d + ";Nákup; ;250,5;749,5;\n"
            "4;1;1;" + d + ";Nákup;10;0,5;759;\n");
  EXPECT_EQ(listed(dir, "books"), "1;Hotovost;759;\n");
}

TEST(CliLedgerVerbs, AMissingWorkFolderIsAnErrorAndIsNotCreated) {
  TempDir dir;
  const fs::path missing = dir / "nowhere";
  auto r = run(cli(), {"-C", missing.string(), "add-book", "Hotovost"});
  EXPECT_EQ(r.exitCode, 1);
  EXPECT_EQ(r.err, "Folder " + missing.string() + " does not exist\n");
  EXPECT_FALSE(fs::exists(missing));
}

TEST(CliHelp, NamesEveryVerb) {
  auto r = run(cli(), {"--help"});
  ASSERT_EQ(r.exitCode, 0);
  for (const char* verb : {"init", "list", "add-book", "add-move", "add-row", "set", "delete",
                           "recompute"}) {
    EXPECT_NE(r.out.find(verb), std::string::npos) << verb;
  }
}


TEST(CliLocks, ARowThatAnotherProcessEditsIsRefusedWithTheEnginesMessage) {
  TempDir dir;
  standardLists(dir);
  ok(dir, {"add-row", "--book", "1", "--plus", "10"});
  ok(dir, {"add-row", "--book", "1", "--plus", "20"});
  const std::string before = listed(dir, "journal");
  const std::string locked =
      "Record locked by another user.\nTable: " +
      ledger::tablePath(dir.path(), ledger::LedgerTable::Journal).string();
  {
    testing_support::RowHolder holder(dir.path(), "journal", "2");
    ASSERT_TRUE(holder.ready());
    fails(dir, {"set", "2", "--book", "2"}, locked);
    fails(dir, {"delete", "journal", "2"}, locked);
    EXPECT_EQ(listed(dir, "journal"), before);
    fails(dir, {"recompute"}, locked);
    ok(dir, {"set", "1", "--date", "1.1.2026"});  // the other rows are free
    EXPECT_EQ(holder.release(), 0);
  }
  EXPECT_EQ(listed(dir, "journal"),
            "1;1;1;1.1.2026;Nákup;10; ;10;\n"  // stored before the pass met the held row
            "2;1;1;" + today() + ";Nákup;20; ; ;\n");
  ok(dir, {"recompute"});
  EXPECT_EQ(listed(dir, "journal"),
            "1;1;1;1.1.2026;Nákup;10; ;10;\n"
            "2;1;1;" + today() + ";Nákup;20; ;30;\n");
}

}  // namespace

namespace {

// The engine's messages are Windows-1250; a folder's Czech letters must come
// out of them readable, not as UTF-8 read twice.
TEST(CliErrors, NameAFolderWithCzechLettersReadably) {
  TempDir dir;
  const fs::path work = dir / "Účetnictví";
  fs::create_directories(work / "data");
  testing_support::writeFile(work / "data" / "peden.dbf", "not a table");
  auto r = run(cli(), {"-C", work.string(), "add-row"});
  EXPECT_EQ(r.exitCode, 1);
  EXPECT_NE(r.err.find((work / "data" / "peden.dbf").string()), std::string::npos) << r.err;
}

}  // namespace
