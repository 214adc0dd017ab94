#include <fcntl.h>
#include <spawn.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <gtest/gtest.h>

#include <cstdint>
#include <filesystem>
#include <string>
#include <vector>

#include "app/version.h"
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

// In a folder its group shares (group-writable, as the README says to set
// it up), the tables a user makes can be opened by the group, whatever the
// user's umask; elsewhere the umask holds.
TEST(CliInit, TablesInAGroupSharedFolderGetTheGroupsRightsWhateverTheUmask) {
  for (const bool shared : {true, false}) {
    TempDir dir;
    ::chmod(dir.path().c_str(), shared ? 02775 : 0755);
    const mode_t before = ::umask(022);
    const auto r = run(cli(), {"-C", dir.path().string(), "init"});
    ::umask(before);
    ASSERT_EQ(r.exitCode, 0) << r.err;
    struct stat data {};
    ASSERT_EQ(::stat((dir / "data").c_str(), &data), 0);
    EXPECT_EQ(data.st_mode & 07777, shared ? 02775u : 0755u);
    for (auto t : {ledger::LedgerTable::Journal, ledger::LedgerTable::Books, ledger::LedgerTable::Moves}) {
      struct stat st {};
      ASSERT_EQ(::stat(ledger::tablePath(dir.path(), t).c_str(), &st), 0);
      EXPECT_EQ(st.st_mode & 0777, shared ? 0664u : 0644u) << ledger::tablePath(dir.path(), t);
    }
  }
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

// Damage from elsewhere: the header of `table` promises `counted` rows,
// and half a record follows the rows there are, as a copy cut short leaves.
std::string promiseMoreRows(const fs::path& table, std::uint32_t counted) {
  std::string bytes = testing_support::readFile(table);
  auto le16 = [&](std::size_t at) {
    return static_cast<std::size_t>(static_cast<unsigned char>(bytes[at]) |
                                    static_cast<unsigned char>(bytes[at + 1]) << 8);
  };
  const std::size_t headerLength = le16(8);
  const std::size_t recordLength = le16(10);
  const std::size_t rows = (bytes.size() - headerLength) / recordLength;
  bytes.resize(headerLength + rows * recordLength);
  bytes += bytes.substr(bytes.size() - recordLength, recordLength / 2);
  for (int i = 0; i < 4; ++i) bytes[4 + i] = static_cast<char>(counted >> (8 * i) & 0xFF);
  testing_support::writeFile(table, bytes);
  return bytes;
}

// The copies of `table` that repairs kept beside it.
std::vector<fs::path> keptCopies(const fs::path& table) {
  std::vector<fs::path> copies;
  for (const auto& entry : fs::directory_iterator(table.parent_path())) {
    if (entry.path().filename().string().rfind(table.filename().string() + ".damaged-", 0) == 0) {
      copies.push_back(entry.path());
    }
  }
  return copies;
}

// A command that only reads shows the rows there and warns, and changes
// nothing; the first command that writes keeps the file as found and repairs.
TEST(CliDamage, AJournalWhoseHeaderPromisesMoreRowsIsListedAsItIsAndRepairedByTheFirstWriter) {
  TempDir dir;
  standardLists(dir);
  for (int day = 1; day <= 8; ++day) ok(dir, {"add-row", "--date", std::to_string(day) + ".3.2026"});
  const std::string rows = listed(dir, "journal");
  const fs::path journal = ledger::tablePath(dir.path(), ledger::LedgerTable::Journal);
  const std::string found = promiseMoreRows(journal, 11);
  const std::string warning = journal.string() +
                              ": the header promises 11 rows, but only 8 are in the file; they are shown, and the "
                              "first opening for writing repairs the file, keeping it as it was found\n";

  for (const std::vector<std::string>& reading :
       {std::vector<std::string>{"list", "journal"}, {"backup", (dir / "zaloha.txu").string()},
        {"report", "-o", (dir / "report.htm").string()}, {"voucher", "8", "-o", (dir / "voucher.htm").string()}}) {
    std::vector<std::string> args = {"-C", dir.path().string()};
    args.insert(args.end(), reading.begin(), reading.end());
    auto r = run(cli(), args);
    ASSERT_EQ(r.exitCode, 0) << reading[0] << ": " << r.err;
    if (reading[0] == "list") {
      EXPECT_EQ(r.out, rows);
      EXPECT_EQ(r.err, warning);
    } else {
      EXPECT_EQ(r.err.substr(0, warning.size()), warning) << reading[0];
    }
    EXPECT_EQ(testing_support::readFile(journal), found) << reading[0] << " changed the table";
    EXPECT_TRUE(keptCopies(journal).empty()) << reading[0];
  }

  auto r = run(cli(), {"-C", dir.path().string(), "add-row", "--date", "9.3.2026"});
  ASSERT_EQ(r.exitCode, 0) << r.err;
  const std::vector<fs::path> copies = keptCopies(journal);
  ASSERT_EQ(copies.size(), 1u);
  EXPECT_EQ(testing_support::readFile(copies[0]), found);
  EXPECT_EQ(r.err, journal.string() +
                       ": the header promised 11 rows, but only 8 are in the file; the file as it was found is "
                       "kept as " +
                       copies[0].string() + "\nNew record is appended...\n");
  EXPECT_EQ(r.out, "9\n");

  // Repaired for good: the next command reports nothing.
  auto next = run(cli(), {"-C", dir.path().string(), "list", "journal"});
  ASSERT_EQ(next.exitCode, 0) << next.err;
  EXPECT_EQ(next.err, "");
  EXPECT_EQ(keptCopies(journal).size(), 1u);
}

TEST(CliDamage, WhenNoCopyCanBeKeptTheCommandFailsAndTheFileStaysAsFound) {
  TempDir dir;
  standardLists(dir);
  ok(dir, {"add-row", "--date", "1.3.2026"});
  const fs::path journal = ledger::tablePath(dir.path(), ledger::LedgerTable::Journal);
  const std::string found = promiseMoreRows(journal, 3);
  // A user who may write the table but not create files beside it: under
  // root (as CI runs), another user; else the folder made read-only.
  ::chmod(dir.path().c_str(), 0755);
  ::chmod(journal.parent_path().c_str(), 0755);
  ::chmod(journal.c_str(), 0666);
  const std::vector<std::string> args = {"-C", dir.path().string(), "add-row", "--date", "2.3.2026"};
  testing_support::RunResult r;
  if (::geteuid() == 0) {
    if (!fs::exists("/usr/bin/setpriv")) GTEST_SKIP() << "no setpriv to run as another user";
    std::vector<std::string> asOther = {"--reuid=65534", "--regid=65534", "--clear-groups", cli().string()};
    asOther.insert(asOther.end(), args.begin(), args.end());
    r = run("/usr/bin/setpriv", asOther);
  } else {
    ::chmod(journal.parent_path().c_str(), 0555);
    r = run(cli(), args);
    ::chmod(journal.parent_path().c_str(), 0755);
  }
  EXPECT_EQ(r.exitCode, 1);
  const std::string start = journal.string() +
                            ": the header promises 3 rows, but only 1 are in the file; it was left as it is, because "
                            "a copy of it as found could not be kept: Cannot create " +
                            journal.string() + ".damaged-";
  EXPECT_EQ(r.err.substr(0, start.size()), start) << r.err;
  EXPECT_TRUE(r.err.ends_with(": Permission denied\n")) << r.err;
  EXPECT_EQ(r.out, "");
  EXPECT_EQ(testing_support::readFile(journal), found);
  EXPECT_TRUE(keptCopies(journal).empty());
}

// A user who may only read the tables (another user's files, a read-only
// mount): every command that reads works, one that writes names the reason.
TEST(CliReadOnly, AUserWhoMayOnlyReadListsBacksUpAndPrintsButCannotWrite) {
  if (::geteuid() != 0 || !fs::exists("/usr/bin/setpriv")) GTEST_SKIP() << "needs root to act as a second user";
  TempDir dir;
  standardLists(dir);
  ok(dir, {"add-row", "--date", "1.3.2026", "--text", "Chleba"});
  const std::string rows = listed(dir, "journal");
  ::chmod(dir.path().c_str(), 0755);
  // The other user's own folder for what they write.
  const fs::path theirs = dir / "theirs";
  fs::create_directory(theirs);
  ASSERT_EQ(::chown(theirs.c_str(), 65534, 65534), 0);
  const fs::path journal = ledger::tablePath(dir.path(), ledger::LedgerTable::Journal);
  const std::string before = testing_support::readFile(journal);
  auto asOther = [&](std::vector<std::string> args) {
    std::vector<std::string> all = {"--reuid=65534", "--regid=65534", "--clear-groups", cli().string(), "-C",
                                    dir.path().string()};
    all.insert(all.end(), args.begin(), args.end());
    return run("/usr/bin/setpriv", all);
  };
  auto r = asOther({"list", "journal"});
  ASSERT_EQ(r.exitCode, 0) << r.err;
  EXPECT_EQ(r.out, rows);
  r = asOther({"backup", (theirs / "z.txu").string()});
  EXPECT_EQ(r.exitCode, 0) << r.err;
  r = asOther({"voucher", "1", "-o", (theirs / "v.htm").string()});
  EXPECT_EQ(r.exitCode, 0) << r.err;
  r = asOther({"report", "-o", (theirs / "r.htm").string()});
  EXPECT_EQ(r.exitCode, 0) << r.err;
  r = asOther({"add-row", "--date", "2.3.2026"});
  EXPECT_EQ(r.exitCode, 1);
  EXPECT_EQ(r.err, "Cannot write to " + journal.string() + ": Permission denied\n");
  EXPECT_EQ(testing_support::readFile(journal), before);
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

TEST(CliVersion, PrintsTheNameAndTheBuildsVersion) {
  auto r = run(cli(), {"--version"});
  EXPECT_EQ(r.exitCode, 0);
  EXPECT_EQ(r.out, "mincar-cli " + std::string(app::kVersion) + "\n");
  EXPECT_EQ(r.err, "");
  EXPECT_NE(run(cli(), {"--help"}).out.find("--version"), std::string::npos);
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

namespace {

// The new-row rule itself fails on a journal whose columns are not its own:
// the command fails and leaves no half-made row.
TEST(CliAddRow, AFailureInsideTheNewRowRuleLeavesNoRow) {
  using ledger::FieldDef;
  using ledger::FieldType;
  struct Case {
    const char* what;
    std::vector<FieldDef> fields;
    std::string error;
  } cases[] = {
      {"too few columns",
       {{"ID", FieldType::Numeric, 10, 0}, {"IDK", FieldType::Numeric, 10, 0}, {"IDM", FieldType::Numeric, 10, 0}},
       "Table1: Field index 3 out of range\n"},
      {"a date column too narrow",
       {{"ID", FieldType::Numeric, 10, 0},
        {"IDK", FieldType::Numeric, 10, 0},
        {"IDM", FieldType::Numeric, 10, 0},
        {"DATUM", FieldType::Date, 8, 0},  // made 4 wide below, as a foreign writer left it
        {"TEXT", FieldType::Character, 20, 0}},
       "Invalid value for field 'DATUM'\n"},
  };
  for (const Case& c : cases) {
    TempDir dir;
    standardLists(dir);
    const fs::path journal = ledger::tablePath(dir.path(), ledger::LedgerTable::Journal);
    fs::remove(journal);
    ledger::createTable(journal, c.fields);
    if (c.fields.size() > 3) {
      std::string bytes = testing_support::readFile(journal);
      bytes[32 + 3 * 32 + 16] = 4;  // DATUM's length
      const int recordLength = static_cast<unsigned char>(bytes[10]) + 256 * static_cast<unsigned char>(bytes[11]) - 4;
      bytes[10] = static_cast<char>(recordLength % 256);
      bytes[11] = static_cast<char>(recordLength / 256);
      testing_support::writeFile(journal, bytes);
    }
    auto r = run(cli(), {"-C", dir.path().string(), "add-row", "--text", "x"});
    EXPECT_EQ(r.exitCode, 1) << c.what;
    EXPECT_EQ(r.err.substr(r.err.size() - std::min(r.err.size(), c.error.size())), c.error) << c.what << ": " << r.err;
    EXPECT_EQ(listed(dir, "journal"), "") << c.what;
  }
}

}  // namespace
