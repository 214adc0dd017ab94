#include "cli/verb_table.h"

#include <iterator>
#include <string>
#include <vector>

#include "cli/backup_verbs.h"
#include "cli/import_verbs.h"
#include "cli/ledger_verbs.h"
#include "cli/page_verbs.h"

namespace cli {

namespace {

// In the order the synopsis and --help list them.
const Verb kVerbs[] = {
    {"init", "init", "create data/ and every missing table; tables that exist are left alone", {},
     cmdInit},
    {"list", "list journal|books|moves",
     "print every row in natural order, each column followed by ';'", {}, cmdList},
    {"add-book", "add-book NAME", "", {}, cmdAddBook},
    {"add-move", "add-move NAME",
     "append a book or a movement kind by its new-record rule and name it;\n"
     "prints the new ID",
     {}, cmdAddMove},
    {"add-row",
     "add-row [--book ID] [--move ID] [--date DATE] [--text TEXT] [--plus X] [--minus Y]",
     "append a journal row by the new-row rule, with the lists on the rows\n"
     "with these IDs (default: their first rows) and the calendar on DATE\n"
     "(default: today), then type the text and amounts into it; prints the\n"
     "new ID",
     {.options = {{"--book"}, {"--move"}, {"--date"}, {"--text"}, {"--plus"}, {"--minus"}},
      .unknown = UnknownOptions::DoubleDash},
     cmdAddRow},
    {"set", "set ID [--book ID] [--move ID] [--date DATE]",
     "stamp the book, the movement or the date on journal row ID",
     {.options = {{"--book"}, {"--move"}, {"--date"}}, .unknown = UnknownOptions::DoubleDash},
     cmdSet},
    {"delete", "delete journal|books|moves ID",
     "delete the first row, in natural order, whose ID is ID", {}, cmdDelete},
    {"deleted", "deleted journal|books|moves",
     "list the deleted rows still in the table in natural order, each as its\n"
     "record number (RECNO, from 1), a tab and the row as list prints it", {},
     cmdDeleted},
    {"undelete", "undelete journal|books|moves RECNO",
     "take deleted record RECNO back in its place, with its values and its\n"
     "ID, or the next new ID when another row has taken its ID since;\n"
     "prints the row's ID",
     {}, cmdUndelete},
    {"recompute", "recompute", "recompute every row's balance and every book's closing balance",
     {}, cmdRecompute},
    {"backup", "backup FILE|--daily",
     "write a backup of all three tables to FILE (\".txu\" is appended\n"
     "when the name does not hold it); an earlier FILE stays until the\n"
     "new one is complete. --daily writes the day's backup,\n"
     "data/zalohy/zaloha_YYYY-MM-DD.txu, unless it is there already, and\n"
     "keeps the newest 30 of them: for cron, as the window program does\n"
     "at its first start of a day",
     {.options = {{"--daily", Takes::Nothing}}}, cmdBackup},
    {"restore", "restore FILE",
     "replace all three tables from the backup FILE; a file that does not\n"
     "read through whole, or a table another user has open, changes nothing",
     {}, cmdRestore},
    {"voucher", "voucher ID [-o FILE] [--open]",
     "write the cash voucher page of journal row ID with the names in\n"
     "prop1.txt to FILE (default: out.htm in DIR); --open starts the\n"
     "browser of prop1.txt on it",
     {.options = {{"-o", Takes::File}, {"--open", Takes::Nothing}},
      .unknown = UnknownOptions::DashButNumbers,
      .wordLimit = WordLimit{1, "voucher takes one journal row ID, not '%s' too"}},
     cmdVoucher},
    {"report",
     "report [--from DATE] [--to DATE] [--text TEXT] [--move ID] [--book ID] [--start X]\n"
     "       [--recompute] [-o FILE] [--open]",
     "filter the journal like the search dialog (each option is one criterion\n"
     "in force; --move and --book compare with those IDs), with --recompute\n"
     "recompute the shown rows' balances from X (default 0), and write the\n"
     "cash-book report to FILE (default: out.htm in DIR); --open starts the\n"
     "browser of prop1.txt on it",
     {.options = {{"--from"}, {"--to"}, {"--text"}, {"--move"}, {"--book"}, {"--start"},
                  {"--recompute", Takes::Nothing}, {"-o", Takes::File}, {"--open", Takes::Nothing}},
      .unknown = UnknownOptions::Dash,
      .wordLimit = WordLimit{0, "report takes no argument '%s'"}},
     cmdReport},
    {"overview", "overview [--from DATE] [--to DATE] [--text TEXT] [--move ID] [--book ID]\n"
     "         [-o FILE] [--open]",
     "filter the journal as report does and write the overview page of the\n"
     "shown rows to FILE (default: out.htm in DIR): income and expense by\n"
     "movement kind and month with totals, each book's balance at the months'\n"
     "ends, and charts; --open starts the browser of prop1.txt on it",
     {.options = {{"--from"}, {"--to"}, {"--text"}, {"--move"}, {"--book"}, {"-o", Takes::File},
                  {"--open", Takes::Nothing}},
      .unknown = UnknownOptions::Dash,
      .wordLimit = WordLimit{0, "overview takes no argument '%s'"}},
     cmdOverview},
    {"export", "export [--from DATE] [--to DATE] [--text TEXT] [--move ID] [--book ID] -o FILE.csv",
     "filter the journal as report does and write the shown rows to FILE.csv\n"
     "for spreadsheets: UTF-8, ';' between fields, the book's and movement\n"
     "kind's names beside their numbers, dates as 7.12.2026 and a decimal\n"
     "comma; prints the number of rows written",
     {.options = {{"--from"}, {"--to"}, {"--text"}, {"--move"}, {"--book"}, {"-o", Takes::File}},
      .unknown = UnknownOptions::Dash,
      .wordLimit = WordLimit{0, "export takes no argument '%s'"}},
     cmdExport},
    {"import", "import FILE --book ID [--move ID] [--format gpc|csv] [--columns SPEC] [--dry-run]",
     "bring a bank statement into the journal by the new-row rule, each new\n"
     "movement a row of book ID and movement kind ID (default: the first);\n"
     "movements the book already holds (same date, amount and text) are\n"
     "skipped; prints added and skipped, and a GPC statement's balances.\n"
     "The format is told by the content unless given. A CSV file's columns\n"
     "are found by their Czech header names (Datum, Objem or Částka,\n"
     "Protiúčet, Název protiúčtu, Zpráva pro příjemce, VS, Poznámka);\n"
     "--columns names them by number from 1 instead, e.g.\n"
     "  --columns date=1,amount=3,name=4,message=5,vs=6,note=7\n"
     "(date and amount needed; a negative amount is money out; a first line\n"
     "whose date cell is no date is a header and skipped). --dry-run prints\n"
     "what would be added and skipped and changes nothing",
     {.options = {{"--book"}, {"--move"}, {"--format"}, {"--columns"}, {"--dry-run", Takes::Nothing}},
      .unknown = UnknownOptions::Dash,
      .wordLimit = WordLimit{1, "import takes one FILE, not '%s' too"}},
     cmdImport},
};

// The synopsis wraps its verbs within this many columns; its further lines
// start under "mincar-cli".
constexpr size_t kSynopsisWidth = 92;
constexpr std::string_view kSynopsisIndent = "       ";

// --help's texts start in this column, beside a usage short enough for it.
constexpr size_t kHelpColumn = 13;
constexpr std::string_view kHelpIndent = "  ";

std::vector<std::string_view> linesOf(std::string_view text) {
  std::vector<std::string_view> lines;
  for (size_t end; (end = text.find('\n')) != std::string_view::npos; text.remove_prefix(end + 1)) {
    lines.push_back(text.substr(0, end));
  }
  lines.push_back(text);
  return lines;
}

// One entry of --help: the usage, then the help lines under it; a usage that
// leaves two blanks before the help column has the first help line beside it.
void printEntry(std::ostream& out, std::string_view usage, std::string_view help) {
  const std::vector<std::string_view> helpLines = linesOf(help);
  size_t next = 0;
  if (usage.find('\n') == std::string_view::npos &&
      kHelpIndent.size() + usage.size() + 2 <= kHelpColumn) {
    const std::string beside(kHelpColumn - kHelpIndent.size() - usage.size(), ' ');
    out << kHelpIndent << usage << beside << helpLines[next++] << "\n";
  } else {
    for (std::string_view line : linesOf(usage)) out << kHelpIndent << line << "\n";
  }
  const std::string under(kHelpColumn, ' ');
  for (; next < helpLines.size(); ++next) out << under << helpLines[next] << "\n";
}

}  // namespace

const Verb* findVerb(std::string_view name) {
  for (const Verb& verb : kVerbs) {
    if (verb.name == name) return &verb;
  }
  return nullptr;
}

std::string usageLine() {
  std::string text = "usage: mincar-cli [-C DIR]";
  size_t lineStart = 0;
  for (size_t i = 0; i < std::size(kVerbs); ++i) {
    const std::vector<std::string_view> lines = linesOf(kVerbs[i].usage);
    const std::string_view separator = i + 1 < std::size(kVerbs) ? " |" : "";
    // A usage goes on the current line while it fits there, " |" included.
    const size_t wanted = 1 + lines[0].size() + (lines.size() == 1 ? separator.size() : 0);
    if (text.size() - lineStart + wanted > kSynopsisWidth) {
      text += '\n';
      lineStart = text.size();
      text += kSynopsisIndent;
    } else {
      text += ' ';
    }
    text += lines[0];
    for (size_t n = 1; n < lines.size(); ++n) {
      text += '\n';
      lineStart = text.size();
      text += kSynopsisIndent;
      text += lines[n];
    }
    text += separator;
  }
  return text;
}

void printHelp(std::ostream& out) {
  out << usageLine() << "\n\n";
  printEntry(out, "-C DIR", "work in DIR, the folder that holds data/ and prop1.txt");
  printEntry(out, "--version", "print the program's name and version");
  // Verbs without lines of their own are named with the next.
  std::string shared;
  for (const Verb& verb : kVerbs) {
    if (verb.help.empty()) {
      shared.append(verb.usage).append(", ");
      continue;
    }
    printEntry(out, shared + std::string(verb.usage), verb.help);
    shared.clear();
  }
  out << "\nDates and numbers follow the regional settings (Czech settings when the\n"
      << "locale names none: 7.12.2026, decimal comma). Exit status: 0 done, 1 failed,\n"
      << "2 wrong usage.\n";
}

}  // namespace cli
