#pragma once
#include <filesystem>
#include <functional>
#include <initializer_list>
#include <map>
#include <string>
#include <string_view>
#include <vector>

#include "text/date.h"
#include "text/regional.h"

namespace cli {

struct Invocation {
  std::filesystem::path workDir = ".";
  std::string command;
  std::vector<std::string> rest;
};

// "--name VALUE" pairs and the words between them.
struct Options {
  std::map<std::string, std::string, std::less<>> values;
  std::vector<std::string> words;

  const std::string* find(std::string_view name) const {
    auto it = values.find(name);
    return it == values.end() ? nullptr : &it->second;
  }
};

Options parseOptions(const std::string& command, const std::vector<std::string>& args,
                     std::initializer_list<std::string_view> known);

// Text arguments arrive in UTF-8; the tables hold Windows-1250.
std::string textArg(std::string_view option, const std::string& arg);

// A number or date argument as the windows read it; a failure names the
// option it came with.
double parseNumberArg(std::string_view option, const std::string& arg,
                      const text::Regional& regional);
text::Date parseDateArg(std::string_view option, const std::string& arg,
                        const text::Regional& regional);

}  // namespace cli
