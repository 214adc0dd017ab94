// Tables of every dBASE level, as old Windows tools wrote them: read and
// written in place, every header byte the engine does not own kept; and the
// tables that Mincar cannot use, refused with the file, the column and the
// reason, and left as they were.
#include <gtest/gtest.h>

#include <cstdint>
#include <filesystem>
#include <string>
#include <vector>

#include "dbase_levels.h"
#include "ledger/dataset.h"
#include "test_support.h"
#include "text/cp1250.h"
#include "text/regional.h"

namespace {

namespace fs = std::filesystem;
using ledger::Dataset;
using ledger::Value;
using testing_support::errorOf;
using testing_support::journalColumns;
using testing_support::record;
using testing_support::LevelColumn;
using testing_support::LevelTable;
using testing_support::readFile;
using testing_support::TempDir;
using testing_support::writeFile;

// Every row as the grid shows it, one line a row.
std::string listing(Dataset& t) {
  std::string out;
  for (t.first(); !t.eof(); t.next()) {
    for (int i = 0; i < t.fieldCount(); ++i) out += (i ? ";" : "") + text::toUtf8(t.field(i).asString());
    out += '\n';
  }
  return out;
}

const Value kEmpty{};
std::string cz(const char* utf8) { return text::toCp1250(utf8); }

struct LevelCase {
  const char* name;
  LevelTable table;
};

std::vector<LevelCase> levelCases() {
  std::vector<LevelCase> cases;
  {
    LevelTable t;
    t.version = 0x03;
    t.columns = journalColumns("NNNDCNNN");
    cases.push_back({"III+", t});
  }
  {
    LevelTable t;
    t.version = 0x83;  // a memo file beside it, no memo column left
    t.languageDriver = 0x57;
    t.columns = journalColumns("NNNDCNNN");
    cases.push_back({"III+ with memo file", t});
  }
  {
    LevelTable t;
    t.version = 0x8B;
    t.productionIndex = 0x01;
    t.languageDriver = 0xC8;
    t.columns = journalColumns("NNNDCNNN");
    t.columns[0].indexed = true;
    cases.push_back({"IV with memo file and production index", t});
  }
  {
    LevelTable t;
    t.version = 0x03;
    t.incompleteTransaction = 0x01;
    t.languageDriver = 0x64;
    t.columns = journalColumns("NNNDCNNN");
    cases.push_back({"5 left in a transaction", t});
  }
  {
    LevelTable t;
    t.version = 0x04;
    t.languageDriver = 0x57;
    t.driverName = "DBWINWE0";
    t.productionIndex = 0x01;
    t.columns = journalColumns("+IIDCOON");
    t.columns[0].nextAutoIncrement = 3;
    t.columns[0].indexed = true;
    // Field properties as a level 7 writer leaves them; kept as found.
    t.properties = std::string("\x01\x00\x02\x00\x00\x00\x00\x00\x30\x00\x00\x00\x00\x00\x00\x00", 16);
    cases.push_back({"7", t});
  }
  {
    LevelTable t;
    t.version = 0x8C;
    t.driverName = "DB437US0";
    t.columns = journalColumns("INN@CNOO");
    cases.push_back({"7 with memo file", t});
  }
  return cases;
}

const std::vector<Value> kRow1 = {1.0, 1.0, 2.0, text::Date{2004, 9, 12}, cz("Nákup"), kEmpty, 120.25, -120.25};
const std::vector<Value> kRow2 = {2.0, 1.0, 1.0, text::Date{2026, 1, 1}, cz("Příjem z účtu"), 350.5, kEmpty, 230.25};

TEST(Levels, EachLevelListsItsRowsTakesANewRowAndEditsOneInPlace) {
  for (LevelCase c : levelCases()) {
    SCOPED_TRACE(c.name);
    TempDir dir;
    const fs::path file = dir / "peden.dbf";
    c.table.records = {record(c.table.columns, kRow1), record(c.table.columns, kRow2)};
    writeFile(file, c.table.bytes());

    {
      Dataset t("Table1", file, text::Regional::czech());
      ASSERT_EQ(errorOf([&] { t.open(); }), "(no error)");
      ASSERT_EQ(t.fieldCount(), 8);
      EXPECT_EQ(t.field(7).name(), "ZUSTATEK");
      EXPECT_EQ(listing(t),
                "1;1;2;12.9.2004;Nákup;;120,25;-120,25\n"
                "2;1;1;1.1.2026;Příjem z účtu;350,5;;230,25\n");

      t.append();
      // A column of type '+' is numbered by the table.
      if (t.field(0).type() != ledger::FieldType::AutoIncrement) t.field(0).setValue(3.0);
      t.field(1).setValue(1.0);
      t.field(2).setAsString("2");
      t.field(3).setAsString("5.6.2026");
      t.field(4).setAsString(cz("Nová"));
      t.field(5).setAsString("10,5");
      t.post();

      t.first();
      t.edit();
      t.field(4).setAsString(cz("Oprava"));
      t.field(6).setValue(99.5);
      t.post();
    }

    Dataset again("Table1", file, text::Regional::czech());
    again.open();
    EXPECT_EQ(listing(again),
              "1;1;2;12.9.2004;Oprava;;99,5;-120,25\n"
              "2;1;1;1.1.2026;Příjem z účtu;350,5;;230,25\n"
              "3;1;2;5.6.2026;Nová;10,5;;\n");

    // The file is the one the tool wrote, with the rows changed, the count
    // and date of today, the next number advanced; nothing else.
    LevelTable expected = c.table;
    std::vector<Value> edited = kRow1;
    edited[4] = cz("Oprava");
    edited[6] = 99.5;
    expected.records = {record(c.table.columns, edited), record(c.table.columns, kRow2),
                        record(c.table.columns, {3.0, 1.0, 2.0, text::Date{2026, 6, 5}, cz("Nová"), 10.5, kEmpty,
                                                 kEmpty})};
    expected.lastUpdate = text::Date::today();
    if (expected.columns[0].type == '+') expected.columns[0].nextAutoIncrement = 4;
    EXPECT_EQ(readFile(file), expected.bytes());
  }
}

TEST(Levels, Level7FieldsHoldTheBytesThatThePublishedFormatGives) {
  // Timestamps of a level 7 table as its documentation and files show them,
  // integers and doubles by their definition.
  struct Case {
    char type;
    std::string bytes;
    std::string shown;
  } cases[] = {
      {'@', std::string("\x42\xCC\xE1\xEC\x41\xFB\x64\x00", 8), "27.8.2013 19:12:13"},
      {'@', testing_support::level7Timestamp(731836, 0), "12.9.2004"},
      {'I', std::string("\x80\x00\x00\x01", 4), "1"},
      {'I', std::string("\x7F\xFF\xFF\xFF", 4), "-1"},
      {'I', std::string("\x80\x00\x30\x39", 4), "12345"},
      {'O', std::string("\xBF\xF0\x00\x00\x00\x00\x00\x00", 8), "1"},
      {'O', std::string("\x40\x0F\xFF\xFF\xFF\xFF\xFF\xFF", 8), "-1"},
      {'O', std::string("\xC0\x75\xE8\x00\x00\x00\x00\x00", 8), "350,5"},
      {'O', std::string(8, '\0'), ""},
      {'I', std::string(4, '\0'), ""},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(std::string(1, c.type) + " " + c.shown);
    TempDir dir;
    const fs::path file = dir / "t.dbf";
    LevelTable table;
    table.version = 0x04;
    table.columns = {{"A", c.type, static_cast<int>(c.bytes.size())}};
    table.records = {" " + c.bytes};
    writeFile(file, table.bytes());
    {
      Dataset t("Table1", file, text::Regional::czech());
      t.open();
      EXPECT_EQ(t.field(0).asString(), c.shown);
      EXPECT_EQ(t.field(0).isNull(), c.shown.empty());
      // Written back from its text, the value takes the same bytes.
      t.edit();
      t.field(0).clear();
      t.field(0).setAsString(c.shown);
      t.post();
    }
    EXPECT_EQ(readFile(file), table.bytes().replace(1, 3, readFile(file).substr(1, 3)));
  }
}

TEST(Levels, Level7ValuesGoThroughTheFieldApi) {
  TempDir dir;
  const fs::path file = dir / "t.dbf";
  LevelTable table;
  table.version = 0x04;
  table.columns = {{"N", 'I', 4}, {"D", 'O', 8}, {"T", '@', 8}};
  table.records = {" " + testing_support::level7Integer(-7) + testing_support::level7Double(-0.125) +
                   testing_support::level7Timestamp(735107, 69133000)};
  writeFile(file, table.bytes());
  Dataset t("Table1", file, text::Regional::czech());
  t.open();
  EXPECT_EQ(t.field(0).asInteger(), -7);
  EXPECT_DOUBLE_EQ(t.field(1).asFloat(), -0.125);
  EXPECT_EQ(t.field(1).asString(), "-0,125");
  EXPECT_EQ(t.field(2).asDate(), (text::Date{2013, 8, 27}));
  EXPECT_EQ(t.field(2).asString(), "27.8.2013 19:12:13");

  t.edit();
  // Values a column cannot take are refused and change nothing.
  EXPECT_EQ(errorOf([&] { t.field(0).setValue(1.5); }), "Invalid value for field 'N'");
  EXPECT_EQ(errorOf([&] { t.field(0).setValue(3e9); }), "Invalid value for field 'N'");
  EXPECT_EQ(errorOf([&] { t.field(2).setAsString("31.2.2013"); }), "Invalid value for field 'T'");
  EXPECT_EQ(errorOf([&] { t.field(2).setAsString("1.2.2013 25:00"); }), "Invalid value for field 'T'");
  EXPECT_EQ(t.field(0).asInteger(), -7);
  // A number column's value copies into them, a date into a timestamp.
  t.field(0).setAsString("42");
  t.field(1).setValue(Value{1e100});
  t.field(2).setValue(Value{text::Date{2026, 12, 8}});
  t.post();
  EXPECT_EQ(t.field(0).asString(), "42");
  EXPECT_DOUBLE_EQ(t.field(1).asFloat(), 1e100);
  EXPECT_EQ(t.field(2).asString(), "8.12.2026");
  EXPECT_TRUE(std::holds_alternative<text::Date>(t.field(2).value()));
}

// The next value of the autoincrement column that comes first.
std::uint32_t nextAutoIncrement(const fs::path& file) {
  const std::string bytes = readFile(file);
  std::uint32_t v = 0;
  for (int i = 3; i >= 0; --i) v = v << 8 | static_cast<unsigned char>(bytes[68 + 40 + static_cast<std::size_t>(i)]);
  return v;
}

TEST(Levels, AnAutoincrementColumnNumbersNewRowsAndItsNextValueStaysAheadOfEveryRow) {
  TempDir dir;
  const fs::path file = dir / "moves.dbf";
  LevelTable table;
  table.version = 0x04;
  table.columns = {{"ID", '+', 4, 0, 7}, {"TEXT", 'C', 20}};
  table.records = {" " + testing_support::level7Integer(1) + testing_support::padRight("a", 20),
                   " " + testing_support::level7Integer(6) + testing_support::padRight("b", 20)};
  writeFile(file, table.bytes());

  Dataset t("Table1", file, text::Regional::czech());
  t.open();
  t.append();
  t.field(1).setAsString("c");
  t.post();
  EXPECT_EQ(t.field(0).asInteger(), 7);
  EXPECT_EQ(nextAutoIncrement(file), 8u);

  // A number given by hand is kept, and the table numbers on after it.
  t.append();
  t.field(0).setValue(20.0);
  t.post();
  EXPECT_EQ(nextAutoIncrement(file), 21u);
  t.first();
  t.edit();
  t.field(0).setValue(30.0);
  t.post();
  EXPECT_EQ(nextAutoIncrement(file), 31u);
  t.append();
  t.post();
  EXPECT_EQ(t.field(0).asInteger(), 31);
  EXPECT_EQ(nextAutoIncrement(file), 32u);
}

TEST(Levels, TablesMincarCannotUseAreRefusedWithTheFileTheColumnAndTheReasonAndLeftAlone) {
  auto level = [](unsigned char version, std::vector<LevelColumn> columns) {
    LevelTable t;
    t.version = version;
    t.columns = std::move(columns);
    std::string r = " ";
    for (const LevelColumn& c : t.columns) r += std::string(static_cast<std::size_t>(c.length), ' ');
    t.records = {r};
    return t.bytes();
  };
  LevelTable encrypted;
  encrypted.version = 0x03;
  encrypted.encrypted = 0x01;
  encrypted.columns = {{"ID", 'N', 10}};
  encrypted.records = {std::string(11, ' ')};
  std::string mismatch = level(0x03, {{"ID", 'N', 10}, {"TEXT", 'C', 20}});
  mismatch[10] = 40;  // the record length
  std::string tooShort = level(0x04, {{"ID", 'I', 4}});
  tooShort[8] = 33;  // the header length
  tooShort[9] = 0;

  struct Case {
    const char* what;
    std::string bytes;
    std::string message;  // after the file's name
  } cases[] = {
      {"memo", level(0x8B, {{"ID", 'N', 10}, {"POZN", 'M', 10}}),
       ": column POZN is a memo column (type M), which Mincar cannot use"},
      {"binary", level(0x8C, {{"ID", 'I', 4}, {"SKEN", 'B', 10}}),
       ": column SKEN is a memo column (type B), which Mincar cannot use"},
      {"OLE", level(0x8C, {{"OBR", 'G', 10}}), ": column OBR is a memo column (type G), which Mincar cannot use"},
      {"encrypted", encrypted.bytes(), " is encrypted, which Mincar cannot read"},
      {"unknown type", level(0x04, {{"ID", 'I', 4}, {"KDY", 'T', 8}}),
       ": column KDY has the type 'T', which Mincar cannot use"},
      {"no type", level(0x03, {{"ID", 'N', 10}, {"X", '\0', 3}}),
       ": column X has the type '0x00', which Mincar cannot use"},
      {"level 7 type in III+", level(0x03, {{"ID", 'I', 4}}),
       ": column ID has the type 'I', which only a dBASE level 7 table may have, but the table is of an earlier "
       "level"},
      {"wrong length", level(0x04, {{"PLUS", 'O', 4}}),
       ": column PLUS of type 'O' is 4 bytes long, but that type is always 8 bytes long"},
  };
  struct Damage {
    const char* what;
    std::string bytes;
    std::string message;  // after the file's name
  } damages[] = {
      {"text file", "Hello, this is no table\n",
       " is no dBASE table: its first byte is 0x48, which no dBASE level from III+ to 7 writes"},
      {"another format", level(0x30, {{"ID", 'N', 10}}),
       " is no dBASE table: its first byte is 0x30, which no dBASE level from III+ to 7 writes"},
      {"record length", mismatch, ": the record length 40 does not match the fields, which need 31"},
      {"level 7 header length", tooShort, ": the header length 33 is too small"},
  };
  TempDir dir;
  const fs::path file = dir / "peden.dbf";
  auto refusal = [&](const std::string& bytes) {
    writeFile(file, bytes);
    Dataset t("Table1", file, text::Regional::czech());
    const std::string message = errorOf([&] { t.open(); });
    EXPECT_EQ(readFile(file), bytes) << "the refusal changed the file";
    return message;
  };
  for (const Case& c : cases) {
    EXPECT_EQ(refusal(c.bytes), "Table " + file.string() + c.message) << c.what;
  }
  for (const Damage& d : damages) {
    EXPECT_EQ(refusal(d.bytes), file.string() + d.message) << d.what;
  }
}

}  // namespace
