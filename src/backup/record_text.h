#pragma once
#include <cstdint>
#include <string>

#include "ledger/dataset.h"
#include "text/regional.h"

namespace backup {

// Replaces, in place, every byte equal to pair[0] by pair[1], up to the end
// of the text or a zero byte.
void ReplaceChar(std::string& text, const char pair[2]);

// The record line of the current row, without its line end: each column's
// text followed by ";", an empty column as one blank, ";" inside a value
// replaced by ":".
std::string RecordToText(const ledger::Dataset& table);

// The same line appended to `line`, for a writer that gathers many rows in
// one buffer.
void AppendRecordText(const ledger::Dataset& table, std::string& line);

// The same line of any record by its number, deleted ones too (what
// mincar-cli deleted lists).
std::string RecordToText(ledger::Dataset& table, std::int64_t record);

// A number column's value as the general form writes it (formatNumber's
// text), the short way for the whole numbers and the column's decimals
// that columns hold, appended to `line`.
void AppendNumberText(std::string& line, double value, int decimals, const text::Regional& regional);

}  // namespace backup
