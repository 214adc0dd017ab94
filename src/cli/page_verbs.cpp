#include "cli/page_verbs.h"

#include <optional>

#include "app/ledger.h"
#include "app/settings.h"
#include "app/textio.h"
#include "cli/row_id.h"
#include "cli/session.h"
#include "print/book_report.h"
#include "print/book_search.h"
#include "print/browser.h"
#include "print/voucher.h"
#include "text/cp1250.h"
#include "text/error.h"

namespace cli {

namespace fs = std::filesystem;

int cmdVoucher(const Invocation& inv, Output& io) {
  const std::vector<std::string>& words = inv.args.words;
  if (words.empty()) throw UsageError("voucher needs a journal row ID");
  const std::string* fileArg = inv.args.find("-o");
  const bool openBrowser = inv.args.has("--open");
  const text::Regional regional = text::Regional::fromEnvironment();
  const RowId id = rowIdArg("ID", words[0], regional);

  Session session(inv.workDir, io, regional);
  app::Ledger& ledger = session.ledger();
  standOnRow(ledger.journal(), id, "journal row");

  // The names as the windows would start with them: a settings file that
  // cannot be read is reported and the defaults stay.
  app::Settings settings = app::Settings::defaults(regional, text::Date::today());
  app::LineReader reader;
  try {
    app::ReadSettingsFile(inv.workDir / app::kSettingsFileName, reader, settings);
  } catch (const mincar::Error& e) {
    io.err << text::toUtf8(e.what()) << "\n";
  }
  print::VoucherFields fields;
  fields.organisation = settings.firma;
  fields.issuedBy = settings.vystavil;
  fields.approvedBy = settings.schvalil;
  fields.receivedBy = settings.prevzal;
  print::FillVoucherFromRow(ledger.journal(), fields);

  // The browser is given the page's folder as the system names it, as the
  // windows give it the working folder.
  const fs::path file = fileArg ? fs::path(*fileArg) : inv.workDir / "out.htm";
  const fs::path absolute = fs::absolute(file);
  const fs::path folder = fs::weakly_canonical(absolute.parent_path());
  const fs::path name = absolute.filename();
  if (openBrowser) {
    print::ShellLauncher launcher;
    print::PrintVoucher(fields, regional, folder, name,
                        {settings.browser, settings.filespec, ledger.status(), launcher});
  } else {
    print::WritePageFile(folder / name, print::VoucherPage(fields, regional));
  }
  session.finish();
  return 0;
}

int cmdReport(const Invocation& inv, Output& io) {
  const Arguments& o = inv.args;
  const std::string* fileArg = o.find("-o");
  const bool recompute = o.has("--recompute");
  const bool openBrowser = o.has("--open");
  const text::Regional regional = text::Regional::fromEnvironment();

  // Every argument is checked before anything is touched.
  print::SearchCriteria criteria;
  if (auto* a = o.find("--from")) {
    criteria.fromDate = parseDateArg("--from", *a, regional);
    criteria.fromDateOn = true;
  }
  if (auto* a = o.find("--to")) {
    criteria.toDate = parseDateArg("--to", *a, regional);
    criteria.toDateOn = true;
  }
  // An empty text is no criterion, as an empty filter field is none.
  if (auto* a = o.find("--text")) criteria.text = textArg("--text", *a);
  std::optional<RowId> move, book;
  if (auto* a = o.find("--move")) move = rowIdArg("--move", *a, regional);
  if (auto* a = o.find("--book")) book = rowIdArg("--book", *a, regional);
  // The initial balance is printed as typed; only the recomputation reads
  // it as a number.
  std::string start = "0";
  if (auto* a = o.find("--start")) {
    start = textArg("--start", *a);
    if (recompute) parseNumberArg("--start", *a, regional);
  }

  Session session(inv.workDir, io, regional);
  app::Ledger& ledger = session.ledger();
  // The dialog exists from here on: the journal's filter is its own.
  print::BookSearch search(ledger);
  if (move) {
    standOnRow(ledger.moves(), *move, "movement");
    criteria.moveOn = true;
  }
  if (book) {
    standOnRow(ledger.books(), *book, "book");
    criteria.bookOn = true;
  }
  search.setCriteria(criteria);
  search.ApplyFilter();
  if (recompute) search.RecomputeShownBalances(start);

  // The page's folder as the system names it, as for the voucher.
  const fs::path file = fileArg ? fs::path(*fileArg) : inv.workDir / "out.htm";
  const fs::path absolute = fs::absolute(file);
  const fs::path folder = fs::weakly_canonical(absolute.parent_path());
  const fs::path name = absolute.filename();
  print::ReportTexts texts;
  if (openBrowser) {
    // The browser of prop1.txt; a settings file that cannot be read is
    // reported and the defaults stay.
    app::Settings settings = app::Settings::defaults(regional, text::Date::today());
    app::LineReader reader;
    try {
      app::ReadSettingsFile(inv.workDir / app::kSettingsFileName, reader, settings);
    } catch (const mincar::Error& e) {
      io.err << text::toUtf8(e.what()) << "\n";
    }
    print::ShellLauncher launcher;
    print::PrintReport(texts, ledger, criteria, start, folder, name,
                       {settings.browser, settings.filespec, ledger.status(), launcher});
  } else {
    print::WriteReport(texts, ledger, criteria, start, folder / name);
  }
  session.finish();
  return 0;
}

}  // namespace cli
