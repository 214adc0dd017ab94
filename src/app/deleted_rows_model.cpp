#include "app/deleted_rows_model.h"

#include <algorithm>
#include <climits>
#include <string>

#include "app/dataset_model.h"

namespace app {

DeletedRowsModel::DeletedRowsModel(ledger::Dataset& dataset, QObject* parent)
    : QAbstractTableModel(parent), dataset_(dataset) {}

void DeletedRowsModel::reload() {
  std::vector<std::int64_t> records = dataset_.deletedRecords();
  std::reverse(records.begin(), records.end());
  beginResetModel();
  records_ = std::move(records);
  records_.resize(std::min<std::size_t>(records_.size(), INT_MAX));
  columns_ = dataset_.fieldCount() + 1;
  endResetModel();
}

std::int64_t DeletedRowsModel::recordAt(int row) const {
  if (row < 0 || row >= rowCount()) return -1;
  return records_[static_cast<std::size_t>(row)];
}

int DeletedRowsModel::rowOf(std::int64_t record) const {
  const auto at = std::find(records_.begin(), records_.end(), record);
  return at == records_.end() ? -1 : static_cast<int>(at - records_.begin());
}

int DeletedRowsModel::rowCount(const QModelIndex& parent) const {
  return parent.isValid() ? 0 : static_cast<int>(records_.size());
}

int DeletedRowsModel::columnCount(const QModelIndex& parent) const { return parent.isValid() ? 0 : columns_; }

QVariant DeletedRowsModel::data(const QModelIndex& index, int role) const {
  if (!checkIndex(index, CheckIndexOption::IndexIsValid)) return {};
  const std::int64_t record = records_[static_cast<std::size_t>(index.row())];
  const int column = index.column() - 1;
  switch (role) {
    case Qt::DisplayRole:
      if (column < 0) return QString::number(record + 1);
      // Nothing can be read while the table runs a callback, and a table
      // that changed under the list (a restore) shows empty cells until the
      // list is read again.
      if (dataset_.insideCallback() || !dataset_.active() || column >= dataset_.fieldCount()) return {};
      try {
        return fromCp1250(dataset_.recordText(record, column));
      } catch (const std::exception&) {
        return {};
      }
    case Qt::TextAlignmentRole:
      if (column < 0) return QVariant::fromValue(Qt::AlignRight | Qt::AlignVCenter);
      if (column >= dataset_.fieldCount()) return {};
      return QVariant::fromValue(cellAlignment(dataset_.field(column).type()));
    default:
      return {};
  }
}

QVariant DeletedRowsModel::headerData(int section, Qt::Orientation orientation, int role) const {
  if (role != Qt::DisplayRole || orientation != Qt::Horizontal) return {};
  if (section < 0 || section >= columnCount()) return {};
  if (section == 0) return QStringLiteral("Záznam");
  if (section - 1 >= dataset_.fieldCount()) return {};
  return fromCp1250(dataset_.field(section - 1).name());
}

}  // namespace app
