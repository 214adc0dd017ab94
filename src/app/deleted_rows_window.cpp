#include "app/deleted_rows_window.h"

#include <QHBoxLayout>
#include <QHeaderView>
#include <QPushButton>
#include <QShortcut>
#include <QTableView>
#include <QVBoxLayout>

#include "app/dataset_grid_qt.h"
#include "app/deleted_rows_model.h"
#include "app/error_box_qt.h"
#include "app/image_list_qt.h"

namespace app {

DeletedRowsWindow::DeletedRowsWindow(ledger::Dataset& table, const QString& caption, Recall recall,
                                     std::function<void()> help, QWidget* owner)
    // Above the window that owns it, as the lists are above the journal.
    : QWidget(owner, Qt::Tool), table_(table), recall_(std::move(recall)) {
  setWindowTitle(caption);
  setWindowIcon(imageListIcon(kDeletedRowsImage));

  auto* layout = new QVBoxLayout(this);
  layout->setContentsMargins(4, 4, 4, 4);
  layout->setSpacing(4);

  model_ = new DeletedRowsModel(table_, this);
  view_ = new QTableView(this);
  view_->setObjectName(QStringLiteral("DBGrid1"));
  view_->setModel(model_);
  view_->setSelectionBehavior(QAbstractItemView::SelectRows);
  view_->setSelectionMode(QAbstractItemView::SingleSelection);
  view_->setEditTriggers(QAbstractItemView::NoEditTriggers);
  view_->verticalHeader()->hide();
  view_->setWordWrap(false);
  // The grids' small font, so that a journal row fits as it does there.
  useCellFont(view_);
  view_->horizontalHeader()->setStretchLastSection(true);
  // Columns fit what the first rows hold, not every deleted row.
  view_->horizontalHeader()->setResizeContentsPrecision(100);
  layout->addWidget(view_, 1);

  auto* buttons = new QHBoxLayout;
  buttons->addStretch(1);
  BitBtn1 = new QPushButton(imageListIcon(kRecallImage), QStringLiteral("&Obnovit"), this);
  BitBtn1->setObjectName(QStringLiteral("BitBtn1"));
  BitBtn1->setToolTip(QStringLiteral("Vrátí vybraný řádek na jeho původní místo (Ctrl+Z v deníku vrátí naposledy smazaný řádek)"));
  connect(BitBtn1, &QPushButton::clicked, this, [this] { runAction(this, [this] { recallChosen(); }); });
  buttons->addWidget(BitBtn1);
  layout->addLayout(buttons);

  auto* f1 = new QShortcut(QKeySequence(Qt::Key_F1), this);
  connect(f1, &QShortcut::activated, this, [help = std::move(help)] {
    if (help) help();
  });

  // Changes come in bursts (a recall is a store and a walk): one reload
  // when they are over.
  reloadLater_.setSingleShot(true);
  reloadLater_.setInterval(0);
  connect(&reloadLater_, &QTimer::timeout, this, [this] {
    try {
      reload();
    } catch (const std::exception&) {
      // Shown when the user next acts on the list, not from a timer.
    }
  });
  subscription_ = table_.dataSource().subscribe([this](ledger::DataEvent event) {
    if (event == ledger::DataEvent::DataSetChanged && isVisible()) reloadLater_.start();
  });
  // Above the journal window, not over its status line, which tells what
  // "Obnovit" did.
  resize(650, 150);
  move(292, 0);
}

DeletedRowsWindow::~DeletedRowsWindow() { table_.dataSource().unsubscribe(subscription_); }

void DeletedRowsWindow::reload() {
  const std::int64_t chosen = model_->recordAt(view_->currentIndex().row());
  const int chosenRow = view_->currentIndex().row();
  model_->reload();
  view_->resizeColumnsToContents();
  // The same record stays chosen; one taken back gives way to the row now
  // in its place.
  int row = model_->rowOf(chosen);
  if (row < 0) row = std::min(chosenRow, model_->rowCount() - 1);
  if (row < 0 && model_->rowCount() > 0) row = 0;
  if (row >= 0) view_->setCurrentIndex(model_->index(row, 0));
}

void DeletedRowsWindow::recallChosen() {
  const std::int64_t record = model_->recordAt(view_->currentIndex().row());
  if (record < 0) return;
  recall_(record);
  reload();
}

void DeletedRowsWindow::showEvent(QShowEvent* event) {
  QWidget::showEvent(event);
  runAction(this, [this] { reload(); });
}

void DeletedRowsWindow::hideEvent(QHideEvent* event) {
  QWidget::hideEvent(event);
  reloadLater_.stop();
}

}  // namespace app
