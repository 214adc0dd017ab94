#pragma once
#include <cstdint>
#include <functional>
#include <vector>

#include <QAction>
#include <QWidget>

#include "app/error_box_qt.h"
#include "ledger/dataset.h"

class QToolBar;

namespace app {
class DatasetGrid;
class DatasetModel;
class DeletedRowsWindow;
}  // namespace app

namespace lists {

// What the books and movements lists share: a small window that stays on
// top of the journal window, a 28-pixel tool bar with pictures from the
// journal window's image list, and a grid over the list's table that fits
// its columns to its width. The close box only hides the window.
class CodeListWindow : public QWidget {
  Q_OBJECT
 public:
  app::DatasetGrid* grid() const { return DBGrid1; }
  app::DatasetModel* model() const { return model_; }
  // The list's deleted rows, opened by its fourth tool button.
  app::DeletedRowsWindow* deletedRowsWindow() const { return deletedRows_; }

 protected:
  CodeListWindow(ledger::Dataset& table, const QString& caption, const QRect& designGeometry,
                 const std::vector<int>& columnWidths, QWidget* journalWindow);
  ~CodeListWindow() override;

  // A tool button showing its hint as a tool tip; handler runs as one user
  // action, its error shown in the error box.
  template <typename Handler>
  QAction* addToolButton(int image, const char* hint, Handler handler);
  // The fourth button, after the three of the design: the window of the
  // list's deleted rows, in which `recall` takes one back.
  void addDeletedRowsButton(const char* hint, const QString& caption,
                            std::function<void(std::int64_t record)> recall);

 private:
  QAction* addToolButton(int image, const char* hint);

  QToolBar* ToolBar1 = nullptr;
  app::DatasetModel* model_ = nullptr;
  app::DatasetGrid* DBGrid1 = nullptr;
  app::DeletedRowsWindow* deletedRows_ = nullptr;
};

template <typename Handler>
QAction* CodeListWindow::addToolButton(int image, const char* hint, Handler handler) {
  QAction* button = addToolButton(image, hint);
  connect(button, &QAction::triggered, this,
          [this, handler] { app::runAction(this, handler); });
  return button;
}

}  // namespace lists
