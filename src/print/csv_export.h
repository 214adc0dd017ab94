#pragma once
#include <filesystem>
#include <string>
#include <string_view>

#include "app/ledger.h"

namespace print {

// One field of the export: as it is when it holds no ';', no quotation
// mark and no line break, else in quotation marks with each quotation mark
// doubled (RFC 4180). Nothing is replaced or dropped.
std::string CsvField(std::string_view utf8);

// The rows the journal shows, in journal order, as a CSV file that a Czech
// spreadsheet opens as it is: UTF-8 with a byte-order mark, ';' between
// fields, CR LF after each line, a header line first. Beside the book's and
// the movement kind's numbers stand their names from the lists (empty for a
// number the list lacks); dates are d.M.yyyy and numbers have a decimal
// comma and no thousands separator, whatever the regional settings, since
// that is what the spreadsheet reads; texts are as stored. Written all or
// nothing; "Cannot create file %s" or "Cannot write file %s" leave no file.
// The journal ends at its first shown row. Returns the rows written.
std::int64_t WriteCsvExport(app::Ledger& ledger, const std::filesystem::path& file);

}  // namespace print
