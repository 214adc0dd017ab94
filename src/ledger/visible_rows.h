#pragma once
#include <cstdint>
#include <vector>

namespace ledger {

// Which records a walk shows, for positional access (grids): with no filter
// and no deleted rows row i is record i and nothing is kept; otherwise the
// record numbers, 4 bytes a row. Dropped at the start of every walk from the
// first row (other users may have deleted rows, the filter may see other
// criteria) and built again by that walk as it goes, or on first use, only
// as far as the rows asked for (a grid learns its rows in steps); rows that
// others append are examined as they come.
class VisibleRows {
 public:
  void forget();
  bool known() const { return kind_ != Kind::Unknown; }

  // A walk that goes through the records in order tells what it saw, so that
  // a full walk leaves the rows known at no extra cost.
  [[gnu::always_inline]] void observe(std::int64_t record, bool shown) {
    if (record != examined_) return;
    if (kind_ == Kind::Identity && shown) {
      ++examined_;  // the usual case: every row shown so far
      return;
    }
    observeOther(shown);
  }

  // Brings the rows up to date with a table of `count` records.
  template <class Visible>
  void update(std::int64_t count, Visible visible) {
    if (count < examined_) forget();
    try {
      while (examined_ < count) observe(examined_, visible(examined_));
    } catch (...) {
      forget();
      throw;
    }
  }

  // Goes on from the last record examined, in a table of `count` records,
  // until `rows` rows are known or the records before `until` have been
  // examined, whichever comes first: a walk that a grid takes in steps.
  // True when every record has been examined.
  template <class Visible>
  bool extend(std::int64_t count, Visible visible, std::int64_t rows, std::int64_t until) {
    if (count < examined_) forget();
    const std::int64_t stop = until < count ? until : count;
    try {
      while (examined_ < stop && size() < rows) observe(examined_, visible(examined_));
    } catch (...) {
      forget();
      throw;
    }
    return examined_ >= count;
  }

  // Records examined so far, from the first one on.
  std::int64_t examined() const { return examined_; }

  std::int64_t size() const {
    return kind_ == Kind::Indexed ? static_cast<std::int64_t>(records_.size()) : examined_;
  }
  std::int64_t recordAt(std::int64_t row) const {
    return kind_ == Kind::Indexed ? static_cast<std::int64_t>(records_[static_cast<std::size_t>(row)]) : row;
  }
  // The row of a record, or the row it would take when it is not shown.
  std::int64_t rowOf(std::int64_t record) const;
  void erase(std::int64_t record);
  // A record examined before as hidden is shown now (a deleted row taken
  // back).
  void insert(std::int64_t record);

 private:
  [[gnu::noinline]] void observeOther(bool shown);
  // Rows so far were records 0 .. examined_-1; from now on they are listed.
  void becomeIndexed();

  enum class Kind { Unknown, Identity, Indexed };
  Kind kind_ = Kind::Unknown;
  std::vector<std::uint32_t> records_;
  std::int64_t examined_ = 0;
};

}  // namespace ledger
