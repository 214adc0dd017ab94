#include "cli/commands.h"

#include <chrono>
#include <filesystem>
#include <initializer_list>
#include <map>
#include <optional>
#include <string_view>

#include "app/ledger.h"
#include "app/settings.h"
#include "app/status_line.h"
#include "app/textio.h"
#include "backup/backup_commands.h"
#include "backup/record_text.h"
#include "ledger/dataset.h"
#include "ledger/ledger_tables.h"
#include "print/browser.h"
#include "print/book_report.h"
#include "print/book_search.h"
#include "print/voucher.h"
#include "text/cp1250.h"
#include "text/date.h"
#include "text/error.h"
#include "text/regional.h"

namespace cli {

namespace fs = std::filesystem;

namespace {

struct Invocation {
  fs::path workDir = ".";
  std::string command;
  std::vector<std::string> rest;
};

Invocation parse(const std::vector<std::string>& args) {
  Invocation inv;
  size_t i = 0;
  while (i < args.size()) {
    const std::string& a = args[i];
    if (a == "-C") {
      if (i + 1 >= args.size()) throw UsageError("-C needs a folder");
      inv.workDir = args[i + 1];
      i += 2;
    } else if (a == "-h" || a == "--help") {
      inv.command = "help";
      return inv;
    } else {
      break;
    }
  }
  if (i >= args.size()) throw UsageError("no command given");
  inv.command = args[i++];
  inv.rest.assign(args.begin() + static_cast<long>(i), args.end());
  return inv;
}

// "--name VALUE" pairs and the words between them.
struct Options {
  std::map<std::string, std::string, std::less<>> values;
  std::vector<std::string> words;

  const std::string* find(std::string_view name) const {
    auto it = values.find(name);
    return it == values.end() ? nullptr : &it->second;
  }
};

Options parseOptions(const std::string& command, const std::vector<std::string>& args,
                     std::initializer_list<std::string_view> known) {
  Options o;
  for (size_t i = 0; i < args.size(); ++i) {
    const std::string& a = args[i];
    if (a.size() < 2 || a.compare(0, 2, "--") != 0) {
      o.words.push_back(a);
      continue;
    }
    bool isKnown = false;
    for (std::string_view k : known) isKnown = isKnown || a == k;
    if (!isKnown) throw UsageError("unknown option '" + a + "' for " + command);
    if (i + 1 >= args.size()) throw UsageError(a + " needs a value");
    if (o.values.count(a)) throw UsageError(a + " given twice");
    o.values[a] = args[++i];
  }
  return o;
}

ledger::LedgerTable tableByName(const std::string& name) {
  static const std::map<std::string, ledger::LedgerTable> names = {
      {"journal", ledger::LedgerTable::Journal},
      {"books", ledger::LedgerTable::Books},
      {"moves", ledger::LedgerTable::Moves},
  };
  auto it = names.find(name);
  if (it == names.end()) throw UsageError("unknown table '" + name + "' (journal, books or moves)");
  return it->second;
}

// The status line of the command line: the texts go to standard error, every
// one of them (at a steady rate) while a terminal watches, the last one when
// the command has succeeded.
class CliStatusLine : public app::StatusLine {
 public:
  explicit CliStatusLine(Output& io) : io_(io) {}

  void show(std::string_view text) override {
    last_.assign(text);
    if (!io_.progress) return;
    auto now = std::chrono::steady_clock::now();
    if (now - lastPaint_ < std::chrono::milliseconds(100)) return;
    lastPaint_ = now;
    // Carriage return and erase-to-end keep the progress on one line.
    io_.err << '\r' << text::toUtf8(last_) << "\x1b[K" << std::flush;
  }
  std::string text() const override { return last_; }

  void finish() {
    if (io_.progress) io_.err << "\r\x1b[K";
    if (!last_.empty()) io_.err << text::toUtf8(last_) << "\n";
    io_.err.flush();
  }

