#include "cli/commands.h"

#include "cli/arguments.h"
#include "cli/backup_verbs.h"
#include "cli/ledger_verbs.h"
#include "cli/page_verbs.h"

namespace cli {

namespace {

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
