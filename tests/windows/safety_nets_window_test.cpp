// Deleted rows taken back through the windows (the deleted rows' windows
// of the journal and the lists, Ctrl+Z), and the day's backup at start,
// driven as the user drives them over real tables in a fresh folder.

#include <QAbstractItemModelTester>
#include <QAction>
#include <QLabel>
#include <QLineEdit>
#include <QMenuBar>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QStatusBar>
#include <QTableView>
#include <QTest>
#include <QToolBar>

#include <cerrno>

#include "app/dataset_model.h"
#include "app/deleted_rows_model.h"
#include "app/deleted_rows_window.h"
#include "backup/daily_backup.h"
#include "help/help_topics.h"
#include "ledger/ledger_tables.h"
#include "window_test_support.h"

using window_testing::fromCp1250;
using window_testing::MessageBoxCloser;
using window_testing::ProgramWindows;
using window_testing::WorkFolder;
namespace journal = ledger::journal;

namespace {

std::string cz(const char* utf8) { return text::toCp1250(utf8); }

QString statusLabelText(app::JournalWindow& window) {
  return window.statusBar()->findChild<QLabel*>(QStringLiteral("StatusBar1"))->text();
}

QAction* menuAction(QWidget* window, const QString& text) {
  for (QAction* action : window->actions()) {
    if (action->text() == text) return action;
  }
  return nullptr;
}

QAction* toolButton(QWidget* window, int position) {
  return window->findChild<QToolBar*>("ToolBar1")->actions().at(position);
}

// The rows of a table as another reader of the file sees them, each as
// "ID TEXT".
QStringList storedRows(const WorkFolder& folder, ledger::LedgerTable table, int textColumn) {
  ledger::Dataset reader("Reader", ledger::tablePath(folder.path(), table), text::Regional::czech());
  reader.open();
  QStringList rows;
  for (reader.first(); !reader.eof(); reader.next()) {
    rows << fromCp1250(reader.field(0).asString() + " " + reader.field(textColumn).asString());
  }
  return rows;
}

}  // namespace

class SafetyNetsWindowTest : public QObject {
  Q_OBJECT

 private:
  std::unique_ptr<WorkFolder> folder_;
  std::unique_ptr<ProgramWindows> windows_;

  app::JournalWindow& journal() { return *windows_->journal; }
  app::Ledger& ledger() { return journal().ledger(); }
  app::DatasetModel& model() { return *journal().model(); }

  // A journal of three rows typed in by the user, with one book and one
  // movement.
  void startWithThreeRows() {
    windows_ = std::make_unique<ProgramWindows>();
    journal().show();
    QVERIFY(QTest::qWaitForWindowActive(&journal()));
    ledger().newBook();
    ledger().newMove();
    for (const char* text : {"chléb", "mléko", "výplata"}) {
      QTest::keyClick(journal().grid(), Qt::Key_N, Qt::ControlModifier);
      ledger().journal().edit();
      ledger().journal().field(journal::TEXT).setAsString(cz(text));
      ledger().journal().post();
    }
  }

  void deleteJournalRow(int row) {
    journal().grid()->setFocus();
    journal().grid()->setCurrentIndex(model().index(row, journal::TEXT));
    QTest::keyClick(journal().grid(), Qt::Key_Delete, Qt::ControlModifier);
  }

  QStringList journalRows() { return storedRows(*folder_, ledger::LedgerTable::Journal, journal::TEXT); }

 private slots:
  void initTestCase() { QApplication::setQuitOnLastWindowClosed(false); }

  void init() {
    folder_ = std::make_unique<WorkFolder>();
    folder_->writeSettings();
  }

  void cleanup() {
    windows_.reset();
    folder_.reset();
  }

