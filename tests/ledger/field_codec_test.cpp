// The codec's short ways of storing a text or a number must store exactly
// what its general way stores for the same value, and refuse exactly what it
// refuses, with its message: held against the general way for every kind of
// piece, column and regional setting.
#include "ledger/field_codec.h"

#include <gtest/gtest.h>

#include <random>
#include <string>
#include <vector>

#include "ledger/field_codec_testing.h"
#include "text/error.h"

namespace {

using ledger::FieldDef;
using ledger::FieldType;

// The field's bytes after the assignment, or the refusal's message.
std::string generalWay(const FieldDef& def, const ledger::Value& value, const text::Regional& regional) {
  std::string bytes(static_cast<std::size_t>(def.length), '#');
  try {
    ledger::codec::testing::encodeGenerally(def, value, regional, ledger::codec::EmptyText::Refused, bytes.data());
  } catch (const mincar::Error& e) {
    return std::string("refused: ") + e.what() + " / " + bytes;
  }
  return bytes;
}

std::string shortWay(const FieldDef& def, std::string_view text, const text::Regional& regional) {
  std::string bytes(static_cast<std::size_t>(def.length), '#');
  try {
    ledger::codec::encodeText(def, text, regional, ledger::codec::EmptyText::Refused, bytes.data());
  } catch (const mincar::Error& e) {
    return std::string("refused: ") + e.what() + " / " + bytes;
  }
  return bytes;
}

std::string shortWay(const FieldDef& def, double value, const text::Regional& regional) {
  std::string bytes(static_cast<std::size_t>(def.length), '#');
  try {
    ledger::codec::encode(def, ledger::Value{value}, regional, ledger::codec::EmptyText::Refused, bytes.data());
  } catch (const mincar::Error& e) {
    return std::string("refused: ") + e.what() + " / " + bytes;
  }
  return bytes;
}

const std::vector<FieldDef> kFields = {
    {"ID", FieldType::Numeric, 10, 0},    {"PLUS", FieldType::Numeric, 15, 2}, {"FINE", FieldType::Numeric, 20, 8},
    {"TINY", FieldType::Numeric, 3, 1},   {"F", FieldType::Float, 20, 4},      {"WIDE", FieldType::Numeric, 30, 18},
    {"DATUM", FieldType::Date, 8, 0},     {"DAY10", FieldType::Date, 10, 0},  {"TEXT", FieldType::Character, 12, 0},
    {"FLAG", FieldType::Logical, 1, 0},
};

TEST(FieldText, ChosenPiecesAreStoredAndRefusedAsTheEngineDoes) {
  const char* pieces[] = {"12", "-12", "+12", "0", "-0", "-0,00", "007", " 7 ", "1,5", ",5", "5,", "1,25", "1,255",
                          "-0,004", "1E5", "1e-3", "12,3,4", "1.5", "", " ", "  ", "abc", "99999999999",
                          "999999999999,99", "-99999999999,99", "123456789012345", "1234567890123456", "0,1",
                          "12.9.2004", "31.2.2020", "1.1.26", "12.9", "12.9.2004 10:30", "Nákup; x", "\xFF",
                          "T", "n", "-", "+", ",", "--1", "1-", "0000000000001", "12,9.2004"};
  for (const text::Regional& regional : {text::Regional::czech(), text::Regional{"MM/dd/yyyy", '.'}}) {
    for (const FieldDef& def : kFields) {
      for (const char* piece : pieces) {
        EXPECT_EQ(shortWay(def, piece, regional), generalWay(def, ledger::Value{std::string(piece)}, regional))
            << def.name << " '" << piece << "' " << regional.shortDateFormat;
      }
    }
  }
}

// Found by the backup reader's fuzzer: an empty piece that is an empty view
// with no pointer behind it (UBSan flagged the copy from it).
TEST(FieldText, AnEmptyViewWithoutAPointerStoresABlankColumn) {
  const FieldDef text{"TEXT", FieldType::Character, 12, 0};
  EXPECT_EQ(shortWay(text, std::string_view(), text::Regional::czech()), std::string(12, ' '));
}

TEST(FieldText, RandomPiecesAreStoredAndRefusedAsTheEngineDoes) {
  std::mt19937_64 random(99);
  const char alphabet[] = "0123456789,.-+ eE";
  int plain = 0;
  for (int round = 0; round < 60000; ++round) {
    const FieldDef& def = kFields[random() % kFields.size()];
    std::string piece;
    if (random() % 2) {
      // Mostly numbers as a backup holds them.
      if (random() % 4 == 0) piece += '-';
      piece += std::to_string(random() % 1000000000000000ULL >> (random() % 50));
      if (random() % 2) piece += "," + std::to_string(random() % 100000 >> (random() % 17));
    } else {
      const int length = static_cast<int>(random() % 12);
      for (int i = 0; i < length; ++i) piece += alphabet[random() % (sizeof alphabet - 1)];
    }
    const text::Regional regional = random() % 3 ? text::Regional::czech() : text::Regional{"d.M.yyyy", '.'};
    const std::string expected = generalWay(def, ledger::Value{piece}, regional);
    ASSERT_EQ(shortWay(def, piece, regional), expected) << def.name << " '" << piece << "'";
    plain += expected.rfind("refused", 0) != 0;
  }
  EXPECT_GT(plain, 15000);
}

TEST(FieldText, NumbersAreStoredAsTheEngineStoresANumber) {
  std::mt19937_64 random(7);
  std::vector<double> values = {0.0, -0.0, 1.0, -1.0, 16777216.0, 16777217.0, 9999999999.0, 1e10, 1e15, -1e15,
                                999999999999999.0, 0.5, 1e300, -3.0};
  for (int i = 0; i < 3000; ++i) {
    values.push_back(std::ldexp(static_cast<double>(random() >> 11), static_cast<int>(random() % 40) - 20));
    values.push_back(-static_cast<double>(random() % 100000000000ULL));
  }
  for (const FieldDef& def : kFields) {
    for (double v : values) {
      ASSERT_EQ(shortWay(def, v, text::Regional::czech()), generalWay(def, ledger::Value{v}, text::Regional::czech()))
          << def.name << " " << v;
    }
  }
}

}  // namespace
