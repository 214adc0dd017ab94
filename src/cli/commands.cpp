#include "cli/commands.h"

#include <filesystem>
#include <string>

#include "app/version.h"
#include "cli/arguments.h"
#include "cli/verb_table.h"

namespace cli {

namespace {

// The words before the verb's arguments.
struct CommandLine {
  std::filesystem::path workDir = ".";
  std::string command;
  std::vector<std::string> rest;
};

CommandLine parse(const std::vector<std::string>& args) {
  CommandLine line;
  size_t i = 0;
  while (i < args.size()) {
    const std::string& a = args[i];
    if (a == "-C") {
      if (i + 1 >= args.size()) throw UsageError("-C needs a folder");
      line.workDir = args[i + 1];
      i += 2;
    } else if (a == "-h" || a == "--help") {
      line.command = "help";
      return line;
    } else if (a == "--version") {
      line.command = "version";
      return line;
    } else {
      break;
    }
  }
  if (i >= args.size()) throw UsageError("no command given");
  line.command = args[i++];
  line.rest.assign(args.begin() + static_cast<long>(i), args.end());
  return line;
}

}  // namespace

int run(const std::vector<std::string>& args, Output& io) {
  const CommandLine line = parse(args);
  if (line.command == "help") {
    printHelp(io.out);
    return 0;
  }
  if (line.command == "version") {
    io.out << "mincar-cli " << app::kVersion << "\n";
    return 0;
  }
  const Verb* verb = findVerb(line.command);
  if (verb == nullptr) throw UsageError("unknown command '" + line.command + "'");
  const Invocation inv{line.workDir, line.command,
                       parseArguments(verb->name, line.rest, verb->grammar)};
  return verb->run(inv, io);
}

}  // namespace cli
