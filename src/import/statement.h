#pragma once
#include <cstdint>
#include <optional>
#include <string>
#include <vector>

#include "text/date.h"

// A bank statement as the readers give it: checked lines, amounts in
// hundredths (haléře) so that matching never meets a rounding difference.
namespace bank {

struct StatementLine {
  text::Date date;
  std::int64_t amount = 0;  // hundredths, always positive
  bool income = false;      // into the account (a credit or a debit's reversal)
  std::string counterparty; // Windows-1250
  std::string message;      // Windows-1250
  std::string vs;           // variable symbol without leading zeros, "" if none
  int lineNumber = 0;       // in the file, from 1
};

struct Statement {
  std::vector<StatementLine> lines;
  // Signed hundredths; only formats that carry them (GPC's header).
  std::optional<std::int64_t> opening;
  std::optional<std::int64_t> closing;
};

}  // namespace bank
