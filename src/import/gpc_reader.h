#pragma once
#include <filesystem>
#include <string_view>

#include "import/statement.h"

namespace bank {

// A GPC (ABO) statement: fixed-width Windows-1250 records of 128 characters,
// a "074" header, then "075" items, each optionally followed by "076"
// (transaction details) and "078"/"079" (the message for the payee).
// All or nothing: the first field that cannot be read throws mincar::Error
// "File X, line N, FIELD: ..."; a file whose first record is no "074"
// header throws "File X is no GPC statement".
Statement readGpc(const std::filesystem::path& file);
Statement parseGpc(std::string_view bytes, std::string_view fileName);

// True when the bytes begin as a GPC statement does.
bool looksLikeGpc(std::string_view bytes);

}  // namespace bank
