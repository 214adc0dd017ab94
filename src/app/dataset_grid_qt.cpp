#include "app/dataset_grid_qt.h"

#include <algorithm>

#include <QApplication>
#include <QFontMetrics>
#include <QHeaderView>
#include <QKeyEvent>
#include <QLineEdit>
#include <QMessageBox>
#include <QTimer>

#include "app/grid_columns.h"

namespace app {

void useCellFont(QTableView* view) {
  QFont cellFont = view->font();
  cellFont.setPixelSize(10);
  cellFont.setStretch(QFont::Condensed);
  view->setFont(cellFont);
  // The platform may give headers a font of their own.
  view->horizontalHeader()->setFont(cellFont);
  view->verticalHeader()->setDefaultSectionSize(QFontMetrics(cellFont).height() + 4);
}

DatasetGrid::DatasetGrid(DatasetModel* model, QWidget* parent)
    : QTableView(parent), model_(model) {
  setObjectName(QStringLiteral("DBGrid1"));
  setModel(model);

  // The design's column widths (a 51-pixel date, 45-pixel amounts) hold
  // whole dates, amounts and titles in the small font, where the ordinary
  // font would cut them.
  useCellFont(this);

  // No row indicator column; rows of one fixed height, so that a long
  // journal scrolls without measuring rows.
  verticalHeader()->hide();
  verticalHeader()->setSectionResizeMode(QHeaderView::Fixed);
  verticalHeader()->setMinimumSectionSize(1);
  horizontalHeader()->setSectionResizeMode(QHeaderView::Interactive);
  horizontalHeader()->setMinimumSectionSize(0);
  horizontalHeader()->setHighlightSections(false);
  horizontalHeader()->setDefaultAlignment(Qt::AlignLeft | Qt::AlignVCenter);

  setEditTriggers(QAbstractItemView::DoubleClicked | QAbstractItemView::SelectedClicked |
                  QAbstractItemView::EditKeyPressed | QAbstractItemView::AnyKeyPressed);
  setSelectionMode(QAbstractItemView::SingleSelection);
  setSelectionBehavior(QAbstractItemView::SelectItems);
  setTabKeyNavigation(true);
  setWordWrap(false);

  connect(model_, &DatasetModel::cursorMoved, this, &DatasetGrid::followCursor);
  followCursor(model_->cursorRow());
  // A width the user (or the window's design) sets becomes the base that
  // every later resize scales from.
  connect(horizontalHeader(), &QHeaderView::sectionResized, this, [this] {
    if (!scaling_) baseWidths_ = columnWidths();
  });
}

std::vector<int> DatasetGrid::columnWidths() const {
  std::vector<int> widths;
  for (int column = 0; column < model_->columnCount(); ++column) {
    widths.push_back(columnWidth(column));
  }
  return widths;
}

void DatasetGrid::setColumnWidths(const std::vector<int>& widths) {
  const int columns = model_->columnCount();
  for (int column = 0; column < columns && column < static_cast<int>(widths.size()); ++column) {
    setColumnWidth(column, widths[static_cast<size_t>(column)]);
  }
}

bool DatasetGrid::commitOpenEditor(bool keepRefused) {
  if (state() != QAbstractItemView::EditingState) return true;
  QWidget* editor = indexWidget(currentIndex());
  if (editor == nullptr) return true;
  const int refusalsBefore = model_->refusals();
  QString typed;
  if (auto* line = qobject_cast<QLineEdit*>(editor)) typed = line->text();
  commitData(editor);
  const bool stored = model_->refusals() == refusalsBefore;
  if (!stored && keepRefused) {
    // The error box takes the focus and with it the editor; the text is
    // put back into the cell once the box is gone.
    reopenEditor(currentIndex(), typed, 0);
    return false;
  }
  closeEditor(editor, QAbstractItemDelegate::NoHint);
  return stored;
}

bool DatasetGrid::edit(const QModelIndex& index, EditTrigger trigger, QEvent* event) {
  if (trigger == AnyKeyPressed && !model_->beginEdit(index.row())) return false;
  if (!QTableView::edit(index, trigger, event)) return false;
  // An editor opened without typing (F2, a double click) begins the row's
  // edit at its first change; refused, it closes with nothing kept.
  if (auto* line = qobject_cast<QLineEdit*>(indexWidget(index))) {
    connect(line, &QLineEdit::textEdited, this, [this, line, row = index.row()](const QString& typed) {
      const int cursor = line->cursorPosition();
      if (!model_->beginEdit(row)) {
        closeEditor(line, QAbstractItemDelegate::RevertModelCache);
        return;
      }
      // Beginning the edit rereads the row, and the view refills its
      // editors from it: what is being typed stays.
      if (line->text() != typed) {
        line->setText(typed);
        line->setCursorPosition(cursor);
      }
    }, Qt::SingleShotConnection);
  }
  return true;
}

void DatasetGrid::reopenEditor(const QPersistentModelIndex& index, const QString& text, int tries) {
  QTimer::singleShot(20, this, [this, index, text, tries] {
    if (!index.isValid()) return;
    // Still under the error box (or another one): later.
    if (QApplication::activeModalWidget() != nullptr || tries == 0) {
      if (tries < 500) reopenEditor(index, text, tries + 1);
      return;
    }
    setCurrentIndex(index);
    if (indexWidget(index) == nullptr) edit(index);
    if (auto* line = qobject_cast<QLineEdit*>(indexWidget(index))) line->setText(text);
  });
}

void DatasetGrid::keyPressEvent(QKeyEvent* event) {
  const auto modifiers = event->modifiers() & ~Qt::KeypadModifier;
  if (event->key() == Qt::Key_Escape && modifiers == Qt::NoModifier) {
    // With an editor open the delegate takes Esc and the view calls the
    // model's revert(); here no editor is open.
    model_->revert();
    event->accept();
    return;
  }
  if (event->key() == Qt::Key_Delete && modifiers == Qt::ControlModifier) {
    deleteWithConfirmation();
    event->accept();
    return;
  }
  if (event->key() == Qt::Key_Insert && modifiers == Qt::NoModifier) {
    model_->appendRow();
    event->accept();
    return;
  }
  QTableView::keyPressEvent(event);
}

QModelIndex DatasetGrid::moveCursor(CursorAction cursorAction, Qt::KeyboardModifiers modifiers) {
  if (cursorAction == MoveEnd && (modifiers & Qt::ControlModifier)) {
    model_->fetchAll();
  } else if (cursorAction == MoveDown || cursorAction == MovePageDown || cursorAction == MoveNext) {
    const int page = viewport()->height() / std::max(1, verticalHeader()->defaultSectionSize());
    if (currentIndex().row() + page + 1 >= model_->rowCount() && model_->canFetchMore({})) model_->fetchMore({});
  }
  return QTableView::moveCursor(cursorAction, modifiers);
}

void DatasetGrid::deleteWithConfirmation() {
  if (model_->showsNoRows()) {
    // The engine's own refusal, as the delete on an empty table gives it.
    model_->removeCursorRow();
    return;
  }
  QMessageBox question(QMessageBox::Question, QStringLiteral("Mincar"),
                       QStringLiteral("Delete record?"), QMessageBox::Ok | QMessageBox::Cancel,
                       this);
  question.setDefaultButton(QMessageBox::Cancel);
  if (question.exec() == QMessageBox::Ok) model_->removeCursorRow();
}

void DatasetGrid::currentChanged(const QModelIndex& current, const QModelIndex& previous) {
  // The base class first hands an open editor's text to the model, into
  // the row that is being left; moving the cursor then stores that row.
  QTableView::currentChanged(current, previous);
  if (!following_ && current.isValid() && current.row() != model_->cursorRow()) {
    model_->moveCursorTo(current.row());
  }
}

void DatasetGrid::resizeEvent(QResizeEvent* event) {
  QTableView::resizeEvent(event);
  // Scaled from the widths last set, not from the last scaling's result:
  // each resize would otherwise lose pixels to the cut and drift, and any
  // sequence of resizes ends where one resize to the same size would.
  if (baseWidths_.size() != static_cast<std::size_t>(model_->columnCount())) baseWidths_ = columnWidths();
  std::vector<int> widths = baseWidths_;
  FitGridColumns(width(), widths);
  scaling_ = true;
  setColumnWidths(widths);
  scaling_ = false;
}

void DatasetGrid::followCursor(int row) {
  if (row < 0 || row >= model_->rowCount()) return;
  const QModelIndex current = currentIndex();
  if (!current.isValid() || current.row() != row) {
    following_ = true;
    setCurrentIndex(model_->index(row, current.isValid() ? current.column() : 0));
    following_ = false;
  }
  // The current row is shown whole: once more after the view has laid out
  // rows that came meanwhile (a new last row, a restore's reset), when the
  // scroll at the change would have seen the old extent.
  QTimer::singleShot(0, this, [this] {
    if (currentIndex().isValid()) scrollTo(currentIndex());
  });
}

}  // namespace app
