#include "lists/code_list_window.h"

#include <QPointer>
#include <QToolBar>
#include <QVBoxLayout>

#include "app/dataset_grid_qt.h"
#include "app/dataset_model.h"
#include "app/deleted_rows_window.h"
#include "app/journal_window.h"
#include "app/design_fit_qt.h"
#include "app/image_list_qt.h"
#include "help/help_topics.h"

namespace lists {

CodeListWindow::CodeListWindow(ledger::Dataset& table, const QString& caption,
                               const QRect& designGeometry, const std::vector<int>& columnWidths,
                               QWidget* journalWindow)
    // A tool window owned by the journal window stays above it and is not
    // a window of its own in the task bar.
    : QWidget(journalWindow, Qt::Tool) {
  setWindowTitle(caption);

  auto* layout = new QVBoxLayout(this);
  layout->setContentsMargins(0, 0, 0, 0);
  layout->setSpacing(0);

  ToolBar1 = new QToolBar(this);
  ToolBar1->setObjectName(QStringLiteral("ToolBar1"));
  ToolBar1->setIconSize(QSize(16, 16));
  ToolBar1->setFixedHeight(28);
  layout->addWidget(ToolBar1);

  model_ = new app::DatasetModel(table, this);
  DBGrid1 = new app::DatasetGrid(model_, this);
  DBGrid1->setColumnWidths(columnWidths);
  layout->addWidget(DBGrid1, 1);

  // The design's size is the outer one, frame and caption included.
  move(designGeometry.topLeft());
  app::keepOuterSize(this, designGeometry.size());
}

CodeListWindow::~CodeListWindow() {
  // The grid lets go of the model before the model lets go of the table.
  DBGrid1->setModel(nullptr);
  delete model_;
}

void CodeListWindow::addDeletedRowsButton(const char* hint, const QString& caption,
                                          std::function<void(std::int64_t record)> recall) {
  QPointer<app::JournalWindow> journal = qobject_cast<app::JournalWindow*>(parentWidget());
  deletedRows_ = new app::DeletedRowsWindow(
      model_->dataset(), caption, std::move(recall),
      [journal] {
        if (journal) journal->showHelpTopic(help::kDeletedRowsTopic);
      },
      this);
  addToolButton(app::kDeletedRowsImage, hint, [this] {
    if (!deletedRows_->isVisible()) deletedRows_->show();
  });
}

QAction* CodeListWindow::addToolButton(int image, const char* hint) {
  auto* button = new QAction(app::imageListIcon(image), QString::fromUtf8(hint), this);
  button->setToolTip(QString::fromUtf8(hint));
  ToolBar1->addAction(button);
  return button;
}

}  // namespace lists
