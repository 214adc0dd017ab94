#include "print/voucher.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <optional>
#include <random>
#include <string>

#include "app/status_line.h"
#include "ledger/dataset.h"
#include "ledger/ledger_tables.h"
#include "print/czech_html.h"
#include "print/page_footer.h"
#include "print_fixtures.h"
#include "print_test_support.h"
#include "test_support.h"
#include "text/cp1250.h"
#include "text/error.h"

namespace {

namespace fs = std::filesystem;
namespace J = ledger::journal;
using print_testing::RecordingLauncher;
using testing_support::expectGolden;
using testing_support::goldenFile;
using testing_support::readFile;
using testing_support::TempDir;
using text::toCp1250;

std::size_t count(const std::string& text, const std::string& piece) {
  std::size_t n = 0;
  for (std::size_t at = text.find(piece); at != std::string::npos; at = text.find(piece, at + piece.size())) ++n;
  return n;
}

// Line n of a page, counted from 1, without its line feed.
std::string pageLine(const std::string& page, int n) {
  std::size_t start = 0;
  for (int i = 1; i < n; ++i) start = page.find('\n', start) + 1;
  return page.substr(start, page.find('\n', start) - start);
}

struct Row {
  std::optional<double> id;
  std::string date;  // short date text, "" for empty
  std::string text;  // UTF-8
  std::optional<double> plus;
  std::optional<double> minus;
};

// A journal table in dir holding the rows, with the cursor on the last one.
class Journal {
 public:
  Journal(const fs::path& dir, const std::vector<Row>& rows)
      : table_("Table1", (ledger::createMissingTables(dir),
                          ledger::tablePath(dir, ledger::LedgerTable::Journal)),
               text::Regional::czech()) {
    table_.open();
    for (const Row& row : rows) {
      table_.append();
      if (row.id) table_.field(J::ID).setAsFloat(*row.id);
      if (!row.date.empty()) table_.field(J::DATUM).setAsString(row.date);
      table_.field(J::TEXT).setAsString(toCp1250(row.text));
      if (row.plus) table_.field(J::PLUS).setAsFloat(*row.plus);
      if (row.minus) table_.field(J::MINUS).setAsFloat(*row.minus);
      table_.post();
    }
    table_.last();
  }
  ledger::Dataset& table() { return table_; }

