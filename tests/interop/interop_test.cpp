// Our tables must open in other tools, and theirs in ours: GDAL and Python's
// dbfread, both from Debian's packages.
#include <gtest/gtest.h>

#include <cstdio>
#include <filesystem>
#include <string>

#include "dbase_levels.h"
#include "ledger/dataset.h"
#include "ledger/ledger_tables.h"
#include "test_support.h"
#include "text/cp1250.h"

namespace {

namespace fs = std::filesystem;
using ledger::Dataset;
using ledger::LedgerTable;
using testing_support::run;
using testing_support::TempDir;

// Debian's interpreter: it has python3-dbfread, a python3 earlier on PATH may not.
const fs::path kPython = "/usr/bin/python3";

void fillJournal(const fs::path& workDir) {
  ledger::createMissingTables(workDir);
  Dataset t("Table1", ledger::tablePath(workDir, LedgerTable::Journal), text::Regional::czech());
  t.open();
  struct Row {
    double id;
    const char* date;
    const char* textUtf8;
    double plus;  // < 0: empty
  } rows[] = {
      {1, "12.9.2004", "Příliš žluťoučký kůň úpěl ďábelské ódy", 350.5},
      {2, "1.1.2026", "ŽLUŤOUČKÝ; s ˙ a ß", -1},
      {3, "31.12.1999", "", 1234567.89},
  };
  for (const Row& r : rows) {
    t.append();
    t.field(ledger::journal::ID).setValue(r.id);
    t.field(ledger::journal::IDK).setValue(1.0);
    t.field(ledger::journal::DATUM).setAsString(r.date);
    t.field(ledger::journal::TEXT).setAsString(text::toCp1250(r.textUtf8));
    if (r.plus >= 0) t.field(ledger::journal::PLUS).setValue(r.plus);
    t.post();
  }
}

TEST(Interop, DbfreadReadsOurJournalWithCzechLetters) {
  TempDir dir;
  fillJournal(dir.path());
  auto r = run(kPython,
               {"-c",
                "import sys, dbfread\n"
                "t = dbfread.DBF(sys.argv[1], encoding='cp1250')\n"
                "print(','.join(t.field_names))\n"
                "for rec in t:\n"
                "    print(repr(rec['ID']), rec['DATUM'], rec['TEXT'], rec['PLUS'], rec['MINUS'])\n",
                ledger::tablePath(dir.path(), LedgerTable::Journal).string()});
  ASSERT_EQ(r.exitCode, 0) << r.err;
  EXPECT_EQ(r.out,
            "ID,IDK,IDM,DATUM,TEXT,PLUS,MINUS,ZUSTATEK\n"
            "1 2004-09-12 Příliš žluťoučký kůň úpěl ďábelské ódy 350.5 None\n"
            "2 2026-01-01 ŽLUŤOUČKÝ; s ˙ a ß None None\n"
            "3 1999-12-31  1234567.89 None\n");
}

TEST(Interop, OgrinfoReadsOurJournal) {
  TempDir dir;
  fillJournal(dir.path());
  auto r = run("/usr/bin/ogrinfo",
               {"-al", "-so", ledger::tablePath(dir.path(), LedgerTable::Journal).string()});
  ASSERT_EQ(r.exitCode, 0) << r.err;
  EXPECT_NE(r.out.find("Feature Count: 3"), std::string::npos) << r.out;
  // Columns in our order.
  size_t last = 0;
  for (const char* name : {"ID:", "IDK:", "IDM:", "DATUM:", "TEXT:", "PLUS:", "MINUS:",
                           "ZUSTATEK:"}) {
    size_t at = r.out.find(std::string("\n") + name, last);
    ASSERT_NE(at, std::string::npos) << name << "\n" << r.out;
    last = at;
  }
  auto full = run("/usr/bin/ogrinfo",
                  {"-al", "-q", ledger::tablePath(dir.path(), LedgerTable::Journal).string()});
  ASSERT_EQ(full.exitCode, 0) << full.err;
  EXPECT_NE(full.out.find("TEXT (String) = Příliš žluťoučký kůň úpěl ďábelské ódy"),
            std::string::npos)
      << full.out;
  EXPECT_NE(full.out.find("PLUS (Real) = (null)"), std::string::npos) << full.out;
}

TEST(Interop, TableWrittenByOgr2ogrOpensInMincar) {
  TempDir dir;
  testing_support::writeFile(dir / "in.csv",
                             "ID,NAME,AMOUNT,WHEN,OK\n"
                             "1,Příliš žluťoučký kůň,350.5,2004/09/12,1\n"
                             "2,,,,\n"
                             "3,Ďábel;x,-12.25,2020/01/31,0\n");
  testing_support::writeFile(dir / "in.csvt", "\"Integer\",\"String\",\"Real\",\"Date\",\"Integer\"\n");
  auto r = run("/usr/bin/ogr2ogr", {"-f", "ESRI Shapefile", "-lco", "ENCODING=LDID/200",
                                    (dir / "out.dbf").string(), (dir / "in.csv").string()});
  ASSERT_EQ(r.exitCode, 0) << r.err;

  Dataset t("Table1", dir / "out.dbf", text::Regional::czech());
  t.open();
  ASSERT_EQ(t.fieldCount(), 5);
  EXPECT_EQ(t.field(0).name(), "ID");
  EXPECT_EQ(t.field(1).name(), "NAME");
  EXPECT_EQ(t.field(2).length(), 24);
  EXPECT_EQ(t.field(2).decimals(), 15);
  EXPECT_EQ(t.recordCount(), 3);

  t.first();
  EXPECT_EQ(t.field(0).asInteger(), 1);
  EXPECT_EQ(text::toUtf8(t.field(1).asString()), "Příliš žluťoučký kůň");
  EXPECT_DOUBLE_EQ(t.field(2).asFloat(), 350.5);
  EXPECT_EQ(t.field(2).asString(), "350,5");
  EXPECT_EQ(t.field(3).asString(), "12.9.2004");
  t.next();
  EXPECT_EQ(t.field(0).asInteger(), 2);
  EXPECT_TRUE(t.field(1).isNull());
  EXPECT_TRUE(t.field(2).isNull()) << "GDAL writes an empty number as '*'";
  EXPECT_TRUE(t.field(3).isNull()) << "and an empty date as zeros";
  t.next();
  EXPECT_EQ(text::toUtf8(t.field(1).asString()), "Ďábel;x");
  EXPECT_EQ(t.field(2).asString(), "-12,25");
  t.next();
  EXPECT_TRUE(t.eof());

  // A row we add must read back in GDAL too.
  t.append();
  t.field(0).setValue(4.0);
  t.field(1).setAsString(text::toCp1250("Účet"));
  t.field(2).setValue(0.125);
  t.post();
  t.close();
  auto back = run("/usr/bin/ogrinfo", {"-al", "-q", (dir / "out.dbf").string()});
  ASSERT_EQ(back.exitCode, 0) << back.err;
  EXPECT_NE(back.out.find("NAME (String) = Účet"), std::string::npos) << back.out;
  EXPECT_NE(back.out.find("AMOUNT (Real) = 0.125"), std::string::npos) << back.out;
}

TEST(Interop, DbfreadReadsTheRowsMincarWroteIntoALevel7Journal) {
  // dbfread reads no level 7 header (its 48-byte descriptors), but the
  // records of a level are the same bytes under any header: so the rows
  // Mincar wrote are handed to it under a level IV header, and it reads the
  // columns whose types mean the same at both levels.
  TempDir dir;
  const fs::path file = dir / "peden.dbf";
  testing_support::LevelTable level7;
  level7.version = 0x04;
  level7.columns = testing_support::journalColumns("+IIDCOON");
  level7.columns[0].nextAutoIncrement = 1;
  level7.properties = std::string(16, '\0');
  testing_support::writeFile(file, level7.bytes());
  {
    Dataset t("Table1", file, text::Regional::czech());
    t.open();
    t.append();
    t.field(ledger::journal::DATUM).setAsString("12.9.2004");
    t.field(ledger::journal::TEXT).setAsString(text::toCp1250("Příliš žluťoučký kůň"));
    t.field(ledger::journal::PLUS).setValue(350.5);
    t.field(ledger::journal::ZUSTATEK).setAsString("-1234,56");
    t.post();
    t.append();
    t.field(ledger::journal::DATUM).setAsString("1.1.2026");
    t.post();
  }
  const std::string written = testing_support::readFile(file);
  const std::size_t headerLength = static_cast<unsigned char>(written[8]) | static_cast<unsigned char>(written[9]) << 8;
  const std::size_t recordLength = static_cast<std::size_t>(level7.recordLength());
  ASSERT_EQ(written[4], 2) << "two rows counted";
  testing_support::LevelTable level4 = level7;
  level4.version = 0x03;
  for (std::size_t r = 0; r < 2; ++r) level4.records.push_back(written.substr(headerLength + r * recordLength, recordLength));
  testing_support::writeFile(dir / "level4.dbf", level4.bytes());

  auto r = run(kPython,
               {"-c",
                "import sys, dbfread\n"
                "for rec in dbfread.DBF(sys.argv[1], encoding='cp1250'):\n"
                "    print(rec['DATUM'], rec['TEXT'], rec['ZUSTATEK'])\n",
                (dir / "level4.dbf").string()});
  ASSERT_EQ(r.exitCode, 0) << r.err;
  EXPECT_EQ(r.out,
            "2004-09-12 Příliš žluťoučký kůň -1234.56\n"
            "2026-01-01  None\n");
}

}  // namespace
