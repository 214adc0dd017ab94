// The GPC reader on statements written from the format's layout.
#include "import/gpc_reader.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "statement_files.h"
#include "test_support.h"
#include "text/cp1250.h"
#include "text/error.h"

namespace {

using testing_support::errorOf;
using testing_support::gpcHeader;
using testing_support::gpcItem;
using testing_support::gpcMessage;

std::string lines(const std::vector<std::string>& records, const char* end = "\r\n") {
  std::string out;
  for (const std::string& r : records) out += r + end;
  return out;
}

TEST(GpcReader, ReadsTheHeadersBalancesAndEachPostingCode) {
  struct Case {
    char code;
    bool income;
  };
  // Debit, credit, debit reversal, credit reversal.
  const Case cases[] = {{'1', false}, {'2', true}, {'4', true}, {'5', false}};
  for (const Case& c : cases) {
    const std::string file =
        lines({gpcHeader(100000, -2550, 102550, 0), gpcItem(102550, c.code, "051226", "ELEKTRO")});
    const bank::Statement s = bank::parseGpc(file, "v.gpc");
    ASSERT_EQ(s.lines.size(), 1u) << c.code;
    EXPECT_EQ(s.lines[0].income, c.income) << c.code;
    EXPECT_EQ(s.lines[0].amount, 102550);
    EXPECT_EQ(s.lines[0].date, (text::Date{2026, 12, 5}));
    EXPECT_EQ(s.lines[0].counterparty, "ELEKTRO");
    EXPECT_EQ(s.lines[0].lineNumber, 2);
    EXPECT_EQ(s.opening, 100000);
    EXPECT_EQ(s.closing, -2550);
  }
}

TEST(GpcReader, KeepsCzechLettersAndAttachesTheMessageRecordsToTheirItem) {
  const std::string name = text::toCp1250("Žluťoučký kůň");
  const std::string file = lines(
      {gpcHeader(0, 0, 0, 0), gpcItem(50000, '2', "011226", name, "0000000123"),
       gpcMessage("078", text::toCp1250("Nájem prosinec"), "byt 3"), gpcMessage("079", "", "konec"),
       gpcItem(100, '1', "021226", "BANKA")},
      "\n");
  const bank::Statement s = bank::parseGpc(file, "v.gpc");
  ASSERT_EQ(s.lines.size(), 2u);
  EXPECT_EQ(s.lines[0].counterparty, name);
  EXPECT_EQ(s.lines[0].message, text::toCp1250("Nájem prosinec byt 3 konec"));
  EXPECT_EQ(s.lines[0].vs, "123");
  EXPECT_EQ(s.lines[1].message, "");
  EXPECT_EQ(s.lines[1].vs, "");
  EXPECT_EQ(s.lines[1].lineNumber, 5);
}

TEST(GpcReader, RefusesTheWholeFileAtTheFirstFieldItCannotRead) {
  const std::string header = gpcHeader(0, 0, 0, 0);
  const std::string good = gpcItem(100, '1', "011226", "A");
  auto with = [](std::string record, size_t column, const std::string& bytes) {
    return record.replace(column - 1, bytes.size(), bytes);
  };
  struct Case {
    std::string file;
    std::string message;
  };
  const Case cases[] = {
      {lines({header, good, good.substr(0, 55)}),
       "File v.gpc, line 3, amount: the line ends before the field does"},
      {lines({header, good, with(good, 49, "0000000012a4")}),
       "File v.gpc, line 3, amount: '0000000012a4' is no number"},
      {lines({header, with(good, 61, "3")}), "File v.gpc, line 2, posting code: '3' is no posting code (1, 2, 4 or 5)"},
      {lines({header, with(good, 92, "320226")}), "File v.gpc, line 2, value date: '320226' is no date (DDMMYY)"},
      {lines({with(header, 60, "*"), good}), "File v.gpc, line 1, old balance sign: '*' is no sign (+ or -)"},
      {lines({header, gpcMessage("078", "x"), good}), "File v.gpc, line 2, record type: '078' follows no item"},
      {lines({header, good, "999 what"}), "File v.gpc, line 3, record type: '999' is no GPC record"},
      {lines({good}), "File v.gpc is no GPC statement"},
      {"", "File v.gpc is no GPC statement"},
      {"Datum;Objem\n", "File v.gpc is no GPC statement"},
  };
  for (const Case& c : cases) {
    EXPECT_EQ(errorOf([&] { bank::parseGpc(c.file, "v.gpc"); }), c.message);
  }
}

TEST(GpcReader, TakesLinesEndingInLfOrCrLfAndBlankLinesAtTheEnd) {
  for (const char* end : {"\n", "\r\n"}) {
    const std::string file =
        lines({gpcHeader(0, 0, 0, 0), gpcItem(1, '2', "011226", "A")}, end) + end + "\x1a";
    EXPECT_EQ(bank::parseGpc(file, "v.gpc").lines.size(), 1u);
  }
}

}  // namespace