 private:
  Output& io_;
  std::string last_;
  std::chrono::steady_clock::time_point lastPaint_{};
};

// What the engine had to repair on opening a table, on standard error: a
// count a crash left behind, or a damaged count repaired with the file as
// found kept beside it.
void reportRepairs(ledger::Dataset& table, Output& io) {
  for (const std::string& notice : {table.takeRepairNotice(), table.takeDamageNotice()}) {
    if (!notice.empty()) io.err << text::toUtf8(notice) << "\n";
  }
}

// One command's ledger: the same tables and rules the windows use, opened as
// at start-up (missing tables are created, the lists stand on their first
// rows, the calendar on today).
class Session {
 public:
  Session(const Invocation& inv, Output& io, const text::Regional& regional)
      : status_(io), ledger_(inv.workDir, regional, status_) {
    // A mistyped -C must not grow a fresh data folder somewhere.
    std::error_code ec;
    if (!fs::is_directory(inv.workDir, ec)) {
      throw mincar::Error(mincar::fill("Folder %s does not exist", {text::pathText(inv.workDir)}));
    }
    ledger_.open();
    // What the window shows after "Started...": a table the engine had to
    // repair on opening.
    for (ledger::Dataset* table : {&ledger_.journal(), &ledger_.moves(), &ledger_.books()}) {
      reportRepairs(*table, io);
    }
  }

  app::Ledger& ledger() { return ledger_; }
  void finish() { status_.finish(); }

