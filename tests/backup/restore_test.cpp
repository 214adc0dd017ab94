// The restore: what a backup file makes of the three tables, held against
// the format's reader run step by step through the tables' own new-record
// rules on a copy of the same data; files that do not read through whole,
// tables that another process has open and a disk that fails, each leaving
// every table byte for byte as it was; the state the tables are left in.
#include "backup/backup_reader.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <optional>
#include <random>
#include <sstream>
#include <string>
#include <vector>

#include "app/textio.h"
#include "backup/backup_commands.h"
#include "backup/backup_file.h"
#include "backup/backup_writer.h"
#include "backup_test_support.h"
#include "ledger/table_rewrite.h"
#include "test_support.h"
#include "text/error.h"

namespace {

using namespace backup_testing;
using ledger::Dataset;
using testing_support::TempDir;
namespace J = ledger::journal;

const char* const kNewRecord = "New record is appended...";

// How the format's reader ended: the error it stopped with and the line it
// was reading, or nothing when it read through.
struct ReferenceOutcome {
  std::optional<std::string> error;
  int line = 0;
};

// The format's reader as it stands: ReadRecordCount, then FillTable with
// the table's own new-record rule inside every append, ReadLine,
// SetFieldsFromText by GetToken and text assignment, section after
// section, stopping at the first error with what was done kept.
ReferenceOutcome referenceRestore(app::Ledger& ledger, const std::string& bytes) {
  app::LineReader reader;
  std::istringstream in(bytes);
  ReferenceOutcome outcome;
  auto readLine = [&] {
    ++outcome.line;
    return reader.ReadLine(in);
  };
  try {
    for (Dataset* t : {&ledger.journal(), &ledger.moves(), &ledger.books()}) {
      const int count = text::parseInteger(app::GetToken(readLine(), ';', 1));
      ledger.RefreshAfterNewRecord = false;
      t->close();
      t->setExclusive(true);
      t->emptyTable();
      t->setExclusive(false);
      t->open();
      t->dataSource().setEnabled(false);
      for (int k = 0; k < count; ++k) {
        // The rule's errors belong to the row whose line comes next.
        const int rowLine = outcome.line + 1;
        try {
          t->append();
        } catch (const mincar::Error&) {
          outcome.line = rowLine;
          throw;
        }
        const std::string line = readLine();
        t->edit();
        for (int i = 0; i < t->fieldCount(); ++i) {
          const std::string piece = app::GetToken(line, ';', i);
          if (piece == " ") continue;
          t->field(i).setValue(Value{piece});
        }
      }
      ledger.RefreshAfterNewRecord = true;
      t->dataSource().setEnabled(true);
      if (t->state() != ledger::DatasetState::Browse) t->post();
      ledger.status().show("Table has " + std::to_string(count) + " records");
    }
  } catch (const mincar::Error& e) {
    outcome.error = e.what();
  }
  return outcome;
}

std::vector<std::string> withoutNewRecordTexts(std::vector<std::string> texts) {
  texts.erase(std::remove(texts.begin(), texts.end(), std::string(kNewRecord)), texts.end());
  return texts;
}

// A random backup file, mostly valid, with every kind of piece.
class RandomBackup {
 public:
  explicit RandomBackup(unsigned seed) : random_(seed) {}

  std::string make() {
    std::string bytes;
    const char* names[] = {"Denik", "Moves", "Books"};
    const int columns[] = {8, 2, 3};
    for (int s = 0; s < 3; ++s) {
      const int count = static_cast<int>(random_() % 7);
      std::string countText = std::to_string(count);
      if (percent(2)) countText = "x";
      bytes += "######### This is a table " + std::string(names[s]) + " and have ;" + countText + "; records \n\r";
      int lines = count;
      if (percent(4)) lines += percent(50) ? 1 : -1;
      for (int k = 0; k < lines; ++k) bytes += row(s, columns[s]) + "\n\r";
    }
    return bytes;
  }

