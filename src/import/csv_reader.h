#pragma once
#include <array>
#include <filesystem>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "import/statement.h"
#include "text/error.h"
#include "text/regional.h"

namespace bank {

// Which column (from 0) holds what; a column the file lacks stays empty.
struct CsvColumns {
  std::optional<int> date, amount, account, name, message, vs, note;
};

// What a column may hold: the name --columns gives it and the Czech header
// name banks give it (also the label a window asks with), in UTF-8. In this
// order: date, amount, account, name, message, vs, note.
struct CsvRole {
  std::string_view spec;
  const char* headerUtf8;
  std::optional<int> CsvColumns::*column;
};
extern const std::array<CsvRole, 7> kCsvRoles;

// --columns SPEC: "date=1,amount=3,name=4,message=5,vs=6,note=7,account=2",
// columns counted from 1; date and amount are needed. Refuses anything else
// with a message naming the part.
CsvColumns parseCsvColumns(std::string_view spec);

// The header names no date or no amount column: a caller may ask the user
// which column is which and read the file again with the answer.
class UnnamedColumns : public mincar::Error {
 public:
  using mincar::Error::Error;
};

// A bank's CSV export: ';' or ',' between fields, quoted fields with
// separators, quotes ("") and line breaks inside; UTF-8 with or without BOM,
// else Windows-1250; dates d.M.yyyy or yyyy-mm-dd; amounts with a decimal
// comma or point, negative for money out. The columns come from the header's
// Czech names unless `columns` says (else UnnamedColumns). All or nothing,
// as the GPC reader.
Statement parseCsv(std::string_view bytes, std::string_view fileName,
                   const std::optional<CsvColumns>& columns, const text::Regional& regional);
// The first line's fields as Windows-1250 text, for a window that asks
// which column is which; errors as parseCsv's.
std::vector<std::string> csvHeader(std::string_view bytes, std::string_view fileName);

Statement readCsv(const std::filesystem::path& file, const std::optional<CsvColumns>& columns,
                  const text::Regional& regional);

}  // namespace bank
