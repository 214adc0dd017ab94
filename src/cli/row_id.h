#pragma once
#include <string>
#include <string_view>

#include "ledger/dataset.h"
#include "text/regional.h"

namespace cli {

// An ID that the command must find, as the user wrote it and as a number.
struct RowId {
  std::string text;
  double value = 0;
};

RowId rowIdArg(std::string_view option, const std::string& arg, const text::Regional& regional);

// Puts the cursor on the first row, in natural order, whose ID is id.
void standOnRow(ledger::Dataset& table, const RowId& id, std::string_view rowName);

}  // namespace cli
