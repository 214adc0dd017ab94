#include "ledger/dataset.h"

#include <algorithm>
#include <cmath>
#include <cstdint>
#include <limits>
#include <utility>

#include "ledger/dataset_impl.h"
#include "ledger/dbf_header.h"
#include "ledger/errors.h"

namespace ledger {

namespace {

bool sameLayout(const std::vector<Field>& fields, const Table& table) {
  const std::vector<FieldDef>& defs = table.fields();
  if (fields.size() != defs.size()) return false;
  for (std::size_t i = 0; i < defs.size(); ++i) {
    const Field& f = fields[i];
    if (f.name() != defs[i].name || f.type() != defs[i].type || f.length() != defs[i].length ||
        f.decimals() != defs[i].decimals) {
      return false;
    }
  }
  return true;
}

constexpr std::int64_t kNoLimit = std::numeric_limits<std::int64_t>::max();

std::int64_t addUpTo(std::int64_t a, std::int64_t b) { return b > kNoLimit - a ? kNoLimit : a + b; }

}  // namespace

const char* Dataset::Impl::rowBytes() {
  if (!table) return nullptr;
  if (passRow != nullptr) return passRow;
  if (testing >= 0) return table->record(testing);
  if (pending()) return buffer.data();
  if (cursor.seeking()) [[unlikely]] settleCursor();
  if (!cursor.onRow()) return nullptr;
  return table->record(cursor.record());
}

bool Dataset::Impl::shows(std::int64_t record) {
  if (table->record(record)[0] == dbf::RECORD_DELETED) return false;
  if (!filterOn()) return true;
  testing = record;
  filtering = true;
  ++rowVersion;
  struct Restore {
    Impl& impl;
    ~Restore() {
      impl.testing = -1;
      impl.filtering = false;
      ++impl.rowVersion;
    }
  } restore{*this};
  return filterTakes();
}

bool Dataset::Impl::number(const FieldDef& def, int index, int offset, double& out) {
  if (!table) return false;
  const bool known = index == decoded.field && rowKey() == decoded.rowKey &&
                     table->generation() == decoded.tableGeneration;
  if (!known) {
    const char* row = rowBytes();
    if (row == nullptr) return false;
    decoded.present = codec::decodeNumber(row + 1 + offset, def.length, decoded.value, def.decimals);
    decoded.field = index;
    decoded.rowKey = rowKey();
    decoded.tableGeneration = table->generation();
  }
  out = decoded.value;
  return decoded.present;
}

void Dataset::Impl::ensureRows() {
  try {
    rows.update(table->recordCount(), [this](std::int64_t r) { return shows(r); });
  } catch (...) {
    cursor.stopSeeking();
    throw;
  }
  landSeekingCursor();
}

bool Dataset::Impl::extendRows(std::int64_t wanted, std::int64_t until) {
  bool all = false;
  try {
    all = rows.extend(table->recordCount(), [this](std::int64_t r) { return shows(r); }, wanted, until);
  } catch (...) {
    cursor.stopSeeking();
    throw;
  }
  landSeekingCursor();
  return all;
}

void Dataset::Impl::rowsThroughRow(std::int64_t row) {
  extendRows(addUpTo(std::max<std::int64_t>(row, 0), 1), kNoLimit);
}

void Dataset::Impl::rowsThroughRecord(std::int64_t record) {
  if (record >= 0) extendRows(kNoLimit, addUpTo(record, 1));
}

std::int64_t Dataset::Impl::knowRows(std::int64_t wanted, std::int64_t records) {
  std::int64_t budget = std::max<std::int64_t>(records, 0);
  while (budget > 0) {
    const std::int64_t before = rows.examined();
    const bool all = extendRows(wanted, addUpTo(before, budget));
    // A count that shrank meanwhile starts the walk again from the first row.
    budget -= rows.examined() >= before ? rows.examined() - before : rows.examined();
    if (!all || rows.size() >= wanted) break;
    // Every record examined: rows that others appended meanwhile count too.
    if (!refresh(false)) break;
  }
  landSeekingCursor();
  return rows.size();
}

void Dataset::Impl::landSeekingCursor() {
  if (!cursor.seeking()) return;
  if (rows.size() > 0) {
    cursor.placeOnFirst(rows.recordAt(0));
  } else if (rows.examined() >= table->recordCount()) {
    cursor.placeOnFirst(-1);
  }
}

void Dataset::Impl::settleCursor() {
  if (!cursor.seeking() || !table || filtering || inPass) return;
  extendRows(1, kNoLimit);
}

void Dataset::Impl::setState(DatasetState state) {
  if (owner.state_ == state) return;
  owner.state_ = state;
  ++rowVersion;
  notify(DataEvent::StateChanged);
}

bool Dataset::Impl::refresh(bool forgetWindows) {
  if (forgetWindows) table->forgetWindows();
  const std::int64_t before = table->recordCount();
  const std::int64_t now = table->refreshCount();
  if (now < before) {
    rows.forget();
    if (cursor.record() >= now) cursor.leaveRow();
  }
  return now != before;
}

std::unique_ptr<Table> Dataset::Impl::openTable(TableAccess access) const {
  if (openFile) return std::make_unique<Table>(owner.path_, access, openFile(owner.path_));
  return std::make_unique<Table>(owner.path_, access);
}

void Dataset::Impl::open() {
  if (table) return;
  table = openTable(owner.readOnly_    ? TableAccess::ReadOnly
                    : owner.exclusive_ ? TableAccess::Exclusive
                                       : TableAccess::Shared);
  owner.adoptLayout(*table);
  repairNotice = table->takeRepairNotice();
  damageNotice = table->takeDamageNotice();
  rows.forget();
  cursor.empty();
  buffer.clear();
  changedBuffer();
  setState(DatasetState::Browse);
  moveFirst(DataEvent::DataSetChanged);
}

void Dataset::Impl::close() {
  if (!table) return;
  checkCallable();
  storePending();
  table.reset();  // closing the file drops its locks
  rows.forget();
  cursor.empty();
  setState(DatasetState::Inactive);
  notify(DataEvent::DataSetChanged);
}

void Dataset::Impl::closeQuietly() noexcept {
  if (!table) return;
  try {
    if (owner.state_ == DatasetState::Edit) {
      table->writeRecord(cursor.record(), buffer);
      table->unlockRow(cursor.record());
    } else if (owner.state_ == DatasetState::Insert) {
      table->appendRecord(buffer);
    }
  } catch (...) {
    // Nobody is left to tell; the file keeps what it had.
  }
  table.reset();
}

void Dataset::Impl::moveFirst(DataEvent event) {
  const bool changed = refresh(true);
  rows.forget();
  // A step of records at most: a filter that takes no row would otherwise
  // walk every record before first() returns. The walk goes on as the rows
  // are learnt, or when the cursor is needed.
  cursor.seekFirst();
  extendRows(1, owner.examineStep_);
  notify(changed ? DataEvent::DataSetChanged : event);
}

void Dataset::Impl::first() {
  checkCallable();
  storePending();
  moveFirst(DataEvent::Scrolled);
}

void Dataset::Impl::next() {
  checkCallable();
  storePending();
  if (cursor.seeking()) [[unlikely]] settleCursor();
  if (!cursor.onRow()) {
    cursor.placeAfterLast();
    return;
  }
  const std::int64_t count = table->recordCount();
  for (std::int64_t r = cursor.record() + 1; r < count; ++r) {
    const bool shown = shows(r);
    rows.observe(r, shown);
    if (shown) {
      cursor.placeOn(r);
      notify(DataEvent::Scrolled);
      return;
    }
  }
  cursor.placeAfterLast();
}

void Dataset::Impl::prior() {
  checkCallable();
  storePending();
  settleCursor();
  if (!cursor.onRow()) {
    cursor.placeBeforeFirst();
    return;
  }
  for (std::int64_t r = cursor.record() - 1; r >= 0; --r) {
    if (shows(r)) {
      cursor.placeOn(r);
      notify(DataEvent::Scrolled);
      return;
    }
  }
  cursor.placeBeforeFirst();
}

void Dataset::Impl::last() {
  checkCallable();
  storePending();
  const bool changed = refresh(true);
  cursor.leaveRow();
  std::int64_t found = -1;
  for (std::int64_t r = table->recordCount() - 1; r >= 0; --r) {
    if (shows(r)) {
      found = r;
      break;
    }
  }
  if (found < 0) {
    cursor.empty();
  } else {
    cursor.placeOn(found);
  }
  notify(changed ? DataEvent::DataSetChanged : DataEvent::Scrolled);
}

void Dataset::Impl::moveTo(std::int64_t row) {
  checkCallable();
  storePending();
  rowsThroughRow(row);
  if (rows.size() == 0) {
    cursor.empty();
  } else {
    cursor.placeOn(rows.recordAt(std::clamp<std::int64_t>(row, 0, rows.size() - 1)));
  }
  notify(DataEvent::Scrolled);
}

bool Dataset::Impl::gotoRecord(std::int64_t record) {
  checkCallable();
  storePending();
  rowsThroughRecord(record);
  const std::int64_t row = rows.rowOf(record);
  if (record < 0 || row >= rows.size() || rows.recordAt(row) != record) return false;
  cursor.placeOn(record);
  notify(DataEvent::Scrolled);
  return true;
}

void Dataset::Impl::settleAfterRemoval(std::int64_t removed) {
  const std::int64_t count = table->recordCount();
  for (std::int64_t r = removed + 1; r < count; ++r) {
    if (shows(r)) {
      cursor.placeOn(r);
      return;
    }
  }
  for (std::int64_t r = removed - 1; r >= 0; --r) {
    if (shows(r)) {
      cursor.placeOn(r);
      return;
    }
  }
  cursor.empty();
}

void Dataset::Impl::append() {
  checkCallable();
  storePending();
  settleCursor();
  beforeInsert = cursor.position();
  buffer = codec::emptyRecord(table->fields(), table->offsets(), table->recordLength());
  changedBuffer();
  setState(DatasetState::Insert);
  if (!owner.onNewRecord) return;
  try {
    owner.onNewRecord(owner);
  } catch (...) {
    // The append ends where the callback failed: what it stored stays, a
    // row it left pending is dropped and its lock released.
    try {
      if (pending()) cancel();
    } catch (...) {
    }
    throw;
  }
}

void Dataset::Impl::edit() {
  checkCallable();
  if (pending()) return;
  settleCursor();
  if (!cursor.onRow()) {
    append();  // as the toolkit does on an empty dataset
    return;
  }
  if (!table->tryLockRow(cursor.record())) throw RowLockedError(table->shownPath());
  // Another user may have changed or deleted the row since we read it.
  std::string fresh;
  try {
    fresh = table->rereadRecord(cursor.record());
  } catch (...) {
    table->unlockRow(cursor.record());
    throw;
  }
  if (fresh[0] == dbf::RECORD_DELETED) {
    table->unlockRow(cursor.record());
    throw RowDeletedError(table->shownPath());
  }
  buffer = std::move(fresh);
  changedBuffer();
  setState(DatasetState::Edit);
  notify(DataEvent::RecordChanged);
}

void Dataset::Impl::checkRecord(std::int64_t record) {
  refresh(false);
  const std::int64_t count = table->recordCount();
  if (record >= 0 && record < count) return;
  throw mincar::Error(mincar::fill(messages::kNoSuchRecord, {std::to_string(record + 1), table->shownPath(),
                                                             std::to_string(count)}));
}

const char* Dataset::Impl::bytesOfRecord(std::int64_t record) {
  checkActive();
  if (owner.state_ == DatasetState::Edit && record == cursor.record()) return buffer.data();
  if (record < 0 || record >= table->recordCount()) checkRecord(record);
  return table->record(record);
}

void Dataset::Impl::recall(std::int64_t record) {
  checkCallable();
  storePending();
  checkRecord(record);
  if (!table->tryLockRow(record)) throw RowLockedError(table->shownPath());
  std::string fresh;
  try {
    // As the file holds it now: another user may have taken it back.
    fresh = table->rereadRecord(record);
    if (fresh[0] != dbf::RECORD_DELETED) {
      throw mincar::Error(mincar::fill(messages::kRecordNotDeleted, {std::to_string(record + 1), table->shownPath()}));
    }
    settleCursor();
  } catch (...) {
    table->unlockRow(record);
    throw;
  }
  fresh[0] = dbf::RECORD_LIVE;
  beforeInsert = cursor.position();
  recalling = true;
  cursor.placeOn(record);
  buffer = std::move(fresh);
  changedBuffer();
  setState(DatasetState::Edit);
  notify(DataEvent::Scrolled);
}

void Dataset::Impl::post() {
  checkCallable();
  if (owner.state_ == DatasetState::Insert) {
    // A failed write leaves the row pending, to post again or cancel.
    const std::int64_t record = table->appendRecord(buffer);
    cursor.placeOn(record);
    buffer.clear();
    changedBuffer();
    // Rows known to the end take the new one; rows known in part learn it
    // when their walk comes to it.
    if (rows.known() && rows.examined() >= record) {
      try {
        ensureRows();
      } catch (...) {
        // The row is stored; the filter's failure shows at the next walk.
        rows.forget();
      }
    }
    setState(DatasetState::Browse);
    notify(DataEvent::DataSetChanged);
  } else if (owner.state_ == DatasetState::Edit) {
    table->writeRecord(cursor.record(), buffer);
    table->unlockRow(cursor.record());
    buffer.clear();
    changedBuffer();
    const bool recalled = std::exchange(recalling, false);
    // A record taken back is a row of the walks again, where the filter
    // takes it.
    if (recalled) {
      try {
        if (shows(cursor.record())) rows.insert(cursor.record());
      } catch (...) {
        // The record is stored; the filter's failure shows at the next walk.
        rows.forget();
      }
    }
    setState(DatasetState::Browse);
    notify(recalled ? DataEvent::DataSetChanged : DataEvent::RecordChanged);
  }
}

void Dataset::Impl::cancel() {
  checkCallable();
  if (owner.state_ == DatasetState::Insert) {
    buffer.clear();
    changedBuffer();
    cursor.restore(beforeInsert);
    setState(DatasetState::Browse);
    notify(DataEvent::Scrolled);
  } else if (owner.state_ == DatasetState::Edit) {
    table->unlockRow(cursor.record());
    buffer.clear();
    changedBuffer();
    if (std::exchange(recalling, false)) {
      // The record stays deleted; the cursor goes back to its row.
      cursor.restore(beforeInsert);
      setState(DatasetState::Browse);
      notify(DataEvent::Scrolled);
      return;
    }
    setState(DatasetState::Browse);
    notify(DataEvent::RecordChanged);
  }
}

void Dataset::Impl::remove() {
  checkCallable();
  if (owner.state_ == DatasetState::Insert || recalling) {
    cancel();  // the new row was never stored, the deleted one never taken back
    return;
  }
  settleCursor();
  if (!cursor.onRow()) throw componentError(messages::kEmptyDataset);
  const bool editing = owner.state_ == DatasetState::Edit;  // holds the row lock already
  if (!editing && !table->tryLockRow(cursor.record())) throw RowLockedError(table->shownPath());
  try {
    const std::string fresh = table->rereadRecord(cursor.record());
    if (fresh[0] == dbf::RECORD_DELETED) throw RowDeletedError(table->shownPath());
    table->markDeleted(cursor.record());
  } catch (...) {
    // An edit in progress keeps its lock; a lock taken for the removal goes.
    if (!editing) table->unlockRow(cursor.record());
    throw;
  }
  table->unlockRow(cursor.record());
  buffer.clear();
  changedBuffer();
  const std::int64_t removed = cursor.record();
  rows.erase(removed);
  settleAfterRemoval(removed);
  setState(DatasetState::Browse);
  notify(DataEvent::DataSetChanged);
}

void Dataset::Impl::setField(const FieldDef& def, int offset, const Value& value, codec::EmptyText emptyText) {
  checkActive();
  if (!pending()) throw componentError(messages::kNotEditing);
  codec::encode(def, value, owner.regional_, emptyText, buffer.data() + 1 + offset);
  changedBuffer();
  notify(DataEvent::RecordChanged);
}

std::int64_t Dataset::Impl::rowIndex() {
  // Counting the rows would run the filter on other rows than the one
  // that the callback in progress looks at.
  if (!table || filtering || inPass) return -1;
  if (owner.state_ == DatasetState::Insert) {
    ensureRows();
    return rows.size();
  }
  settleCursor();
  if (!cursor.onRow()) return -1;
  rowsThroughRecord(cursor.record());
  return rows.rowOf(cursor.record());
}

const char* Dataset::Impl::bytesAt(std::int64_t row) {
  checkCallable();
  if (owner.state_ == DatasetState::Insert) {
    ensureRows();
    if (row == rows.size()) return buffer.data();
  }
  if (row < 0) return nullptr;
  rowsThroughRow(row);
  if (row >= rows.size()) return nullptr;
  const std::int64_t record = rows.recordAt(row);
  if (owner.state_ == DatasetState::Edit && record == cursor.record()) return buffer.data();
  return table->record(record);
}


bool Field::isNull() const {
  if (isNumberType(def_.type)) {
    double ignored;
    return !owner_->impl_->number(def_, index_, offset_, ignored);
  }
  const char* row = owner_->impl_->rowBytes();
  return row == nullptr || codec::isNull(def_, row + 1 + offset_);
}

Value Field::value() const {
  if (isNumberType(def_.type)) {
    double v;
    if (owner_->impl_->number(def_, index_, offset_, v)) return v;
    return {};
  }
  const char* row = owner_->impl_->rowBytes();
  if (row == nullptr) return {};
  return codec::decode(def_, row + 1 + offset_);
}

double Field::asFloat() const {
  if (isNumberType(def_.type)) {
    double v;
    return owner_->impl_->number(def_, index_, offset_, v) ? v : 0.0;
  }
  const char* row = owner_->impl_->rowBytes();
  if (row == nullptr) return 0.0;
  return codec::toFloat(def_, row + 1 + offset_, owner_->regional_);
}

std::int64_t Field::asInteger() const {
  const double v = asFloat();
  if (std::isnan(v)) return 0;
  // Beyond 2^63 llround has no answer; the nearest whole number that fits.
  constexpr double limit = 9223372036854775807.0;
  if (v >= limit) return std::numeric_limits<std::int64_t>::max();
  if (v <= -limit) return std::numeric_limits<std::int64_t>::min();
  return static_cast<std::int64_t>(std::llround(v));
}

std::string Field::asString() const {
  const char* row = owner_->impl_->rowBytes();
  if (row == nullptr) return {};
  return codec::toText(def_, row + 1 + offset_, owner_->regional_);
}

text::Date Field::asDate() const {
  const char* row = owner_->impl_->rowBytes();
  if (row == nullptr) return {};
  return codec::toDate(def_, row + 1 + offset_, owner_->regional_);
}

void Field::setValue(const Value& v) { owner_->impl_->setField(def_, offset_, v, codec::EmptyText::Refused); }

void Field::setAsString(std::string_view text) {
  owner_->impl_->setField(def_, offset_, Value{std::string(text)}, codec::EmptyText::Clears);
}


void DataSource::setEnabled(bool on) {
  switch_ = on;
  update();
}

void DataSource::update() {
  const bool was = on_;
  on_ = switch_ && quiet_ == 0;
  if (on_ && !was) notify(DataEvent::DataSetChanged);
}

DataSource::Quiet::Quiet(DataSource& source) : source_(source) {
  ++source_.quiet_;
  source_.update();
}

DataSource::Quiet::~Quiet() {
  --source_.quiet_;
  try {
    source_.update();
  } catch (...) {
  }
}

int DataSource::subscribe(Listener listener) {
  const int handle = nextHandle_++;
  listeners_.emplace_back(handle, std::move(listener));
  return handle;
}

void DataSource::unsubscribe(int handle) {
  std::erase_if(listeners_, [handle](const auto& entry) { return entry.first == handle; });
}

namespace {

// A listener may subscribe or unsubscribe others (or itself) meanwhile:
// each one that is still subscribed is called, by handle.
[[gnu::noinline]] void tellListeners(std::vector<std::pair<int, DataSource::Listener>>& listeners,
                                     const bool& enabled, DataEvent event) {
  std::vector<int> handles;
  handles.reserve(listeners.size());
  for (const auto& entry : listeners) handles.push_back(entry.first);
  for (int handle : handles) {
    auto at = std::find_if(listeners.begin(), listeners.end(),
                           [handle](const auto& entry) { return entry.first == handle; });
    if (at == listeners.end()) continue;
    DataSource::Listener listener = at->second;  // survives its own unsubscribe
    listener(event);
    if (!enabled) return;
  }
}

}  // namespace

// Kept small, so that a walk nobody watches pays one test per row.
void DataSource::notify(DataEvent event) {
  if (on_ && !listeners_.empty()) tellListeners(listeners_, on_, event);
}


Dataset::Dataset(std::string componentName, std::filesystem::path path, text::Regional regional)
    : name_(std::move(componentName)),
      path_(std::move(path)),
      regional_(std::move(regional)),
      impl_(std::make_unique<Impl>(*this)) {}

void Dataset::adoptLayout(const Table& table) {
  if (sameLayout(fields_, table)) return;
  fields_.clear();
  fields_.reserve(table.fields().size());
  for (std::size_t i = 0; i < table.fields().size(); ++i) {
    fields_.push_back(Field(*this, table.fields()[i], static_cast<int>(i), table.offsets()[i]));
  }
}

// A pending row is stored, as close() would; a failure cannot be reported
// from here and leaves the file as it was.
Dataset::~Dataset() { impl_->closeQuietly(); }

void Dataset::open() { impl_->open(); }
void Dataset::close() { impl_->close(); }
bool Dataset::active() const { return impl_->table != nullptr; }

void Dataset::setExclusive(bool on) {
  if (impl_->table) throw impl_->componentError(messages::kOpenDataset);
  exclusive_ = on;
}

void Dataset::setReadOnly(bool on) {
  if (impl_->table) throw impl_->componentError(messages::kOpenDataset);
  readOnly_ = on;
}

void Dataset::emptyTable() {
  if (impl_->table) throw impl_->componentError(messages::kOpenDataset);
  if (!exclusive_) throw impl_->componentError(messages::kEmptyNeedsExclusive);
  impl_->openTable(TableAccess::Exclusive)->empty();
}

void Dataset::storePendingEdit() { impl_->storePending(); }

void Dataset::beginSyncBatch() {
  if (!impl_->table) throw impl_->componentError(messages::kClosedDataset);
  impl_->table->beginSyncBatch();
}

void Dataset::endSyncBatch() {
  if (impl_->table) impl_->table->endSyncBatch();
}

void Dataset::lockNumbering() {
  if (!impl_->table) throw impl_->componentError(messages::kClosedDataset);
  impl_->table->lockNumbering();
}

void Dataset::unlockNumbering() noexcept {
  if (impl_->table) impl_->table->unlockNumbering();
}

bool Dataset::insideCallback() const { return impl_->filtering || impl_->inPass; }

std::string Dataset::takeRepairNotice() { return std::exchange(impl_->repairNotice, std::string()); }
std::string Dataset::takeDamageNotice() { return std::exchange(impl_->damageNotice, std::string()); }

void Dataset::append() { impl_->append(); }
void Dataset::edit() { impl_->edit(); }
void Dataset::post() { impl_->post(); }
void Dataset::cancel() { impl_->cancel(); }
void Dataset::remove() { impl_->remove(); }

void Dataset::first() { impl_->first(); }
void Dataset::next() { impl_->next(); }
void Dataset::prior() { impl_->prior(); }
void Dataset::last() { impl_->last(); }
bool Dataset::eof() const {
  if (!impl_->table) return true;
  impl_->settleCursor();
  return impl_->cursor.eof();
}

bool Dataset::bof() const {
  if (!impl_->table) return true;
  impl_->settleCursor();
  return impl_->cursor.bof();
}

bool Dataset::isEmpty() const {
  if (!impl_->table) return true;
  if (state_ == DatasetState::Insert) return false;
  impl_->settleCursor();
  return !impl_->cursor.onRow();
}

Field& Dataset::field(int position) {
  if (position < 0 || position >= fieldCount()) {
    throw impl_->componentError(mincar::fill(messages::kFieldIndexOutOfRange, {std::to_string(position)}));
  }
  return fields_[static_cast<std::size_t>(position)];
}

const Field& Dataset::field(int position) const { return const_cast<Dataset*>(this)->field(position); }

std::int64_t Dataset::recordCount() {
  impl_->checkCallable();
  impl_->refresh(false);
  impl_->ensureRows();
  return impl_->rows.size();
}

std::int64_t Dataset::knownRowCount() const { return impl_->table ? impl_->rows.size() : 0; }

bool Dataset::allRowsKnown() const {
  return !impl_->table || impl_->rows.examined() >= impl_->table->recordCount();
}

std::int64_t Dataset::knowRows(std::int64_t rows, std::int64_t records) {
  impl_->checkCallable();
  return impl_->knowRows(rows, records);
}

void Dataset::setExamineStep(std::int64_t records) {
  if (records < 1) {
    throw impl_->componentError(mincar::fill(messages::kExamineStepTooSmall, {std::to_string(records)}));
  }
  examineStep_ = records;
}

bool Dataset::seekingFirstRow() const { return impl_->table && impl_->cursor.seeking(); }

void Dataset::setFiltered(bool on) {
  if (on == filtered_) return;
  if (!impl_->table) {
    filtered_ = on;
    return;
  }
  impl_->checkCallable();
  impl_->storePending();
  filtered_ = on;
  impl_->moveFirst(DataEvent::DataSetChanged);
}

void Dataset::refilter() {
  if (!impl_->table) return;
  impl_->checkCallable();
  impl_->storePending();
  impl_->moveFirst(DataEvent::DataSetChanged);
}

std::int64_t Dataset::rowIndex() const { return impl_->rowIndex(); }

void Dataset::moveTo(std::int64_t row) { impl_->moveTo(row); }

std::int64_t Dataset::recordNumber() const {
  if (!impl_->table) return -1;
  impl_->settleCursor();
  return impl_->cursor.record();
}

bool Dataset::gotoRecord(std::int64_t record) { return impl_->gotoRecord(record); }

std::vector<std::int64_t> Dataset::deletedRecords() {
  impl_->checkCallable();
  // Deletions that other users made show in the file, not in read copies.
  impl_->refresh(true);
  Table& table = *impl_->table;
  const std::int64_t count = table.recordCount();
  const std::size_t length = static_cast<std::size_t>(table.recordLength());
  std::vector<std::int64_t> deleted;
  for (std::int64_t r = 0; r < count;) {
    std::int64_t end = r;
    const char* bytes = table.recordSpan(r, end);
    // Only the flag byte of each record is touched.
    for (; r < end; ++r, bytes += length) {
      if (*bytes == dbf::RECORD_DELETED) deleted.push_back(r);
    }
  }
  return deleted;
}

bool Dataset::recordDeleted(std::int64_t record) {
  impl_->checkCallable();
  impl_->checkRecord(record);
  return impl_->bytesOfRecord(record)[0] == dbf::RECORD_DELETED;
}

Value Dataset::recordValue(std::int64_t record, int column) {
  const Field& f = field(column);
  const char* bytes = impl_->bytesOfRecord(record);
  return codec::decode(f.def_, bytes + 1 + f.offset_);
}

std::string Dataset::recordText(std::int64_t record, int column) {
  const Field& f = field(column);
  const char* bytes = impl_->bytesOfRecord(record);
  return codec::toText(f.def_, bytes + 1 + f.offset_, regional_);
}

void Dataset::recall(std::int64_t record) { impl_->recall(record); }

bool Dataset::recalling() const { return impl_->recalling; }

Value Dataset::valueAt(std::int64_t row, int column) {
  const Field& f = field(column);
  const char* bytes = impl_->bytesAt(row);
  if (bytes == nullptr) return {};
  return codec::decode(f.def_, bytes + 1 + f.offset_);
}

std::string Dataset::textAt(std::int64_t row, int column) {
  const Field& f = field(column);
  const char* bytes = impl_->bytesAt(row);
  if (bytes == nullptr) return {};
  return codec::toText(f.def_, bytes + 1 + f.offset_, regional_);
}

void DatasetTestAccess::setFileOpener(Dataset& dataset, FileOpener opener) {
  dataset.impl_->openFile = std::move(opener);
}

}  // namespace ledger
