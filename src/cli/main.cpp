#include <unistd.h>

#include <cstdio>
#include <exception>
#include <filesystem>
#include <iostream>
#include <string>
#include <vector>

#include "cli/commands.h"
#include "text/cp1250.h"

int main(int argc, char** argv) {
  std::vector<std::string> args(argv + 1, argv + argc);
  cli::Output out{std::cout, std::cerr, isatty(STDERR_FILENO) == 1};
  try {
    return cli::run(args, out);
  } catch (const cli::UsageError& e) {
    std::cerr << e.what() << "\n" << cli::usageLine() << "\n";
    return 2;
  } catch (const std::exception& e) {
    // Messages are Windows-1250 like all data; the terminal speaks UTF-8.
    std::cerr << text::toUtf8(e.what()) << "\n";
    return 1;
  }
}