 private:
  bool percent(int p) { return static_cast<int>(random_() % 1000) < p * 10; }
  int below(int n) { return static_cast<int>(random_() % static_cast<unsigned>(n)); }

  std::string id() {
    if (percent(40)) return " ";
    if (percent(8)) {
      const char* odd[] = {"500", "16777216", "16777217", "-3", "0", "1,5", "9999999999", "2,5E3", " 7", "+4"};
      return odd[below(10)];
    }
    if (percent(1)) return percent(50) ? "abc" : "99999999999";  // refused
    return std::to_string(1 + below(30));
  }
  std::string amount() {
    if (percent(40)) return " ";
    if (percent(1)) return percent(50) ? "1.5" : "";  // refused under Czech settings
    std::string text = std::to_string(below(100000));
    if (percent(70)) text += "," + std::to_string(below(100));
    if (percent(30)) text = "-" + text;
    if (percent(5)) text = "1E5";
    return text;
  }
  std::string date() {
    if (percent(40)) return " ";
    if (percent(1)) return "31.2.2020";  // refused
    if (percent(5)) return "1.1.26";
    return std::to_string(1 + below(28)) + "." + std::to_string(1 + below(12)) + "." + std::to_string(1990 + below(40));
  }
  std::string words() {
    if (percent(20)) return " ";
    if (percent(5)) return "";
    if (percent(5)) return std::string(250, 'w');  // cut to the column
    const char* texts[] = {"Nákup: potraviny", "Příjem", "˙ konec", "  odsazeno", "a:b:c"};
    return cz(texts[below(5)]);
  }
  std::string row(int section, int columns) {
    std::vector<std::string> pieces;
    if (section == 0) {
      pieces = {id(), id(), id(), date(), words(), amount(), amount(), amount()};
    } else if (section == 1) {
      pieces = {id(), words()};
    } else {
      pieces = {id(), words(), amount()};
    }
    (void)columns;
    if (percent(3)) pieces.pop_back();  // a missing piece
    if (percent(3)) pieces.push_back("extra");
    std::string line;
    for (const std::string& p : pieces) line += p + ";";
    if (percent(3) && !line.empty()) line.pop_back();  // no ";" after the last
    return line;
  }

  std::mt19937 random_;
};

// Two folders with the same tables, the lists standing on the same rows.
class Twins {
 public:
  explicit Twins(unsigned round) {
    std::mt19937 random(round);
    for (const TempDir* dir : {&reference_, &restored_}) {
      seedRows(dir->path(), LedgerTable::Journal,
               {{1.0, 1.0, 1.0, text::Date{2026, 3, 1}, cz("stará"), 5.0, kEmpty, 5.0},
                {2.0, 2.0, 1.0, text::Date{2026, 3, 2}, cz("druhá"), kEmpty, 3.0, 2.0}});
      seedRows(dir->path(), LedgerTable::Moves,
               {{4.0, cz("Nákup")}, {9.0, std::string(230, 'M')}, {kEmpty, cz("bez čísla")}});
      seedRows(dir->path(), LedgerTable::Books, {{3.0, cz("Hotovost"), 1.0}, {8.0, cz("Banka"), 2.0}});
    }
    referenceLedger_ = std::make_unique<OpenLedger>(reference_.path());
    restoredLedger_ = std::make_unique<OpenLedger>(restored_.path());
    const int book = static_cast<int>(random() % 2);
    const int move = static_cast<int>(random() % 3);
    const text::Date day{2000 + static_cast<int>(random() % 30), 1 + static_cast<int>(random() % 12), 1};
    for (app::Ledger* l : {&referenceLedger_->ledger, &restoredLedger_->ledger}) {
      l->books().moveTo(book);
      l->moves().moveTo(move);
      l->calendarDate = day;
    }
  }
  app::Ledger& reference() { return referenceLedger_->ledger; }
  app::Ledger& restored() { return restoredLedger_->ledger; }
  OpenLedger& restoredOpen() { return *restoredLedger_; }
  OpenLedger& referenceOpen() { return *referenceLedger_; }
  const fs::path& restoredDir() const { return restored_.path(); }
  const fs::path& referenceDir() const { return reference_.path(); }

