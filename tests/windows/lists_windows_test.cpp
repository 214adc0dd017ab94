// The books and movements lists and the calendar picker over real tables,
// together with the journal window they work on.

#include <QAbstractItemView>
#include <QCalendarWidget>
#include <QPushButton>
#include <QTest>
#include <QToolBar>

#include "app/dataset_model.h"
#include "app/error_box_qt.h"
#include "ledger/ledger_tables.h"
#include "window_test_support.h"

using window_testing::MessageBoxCloser;
using window_testing::ProgramWindows;
using window_testing::WorkFolder;
namespace journal = ledger::journal;

namespace {

std::string stored(const WorkFolder& folder, ledger::LedgerTable table, std::int64_t row,
                   int column) {
  ledger::Dataset reader("Reader", ledger::tablePath(folder.path(), table), text::Regional::czech());
  reader.open();
  return reader.textAt(row, column);
}

QAction* toolButton(QWidget* window, int position) {
  return window->findChild<QToolBar*>("ToolBar1")->actions().at(position);
}

std::string dateText(const QDate& date) {
  return text::formatDate({date.year(), date.month(), date.day()}, text::Regional::czech());
}

}  // namespace

class ListsWindowsTest : public QObject {
  Q_OBJECT

 private:
  std::unique_ptr<WorkFolder> folder_;
  std::unique_ptr<ProgramWindows> windows_;

  app::Ledger& ledger() { return windows_->journal->ledger(); }

  // Shown and active, as after the user's click into it; a tool window
  // counts as active with its parent otherwise, and the keys would go to
  // the journal window's focus.
  void showWindow(QWidget* window) {
    window->show();
    window->activateWindow();
    QTRY_COMPARE(QApplication::activeWindow(), window);
  }

 private slots:
  void initTestCase() { QApplication::setQuitOnLastWindowClosed(false); }

  void init() {
    folder_ = std::make_unique<WorkFolder>();
    folder_->writeSettings();
    windows_ = std::make_unique<ProgramWindows>();
    windows_->journal->show();
    QVERIFY(QTest::qWaitForWindowActive(windows_->journal.get()));
  }

  void cleanup() {
    windows_.reset();
    folder_.reset();
  }

  void listWindowsHaveTheirDesignPlaces_data() {
    QTest::addColumn<QString>("name");
    QTest::addColumn<QString>("caption");
    QTest::addColumn<QRect>("geometry");
    QTest::addColumn<QStringList>("hints");
    QTest::newRow("books") << "Form3" << "Knihy" << QRect(15, 208, 206, 187)
                           << QStringList({"Přidá nový záznam na konec číselníku ...",
                                           "Smaže právě označenou knihu z číselníku ...",
                                           "U právě nastaveného řádku deníku v hlavním okně "
                                           "nastaví tuto knihu ..",
                                           "Zobrazí smazané knihy a vrátí vybranou zpět ..."});
    QTest::newRow("movements")
        << "Form2" << "Pohyby" << QRect(34, 23, 171, 183)
        << QStringList({"Přídá nový pohyb do číselníku pohybů...",
                        "Smaže právě proužkem vybraný pohyb z čísleníku...",
                        "U právě vybraného řádku deníku nastaví pohyb, který je v tomto dialogu "
                        "právě označen..",
                        "Zobrazí smazané pohyby a vrátí vybraný zpět ..."});
  }

  void listWindowsHaveTheirDesignPlaces() {
    QFETCH(QString, name);
    QFETCH(QString, caption);
    QFETCH(QRect, geometry);
    QFETCH(QStringList, hints);
    auto* window = windows_->journal->findChild<QWidget*>(name);
    showWindow(window);
    QCOMPARE(window->windowTitle(), caption);
    // The outer size, frame included.
    QTRY_COMPARE(window->frameGeometry().size(), geometry.size());
    QCOMPARE(window->pos(), geometry.topLeft());
    QVERIFY(window->windowFlags().testFlag(Qt::Tool));
    QStringList shownHints;
    for (QAction* button : window->findChild<QToolBar*>("ToolBar1")->actions()) {
      shownHints << button->toolTip();
      QVERIFY(!button->icon().pixmap(16, 16).isNull());
    }
    QCOMPARE(shownHints, hints);
  }

  void theCloseBoxOnlyHides() {
    showWindow(windows_->books);
    ledger().newBook();
    windows_->books->close();
    QVERIFY(!windows_->books->isVisible());
    QVERIFY(ledger().books().active());
    QCOMPARE(ledger().books().rowIndex(), 0);
  }