  void theDeletedRowsWindowListsNewestFirstAndObnovitBringsARowBack() {
    startWithThreeRows();
    deleteJournalRow(0);
    deleteJournalRow(1);  // "výplata", now the second row
    QCOMPARE(journalRows(), QStringList({"2 mléko"}));

    QAction* open = menuAction(&journal(), QStringLiteral("Smazané &záznamy"));
    QVERIFY(open != nullptr);
    // In the "Soubor" menu, after the delete command.
    const QList<QAction*> soubor = journal().menuBar()->actions().at(0)->menu()->actions();
    QVERIFY(soubor.indexOf(open) > soubor.indexOf(menuAction(&journal(), QStringLiteral("&Smazat řádek"))));
    open->trigger();
    app::DeletedRowsWindow* window = journal().deletedRowsWindow();
    QVERIFY(window->isVisible());
    QCOMPARE(window->windowTitle(), QStringLiteral("Smazané záznamy"));
    app::DeletedRowsModel* rows = window->model();
    QAbstractItemModelTester tester(rows, QAbstractItemModelTester::FailureReportingMode::QtTest);
    QCOMPARE(rows->rowCount(), 2);
    QCOMPARE(rows->columnCount(), 9);
    QCOMPARE(rows->headerData(0, Qt::Horizontal).toString(), QStringLiteral("Záznam"));
    QCOMPARE(rows->headerData(1 + journal::TEXT, Qt::Horizontal).toString(), QStringLiteral("TEXT"));
    // Newest first, every column.
    QCOMPARE(rows->data(rows->index(0, 0)).toString(), QStringLiteral("3"));
    QCOMPARE(rows->data(rows->index(0, 1 + journal::TEXT)).toString(), QStringLiteral("výplata"));
    QCOMPARE(rows->data(rows->index(1, 1 + journal::ID)).toString(), QStringLiteral("1"));
    QCOMPARE(rows->data(rows->index(1, 1 + journal::DATUM)).toString(),
             fromCp1250(text::formatDate(text::Date::today(), text::Regional::czech())));

    // The older one chosen and brought back in its place, with its number.
    window->view()->setCurrentIndex(rows->index(1, 0));
    QTest::mouseClick(window->recallButton(), Qt::LeftButton);
    QCOMPARE(journalRows(), QStringList({"1 chléb", "2 mléko"}));
    QCOMPARE(ledger().status().text(), cz("Záznam obnoven s číslem 1; zůstatky je třeba přepočítat..."));
    QTRY_COMPARE(statusLabelText(journal()), fromCp1250(ledger().status().text()));
    // The list follows; the journal grid stands on the row.
    QTRY_COMPARE(rows->rowCount(), 1);
    QCOMPARE(model().rowCount(), 2);
    QCOMPARE(model().cursorRow(), 0);
    // F1 shows the window's help topic.
    QTest::keyClick(window, Qt::Key_F1);
    QVERIFY(windows_->all.Form8->isVisible());
    QCOMPARE(windows_->all.Form8->memo()->toPlainText().left(30),
             QString::fromUtf8(text::toUtf8(help::helpTopicTexts()[help::kDeletedRowsTopic])).left(30));
  }

  void ctrlZBringsBackTheRowsThisWindowDeletedLastOneFirst() {
    startWithThreeRows();
    deleteJournalRow(1);
    deleteJournalRow(1);
    QCOMPARE(journalRows(), QStringList({"1 chléb"}));
    QTest::keyClick(journal().grid(), Qt::Key_Z, Qt::ControlModifier);
    QCOMPARE(journalRows(), QStringList({"1 chléb", "3 výplata"}));
    // Its number was taken meanwhile: the next new one, said on the status line.
    QTest::keyClick(journal().grid(), Qt::Key_N, Qt::ControlModifier);
    QCOMPARE(journalRows(), QStringList({"1 chléb", "3 výplata", "4 "}));
    deleteJournalRow(1);  // "výplata" again
    QTest::keyClick(journal().grid(), Qt::Key_N, Qt::ControlModifier);  // 5
    QTest::keyClick(journal().grid(), Qt::Key_Z, Qt::ControlModifier);
    QCOMPARE(journalRows(), QStringList({"1 chléb", "3 výplata", "4 ", "5 "}));
    QTest::keyClick(journal().grid(), Qt::Key_Z, Qt::ControlModifier);
    QCOMPARE(journalRows(), QStringList({"1 chléb", "2 mléko", "3 výplata", "4 ", "5 "}));
    QCOMPARE(ledger().status().text(), cz("Záznam obnoven s číslem 2; zůstatky je třeba přepočítat..."));
    QCOMPARE(model().cursorRow(), 1);
    // Nothing more to take back.
    QTest::keyClick(journal().grid(), Qt::Key_Z, Qt::ControlModifier);
    QCOMPARE(ledger().status().text(), cz("Žádný smazaný řádek k vrácení..."));
  }

  void aTakenNumberGivesTheRowTheNextNewNumberThroughTheWindow() {
    startWithThreeRows();
    deleteJournalRow(2);  // "výplata", 3
    QTest::keyClick(journal().grid(), Qt::Key_N, Qt::ControlModifier);  // 3 again
    QCOMPARE(journalRows(), QStringList({"1 chléb", "2 mléko", "3 "}));
    journal().deletedRowsWindow()->show();
    app::DeletedRowsWindow* window = journal().deletedRowsWindow();
    QCOMPARE(window->model()->rowCount(), 1);
    QCOMPARE(window->view()->currentIndex().row(), 0);
    QTest::mouseClick(window->recallButton(), Qt::LeftButton);
    QCOMPARE(journalRows(), QStringList({"1 chléb", "2 mléko", "4 výplata", "3 "}));
    QCOMPARE(ledger().status().text(),
             cz("Záznam obnoven s novým číslem 4: číslo 3 mezitím dostal jiný záznam; zůstatky je třeba "
                "přepočítat..."));
  }

