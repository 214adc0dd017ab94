// The cash-book report: its three templates byte for byte, the header's
// markers, the row blocks, the whole page against a golden file, the file
// and browser steps, and the page in a real browser.

#include "print/book_report.h"

#include <sys/resource.h>

#include <gtest/gtest.h>

#include <algorithm>
#include <csignal>
#include <cstdlib>
#include <optional>
#include <sstream>
#include <string>
#include <vector>

#include "app/ledger.h"
#include "app/status_line.h"
#include "ledger/dataset.h"
#include "ledger/ledger_tables.h"
#include "print/book_search.h"
#include "print/czech_html.h"
#include "print/page_footer.h"
#include "print_fixtures.h"
#include "print_test_support.h"
#include "test_support.h"
#include "text/cp1250.h"
#include "text/error.h"
#include "text/regional.h"

namespace {

namespace fs = std::filesystem;
namespace J = ledger::journal;
using ledger::Dataset;
using ledger::LedgerTable;
using print::SearchCriteria;
using print_testing::RecordingLauncher;
using testing_support::expectGolden;
using testing_support::goldenFile;
using testing_support::JournalRow;
using testing_support::ListRow;
using testing_support::readFile;
using testing_support::withText;
using text::Date;
using text::toCp1250;

std::size_t count(const std::string& text, const std::string& piece) {
  std::size_t n = 0;
  for (std::size_t at = text.find(piece); at != std::string::npos; at = text.find(piece, at + piece.size())) ++n;
  return n;
}

// The page's bytes shown as UTF-8 text for the messages of failed checks.
std::string utf8(const std::string& cp1250) { return text::toUtf8(cp1250); }

class Report : public testing_support::LedgerFolderTest {
 protected:
  void open(const std::vector<JournalRow>& journal, const std::vector<ListRow>& books = {{1, "Hotovost"}}) {
    testing_support::seedLedger(dir_.path(), journal, books);
    openLedger();
    search_ = std::make_unique<print::BookSearch>(*ledger_);
  }
  // The dialog's criteria in force, and the page written with them.
  std::string page(const SearchCriteria& criteria, const char* initialBalance = "0") {
    search_->setCriteria(criteria);
    search_->ApplyFilter();
    print::ReportTexts texts;
    print::WriteReport(texts, *ledger_, criteria, toCp1250(initialBalance), dir_ / "out.htm");
    return readFile(dir_ / "out.htm");
  }
};

const std::vector<JournalRow> kDecember = {
    {.id = 1, .idk = 1, .idm = 2, .datum = Date{2026, 12, 1}, .text = "Výplata", .plus = 38250, .zustatek = 38250},
    {.id = 2, .idk = 1, .idm = 3, .datum = Date{2026, 12, 2}, .text = "Nákup potravin", .minus = 1250.5},
    {.id = 3, .idk = 2, .idm = 3, .datum = Date{2026, 12, 3}, .text = "Benzín", .minus = 1650},
};

// --- templates -----------------------------------------------------------------

TEST(ReportTemplates, AreTheProgramsThreeTemplatesByteForByte) {
  // The golden files are written line by line from the listing of each
  // template: the number of leading blanks, the text, a line feed.
  EXPECT_EQ(print::ReportHeaderTemplate(), readFile(goldenFile("report_header.htm")));
  EXPECT_EQ(print::ReportRowTemplate(), readFile(goldenFile("report_row.htm")));
  EXPECT_EQ(print::ReportFooterTemplate(), readFile(goldenFile("report_footer.htm")));
  struct Lines {
    const std::string& text;
    std::size_t lines;
  };
  for (const Lines& t : {Lines{print::ReportHeaderTemplate(), 21}, Lines{print::ReportRowTemplate(), 10},
                         Lines{print::ReportFooterTemplate(), 6}}) {
    EXPECT_EQ(std::count(t.text.begin(), t.text.end(), '\n'), static_cast<long>(t.lines));
    EXPECT_EQ(t.text.find('\r'), std::string::npos);
    EXPECT_EQ(t.text.back(), '\n');
  }
}

TEST(ReportTemplates, ResetGivesFreshCopiesOfAllThree) {
  print::ReportTexts texts{"left over", "from", "an aborted report"};
  print::ResetReportTemplates(texts);
  EXPECT_EQ(texts.ReportHeader, print::ReportHeaderTemplate());
  EXPECT_EQ(texts.ReportRow, print::ReportRowTemplate());
  EXPECT_EQ(texts.ReportFooter, print::ReportFooterTemplate());
}

// --- the whole page ------------------------------------------------------------

TEST_F(Report, TheWholePageMatchesItsGoldenFile) {
  open(testing_support::kGoldenReportJournal, testing_support::kGoldenReportBooks);
  SearchCriteria criteria;
  criteria.bookOn = true;  // the books list stands on its first row
  criteria.toDateOn = true;
  criteria.toDate = Date{2026, 12, 31};
  search_->setCriteria(criteria);
  search_->ApplyFilter();
  search_->RecomputeShownBalances("1000,5");
  print::ReportTexts texts;
  print::WriteReport(texts, *ledger_, criteria, toCp1250("1000,5"), dir_ / "out.htm");
  expectGolden("report_page.htm", readFile(dir_ / "out.htm"));
}

TEST_F(Report, IsTheHeaderTheRowBlocksAndTheFooterWithNothingBetween) {
  open(kDecember);
  const std::string shown = page({});
  print::ReportTexts texts;
  print::FillReportHeaderAndFooter(texts, *ledger_, {}, "0");
  ASSERT_EQ(shown.find(texts.ReportHeader), 0u);
  ASSERT_GE(shown.size(), texts.ReportHeader.size() + texts.ReportFooter.size());
  EXPECT_EQ(shown.substr(shown.size() - texts.ReportFooter.size()), texts.ReportFooter);
  const std::string rows =
      shown.substr(texts.ReportHeader.size(), shown.size() - texts.ReportHeader.size() - texts.ReportFooter.size());
  EXPECT_EQ(count(rows, "   <tr>\n"), 3u);
  EXPECT_EQ(rows.find("   <tr>\n"), 0u);
  EXPECT_EQ(count(shown, "\r"), 0u);
  EXPECT_EQ(count(texts.ReportFooter, std::string(print::PageFooter)), 1u);
}

// --- the header ------------------------------------------------------------------

TEST_F(Report, WithTheBookBoxClearTheTitleEndsInABlankAndTheHeadingHasTwoDots) {
  open(kDecember);
  const std::string shown = page({});
  EXPECT_NE(shown.find("<title>Mincar | Tisk pokladn\xED knihy </title>"), std::string::npos) << utf8(shown);
  EXPECT_NE(shown.find("<h2>Kniha .. od 1.12.2026 do 3.12.2026</h2>"), std::string::npos) << utf8(shown);
}

TEST_F(Report, WithTheBookBoxTickedTheCurrentBookNamesTitleAndHeading) {
  open(kDecember, {{1, "Hotovost"}, {2, "Běžný účet"}});
  ledger_->books().last();
  SearchCriteria criteria;
  criteria.bookOn = true;
  const std::string shown = page(criteria);
  EXPECT_NE(shown.find("<title>Mincar | Tisk pokladn\xED knihy B&#283;&#382;n\xFD \xFA&#269;et</title>"),
            std::string::npos)
      << utf8(shown);
  // Czech letters of the name are references; á, í, ú, ý stay bytes.
  EXPECT_NE(shown.find("<h2>Kniha .B&#283;&#382;n\xFD \xFA&#269;et. od 3.12.2026 do 3.12.2026</h2>"),
            std::string::npos)
      << utf8(shown);
}

TEST_F(Report, TheDatesComeFromTheTickedPickersOrTheFirstAndLastShownRows) {
  open(kDecember);
  struct Case {
    const char* why;
    std::optional<Date> from{};
    std::optional<Date> to{};
    const char* text;
    const char* heading;
    std::size_t rowBlocks;
  };
  const Case cases[] = {
      {"no box: first and last shown rows", std::nullopt, std::nullopt, "", "od 1.12.2026 do 3.12.2026", 3},
      {"the text shows one row", std::nullopt, std::nullopt, "nákup", "od 2.12.2026 do 2.12.2026", 1},
      {"from ticked", Date{2026, 12, 2}, std::nullopt, "", "od 2.12.2026 do 3.12.2026", 2},
      {"to ticked", std::nullopt, Date{2026, 12, 2}, "", "od 1.12.2026 do 2.12.2026", 2},
      {"both ticked, wider than the rows", Date{2026, 1, 1}, Date{2026, 12, 31}, "", "od 1.1.2026 do 31.12.2026", 3},
      {"from after to: no rows, the pickers' dates", Date{2026, 12, 3}, Date{2026, 12, 1}, "",
       "od 3.12.2026 do 1.12.2026", 0},
      {"no row shown and no date box: both dates empty", std::nullopt, std::nullopt, "nic", "od  do ", 0},
  };
  for (const Case& c : cases) {
    SearchCriteria criteria = withText(c.text);
    criteria.fromDate = c.from.value_or(Date{2000, 1, 1});
    criteria.fromDateOn = c.from.has_value();
    criteria.toDate = c.to.value_or(Date{2000, 1, 1});
    criteria.toDateOn = c.to.has_value();
    const std::string shown = page(criteria);
    EXPECT_NE(shown.find(std::string("<h2>Kniha .. ") + c.heading + "</h2>"), std::string::npos)
        << c.why << "\n" << utf8(shown);
    EXPECT_EQ(count(shown, "   <tr>\n    <td align=\"center\">"), c.rowBlocks + 1) << c.why;  // + the heading row
  }
}

TEST_F(Report, ALastShownRowWithoutADateLeavesTheToDateEmpty) {
  open({{.id = 1, .datum = Date{2026, 12, 1}, .text = "a"}, {.id = 2, .text = "b"}});
  EXPECT_NE(page({}).find("<h2>Kniha .. od 1.12.2026 do </h2>"), std::string::npos);
}

TEST_F(Report, TheInitialBalanceIsPrintedExactlyAsTyped) {
  open(kDecember);
  for (const char* typed : {"0", "1 000,50 Kč", "100.5", "", "<i>x</i>"}) {
    const std::string shown = page({}, typed);
    // Escaped, so that markup typed there shows as typed.
    const std::string expected =
        "<td align=\"right\"><b>" + print::CzechToHtml(print::HtmlEscape(toCp1250(typed))) + "</b></td>";
    EXPECT_NE(shown.find(expected), std::string::npos) << typed << "\n" << utf8(shown);
  }
}

TEST_F(Report, AValueHoldingAMarkerKeepsItAsTyped) {
  // The header is filled in one pass: the dates and the balance do not
  // fill the markers that the book name holds.
  open(kDecember, {{1, "Kniha xxx3 od xxx1"}});
  SearchCriteria criteria;
  criteria.bookOn = true;
  const std::string shown = page(criteria, "42");
  EXPECT_NE(shown.find("<title>Mincar | Tisk pokladn\xED knihy Kniha xxx3 od xxx1</title>"), std::string::npos)
      << utf8(shown);
  EXPECT_NE(shown.find("<b>42</b>"), std::string::npos) << utf8(shown);
}

// --- the row blocks ----------------------------------------------------------------

TEST_F(Report, EachValueIsFollowedByNbspAndAnEmptyOneIsNbspAlone) {
  open({{.id = 1, .idk = 3, .idm = 12, .datum = Date{2026, 12, 7}, .text = "Nákup", .minus = 12.5, .zustatek = 1500}});
  const std::string shown = page({});
  const std::string block =
      "   <tr>\n"
      "    <td align=\"center\">1&nbsp;</td>\n"
      "    <td align=\"center\">7.12.2026&nbsp;</td>\n"
      "    <td align=\"center\">3&nbsp;</td>\n"
      "    <td align=\"center\">12&nbsp;</td>\n"
      "    <td align=\"center\"><small>N\xE1kup&nbsp;</small></td>\n"
      "    <td align=\"right\">&nbsp;</td>\n"
      "    <td align=\"right\">12,5&nbsp;</td>\n"
      "    <td align=\"right\">1500&nbsp;</td>\n"
      "   </tr>\n";
  EXPECT_NE(shown.find(block), std::string::npos) << utf8(shown);
}

TEST_F(Report, AnEmptyRowHasNbspInEveryCell) {
  open({{.id = 0}});
  {
    // A row stored without even its number.
    Dataset rows("seed", ledger::tablePath(dir_.path(), LedgerTable::Journal), text::Regional::czech());
    rows.open();
    rows.edit();
    rows.field(J::ID).clear();
    rows.post();
  }
  const std::string shown = page({});
  EXPECT_EQ(count(shown, "\">&nbsp;</td>\n"), 7u) << utf8(shown);
  EXPECT_EQ(count(shown, "<small>&nbsp;</small>"), 1u) << utf8(shown);
}

TEST_F(Report, ATextHoldingMarkersKeepsThemAsTyped) {
  open({{.id = 7, .idk = 1, .idm = 2, .datum = Date{2026, 12, 7}, .text = "[xxx0|xxx3|xxx5|xxx7]", .plus = 10,
         .zustatek = 99}});
  const std::string shown = page({});
  EXPECT_NE(shown.find("<small>[xxx0|xxx3|xxx5|xxx7]&nbsp;</small>"), std::string::npos) << utf8(shown);
  EXPECT_NE(shown.find(">10&nbsp;</td>"), std::string::npos) << utf8(shown);
  EXPECT_NE(shown.find(">99&nbsp;</td>"), std::string::npos) << utf8(shown);
}

TEST_F(Report, MarkupInATextShowsAsText) {
  open({{.id = 1, .text = "<b>Tučně</b> & \"uvozovky\" < >"}});
  EXPECT_NE(page({}).find("<small>&lt;b&gt;Tu&#269;n&#283;&lt;/b&gt; &amp; \"uvozovky\" &lt; &gt;&nbsp;</small>"),
            std::string::npos);
}

using print_testing::Typed;
const std::vector<Typed> kHostileTexts = print_testing::hostileTexts("xxx0 xxx1 xxx2 xxx3 xxx5 xxx7");

TEST_F(Report, EachRowsTextPrintsAsTypedAndNeverAsMarkup) {
  std::vector<JournalRow> rows;
  for (const Typed& typed : kHostileTexts) {
    rows.push_back({.id = static_cast<double>(rows.size() + 1), .idk = 1, .datum = Date{2026, 12, 7},
                    .text = typed.utf8, .plus = 1});
  }
  open(rows);
  const std::string shown = page({});
  for (const Typed& typed : kHostileTexts) {
    EXPECT_EQ(count(shown, "<td align=\"center\"><small>" + typed.shown + "&nbsp;</small></td>\n"), 1u)
        << typed.utf8 << "\n" << utf8(shown);
  }
  EXPECT_EQ(count(shown, "   <tr>\n"), std::size(kHostileTexts) + 3);  // + the heading, the balance, the footer
}

TEST_F(Report, TheBookNamePrintsAsTypedInTheTitleAndTheHeading) {
  std::vector<ListRow> books;
  for (const Typed& typed : kHostileTexts) books.push_back({static_cast<double>(books.size() + 1), typed.utf8});
  open(kDecember, books);
  SearchCriteria criteria;
  criteria.bookOn = true;
  ledger_->books().first();
  for (const Typed& typed : kHostileTexts) {
    const std::string shown = page(criteria);
    EXPECT_NE(shown.find("<title>Mincar | Tisk pokladn\xED knihy " + typed.shown + "</title>"), std::string::npos)
        << typed.utf8 << "\n" << utf8(shown);
    EXPECT_NE(shown.find("<h2>Kniha ." + typed.shown + ". od "), std::string::npos) << typed.utf8 << "\n"
                                                                                    << utf8(shown);
    ledger_->books().next();
  }
}

TEST_F(Report, MatchesTheGoldenPageOfHostileTexts) {
  open(testing_support::kHostileReportJournal, testing_support::kHostileReportBooks);
  SearchCriteria criteria;
  criteria.bookOn = true;  // the books list stands on its first row
  const std::string shown = page(criteria, testing_support::kHostileReportStart);
  expectGolden("report_hostile.htm", shown);

  // What the golden file must show, stated on its own.
  EXPECT_EQ(shown.find("<script"), std::string::npos);
  EXPECT_EQ(shown.find("<i>"), std::string::npos);
  const std::string book = "\x8BZ&#352; \xDAvoz&gt; &amp; &lt;script&gt;alert(1)&lt;/script&gt; xxx3";
  EXPECT_NE(shown.find("<title>Mincar | Tisk pokladn\xED knihy " + book + "</title>"), std::string::npos);
  EXPECT_NE(shown.find("<h2>Kniha ." + book + ". od 1.12.2026 do 4.12.2026</h2>"), std::string::npos);
  EXPECT_NE(shown.find("<b>&lt;i&gt;0&lt;/i&gt; xxx1</b>"), std::string::npos);
  for (const char* cell : {"&lt;script&gt;alert(1)&lt;/script&gt;", "Tom &amp; Jerry &amp;amp; spol.",
                           "\x8BZ&#352; \xDAvoz&gt; \x96 &#352;&#357;astn\xE1", "xxx0 xxx5 xxx7 xxx4"}) {
    EXPECT_NE(shown.find(std::string("<small>") + cell + "&nbsp;</small>"), std::string::npos) << cell;
  }
  EXPECT_EQ(shown.find("jin\xE1 kniha"), std::string::npos);
  EXPECT_NE(shown.find("<small><small><small>" + std::string(print::PageFooter) + "</small></small></td>"),
            std::string::npos);
}

TEST_F(Report, TheRowsAreTheShownRowsInJournalOrderAndTheJournalEndsAtItsEnd) {
  open(kDecember);
  const std::string shown = page(withText("n"));  // Výplata has no n: Nákup, Benzín
  EXPECT_EQ(count(shown, "<small>"), 2u + 3u);  // two rows, the footer's three
  EXPECT_LT(shown.find("N\xE1kup potravin"), shown.find("Benz\xEDn"));
  EXPECT_EQ(shown.find("V\xFDplata"), std::string::npos);
  EXPECT_TRUE(ledger_->journal().eof());
}

// --- writing and the browser -------------------------------------------------------

TEST_F(Report, PrintWritesThePageAndStartsTheBrowserOnIt) {
  open(kDecember);
  testing_support::writeFile(dir_ / "out.htm", "an older page, longer than nothing");
  RecordingLauncher launcher;
  print::ReportTexts texts;
  print::PrintReport(texts, *ledger_, {}, "0", dir_.path(), "out.htm", {"xdg-open ", "File://", status_, launcher});
  const std::string commandLine = "xdg-open  File://" + (dir_ / "out.htm").string();
  EXPECT_EQ(launcher.commandLines, std::vector<std::string>{commandLine});
  EXPECT_EQ(status_.text(), commandLine);
  EXPECT_EQ(readFile(dir_ / "out.htm").find("<html>\n"), 0u);
}

TEST_F(Report, PrintsInAFolderNamedOutsideWindows1250) {
  open(kDecember);
  const fs::path folder = dir_ / "\xD0\x96ito";
  fs::create_directory(folder);
  RecordingLauncher launcher;
  print::ReportTexts texts;
  print::PrintReport(texts, *ledger_, {}, "0", folder, "out.htm", {"xdg-open ", "File://", status_, launcher});
  EXPECT_EQ(launcher.commandLines, std::vector<std::string>{"xdg-open  File://" + (folder / "out.htm").string()});
  EXPECT_EQ(status_.text(), "xdg-open  File://" + dir_.path().string() + "/?ito/out.htm");
  EXPECT_EQ(readFile(folder / "out.htm").find("<html>\n"), 0u);
}

TEST_F(Report, AFileThatCannotBeCreatedStopsBeforeThePageAndTheBrowser) {
  open(kDecember);
  fs::create_directory(dir_ / "out.htm");  // where the page should be
  RecordingLauncher launcher;
  print::ReportTexts texts;
  for (const fs::path& folder : {dir_.path(), dir_ / "missing"}) {
    try {
      print::PrintReport(texts, *ledger_, {}, "0", folder, "out.htm", {"xdg-open ", "File://", status_, launcher});
      ADD_FAILURE() << "a page was written into " << folder;
    } catch (const mincar::Error& e) {
      EXPECT_EQ(std::string(e.what()), "Cannot create file " + (folder / "out.htm").string());
    }
  }
  EXPECT_TRUE(launcher.commandLines.empty());
  EXPECT_TRUE(fs::is_directory(dir_ / "out.htm"));
  EXPECT_FALSE(fs::exists(dir_ / "missing"));
}

// While it lives, files of this process cannot grow beyond a size: writes
// past it fail as on a full disk.
class FileSizeLimit {
 public:
  explicit FileSizeLimit(rlim_t bytes) {
    getrlimit(RLIMIT_FSIZE, &before_);
    previousSignal_ = std::signal(SIGXFSZ, SIG_IGN);  // a failed write instead of the signal
    rlimit limit = before_;
    limit.rlim_cur = bytes;
    setrlimit(RLIMIT_FSIZE, &limit);
  }
  ~FileSizeLimit() {
    setrlimit(RLIMIT_FSIZE, &before_);
    std::signal(SIGXFSZ, previousSignal_);
  }
  FileSizeLimit(const FileSizeLimit&) = delete;
  FileSizeLimit& operator=(const FileSizeLimit&) = delete;

