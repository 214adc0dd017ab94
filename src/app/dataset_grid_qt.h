#pragma once
#include <vector>

#include <QPersistentModelIndex>
#include <QTableView>

#include "app/dataset_model.h"

namespace app {

// The grids' small, narrow font for cells and titles alike, and rows of its
// height.
void useCellFont(QTableView* view);

// DBGrid1 of the three windows: a table view over a DatasetModel that
// follows the dataset's cursor and fits its columns to its width on every
// resize.
class DatasetGrid : public QTableView {
  Q_OBJECT
 public:
  DatasetGrid(DatasetModel* model, QWidget* parent);

  using QTableView::edit;
  DatasetModel* datasetModel() const { return model_; }
  std::vector<int> columnWidths() const;
  void setColumnWidths(const std::vector<int>& widths);
  // Hands an open cell editor's text to the model, as leaving the cell would.
  // False when the model refused it; with keepRefused the editor then stays
  // open with the text, for the user to correct it or press Esc.
  bool commitOpenEditor(bool keepRefused = false);

 protected:
  // Typing into a cell begins the row's edit before the first key reaches
  // the editor; a row that cannot be edited opens no editor.
  bool edit(const QModelIndex& index, EditTrigger trigger, QEvent* event) override;
  // Typing into a row that cannot be edited must not jump to another row.
  void keyboardSearch(const QString&) override {}
  void keyPressEvent(QKeyEvent* event) override;
  // The model learns its rows in steps: a jump to the last row learns them
  // all first, a move down near the end of the rows known one more step.
  QModelIndex moveCursor(CursorAction cursorAction, Qt::KeyboardModifiers modifiers) override;
  // Opens the cell's editor again with a refused text, once no box is up.
  void reopenEditor(const QPersistentModelIndex& index, const QString& text, int tries);
  void currentChanged(const QModelIndex& current, const QModelIndex& previous) override;
  // FormResize: the grid follows all four edges of its window, so it is
  // resized exactly when the window is, also when first shown.
  void resizeEvent(QResizeEvent* event) override;

 private:
  void followCursor(int row);
  void deleteWithConfirmation();

  DatasetModel* model_;
  bool following_ = false;
  std::vector<int> baseWidths_;  // as last set by the user or the design
  bool scaling_ = false;
};

}  // namespace app
