#include "cli/import_verbs.h"

#include <cstdint>
#include <cstdlib>
#include <optional>
#include <string>

#include "app/ledger.h"
#include "cli/row_id.h"
#include "cli/session.h"
#include "import/file_bytes.h"
#include "import/journal_import.h"
#include "import/statement_reader.h"
#include "ledger/ledger_tables.h"
#include "text/cp1250.h"
#include "text/error.h"

namespace cli {

namespace {

std::string lineText(const bank::StatementLine& line, const text::Regional& regional) {
  return text::formatDate(line.date, regional) + " " +
         bank::amountText(line.income ? line.amount : -line.amount, regional) + " " +
         text::toUtf8(bank::journalText(line, ledger::journal::kTextLength));
}

}  // namespace

int cmdImport(const Invocation& inv, Output& io) {
  const Arguments& o = inv.args;
  if (o.words.size() != 1) throw UsageError("import needs one FILE");
  const text::Regional regional = text::Regional::fromEnvironment();
  const auto* bookArg = o.find("--book");
  if (bookArg == nullptr) throw UsageError("import needs --book ID");
  const RowId book = rowIdArg("--book", *bookArg, regional);
  std::optional<RowId> move;
  if (auto* a = o.find("--move")) move = rowIdArg("--move", *a, regional);
  std::optional<bank::Format> format;
  if (auto* a = o.find("--format")) {
    format = bank::formatNamed(*a);
    if (!format) throw UsageError("--format is gpc or csv, not '" + *a + "'");
  }
  std::optional<bank::CsvColumns> columns;
  if (auto* a = o.find("--columns")) columns = bank::parseCsvColumns(*a);
  const bool dryRun = o.has("--dry-run");

  // The whole file is read and checked before any table is opened.
  const std::filesystem::path file = inv.args.words[0];
  const std::string bytes = bank::readStatementFile(file);
  const bank::Statement statement =
      bank::parseStatement(bytes, text::pathText(file), format, columns, regional);

  Session session(inv.workDir, io, regional, dryRun ? Use::Read : Use::Change);
  app::Ledger& ledger = session.ledger();
  standOnRow(ledger.books(), book, "book");
  if (move) standOnRow(ledger.moves(), *move, "movement");
  else ledger.moves().first();

  const bank::Match match = bank::matchJournal(ledger.journal(), book.value, statement);
  if (dryRun) {
    for (const auto* line : match.toAdd) io.out << "add " << lineText(*line, regional) << "\n";
    for (const auto* line : match.present) io.out << "skip " << lineText(*line, regional) << "\n";
  } else {
    bank::addToJournal(ledger, match.toAdd);
  }
  io.out << (dryRun ? "would add " : "added ") << match.toAdd.size() << ", "
         << (dryRun ? "would skip " : "skipped ") << match.present.size() << "\n";
  if (statement.opening && statement.closing) {
    io.out << "opening balance " << bank::amountText(*statement.opening, regional) << ", closing balance "
           << bank::amountText(*statement.closing, regional) << "\n";
  }
  session.finish();
  return 0;
}

}  // namespace cli
