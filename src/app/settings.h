#pragma once
#include <array>
#include <filesystem>
#include <string>

#include "app/textio.h"
#include "text/regional.h"

namespace app {

// The eight settings of prop1.txt, in file order, as texts.
struct Settings {
  std::string firma;      // 1 "Firma ="     organisation name on the voucher
  std::string vystavil;   // 2 "Vystavil ="  issued by
  std::string schvalil;   // 3 "Schvalil ="  approved by
  std::string prevzal;    // 4 "Prevzal ="   received by
  std::string datumOd;    // 5 "Datum od ="  search range start, short date text
  std::string datumDo;    // 6 "Datum do ="  search range end, short date text
  std::string browser;    // 7 "Browser ="   browser command with a trailing blank
  std::string filespec;   // 8 "Filespec ="  local-file prefix

  // The defaults in force before the file is read: empty names, both dates
  // today in the short date format, the platform's browser command and
  // "File://".
  static Settings defaults(const text::Regional& regional, const text::Date& today);
};

inline constexpr const char* kSettingsFileName = "prop1.txt";
inline constexpr const char* kDefaultBrowser = "xdg-open ";
inline constexpr const char* kDefaultFilespec = "File://";

// The create handler's reading: eight lines by position, piece 1 of each;
// lines 1-6 replace settings 1-6 unconditionally, lines 7 and 8 only when
// longer than 2 characters. Throws "Cannot open file %s" when the file cannot
// be opened, leaving the settings untouched.
void ReadSettingsFile(const std::filesystem::path& file, LineReader& reader, Settings& settings);

// The close handler's writing, from the texts the dialogs hold: key + ";" +
// value + ";" + LF CR, an empty edit text written as one blank (the two
// dates are written as they are) and set to that blank in values, as the
// dialogs' edit boxes are. Throws "Cannot create file %s".
void WriteSettingsFile(const std::filesystem::path& file, Settings& values);

}  // namespace app