 private:
  TempDir reference_;
  TempDir restored_;
  std::unique_ptr<OpenLedger> referenceLedger_;
  std::unique_ptr<OpenLedger> restoredLedger_;
};

std::string errorOf(const std::function<void()>& action) {
  try {
    action();
  } catch (const mincar::Error& e) {
    return e.what();
  }
  return {};
}

// The file's tables side by side: the format's reader against the restore,
// on random files. A file the reader reads through gives the same tables,
// row for row and byte for byte, the same texts and the same state; a file
// it stops on is refused with its message, at the same line, and changes
// nothing.
TEST(RestoreAgainstTheFormatsReader, SameTablesForEveryFileAndNothingChangedForTheFilesItStopsOn) {
  int readThrough = 0;
  int stopped = 0;
  for (unsigned round = 0; round < 120; ++round) {
    Twins twins(round);
    const std::string bytes = RandomBackup(round).make();
    const fs::path file = twins.restoredDir() / "random.txu";
    testing_support::writeFile(file, bytes);

    const std::array<std::string, 3> before = tableFiles(twins.restoredDir());
    const ReferenceOutcome reference = referenceRestore(twins.reference(), bytes);
    const std::string error = errorOf([&] { backup::LoadAllTables(file, twins.restored()); });

    if (reference.error) {
      ++stopped;
      const std::string where = "\nFile " + file.string() + ", line " + std::to_string(reference.line);
      EXPECT_EQ(error.substr(0, reference.error->size() + where.size()), *reference.error + where)
          << round << "\n" << bytes;
      EXPECT_EQ(tableFiles(twins.restoredDir()), before) << round;
      continue;
    }
    ++readThrough;
    ASSERT_EQ(error, "") << round;
    const std::array<std::string, 3> expected = tableFiles(twins.referenceDir());
    const std::array<std::string, 3> got = tableFiles(twins.restoredDir());
    for (int t = 0; t < 3; ++t) EXPECT_EQ(withoutDate(got[t]), withoutDate(expected[t])) << round << " table " << t;
    EXPECT_EQ(twins.restoredOpen().status.texts, withoutNewRecordTexts(twins.referenceOpen().status.texts)) << round;
    app::Ledger& a = twins.reference();
    app::Ledger& b = twins.restored();
    EXPECT_EQ(b.journal().filtered(), a.journal().filtered()) << round;
    EXPECT_EQ(b.RefreshAfterNewRecord, a.RefreshAfterNewRecord);
    for (auto [x, y] : {std::pair{&a.journal(), &b.journal()}, {&a.moves(), &b.moves()}, {&a.books(), &b.books()}}) {
      EXPECT_EQ(y->rowIndex(), x->rowIndex()) << round;
      EXPECT_EQ(y->dataSource().enabled(), x->dataSource().enabled()) << round;
      EXPECT_TRUE(y->active());
      EXPECT_FALSE(y->exclusive());
    }
  }
  // Both kinds of file came up often enough to mean something.
  EXPECT_GT(readThrough, 40);
  EXPECT_GT(stopped, 10);
}

// --- the format's outcomes, one by one ----------------------------------------

class Restore : public ::testing::Test {
 protected:
  void SetUp() override {
    seedRows(dir_.path(), LedgerTable::Journal, {{1.0, 1.0, 1.0, text::Date{2026, 3, 1}, cz("stará"), 5.0}});
    seedRows(dir_.path(), LedgerTable::Moves, {{1.0, cz("Příjem")}, {2.0, cz("Nákup")}});
    seedRows(dir_.path(), LedgerTable::Books, {{1.0, cz("Hotovost"), 1.0}, {2.0, cz("Banka"), 2.0}});
    open_ = std::make_unique<OpenLedger>(dir_.path());
    ledger().calendarDate = text::Date{2004, 9, 12};
  }
  app::Ledger& ledger() { return open_->ledger; }
  // Lines in UTF-8, stored in Windows-1250 ("˙" is the byte 0xFF).
  fs::path file(const std::vector<std::string>& lines, const char* end = "\n\r") {
    std::string bytes;
    for (const std::string& l : lines) bytes += cz(l.c_str()) + end;
    const fs::path path = dir_ / ("f" + std::to_string(++files_) + ".txu");
    testing_support::writeFile(path, bytes);
    return path;
  }
  static std::string header(const char* name, int count) {
    return "######### This is a table " + std::string(name) + " and have ;" + std::to_string(count) + "; records ";
  }
  void restore(const fs::path& path) { backup::LoadAllTables(path, ledger()); }
  Rows rows(LedgerTable t) { return storedRows(dir_.path(), t); }

