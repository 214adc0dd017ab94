#include "import/statement_reader.h"

#include <cstdlib>

#include "import/gpc_reader.h"

namespace bank {

std::optional<Format> formatNamed(std::string_view name) {
  if (name == "gpc") return Format::Gpc;
  if (name == "csv") return Format::Csv;
  return std::nullopt;
}

Statement parseStatement(std::string_view bytes, std::string_view fileName,
                         std::optional<Format> format, const std::optional<CsvColumns>& columns,
                         const text::Regional& regional) {
  if (!format) format = looksLikeGpc(bytes) ? Format::Gpc : Format::Csv;
  return *format == Format::Gpc ? parseGpc(bytes, fileName) : parseCsv(bytes, fileName, columns, regional);
}

std::string amountText(std::int64_t hundredths, const text::Regional& regional) {
  const std::int64_t whole = std::llabs(hundredths) / 100, cents = std::llabs(hundredths) % 100;
  std::string out = hundredths < 0 ? "-" : "";
  out += std::to_string(whole);
  out += regional.decimalSeparator;
  if (cents < 10) out += '0';
  out += std::to_string(cents);
  return out;
}

}  // namespace bank