 private:
  CliStatusLine status_;
  app::Ledger ledger_;
};

// A failure of one argument's value names the option it came with.
[[noreturn]] void rethrowFor(std::string_view option, const std::exception& e) {
  throw mincar::Error(std::string(option) + ": " + e.what());
}

// Text arguments arrive in UTF-8; the tables hold Windows-1250.
std::string textArg(std::string_view option, const std::string& arg) {
  try {
    return text::singleLine(text::toCp1250(arg));
  } catch (const mincar::Error& e) {
    rethrowFor(option, e);
  }
}

double parseNumberArg(std::string_view option, const std::string& arg,
                      const text::Regional& regional) {
  const std::string typed = textArg(option, arg);
  try {
    return text::parseFloat(typed, regional);
  } catch (const mincar::Error& e) {
    rethrowFor(option, e);
  }
}

text::Date parseDateArg(const std::string& arg, const text::Regional& regional) {
  const std::string typed = textArg("--date", arg);
  try {
    return text::parseDate(typed, regional);
  } catch (const mincar::Error& e) {
    rethrowFor("--date", e);
  }
}

// An ID that the command must find, as the user wrote it and as a number.
struct RowId {
  std::string text;
  double value = 0;
};

RowId rowIdArg(std::string_view option, const std::string& arg, const text::Regional& regional) {
  return RowId{arg, parseNumberArg(option, arg, regional)};
}

// Puts the cursor on the first row, in natural order, whose ID is id.
void standOnRow(ledger::Dataset& table, const RowId& id, std::string_view rowName) {
  const ledger::Field& idField = table.field(0);
  for (table.first(); !table.eof(); table.next()) {
    if (!idField.isNull() && idField.asFloat() == id.value) return;
  }
  // The ID parsed as a number, so its text is plain ASCII.
  throw mincar::Error(mincar::fill("No %s has ID %s", {rowName, id.text}));
}

// The values a command gives a row it has just appended. Should they fail to
// go in (another copy's lock outlasting the wait), the row is taken out again:
// the command reports a failure and must not leave a half-made row behind.
template <typename Work>
void fillNewRow(ledger::Dataset& table, Work work) {
  try {
    app::editStoredRow(table);
    work();
    table.post();
  } catch (...) {
    try {
      if (table.state() == ledger::DatasetState::Browse) app::editStoredRow(table);
      table.remove();
    } catch (...) {
      if (table.state() != ledger::DatasetState::Browse) table.cancel();
    }
    throw;
  }
}

void printId(Output& io, const ledger::Dataset& table) {
  io.out << text::toUtf8(table.field(0).asString()) << "\n";
}

// A pending edit that a failed command leaves behind is dropped, as the
// user's Esc would drop it, so that the row's lock is released.
template <typename Work>
void inOneEdit(ledger::Dataset& table, Work work) {
  try {
    work();
    if (table.state() != ledger::DatasetState::Browse) table.post();
  } catch (...) {
    if (table.state() != ledger::DatasetState::Browse) table.cancel();
    throw;
  }
}

int cmdInit(const Invocation& inv, Output& io) {
  if (!inv.rest.empty()) throw UsageError("init takes no arguments");
  for (const fs::path& p : ledger::createMissingTables(inv.workDir)) {
    io.out << "created " << p.string() << "\n";
  }
  return 0;
}

int cmdList(const Invocation& inv, Output& io) {
  if (inv.rest.size() != 1) throw UsageError("list needs one table: journal, books or moves");
  ledger::LedgerTable which = tableByName(inv.rest[0]);
  ledger::Dataset table("Table1", ledger::tablePath(inv.workDir, which),
                        text::Regional::fromEnvironment());
  table.open();
  reportRepairs(table, io);
  std::string lines;
  for (table.first(); !table.eof(); table.next()) {
    lines += backup::RecordToText(table);
    lines += '\n';
    if (lines.size() > (1u << 20)) {
      io.out << text::toUtf8(lines);
      lines.clear();
    }
  }
  io.out << text::toUtf8(lines);
  io.out.flush();
  return 0;
}

// add-book NAME / add-move NAME: the list's new-record rule, then the name
// typed into the new row.
int cmdAddListRow(const Invocation& inv, Output& io, bool books) {
  if (inv.rest.size() != 1) throw UsageError(inv.command + " needs one NAME");
  const std::string name = textArg("NAME", inv.rest[0]);
  Session session(inv, io, text::Regional::fromEnvironment());
  app::Ledger& ledger = session.ledger();
  ledger::Dataset& list = books ? ledger.books() : ledger.moves();
  const int nameColumn = books ? int{ledger::books::TEXT} : int{ledger::moves::TEXT};
  if (books) {
    ledger.newBook();
  } else {
    ledger.newMove();
  }
  fillNewRow(list, [&] { list.field(nameColumn).setAsString(name); });
  printId(io, list);
  session.finish();
  return 0;
}

int cmdAddRow(const Invocation& inv, Output& io) {
  Options o = parseOptions("add-row", inv.rest,
                           {"--book", "--move", "--date", "--text", "--plus", "--minus"});
  if (!o.words.empty()) throw UsageError("add-row takes no argument '" + o.words[0] + "'");
  const text::Regional regional = text::Regional::fromEnvironment();

  // Every argument is checked before anything is touched.
  std::optional<RowId> book, move;
  std::optional<text::Date> date;
  if (auto* a = o.find("--book")) book = rowIdArg("--book", *a, regional);
  if (auto* a = o.find("--move")) move = rowIdArg("--move", *a, regional);
  if (auto* a = o.find("--date")) date = parseDateArg(*a, regional);
  std::optional<std::string> rowText, plus, minus;
  if (auto* a = o.find("--text")) rowText = textArg("--text", *a);
  // The amounts are typed into the row as texts; parsed here only so that a
  // wrong one is refused before the row exists.
  if (auto* a = o.find("--plus")) {
    parseNumberArg("--plus", *a, regional);
    plus = textArg("--plus", *a);
  }
  if (auto* a = o.find("--minus")) {
    parseNumberArg("--minus", *a, regional);
    minus = textArg("--minus", *a);
  }

  Session session(inv, io, regional);
  app::Ledger& ledger = session.ledger();
  if (date) ledger.calendarDate = *date;
  if (book) {
    standOnRow(ledger.books(), *book, "book");
  } else {
    ledger.books().first();
  }
  if (move) {
    standOnRow(ledger.moves(), *move, "movement");
  } else {
    ledger.moves().first();
  }

  ledger.newJournalRow();
  ledger::Dataset& journal = ledger.journal();
  if (rowText || plus || minus) {
    fillNewRow(journal, [&] {
      // As a user types them into the row: the columns parse the amounts.
      if (rowText) journal.field(ledger::journal::TEXT).setAsString(*rowText);
      if (plus) journal.field(ledger::journal::PLUS).setAsString(*plus);
      if (minus) journal.field(ledger::journal::MINUS).setAsString(*minus);
    });
  }
  printId(io, journal);
  session.finish();
  return 0;
}

int cmdSet(const Invocation& inv, Output& io) {
  Options o = parseOptions("set", inv.rest, {"--book", "--move", "--date"});
  if (o.words.size() != 1) throw UsageError("set needs one journal row ID");
  if (o.values.empty()) throw UsageError("set needs --book, --move or --date");
  const text::Regional regional = text::Regional::fromEnvironment();

  const RowId row = rowIdArg("ID", o.words[0], regional);
  std::optional<RowId> book, move;
  std::optional<text::Date> date;
  if (auto* a = o.find("--book")) book = rowIdArg("--book", *a, regional);
  if (auto* a = o.find("--move")) move = rowIdArg("--move", *a, regional);
  if (auto* a = o.find("--date")) date = parseDateArg(*a, regional);

  Session session(inv, io, regional);
  app::Ledger& ledger = session.ledger();
  if (date) ledger.calendarDate = *date;
  if (book) standOnRow(ledger.books(), *book, "book");
  if (move) standOnRow(ledger.moves(), *move, "movement");
  standOnRow(ledger.journal(), row, "journal row");

  // The stamps go into one pending edit, stored when all have landed.
  inOneEdit(ledger.journal(), [&] {
    if (book) ledger.setBookOnJournal();
    if (move) ledger.setMoveOnJournal();
    if (date) ledger.setDateOnJournal();
  });
  session.finish();
  return 0;
}

int cmdDelete(const Invocation& inv, Output& io) {
  if (inv.rest.size() != 2) throw UsageError("delete needs a table (journal, books or moves) and an ID");
  const ledger::LedgerTable which = tableByName(inv.rest[0]);
  const text::Regional regional = text::Regional::fromEnvironment();
  const RowId id = rowIdArg("ID", inv.rest[1], regional);
  Session session(inv, io, regional);
  app::Ledger& ledger = session.ledger();
  switch (which) {
    case ledger::LedgerTable::Journal:
      standOnRow(ledger.journal(), id, "journal row");
      ledger.deleteJournalRow();
      break;
    case ledger::LedgerTable::Books:
      standOnRow(ledger.books(), id, "book");
      ledger.deleteBook();
      break;
    case ledger::LedgerTable::Moves:
      standOnRow(ledger.moves(), id, "movement");
      ledger.deleteMove();
      break;
  }
  session.finish();
  return 0;
}

int cmdRecompute(const Invocation& inv, Output& io) {
  if (!inv.rest.empty()) throw UsageError("recompute takes no arguments");
  Session session(inv, io, text::Regional::fromEnvironment());
  session.ledger().RecomputeBalances();
  session.finish();
  return 0;
}

// voucher ID [-o FILE] [--open]: the voucher dialog filled from journal row
// ID and the names in prop1.txt, and its print button.
int cmdVoucher(const Invocation& inv, Output& io) {
  std::optional<std::string> idArg;
  std::optional<std::string> fileArg;
  bool openBrowser = false;
  for (size_t i = 0; i < inv.rest.size(); ++i) {
    const std::string& a = inv.rest[i];
    if (a == "-o") {
      if (i + 1 >= inv.rest.size()) throw UsageError("-o needs a file");
      if (fileArg) throw UsageError("-o given twice");
      fileArg = inv.rest[++i];
    } else if (a == "--open") {
      openBrowser = true;
    } else if (a.size() >= 2 && a[0] == '-' && !(a[1] >= '0' && a[1] <= '9')) {
      throw UsageError("unknown option '" + a + "' for voucher");
    } else if (idArg) {
      throw UsageError("voucher takes one journal row ID, not '" + a + "' too");
    } else {
      idArg = a;
    }
  }
  if (!idArg) throw UsageError("voucher needs a journal row ID");
  const text::Regional regional = text::Regional::fromEnvironment();
  const RowId id = rowIdArg("ID", *idArg, regional);

  Session session(inv, io, regional);
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

// backup FILE / restore FILE: SaveBackup and RestoreBackup with FILE as
// the name chosen in their dialogs.
int cmdBackup(const Invocation& inv, Output& io) {
  if (inv.rest.size() != 1) throw UsageError("backup needs one FILE");
  Session session(inv, io, text::Regional::fromEnvironment());
  // The dialog hands over a full name, and the status line shows it.
  backup::SaveBackupTo(session.ledger(), fs::absolute(inv.rest[0]));
  session.finish();
  return 0;
}

int cmdRestore(const Invocation& inv, Output& io) {
  if (inv.rest.size() != 1) throw UsageError("restore needs one FILE");
  Session session(inv, io, text::Regional::fromEnvironment());
  backup::RestoreBackupFrom(session.ledger(), fs::absolute(inv.rest[0]));
  session.finish();
  return 0;
}

// A date option's value; a failure names the option.
text::Date parseDateOption(std::string_view option, const std::string& arg, const text::Regional& regional) {
  const std::string typed = textArg(option, arg);
  try {
    return text::parseDate(typed, regional);
  } catch (const mincar::Error& e) {
    rethrowFor(option, e);
  }
}

// report [--from DATE] [--to DATE] [--text TEXT] [--move ID] [--book ID] [--start X]
// [--recompute] [-o FILE] [--open]: the search dialog with one criterion in
// force per option (the lists standing on the rows with those IDs), its
// recompute button and its print button.
int cmdReport(const Invocation& inv, Output& io) {
  std::map<std::string, std::string, std::less<>> values;
  std::optional<std::string> fileArg;
  bool recompute = false;
  bool openBrowser = false;
  for (size_t i = 0; i < inv.rest.size(); ++i) {
    const std::string& a = inv.rest[i];
    if (a == "--recompute") {
      recompute = true;
    } else if (a == "--open") {
      openBrowser = true;
    } else if (a == "-o" || a == "--from" || a == "--to" || a == "--text" || a == "--move" ||
               a == "--book" || a == "--start") {
      // The value is the next word whatever it looks like: a filter text
      // may begin with a dash.
      if (i + 1 >= inv.rest.size()) throw UsageError(a + (a == "-o" ? " needs a file" : " needs a value"));
      if (a == "-o" ? fileArg.has_value() : values.count(a) != 0) throw UsageError(a + " given twice");
      if (a == "-o") {
        fileArg = inv.rest[++i];
      } else {
        values[a] = inv.rest[++i];
      }
    } else if (a.size() >= 2 && a[0] == '-') {
      throw UsageError("unknown option '" + a + "' for report");
    } else {
      throw UsageError("report takes no argument '" + a + "'");
    }
  }
  auto find = [&values](std::string_view name) -> const std::string* {
    auto it = values.find(name);
    return it == values.end() ? nullptr : &it->second;
  };
  const text::Regional regional = text::Regional::fromEnvironment();

  // Every argument is checked before anything is touched.
  print::SearchCriteria criteria;
  if (auto* a = find("--from")) {
    criteria.fromDate = parseDateOption("--from", *a, regional);
    criteria.fromDateOn = true;
  }
  if (auto* a = find("--to")) {
    criteria.toDate = parseDateOption("--to", *a, regional);
    criteria.toDateOn = true;
  }
  // An empty text is no criterion, as an empty filter field is none.
  if (auto* a = find("--text")) criteria.text = textArg("--text", *a);
  std::optional<RowId> move, book;
  if (auto* a = find("--move")) move = rowIdArg("--move", *a, regional);
  if (auto* a = find("--book")) book = rowIdArg("--book", *a, regional);
  // The initial balance is printed as typed; only the recomputation reads
  // it as a number.
  std::string start = "0";
  if (auto* a = find("--start")) {
    start = textArg("--start", *a);
    if (recompute) parseNumberArg("--start", *a, regional);
  }

  Session session(inv, io, regional);
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

void printHelp(Output& io) {
  io.out << kUsageLine << "\n\n"
         << "  -C DIR     work in DIR, the folder that holds data/ and prop1.txt\n"
         << "  init       create data/ and every missing table; tables that exist are left alone\n"
         << "  list journal|books|moves\n"
         << "             print every row in natural order, each column followed by ';'\n"
         << "  add-book NAME, add-move NAME\n"
         << "             append a book or a movement kind by its new-record rule and name it;\n"
         << "             prints the new ID\n"
         << "  add-row [--book ID] [--move ID] [--date DATE] [--text TEXT] [--plus X] [--minus Y]\n"
         << "             append a journal row by the new-row rule, with the lists on the rows\n"
         << "             with these IDs (default: their first rows) and the calendar on DATE\n"
         << "             (default: today), then type the text and amounts into it; prints the\n"
         << "             new ID\n"
         << "  set ID [--book ID] [--move ID] [--date DATE]\n"
         << "             stamp the book, the movement or the date on journal row ID\n"
         << "  delete journal|books|moves ID\n"
         << "             delete the first row, in natural order, whose ID is ID\n"
         << "  recompute  recompute every row's balance and every book's closing balance\n"
         << "  backup FILE\n"
         << "             write a backup of all three tables to FILE (\".txu\" is appended\n"
         << "             when the name does not hold it); an earlier FILE stays until the\n"
         << "             new one is complete\n"
         << "  restore FILE\n"
         << "             replace all three tables from the backup FILE; a file that does not\n"
         << "             read through whole, or a table another user has open, changes nothing\n"
         << "  voucher ID [-o FILE] [--open]\n"
         << "             write the cash voucher page of journal row ID with the names in\n"
         << "             prop1.txt to FILE (default: out.htm in DIR); --open starts the\n"
         << "             browser of prop1.txt on it\n"
         << "  report [--from DATE] [--to DATE] [--text TEXT] [--move ID] [--book ID] [--start X]\n"
         << "         [--recompute] [-o FILE] [--open]\n"
         << "             filter the journal like the search dialog (each option is one criterion\n"
         << "             in force; --move and --book compare with those IDs), with --recompute\n"
         << "             recompute the shown rows' balances from X (default 0), and write the\n"
         << "             cash-book report to FILE (default: out.htm in DIR); --open starts the\n"
         << "             browser of prop1.txt on it\n"
         << "\nDates and numbers follow the regional settings (Czech settings when the\n"
         << "locale names none: 7.12.2026, decimal comma). Exit status: 0 done, 1 failed,\n"
         << "2 wrong usage.\n";
}

}  // namespace

int run(const std::vector<std::string>& args, Output& io) {
  Invocation inv = parse(args);
  if (inv.command == "help") {
    printHelp(io);
    return 0;
  }
  if (inv.command == "init") return cmdInit(inv, io);
  if (inv.command == "list") return cmdList(inv, io);
  if (inv.command == "add-book") return cmdAddListRow(inv, io, true);
  if (inv.command == "add-move") return cmdAddListRow(inv, io, false);
  if (inv.command == "add-row") return cmdAddRow(inv, io);
  if (inv.command == "set") return cmdSet(inv, io);
  if (inv.command == "delete") return cmdDelete(inv, io);
  if (inv.command == "recompute") return cmdRecompute(inv, io);
  if (inv.command == "backup") return cmdBackup(inv, io);
  if (inv.command == "restore") return cmdRestore(inv, io);
  if (inv.command == "voucher") return cmdVoucher(inv, io);
  if (inv.command == "report") return cmdReport(inv, io);
  throw UsageError("unknown command '" + inv.command + "'");
}

}  // namespace cli
