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
#include "print/csv_export.h"
#include "print/overview.h"
#include "print/voucher.h"
#include "text/cp1250.h"
#include "text/error.h"

namespace cli {

namespace fs = std::filesystem;

namespace {

// The settings as the windows start with them: a settings file that cannot
// be read is reported and the defaults stay.
app::Settings readSettings(const Invocation& inv, const text::Regional& regional, Output& io) {
  app::Settings settings = app::Settings::defaults(regional, text::Date::today());
  app::LineReader reader;
  try {
    app::ReadSettingsFile(inv.workDir / app::kSettingsFileName, reader, settings);
  } catch (const mincar::Error& e) {
    io.err << text::toUtf8(e.what()) << "\n";
  }
  return settings;
}

struct PagePlace {
  fs::path folder;
  fs::path name;
};

// -o FILE, or out.htm in DIR. The browser is given the page's folder as the
// system names it, as the windows give it the working folder.
PagePlace pagePlace(const Invocation& inv) {
  const std::string* fileArg = inv.args.find("-o");
  const fs::path file = fileArg ? fs::path(*fileArg) : inv.workDir / "out.htm";
  const fs::path absolute = fs::absolute(file);
  return {fs::weakly_canonical(absolute.parent_path()), absolute.filename()};
}

}  // namespace

int cmdVoucher(const Invocation& inv, Output& io) {
  const std::vector<std::string>& words = inv.args.words;
  if (words.empty()) throw UsageError("voucher needs a journal row ID");
  const bool openBrowser = inv.args.has("--open");
  const text::Regional regional = text::Regional::fromEnvironment();
  const RowId id = rowIdArg("ID", words[0], regional);

  Session session(inv.workDir, io, regional, Use::Read);
  app::Ledger& ledger = session.ledger();
  standOnRow(ledger.journal(), id, "journal row");

  const app::Settings settings = readSettings(inv, regional, io);
  print::VoucherFields fields;
  fields.organisation = settings.firma;
  fields.issuedBy = settings.vystavil;
  fields.approvedBy = settings.schvalil;
  fields.receivedBy = settings.prevzal;
  print::FillVoucherFromRow(ledger.journal(), fields);

  const PagePlace page = pagePlace(inv);
  if (openBrowser) {
    print::ShellLauncher launcher;
    print::PrintVoucher(fields, regional, page.folder, page.name,
                        {settings.browser, settings.filespec, ledger.status(), launcher});
  } else {
    print::WritePageFile(page.folder / page.name, print::VoucherPage(fields, regional));
  }
  session.finish();
  return 0;
}

namespace {

// The search dialog's criteria as the page verbs take them: each option is
// one criterion in force. Checked before anything is touched.
struct CriteriaOptions {
  print::SearchCriteria criteria;
  std::optional<RowId> move;
  std::optional<RowId> book;
};

CriteriaOptions parseCriteria(const Arguments& o, const text::Regional& regional) {
  CriteriaOptions parsed;
  print::SearchCriteria& criteria = parsed.criteria;
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
  if (auto* a = o.find("--move")) parsed.move = rowIdArg("--move", *a, regional);
  if (auto* a = o.find("--book")) parsed.book = rowIdArg("--book", *a, regional);
  return parsed;
}

// The dialog's boxes ticked with the lists standing on the chosen rows, and
// the journal filtered.
print::SearchCriteria applyCriteria(app::Ledger& ledger, print::BookSearch& search, const CriteriaOptions& parsed) {
  print::SearchCriteria criteria = parsed.criteria;
  if (parsed.move) {
    standOnRow(ledger.moves(), *parsed.move, "movement");
    criteria.moveOn = true;
  }
  if (parsed.book) {
    standOnRow(ledger.books(), *parsed.book, "book");
    criteria.bookOn = true;
  }
  search.setCriteria(criteria);
  search.ApplyFilter();
  return criteria;
}

}  // namespace

int cmdReport(const Invocation& inv, Output& io) {
  const Arguments& o = inv.args;
  const bool recompute = o.has("--recompute");
  const bool openBrowser = o.has("--open");
  const text::Regional regional = text::Regional::fromEnvironment();

  // Every argument is checked before anything is touched.
  const CriteriaOptions parsed = parseCriteria(o, regional);
  // The initial balance is printed as typed; only the recomputation reads
  // it as a number.
  std::string start = "0";
  if (auto* a = o.find("--start")) {
    start = textArg("--start", *a);
    if (recompute) parseNumberArg("--start", *a, regional);
  }

  // Only a recomputation of the shown balances writes.
  Session session(inv.workDir, io, regional, recompute ? Use::Change : Use::Read);
  app::Ledger& ledger = session.ledger();
  // The dialog exists from here on: the journal's filter is its own.
  print::BookSearch search(ledger);
  const print::SearchCriteria criteria = applyCriteria(ledger, search, parsed);
  if (recompute) search.RecomputeShownBalances(start);

  const PagePlace page = pagePlace(inv);
  print::ReportTexts texts;
  if (openBrowser) {
    // The browser of prop1.txt.
    const app::Settings settings = readSettings(inv, regional, io);
    print::ShellLauncher launcher;
    print::PrintReport(texts, ledger, criteria, start, page.folder, page.name,
                       {settings.browser, settings.filespec, ledger.status(), launcher});
  } else {
    print::WriteReport(texts, ledger, criteria, start, page.folder / page.name);
  }
  session.finish();
  return 0;
}

int cmdOverview(const Invocation& inv, Output& io) {
  const bool openBrowser = inv.args.has("--open");
  const text::Regional regional = text::Regional::fromEnvironment();
  const CriteriaOptions parsed = parseCriteria(inv.args, regional);

  Session session(inv.workDir, io, regional, Use::Read);
  app::Ledger& ledger = session.ledger();
  print::BookSearch search(ledger);
  applyCriteria(ledger, search, parsed);

  const PagePlace page = pagePlace(inv);
  if (openBrowser) {
    const app::Settings settings = readSettings(inv, regional, io);
    print::ShellLauncher launcher;
    print::PrintOverview(search, page.folder, page.name,
                         {settings.browser, settings.filespec, ledger.status(), launcher});
  } else {
    print::WriteOverview(search, page.folder / page.name);
  }
  session.finish();
  return 0;
}

int cmdExport(const Invocation& inv, Output& io) {
  const std::string* fileArg = inv.args.find("-o");
  if (fileArg == nullptr) throw UsageError("export needs -o FILE.csv");
  const text::Regional regional = text::Regional::fromEnvironment();
  const CriteriaOptions parsed = parseCriteria(inv.args, regional);

  Session session(inv.workDir, io, regional, Use::Read);
  app::Ledger& ledger = session.ledger();
  print::BookSearch search(ledger);
  applyCriteria(ledger, search, parsed);
  // A relative name is taken in the folder the command runs in, as -o of
  // the pages.
  const std::int64_t rows = print::WriteCsvExport(ledger, std::filesystem::absolute(*fileArg));
  io.out << rows << "\n";
  session.finish();
  return 0;
}

}  // namespace cli