 private:
  rlimit before_{};
  void (*previousSignal_)(int) = SIG_DFL;
};

TEST_F(Report, APageThatCannotBeWrittenWholeIsReportedAndRemoved) {
  open(kDecember);
  print::ReportTexts texts;
  {
    FileSizeLimit limit(1000);  // the header fits, the rows do not
    try {
      print::WriteReport(texts, *ledger_, {}, "0", dir_ / "out.htm");
      ADD_FAILURE() << "a page beyond the limit was written";
    } catch (const mincar::Error& e) {
      EXPECT_EQ(std::string(e.what()), "Cannot write file " + (dir_ / "out.htm").string());
    }
  }
  EXPECT_FALSE(fs::exists(dir_ / "out.htm"));

  // A device named as the page is refused before anything is written, and
  // stays.
  const fs::path full = "/dev/full";
  if (!fs::exists(full)) GTEST_SKIP() << "no /dev/full here";
  try {
    print::WriteReport(texts, *ledger_, {}, "0", full);
    ADD_FAILURE() << "a page was written to " << full;
  } catch (const mincar::Error& e) {
    EXPECT_EQ(std::string(e.what()), "Cannot create file /dev/full");
  }
  EXPECT_TRUE(fs::exists(full));
}

// The page in a real browser: a dozen rows with Czech texts rendered by
// headless Chromium from the "File://" URL, printed to PDF and read back.
TEST_F(Report, ShowsItsRowsAndEveryCzechLetterInARealBrowser) {
  if (const std::string why = testing_support::missingBrowserProgram(); !why.empty()) {
    if (print_testing::runningInCi()) FAIL() << why;
    GTEST_SKIP() << why;
  }
  const char* texts[] = {"Výplata za listopad", "Nákup potravin, týdenní nákup", "Pohonné hmoty",
                         "Elektřina – záloha", "Nájem za prosinec", "Dárky pro babičku",
                         "Léky", "Jízdné MHD", "Oprava auta, Žďár nad Sázavou",
                         "Ďáblice, Ňůžkov, Ťápkov", "Ľubochňa – chata", "Úroky"};
  std::vector<JournalRow> rows;
  for (int i = 0; i < 12; ++i) {
    JournalRow row{.id = static_cast<double>(i + 1), .idk = 1, .idm = static_cast<double>(i % 3 + 1),
                   .datum = Date{2026, 12, i + 1}, .text = texts[i]};
    if (i == 0) {
      row.plus = 38250;
    } else {
      row.minus = 100.0 * i + 0.5;
    }
    rows.push_back(row);
  }
  open(rows, {{1, "Hotovost"}});
  SearchCriteria criteria;
  criteria.bookOn = true;
  search_->setCriteria(criteria);
  search_->ApplyFilter();
  search_->RecomputeShownBalances("1000");
  RecordingLauncher launcher;
  print::ReportTexts reportTexts;
  print::PrintReport(reportTexts, *ledger_, criteria, "1000", dir_.path(), "out.htm",
                     {"xdg-open ", "File://", status_, launcher});

  const std::string url = "File://" + (dir_ / "out.htm").string();
  std::string shown;  // UTF-8
  ASSERT_NO_FATAL_FAILURE(testing_support::textInBrowser(url, dir_ / "report.pdf", shown));
  std::vector<std::string> expected = {"Kniha .Hotovost. od 1.12.2026 do 12.12.2026",
                                       "Číslo", "Datum", "Kniha", "Pohyb", "Text", "Plus", "Minus", "Zůstatek",
                                       "Poč.stav:", "1000", "38250", "39250", "39149,5", "1100,5",
                                       "Zpracováno systémem", "Mincar https://mincar.example/"};
  for (const char* text : texts) expected.emplace_back(text);
  for (const std::string& piece : expected) {
    EXPECT_NE(shown.find(piece), std::string::npos) << piece << "\n--- shown:\n" << shown;
  }
  // The title as the browser takes it.
  const std::string page = readFile(dir_ / "out.htm");
  EXPECT_NE(page.find("<title>Mincar | Tisk pokladn\xED knihy Hotovost</title>"), std::string::npos);
}

// The hostile page in a real browser: the book name, the balance and the
// rows' texts show as typed and none of it acts as markup.
TEST_F(Report, ShowsMarkupInTheDataAsTextInARealBrowser) {
  if (const std::string why = testing_support::missingBrowserProgram(); !why.empty()) {
    if (print_testing::runningInCi()) FAIL() << why;
    GTEST_SKIP() << why;
  }
  open(testing_support::kHostileReportJournal, testing_support::kHostileReportBooks);
  SearchCriteria criteria;
  criteria.bookOn = true;
  page(criteria, testing_support::kHostileReportStart);
  std::string shown;  // UTF-8
  ASSERT_NO_FATAL_FAILURE(
      testing_support::textInBrowser("File://" + (dir_ / "out.htm").string(), dir_ / "report.pdf", shown));
  // The browser wraps a cell's text where it likes: blanks and line breaks
  // are left out on both sides.
  const auto withoutBlanks = [](std::string text) {
    std::erase_if(text, [](char c) { return c == ' ' || c == '\n'; });
    return text;
  };
  for (const char* expected :
       {"Kniha .‹ZŠ Úvoz> & <script>alert(1)</script> xxx3.", "<i>0</i> xxx1", "<script>alert(1)</script>",
        "Tom & Jerry &amp; spol.", "‹ZŠ Úvoz> – Šťastná", "xxx0 xxx5 xxx7 xxx4"}) {
    EXPECT_NE(withoutBlanks(shown).find(withoutBlanks(expected)), std::string::npos)
        << expected << "\n--- shown:\n" << shown;
  }
}

}  // namespace
