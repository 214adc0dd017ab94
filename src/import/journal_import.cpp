#include "import/journal_import.h"

#include <algorithm>
#include <cmath>
#include <map>
#include <tuple>

#include "ledger/ledger_tables.h"

namespace bank {

namespace {

namespace col = ledger::journal;

// What identifies a movement in the journal.
using Key = std::tuple<text::Date, std::int64_t, bool, std::string>;

std::int64_t hundredths(double amount) { return std::llround(amount * 100.0); }

// The column cuts on storing; the comparison must see the same bytes.
std::string_view trimRight(std::string_view s) {
  while (!s.empty() && s.back() == ' ') s.remove_suffix(1);
  return s;
}

}  // namespace

std::string journalText(const StatementLine& line, std::size_t length) {
  std::string out;
  auto add = [&out](std::string_view part) {
    if (part.empty()) return;
    if (!out.empty()) out += ", ";
    out += part;
  };
  add(line.counterparty);
  add(line.message);
  if (!line.vs.empty()) add("VS " + line.vs);
  if (out.size() > length) out.resize(length);
  return std::string(trimRight(out));
}

Match matchJournal(ledger::Dataset& journal, double book, const Statement& statement) {
  Match match;
  if (statement.lines.empty()) return match;
  const auto [earliest, latest] = std::minmax_element(
      statement.lines.begin(), statement.lines.end(),
      [](const StatementLine& a, const StatementLine& b) { return a.date < b.date; });
  const text::Date from = earliest->date, to = latest->date;
  const std::size_t textLength = static_cast<std::size_t>(journal.field(col::TEXT).length());

  // The book's movements in the statement's days, counted.
  std::map<Key, int> inJournal;
  const bool wasFiltered = journal.filtered();
  journal.storePendingEdit();
  journal.setFiltered(false);
  {
    const ledger::Field& idk = journal.field(col::IDK);
    const ledger::Field& date = journal.field(col::DATUM);
    const ledger::Field& plus = journal.field(col::PLUS);
    const ledger::Field& minus = journal.field(col::MINUS);
    const ledger::Field& rowText = journal.field(col::TEXT);
    for (journal.first(); !journal.eof(); journal.next()) {
      if (idk.isNull() || idk.asFloat() != book) continue;
      const text::Date d = date.asDate();
      if (d < from || to < d) continue;
      const std::string t(trimRight(rowText.asString()));
      if (const std::int64_t in = hundredths(plus.asFloat()); in != 0) ++inJournal[{d, in, true, t}];
      if (const std::int64_t out = hundredths(minus.asFloat()); out != 0) ++inJournal[{d, out, false, t}];
    }
  }
  journal.setFiltered(wasFiltered);

  for (const StatementLine& line : statement.lines) {
    auto found = inJournal.find({line.date, line.amount, line.income, journalText(line, textLength)});
    if (found != inJournal.end() && found->second > 0) {
      --found->second;
      match.present.push_back(&line);
    } else {
      match.toAdd.push_back(&line);
    }
  }
  return match;
}

void addToJournal(app::Ledger& ledger, const std::vector<const StatementLine*>& lines) {
  ledger::Dataset& journal = ledger.journal();
  const std::size_t textLength = static_cast<std::size_t>(journal.field(col::TEXT).length());
  // Each row takes its movement's date through the calendar, as the rule
  // stamps it; the user's calendar date comes back afterwards.
  const text::Date calendar = ledger.calendarDate;
  struct Restore {
    app::Ledger& ledger;
    text::Date date;
    ~Restore() { ledger.calendarDate = date; }
  } restore{ledger, calendar};
  ledger.newJournalRows(
      lines.size(), [&](std::size_t i) { ledger.calendarDate = lines[i]->date; },
      [&](std::size_t i) {
        const StatementLine& line = *lines[i];
        journal.field(col::TEXT).setAsString(journalText(line, textLength));
        const double amount = static_cast<double>(line.amount) / 100.0;
        journal.field(line.income ? col::PLUS : col::MINUS).setAsFloat(amount);
      });
}

}  // namespace bank
