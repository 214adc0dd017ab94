#pragma once
// What the tests of the printed pages share: the golden pages, the tables of
// a ledger as an earlier run left them, the ledger opened on its own folder,
// prop1.txt, and a page shown by a real browser.

#include <gtest/gtest.h>

#include <cstdlib>
#include <filesystem>
#include <initializer_list>
#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "app/ledger.h"
#include "app/status_line.h"
#include "ledger/dataset.h"
#include "ledger/ledger_tables.h"
#include "print/book_search.h"
#include "test_support.h"
#include "text/cp1250.h"
#include "text/regional.h"

namespace testing_support {

inline std::filesystem::path goldenFile(const std::string& name) {
  return std::filesystem::path(MINCAR_SOURCE_DIR) / "tests" / "print" / "golden" / name;
}

// Compares with a golden file; MINCAR_UPDATE_GOLDEN=1 writes it instead,
// to be read and checked by eye before it is kept.
inline void expectGolden(const std::string& name, const std::string& bytes) {
  if (const char* update = std::getenv("MINCAR_UPDATE_GOLDEN"); update && *update == '1') {
    writeFile(goldenFile(name), bytes);
  }
  EXPECT_EQ(bytes, readFile(goldenFile(name))) << name;
}

// A journal row; the columns left out stay empty.
struct JournalRow {
  double id = 0;
  std::optional<double> idk{};
  std::optional<double> idm{};
  std::optional<text::Date> datum{};
  const char* text = "";  // UTF-8
  std::optional<double> plus{};
  std::optional<double> minus{};
  std::optional<double> zustatek{};
};

// A row of the books or the movements list.
struct ListRow {
  std::optional<double> id{};
  const char* text = "";  // UTF-8
};

inline void setIf(ledger::Dataset& table, int column, const std::optional<double>& value) {
  if (value) table.field(column).setAsFloat(*value);
}

// Rows added to a list table of dir, without the new-row rules.
inline void seedList(const std::filesystem::path& dir, ledger::LedgerTable table, const std::vector<ListRow>& rows) {
  ledger::Dataset list("seed", ledger::tablePath(dir, table), text::Regional::czech());
  list.open();
  for (const ListRow& row : rows) {
    list.append();
    setIf(list, ledger::books::ID, row.id);  // the lists share their first two columns
    list.field(ledger::books::TEXT).setAsString(text::toCp1250(row.text));
    list.post();
  }
}

// Rows added to the journal of dir, without the new-row rules.
inline void seedJournal(const std::filesystem::path& dir, const std::vector<JournalRow>& rows) {
  namespace J = ledger::journal;
  ledger::Dataset journal("seed", ledger::tablePath(dir, ledger::LedgerTable::Journal), text::Regional::czech());
  journal.open();
  for (const JournalRow& row : rows) {
    journal.append();
    journal.field(J::ID).setAsFloat(row.id);
    setIf(journal, J::IDK, row.idk);
    setIf(journal, J::IDM, row.idm);
    if (row.datum) journal.field(J::DATUM).setValue(*row.datum);
    journal.field(J::TEXT).setAsString(text::toCp1250(row.text));
    setIf(journal, J::PLUS, row.plus);
    setIf(journal, J::MINUS, row.minus);
    setIf(journal, J::ZUSTATEK, row.zustatek);
    journal.post();
  }
}

// The tables as an earlier run left them, written before the ledger opens.
inline void seedLedger(const std::filesystem::path& dir, const std::vector<JournalRow>& journal,
                       const std::vector<ListRow>& books, const std::vector<ListRow>& moves = {}) {
  ledger::createMissingTables(dir);
  seedList(dir, ledger::LedgerTable::Books, books);
  seedList(dir, ledger::LedgerTable::Moves, moves);
  seedJournal(dir, journal);
}

// The ledger of the golden report page: two books, and journal rows with
// Czech letters, markup, a row without a date and one without amounts.
inline const std::vector<JournalRow> kGoldenReportJournal = {
    {.id = 1, .idk = 1, .idm = 2, .datum = text::Date{2026, 12, 1}, .text = "Výplata za listopad", .plus = 38250},
    {.id = 2, .idk = 1, .idm = 3, .datum = text::Date{2026, 12, 2}, .text = "Nákup: žluťoučký kůň úpěl ďábelské ódy",
     .minus = 1250.5},
    {.id = 3, .idk = 2, .idm = 3, .datum = text::Date{2026, 12, 2}, .text = "Jiná kniha", .minus = 10},
    {.id = 4, .idk = 1, .idm = 4, .text = "<b>Řádek bez data</b> & 100 % xxx7", .plus = 12.5, .minus = 0.25},
    {.id = 5, .idk = 1, .datum = text::Date{2026, 12, 31}, .text = "Ďáblice, Ňůžkov, Ťápkov, Ľubochňa"},
};
inline const std::vector<ListRow> kGoldenReportBooks = {{1, "Hotovost – Šťastná rodina"}, {2, "Banka"}};

// The ledger of the golden report page of hostile texts: markup, ampersands,
// a byte that is no Czech letter (‹, 0x8B) and markers in the book name and
// the rows' texts, all to be printed as typed. Shown with book 1 chosen.
inline const std::vector<JournalRow> kHostileReportJournal = {
    {.id = 1, .idk = 1, .idm = 2, .datum = text::Date{2026, 12, 1}, .text = "<script>alert(1)</script>", .plus = 100},
    {.id = 2, .idk = 1, .idm = 3, .datum = text::Date{2026, 12, 2}, .text = "Tom & Jerry &amp; spol.", .minus = 10.5},
    {.id = 3, .idk = 1, .idm = 3, .datum = text::Date{2026, 12, 3}, .text = "‹ZŠ Úvoz> – Šťastná", .minus = 1},
    {.id = 4, .idk = 1, .datum = text::Date{2026, 12, 4}, .text = "xxx0 xxx5 xxx7 xxx4", .plus = 5, .zustatek = 93.5},
    {.id = 5, .idk = 2, .datum = text::Date{2026, 12, 5}, .text = "<b>jiná kniha</b>"},
};
inline const std::vector<ListRow> kHostileReportBooks = {{1, "‹ZŠ Úvoz> & <script>alert(1)</script> xxx3"},
                                                         {2, "Banka"}};
// The initial balance typed for that page.
inline constexpr const char* kHostileReportStart = "<i>0</i> xxx1";

// The search dialog's criteria with only the text filled in.
inline print::SearchCriteria withText(const char* utf8) {
  print::SearchCriteria criteria;
  criteria.text = text::toCp1250(utf8);
  return criteria;
}

// A folder of its own with the ledger opened on it as the program does; the
// search dialog once a test creates it.
class LedgerFolderTest : public ::testing::Test {
 protected:
  void openLedger() {
    ledger_ = std::make_unique<app::Ledger>(dir_.path(), text::Regional::czech(), status_);
    ledger_->open();
  }

