// The CSV reader: separators, encodings, decimal marks, quoted fields and
// the columns by header name or by --columns.
#include "import/csv_reader.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "test_support.h"
#include "text/cp1250.h"
#include "text/error.h"

namespace {

using testing_support::errorOf;

const text::Regional kCzech = text::Regional::czech();

std::string cz(const char* utf8) { return text::toCp1250(utf8); }

TEST(CsvReader, ReadsAUtf8ExportWithBomSemicolonsAndQuotedFields) {
  const std::string file =
      "\xEF\xBB\xBF"
      "Datum;Objem;Měna;Protiúčet;Název protiúčtu;VS;Zpráva pro příjemce;Poznámka\r\n"
      "05.12.2026;-1 250,50;CZK;123/0800;Elektrárna Žďár;42;\"Záloha; prosinec\";\r\n"
      "06.12.2026;3000;CZK;;\"Jan \"\"Honza\"\" Novák\";;\"řádek 1\nřádek 2\";dárek\r\n";
  const bank::Statement s = bank::parseCsv(file, "v.csv", std::nullopt, kCzech);
  ASSERT_EQ(s.lines.size(), 2u);
  EXPECT_EQ(s.lines[0].date, (text::Date{2026, 12, 5}));
  EXPECT_EQ(s.lines[0].amount, 125050);
  EXPECT_FALSE(s.lines[0].income);
  EXPECT_EQ(s.lines[0].counterparty, cz("Elektrárna Žďár"));
  EXPECT_EQ(s.lines[0].message, cz("Záloha; prosinec"));
  EXPECT_EQ(s.lines[0].vs, "42");
  EXPECT_EQ(s.lines[0].lineNumber, 2);
  EXPECT_TRUE(s.lines[1].income);
  EXPECT_EQ(s.lines[1].amount, 300000);
  EXPECT_EQ(s.lines[1].counterparty, cz("Jan \"Honza\" Novák"));
  // A line break inside a field becomes a blank: a row holds one line.
  EXPECT_EQ(s.lines[1].message, cz("řádek 1 řádek 2, dárek"));
  EXPECT_FALSE(s.opening.has_value());
}

TEST(CsvReader, ReadsAWindows1250ExportWithCommasAndDecimalPoints) {
  const std::string file = cz("Datum,Částka,Název protiúčtu\n") + "2026-12-01,-12.5," +
                           cz("Potraviny Šťastná\n") + "2026-12-02,7," + cz("Vrácení\n");
  const bank::Statement s = bank::parseCsv(file, "v.csv", std::nullopt, kCzech);
  ASSERT_EQ(s.lines.size(), 2u);
  EXPECT_EQ(s.lines[0].amount, 1250);
  EXPECT_FALSE(s.lines[0].income);
  EXPECT_EQ(s.lines[0].counterparty, cz("Potraviny Šťastná"));
  EXPECT_EQ(s.lines[1].amount, 700);
  EXPECT_TRUE(s.lines[1].income);
}

TEST(CsvReader, TakesTheColumnsFromTheSpecAndSkipsAHeaderThatIsNoData) {
  const bank::CsvColumns columns = bank::parseCsvColumns("date=2,amount=1,name=3");
  for (const std::string head : {"", "When;How much;Who\n"}) {
    const std::string file = head + "100,00;1.12.2026;A\n-5;2.12.2026;B\n";
    const bank::Statement s = bank::parseCsv(file, "v.csv", columns, kCzech);
    ASSERT_EQ(s.lines.size(), 2u) << head;
    EXPECT_EQ(s.lines[1].amount, 500);
    EXPECT_EQ(s.lines[1].counterparty, "B");
  }
}

TEST(CsvReader, RefusesTheWholeFileNamingLineAndField) {
  struct Case {
    std::string file;
    std::string message;
  };
  const Case cases[] = {
      {"Datum;Objem\n1.12.2026;10\n2.12.2026;12a4\n", "File v.csv, line 3, amount: '12a4' is no number"},
      {"Datum;Objem\n1.12.2026;\"a\nb\";x\n31.2.2026;1\n", "File v.csv, line 2, amount: 'a\nb' is no number"},
      {"Datum;Objem\n1.12.2026;1\n31.2.2026;1\n", "File v.csv, line 3, date: '31.2.2026' is no date"},
      {"Datum;Objem\n1.12.2026\n", "File v.csv, line 2, amount: the line has no column 2"},
      {"Kdy;Kolik\n1.12.2026;1\n",
       "File v.csv, line 1: no columns 'Datum' and 'Objem' (or '" + cz("Částka") + "'); name them with --columns"},
      {"", "File v.csv holds no statement lines"},
      {"Datum;Objem;VS\n1.12.2026;1;\n2.12.2026;2;k\xE2\x82\xAC\xF0\x9F\x98\x80\n",
       "File v.csv, line 3: Character U+1F600 cannot be stored in Windows-1250"},
      // A table or a PDF chosen by mistake is not read as text.
      {std::string("\x03\x7E\x0C\x08\x01\x00\x00\x00", 8) + "Datum;Objem\n", "File v.csv is no text file, so no statement"},
      {"%PDF-1.4\n%\xE2\xE3\xCF\xD3\n1 0 obj\n<<\x02>>\n", "File v.csv is no text file, so no statement"},
  };
  for (const Case& c : cases) {
    EXPECT_EQ(errorOf([&] { bank::parseCsv(c.file, "v.csv", std::nullopt, kCzech); }), c.message);
  }
}

TEST(CsvReader, AHeaderThatNamesNothingCanBeAnsweredByColumns) {
  const std::string file = "\xEF\xBB\xBFKdy;\"Komu; kde\";Kolik\n1.12.2026;\"Žďár\";-1,50\n";
  EXPECT_THROW(bank::parseCsv(file, "v.csv", std::nullopt, kCzech), bank::UnnamedColumns);
  EXPECT_EQ(bank::csvHeader(file, "v.csv"), (std::vector<std::string>{"Kdy", "Komu; kde", "Kolik"}));
  const bank::Statement s = bank::parseCsv(file, "v.csv", bank::parseCsvColumns("date=1,name=2,amount=3"), kCzech);
  ASSERT_EQ(s.lines.size(), 1u);
  EXPECT_EQ(s.lines[0].counterparty, cz("Žďár"));
  EXPECT_EQ(s.lines[0].amount, 150);
  EXPECT_FALSE(s.lines[0].income);
}

TEST(CsvReader, RefusesAColumnsSpecItCannotRead) {
  EXPECT_EQ(errorOf([] { bank::parseCsvColumns("date=1,amount=x"); }),
            "--columns: 'amount=x' is no column; write e.g. date=1,amount=3,name=4,message=5,vs=6,note=7");
  EXPECT_EQ(errorOf([] { bank::parseCsvColumns("date=1,when=2"); }),
            "--columns: 'when=2' is no column; write e.g. date=1,amount=3,name=4,message=5,vs=6,note=7");
  EXPECT_EQ(errorOf([] { bank::parseCsvColumns("date=1"); }),
            "--columns must name the date and the amount column (date=N,amount=N)");
}

}  // namespace
