#include "cli/row_id.h"

#include "cli/arguments.h"
#include "text/error.h"

namespace cli {

RowId rowIdArg(std::string_view option, const std::string& arg, const text::Regional& regional) {
  return RowId{arg, parseNumberArg(option, arg, regional)};
}

void standOnRow(ledger::Dataset& table, const RowId& id, std::string_view rowName) {
  const ledger::Field& idField = table.field(0);
  for (table.first(); !table.eof(); table.next()) {
    if (!idField.isNull() && idField.asFloat() == id.value) return;
  }
  // The ID parsed as a number, so its text is plain ASCII.
  throw mincar::Error(mincar::fill("No %s has ID %s", {rowName, id.text}));
}

}  // namespace cli
