#include "ledger/visible_rows.h"

#include <algorithm>
#include <numeric>

namespace ledger {

void VisibleRows::forget() {
  kind_ = Kind::Unknown;
  records_.clear();
  records_.shrink_to_fit();
  examined_ = 0;
}

std::int64_t VisibleRows::rowOf(std::int64_t record) const {
  if (kind_ != Kind::Indexed) return std::min(record, examined_);
  auto at = std::lower_bound(records_.begin(), records_.end(), static_cast<std::uint32_t>(record));
  return at - records_.begin();
}

void VisibleRows::erase(std::int64_t record) {
  if (kind_ == Kind::Unknown || record >= examined_) return;
  if (kind_ == Kind::Identity) becomeIndexed();
  auto at = std::lower_bound(records_.begin(), records_.end(), static_cast<std::uint32_t>(record));
  if (at != records_.end() && *at == record) records_.erase(at);
}

void VisibleRows::insert(std::int64_t record) {
  // Identity: every record examined is shown already.
  if (kind_ != Kind::Indexed || record >= examined_) return;
  auto at = std::lower_bound(records_.begin(), records_.end(), static_cast<std::uint32_t>(record));
  if (at == records_.end() || *at != record) records_.insert(at, static_cast<std::uint32_t>(record));
}

void VisibleRows::observeOther(bool shown) {
  if (kind_ == Kind::Unknown) kind_ = Kind::Identity;  // examined_ is 0 here
  if (kind_ == Kind::Identity) {
    if (!shown) becomeIndexed();  // the first hidden record
  } else if (shown) {
    records_.push_back(static_cast<std::uint32_t>(examined_));
  }
  ++examined_;
}

void VisibleRows::becomeIndexed() {
  records_.resize(static_cast<std::size_t>(examined_));
  std::iota(records_.begin(), records_.end(), 0u);
  kind_ = Kind::Indexed;
}

}  // namespace ledger