  void booksToolButtonsAddDeleteAndStamp() {
    showWindow(windows_->books);
    app::DatasetModel* model = windows_->books->model();
    toolButton(windows_->books, 0)->trigger();
    toolButton(windows_->books, 0)->trigger();
    QCOMPARE(model->rowCount(), 2);
    QCOMPARE(ledger().status().text(), std::string("New record is appended..."));
    QCOMPARE(stored(*folder_, ledger::LedgerTable::Books, 1, ledger::books::ID), std::string("2"));
    QCOMPARE(windows_->books->grid()->currentIndex().row(), 1);

    ledger().newJournalRow();
    ledger().books().first();
    toolButton(windows_->books, 2)->trigger();
    QCOMPARE(ledger().journal().state(), ledger::DatasetState::Edit);
    QCOMPARE(windows_->journal->model()->data(windows_->journal->model()->index(0, journal::IDK))
                 .toString(),
             QStringLiteral("1"));

    // The tool button deletes without a question.
    MessageBoxCloser boxes;
    toolButton(windows_->books, 1)->trigger();
    QCOMPARE(boxes.texts, QStringList());
    QCOMPARE(model->rowCount(), 1);
  }

  void deleteOnAnEmptyListShowsTheEnginesError() {
    showWindow(windows_->moves);
    QString expected;
    try {
      ledger().moves().remove();
    } catch (const std::exception& error) {
      expected = app::errorText(error);
    }
    QVERIFY(expected.startsWith("Table1: "));
    MessageBoxCloser boxes;
    toolButton(windows_->moves, 1)->trigger();
    QCOMPARE(boxes.texts, QStringList({expected}));
  }

  void ctrlDeleteInAListGridAsksFirst() {
    showWindow(windows_->books);
    ledger().newBook();
    ledger().newBook();
    app::DatasetGrid* grid = windows_->books->grid();
    grid->setFocus();
    {
      MessageBoxCloser boxes(QMessageBox::Cancel);
      QTest::keyClick(grid, Qt::Key_Delete, Qt::ControlModifier);
      QCOMPARE(boxes.texts, QStringList({"Delete record?"}));
    }
    QCOMPARE(windows_->books->model()->rowCount(), 2);
    MessageBoxCloser boxes(QMessageBox::Ok);
    QTest::keyClick(grid, Qt::Key_Delete, Qt::ControlModifier);
    QCOMPARE(windows_->books->model()->rowCount(), 1);
    // The journal was not touched by the list's key.
    QCOMPARE(windows_->journal->model()->rowCount(), 0);
  }

  void movementStampFillsAnEmptyTextAndSaysSo() {
    showWindow(windows_->moves);
    ledger().newMove();
    windows_->moves->model()->setData(windows_->moves->model()->index(0, ledger::moves::TEXT),
                                      QStringLiteral("Nákup potravin"));
    ledger().newJournalRow();  // takes the movement's name
    app::DatasetModel* journalModel = windows_->journal->model();
    journalModel->setData(journalModel->index(0, journal::TEXT), QString());
    toolButton(windows_->moves, 2)->trigger();
    QCOMPARE(journalModel->data(journalModel->index(0, journal::TEXT)).toString(),
             QStringLiteral("Nákup potravin"));
    QCOMPARE(ledger().status().text(), text::toCp1250("Tak, počet jednotek je 8 ..."));
  }

  void listGridsFitTheirColumns_data() {
    QTest::addColumn<int>("width");
    QTest::addColumn<QList<int>>("widths");
    QTest::newRow("factor 1") << 212 << QList<int>({20, 107, 60});
    QTest::newRow("factor 92/187") << 117 << QList<int>({9, 52, 29});
  }

  void listGridsFitTheirColumns() {
    QFETCH(int, width);
    QFETCH(QList<int>, widths);
    showWindow(windows_->books);
    app::DatasetGrid* grid = windows_->books->grid();
    grid->setColumnWidths({20, 107, 60});
    windows_->books->resize(width, 187);
    QTRY_COMPARE(grid->width(), width);
    const std::vector<int> shown = grid->columnWidths();
    QCOMPARE(QList<int>(shown.begin(), shown.end()), widths);
  }