 private:
  ledger::Dataset table_;
};

// The voucher of the golden page: Czech letters everywhere, markup in the
// organisation and the issuer's marker inside the purpose, both printed as
// typed.
print::VoucherFields goldenFields(const fs::path& dir) {
  Journal journal(dir, {{15, "7.12.2026", "Nákup: žluťoučký kůň (xxx9) úpěl ďábelské ódy",
                         std::nullopt, 4999.5}});
  print::VoucherFields fields;
  fields.organisation = toCp1250("<b>Domácnost Nováků</b><br>Šťastná 12, Ústí nad Labem");
  fields.issuedBy = toCp1250("Jana Nováková");
  fields.approvedBy = toCp1250("Petr Novák");
  fields.receivedBy = toCp1250("Ľubomír Ďurčo");
  print::FillVoucherFromRow(journal.table(), fields);
  return fields;
}

TEST(VoucherTemplate, IsThePageByteForByte) {
  const std::string& page = print::VoucherTemplate();
  expectGolden("voucher_template.htm", page);
  EXPECT_EQ(page.find('\r'), std::string::npos);
  EXPECT_EQ(page.substr(0, 7), "<html>\n");
  EXPECT_EQ(page.substr(page.size() - 8), "</html>\n");
  EXPECT_EQ(std::count(page.begin(), page.end(), '\n'), 47);
  EXPECT_NE(page.find("charset=en_US\">"), std::string::npos);
  EXPECT_NE(page.find("<big><big><b>xxx1</big><br></big> \xC8\xEDslo: xxx2</b>"), std::string::npos);
  EXPECT_NE(page.find("<big><u><b>xxx6</big></u> K\xE8</b>"), std::string::npos);
  EXPECT_NE(page.find("<small><small><small>xxxC</small></small></td>"), std::string::npos);
}

TEST(PageFooter, LinksTheProductPageAndNeedsNoEncoding) {
  const std::string footer(print::PageFooter);
  const std::string address(print::kProductAddress);
  EXPECT_EQ(footer, toCp1250("Zpracováno systémem ") + "<a href=\"" + address + "\">Mincar " +
                        address + "</a>");
  EXPECT_EQ(print::CzechToHtml(footer), footer);
}

TEST(FillVoucherFromRow, TakesKindNumberDateTextAndAmountFromTheRow) {
  struct Case {
    Row row;
    const char* kind;
    const char* number;
    const char* date;
    const char* amount;
  };
  const Case cases[] = {
      {{1, "1.12.2026", "Výplata", 100, 30}, "Příjmový", "1", "1.12.2026", "70.0"},
      {{15, "7.12.2026", "Nákup", std::nullopt, 1234.56}, "Výdajový", "15", "7.12.2026", "1234.6"},
      {{2, "2.1.2027", "Nic", 0, 0}, "Příjmový", "2", "2.1.2027", "0.0"},
      {{3, "", "", std::nullopt, std::nullopt}, "Příjmový", "3", "", "0.0"},
      {{4, "3.3.2026", "Vratka", 50, 50.04}, "Výdajový", "4", "3.3.2026", "0.0"},
      {{5, "3.3.2026", "Rovnost", 250.25, 0.2}, "Příjmový", "5", "3.3.2026", "250.1"},
      {{std::nullopt, "3.3.2026", "Bez čísla", 1, std::nullopt}, "Příjmový", "", "3.3.2026", "1.0"},
      // The largest amount a column holds, rounded to one decimal.
      {{123456, "31.12.2026", "Velká", 999999999999.99, std::nullopt}, "Příjmový", "123456",
       "31.12.2026", "1000000000000.0"},
  };
  for (const Case& c : cases) {
    TempDir dir;
    Journal journal(dir.path(), {c.row});
    print::VoucherFields fields;
    fields.organisation = "org";
    fields.issuedBy = "a";
    fields.approvedBy = "b";
    fields.receivedBy = "c";
    print::FillVoucherFromRow(journal.table(), fields);
    EXPECT_EQ(text::toUtf8(fields.kind), c.kind) << c.row.text;
    EXPECT_EQ(fields.number, c.number) << c.row.text;
    EXPECT_EQ(fields.date, c.date) << c.row.text;
    EXPECT_EQ(text::toUtf8(fields.purpose), c.row.text);
    EXPECT_EQ(fields.amount, c.amount) << c.row.text;
    EXPECT_EQ(fields.organisation, "org");
    EXPECT_EQ(fields.issuedBy, "a");
    EXPECT_EQ(fields.approvedBy, "b");
    EXPECT_EQ(fields.receivedBy, "c");
  }
}

TEST(FillVoucherFromRow, OnAnEmptyJournalGivesAnIncomeOfNothing) {
  TempDir dir;
  Journal journal(dir.path(), {});
  print::VoucherFields fields;
  fields.number = "old";
  fields.date = "old";
  fields.purpose = "old";
  fields.amount = "old";
  print::FillVoucherFromRow(journal.table(), fields);
  EXPECT_EQ(text::toUtf8(fields.kind), "Příjmový");
  EXPECT_EQ(fields.number, "");
  EXPECT_EQ(fields.date, "");
  EXPECT_EQ(fields.purpose, "");
  EXPECT_EQ(fields.amount, "0.0");
}

TEST(VoucherAmount, PrintsLikeOneDecimalPrintfInTheCLocale) {
  // The tests run under LC_ALL=C, where printf is the reference.
  std::mt19937_64 random(7122026);
  std::uniform_real_distribution<double> amounts(-1e7, 1e7);
  for (int i = 0; i < 20000; ++i) {
    const double plus = i % 3 == 0 ? std::round(amounts(random) * 100) / 100 : amounts(random);
    const double minus = i % 5 == 0 ? 0.0 : amounts(random);
    char expected[64];
    std::snprintf(expected, sizeof expected, "%.1f", std::fabs(plus - minus));
    ASSERT_EQ(print::VoucherAmount(plus, minus), expected) << plus << " " << minus;
  }
  EXPECT_EQ(print::VoucherAmount(0.25, 0), "0.2");
  EXPECT_EQ(print::VoucherAmount(0.35, 0), "0.3");  // 0.35 lies below the tie in binary
  EXPECT_EQ(print::VoucherAmount(0, 0.05), "0.1");
  EXPECT_EQ(print::VoucherAmount(1e20, 0), "100000000000000000000.0");
}

TEST(VoucherPage, MatchesTheGoldenPage) {
  TempDir dir;
  const std::string page = print::VoucherPage(goldenFields(dir.path()), text::Regional::czech());
  expectGolden("voucher_page.htm", page);

  // What the golden file must show, stated on its own.
  EXPECT_NE(page.find("<b>V\xFD" "dajov\xFD</big><br></big> &#268;\xEDslo: 15</b>"),
            std::string::npos);
  // The organisation keeps the line break and bold that its hint offers.
  EXPECT_NE(page.find("Organizace: <b>Dom\xE1" "cnost Nov\xE1k&#367;</b><br>&#352;&#357;astn\xE1 12, "
                      "\xDAst\xED nad Labem<br/></td>"),
            std::string::npos);
  EXPECT_NE(page.find("<big><b> 7.12.2026</big></b>"), std::string::npos);
  EXPECT_NE(page.find("<big><u><b>4999.5</big></u> K&#269;</b>"), std::string::npos);
  // The issuer's marker inside the purpose stays as typed.
  EXPECT_NE(page.find("<b>N\xE1kup: &#382;lu&#357;ou&#269;k\xFD k&#367;&#328; (xxx9) "
                      "\xFAp&#283;l &#271;\xE1" "belsk\xE9 \xF3" "dy</b>"),
            std::string::npos);
  EXPECT_NE(page.find(">&#269;ty&#345;itis\xED" "cedev&#283;tsetdevades\xE1tdev&#283;t</td>"),
            std::string::npos);
  EXPECT_NE(page.find(">Petr Nov\xE1k</td>"), std::string::npos);
  EXPECT_NE(page.find(">&#317;ubom\xEDr &#270;ur&#269;o</td>"), std::string::npos);
  EXPECT_NE(page.find(std::string(print::PageFooter) + "</small></small></td>"), std::string::npos);
  for (const char* marker : {"xxx1", "xxx2", "xxx3", "xxx4", "xxx5", "xxx6", "xxx7", "xxx8",
                             "xxxA", "xxxB", "xxxC"}) {
    EXPECT_EQ(page.find(marker), std::string::npos) << marker;
  }
  EXPECT_EQ(count(page, "xxx9"), 1u);  // the purpose's
  for (char letter : toCp1250("čČďĎěĚĺĹľĽňŇřŘšŠťŤůŮžŽ")) {
    EXPECT_EQ(page.find(letter), std::string::npos) << "raw letter " << int(letter);
  }
}

TEST(VoucherPage, ShowsTheExampleVoucher) {
  print::VoucherFields fields;
  fields.kind = toCp1250("Výdajový");
  fields.number = "15";
  fields.date = "7.12.2026";
  fields.purpose = toCp1250("Nákup");
  fields.amount = "250.0";
  const std::string page = print::VoucherPage(fields, text::Regional::czech());
  EXPECT_NE(page.find("<b>V\xFD" "dajov\xFD</big><br></big> &#268;\xEDslo: 15</b>"),
            std::string::npos);
  EXPECT_NE(page.find("<b>250.0</big></u> K&#269;</b>"), std::string::npos);
  EXPECT_NE(page.find("<td colspan=\"4\" align=\"center\">dv&#283;st&#283;pades\xE1t</td>"),
            std::string::npos);
  EXPECT_NE(page.find("Organizace: <br/></td>"), std::string::npos);
  EXPECT_NE(page.find("<td align=\"center\"></td>\n          <td align=\"center\"></td>\n"
                      "          <td colspan=\"2\" align=\"center\"></td>"),
            std::string::npos);
}

std::string wordsCell(const std::string& page) {
  const std::string open = "<td colspan=\"4\" align=\"center\">";
  const size_t row = page.find("slovy:</td>");
  const size_t start = page.find(open, row) + open.size();
  return text::toUtf8(page.substr(start, page.find("</td>", start) - start));
}

using print_testing::Typed;
const std::vector<Typed> kHostileTexts = print_testing::hostileTexts("xxx9 xxxC xxx1 xxx8 xxx4");

// Every field filled, so that a marker filled from a typed text would show.
print::VoucherFields someVoucher() {
  print::VoucherFields fields;
  fields.kind = toCp1250("Výdajový");
  fields.number = "15";
  fields.date = "7.12.2026";
  fields.organisation = "Org";
  fields.purpose = toCp1250("Nákup");
  fields.amount = "250.0";
  fields.issuedBy = "Jana";
  fields.approvedBy = "Petr";
  fields.receivedBy = "Ivo";
  return fields;
}

TEST(VoucherPage, PrintsEachFieldsTextAsTypedAndNeverAsMarkup) {
  struct Place {
    const char* field;
    std::string print::VoucherFields::*member;
    int line;  // the template line that holds the field's marker
    std::string before;
    std::string after;
  };
  const std::string nameCell = "          <td align=\"center\">";
  const Place places[] = {
      {"kind", &print::VoucherFields::kind, 9,
       "          <td rowspan=\"2\" style=\"width=20%\" align=\"center\"><big><big><b>",
       "</big><br></big> &#268;\xEDslo: 15</b></td>"},
      {"number", &print::VoucherFields::number, 9,
       "          <td rowspan=\"2\" style=\"width=20%\" align=\"center\"><big><big><b>V\xFD" "dajov\xFD"
       "</big><br></big> &#268;\xEDslo: ",
       "</b></td>"},
      {"organisation", &print::VoucherFields::organisation, 10,
       "          <td rowspan=\"2\" style=\"width=30%\" align=\"left\">Organizace: ", "<br/></td>"},
      {"date", &print::VoucherFields::date, 12, "          <td style=\"width=20%\" align=\"right\"><big><b> ",
       "</big></b></td>"},
      {"purpose", &print::VoucherFields::purpose, 20, "          <td colspan=\"4\" align=\"center\"><b>",
       "</b></td>"},
      {"issued by", &print::VoucherFields::issuedBy, 33, nameCell, "</td>"},
      {"approved by", &print::VoucherFields::approvedBy, 34, nameCell, "</td>"},
      {"received by", &print::VoucherFields::receivedBy, 35,
       "          <td colspan=\"2\" align=\"center\">", "</td>"},
  };
  for (const Place& place : places) {
    for (const Typed& typed : kHostileTexts) {
      print::VoucherFields fields = someVoucher();
      fields.*place.member = toCp1250(typed.utf8);
      const std::string page = print::VoucherPage(fields, text::Regional::czech());
      // Only the organisation keeps the line break and bold of its hint.
      const bool keepsTags = place.member == &print::VoucherFields::organisation &&
                             std::string_view(typed.utf8) == "<b>Tučně</b><br>";
      const std::string shown = keepsTags ? "<b>Tu&#269;n&#283;</b><br>" : typed.shown;
      EXPECT_EQ(pageLine(page, place.line), place.before + shown + place.after)
          << place.field << ": " << typed.utf8;
      EXPECT_EQ(count(page, "\n"), 47u) << place.field << ": " << typed.utf8;
    }
  }
}

TEST(VoucherPage, PrintsTheAmountsTextAsTypedAndSpellsItsWholeCrowns) {
  for (const Typed& typed : kHostileTexts) {
    print::VoucherFields fields = someVoucher();
    fields.amount = "12." + toCp1250(typed.utf8);
    const std::string page = print::VoucherPage(fields, text::Regional::czech());
    EXPECT_EQ(pageLine(page, 16), "          <td align=\"right\"><big><u><b>12." + typed.shown +
                                      "</big></u> K&#269;</b></td>")
        << typed.utf8;
    EXPECT_EQ(wordsCell(page), "dvan\xC3\xA1" "ct") << typed.utf8;
  }
}

TEST(VoucherPage, AFieldHoldingAMarkerKeepsItAsTyped) {
  const char* markers[] = {"xxx1", "xxx2", "xxx3", "xxx4", "xxx5", "xxx6",
                           "xxx7", "xxx8", "xxx9", "xxxA", "xxxB", "xxxC"};
  for (const char* marker : markers) {
    print::VoucherFields fields = someVoucher();
    fields.purpose = std::string("Platba ") + marker + " za";
    fields.organisation = std::string("[") + marker + "]";
    const std::string page = print::VoucherPage(fields, text::Regional::czech());
    EXPECT_EQ(pageLine(page, 20), std::string("          <td colspan=\"4\" align=\"center\"><b>Platba ") +
                                      marker + " za</b></td>")
        << marker;
    EXPECT_NE(page.find(std::string("Organizace: [") + marker + "]<br/></td>"), std::string::npos) << marker;
    EXPECT_EQ(count(page, marker), 2u) << marker;
    // The values of the markers are where the template has them, once.
    EXPECT_EQ(count(page, ">Jana</td>"), 1u) << marker;
    EXPECT_EQ(count(page, std::string(print::PageFooter)), 1u) << marker;
  }
}

// A voucher whose every field holds markup, an ampersand, a marker or a
// character that is no Czech letter.
print::VoucherFields hostileFields() {
  print::VoucherFields fields;
  fields.kind = "<script>alert(1)</script>";
  fields.number = "15 & 16";
  fields.date = "<i>7.12.2026</i>";
  // The organisation keeps only the line break and bold of its hint.
  fields.organisation = toCp1250("‹ZŠ Úvoz> & <i>spol.</i><br><b onclick=x>");
  fields.purpose = toCp1250("Nákup <img src=x onerror=alert(1)> (xxx9, xxxC, xxx8)");
  fields.amount = "4999.5<br>";
  fields.issuedBy = toCp1250("Jana <Nováková>");
  fields.approvedBy = "xxxB";
  fields.receivedBy = toCp1250("&lt;Ďurčo&gt;");
  return fields;
}

TEST(VoucherPage, MatchesTheGoldenPageOfHostileTexts) {
  const std::string page = print::VoucherPage(hostileFields(), text::Regional::czech());
  expectGolden("voucher_hostile.htm", page);

  // What the golden file must show, stated on its own.
  EXPECT_EQ(page.find("<script"), std::string::npos);
  EXPECT_EQ(page.find("<img"), std::string::npos);
  EXPECT_EQ(page.find("<i>"), std::string::npos);
  EXPECT_NE(page.find("<b>&lt;script&gt;alert(1)&lt;/script&gt;</big>"), std::string::npos);
  EXPECT_NE(page.find("&#268;\xEDslo: 15 &amp; 16</b>"), std::string::npos);
  EXPECT_NE(page.find("Organizace: \x8BZ&#352; \xDAvoz&gt; &amp; &lt;i&gt;spol.&lt;/i&gt;<br>&lt;b onclick=x&gt;<br/></td>"),
            std::string::npos);
  EXPECT_NE(page.find("<b> &lt;i&gt;7.12.2026&lt;/i&gt;</big></b>"), std::string::npos);
  EXPECT_NE(page.find("<b>4999.5&lt;br&gt;</big></u> K&#269;</b>"), std::string::npos);
  EXPECT_NE(page.find("<b>N\xE1kup &lt;img src=x onerror=alert(1)&gt; (xxx9, xxxC, xxx8)</b>"), std::string::npos);
  EXPECT_NE(page.find(">&#269;ty&#345;itis\xED" "cedev&#283;tsetdevades\xE1tdev&#283;t</td>"), std::string::npos);
  EXPECT_NE(page.find(">Jana &lt;Nov\xE1kov\xE1&gt;</td>"), std::string::npos);
  EXPECT_NE(page.find(">xxxB</td>"), std::string::npos);
  EXPECT_NE(page.find(">&amp;lt;&#270;ur&#269;o&amp;gt;</td>"), std::string::npos);
  EXPECT_NE(page.find("<small><small><small>" + std::string(print::PageFooter) + "</small></small></td>"),
            std::string::npos);
}

TEST(VoucherPage, SpellsTheWholeCrownsTypedBeforeTheFirstDot) {
  struct Case {
    const char* amount;
    text::Regional regional;
    const char* words;  // UTF-8, encoded
  };
  text::Regional english;
  english.decimalSeparator = '.';
  const Case cases[] = {
      {"0", text::Regional::czech(), ""},
      {"250.0", text::Regional::czech(), "dv&#283;st&#283;pades\xC3\xA1t"},
      {"1234.99", text::Regional::czech(), "jedentis\xC3\xAD" "cdv&#283;st&#283;t&#345;icet&#269;ty&#345;i"},
      {"-45.0", text::Regional::czech(), "&#269;ty&#345;icetp&#283;t"},
      {"1234,99", text::Regional::czech(), "jedentis\xC3\xAD" "cdv&#283;st&#283;t&#345;icet&#269;ty&#345;i"},
      {"12.34.56", text::Regional::czech(), "dvan\xC3\xA1" "ct"},
      {" 17 ", text::Regional::czech(), "sedn\xC3\xA1" "ct"},
      {"1e3", english, "jedentis\xC3\xAD" "c"},
      {"5000000", text::Regional::czech(), "p&#283;tmilion&#367;"},
      {"1e300", english, ""},
  };
  for (const Case& c : cases) {
    print::VoucherFields fields;
    fields.amount = c.amount;
    EXPECT_EQ(wordsCell(print::VoucherPage(fields, c.regional)), c.words) << c.amount;
  }
}

TEST(VoucherPage, RefusesAnAmountThatIsNoNumber) {
  struct Case {
    const char* amount;
    char decimalSeparator;
    const char* message;
  };
  const Case cases[] = {
      {"", ',', "'' is not a valid floating point value"},
      {".5", ',', "'' is not a valid floating point value"},
      {"abc.5", ',', "'abc' is not a valid floating point value"},
      {"1234,99", '.', "'1234,99' is not a valid floating point value"},
      {"12 Kč", ',', "'12 K\xE8' is not a valid floating point value"},
  };
  for (const Case& c : cases) {
    print::VoucherFields fields;
    fields.amount = toCp1250(c.amount);
    text::Regional regional;
    regional.decimalSeparator = c.decimalSeparator;
    try {
      print::VoucherPage(fields, regional);
      ADD_FAILURE() << "no error for " << c.amount;
    } catch (const mincar::Error& e) {
      EXPECT_STREQ(e.what(), c.message);
    }
  }
}

TEST(PrintVoucher, WritesOutHtmAndStartsTheBrowserOnIt) {
  TempDir dir;
  const print::VoucherFields fields = goldenFields(dir.path());
  app::RecordingStatusLine status;
  RecordingLauncher launcher;
  testing_support::writeFile(dir / "out.htm", "an older, longer page ...........................");
  print::PrintVoucher(fields, text::Regional::czech(), dir.path(), "out.htm",
                      {"xdg-open ", "File://", status, launcher});
  EXPECT_EQ(readFile(dir / "out.htm"), readFile(goldenFile("voucher_page.htm")));
  const std::string line = "xdg-open  File://" + dir.path().string() + "/out.htm";
  EXPECT_EQ(launcher.commandLines, std::vector<std::string>{line});
  EXPECT_EQ(status.text(), line);
}

// A working folder with a name the code page cannot hold prints all the
// same: the page is written and the browser started on the folder's real name.
TEST(PrintVoucher, PrintsInAFolderNamedOutsideWindows1250) {
  TempDir dir;
  const fs::path folder = dir / "\xD0\x96ito A\xC3\xB1o";
  fs::create_directory(folder);
  app::RecordingStatusLine status;
  RecordingLauncher launcher;
  print::PrintVoucher(goldenFields(dir.path()), text::Regional::czech(), folder, "out.htm",
                      {"xdg-open ", "File://", status, launcher});
  EXPECT_EQ(readFile(folder / "out.htm"), readFile(goldenFile("voucher_page.htm")));
  EXPECT_EQ(launcher.commandLines,
            std::vector<std::string>{"xdg-open  File://'" + (folder / "out.htm").string() + "'"});
  EXPECT_EQ(status.text(), "xdg-open  File://'" + dir.path().string() + "/?ito A?o/out.htm'");
}

TEST(PrintVoucher, OnAFailureWritesNothingAndStartsNoBrowser) {
  TempDir dir;
  testing_support::writeFile(dir / "out.htm", "the last page");
  fs::create_directory(dir / "folder.htm");
  struct Case {
    const char* why;
    const char* amount;
    fs::path folder;
    fs::path file;
    std::string message;
  };
  const Case cases[] = {
      {"an amount that is no number", "12x.0", dir.path(), "out.htm",
       "'12x' is not a valid floating point value"},
      {"a folder that does not exist", "1.0", dir / "missing", "out.htm",
       "Cannot create file " + (dir / "missing" / "out.htm").string()},
      {"a folder where the page should be", "1.0", dir.path(), "folder.htm",
       "Cannot create file " + (dir / "folder.htm").string()},
  };
  for (const Case& c : cases) {
    print::VoucherFields fields;
    fields.amount = c.amount;
    app::RecordingStatusLine status;
    RecordingLauncher launcher;
    try {
      print::PrintVoucher(fields, text::Regional::czech(), c.folder, c.file,
                          {"xdg-open ", "File://", status, launcher});
      ADD_FAILURE() << c.why;
    } catch (const mincar::Error& e) {
      EXPECT_EQ(e.what(), c.message) << c.why;
    }
    EXPECT_TRUE(launcher.commandLines.empty()) << c.why;
    EXPECT_TRUE(status.texts.empty()) << c.why;
    EXPECT_EQ(readFile(dir / "out.htm"), "the last page") << c.why;
    EXPECT_FALSE(fs::exists(dir / "missing")) << c.why;
  }
}

// The browser wraps a cell's text where it likes, at a blank or after a
// bracket: the shown text with every line break and blank left out, to be
// compared with an expected text treated the same way.
std::string withoutBlanks(std::string shown) {
  std::erase_if(shown, [](char c) { return c == ' ' || c == '\n'; });
  return shown;
}

// The voucher of these fields printed into dir, opened by the default
// prefix's "File://" URL in headless Chromium, printed to PDF and read back.
void printAndRead(const print::VoucherFields& fields, const TempDir& dir, std::string& shown) {
  app::RecordingStatusLine status;
  RecordingLauncher launcher;
  print::PrintVoucher(fields, text::Regional::czech(), dir.path(), "out.htm", {"xdg-open ", "File://", status, launcher});
  const std::string url = "File://" + (dir / "out.htm").string();
  ASSERT_NO_FATAL_FAILURE(testing_support::textInBrowser(url, dir / "voucher.pdf", shown));
}

// The page in a real browser: rendered by headless Chromium, opened by the
// default prefix's "File://" URL, printed to PDF and read back as text.
TEST(VoucherInBrowser, ShowsEveryCzechLetterRight) {
  if (const std::string why = testing_support::missingBrowserProgram(); !why.empty()) {
    if (print_testing::runningInCi()) FAIL() << why;
    GTEST_SKIP() << why;
  }
  TempDir dir;
  std::string shown;  // UTF-8
  ASSERT_NO_FATAL_FAILURE(printAndRead(goldenFields(dir.path()), dir, shown));
  // A narrow cell may wrap its text onto two lines.
  std::replace(shown.begin(), shown.end(), '\n', ' ');
  for (const char* expected :
       {"Výdajový", "Číslo: 15", "Organizace:", "Domácnost Nováků", "Šťastná 12, Ústí nad Labem",
        "Datum vystavení:", "7.12.2026", "Částka:", "4999.5 Kč", "Účel platby:",
        "Nákup: žluťoučký kůň (xxx9) úpěl ďábelské ódy", "Částka slovy:",
        "čtyřitisícedevětsetdevadesátdevět", "Vystavil", "Schválil", "Převzal", "Petr Novák",
        "Ľubomír Ďurčo", "Zpracováno systémem", "Mincar https://mincar.example/"}) {
    EXPECT_NE(shown.find(expected), std::string::npos) << expected << "\n--- shown:\n" << shown;
  }
}

// The hostile voucher in a real browser: every typed text shows as typed
// and none of it acts as markup.
TEST(VoucherInBrowser, ShowsMarkupTypedIntoTheFieldsAsText) {
  if (const std::string why = testing_support::missingBrowserProgram(); !why.empty()) {
    if (print_testing::runningInCi()) FAIL() << why;
    GTEST_SKIP() << why;
  }
  TempDir dir;
  std::string shown;  // UTF-8
  ASSERT_NO_FATAL_FAILURE(printAndRead(hostileFields(), dir, shown));
  for (const char* expected :
       {"<script>alert(1)</script>", "Číslo: 15 & 16", "‹ZŠ Úvoz> &", "<i>spol.</i><b onclick=x>", "<i>7.12.2026</i>",
        "4999.5<br> Kč", "(xxx9, xxxC, xxx8)", "Jana <Nováková>", "xxxB", "&lt;Ďurčo&gt;"}) {
    EXPECT_NE(withoutBlanks(shown).find(withoutBlanks(expected)), std::string::npos)
        << expected << "\n--- shown:\n" << shown;
  }
}

}  // namespace
