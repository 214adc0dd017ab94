#include "app/dataset_model.h"

#include <algorithm>
#include <climits>
#include <cstdint>
#include <limits>
#include <string>

#include <QApplication>
#include <QTimer>

#include "app/error_box_qt.h"
#include "text/cp1250.h"

namespace app {

namespace {

constexpr std::int64_t kAll = std::numeric_limits<std::int64_t>::max();

int toRows(std::int64_t rows) { return static_cast<int>(std::clamp<std::int64_t>(rows, 0, INT_MAX)); }

}  // namespace

QString fromCp1250(const std::string& bytes) { return QString::fromUtf8(text::toUtf8(bytes)); }

Qt::Alignment cellAlignment(ledger::FieldType type) {
  const bool number = type == ledger::FieldType::Numeric || type == ledger::FieldType::Float ||
                      type == ledger::FieldType::Integer || type == ledger::FieldType::AutoIncrement ||
                      type == ledger::FieldType::Double;
  return (number ? Qt::AlignRight : Qt::AlignLeft) | Qt::AlignVCenter;
}

DatasetModel::DatasetModel(ledger::Dataset& dataset, QObject* parent)
    : QAbstractTableModel(parent), dataset_(dataset) {
  rows_ = firstRows();
  lastState_ = dataset_.state();
  toldCursor_ = cursorRow();
  subscription_ = dataset_.dataSource().subscribe([this](ledger::DataEvent event) {
    onDataEvent(event);
  });
  fillLater();
}

DatasetModel::~DatasetModel() { dataset_.dataSource().unsubscribe(subscription_); }

int DatasetModel::rowCount(const QModelIndex& parent) const {
  return parent.isValid() ? 0 : rows_;
}

int DatasetModel::columnCount(const QModelIndex& parent) const {
  if (parent.isValid() || !dataset_.active()) return 0;
  return dataset_.fieldCount();
}

QVariant DatasetModel::data(const QModelIndex& index, int role) const {
  if (!checkIndex(index, CheckIndexOption::IndexIsValid | CheckIndexOption::ParentIsInvalid)) {
    return {};
  }
  switch (role) {
    case Qt::DisplayRole:
    case Qt::EditRole:
      // A repaint forced while the table runs a callback (the status line
      // shown from inside the filter): nothing can be read now, and nothing
      // failed; the views are brought up to date once it has returned.
      if (dataset_.insideCallback()) {
        const_cast<DatasetModel*>(this)->resyncViewsLater();
        return {};
      }
      try {
        return fromCp1250(dataset_.textAt(index.row(), index.column()));
      } catch (const std::exception& error) {
        // A read that fails fails again for every cell painted: one box
        // until the rows are read anew.
        if (!readErrorShown_) {
          readErrorShown_ = true;
          report(error);
        }
        return {};
      }
    case Qt::TextAlignmentRole:
      return QVariant::fromValue(cellAlignment(dataset_.field(index.column()).type()));
    default:
      return {};
  }
}

QVariant DatasetModel::headerData(int section, Qt::Orientation orientation, int role) const {
  if (role != Qt::DisplayRole) return {};
  if (orientation == Qt::Horizontal) {
    if (section < 0 || section >= columnCount()) return {};
    return fromCp1250(dataset_.field(section).name());
  }
  if (section < 0 || section >= rows_) return {};
  return section + 1;
}

Qt::ItemFlags DatasetModel::flags(const QModelIndex& index) const {
  Qt::ItemFlags base = QAbstractTableModel::flags(index);
  if (!index.isValid()) return base;
  // Every column is editable, the row numbers and balances included.
  return base | Qt::ItemIsEditable;
}

bool DatasetModel::setData(const QModelIndex& index, const QVariant& value, int role) {
  if (role != Qt::EditRole ||
      !checkIndex(index, CheckIndexOption::IndexIsValid | CheckIndexOption::ParentIsInvalid)) {
    return false;
  }
  const int row = index.row();
  try {
    // A character that Windows-1250 lacks is refused before anything moves.
    const std::string typed = text::singleLine(text::toCp1250(value.toString().toStdString()));
    // An editor closed without a change neither locks nor rewrites the row.
    if (dataset_.textAt(row, index.column()) == typed) return true;
    if (dataset_.rowIndex() != row) dataset_.moveTo(row);
    if (dataset_.state() == ledger::DatasetState::Browse) dataset_.edit();
    dataset_.field(index.column()).setAsString(typed);
  } catch (const std::exception& error) {
    ++refusals_;
    report(error);
    rowChanged(row);
    resyncViewsLater();
    return false;
  }
  rowChanged(row);
  return true;
}

bool DatasetModel::canFetchMore(const QModelIndex& parent) const {
  if (parent.isValid() || fillFailed_ || !dataset_.active()) return false;
  // While a row is inserted every row is known already.
  if (dataset_.state() == ledger::DatasetState::Insert) return false;
  return !dataset_.allRowsKnown() || dataset_.knownRowCount() > rows_;
}

void DatasetModel::fetchMore(const QModelIndex& parent) {
  if (!parent.isValid()) fetchStep(kAll, dataset_.examineStep());
}

void DatasetModel::fetchAll() { fetchStep(kAll, kAll); }

bool DatasetModel::showsNoRows() {
  if (rows_ == 0 && canFetchMore({})) fetchStep(1, kAll);
  return rows_ == 0;
}

int DatasetModel::cursorRow() const {
  // The first row still being looked for is not waited for here.
  if (!dataset_.active() || dataset_.seekingFirstRow()) return -1;
  const std::int64_t row = dataset_.rowIndex();
  return row < 0 || row >= rows_ ? -1 : static_cast<int>(row);
}

bool DatasetModel::moveCursorTo(int row) {
  if (row < 0 || row >= rows_ || !dataset_.active()) return false;
  try {
    if (dataset_.rowIndex() != row) dataset_.moveTo(row);
  } catch (const std::exception& error) {
    // The pending row could not be stored: the cursor stays on it, and so
    // must the views.
    report(error);
    rowChanged(cursorRow());
    resyncViewsLater();
    return false;
  }
  return true;
}

bool DatasetModel::beginEdit(int row) {
  if (row < 0 || row >= rows_ || !dataset_.active()) return false;
  try {
    if (dataset_.rowIndex() != row) dataset_.moveTo(row);
    if (dataset_.state() == ledger::DatasetState::Browse) dataset_.edit();
  } catch (const std::exception& error) {
    report(error);
    rowChanged(cursorRow());
    resyncViewsLater();
    return false;
  }
  return true;
}

void DatasetModel::revert() {
  try {
    const ledger::DatasetState state = dataset_.state();
    if (state == ledger::DatasetState::Edit || state == ledger::DatasetState::Insert) {
      dataset_.cancel();
    }
  } catch (const std::exception& error) {
    report(error);
  }
  resyncCount();
  rowChanged(cursorRow());
}

bool DatasetModel::appendRow() {
  bool done = true;
  try {
    dataset_.append();
  } catch (const std::exception& error) {
    report(error);
    done = false;
  }
  resyncCount();
  tellCursor();
  return done;
}

bool DatasetModel::removeCursorRow() {
  bool done = true;
  try {
    dataset_.remove();
  } catch (const std::exception& error) {
    report(error);
    done = false;
  }
  resyncCount();
  tellCursor();
  return done;
}

void DatasetModel::onDataEvent(ledger::DataEvent event) {
  // Called from inside the engine's operations: nothing may be thrown back.
  try {
    switch (event) {
      case ledger::DataEvent::DataSetChanged:
        reread();
        tellCursor();
        break;
      case ledger::DataEvent::RecordChanged:
        rowChanged(cursorRow());
        break;
      case ledger::DataEvent::Scrolled:
        // A cursor beyond the rows known (a jump to the last row, a row that
        // came meanwhile) makes the rows up to it known; after first() it
        // may still be looking for its row, which the next steps find.
        resyncCount();
        tellCursor();
        fillLater();
        break;
      case ledger::DataEvent::StateChanged: {
        // Only an insert changes the rows shown: its row is shown after the
        // last one until it is stored or cancelled.
        const ledger::DatasetState state = dataset_.state();
        if (state == ledger::DatasetState::Insert || lastState_ == ledger::DatasetState::Insert) {
          resyncCount();
        }
        lastState_ = state;
        rowChanged(cursorRow());
        break;
      }
    }
  } catch (const std::exception& error) {
    report(error);
  }
}

int DatasetModel::knownRows() {
  if (!dataset_.active()) return 0;
  // The row being inserted stands after the last one: all must be known.
  if (dataset_.state() == ledger::DatasetState::Insert) return toRows(dataset_.rowIndex() + 1);
  return toRows(dataset_.knownRowCount());
}

int DatasetModel::firstRows() {
  if (!dataset_.active()) return 0;
  if (dataset_.state() != ledger::DatasetState::Insert) {
    dataset_.knowRows(kFirstRows, dataset_.examineStep());
  }
  // The cursor may stand further on (a new last row, the row after a
  // deleted one): the rows up to it are learnt too.
  if (!dataset_.seekingFirstRow()) dataset_.rowIndex();
  return knownRows();
}

void DatasetModel::reread() {
  const Changing changing(changing_);
  beginResetModel();
  fillFailed_ = false;
  try {
    rows_ = firstRows();
  } catch (const std::exception& error) {
    rows_ = 0;
    fillFailed_ = true;
    report(error);
  }
  lastState_ = dataset_.state();
  readErrorShown_ = false;
  endResetModel();
  fillLater();
}

bool DatasetModel::resyncCount() {
  int rows = rows_;
  try {
    // The rows up to the cursor's are known (a walk only that far).
    if (dataset_.active() && !dataset_.seekingFirstRow()) dataset_.rowIndex();
    rows = knownRows();
  } catch (const std::exception& error) {
    report(error);
    return false;
  }
  lastState_ = dataset_.state();
  if (rows > rows_) {
    // Rows come only at the end: the natural order has no index.
    const Changing changing(changing_);
    beginInsertRows({}, rows_, rows - 1);
    rows_ = rows;
    endInsertRows();
  } else if (rows < rows_ && dataset_.allRowsKnown()) {
    // A row that went may have stood anywhere. Fewer rows known than shown
    // while records remain are rows that the dataset forgot (first() learns
    // them again), not rows that went.
    reread();
  }
  return true;
}

void DatasetModel::fetchStep(std::int64_t wantedRows, std::int64_t records) {
  // A step that the views ask for while one runs, or while they are told
  // of a change (their scroll bar moved by it), is left to the next turn:
  // its rows would come in the middle of the change.
  if (fetching_ || changing_) {
    fillLater();
    return;
  }
  if (!canFetchMore({}) || !dataset_.dataSource().enabled() || dataset_.insideCallback()) return;
  fetching_ = true;
  try {
    dataset_.knowRows(wantedRows, records);
  } catch (const std::exception& error) {
    fillFailed_ = true;
    report(error);
  }
  if (!resyncCount()) fillFailed_ = true;
  fetching_ = false;
  // The first row found by this step is where first() left the cursor.
  if (cursorRow() != toldCursor_) tellCursor();
}

void DatasetModel::fillLater(int delayMs) {
  if (fillScheduled_ || !canFetchMore({})) return;
  fillScheduled_ = true;
  QTimer::singleShot(delayMs, this, [this] {
    fillScheduled_ = false;
    // Switched off, the source brings a change when it is on again, and
    // the steps start anew from it.
    if (!dataset_.dataSource().enabled()) return;
    if (dataset_.insideCallback()) {
      fillLater(10);
      return;
    }
    fetchStep(kAll, dataset_.examineStep());
    fillLater();
  });
}

void DatasetModel::tellCursor() {
  toldCursor_ = cursorRow();
  emit cursorMoved(toldCursor_);
}

void DatasetModel::rowChanged(int row) {
  if (row < 0 || row >= rows_) return;
  const int lastColumn = columnCount() - 1;
  if (lastColumn < 0) return;
  emit dataChanged(index(row, 0), index(row, lastColumn));
}

void DatasetModel::resyncViewsLater() {
  QMetaObject::invokeMethod(this, [this] { tellCursor(); }, Qt::QueuedConnection);
}

void DatasetModel::report(const std::exception& error) const {
  // The box waits until the view has finished the key or click that
  // failed: a modal box inside the view's own editor handling would take
  // the editor's focus and make it commit a second time.
  const QString text = errorText(error);
  if (text == queuedError_) return;  // the same failure, already shown or on its way
  queuedError_ = text;
  QMetaObject::invokeMethod(
      const_cast<DatasetModel*>(this),
      [this, text] {
        // Kept until the box is closed: the box takes the focus, and an
        // editor that loses it commits its text, failing the same way.
        showErrorMessage(QApplication::activeWindow(), text);
        queuedError_.clear();
      },
      Qt::QueuedConnection);
}

}  // namespace app
