#pragma once
#include <cstdint>
#include <vector>

#include <QAbstractTableModel>

#include "ledger/dataset.h"

namespace app {

// The deleted rows of a ledger::Dataset, newest first (the highest record
// number first: the format keeps no time of deletion, and rows are added
// at the end), as a read-only table: the record number as dBASE counts it
// (from 1), then every column of the table. The values are read from the
// file when a view asks for them; only the record numbers are kept, and
// they are read again by reload().
class DeletedRowsModel : public QAbstractTableModel {
  Q_OBJECT
 public:
  explicit DeletedRowsModel(ledger::Dataset& dataset, QObject* parent = nullptr);

  // The deleted records as the table holds them now. Errors propagate.
  void reload();
  // The record (from 0) of a row of the model, -1 beyond them.
  std::int64_t recordAt(int row) const;
  // The row of a record, -1 when it is not listed.
  int rowOf(std::int64_t record) const;

  int rowCount(const QModelIndex& parent = {}) const override;
  int columnCount(const QModelIndex& parent = {}) const override;
  QVariant data(const QModelIndex& index, int role = Qt::DisplayRole) const override;
  QVariant headerData(int section, Qt::Orientation orientation, int role = Qt::DisplayRole) const override;

 private:
  ledger::Dataset& dataset_;
  std::vector<std::int64_t> records_;  // newest first
  int columns_ = 0;                    // the table's when last reloaded
};

}  // namespace app
