// The dBASE file itself: the bytes Mincar writes, the values it reads from
// files that other tools wrote, the field encoding, and what a failing disk
// leaves behind.
#include <gtest/gtest.h>

#include <cerrno>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <cstdint>
#include <filesystem>
#include <memory>
#include <random>
#include <string>
#include <vector>

#include "ledger/dataset.h"
#include "ledger/dataset_testing.h"
#include "ledger/field_codec.h"
#include "ledger/file.h"
#include "ledger/table.h"
#include "test_support.h"
#include "text/error.h"
#include "text/regional.h"

namespace {

namespace fs = std::filesystem;
using ledger::Dataset;
using ledger::DatasetState;
using ledger::FieldDef;
using ledger::FieldType;
using ledger::Value;
using testing_support::readFile;
using testing_support::TempDir;
using testing_support::writeFile;

const std::vector<FieldDef> kJournal = {
    {"ID", FieldType::Numeric, 10, 0},   {"IDK", FieldType::Numeric, 10, 0},
    {"IDM", FieldType::Numeric, 10, 0},  {"DATUM", FieldType::Date, 8, 0},
    {"TEXT", FieldType::Character, 200, 0}, {"PLUS", FieldType::Numeric, 15, 2},
    {"MINUS", FieldType::Numeric, 15, 2}, {"ZUSTATEK", FieldType::Numeric, 15, 2},
};

std::string le16(unsigned v) { return {static_cast<char>(v & 0xFF), static_cast<char>(v >> 8)}; }
std::string le32(std::uint32_t v) {
  return {static_cast<char>(v & 0xFF), static_cast<char>(v >> 8 & 0xFF), static_cast<char>(v >> 16 & 0xFF),
          static_cast<char>(v >> 24)};
}
std::string dateBytes(const text::Date& d) {
  return {static_cast<char>(d.year - 1900), static_cast<char>(d.month), static_cast<char>(d.day)};
}

struct Column {
  std::string name;  // written as given, up to 11 bytes, NUL padded
  char type;
  int length;
  int decimals;
};

// A table as another tool might write it, byte by byte: `padding` extra
// header bytes after the terminator, records given whole (flag included).
std::string foreignTable(const std::vector<Column>& columns, const std::vector<std::string>& records,
                         int padding = 0, bool endMark = true, std::uint32_t count = UINT32_MAX) {
  int recordLength = 1;
  for (const Column& c : columns) recordLength += c.type == 'C' ? c.length + 256 * c.decimals : c.length;
  const unsigned headerLength = static_cast<unsigned>(32 + 32 * columns.size() + 1 + padding);
  std::string out;
  out += '\x03';
  out += dateBytes({2019, 3, 4});
  out += le32(count == UINT32_MAX ? static_cast<std::uint32_t>(records.size()) : count);
  out += le16(headerLength);
  out += le16(static_cast<unsigned>(recordLength));
  out += std::string(17, '\0');
  out += '\x57';  // a language driver that is not ours
  out += std::string(2, '\0');
  for (const Column& c : columns) {
    std::string d(32, '\0');
    d.replace(0, c.name.size(), c.name);
    d[11] = c.type;
    d[16] = static_cast<char>(c.length);
    d[17] = static_cast<char>(c.decimals);
    out += d;
  }
  out += '\x0D';
  out += std::string(static_cast<std::size_t>(padding), '\0');
  for (const std::string& r : records) out += r;
  if (endMark) out += '\x1A';
  return out;
}

std::string spaces(int n) { return std::string(static_cast<std::size_t>(n), ' '); }

// --- the bytes of a new table ---------------------------------------------------

TEST(CreateTable, WritesTheExactHeaderOfAnEmptyJournal) {
  TempDir dir;
  const fs::path file = dir / "peden.dbf";
  ledger::createTable(file, kJournal);

  std::string expected;
  expected += '\x03';
  expected += dateBytes(text::Date::today());
  expected += le32(0);
  expected += le16(32 + 8 * 32 + 1);
  expected += le16(284);
  expected += std::string(17, '\0');
  expected += '\xC8';  // Windows-1250
  expected += std::string(2, '\0');
  auto descriptor = [](const char* name, char type, int length, int decimals) {
    std::string d(32, '\0');
    d.replace(0, std::string(name).size(), name);
    d[11] = type;
    d[16] = static_cast<char>(length);
    d[17] = static_cast<char>(decimals);
    return d;
  };
  expected += descriptor("ID", 'N', 10, 0);
  expected += descriptor("IDK", 'N', 10, 0);
  expected += descriptor("IDM", 'N', 10, 0);
  expected += descriptor("DATUM", 'D', 8, 0);
  expected += descriptor("TEXT", 'C', 200, 0);
  expected += descriptor("PLUS", 'N', 15, 2);
  expected += descriptor("MINUS", 'N', 15, 2);
  expected += descriptor("ZUSTATEK", 'N', 15, 2);
  expected += '\x0D';
  expected += '\x1A';
  EXPECT_EQ(readFile(file), expected);
}

TEST(CreateTable, RefusesAFileThatExistsAndLeavesItAlone) {
  TempDir dir;
  const fs::path file = dir / "books.dbf";
  writeFile(file, "precious");
  try {
    ledger::createTable(file, kJournal);
    FAIL() << "no error";
  } catch (const mincar::Error& e) {
    EXPECT_EQ(std::string(e.what()), "Cannot create " + file.string() + ": the file already exists");
  }
  EXPECT_EQ(readFile(file), "precious");
}

TEST(CreateTable, RefusesFieldsThatCannotBeWritten) {
  TempDir dir;
  const fs::path file = dir / "x.dbf";
  struct Case {
    std::vector<FieldDef> fields;
    std::string message;
  } cases[] = {
      {{}, "a table needs at least one field"},
      {{{"ELEVENCHARS", FieldType::Character, 5, 0}}, "the field name 'ELEVENCHARS' is not 1 to 10 characters long"},
      {{{"", FieldType::Character, 5, 0}}, "the field name '' is not 1 to 10 characters long"},
      {{{"T", FieldType::Character, 0, 0}}, "field 'T' cannot have this length and these decimals"},
      {{{"T", FieldType::Character, 255, 0}}, "field 'T' cannot have this length and these decimals"},
      {{{"N", FieldType::Numeric, 5, 4}}, "field 'N' cannot have this length and these decimals"},
      {{{"D", FieldType::Date, 10, 0}}, "field 'D' cannot have this length and these decimals"},
  };
  for (const Case& c : cases) {
    try {
      ledger::createTable(file, c.fields);
      ADD_FAILURE() << "no error for " << c.message;
    } catch (const mincar::Error& e) {
      EXPECT_EQ(std::string(e.what()), "Cannot create " + file.string() + ": " + c.message);
    }
    EXPECT_FALSE(fs::exists(file)) << c.message;
  }
}

// --- field encoding ---------------------------------------------------------------

TEST(FieldCodec, ReadsNumbers) {
  struct Case {
    std::string bytes;
    bool present;
    double value;
  } cases[] = {
      {"        42", true, 42},         {"     -3.25", true, -3.25},      {"      0.10", true, 0.1},
      {"1234567890", true, 1234567890}, {"          ", false, 0},         {"**********", false, 0},
      {"     12,50", false, 0},         {"   1.5e3  ", true, 1500},       {"        .5", true, 0.5},
      {"       +7.", true, 7},          {"     -0.00", true, 0},          {"       abc", false, 0},
      {"       inf", false, 0},         {"       nan", false, 0},         {"      1-2 ", false, 0},
      {"         -", false, 0},         {"       +-1", false, 0},         {"12345678901234567", true, 12345678901234567.0},
      {std::string("   5\0\0", 6), true, 5},
  };
  for (const Case& c : cases) {
    double v = -99;
    const bool present = ledger::codec::decodeNumber(c.bytes.data(), static_cast<int>(c.bytes.size()), v);
    EXPECT_EQ(present, c.present) << "'" << c.bytes << "'";
    if (c.present) {
      EXPECT_EQ(v, c.value) << "'" << c.bytes << "'";
    }
  }
  double negativeZero = 1;
  ASSERT_TRUE(ledger::codec::decodeNumber("-0.00", 5, negativeZero));
  EXPECT_FALSE(std::signbit(negativeZero));
}

TEST(FieldCodec, ReadsDecimalsExactlyAsTheNearestDouble) {
  // The fast path must agree with a correctly rounding parser.
  for (const char* text : {"0.1", "0.7", "1234567.89", "-99999999999.99", "0.000000000000001", "9007199254740.993"}) {
    double fast = 0;
    ASSERT_TRUE(ledger::codec::decodeNumber(text, static_cast<int>(std::string(text).size()), fast)) << text;
    EXPECT_EQ(fast, std::strtod(text, nullptr)) << text;
  }
}

// Both ways of reading (the column's usual form and every other) against
// the C library, over numbers as writers format them and damaged ones.
TEST(FieldCodec, ReadsEveryNumberAsStrtodDoes) {
  std::mt19937_64 random(5);
  const std::string alphabet = " .-+0123456789e*,";
  for (int i = 0; i < 200000; ++i) {
    const int width = 1 + static_cast<int>(random() % 20);
    const int decimals = static_cast<int>(random() % 9);
    const double magnitude = std::pow(10.0, static_cast<double>(random() % 12));
    const double value = (static_cast<double>(random() % 2000001) - 1000000.0) / 1000000.0 * magnitude;
    char formatted[400];
    std::snprintf(formatted, sizeof formatted, "%*.*f", width, decimals, value);
    std::string field(formatted);
    if (field.size() > static_cast<std::size_t>(width)) field = field.substr(field.size() - width);
    if (random() % 3 == 0) field[random() % field.size()] = alphabet[random() % alphabet.size()];

    double general = -1;
    double usual = -2;
    const bool readGeneral = ledger::codec::decodeNumber(field.data(), width, general);
    const bool readUsual = ledger::codec::decodeNumber(field.data(), width, usual, decimals);
    ASSERT_EQ(readGeneral, readUsual) << "'" << field << "' decimals " << decimals;

    std::string trimmed = field.substr(std::min(field.find_first_not_of(' '), field.size()));
    while (!trimmed.empty() && trimmed.back() == ' ') trimmed.pop_back();
    char* stop = nullptr;
    errno = 0;
    const double expected = std::strtod(trimmed.c_str(), &stop);
    const bool strtodReads = !trimmed.empty() && *stop == '\0' && errno == 0 && std::isfinite(expected);
    ASSERT_EQ(readGeneral, strtodReads) << "'" << field << "'";
    if (readGeneral) {
      ASSERT_EQ(general, expected) << "'" << field << "'";
      ASSERT_EQ(usual, expected) << "'" << field << "' decimals " << decimals;
    }
  }
}

TEST(FieldCodec, WritesNumbersRightAlignedWithTheColumnsDecimals) {
  struct Case {
    double value;
    int length;
    int decimals;
    std::string bytes;  // "" = does not fit
  } cases[] = {
      {42, 10, 0, "        42"},   {-3.256, 8, 2, "   -3.26"},   {0.1, 6, 2, "  0.10"},
      {1234567890, 10, 0, "1234567890"}, {12345678901, 10, 0, ""}, {-0.001, 6, 2, "  0.00"},
      {999.999, 6, 2, ""},          {1.5, 3, 0, "  2"},           {0.125, 24, 15, "       0.125000000000000"},
      {1e300, 20, 2, ""},           {std::nan(""), 10, 2, ""},     {INFINITY, 10, 2, ""},
  };
  for (const Case& c : cases) {
    std::string out(static_cast<std::size_t>(c.length), '#');
    const bool fits = ledger::codec::encodeNumber(c.value, c.length, c.decimals, out.data());
    EXPECT_EQ(fits, !c.bytes.empty()) << c.value;
    if (fits) {
      EXPECT_EQ(out, c.bytes) << c.value;
    }
  }
}

TEST(FieldCodec, ReadsDatesAndLogicals) {
  struct DateCase {
    std::string bytes;
    text::Date date;  // {} = empty
  } dates[] = {
      {"20240229", {2024, 2, 29}}, {"20230229", {}}, {"00000000", {}}, {"        ", {}},
      {"2023121 ", {}},            {"20231301", {}}, {"1999123a", {}}, {"00010101", {1, 1, 1}},
  };
  for (const DateCase& c : dates) {
    text::Date d;
    const bool present = ledger::codec::decodeDate(c.bytes.data(), 8, d);
    EXPECT_EQ(present, c.date != text::Date{}) << c.bytes;
    if (present) {
      EXPECT_EQ(d, c.date) << c.bytes;
    }
  }
  struct LogicalCase {
    char byte;
    int value;
  } logicals[] = {{'T', 1}, {'t', 1}, {'Y', 1}, {'y', 1}, {'F', 0}, {'f', 0}, {'N', 0},
                  {'n', 0}, {'?', -1}, {' ', -1}, {'1', -1}};
  for (const LogicalCase& c : logicals) {
    EXPECT_EQ(ledger::codec::decodeLogical(&c.byte, 1), c.value) << c.byte;
  }
}

TEST(FieldCodec, ReadsTextsWithoutTheirPadding) {
  using namespace std::string_literals;
  struct Case {
    std::string bytes;
    std::string text;
  } cases[] = {
      {"", ""},
      {"        ", ""},
      {std::string(200, ' '), ""},
      {"a" + std::string(199, ' '), "a"},
      {"  Nákup " + std::string(192, ' '), "  Nákup"},  // leading blanks are kept
      {"ab   cd" + std::string(9, ' '), "ab   cd"},
      {"12345678", "12345678"},
      {"12345678" + std::string(8, ' '), "12345678"},
      {"123456789" + std::string(8, ' '), "123456789"},
      {"x" + std::string(15, ' ') + "y", std::string("x") + std::string(15, ' ') + "y"},
      {"row\0\0\0\0\0\0\0\0\0\0\0"s, "row"},                     // NUL padding
      {"row  \0 \0"s + std::string(16, ' '), "row"},                    // both
      {"row\0x"s + std::string(10, ' '), "row\0x"s},                    // a NUL inside stays
  };
  for (const Case& c : cases) {
    EXPECT_EQ(ledger::codec::decodeText(c.bytes.data(), static_cast<int>(c.bytes.size())), c.text)
        << "'" << c.bytes << "'";
  }
}

// --- round trips through a Dataset ----------------------------------------------

const std::vector<FieldDef> kEveryType = {
    {"NAME", FieldType::Character, 12, 0}, {"AMOUNT", FieldType::Numeric, 9, 2},
    {"RATE", FieldType::Float, 12, 4},     {"WHEN", FieldType::Date, 8, 0},
    {"PAID", FieldType::Logical, 1, 0},    {"COUNT", FieldType::Numeric, 5, 0},
};

TEST(RoundTrip, EveryTypeWithAndWithoutValues) {
  TempDir dir;
  const fs::path file = dir / "all.dbf";
  ledger::createTable(file, kEveryType);
  {
    Dataset t("Table1", file, text::Regional::czech());
    t.open();
    t.append();
    t.field(0).setValue(std::string("P\xF8\xEDli\x9A \x9Elu\x9Dou\xE8k\xFD k\xF9\xF2"));  // cut to 12
    t.field(1).setValue(-1234.567);
    t.field(2).setAsString("3,14159");
    t.field(3).setValue(text::Date{2004, 9, 12});
    t.field(4).setValue(true);
    t.field(5).setValue(99999.0);
    t.post();
    t.append();  // every column empty
    t.post();
    t.append();
    t.field(0).setAsString("  lead");
    t.field(3).setAsString("1.1.2026");
    t.field(4).setValue(false);
    t.field(5).setValue(-0.4);
    t.post();
  }
  const std::string bytes = readFile(file);
  const std::size_t data = 32 + 6 * 32 + 1;
  const std::size_t recordLength = 1 + 12 + 9 + 12 + 8 + 1 + 5;
  ASSERT_EQ(bytes.size(), data + 3 * recordLength + 1);
  EXPECT_EQ(bytes.substr(data, recordLength),
            std::string(" P\xF8\xEDli\x9A \x9Elu\x9D" "o") + " -1234.57" + "      3.1416" + "20040912" + "T" + "99999");
  EXPECT_EQ(bytes.substr(data + recordLength, recordLength), " " + spaces(47));
  EXPECT_EQ(bytes.substr(data + 2 * recordLength, recordLength),
            std::string(" ") + "  lead      " + spaces(9) + spaces(12) + "20260101" + "F" + "    0");
  EXPECT_EQ(bytes.back(), '\x1A');
  EXPECT_EQ(bytes.substr(4, 4), le32(3));

  Dataset t("Table1", file, text::Regional::czech());
  t.open();
  ASSERT_EQ(t.recordCount(), 3);
  t.first();
  EXPECT_EQ(t.field(0).asString(), "P\xF8\xEDli\x9A \x9Elu\x9D" "o") << "cut to 12 bytes";
  EXPECT_DOUBLE_EQ(t.field(1).asFloat(), -1234.57);
  EXPECT_EQ(t.field(1).asString(), "-1234,57");
  EXPECT_EQ(t.field(1).asInteger(), -1235);
  EXPECT_DOUBLE_EQ(t.field(2).asFloat(), 3.1416);
  EXPECT_EQ(t.field(3).asDate(), (text::Date{2004, 9, 12}));
  EXPECT_EQ(t.field(3).asString(), "12.9.2004");
  EXPECT_EQ(std::get<bool>(t.field(4).value()), true);
  EXPECT_EQ(t.field(5).asInteger(), 99999);
  t.next();
  for (int i = 0; i < t.fieldCount(); ++i) {
    EXPECT_TRUE(t.field(i).isNull()) << i;
    EXPECT_TRUE(ledger::isNull(t.field(i).value())) << i;
    EXPECT_EQ(t.field(i).asString(), "") << i;
    EXPECT_EQ(t.field(i).asFloat(), 0.0) << i;
    EXPECT_EQ(t.field(i).asInteger(), 0) << i;
  }
  EXPECT_EQ(t.field(3).asDate(), text::Date{});
  t.next();
  EXPECT_EQ(t.field(0).asString(), "  lead") << "leading blanks are part of a text";
  EXPECT_EQ(t.field(3).asDate(), (text::Date{2026, 1, 1}));
  EXPECT_EQ(std::get<bool>(t.field(4).value()), false);
  EXPECT_EQ(t.field(5).asString(), "0");
  t.next();
  EXPECT_TRUE(t.eof());
}

TEST(RoundTrip, ValuesAColumnCannotTakeAreRefusedAndChangeNothing) {
  TempDir dir;
  const fs::path file = dir / "all.dbf";
  ledger::createTable(file, kEveryType);
  Dataset t("Table1", file, text::Regional::czech());
  t.open();
  t.append();
  t.field(1).setValue(12.5);
  t.field(3).setValue(text::Date{2020, 2, 2});
  t.field(4).setValue(true);
  struct Case {
    int column;
    Value value;
    const char* name;
  } cases[] = {
      {1, Value{1e9}, "AMOUNT"},                     // 1000000000.00 needs 13 places
      {1, Value{std::string("abc")}, "AMOUNT"},
      {1, Value{std::string("")}, "AMOUNT"},         // a variant's empty text is no number
      {1, Value{std::string("1.5")}, "AMOUNT"},      // the Czech separator is the comma
      {1, Value{text::Date{2020, 1, 1}}, "AMOUNT"},
      {1, Value{std::nan("")}, "AMOUNT"},
      {3, Value{std::string("31.2.2020")}, "WHEN"},
      {3, Value{std::string("")}, "WHEN"},
      {3, Value{1.0}, "WHEN"},
      {3, Value{text::Date{2020, 13, 1}}, "WHEN"},
      {4, Value{std::string("maybe")}, "PAID"},
      {4, Value{text::Date{2020, 1, 1}}, "PAID"},
  };
  for (const Case& c : cases) {
    try {
      t.field(c.column).setValue(c.value);
      ADD_FAILURE() << "no error for column " << c.column << " value index " << c.value.index();
    } catch (const mincar::Error& e) {
      EXPECT_EQ(std::string(e.what()), std::string("Invalid value for field '") + c.name + "'");
    }
  }
  for (const char* text : {"abc", "1.5", "12,5,1"}) {
    EXPECT_THROW(t.field(1).setAsString(text), mincar::Error) << text;
  }
  EXPECT_DOUBLE_EQ(t.field(1).asFloat(), 12.5);
  EXPECT_EQ(t.field(3).asDate(), (text::Date{2020, 2, 2}));
  EXPECT_TRUE(std::get<bool>(t.field(4).value()));

  // An empty text typed into a number or date column empties it.
  t.field(1).setAsString("");
  t.field(3).setAsString("   ");
  EXPECT_TRUE(t.field(1).isNull());
  EXPECT_TRUE(t.field(3).isNull());
  t.field(1).setAsString(" 7,25 ");
  EXPECT_DOUBLE_EQ(t.field(1).asFloat(), 7.25);
  t.field(0).setValue(2.5);
  EXPECT_EQ(t.field(0).asString(), "2,5") << "a number into a text column as its general text";
  t.field(0).assign(t.field(3));
  EXPECT_TRUE(t.field(0).isNull()) << "an empty value copies as empty";
}

TEST(RoundTrip, WritingInBrowseStateIsRefused) {
  TempDir dir;
  const fs::path file = dir / "all.dbf";
  ledger::createTable(file, kEveryType);
  Dataset t("Table1", file, text::Regional::czech());
  EXPECT_THROW(
      {
        try {
          t.field(0);
        } catch (const mincar::Error& e) {
          EXPECT_EQ(std::string(e.what()), "Table1: Field index 0 out of range");
          throw;
        }
      },
      mincar::Error);
  t.open();
  try {
    t.field(0).setValue(std::string("x"));
    FAIL() << "no error";
  } catch (const mincar::Error& e) {
    EXPECT_EQ(std::string(e.what()), "Table1: Dataset not in edit or insert mode");
  }
  t.close();
  try {
    t.field(0).setValue(std::string("x"));
    FAIL() << "no error";
  } catch (const mincar::Error& e) {
    EXPECT_EQ(std::string(e.what()), "Table1: Cannot perform this operation on a closed dataset");
  }
}

// --- files that other tools wrote ---------------------------------------------

TEST(ForeignFile, ReadsWhateverWidthsDecimalsAndPaddingItDeclares) {
  TempDir dir;
  const fs::path file = dir / "foreign.dbf";
  // An 11-character name without NUL, text longer than 255 (high byte of the
  // length in the decimals byte), GDAL's wide reals, a padded header.
  const std::vector<Column> columns = {
      {"LONGNAME_11", 'C', 44, 1}, {"AMOUNT", 'N', 24, 15}, {"SMALL", 'F', 3, 1},
      {"WHEN", 'D', 8, 0},         {"OK", 'L', 1, 0},
  };
  auto record = [](const std::string& text, const std::string& amount, const std::string& small,
                   const std::string& when, char ok) {
    std::string r = " " + text + spaces(300 - static_cast<int>(text.size()));
    r += spaces(24 - static_cast<int>(amount.size())) + amount;
    r += small + when + ok;
    return r;
  };
  writeFile(file, foreignTable(columns,
                               {record("first", "350.500000000000000", "1.5", "20040912", 'Y'),
                                record("", "************************", "***", "00000000", '?'),
                                record(std::string(300, 'x'), "12,5", "1.5", "        ", 'n')},
                               263));
  Dataset t("Table1", file, text::Regional::czech());
  t.open();
  ASSERT_EQ(t.fieldCount(), 5);
  EXPECT_EQ(t.field(0).name(), "LONGNAME_11");
  EXPECT_EQ(t.field(0).length(), 300);
  EXPECT_EQ(t.field(0).decimals(), 0);
  EXPECT_EQ(t.field(1).length(), 24);
  EXPECT_EQ(t.field(1).decimals(), 15);
  EXPECT_EQ(t.field(2).type(), FieldType::Float);
  EXPECT_EQ(t.recordCount(), 3);

  t.first();
  EXPECT_EQ(t.field(0).asString(), "first");
  EXPECT_DOUBLE_EQ(t.field(1).asFloat(), 350.5);
  EXPECT_EQ(t.field(1).asString(), "350,5");
  EXPECT_DOUBLE_EQ(t.field(2).asFloat(), 1.5);
  EXPECT_EQ(t.field(3).asString(), "12.9.2004");
  EXPECT_EQ(t.field(4).asString(), "True");
  t.next();
  for (int i = 0; i < 5; ++i) EXPECT_TRUE(t.field(i).isNull()) << i;
  t.next();
  EXPECT_EQ(t.field(0).asString(), std::string(300, 'x'));
  EXPECT_TRUE(t.field(1).isNull()) << "'12,5' is no number in a dBASE file";
  EXPECT_FALSE(std::get<bool>(t.field(4).value()));

  // Changing one field of that row leaves the unreadable number's bytes alone.
  t.edit();
  t.field(4).setValue(true);
  t.post();
  t.append();
  t.field(0).setValue(std::string("added"));
  t.field(1).setValue(0.125);
  t.post();
  t.close();

  const std::string bytes = readFile(file);
  const std::size_t data = 32 + 5 * 32 + 1 + 263;
  const std::size_t recordLength = 1 + 300 + 24 + 3 + 8 + 1;
  ASSERT_EQ(bytes.size(), data + 4 * recordLength + 1);
  const std::string third = bytes.substr(data + 2 * recordLength, recordLength);
  EXPECT_EQ(third.substr(301, 24), spaces(20) + "12,5");
  EXPECT_EQ(third.back(), 'T');
  const std::string fourth = bytes.substr(data + 3 * recordLength, recordLength);
  EXPECT_EQ(fourth.substr(301, 24), "       0.125000000000000");
  EXPECT_EQ(bytes.substr(4, 4), le32(4));
  EXPECT_EQ(bytes.substr(29, 1), "\x57") << "the language driver of a foreign file stays";
  EXPECT_EQ(bytes.substr(1, 3), dateBytes(text::Date::today())) << "last update is today";
}

TEST(ForeignFile, DeletedRowsAreSkippedAndAFileWithoutEndMarkGrowsCorrectly) {
  TempDir dir;
  const fs::path file = dir / "marks.dbf";
  writeFile(file, foreignTable({{"ID", 'N', 3, 0}}, {"   1", "*  2", "   3", "*  4"}, 0, false));
  Dataset t("Table1", file, text::Regional::czech());
  t.open();
  EXPECT_EQ(t.recordCount(), 2);
  std::vector<std::int64_t> seen;
  for (t.first(); !t.eof(); t.next()) seen.push_back(t.field(0).asInteger());
  EXPECT_EQ(seen, (std::vector<std::int64_t>{1, 3}));
  t.append();
  t.field(0).setValue(5.0);
  t.post();
  t.close();
  const std::string bytes = readFile(file);
  EXPECT_EQ(bytes.substr(bytes.size() - 9), "*  4   5\x1A");
}

// --- a failing disk -------------------------------------------------------------

// A real file with faults on purpose: the chosen write moves only `shortBy`
// fewer bytes, and the write after it fails with `error`.
class FaultyFile : public ledger::File {
 public:
  struct Plan {
    int failingWrite = -1;  // 0-based count of pwrite calls; -1 = none
    long long writesBytes = 0;  // the failing call writes this many bytes first (a short write)
    int error = ENOSPC;
    bool failReads = false;
  };
  FaultyFile(std::unique_ptr<ledger::File> real, Plan plan) : real_(std::move(real)), plan_(plan) {}

