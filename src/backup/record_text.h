#pragma once
#include <string>

#include "ledger/dataset.h"

namespace backup {

// Replaces, in place, every byte equal to pair[0] by pair[1], up to the end
// of the text or a zero byte.
void ReplaceChar(std::string& text, const char pair[2]);

// The record line of the current row, without its line end: each column's
// text followed by ";", an empty column as one blank, ";" inside a value
// replaced by ":".
std::string RecordToText(const ledger::Dataset& table);

}  // namespace backup
