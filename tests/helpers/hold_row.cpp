// A second Mincar at work on the same data folder: opens the ledger, starts
// editing one row (which takes its lock), says "ready" on standard output and
// keeps the row until its standard input ends; then cancels the edit.
//
//   hold_row WORKDIR journal|books|moves ID
#include <exception>
#include <iostream>
#include <string>

#include "app/ledger.h"
#include "app/status_line.h"
#include "text/cp1250.h"
#include "text/regional.h"

int main(int argc, char** argv) {
  if (argc != 4) {
    std::cerr << "usage: hold_row WORKDIR journal|books|moves ID\n";
    return 2;
  }
  try {
    app::RecordingStatusLine status;
    app::Ledger ledger(argv[1], text::Regional::czech(), status);
    ledger.open();
    const std::string table = argv[2];
    ledger::Dataset& rows = table == "books"   ? ledger.books()
                            : table == "moves" ? ledger.moves()
                                               : ledger.journal();
    const double id = std::stod(argv[3]);
    for (rows.first(); !rows.eof() && rows.field(0).asFloat() != id; rows.next()) {
    }
    if (rows.eof()) {
      std::cerr << "no row with ID " << argv[3] << "\n";
      return 1;
    }
    rows.edit();
    std::cout << "ready" << std::endl;
    std::string line;
    while (std::getline(std::cin, line)) {
    }
    rows.cancel();
    return 0;
  } catch (const std::exception& e) {
    std::cerr << text::toUtf8(e.what()) << "\n";
    return 1;
  }
}
