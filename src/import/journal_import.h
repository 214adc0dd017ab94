#pragma once
#include <cstddef>
#include <string>
#include <vector>

#include "app/ledger.h"
#include "import/statement.h"

namespace bank {

// The journal TEXT a statement line gets: the counterparty, the message and
// "VS 123", joined by ", " and cut to `length` bytes.
std::string journalText(const StatementLine& line, std::size_t length);

// Which statement lines the book already holds. A line matches a journal row
// of the book with the same date, amount (PLUS for income, MINUS otherwise)
// and text; equal movements of one day are counted, so that two equal
// payments in the statement and one in the journal leave one to add.
// One walk of the journal with the filter off; the filter setting is
// restored afterwards.
struct Match {
  std::vector<const StatementLine*> toAdd;
  std::vector<const StatementLine*> present;
};
Match matchJournal(ledger::Dataset& journal, double book, const Statement& statement);

// Adds the lines as journal rows by the journal's new-row rule, in one batch
// and all or nothing, with the books and movements lists standing where the
// caller put them.
void addToJournal(app::Ledger& ledger, const std::vector<const StatementLine*>& lines);

}  // namespace bank