  TempDir dir_;
  app::RecordingStatusLine status_;
  std::unique_ptr<app::Ledger> ledger_;
  std::unique_ptr<print::BookSearch> search_;
};

// The settings of prop1.txt, in UTF-8.
struct PrintSettings {
  std::string firma = " ";
  std::string vystavil = " ";
  std::string schvalil = " ";
  std::string prevzal = " ";
  std::string datumOd = "1.12.2026";
  std::string datumDo = "31.12.2026";
  std::string browser;
  std::string fileSpec = "File://";
};

// prop1.txt as the windows write it: Windows-1250, LF CR.
inline void writePrintSettings(const std::filesystem::path& dir, const PrintSettings& settings) {
  const std::string lines[8][2] = {
      {"Firma =", settings.firma},       {"Vystavil =", settings.vystavil}, {"Schvalil =", settings.schvalil},
      {"Prevzal =", settings.prevzal},   {"Datum od =", settings.datumOd},  {"Datum do =", settings.datumDo},
      {"Browser =", settings.browser},   {"Filespec =", settings.fileSpec}};
  std::string bytes;
  for (const auto& line : lines) bytes += line[0] + ";" + line[1] + ";\n\r";
  writeFile(dir / "prop1.txt", text::toCp1250(bytes));
}

// Why a page cannot be shown in a real browser here, or "" when it can.
inline std::string missingBrowserProgram() {
  for (const char* program : {"/usr/bin/chromium", "/usr/bin/pdftotext"}) {
    if (!std::filesystem::exists(program)) {
      return std::string(program) + " is not installed (Debian: chromium, poppler-utils)";
    }
  }
  return "";
}

// The page at url as headless Chromium prints it to pdf, read back as UTF-8
// text. Check with ASSERT_NO_FATAL_FAILURE.
inline void textInBrowser(const std::string& url, const std::filesystem::path& pdf, std::string& shown) {
  TempDir profile;
  const RunResult rendered = run(
      "/usr/bin/chromium", {"--headless", "--no-sandbox", "--disable-gpu", "--disable-background-networking",
                            "--disable-component-update", "--disable-sync", "--no-first-run",
                            "--user-data-dir=" + profile.path().string(), "--no-pdf-header-footer",
                            "--print-to-pdf=" + pdf.string(), url});
  ASSERT_TRUE(std::filesystem::exists(pdf)) << rendered.err;
  const RunResult extracted = run("/usr/bin/pdftotext", {"-raw", pdf.string(), "-"});
  ASSERT_EQ(extracted.exitCode, 0) << extracted.err;
  shown = extracted.out;
}

}  // namespace testing_support
