#include "cli/arguments.h"

#include "app/textio.h"
#include "cli/commands.h"
#include "text/cp1250.h"
#include "text/error.h"

namespace cli {

Options parseOptions(const std::string& command, const std::vector<std::string>& args,
                     std::initializer_list<std::string_view> known) {
  Options o;
  for (size_t i = 0; i < args.size(); ++i) {
    const std::string& a = args[i];
    if (a.size() < 2 || a.compare(0, 2, "--") != 0) {
      o.words.push_back(a);
      continue;
    }
    bool isKnown = false;
    for (std::string_view k : known) isKnown = isKnown || a == k;
    if (!isKnown) throw UsageError("unknown option '" + a + "' for " + command);
    if (i + 1 >= args.size()) throw UsageError(a + " needs a value");
    if (o.values.count(a)) throw UsageError(a + " given twice");
    o.values[a] = args[++i];
  }
  return o;
}

namespace {

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

std::string textArg(std::string_view option, const std::string& arg) {
  try {
    return text::singleLine(text::toCp1250(arg));
  } catch (const mincar::Error& e) {
    rethrowFor(option, e);
  }
}

double parseNumberArg(std::string_view option, const std::string& arg,
                      const text::Regional& regional) {
  return parsedArg(option, arg, [&](std::string_view typed) { return text::parseFloat(typed, regional); });
}

text::Date parseDateArg(std::string_view option, const std::string& arg,
                        const text::Regional& regional) {
  return parsedArg(option, arg, [&](std::string_view typed) { return text::parseDate(typed, regional); });
}

}  // namespace cli
