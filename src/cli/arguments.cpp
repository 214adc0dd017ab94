#include "cli/arguments.h"

#include <exception>

#include "app/textio.h"
#include "cli/commands.h"
#include "text/cp1250.h"
#include "text/error.h"

namespace cli {

namespace {

bool refusedAsUnknown(const std::string& arg, UnknownOptions unknown) {
  switch (unknown) {
    case UnknownOptions::None:
      return false;
    case UnknownOptions::DoubleDash:
      return arg.starts_with("--");
    case UnknownOptions::DashButNumbers:
      return arg.size() >= 2 && arg[0] == '-' && !(arg[1] >= '0' && arg[1] <= '9');
    case UnknownOptions::Dash:
      return arg.size() >= 2 && arg[0] == '-';
  }
  return false;
}

// A failure of one argument's value names the option it came with.
[[noreturn]] void rethrowFor(std::string_view option, const std::exception& e) {
  throw mincar::Error(std::string(option) + ": " + e.what());
}

// A value read from its typed text by the parser the windows use.
template <typename Parse>
auto parsedArg(std::string_view option, const std::string& arg, Parse parse) {
  const std::string typed = textArg(option, arg);
  try {
    return parse(typed);
  } catch (const mincar::Error& e) {
    rethrowFor(option, e);
  }
}

}  // namespace

const std::string* Arguments::find(std::string_view name) const {
  auto it = values.find(name);
  return it == values.end() ? nullptr : &it->second;
}

bool Arguments::has(std::string_view flag) const { return flags.find(flag) != flags.end(); }

Arguments parseArguments(std::string_view verb, const std::vector<std::string>& args,
                         const Grammar& grammar) {
  Arguments parsed;
  for (size_t i = 0; i < args.size(); ++i) {
    const std::string& a = args[i];
    const Option* option = nullptr;
    for (const Option& known : grammar.options) {
      if (known.name == a) option = &known;
    }
    if (option == nullptr) {
      if (refusedAsUnknown(a, grammar.unknown)) {
        throw UsageError("unknown option '" + a + "' for " + std::string(verb));
      }
      if (grammar.wordLimit && parsed.words.size() == grammar.wordLimit->count) {
        throw UsageError(mincar::fill(grammar.wordLimit->message, {a}));
      }
      parsed.words.push_back(a);
    } else if (option->takes == Takes::Nothing) {
      parsed.flags.insert(a);
    } else {
      // The value is the next word whatever it looks like: a filter text
      // may begin with a dash.
      if (i + 1 >= args.size()) {
        throw UsageError(a + (option->takes == Takes::File ? " needs a file" : " needs a value"));
      }
      if (parsed.values.count(a) != 0) throw UsageError(a + " given twice");
      parsed.values[a] = args[++i];
    }
  }
  return parsed;
}

std::string textArg(std::string_view option, const std::string& arg) {
  try {
    return text::singleLine(text::toCp1250(arg));
  } catch (const mincar::Error& e) {
    rethrowFor(option, e);
  }
}

double parseNumberArg(std::string_view option, const std::string& arg,
                      const text::Regional& regional) {
  return parsedArg(option, arg,
                   [&](std::string_view typed) { return text::parseFloat(typed, regional); });
}

text::Date parseDateArg(std::string_view option, const std::string& arg,
                        const text::Regional& regional) {
  return parsedArg(option, arg,
                   [&](std::string_view typed) { return text::parseDate(typed, regional); });
}

}  // namespace cli