  ledger::IoResult pread(void* buffer, std::size_t count, long long offset) override {
    if (plan_.failReads) return {0, EIO};
    return real_->pread(buffer, count, offset);
  }
  ledger::IoResult pwrite(const void* data, std::size_t count, long long offset) override {
    const int call = writes_++;
    if (call == plan_.failingWrite && plan_.writesBytes > 0) {
      // The short part; the engine's retry of the rest is the next call.
      plan_.failingWrite = writes_;
      const std::size_t part = std::min<std::size_t>(count, static_cast<std::size_t>(plan_.writesBytes));
      plan_.writesBytes = 0;
      return real_->pwrite(data, part, offset);
    }
    if (call == plan_.failingWrite) return {0, plan_.error};
    return real_->pwrite(data, count, offset);
  }
  ledger::IoResult size() override { return real_->size(); }
  int truncate(long long length) override { return real_->truncate(length); }
  int sync() override { return real_->sync(); }
  int lock(long long offset, long long length, ledger::LockMode mode) override {
    return real_->lock(offset, length, mode);
  }

 private:
  std::unique_ptr<ledger::File> real_;
  Plan plan_;
  int writes_ = 0;
};

std::unique_ptr<ledger::File> faulty(const fs::path& file, FaultyFile::Plan plan) {
  int error = 0;
  auto real = ledger::openPosixFile(file, error);
  EXPECT_TRUE(real) << error;
  return std::make_unique<FaultyFile>(std::move(real), plan);
}

std::string journalRecord(int id) {
  std::string r(284, ' ');
  std::string number = std::to_string(id);
  r.replace(11 - number.size(), number.size(), number);
  return r;
}

TEST(FailingDisk, AFailedAppendLeavesTheCountAndTheFileAsTheyWere) {
  struct Case {
    const char* what;
    FaultyFile::Plan plan;
    const char* reason;
  } cases[] = {
      {"disk full at once", {0, 0, ENOSPC}, "No space left on device"},
      {"short write, then disk full", {0, 100, ENOSPC}, "No space left on device"},
      {"I/O error", {0, 0, EIO}, "Input/output error"},
      {"record written, count fails", {1, 0, EIO}, "Input/output error"},
  };
  for (const Case& c : cases) {
    TempDir dir;
    const fs::path file = dir / "peden.dbf";
    ledger::createTable(file, kJournal);
    {
      ledger::Table table(file, ledger::TableAccess::Shared);
      table.appendRecord(journalRecord(1));
    }
    const std::string before = readFile(file);
    {
      ledger::Table table(file, ledger::TableAccess::Shared, faulty(file, c.plan));
      try {
        table.appendRecord(journalRecord(2));
        ADD_FAILURE() << c.what << ": no error";
      } catch (const mincar::Error& e) {
        EXPECT_EQ(std::string(e.what()), "Cannot write to " + file.string() + ": " + c.reason) << c.what;
      }
      EXPECT_EQ(table.recordCount(), 1) << c.what;
    }
    EXPECT_EQ(readFile(file), before) << c.what;
    // The table still works, and nothing needs repairing.
    ledger::Table table(file, ledger::TableAccess::Shared);
    EXPECT_EQ(table.takeRepairNotice(), "") << c.what;
    EXPECT_EQ(table.appendRecord(journalRecord(3)), 1) << c.what;
  }
}

TEST(FailingDisk, APostThatCannotWriteKeepsTheRowPending) {
  TempDir dir;
  const fs::path file = dir / "peden.dbf";
  ledger::createTable(file, kJournal);
  Dataset t("Table1", file, text::Regional::czech());
  FaultyFile::Plan plan{0, 0, ENOSPC};
  ledger::DatasetTestAccess::setFileOpener(t, [&](const fs::path& p) { return faulty(p, plan); });
  t.open();
  t.append();
  t.field(0).setValue(1.0);
  try {
    t.post();
    FAIL() << "no error";
  } catch (const mincar::Error& e) {
    EXPECT_EQ(std::string(e.what()), "Cannot write to " + file.string() + ": No space left on device");
  }
  EXPECT_EQ(t.state(), DatasetState::Insert);
  EXPECT_EQ(t.field(0).asInteger(), 1) << "the typed values are still there";
  EXPECT_EQ(t.recordCount(), 0);
  t.post();  // the disk has room again
  EXPECT_EQ(t.state(), DatasetState::Browse);
  EXPECT_EQ(t.recordCount(), 1);

  // An edit whose write fails stays in edit state with its lock.
  t.close();
  plan = {0, 0, EIO};
  t.open();
  t.edit();
  t.field(0).setValue(2.0);
  EXPECT_THROW(t.post(), mincar::Error);
  EXPECT_EQ(t.state(), DatasetState::Edit);
  t.cancel();
  EXPECT_EQ(t.field(0).asInteger(), 1);
}

TEST(FailingDisk, AReadErrorNamesTheFile) {
  TempDir dir;
  const fs::path file = dir / "peden.dbf";
  ledger::createTable(file, kJournal);
  FaultyFile::Plan plan;
  plan.failReads = true;
  try {
    ledger::Table table(file, ledger::TableAccess::Shared, faulty(file, plan));
    FAIL() << "no error";
  } catch (const mincar::Error& e) {
    EXPECT_EQ(std::string(e.what()), "Cannot read " + file.string() + ": Input/output error");
  }
}

}  // namespace

