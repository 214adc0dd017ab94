#pragma once
#include <cstddef>
#include <filesystem>
#include <functional>
#include <map>
#include <optional>
#include <set>
#include <string>
#include <string_view>
#include <vector>

#include "text/date.h"
#include "text/regional.h"

namespace cli {

// What follows an option on the command line.
enum class Takes { Nothing, Value, File };

struct Option {
  std::string_view name;
  Takes takes = Takes::Value;
};

// Which arguments that are no known option are refused as unknown options;
// all others are words.
enum class UnknownOptions {
  None,            // a name or a file may begin with a dash
  DoubleDash,      // "--x"; "-x" and "-5" are words
  DashButNumbers,  // "-x" and "--x"; "-5" is a word, a negative ID
  Dash,            // "-x", "-5" and "--x"
};

// A word past count is refused where it stands, before the options after it
// are read; the message's %s is the word.
struct WordLimit {
  size_t count;
  std::string_view message;
};

// The options and words one verb takes.
struct Grammar {
  std::vector<Option> options;
  UnknownOptions unknown = UnknownOptions::None;
  std::optional<WordLimit> wordLimit = std::nullopt;
};

// One verb's arguments: options with values, flags and the words between.
struct Arguments {
  std::map<std::string, std::string, std::less<>> values;
  std::set<std::string, std::less<>> flags;
  std::vector<std::string> words;

  const std::string* find(std::string_view name) const;
  bool has(std::string_view flag) const;
};

// Wrong arguments throw UsageError: "unknown option 'X' for VERB",
// "X needs a value" (or "a file"), "X given twice", or the word limit's text.
Arguments parseArguments(std::string_view verb, const std::vector<std::string>& args,
                         const Grammar& grammar);

struct Invocation {
  std::filesystem::path workDir = ".";
  std::string command;
  Arguments args;
};

// Text arguments arrive in UTF-8; the tables hold Windows-1250.
std::string textArg(std::string_view option, const std::string& arg);

// A number or date argument as the windows read it; a failure names the
// option it came with.
double parseNumberArg(std::string_view option, const std::string& arg,
                      const text::Regional& regional);
text::Date parseDateArg(std::string_view option, const std::string& arg,
                        const text::Regional& regional);

}  // namespace cli
