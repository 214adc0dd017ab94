#pragma once
#include <ostream>
#include <stdexcept>
#include <string>
#include <vector>

namespace cli {

// Wrong words on the command line: exit 2 with the usage line.
class UsageError : public std::runtime_error {
 public:
  using std::runtime_error::runtime_error;
};

// The synopsis that --help and every usage error print.
std::string usageLine();

struct Output {
  std::ostream& out;
  std::ostream& err;
  bool progress;  // standard error is a terminal
};

// Runs one command; returns the exit status. Failures of the command are
// thrown as mincar::Error (exit 1), wrong usage as UsageError (exit 2).
// Commands that work through the ledger's rules write the status line's
// last text to err when they succeed, and every status text as progress
// while they run when err is a terminal.
int run(const std::vector<std::string>& args, Output& io);

}  // namespace cli
