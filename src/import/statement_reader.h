#pragma once
#include <cstdint>
#include <optional>
#include <string>
#include <string_view>

#include "import/csv_reader.h"
#include "import/statement.h"
#include "text/regional.h"

namespace bank {

enum class Format { Gpc, Csv };

// "gpc" or "csv"; nothing for any other name.
std::optional<Format> formatNamed(std::string_view name);

// A statement file's bytes read in the given format, or in the one they
// look like: GPC when they begin as a GPC statement does, else CSV. Errors
// as the readers' (CSV's UnnamedColumns included).
Statement parseStatement(std::string_view bytes, std::string_view fileName,
                         std::optional<Format> format, const std::optional<CsvColumns>& columns,
                         const text::Regional& regional);

// Hundredths with two decimals and the regional separator: "-1234,50".
std::string amountText(std::int64_t hundredths, const text::Regional& regional);

}  // namespace bank