  TempDir dir_;
  std::unique_ptr<OpenLedger> open_;
  int files_ = 0;
};

TEST_F(Restore, EmptyColumnsTakeTheNewRecordRulesValuesFromTheListsAsTheyWereBefore) {
  ledger().books().moveTo(1);  // Banka, ID 2
  ledger().moves().moveTo(0);  // Příjem, ID 1
  restore(file({header("Denik", 3), "1; ; ; ; ;10; ; ;", " ;5;7;1.2.2020;vlastní; ; ; ;", "500; ; ; ; ; ; ; ;",
                header("Moves", 2), " ;Nový;", "7; ;", header("Books", 1), " ;Pokladna; ;"}));
  const Value day = text::Date{2004, 9, 12};
  EXPECT_EQ(rows(LedgerTable::Journal),
            (Rows{{1.0, 2.0, 1.0, day, cz("Příjem"), 10.0, kEmpty, kEmpty},
                  {2.0, 5.0, 7.0, text::Date{2020, 2, 1}, cz("vlastní"), kEmpty, kEmpty, kEmpty},
                  {500.0, 2.0, 1.0, day, cz("Příjem"), kEmpty, kEmpty, kEmpty}}));
  EXPECT_EQ(rows(LedgerTable::Moves), (Rows{{1.0, cz("Nový")}, {7.0, kEmpty}}));
  EXPECT_EQ(rows(LedgerTable::Books), (Rows{{1.0, cz("Pokladna"), kEmpty}}));
  EXPECT_EQ(open_->status.texts,
            (std::vector<std::string>{"Table has 3 records", "Table has 2 records", "Table has 1 records"}));
}

TEST(RestoreBesideAForeignList, AMovementsListWithoutANameGivesTheJournalsRowsAnEmptyText) {
  TempDir dir;
  const fs::path moves = ledger::tablePath(dir.path(), LedgerTable::Moves);
  fs::create_directories(moves.parent_path());
  ledger::createTable(moves, {{"ID", ledger::FieldType::Numeric, 10, 0}});
  seedRows(dir.path(), LedgerTable::Moves, {{4.0}});
  OpenLedger open(dir.path());
  open.ledger.calendarDate = text::Date{2004, 9, 12};
  const fs::path path = dir.path() / "lists.txu";
  testing_support::writeFile(path, "x ;1; x\n\r ; ; ; ; ;10; ; ;\n\rx ;1; x\n\r ;\n\rx ;0; x\n\r");
  backup::LoadAllTables(path, open.ledger);
  EXPECT_EQ(storedRows(dir.path(), LedgerTable::Journal),
            (Rows{{1.0, kEmpty, 4.0, text::Date{2004, 9, 12}, kEmpty, 10.0, kEmpty, kEmpty}}));
  EXPECT_EQ(storedRows(dir.path(), LedgerTable::Moves), Rows{{1.0}});
}

TEST_F(Restore, TheFormatsEdgeCasesComeOutAsTheFormatSays) {
  // An empty movements list, a text that held a semicolon, a blank PLUS, an
  // empty IDM, the letter with byte 0xFF, more pieces than columns, a
  // header count smaller than the lines that follow, a first line of any
  // words with the count between its first two ";".
  ledger().moves().moveTo(1);
  restore(file({"any words ;2; whatever", "1;1; ;12.9.2004;Nákup: potraviny; ;350,5;-350,5;",
                "2;1;2;1.1.2026;˙a;1; ; ;extra;more;", header("Moves", 0), "nope;1;this line is the books' header",
                "1;Hotovost;-350,5;", "9;Ignored;0;"}));
  EXPECT_EQ(rows(LedgerTable::Journal),
            (Rows{{1.0, 1.0, 2.0, text::Date{2004, 9, 12}, cz("Nákup: potraviny"), kEmpty, 350.5, -350.5},
                  {2.0, 1.0, 2.0, text::Date{2026, 1, 1}, std::string("\xFF") + "a", 1.0, kEmpty, kEmpty}}));
  EXPECT_EQ(rows(LedgerTable::Moves), Rows{});
  EXPECT_EQ(rows(LedgerTable::Books), (Rows{{1.0, cz("Hotovost"), -350.5}}));
  EXPECT_EQ(open_->status.text(), "Table has 1 records");
}

TEST_F(Restore, NewNumbersFollowTheHighestSoFarExactly) {
  restore(file({header("Denik", 6), "-5; ; ; ; ; ; ; ;", " ; ; ; ; ; ; ; ;", "16777216; ; ; ; ; ; ; ;",
                " ; ; ; ; ; ; ; ;", "3; ; ; ; ; ; ; ;", " ; ; ; ; ; ; ; ;", header("Moves", 0), header("Books", 0)}));
  std::vector<Value> ids;
  for (const auto& row : rows(LedgerTable::Journal)) ids.push_back(row[J::ID]);
  EXPECT_EQ(ids, (std::vector<Value>{-5.0, 1.0, 16777216.0, 16777217.0, 3.0, 16777218.0}));
}

TEST_F(Restore, LinesWithCrLfOrLfEndsRestoreExactlyAsTheProgramsOwn) {
  const std::vector<std::string> lines = {header("Denik", 2), "1;1;2;12.9.2004;Nákup: potraviny; ;350,5;-350,5;",
                                          "2; ; ;1.1.2026;˙; ;1; ;", header("Moves", 1), "1;Příjem;",
                                          header("Books", 1), "1;Hotovost;-350,5;"};
  restore(file(lines));
  const std::array<std::string, 3> expected = tableFiles(dir_.path());
  for (const char* end : {"\r\n", "\n"}) {
    ledger().newJournalRow();  // something for the restore to undo
    restore(file(lines, end));
    const std::array<std::string, 3> got = tableFiles(dir_.path());
    for (int t = 0; t < 3; ++t) EXPECT_EQ(withoutDate(got[t]), withoutDate(expected[t])) << t;
  }
}

TEST_F(Restore, ASaveAndARestoreGiveBackTheSameRowsWithTheFormatsChanges) {
  seedRows(dir_.path(), LedgerTable::Journal,
           {{2.0, 1.0, 2.0, text::Date{1, 1, 1}, cz("text; se středníkem"), kEmpty, -99999999999.99, 123456.78},
            {3.0, kEmpty, kEmpty, text::Date{9999, 12, 31}, std::string("\xFF\xFF"), 0.01, 0.0, kEmpty},
            {16777215.0, 2.0, kEmpty, kEmpty, kEmpty, 999999999999.99, kEmpty, -0.5},
            {kEmpty, 1.0, 1.0, text::Date{2026, 12, 7}, cz("bez čísla"), kEmpty, kEmpty, kEmpty}});
  ledger().journal().last();
  const Rows journal = rows(LedgerTable::Journal);
  const fs::path path = dir_ / "round.txu";
  backup::SaveBackupTo(ledger(), path);
  ledger().newJournalRow();
  ledger().newBook();
  ledger().books().moveTo(0);
  ledger().moves().moveTo(0);
  restore(path);

  Rows expected = journal;
  // ";" comes back as ":"; empty columns take the new-record rule's values:
  // the number after the highest so far, the calendar's date, the lists'
  // current rows as they stood before the restore.
  expected[1][J::TEXT] = cz("text: se středníkem");
  expected[2][J::IDK] = 1.0;
  expected[2][J::IDM] = 1.0;
  expected[3][J::IDM] = 1.0;
  expected[3][J::DATUM] = text::Date{2004, 9, 12};
  expected[3][J::TEXT] = cz("Příjem");
  expected[4][J::ID] = 16777216.0;
  EXPECT_EQ(rows(LedgerTable::Journal), expected);
  EXPECT_EQ(rows(LedgerTable::Books), (Rows{{1.0, cz("Hotovost"), 1.0}, {2.0, cz("Banka"), 2.0}}));
}

TEST_F(Restore, TheTablesAreLeftAsTheRulesLeaveThem) {
  ledger().journal().dataSource().setEnabled(false);
  restore(file({header("Denik", 2), "1; ; ; ; ; ; ; ;", "2; ; ; ; ; ; ; ;", header("Moves", 2), "1;a;", "2;b;",
                header("Books", 2), "1;a; ;", "2;b; ;"}));
  for (Dataset* t : {&ledger().journal(), &ledger().moves(), &ledger().books()}) {
    EXPECT_TRUE(t->active());
    EXPECT_FALSE(t->exclusive());
    EXPECT_EQ(t->rowIndex(), 1);
    EXPECT_TRUE(t->dataSource().enabled());
  }
  EXPECT_FALSE(ledger().journal().filtered());
  EXPECT_TRUE(ledger().RefreshAfterNewRecord);
  // The next new journal row carries the last book and movement.
  ledger().newJournalRow();
  EXPECT_EQ(ledger().journal().field(J::ID).asInteger(), 3);
  EXPECT_EQ(ledger().journal().field(J::IDK).asInteger(), 2);
  EXPECT_EQ(ledger().journal().field(J::TEXT).asString(), "b");
}

TEST_F(Restore, AnEmptyJournalSectionLeavesTheSearchInForce) {
  restore(file({header("Denik", 0), header("Moves", 0), header("Books", 0)}));
  EXPECT_TRUE(ledger().journal().filtered());
  EXPECT_EQ(rows(LedgerTable::Journal), Rows{});
}

// --- files that do not read through whole --------------------------------------

TEST_F(Restore, ADamagedFileIsRefusedWithWhereAndChangesNothing) {
  const std::string d = header("Denik", 1), m = header("Moves", 1), b = header("Books", 1);
  const std::string j = "1;1;2;12.9.2004;a; ;1; ;";
  struct Case {
    const char* what;
    std::vector<std::string> lines;
    std::string message;  // after the file's name: ", line ..."
  } cases[] = {
      {"no number in the first header", {"######### no count here", j}, "'' is not a valid integer value|, line 1: the header of the Denik section"},
      {"words for the count", {"x ;zwei; y", j}, "'zwei' is not a valid integer value|, line 1: the header of the Denik section"},
      {"a count too large for an integer", {"x ;99999999999; y"}, "'99999999999' is not a valid integer value|, line 1: the header of the Denik section"},
      {"no number in a later header", {d, j, "Moves ;; records"}, "'' is not a valid integer value|, line 3: the header of the Moves section"},
      {"cut short in the last section", {d, j, m, "1;a;", header("Books", 2), "1;a; ;"},
       "Invalid value for field 'ID'|, line 7, column ID: the file ends before this line"},
      {"cut short before a section", {d, j}, "'' is not a valid integer value|, line 3: the header of the Moves section, but the file ends before it"},
      {"a rejected value in the last section", {d, j, m, "1;a;", b, "1;a;12,5x;"},
       "Invalid value for field 'BALANCE'|, line 6, column BALANCE: '12,5x'"},
      {"a number with the wrong separator", {d, "1;1;2;12.9.2004;a; ;1.5; ;"}, "Invalid value for field 'MINUS'|, line 2, column MINUS: '1.5'"},
      {"a date that is no date", {d, "1;1;2;31.2.2020;a; ; ; ;"}, "Invalid value for field 'DATUM'|, line 2, column DATUM: '31.2.2020'"},
      {"a missing piece in a number column", {d, "1;1;2;12.9.2004;a; ;"}, "Invalid value for field 'MINUS'|, line 2, column MINUS: ''"},
      {"a number wider than its column", {d, "12345678901; ; ; ; ; ; ; ;"}, "Invalid value for field 'ID'|, line 2, column ID: '12345678901'"},
      {"a new number that does not fit", {header("Denik", 2), "9999999999; ; ; ; ; ; ; ;", " ; ; ; ; ; ; ; ;"},
       "Invalid value for field 'ID'|, line 3, column ID: the value that the new-record rule gives the row"},
  };
  for (const Case& c : cases) {
    const std::array<std::string, 3> before = tableFiles(dir_.path());
    const fs::path path = file(c.lines);
    const std::string message = c.message;
    const std::string expected = message.substr(0, message.find('|')) + "\nFile " + path.string() + message.substr(message.find('|') + 1);
    open_->status.texts.clear();
    EXPECT_EQ(errorOf([&] { restore(path); }), expected) << c.what;
    EXPECT_EQ(tableFiles(dir_.path()), before) << c.what;
    EXPECT_TRUE(open_->status.texts.empty()) << c.what;
    EXPECT_TRUE(ledger().journal().active());
  }
}

TEST_F(Restore, AMissingFileIsRefusedAsTheCommandSaysAndTheStatusKeepsItsStart) {
  const fs::path missing = dir_ / "missing.txu";
  const std::array<std::string, 3> before = tableFiles(dir_.path());
  EXPECT_EQ(errorOf([&] { backup::RestoreBackupFrom(ledger(), missing); }), "Cannot open file " + missing.string());
  EXPECT_EQ(open_->status.texts, std::vector<std::string>{cz("Start obnovení ze zalohy...")});
  EXPECT_EQ(tableFiles(dir_.path()), before);
}

// --- other users and failing disks ----------------------------------------------

TEST_F(Restore, ATableThatAnotherProcessHasOpenIsRefusedAndNothingChanges) {
  const fs::path path = file({header("Denik", 1), "7; ; ; ; ; ; ; ;", header("Moves", 0), header("Books", 0)});
  ledger().books().moveTo(1);
  ledger().moves().moveTo(1);
  ledger().journal().dataSource().setEnabled(false);
  for (LedgerTable held : kTables) {
    Peer peer(ledger::tablePath(dir_.path(), held));
    ASSERT_EQ(peer.ask("open"), "ok");
    const std::array<std::string, 3> before = tableFiles(dir_.path());
    EXPECT_EQ(errorOf([&] { restore(path); }),
              "Table is busy: " + ledger::tablePath(dir_.path(), held).string() + " is in use by another user.");
    EXPECT_EQ(tableFiles(dir_.path()), before);
    // Back as they were: open shared, on the same rows, the same sources.
    for (Dataset* t : {&ledger().journal(), &ledger().moves(), &ledger().books()}) {
      EXPECT_TRUE(t->active());
      EXPECT_FALSE(t->exclusive());
    }
    EXPECT_EQ(ledger().books().rowIndex(), 1);
    EXPECT_EQ(ledger().moves().rowIndex(), 1);
    EXPECT_FALSE(ledger().journal().dataSource().enabled());
    EXPECT_TRUE(ledger().books().dataSource().enabled());
    EXPECT_TRUE(ledger().RefreshAfterNewRecord);
    // The other user still works on its table.
    EXPECT_EQ(peer.ask("count").substr(0, 2), "ok");
  }
  // Once the other user has gone, the same file restores.
  restore(path);
  EXPECT_EQ(rows(LedgerTable::Journal).size(), 1u);
}

// A file of the seam that fills up after so many bytes.
class FullAfter final : public ledger::File {
 public:
  FullAfter(std::unique_ptr<ledger::File> real, long long limit) : real_(std::move(real)), limit_(limit) {}
  ledger::IoResult pread(void* b, std::size_t c, long long o) override { return real_->pread(b, c, o); }
  ledger::IoResult pwrite(const void* d, std::size_t c, long long o) override {
    if (o + static_cast<long long>(c) > limit_) return {0, ENOSPC};
    return real_->pwrite(d, c, o);
  }
  ledger::IoResult size() override { return real_->size(); }
  int truncate(long long l) override { return real_->truncate(l); }
  int sync() override { return real_->sync(); }
  int lock(long long o, long long l, ledger::LockMode m) override { return real_->lock(o, l, m); }

