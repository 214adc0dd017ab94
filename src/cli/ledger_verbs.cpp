#include "cli/ledger_verbs.h"

#include <charconv>
#include <map>
#include <optional>

#include "app/ledger.h"
#include "app/textio.h"
#include "backup/record_text.h"
#include "cli/row_id.h"
#include "cli/session.h"
#include "ledger/dataset.h"
#include "ledger/ledger_tables.h"
#include "text/cp1250.h"

namespace cli {

namespace fs = std::filesystem;

namespace {

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

// A new row by the table's rule. Should the rule fail after it stored the
// row (a table whose columns are not the rule's), the row is taken out
// again, as fillNewRow does: a failed command leaves no half-made row.
template <typename Append>
void appendByRule(ledger::Dataset& table, Append append) {
  const std::int64_t before = table.isEmpty() ? -1 : table.recordNumber();
  try {
    append();
  } catch (...) {
    try {
      if (table.state() != ledger::DatasetState::Browse) table.cancel();
      if (!table.isEmpty() && table.recordNumber() != before) table.remove();
    } catch (...) {
      // The first error is the one to report.
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

int cmdAddListRow(const Invocation& inv, Output& io, bool books) {
  if (inv.args.words.size() != 1) throw UsageError(inv.command + " needs one NAME");
  const std::string name = textArg("NAME", inv.args.words[0]);
  Session session(inv.workDir, io, text::Regional::fromEnvironment());
  app::Ledger& ledger = session.ledger();
  ledger::Dataset& list = books ? ledger.books() : ledger.moves();
  const int nameColumn = books ? int{ledger::books::TEXT} : int{ledger::moves::TEXT};
  appendByRule(list, [&] { books ? ledger.newBook() : ledger.newMove(); });
  fillNewRow(list, [&] { list.field(nameColumn).setAsString(name); });
  printId(io, list);
  session.finish();
  return 0;
}

}  // namespace

int cmdInit(const Invocation& inv, Output& io) {
  if (!inv.args.words.empty()) throw UsageError("init takes no arguments");
  for (const fs::path& p : ledger::createMissingTables(inv.workDir)) {
    io.out << "created " << p.string() << "\n";
  }
  return 0;
}

int cmdList(const Invocation& inv, Output& io) {
  if (inv.args.words.size() != 1) throw UsageError("list needs one table: journal, books or moves");
  ledger::LedgerTable which = tableByName(inv.args.words[0]);
  ledger::Dataset table("Table1", ledger::tablePath(inv.workDir, which),
                        text::Regional::fromEnvironment());
  table.setReadOnly(true);
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

int cmdDeleted(const Invocation& inv, Output& io) {
  if (inv.args.words.size() != 1) throw UsageError("deleted needs one table: journal, books or moves");
  const ledger::LedgerTable which = tableByName(inv.args.words[0]);
  ledger::Dataset table("Table1", ledger::tablePath(inv.workDir, which), text::Regional::fromEnvironment());
  table.setReadOnly(true);
  table.open();
  reportRepairs(table, io);
  std::string lines;
  for (const std::int64_t record : table.deletedRecords()) {
    lines += std::to_string(record + 1);
    lines += '\t';
    lines += backup::RecordToText(table, record);
    lines += '\n';
  }
  io.out << text::toUtf8(lines);
  io.out.flush();
  return 0;
}

int cmdUndelete(const Invocation& inv, Output& io) {
  if (inv.args.words.size() != 2) {
    throw UsageError("undelete needs a table (journal, books or moves) and a record number");
  }
  const ledger::LedgerTable which = tableByName(inv.args.words[0]);
  const std::string& number = inv.args.words[1];
  std::int64_t recno = 0;
  const auto [end, error] = std::from_chars(number.data(), number.data() + number.size(), recno);
  if (error != std::errc() || end != number.data() + number.size() || recno < 1) {
    throw UsageError("RECNO must be a record number from 1, not '" + number + "'");
  }
  Session session(inv.workDir, io, text::Regional::fromEnvironment());
  app::Ledger& ledger = session.ledger();
  const std::int64_t record = recno - 1;
  // The status line says which number the row got; the number is printed.
  ledger::Dataset* table = nullptr;
  switch (which) {
    case ledger::LedgerTable::Journal:
      ledger.recallJournalRow(record);
      table = &ledger.journal();
      break;
    case ledger::LedgerTable::Books:
      ledger.recallBook(record);
      table = &ledger.books();
      break;
    case ledger::LedgerTable::Moves:
      ledger.recallMove(record);
      table = &ledger.moves();
      break;
  }
  printId(io, *table);
  session.finish();
  return 0;
}

int cmdAddBook(const Invocation& inv, Output& io) { return cmdAddListRow(inv, io, true); }

int cmdAddMove(const Invocation& inv, Output& io) { return cmdAddListRow(inv, io, false); }

int cmdAddRow(const Invocation& inv, Output& io) {
  const Arguments& o = inv.args;
  // Checked after the options, so that a wrong option is the one named.
  if (!o.words.empty()) throw UsageError("add-row takes no argument '" + o.words[0] + "'");
  const text::Regional regional = text::Regional::fromEnvironment();

  // Every argument is checked before anything is touched.
  std::optional<RowId> book, move;
  std::optional<text::Date> date;
  if (auto* a = o.find("--book")) book = rowIdArg("--book", *a, regional);
  if (auto* a = o.find("--move")) move = rowIdArg("--move", *a, regional);
  if (auto* a = o.find("--date")) date = parseDateArg("--date", *a, regional);
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

  Session session(inv.workDir, io, regional);
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

  ledger::Dataset& journal = ledger.journal();
  appendByRule(journal, [&] { ledger.newJournalRow(); });
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
  const Arguments& o = inv.args;
  if (o.words.size() != 1) throw UsageError("set needs one journal row ID");
  if (o.values.empty()) throw UsageError("set needs --book, --move or --date");
  const text::Regional regional = text::Regional::fromEnvironment();

  const RowId row = rowIdArg("ID", o.words[0], regional);
  std::optional<RowId> book, move;
  std::optional<text::Date> date;
  if (auto* a = o.find("--book")) book = rowIdArg("--book", *a, regional);
  if (auto* a = o.find("--move")) move = rowIdArg("--move", *a, regional);
  if (auto* a = o.find("--date")) date = parseDateArg("--date", *a, regional);

  Session session(inv.workDir, io, regional);
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
  if (inv.args.words.size() != 2) throw UsageError("delete needs a table (journal, books or moves) and an ID");
  const ledger::LedgerTable which = tableByName(inv.args.words[0]);
  const text::Regional regional = text::Regional::fromEnvironment();
  const RowId id = rowIdArg("ID", inv.args.words[1], regional);
  Session session(inv.workDir, io, regional);
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
  if (!inv.args.words.empty()) throw UsageError("recompute takes no arguments");
  Session session(inv.workDir, io, text::Regional::fromEnvironment());
  session.ledger().RecomputeBalances();
  session.finish();
  return 0;
}

}  // namespace cli
