#pragma once
#include <filesystem>
#include <optional>
#include <string_view>

#include "import/statement.h"
#include "text/regional.h"

namespace bank {

// Which column (from 0) holds what; a column the file lacks stays empty.
struct CsvColumns {
  std::optional<int> date, amount, account, name, message, vs, note;
};

// --columns SPEC: "date=1,amount=3,name=4,message=5,vs=6,note=7,account=2",
// columns counted from 1; date and amount are needed. Refuses anything else
// with a message naming the part.
CsvColumns parseCsvColumns(std::string_view spec);

// A bank's CSV export: ';' or ',' between fields, quoted fields with
// separators, quotes ("") and line breaks inside; UTF-8 with or without BOM,
// else Windows-1250; dates d.M.yyyy or yyyy-mm-dd; amounts with a decimal
// comma or point, negative for money out. The columns come from the header's
// Czech names unless `columns` says. All or nothing, as the GPC reader.
Statement parseCsv(std::string_view bytes, std::string_view fileName,
                   const std::optional<CsvColumns>& columns, const text::Regional& regional);
Statement readCsv(const std::filesystem::path& file, const std::optional<CsvColumns>& columns,
                  const text::Regional& regional);

}  // namespace bank
