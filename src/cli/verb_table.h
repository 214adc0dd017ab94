#pragma once
#include <ostream>
#include <string_view>

#include "cli/arguments.h"
#include "cli/commands.h"

namespace cli {

// One verb of the command line: how it is written and what runs it.
struct Verb {
  std::string_view name;
  // As the synopsis and --help print it; a further line keeps its own indent.
  std::string_view usage;
  // The lines --help prints under the usage; empty where the next verb's
  // lines describe this one too.
  std::string_view help;
  Grammar grammar;
  int (*run)(const Invocation& inv, Output& io);
};

// The verb of that name, or null.
const Verb* findVerb(std::string_view name);

void printHelp(std::ostream& out);

}  // namespace cli
