// ledger_peer TABLE: another user of a table, for the sharing tests. Reads
// one command a line from standard input and answers one line: "ok" with a
// result, or "error" with the engine's message (line breaks as "\n"). Locks
// it takes stay held until a later command lets go, or until it ends.
//
//   open | open-exclusive | close
//   lock-row N        edit row N and keep it in edit state (holds its lock)
//   release           cancel the pending edit
//   set-row N VALUE   store VALUE in column 0 of row N
//   remove N          delete row N
//   append COUNT FIRST  append COUNT rows, column 0 numbered from FIRST,
//                     column 1 (a text column) "row <number>"
//   count             the row count
//   empty             empty the table (closed, exclusive, emptied, reopened)
//   quit
#include <cstdint>
#include <iostream>
#include <sstream>
#include <string>

#include "ledger/dataset.h"
#include "text/error.h"
#include "text/regional.h"

namespace {

std::string oneLine(std::string text) {
  std::string out;
  for (char c : text) {
    if (c == '\n') out += "\\n";
    else out += c;
  }
  return out;
}

std::string run(ledger::Dataset& table, const std::string& line) {
  std::istringstream in(line);
  std::string command;
  in >> command;
  if (command == "open") {
    table.setExclusive(false);
    table.open();
  } else if (command == "open-exclusive") {
    table.setExclusive(true);
    table.open();
  } else if (command == "close") {
    table.close();
  } else if (command == "lock-row") {
    std::int64_t row = 0;
    in >> row;
    table.moveTo(row);
    table.edit();
  } else if (command == "release") {
    table.cancel();
  } else if (command == "set-row") {
    std::int64_t row = 0;
    double value = 0;
    in >> row >> value;
    table.moveTo(row);
    table.edit();
    table.field(0).setValue(value);
    table.post();
  } else if (command == "remove") {
    std::int64_t row = 0;
    in >> row;
    table.moveTo(row);
    table.remove();
  } else if (command == "append") {
    long count = 0;
    long first = 0;
    in >> count >> first;
    for (long i = 0; i < count; ++i) {
      table.append();
      table.field(0).setValue(static_cast<double>(first + i));
      if (table.fieldCount() > 1) table.field(1).setValue(std::string("row ") + std::to_string(first + i));
      table.post();
    }
  } else if (command == "count") {
    return "ok " + std::to_string(table.recordCount());
  } else if (command == "empty") {
    table.close();
    table.setExclusive(true);
    try {
      table.emptyTable();
    } catch (...) {
      table.setExclusive(false);
      throw;
    }
    table.setExclusive(false);
    table.open();
  } else {
    return "error unknown command: " + command;
  }
  return "ok";
}

}  // namespace

int main(int argc, char** argv) {
  if (argc != 2) {
    std::cerr << "usage: ledger_peer TABLE\n";
    return 2;
  }
  ledger::Dataset table("Peer", argv[1], text::Regional::czech());
  std::string line;
  while (std::getline(std::cin, line)) {
    if (line == "quit") break;
    std::string answer;
    try {
      answer = run(table, line);
    } catch (const std::exception& e) {
      answer = "error " + oneLine(e.what());
    }
    std::cout << answer << std::endl;
  }
  return 0;
}