  void theCalendarHasItsDesignPlace() {
    showWindow(windows_->calendar);
    QCOMPARE(windows_->calendar->windowTitle(), QStringLiteral("Kalendář"));
    // The design's client area, scaled so that the month fits; below the lists.
    QVERIFY(windows_->calendar->width() >= 184 && windows_->calendar->height() >= 179);
    QCOMPARE(windows_->calendar->pos(), QPoint(15, 402));
    QCOMPARE(windows_->calendar->minimumSize(), windows_->calendar->maximumSize());
    QCOMPARE(windows_->calendar->okButton()->text(), QStringLiteral("&OK"));
    QCOMPARE(windows_->calendar->okButton()->toolTip(),
             QStringLiteral("U právě označeného řádku v deníku nastaví toto datum..."));
    QCOMPARE(windows_->calendar->cancelButton()->text(), QStringLiteral("&Storno"));
    QCOMPARE(windows_->calendar->cancelButton()->toolTip(), QStringLiteral("Zavře tento dialog..."));
    QCOMPARE(windows_->calendar->calendar()->selectedDate(), QDate::currentDate());
  }

  void clickingADaySetsTheWorkingDateAtOnce() {
    showWindow(windows_->calendar);
    QCalendarWidget* calendar = windows_->calendar->calendar();
    const QDate today = QDate::currentDate();
    // A day of the month shown, clicked in the calendar's day table.
    auto* days = calendar->findChild<QAbstractItemView*>();
    const QDate target = today.day() == 15 ? today.addDays(1) : QDate(today.year(), today.month(), 15);
    QModelIndex cell;
    for (int row = 0; row < days->model()->rowCount() && !cell.isValid(); ++row) {
      for (int column = 0; column < days->model()->columnCount(); ++column) {
        const QModelIndex index = days->model()->index(row, column);
        if (index.data().toString() == QString::number(target.day()) && row > 0 && row < 4) {
          cell = index;
          break;
        }
      }
    }
    QVERIFY(cell.isValid());
    QTest::mouseClick(days->viewport(), Qt::LeftButton, {}, days->visualRect(cell).center());
    QCOMPARE(calendar->selectedDate(), target);
    QCOMPARE(ledger().calendarDate, (text::Date{target.year(), target.month(), target.day()}));

    // Storno hides, the date stays for new rows.
    windows_->calendar->cancelButton()->click();
    QVERIFY(!windows_->calendar->isVisible());
    ledger().newJournalRow();
    QCOMPARE(stored(*folder_, ledger::LedgerTable::Journal, 0, journal::DATUM), dateText(target));
  }

  void okStampsTheDateAndEscInTheJournalDiscardsIt() {
    ledger().newJournalRow();
    ledger().newJournalRow();
    showWindow(windows_->calendar);
    const QDate date(2004, 9, 12);
    windows_->calendar->calendar()->setSelectedDate(date);
    ledger().journal().moveTo(0);
    windows_->calendar->okButton()->click();
    QVERIFY(windows_->calendar->isVisible());
    QCOMPARE(ledger().status().text(), std::string("12.9.2004"));
    app::DatasetModel* journalModel = windows_->journal->model();
    QCOMPARE(journalModel->data(journalModel->index(0, journal::DATUM)).toString(),
             QStringLiteral("12.9.2004"));

    windows_->journal->activateWindow();
    QVERIFY(QTest::qWaitForWindowActive(windows_->journal.get()));
    QTest::keyClick(windows_->journal->grid(), Qt::Key_Escape);
    QCOMPARE(journalModel->data(journalModel->index(0, journal::DATUM)).toString(),
             QString::fromStdString(dateText(QDate::currentDate())));
  }

  void enterPressesOkAndEscDoesNothing() {
    ledger().newJournalRow();
    showWindow(windows_->calendar);
    windows_->calendar->calendar()->setSelectedDate(QDate(2026, 2, 3));
    auto* days = windows_->calendar->calendar()->findChild<QAbstractItemView*>();
    days->setFocus();
    QTest::keyClick(days, Qt::Key_Escape);
    QVERIFY(windows_->calendar->isVisible());
    QTest::keyClick(days, Qt::Key_Return);
    QCOMPARE(ledger().status().text(), std::string("3.2.2026"));
    QCOMPARE(ledger().journal().state(), ledger::DatasetState::Edit);
  }
};

int main(int argc, char** argv) {
  app::Application application(argc, argv);
  ListsWindowsTest test;
  return QTest::qExec(&test, argc, argv);
}

#include "lists_windows_test.moc"
