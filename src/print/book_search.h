#pragma once
#include <array>
#include <cstdint>
#include <optional>
#include <string>
#include <string_view>

#include "app/ledger.h"
#include "ledger/dataset.h"
#include "text/date.h"

namespace print {

// The criteria of the cash-book search dialog (TForm6), as its controls hold
// them. Texts are Windows-1250.
struct SearchCriteria {
  text::Date fromDate;        // DateTimePicker1
  bool fromDateOn = false;    // CheckBox3
  text::Date toDate;          // DateTimePicker2
  bool toDateOn = false;      // CheckBox4
  std::string text;           // Edit1, as typed
  bool moveOn = false;        // CheckBox1: the movements list's current row
  bool bookOn = false;        // CheckBox2: the books list's current row

  // Whether ApplyFilter switches the journal's filter on: a filter text of
  // at least one character or any of the four boxes ticked.
  bool anyInForce() const;
};

// The search dialog's side of the journal's filter. While an object exists
// the dialog exists: the journal's filter callback is Table1FilterRecord,
// which evaluates the criteria last given with setCriteria. Before it (the
// ledger opens the journal filtered) and after it every row passes.
//
// The dialog's controls are read "live" by every evaluation; here the
// window hands every change of a control over at once, and the criteria
// are prepared for evaluation then (the filter text upper-cased once), not
// for every row. The movement and book tests read the lists' current rows
// at each evaluation, as moving in a list does not refilter the journal.
class BookSearch {
 public:
  // After ledger.open(), which installs the journal's pass-all filter.
  explicit BookSearch(app::Ledger& ledger);
  ~BookSearch();
  BookSearch(const BookSearch&) = delete;
  BookSearch& operator=(const BookSearch&) = delete;

  const SearchCriteria& criteria() const { return criteria_; }
  // A control changed. Evaluations from now on see the new criteria; the
  // journal is not reloaded (that is ApplyFilter's job).
  void setCriteria(const SearchCriteria& criteria);

  // The journal's filter off, the journal closed and opened again (its
  // grid starts at the first row), the filter on when any criterion is in
  // force. The journal's bound controls hear one DataSetChanged at the end,
  // not one per step.
  void ApplyFilter();

  // The journal's filter event for the row under evaluation: the status
  // line shows the upper-cased filter text, and the row passes when it
  // holds the filter text (Czech upper case on both sides, nothing trimmed,
  // no wildcards, diacritics kept), its DATUM lies within the ticked bounds
  // (both inclusive; an empty date is earlier than any date), and its IDM
  // and IDK equal the IDs of the lists' current rows when those boxes are
  // ticked (whole numbers, empty as 0).
  bool Table1FilterRecord(ledger::Dataset& journal);

  // A running balance through the shown rows only: from initialBalance
  // (Edit2, read in the regional notation; "'%s' is not a valid floating
  // point value" before any row is touched) plus PLUS minus MINUS of each
  // shown row into its ZUSTATEK, in table order. Hidden rows and the books'
  // balances keep their values; the journal ends at its end. A row that
  // cannot be edited or stored ends the pass there with the engine's
  // message, the rows before it keeping their new balances.
  void RecomputeShownBalances(std::string_view initialBalance);

  app::Ledger& ledger() { return ledger_; }

 private:
  bool holdsFilterText(std::string_view rowText) const;
  void showFilterText();

  app::Ledger& ledger_;
  SearchCriteria criteria_;
  // Prepared from criteria_ by setCriteria.
  std::string upperText_;  // F: the filter text in Czech upper case
  std::optional<std::string> shownText_;  // what the filter last showed
  std::array<unsigned char, 256> upper_{};  // upperCz by byte, for the rows' texts
  // The one or two bytes that can begin a match, each repeated in all eight
  // bytes of a word; firstBytes_ is 0 when there are more (or no text).
  std::size_t firstBytes_ = 0;
  std::uint64_t firstByteA_ = 0;
  std::uint64_t firstByteB_ = 0;
};

}  // namespace print
