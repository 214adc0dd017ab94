#include "print/book_report.h"

#include <fstream>
#include <memory>
#include <system_error>

#include "ledger/ledger_tables.h"
#include "print/browser.h"
#include "print/czech_html.h"
#include "print/page_file.h"
#include "print/page_footer.h"
#include "print/replace_all.h"
#include "text/cp1250.h"
#include "text/error.h"
#include "text/regional.h"

namespace print {

namespace fs = std::filesystem;
namespace col = ledger::journal;

namespace {

// Written here in UTF-8; the page is Windows-1250. The leading blanks are
// part of the page.
constexpr std::string_view kHeaderUtf8 = R"page(<html>
 <head>
  <meta http-equiv="Content-Type" content="text/html; charset=en_US">
    <title>Mincar | Tisk pokladní knihy xxx0</title>
 </head>
 <body>
 <center><h2>Kniha .xxx0. od xxx1 do xxx2</h2>  <table style="width: 100%; text-align: left;" border="1" cellpadding="0" cellspacing="1">
   <tr>
    <td align="center">Číslo</td>
    <td align="center">Datum</td>
    <td align="center">Kniha</td>
    <td align="center">Pohyb</td>
    <td align="center">Text</td>
    <td align="center">Plus</td>
    <td align="center">Minus</td>
    <td align="center">Zůstatek</td>
   </tr>
   <tr>
    <td colspan="7" align="right">Poč.stav:</td>
    <td align="right"><b>xxx3</b></td>
   </tr>
)page";

constexpr std::string_view kRowUtf8 = R"page(   <tr>
    <td align="center">xxx0</td>
    <td align="center">xxx1</td>
    <td align="center">xxx2</td>
    <td align="center">xxx3</td>
    <td align="center"><small>xxx4</small></td>
    <td align="right">xxx5</td>
    <td align="right">xxx6</td>
    <td align="right">xxx7</td>
   </tr>
)page";

constexpr std::string_view kFooterUtf8 = R"page(   <tr>
     <td colspan="8" align="center"><small><small><small>xxx0</small></small></td>
   </tr>
  </table>
 </body>
</html>
)page";

// The row markers with the columns they take.
struct RowMarker {
  const char* marker;
  int column;
};
constexpr RowMarker kRowMarkers[] = {
    {"xxx0", col::ID},   {"xxx1", col::DATUM}, {"xxx2", col::IDK},   {"xxx3", col::IDM},
    {"xxx4", col::TEXT}, {"xxx5", col::PLUS},  {"xxx6", col::MINUS}, {"xxx7", col::ZUSTATEK},
};

constexpr std::string_view kAfterValue = "&nbsp;";


// The DATUM of the journal's first or last shown row; empty when no row is
// shown.
std::string shownDate(ledger::Dataset& journal, bool last) {
  if (last) {
    journal.last();
  } else {
    journal.first();
  }
  return journal.field(col::DATUM).asString();
}

}  // namespace

const std::string& ReportHeaderTemplate() {
  static const std::string header = text::toCp1250(kHeaderUtf8);
  return header;
}

const std::string& ReportRowTemplate() {
  static const std::string row = text::toCp1250(kRowUtf8);
  return row;
}

const std::string& ReportFooterTemplate() {
  static const std::string footer = text::toCp1250(kFooterUtf8);
  return footer;
}

void ResetReportTemplates(ReportTexts& texts) {
  texts.ReportHeader = ReportHeaderTemplate();
  texts.ReportRow = ReportRowTemplate();
  texts.ReportFooter = ReportFooterTemplate();
}

void FillReportHeaderAndFooter(ReportTexts& texts, app::Ledger& ledger, const SearchCriteria& criteria,
                               std::string_view initialBalance) {
  const text::Regional& regional = ledger.regional();
  ledger::Dataset& journal = ledger.journal();
  // 1.
  ResetReportTemplates(texts);
  // 2. The title and the heading. This value and the next three are
  //    escaped: a book name or a typed balance prints as typed, never as
  //    markup.
  const std::string bookName =
      HtmlEscape(criteria.bookOn ? ledger.books().field(ledger::books::TEXT).asString() : std::string());
  // 3.
  const std::string fromDate =
      HtmlEscape(criteria.fromDateOn ? text::formatDate(criteria.fromDate, regional) : shownDate(journal, false));
  // 4.
  const std::string toDate =
      HtmlEscape(criteria.toDateOn ? text::formatDate(criteria.toDate, regional) : shownDate(journal, true));
  // 5. As typed: neither converted nor checked.
  const std::string balance = HtmlEscape(initialBalance);
  // 2.-5. In one pass, so that a value holding a marker keeps it.
  const MarkerValue header[] = {{"xxx0", bookName}, {"xxx1", fromDate}, {"xxx2", toDate}, {"xxx3", balance}};
  texts.ReportHeader = FillTemplate(texts.ReportHeader, header);
  // 6.
  texts.ReportHeader = CzechToHtml(texts.ReportHeader);
  // 7.
  const MarkerValue footer[] = {{"xxx0", PageFooter}};
  texts.ReportFooter = CzechToHtml(FillTemplate(texts.ReportFooter, footer));
}

void WriteReportRows(ledger::Dataset& journal, const ReportTexts& texts, std::ostream& out) {
  constexpr std::size_t kColumns = std::size(kRowMarkers);
  const ledger::Field* fields[kColumns];
  for (std::size_t i = 0; i < kColumns; ++i) fields[i] = &journal.field(kRowMarkers[i].column);
  std::string values[kColumns];
  MarkerValue fills[kColumns];
  // 1.
  journal.first();
  // 2.
  while (!journal.eof()) {
    // The field's text escaped, so that a row's text prints as typed; then
    // all eight in one pass, so that a marker in it stays a marker.
    for (std::size_t i = 0; i < kColumns; ++i) {
      values[i] = HtmlEscape(fields[i]->asString());
      values[i] += kAfterValue;
      fills[i] = {kRowMarkers[i].marker, values[i]};
    }
    const std::string block = CzechToHtml(FillTemplate(texts.ReportRow, fills));
    out.write(block.data(), static_cast<std::streamsize>(block.size()));
    // A full disk fails every later write too; no need to walk on.
    if (!out) return;
    journal.next();
  }
}

void WriteReport(ReportTexts& texts, app::Ledger& ledger, const SearchCriteria& criteria,
                 std::string_view initialBalance, const fs::path& file) {
  // 1.-7.
  FillReportHeaderAndFooter(texts, ledger, criteria, initialBalance);
  // 8. Written as it is walked: a page of a million rows is never held whole.
  PageFile page(file);
  std::ostream& out = page.stream();
  out.write(texts.ReportHeader.data(), static_cast<std::streamsize>(texts.ReportHeader.size()));
  WriteReportRows(ledger.journal(), texts, out);
  out.write(texts.ReportFooter.data(), static_cast<std::streamsize>(texts.ReportFooter.size()));
  page.commit();
}

void PrintReport(ReportTexts& texts, app::Ledger& ledger, const SearchCriteria& criteria,
                 std::string_view initialBalance, const fs::path& folder, const fs::path& fileName,
                 const BrowserCall& browser) {
  const std::string name = text::toCp1250(fileName.string());
  // 1.-8.
  WriteReport(texts, ledger, criteria, initialBalance, folder / fileName);
  // 9.
  OpenInBrowser(browser.command, browser.fileSpec, folder, name, browser.status, browser.launcher);
}

}  // namespace print
