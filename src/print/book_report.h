#pragma once
#include <filesystem>
#include <ostream>
#include <string>
#include <string_view>

#include "app/ledger.h"
#include "ledger/dataset.h"
#include "print/book_search.h"
#include "print/voucher.h"

namespace print {

// The cash-book report's three templates, Windows-1250, every line ended by
// LF alone. The header (21 lines) carries the book name (xxx0, in the title
// and the heading), the two dates (xxx1, xxx2) and the initial balance
// (xxx3); the row block (10 lines) the eight columns xxx0 ... xxx7; the
// footer (6 lines) the page footer (xxx0). Kept as the program has always
// printed them: "charset=en_US" names no encoding, so the browser reads the
// page with its default one and the letters that differ are references;
// the footer's cell opens three <small> and closes two.
const std::string& ReportHeaderTemplate();
const std::string& ReportRowTemplate();
const std::string& ReportFooterTemplate();

// The report texts of the dialog: reset at the start of every report, the
// header and footer then filled in place, each row built from a copy of
// ReportRow.
struct ReportTexts {
  std::string ReportHeader;
  std::string ReportRow;
  std::string ReportFooter;
};

void ResetReportTemplates(ReportTexts& texts);

// Steps 1 to 7 of the print button: the templates reset; the book name
// (the books list's current TEXT when CheckBox2 is ticked, else empty), the
// from and to dates (the pickers' when their boxes are ticked, else the
// DATUM of the journal's first and last shown rows, empty when none is
// shown; this moves the journal) and the initial balance exactly as typed
// put into the header, escaped and in one pass, so that each prints as
// typed; the page footer into the footer as markup; both encoded with
// CzechToHtml.
void FillReportHeaderAndFooter(ReportTexts& texts, app::Ledger& ledger, const SearchCriteria& criteria,
                               std::string_view initialBalance);

// One block per shown row, in journal order from the first shown row: a
// copy of ReportRow with ID, DATUM, IDK, IDM, TEXT, PLUS, MINUS and ZUSTATEK
// put in place of xxx0 ... xxx7 in one pass (each the field's text escaped
// and followed by "&nbsp;", an empty field giving "&nbsp;" alone), encoded
// with CzechToHtml and written. A TEXT prints as typed: "<" in it shows as
// "<", and a marker in it stays a marker. The journal ends at its end.
void WriteReportRows(ledger::Dataset& journal, const ReportTexts& texts, std::ostream& out);

// Steps 1 to 8: the page written to file, replacing a file of that name:
// the filled header, the rows and the footer. Throws "Cannot create file
// %s" when the file cannot be created (before any row is walked) and
// "Cannot write file %s" when the bytes do not all reach it; on any failure
// no file is left behind, so that half a page never prints as a whole one.
void WriteReport(ReportTexts& texts, app::Ledger& ledger, const SearchCriteria& criteria,
                 std::string_view initialBalance, const std::filesystem::path& file);

// The print button (BitBtn2): the page written to folder/fileName and the
// browser started on it. On a failure no browser starts.
void PrintReport(ReportTexts& texts, app::Ledger& ledger, const SearchCriteria& criteria,
                 std::string_view initialBalance, const std::filesystem::path& folder,
                 const std::filesystem::path& fileName, const BrowserCall& browser);

}  // namespace print
