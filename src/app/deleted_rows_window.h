#pragma once
#include <cstdint>
#include <functional>

#include <QTimer>
#include <QWidget>

#include "ledger/dataset.h"

class QPushButton;
class QTableView;

namespace app {

class DeletedRowsModel;

// "Smazané záznamy": the deleted rows of one table (the journal, the books
// or the movements), newest first with all their columns, and a button
// "Obnovit" that takes the chosen row back through the ledger's rule. A tool
// window above the window that owns it; its close box only hides it. While
// it is visible it follows the table: a row deleted or taken back anywhere
// in this program shows at once, another copy's at the next change here or
// when it is shown again.
class DeletedRowsWindow : public QWidget {
  Q_OBJECT
 public:
  // `recall` takes the record (from 0) back, e.g. Ledger::recallJournalRow;
  // `help` shows the help topic of the window (F1).
  using Recall = std::function<void(std::int64_t record)>;
  DeletedRowsWindow(ledger::Dataset& table, const QString& caption, Recall recall, std::function<void()> help,
                    QWidget* owner);
  ~DeletedRowsWindow() override;

  DeletedRowsModel* model() const { return model_; }
  QTableView* view() const { return view_; }
  QPushButton* recallButton() const { return BitBtn1; }

  // The list read again from the table.
  void reload();
  // "Obnovit": the chosen row back; with no row chosen, nothing.
  void recallChosen();

 protected:
  void showEvent(QShowEvent* event) override;
  void hideEvent(QHideEvent* event) override;

 private:
  ledger::Dataset& table_;
  Recall recall_;
  DeletedRowsModel* model_ = nullptr;
  QTableView* view_ = nullptr;
  QPushButton* BitBtn1 = nullptr;
  QTimer reloadLater_;
  int subscription_ = 0;
};

}  // namespace app
