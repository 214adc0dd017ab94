// Damaged tables: each damage gets a message naming the file and what is
// wrong, nothing is changed, nothing crashes; a count that a crash left one
// behind is repaired.
#include <gtest/gtest.h>

#include <cstdint>
#include <filesystem>
#include <random>
#include <string>
#include <vector>

#include "ledger/dataset.h"
#include "ledger/dbf_header.h"
#include "test_support.h"
#include "text/error.h"
#include "text/regional.h"

namespace {

namespace fs = std::filesystem;
using ledger::Dataset;
using ledger::FieldDef;
using ledger::FieldType;
using testing_support::readFile;
using testing_support::TempDir;
using testing_support::writeFile;

const std::vector<FieldDef> kLayout = {
    {"ID", FieldType::Numeric, 10, 0},
    {"TEXT", FieldType::Character, 30, 0},
};
constexpr std::size_t kHeaderLength = 32 + 2 * 32 + 1;
constexpr std::size_t kRecordLength = 41;

std::string record(int id) {
  std::string r(kRecordLength, ' ');
  const std::string number = std::to_string(id);
  r.replace(11 - number.size(), number.size(), number);
  r.replace(11, 4, "row ");
  r.replace(15, number.size(), number);
  return r;
}

// The bytes of a good table with `rows` rows, as Mincar writes it.
std::string goodTable(const TempDir& dir, int rows) {
  const fs::path file = dir / "good.dbf";
  ledger::createTable(file, kLayout);
  Dataset t("Table1", file, text::Regional::czech());
  t.open();
  for (int i = 1; i <= rows; ++i) {
    t.append();
    t.field(0).setValue(static_cast<double>(i));
    t.field(1).setValue("row " + std::to_string(i));
    t.post();
  }
  t.close();
  std::string bytes = readFile(file);
  fs::remove(file);
  return bytes;
}

void put16(std::string& bytes, std::size_t at, unsigned v) {
  bytes[at] = static_cast<char>(v & 0xFF);
  bytes[at + 1] = static_cast<char>(v >> 8);
}

std::string openError(const fs::path& file) {
  Dataset t("Table1", file, text::Regional::czech());
  try {
    t.open();
  } catch (const mincar::Error& e) {
    EXPECT_FALSE(t.active());
    return e.what();
  }
  return "(opened)";
}

TEST(Damage, EachDamageIsNamedWithTheFileAndNothingChanges) {
  TempDir dir;
  const std::string good = goodTable(dir, 3);
  struct Case {
    const char* what;
    std::string bytes;
    std::string message;  // after "<file>: "
  };
  std::vector<Case> cases;
  cases.push_back({"empty file", "", "the file is empty, it is no dBASE table"});
  cases.push_back({"cut in the file header", good.substr(0, 20), "the table header is cut short"});
  cases.push_back({"cut in the descriptors", good.substr(0, 70), "the table header is cut short"});
  {
    std::string b = good;
    put16(b, 8, 32);
    cases.push_back({"header length too small", b, "the header length 32 is too small"});
  }
  {
    std::string b = good;
    put16(b, 10, 50);
    cases.push_back({"record length does not match", b,
                     "the record length 50 does not match the fields, which need 41"});
  }
  {
    std::string b = good;
    put16(b, 10, 0);
    cases.push_back({"record length zero", b, "the record length 0 is too small"});
  }
  {
    std::string b = good;
    b[4] = 5;
    cases.push_back({"count beyond the data", b, "the header counts 5 rows, but the file holds only 3"});
  }
  {
    std::string b = good;
    b[4] = 4;
    b.resize(b.size() - 1);  // no end mark either: 3 whole records
    cases.push_back({"count one beyond", b, "the header counts 4 rows, but the file holds only 3"});
  }
  {
    std::string b = good;
    b[32 + 32 + 11] = 'M';
    b.replace(32 + 32, 4, "NOTE");
    cases.push_back({"memo field", b, "field 'NOTE' has the type 'M', which Mincar cannot read"});
  }
  {
    std::string b = good;
    b[32 + 11] = '\0';
    cases.push_back({"unprintable type", b, "field 'ID' has the type '0x00', which Mincar cannot read"});
  }
  {
    std::string b = good;
    b[32 + 16] = 0;
    put16(b, 10, 31);
    cases.push_back({"field length zero", b, "field 'ID' has the length 0"});
  }
  {
    std::string b = good;
    put16(b, 8, kHeaderLength - 1);  // the header ends before its terminator
    cases.push_back({"no terminator", b, "the field list has no end mark"});
  }
  {
    std::string b = good;
    put16(b, 8, kHeaderLength + 20);  // the terminator is missed: the list runs into the records
    b[kHeaderLength - 1] = 'x';
    cases.push_back({"descriptors cut by the header length", b, "the field list is cut short"});
  }
  for (const Case& c : cases) {
    const fs::path file = dir / "damaged.dbf";
    writeFile(file, c.bytes);
    EXPECT_EQ(openError(file), file.string() + ": " + c.message) << c.what;
    EXPECT_EQ(readFile(file), c.bytes) << c.what << ": the file must stay as it was";
  }
}

TEST(Damage, AFileThatCannotBeOpenedIsNamed) {
  TempDir dir;
  EXPECT_EQ(openError(dir / "missing.dbf"), "Cannot open file " + (dir / "missing.dbf").string());
  fs::create_directory(dir / "folder.dbf");
  EXPECT_EQ(openError(dir / "folder.dbf"), "Cannot open file " + (dir / "folder.dbf").string());
}

TEST(Repair, ACountOneBehindIsRepairedAndReported) {
  TempDir dir;
  std::string bytes = goodTable(dir, 10);
  // A crash between the record and the count: the 11th record and the end
  // mark are written, the header still counts 10.
  bytes.pop_back();
  bytes += record(11);
  bytes += '\x1A';
  const fs::path file = dir / "peden.dbf";
  writeFile(file, bytes);

  Dataset t("Table1", file, text::Regional::czech());
  t.open();
  EXPECT_EQ(t.takeRepairNotice(), file.string() + ": the row count was repaired from 10 to 11");
  EXPECT_EQ(t.takeRepairNotice(), "") << "reading the notice clears it";
  EXPECT_EQ(t.recordCount(), 11);
  t.last();
  EXPECT_EQ(t.field(0).asInteger(), 11);
  EXPECT_EQ(t.field(1).asString(), "row 11");
  t.close();
  EXPECT_EQ(static_cast<unsigned char>(readFile(file)[4]), 11u);

  t.open();
  EXPECT_EQ(t.takeRepairNotice(), "") << "nothing left to repair";
}

TEST(Repair, HalfARecordAfterTheCountedOnesIsOverwrittenByTheNextAppend) {
  TempDir dir;
  std::string bytes = goodTable(dir, 2);
  bytes.pop_back();
  bytes += record(3).substr(0, 20);  // a crash in the middle of the record
  const fs::path file = dir / "peden.dbf";
  writeFile(file, bytes);

  Dataset t("Table1", file, text::Regional::czech());
  t.open();
  EXPECT_EQ(t.takeRepairNotice(), "");
  EXPECT_EQ(t.recordCount(), 2);
  t.append();
  t.field(0).setValue(3.0);
  t.field(1).setValue(std::string("row 3"));
  t.post();
  t.close();
  EXPECT_EQ(readFile(file), goodTable(dir, 3));
}

TEST(Repair, BytesAfterTheEndMarkAreNoRows) {
  TempDir dir;
  std::string bytes = goodTable(dir, 2);
  bytes += record(3) + record(4);  // some tools leave old bytes behind the end mark
  const fs::path file = dir / "peden.dbf";
  writeFile(file, bytes);
  Dataset t("Table1", file, text::Regional::czech());
  t.open();
  EXPECT_EQ(t.takeRepairNotice(), "");
  EXPECT_EQ(t.recordCount(), 2);
}

// The header parser is a pure function over bytes: every prefix and random
// damage must give a header or a message naming the file, never a crash or a
// read beyond the bytes (run under a sanitizer to see the latter).
TEST(DamageFuzz, TheHeaderParserTakesAnyBytes) {
  TempDir dir;
  const std::string good = goodTable(dir, 3);
  const std::string name = "fuzz.dbf";
  for (std::size_t n = 0; n <= kHeaderLength; ++n) {
    const std::string prefix = good.substr(0, n);
    try {
      ledger::dbf::parseHeader(prefix, name);
      EXPECT_EQ(n, kHeaderLength);
    } catch (const mincar::Error& e) {
      EXPECT_EQ(std::string(e.what()).rfind(name + ": ", 0), 0u) << e.what();
    }
  }
  std::mt19937 random(20240229);
  for (int round = 0; round < 5000; ++round) {
    std::string bytes = good.substr(0, kHeaderLength + 10);
    const int changes = 1 + static_cast<int>(random() % 6);
    for (int i = 0; i < changes; ++i) {
      bytes[random() % bytes.size()] = static_cast<char>(random() & 0xFF);
    }
    if (random() % 4 == 0) bytes.resize(random() % bytes.size());
    try {
      const ledger::dbf::Header h = ledger::dbf::parseHeader(bytes, name);
      int sum = 1;
      for (const FieldDef& f : h.fields) sum += f.length;
      EXPECT_EQ(sum, h.recordLength);
      EXPECT_LE(static_cast<std::size_t>(h.headerLength), bytes.size());
    } catch (const mincar::Error& e) {
      EXPECT_EQ(std::string(e.what()).rfind(name + ": ", 0), 0u) << e.what();
    }
  }
}

TEST(DamageFuzz, DamagedTablesOpenOrFailCleanlyAndReadOnlyTheirRows) {
  TempDir dir;
  const std::string good = goodTable(dir, 5);
  std::mt19937 random(7);
  for (int round = 0; round < 300; ++round) {
    // A new file each round: truncating one file over and over is slow on
    // disks that discard freed blocks.
    const fs::path file = dir / ("fuzz" + std::to_string(round) + ".dbf");
    std::string bytes = good;
    const int changes = 1 + static_cast<int>(random() % 4);
    for (int i = 0; i < changes; ++i) {
      // Mostly the header, where damage changes the file's structure.
      const std::size_t at = random() % 3 != 0 ? random() % kHeaderLength : random() % bytes.size();
      bytes[at] = static_cast<char>(random() & 0xFF);
    }
    if (random() % 5 == 0) bytes.resize(random() % bytes.size());
    writeFile(file, bytes);
    Dataset t("Table1", file, text::Regional::czech());
    try {
      t.open();
      std::int64_t rows = 0;
      for (t.first(); !t.eof(); t.next()) {
        for (int c = 0; c < t.fieldCount(); ++c) {
          t.field(c).value();
          t.field(c).asString();
        }
        ++rows;
      }
      EXPECT_EQ(rows, t.recordCount());
    } catch (const mincar::Error& e) {
      const std::string message = e.what();
      EXPECT_NE(message.find(file.string()), std::string::npos) << message;
    }
  }
}

}  // namespace