  void ctrlZInAStripBoxUndoesTheTypingFirst() {
    startWithThreeRows();
    deleteJournalRow(0);
    auto* text = journal().findChild<QLineEdit*>("DBEdit2");
    text->setFocus();
    QTRY_VERIFY(text->hasFocus());
    text->end(false);
    QTest::keyClicks(text, "x");
    QCOMPARE(text->text(), QStringLiteral("mlékox"));
    QTest::keyClick(text, Qt::Key_Z, Qt::ControlModifier);
    // The box's own undo: the row stays deleted.
    QCOMPARE(text->text(), QStringLiteral("mléko"));
    QCOMPARE(ledger().journal().deletedRecords().size(), size_t{1});
    // With nothing left to undo in the box, Ctrl+Z is the window's.
    while (text->isUndoAvailable()) text->undo();
    QTest::keyClick(text, Qt::Key_Z, Qt::ControlModifier);
    QCOMPARE(ledger().journal().deletedRecords().size(), size_t{0});
    QCOMPARE(journalRows(), QStringList({"1 chléb", "2 mléko", "3 výplata"}));
  }

  void aDeletedBookComesBackThroughTheBooksList() {
    startWithThreeRows();
    lists::BooksWindow* books = windows_->books;
    books->show();
    ledger().newBook();  // 2
    ledger().newBook();  // 3
    ledger().books().moveTo(1);
    toolButton(books, 1)->trigger();  // delete book 2, without a question
    QCOMPARE(storedRows(*folder_, ledger::LedgerTable::Books, 1), QStringList({"1 ", "3 "}));
    toolButton(books, 3)->trigger();
    app::DeletedRowsWindow* window = books->deletedRowsWindow();
    QVERIFY(window->isVisible());
    QCOMPARE(window->windowTitle(), QStringLiteral("Smazané záznamy: Knihy"));
    QCOMPARE(window->model()->rowCount(), 1);
    QCOMPARE(window->model()->data(window->model()->index(0, 1)).toString(), QStringLiteral("2"));
    QTest::mouseClick(window->recallButton(), Qt::LeftButton);
    QCOMPARE(storedRows(*folder_, ledger::LedgerTable::Books, 1), QStringList({"1 ", "2 ", "3 "}));
    QCOMPARE(ledger().status().text(), cz("Záznam obnoven s číslem 2; zůstatky je třeba přepočítat..."));
    // Taken since: the next new number.
    ledger().books().moveTo(1);
    toolButton(books, 1)->trigger();
    toolButton(books, 0)->trigger();  // 4
    ledger().books().moveTo(0);
    ledger().books().edit();
    ledger().books().field(0).setAsFloat(2);  // book 1 renumbered 2 by hand
    ledger().books().post();
    QTRY_COMPARE(window->model()->rowCount(), 1);
    window->view()->setCurrentIndex(window->model()->index(0, 0));
    QTest::mouseClick(window->recallButton(), Qt::LeftButton);
    QCOMPARE(storedRows(*folder_, ledger::LedgerTable::Books, 1), QStringList({"2 ", "5 ", "3 ", "4 "}));
    QVERIFY(ledger().status().text().starts_with(cz("Záznam obnoven s novým číslem 5: číslo 2")));
  }

  void theDaysBackupAtStartIsWrittenBesideTheWindowAndSaidOnTheStatusLine() {
    startWithThreeRows();
    journal().startDailyBackup();
    QTRY_VERIFY(journal().dailyBackupReported());
    const std::filesystem::path file =
        folder_->path() / "data" / "zalohy" / backup::DailyBackupName(text::Date::today());
    QVERIFY(std::filesystem::exists(file));
    QCOMPARE(ledger().status().text(), cz("Denní záloha uložena do ") + file.string());
    QTRY_COMPARE(statusLabelText(journal()), fromCp1250(ledger().status().text()));
    // The lists stand where they stood: a new row still gets book 1.
    QTest::keyClick(journal().grid(), Qt::Key_N, Qt::ControlModifier);
    QCOMPARE(ledger().journal().field(journal::IDK).asString(), std::string("1"));
  }

  void aZalohyFolderThatCannotBeWrittenIsReportedAndTheStartGoesOn() {
    startWithThreeRows();
    MessageBoxCloser boxes;
    journal().startDailyBackup([](const std::filesystem::path&, int& error) -> std::unique_ptr<ledger::File> {
      error = EROFS;
      return nullptr;
    });
    QTRY_VERIFY(journal().dailyBackupReported());
    const std::filesystem::path file =
        folder_->path() / "data" / "zalohy" / backup::DailyBackupName(text::Date::today());
    QCOMPARE(ledger().status().text(),
             cz("Denní zálohu nelze uložit: Cannot create file ") + file.string() + ": Read-only file system");
    QVERIFY(!std::filesystem::exists(file));
    QCOMPARE(boxes.texts, QStringList());
    // The window works on.
    QTest::keyClick(journal().grid(), Qt::Key_N, Qt::ControlModifier);
    QCOMPARE(journalRows().size(), 4);
  }
};

QTEST_MAIN(SafetyNetsWindowTest)
#include "safety_nets_window_test.moc"