namespace {

// A table larger than a read window (8 MiB mapped, 64 KiB read), written
// as bytes: ID N(10,0) = record number + 1, TEXT C(20) = "r" + that number.
fs::path largeTable(const TempDir& dir, int rows) {
  const fs::path file = dir / "large.dbf";
  ledger::createTable(file, {{"ID", FieldType::Numeric, 10, 0}, {"TEXT", FieldType::Character, 20, 0}});
  std::string bytes = readFile(file);
  bytes.pop_back();
  bytes.replace(4, 4, le32(static_cast<std::uint32_t>(rows)));
  bytes.reserve(bytes.size() + static_cast<std::size_t>(rows) * 31 + 1);
  for (int i = 1; i <= rows; ++i) {
    std::string r(31, ' ');
    const std::string n = std::to_string(i);
    r.replace(11 - n.size(), n.size(), n);
    r.replace(11, n.size() + 1, "r" + n);
    bytes += r;
  }
  bytes += '\x1A';
  writeFile(file, bytes);
  return file;
}

void walkAcrossWindows(Dataset& t, int rows) {
  t.open();
  std::int64_t expected = 1;
  for (t.first(); !t.eof(); t.next()) {
    if (t.field(0).asInteger() != expected) {
      ADD_FAILURE() << "forward walk: row " << expected << " reads " << t.field(0).asInteger();
      return;
    }
    ++expected;
  }
  EXPECT_EQ(expected, rows + 1);
  for (t.last(); !t.bof(); t.prior()) {
    --expected;
    if (t.field(0).asInteger() != expected) {
      ADD_FAILURE() << "backward walk: row " << expected << " reads " << t.field(0).asInteger();
      return;
    }
  }
  EXPECT_EQ(expected, 1);
  // Jumps far and back, and an edit in a window other than the cursor's.
  std::mt19937 random(11);
  for (int i = 0; i < 200; ++i) {
    const std::int64_t row = static_cast<std::int64_t>(random() % static_cast<unsigned>(rows));
    ASSERT_EQ(t.valueAt(row, 0), Value{static_cast<double>(row + 1)});
    ASSERT_EQ(t.textAt(row, 1), "r" + std::to_string(row + 1));
  }
  t.moveTo(rows - 2);
  t.edit();
  t.field(1).setValue(std::string("changed"));
  t.post();
  EXPECT_EQ(t.textAt(1, 1), "r2");
  EXPECT_EQ(t.textAt(rows - 2, 1), "changed");
  t.moveTo(3);
  EXPECT_EQ(t.textAt(rows - 2, 1), "changed");
  EXPECT_EQ(t.recordCount(), rows);
}

using testing_support::UnmappedFile;

TEST(Windows, WalksAndJumpsReadTheRightRowsAcrossMappedWindows) {
  TempDir dir;
  const int rows = 300'000;  // 9.3 MB
  Dataset t("Table1", largeTable(dir, rows), text::Regional::czech());
  walkAcrossWindows(t, rows);
}

TEST(Windows, WalksAndJumpsReadTheRightRowsAcrossReadWindows) {
  TempDir dir;
  const int rows = 20'000;  // 620 KB, ten times a read window
  Dataset t("Table1", largeTable(dir, rows), text::Regional::czech());
  ledger::DatasetTestAccess::setFileOpener(t, [](const fs::path& p) { return std::make_unique<UnmappedFile>(p); });
  walkAcrossWindows(t, rows);
}

}  // namespace

namespace {

// The engine's check after taking the open lock: a restore that renamed a
// new file over the table leaves an opener holding the old, unlinked one.
TEST(TableFile, KnowsWhenANewFileWasRenamedOverItsName) {
  testing_support::TempDir dir;
  const fs::path table = dir / "peden.dbf";
  testing_support::writeFile(table, "old");
  int error = 0;
  auto opened = ledger::openPosixFile(table, error);
  ASSERT_TRUE(opened) << error;
  EXPECT_TRUE(opened->isNamedBy(table));
  testing_support::writeFile(dir / "peden.new", "new");
  fs::rename(dir / "peden.new", table);
  EXPECT_FALSE(opened->isNamedBy(table));
  fs::remove(table);
  EXPECT_FALSE(opened->isNamedBy(table));
}

}  // namespace
