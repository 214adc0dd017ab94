#include "backup/record_text.h"

namespace backup {

void ReplaceChar(std::string& text, const char pair[2]) {
  for (char& c : text) {
    if (c == '\0') break;
    if (c == pair[0]) c = pair[1];
  }
}

std::string RecordToText(const ledger::Dataset& table) {
  std::string line;
  for (int i = 0; i < table.fieldCount(); ++i) {
    const ledger::Field& f = table.field(i);
    if (f.isNull()) {
      line += ' ';
    } else {
      std::string value = f.asString();
      ReplaceChar(value, ";:");
      line += value;
    }
    line += ';';
  }
  return line;
}

}  // namespace backup
