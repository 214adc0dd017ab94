#pragma once
#include <cstdint>
#include <string>
#include <variant>

#include "text/date.h"

namespace ledger {

// dBASE field types that the engine reads and writes.
enum class FieldType : char {
  Character = 'C',
  Numeric = 'N',
  Float = 'F',
  Date = 'D',
  Logical = 'L',
  // Level 7 only: binary fields of fixed length.
  Integer = 'I',        // 4 bytes
  AutoIncrement = '+',  // 4 bytes, as Integer; given out by the table
  Double = 'O',         // 8 bytes
  Timestamp = '@',      // 8 bytes
};

struct FieldDef {
  std::string name;  // up to 10 characters, upper case by convention
  FieldType type = FieldType::Character;
  int length = 0;
  int decimals = 0;
};

// A column value: empty (null), a number, a text (Windows-1250), a date or a
// logical value.
using Value = std::variant<std::monostate, double, std::string, text::Date, bool>;

inline bool isNull(const Value& v) { return std::holds_alternative<std::monostate>(v); }

}  // namespace ledger