 private:
  std::unique_ptr<ledger::File> real_;
  long long limit_;
};

TEST_F(Restore, ADiskThatFillsUpWhileTheNewTablesAreWrittenChangesNoTable) {
  std::vector<std::string> lines = {header("Denik", 400)};
  for (int i = 1; i <= 400; ++i) lines.push_back(std::to_string(i) + "; ; ;1.1.2026;row; ;1; ;");
  lines.push_back(header("Moves", 1));
  lines.push_back("1;a;");
  lines.push_back(header("Books", 1));
  lines.push_back("1;a; ;");
  const fs::path path = file(lines);
  const std::array<std::string, 3> before = tableFiles(dir_.path());
  backup::RestoreFiles files;
  files.create = [](const fs::path& p, int& error) -> std::unique_ptr<ledger::File> {
    auto real = ledger::createPosixFile(p, error);
    if (!real) return nullptr;
    return std::make_unique<FullAfter>(std::move(real), 50000);
  };
  EXPECT_EQ(errorOf([&] { backup::LoadAllTables(path, ledger(), files); }),
            "Cannot write to " + ledger::tablePath(dir_.path(), LedgerTable::Journal).string() +
                ": No space left on device");
  EXPECT_EQ(tableFiles(dir_.path()), before);
  for (const auto& entry : fs::directory_iterator(dir_ / "data")) {
    EXPECT_EQ(entry.path().extension(), ".dbf") << entry.path();
  }
  EXPECT_TRUE(ledger().journal().active());
  EXPECT_EQ(ledger().journal().recordCount(), 1);
}

TEST_F(Restore, FilesThatACrashedRestoreLeftBehindAreIgnoredAndCleanedUp) {
  for (LedgerTable t : kTables) {
    testing_support::writeFile(ledger::TableRewrite::temporaryPath(ledger::tablePath(dir_.path(), t)), "half");
  }
  // Opening ignores them.
  {
    Dataset journal("Table1", ledger::tablePath(dir_.path(), LedgerTable::Journal), text::Regional::czech());
    journal.open();
    EXPECT_EQ(journal.recordCount(), 1);
  }
  restore(file({header("Denik", 0), header("Moves", 0), header("Books", 1), "1;a; ;"}));
  std::vector<std::string> names;
  for (const auto& entry : fs::directory_iterator(dir_ / "data")) names.push_back(entry.path().filename().string());
  std::sort(names.begin(), names.end());
  EXPECT_EQ(names, (std::vector<std::string>{"books.dbf", "moves.dbf", "peden.dbf"}));
}

}  // namespace
