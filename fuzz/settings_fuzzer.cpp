// Arbitrary bytes as prop1.txt: the line reader, the token splitter and the
// settings file reader over the same bytes, written to a real file as the
// program reads it.
#include <sstream>

#include "app/settings.h"
#include "app/textio.h"
#include "fuzz_support.h"
#include "text/error.h"
#include "text/regional.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  const std::string_view bytes = fuzzing::bytesOf(data, size);

  std::istringstream in{std::string(bytes)};
  app::LineReader reader;
  std::size_t consumed = 0;
  // Each line costs at least one byte of input, so the loop ends; past the
  // end every line is "".
  for (std::size_t lines = 0; lines <= size + 1; ++lines) {
    std::string line = reader.ReadLine(in);
    consumed += line.size();
    if (consumed > size) __builtin_trap();
    for (int n = 0; n < 4; ++n) {
      for (char sep : {';', '.', '\0'}) {
        std::string token = app::GetToken(line, sep, n);
        if (token.size() > line.size()) __builtin_trap();
      }
    }
    if (!in) break;
  }
  app::GetToken(bytes, ';', static_cast<int>(size % 64));

  static const std::filesystem::path file = fuzzing::scratchFile(".txt");
  fuzzing::writeScratch(file, bytes);
  app::Settings settings = app::Settings::defaults(text::Regional::czech(), text::Date{2026, 12, 7});
  app::LineReader fileReader;
  try {
    app::ReadSettingsFile(file, fileReader, settings);
  } catch (const mincar::Error&) {
  }
  return 0;
}
