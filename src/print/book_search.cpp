#include "print/book_search.h"

#include <cstdint>
#include <cstring>
#include <optional>
#include <vector>

#include "ledger/ledger_tables.h"
#include "text/cp1250.h"
#include "text/regional.h"

namespace print {

namespace col = ledger::journal;
using ledger::Dataset;

namespace {

constexpr const char* kRecomputeStart = "Start";


// A list's current row ID as the filter compares it: a whole number, 0 for
// an empty ID and for a list without rows.
std::int64_t currentId(Dataset& list) { return list.field(0).asInteger(); }

constexpr std::uint64_t kEveryByte = 0x0101010101010101ULL;

// Whether any of the eight bytes of word is zero (exact for the word as a
// whole; which byte it is does not matter here).
bool hasZeroByte(std::uint64_t word) { return ((word - kEveryByte) & ~word & (kEveryByte << 7)) != 0; }

}  // namespace

bool SearchCriteria::anyInForce() const {
  return !text.empty() || moveOn || bookOn || fromDateOn || toDateOn;
}

BookSearch::BookSearch(app::Ledger& ledger) : ledger_(ledger) {
  for (int c = 0; c < 256; ++c) {
    upper_[static_cast<std::size_t>(c)] = static_cast<unsigned char>(text::upperCz(static_cast<char>(c)));
  }
  ledger_.journal().onFilterRecord = [this](Dataset& journal) { return Table1FilterRecord(journal); };
}

BookSearch::~BookSearch() {
  // Without the dialog every row passes again, as before it existed.
  ledger_.journal().onFilterRecord = [](Dataset&) { return true; };
}

void BookSearch::setCriteria(const SearchCriteria& criteria) {
  criteria_ = criteria;
  upperText_ = text::upperCz(criteria_.text);
  // The bytes whose upper case is the filter text's first byte: its small
  // and its capital letter, or the one byte of a character without case.
  std::vector<unsigned char> first;
  if (!upperText_.empty()) {
    for (int c = 0; c < 256; ++c) {
      if (upper_[static_cast<std::size_t>(c)] == static_cast<unsigned char>(upperText_[0])) {
        first.push_back(static_cast<unsigned char>(c));
      }
    }
  }
  firstBytes_ = first.size() <= 2 ? first.size() : 0;
  if (firstBytes_ > 0) {
    firstByteA_ = kEveryByte * first.front();
    firstByteB_ = kEveryByte * first.back();
  }
}

void BookSearch::ApplyFilter() {
  Dataset& journal = ledger_.journal();
  // The grid follows a long pass only at its end: one DataSetChanged.
  ledger::DataSource::Quiet quiet(journal.dataSource());
  // 1.
  journal.setFiltered(false);
  // 2. Also shows what other users changed meanwhile.
  journal.close();
  journal.open();
  // 3. and 4.
  if (criteria_.anyInForce()) journal.setFiltered(true);
}

void BookSearch::showFilterText() {
  // The filter text goes to the status line when it is new, not at every
  // evaluation: a repaint that reads rows must not wipe the last message of
  // a command ("Konečné stavy obnoveny..."), which stays until the next one.
  if (shownText_ == upperText_) return;
  shownText_ = upperText_;
  ledger_.status().show(upperText_);
}

bool BookSearch::holdsFilterText(std::string_view rowText) const {
  // upperText_ occurs in upperCz(rowText), compared byte by byte without
  // making the upper-cased copy.
  const std::size_t length = upperText_.size();
  if (length > rowText.size()) return false;
  const auto* wanted = reinterpret_cast<const unsigned char*>(upperText_.data());
  const auto* row = reinterpret_cast<const unsigned char*>(rowText.data());
  const std::size_t starts = rowText.size() - length + 1;
  for (std::size_t start = 0; start < starts; ++start) {
    // Most rows hold no byte that could begin the filter text: eight such
    // bytes are passed over at a time.
    if (firstBytes_ > 0) {
      while (start + 8 <= starts) {
        std::uint64_t word;
        std::memcpy(&word, row + start, sizeof word);
        if (hasZeroByte(word ^ firstByteA_) || hasZeroByte(word ^ firstByteB_)) break;
        start += 8;
      }
      if (start >= starts) break;
    }
    if (upper_[row[start]] != wanted[0]) continue;
    std::size_t matched = 1;
    while (matched < length && upper_[row[start + matched]] == wanted[matched]) ++matched;
    if (matched == length) return true;
  }
  return false;
}

bool BookSearch::Table1FilterRecord(Dataset& journal) {
  // 1. The dialog exists whenever this runs.
  showFilterText();
  // 2.-4. All tests must hold and none has a side effect, so the cheap ones
  // go first and the row's text is read only for rows that they let pass.
  if (criteria_.fromDateOn || criteria_.toDateOn) {
    const text::Date date = journal.field(col::DATUM).asDate();  // {} when empty: earlier than any date
    if (criteria_.fromDateOn && criteria_.fromDate > date) return false;
    if (criteria_.toDateOn && criteria_.toDate < date) return false;
  }
  if (criteria_.moveOn && currentId(ledger_.moves()) != journal.field(col::IDM).asInteger()) return false;
  if (criteria_.bookOn && currentId(ledger_.books()) != journal.field(col::IDK).asInteger()) return false;
  if (!upperText_.empty() && !holdsFilterText(journal.field(col::TEXT).asString())) return false;
  // 5.
  return true;
}

void BookSearch::RecomputeShownBalances(std::string_view initialBalance) {
  Dataset& journal = ledger_.journal();
  // The grid follows a long pass only at its end: one DataSetChanged.
  ledger::DataSource::Quiet quiet(journal.dataSource());
  // 1.
  journal.first();
  // 2.
  ledger_.status().show(kRecomputeStart);
  // 3. Before any row is touched.
  double balance = text::parseFloat(initialBalance, ledger_.regional());
  // 4. One pass that stores each shown row's balance as edit, set and post
  // would, a block of rows at a time.
  const ledger::Field& plus = journal.field(col::PLUS);
  const ledger::Field& minus = journal.field(col::MINUS);
  journal.updateColumn(col::ZUSTATEK, [&](const Dataset&) -> std::optional<ledger::Value> {
    balance += plus.asFloat();  // empty counts as 0
    balance -= minus.asFloat();
    return ledger::Value{balance};
  });
}

}  // namespace print
