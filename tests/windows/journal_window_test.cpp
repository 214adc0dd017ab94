// The journal window driven as the user drives it: keys, tool buttons,
// resizing, start-up and shutdown, over real tables in a fresh folder.

#include <QAction>
#include <QLabel>
#include <QLineEdit>
#include <QStatusBar>
#include <QTest>
#include <QToolBar>
#include <QToolButton>

#include "app/dataset_model.h"
#include "app/error_box_qt.h"
#include "app/grid_columns.h"
#include "ledger/ledger_tables.h"
#include "text/error.h"
#include "window_test_support.h"

using window_testing::fromCp1250;
using window_testing::MessageBoxCloser;
using window_testing::ProgramWindows;
using window_testing::WorkFolder;
namespace journal = ledger::journal;

namespace {

// A column of a journal row as another reader of the file sees it: only
// what is stored.
std::string storedText(const WorkFolder& folder, std::int64_t row, int column) {
  ledger::Dataset reader("Reader", ledger::tablePath(folder.path(), ledger::LedgerTable::Journal),
                         text::Regional::czech());
  reader.open();
  return reader.textAt(row, column);
}

QString statusLabelText(app::JournalWindow& window) {
  return window.statusBar()->findChild<QLabel*>(QStringLiteral("StatusBar1"))->text();
}

class CountEvents : public QObject {
 public:
  explicit CountEvents(QEvent::Type type) : type_(type) {}
  int count = 0;
  bool eventFilter(QObject*, QEvent* event) override {
    if (event->type() == type_) ++count;
    return false;
  }

 private:
  QEvent::Type type_;
};

}  // namespace

class JournalWindowTest : public QObject {
  Q_OBJECT

 private:
  std::unique_ptr<WorkFolder> folder_;
  std::unique_ptr<ProgramWindows> windows_;

  app::JournalWindow& journal() { return *windows_->journal; }
  app::DatasetModel& model() { return *journal().model(); }
  app::DatasetGrid& grid() { return *journal().grid(); }
  app::Ledger& ledger() { return journal().ledger(); }

  void startProgram() {
    windows_ = std::make_unique<ProgramWindows>();
    journal().show();
    QVERIFY(QTest::qWaitForWindowActive(&journal()));
  }

  void press(QWidget* target, Qt::Key key, Qt::KeyboardModifiers modifiers = Qt::NoModifier) {
    QTest::keyClick(target, key, modifiers);
  }

  // A started program with one row whose PLUS cell has an open editor
  // holding `typed`.
  QModelIndex typeIntoTheFirstRowsAmount(const char* typed) {
    startProgram();
    ledger().newJournalRow();
    grid().setFocus();
    const QModelIndex cell = model().index(0, journal::PLUS);
    grid().setCurrentIndex(cell);
    grid().edit(cell);
    QWidget* editor = grid().indexWidget(cell);
    if (editor != nullptr) QTest::keyClicks(editor, typed);
    return cell;
  }

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

  void startUpOpensTablesAndShowsStarted() {
    MessageBoxCloser boxes;
    startProgram();
    QCOMPARE(boxes.texts, QStringList());
    QCOMPARE(journal().windowTitle(), QStringLiteral("Mincar"));
    // The design's outer size (offscreen there is no frame), wider where
    // the dates would not fit.
    QTRY_COMPARE(journal().frameGeometry().height(), 442);
    QVERIFY(journal().frameGeometry().width() >= 650);
    QCOMPARE(journal().pos(), QPoint(292, 185));
    QCOMPARE(ledger().status().text(), std::string("Started..."));
    QTRY_COMPARE(statusLabelText(journal()), QStringLiteral("Started..."));
    for (auto table : {ledger::LedgerTable::Journal, ledger::LedgerTable::Books,
                       ledger::LedgerTable::Moves}) {
      QVERIFY(std::filesystem::exists(ledger::tablePath(folder_->path(), table)));
    }
    QCOMPARE(journal().settings().firma, text::toCp1250("Domácnost"));
    // The grid's titles are the journal's columns.
    QStringList titles;
    for (int column = 0; column < model().columnCount(); ++column) {
      titles << model().headerData(column, Qt::Horizontal).toString();
    }
    QCOMPARE(titles, QStringList({"ID", "IDK", "IDM", "DATUM", "TEXT", "PLUS", "MINUS", "ZUSTATEK"}));
  }

  void aTableThatCannotBeOpenedEndsTheStartUp() {
    const auto path = ledger::tablePath(folder_->path(), ledger::LedgerTable::Journal);
    std::filesystem::create_directories(path.parent_path());
    testing_support::writeFile(path, "not a table at all");
    QString expected;
    try {
      ledger::Dataset direct("Table1", path, text::Regional::czech());
      direct.open();
    } catch (const std::exception& error) {
      expected = app::errorText(error);
    }
    QVERIFY(!expected.isEmpty());
    try {
      ProgramWindows windows;
      QFAIL("the windows were created over a damaged journal");
    } catch (const std::exception& error) {
      QCOMPARE(app::errorText(error), expected);
    }
  }

  void aRepairedTableIsReportedAfterStarted() {
    {
      ProgramWindows first;
      for (int i = 0; i < 3; ++i) first.journal->ledger().newJournalRow();
    }
    // A crash after an append: the header counts one row fewer than the file holds.
    const auto path = ledger::tablePath(folder_->path(), ledger::LedgerTable::Journal);
    std::string bytes = testing_support::readFile(path);
    bytes[4] = 2;
    testing_support::writeFile(path, bytes);

    startProgram();
    const std::string notice = mincar::fill("%s: the row count was repaired from %d to %d",
                                            {ledger().journal().path().string(), "2", "3"});
    QCOMPARE(ledger().status().text(), "Started... " + notice);
    QCOMPARE(model().rowCount(), 3);
  }

  void aDamagedCountIsRepairedAndShownInAMessageBox() {
    {
      ProgramWindows first;
      for (int i = 0; i < 3; ++i) first.journal->ledger().newJournalRow();
    }
    // Damage from elsewhere: the header promises 5 rows, the file holds 3
    // and half of a fourth.
    const auto path = ledger::tablePath(folder_->path(), ledger::LedgerTable::Journal);
    std::string bytes = testing_support::readFile(path);
    const std::size_t recordLength = static_cast<unsigned char>(bytes[10]) | static_cast<unsigned char>(bytes[11]) << 8;
    bytes.pop_back();  // the end mark
    bytes += bytes.substr(bytes.size() - recordLength, recordLength / 2);
    bytes[4] = 5;
    testing_support::writeFile(path, bytes);

    MessageBoxCloser boxes;
    startProgram();
    std::vector<std::filesystem::path> copies;
    for (const auto& entry : std::filesystem::directory_iterator(path.parent_path())) {
      if (entry.path().filename().string().rfind("peden.dbf.damaged-", 0) == 0) copies.push_back(entry.path());
    }
    QCOMPARE(copies.size(), std::size_t(1));
    QCOMPARE(testing_support::readFile(copies[0]), bytes);
    const std::string notice = mincar::fill(
        "%s: the header promised %d rows, but only %d are in the file; the file as it was found is kept as %s",
        {ledger().journal().path().string(), "5", "3", copies[0].string()});
    QCOMPARE(boxes.texts, QStringList({fromCp1250(notice)}));
    QCOMPARE(ledger().status().text(), std::string("Started..."));
    QCOMPARE(model().rowCount(), 3);
  }

  void missingSettingsFileIsReportedAndDefaultsStay() {
    std::filesystem::remove(*folder_ / "prop1.txt");
    MessageBoxCloser boxes;
    startProgram();
    QCOMPARE(boxes.texts, QStringList({"Cannot open file prop1.txt"}));
    const app::Settings defaults =
        app::Settings::defaults(text::Regional::fromEnvironment(), text::Date::today());
    QCOMPARE(journal().settings().browser, defaults.browser);
    QCOMPARE(journal().settings().datumOd, defaults.datumOd);
    QCOMPARE(ledger().status().text(), std::string("Started..."));
    // The first close creates the file, eight lines.
    journal().close();
    const std::string written = testing_support::readFile(*folder_ / "prop1.txt");
    QCOMPARE(std::count(written.begin(), written.end(), '\n'), 8L);
  }

  // A bad value in prop1.txt costs that value only: the later settings are
  // loaded, "Started..." is shown, and the next close keeps them.
  void aBadSearchDateCostsThatDateOnly() {
    const std::string lines = "Firma =;Domácnost;\n\rVystavil =; ;\n\rSchvalil =; ;\n\rPrevzal =; ;\n\r"
                              "Datum od =;12/31/2026;\n\rDatum do =;31.12.2026;\n\r"
                              "Browser =;firefox --private ;\n\rFilespec =;file://;\n\r";
    testing_support::writeFile(*folder_ / "prop1.txt", text::toCp1250(lines));
    MessageBoxCloser boxes;
    startProgram();
    QCOMPARE(boxes.texts, QStringList({"'12/31/2026' is not a valid date and time"}));
    QCOMPARE(ledger().status().text(), std::string("Started..."));
    journal().close();
    const std::string written = testing_support::readFile(*folder_ / "prop1.txt");
    QVERIFY2(written.find("Browser =;firefox --private ;") != std::string::npos, written.c_str());
    QVERIFY2(written.find("Filespec =;file://;") != std::string::npos, written.c_str());
    QVERIFY2(written.find("Datum do =;31.12.2026;") != std::string::npos, written.c_str());
    QVERIFY2(written.find("Firma =;Dom") != std::string::npos, written.c_str());
  }

  void settingsFileThatCannotBeWrittenIsReportedAndTheWindowCloses() {
    startProgram();
    // A folder in the settings file's place cannot be replaced by a file.
    std::filesystem::remove(*folder_ / "prop1.txt");
    std::filesystem::create_directory(*folder_ / "prop1.txt");
    MessageBoxCloser boxes;
    journal().close();
    QCOMPARE(boxes.texts, QStringList({"Cannot create file prop1.txt"}));
    QVERIFY(!journal().isVisible());
  }

  // With rows in the journal and the filter on (as after start-up), the
  // recomputation's last message stays in the status line after the grid
  // has repainted: the filter's status write must not wipe it.
  void theRecomputationsLastMessageStaysAfterTheRepaint() {
    {
      ProgramWindows first;
      for (int i = 0; i < 3; ++i) first.journal->ledger().newJournalRow();
    }
    startProgram();
    QVERIFY(ledger().journal().filtered());
    QAction* recompute = nullptr;
    for (QAction* action : journal().actions()) {
      if (action->text() == QStringLiteral("Přepočítat zůstatky")) recompute = action;
    }
    QVERIFY(recompute != nullptr);
    recompute->trigger();
    grid().viewport()->repaint();
    QTest::qWait(50);
    QCOMPARE(ledger().status().text(), text::toCp1250("Konečné stavy obnoveny..."));
  }

  void ctrlNAppendsANumberedRow() {
    startProgram();
    press(&grid(), Qt::Key_N, Qt::ControlModifier);
    press(&grid(), Qt::Key_N, Qt::ControlModifier);
    QCOMPARE(model().rowCount(), 2);
    QCOMPARE(ledger().status().text(), std::string("New record is appended..."));
    QCOMPARE(model().data(model().index(1, journal::ID)).toString(), QStringLiteral("2"));
    QCOMPARE(storedText(*folder_, 1, journal::ID), std::string("2"));
    // The grid and the strip stand on the new row.
    QCOMPARE(grid().currentIndex().row(), 1);
    QCOMPARE(journal().findChild<QLineEdit*>("DBEdit1")->text(),
             fromCp1250(text::formatDate(ledger().calendarDate, text::Regional::czech())));
  }

  void ctrlDeleteInTheGridDeletesWithoutAQuestion() {
    startProgram();
    ledger().newJournalRow();
    ledger().newJournalRow();
    grid().setFocus();
    grid().setCurrentIndex(model().index(0, journal::TEXT));
    MessageBoxCloser boxes;
    press(&grid(), Qt::Key_Delete, Qt::ControlModifier);
    QCOMPARE(boxes.texts, QStringList());
    QCOMPARE(model().rowCount(), 1);
    QCOMPARE(storedText(*folder_, 0, journal::ID), std::string("2"));
  }

  // Closing with a value the column refuses, still in its cell: the window
  // stays open with the error and the text, to be corrected or dropped.
  void closingWithARefusedValueInACellKeepsTheWindowAndTheText() {
    const QModelIndex cell = typeIntoTheFirstRowsAmount("abc");
    MessageBoxCloser boxes;
    QVERIFY(!journal().close());
    QTRY_COMPARE(boxes.texts.size(), 1);
    QCOMPARE(boxes.texts, QStringList({"Invalid value for field 'PLUS'"}));
    QVERIFY(journal().isVisible());
    QTRY_VERIFY(qobject_cast<QLineEdit*>(grid().indexWidget(cell)) != nullptr);
    QCOMPARE(qobject_cast<QLineEdit*>(grid().indexWidget(cell))->text(), QStringLiteral("abc"));
    // Esc drops it; then the window closes.
    press(grid().indexWidget(cell), Qt::Key_Escape);
    QVERIFY(journal().close());
    QVERIFY(!journal().isVisible());
  }

  // An amount typed into a cell, then Ctrl+N: the amount is stored, a row
  // appended, and no box appears, as nothing failed.
  void ctrlNAfterTypingAnAmountShowsNoBox() {
    const QModelIndex cell = typeIntoTheFirstRowsAmount("250");
    MessageBoxCloser boxes;
    press(grid().indexWidget(cell), Qt::Key_N, Qt::ControlModifier);
    QTest::qWait(100);
    QCOMPARE(boxes.texts, QStringList());
    QCOMPARE(model().rowCount(), 2);
    QCOMPARE(storedText(*folder_, 0, journal::PLUS), std::string("250"));
  }

  // Typing into the strip on an empty journal begins a row by the new-row
  // rule, and Enter stores what was typed.
  void typingIntoTheStripOnAnEmptyJournalBeginsARow() {
    startProgram();
    QCOMPARE(model().rowCount(), 0);
    auto* plus = journal().findChild<QLineEdit*>(QStringLiteral("DBEdit3"));
    QVERIFY(plus != nullptr);
    plus->setFocus();
    MessageBoxCloser boxes;
    QTest::keyClicks(plus, "250");
    press(plus, Qt::Key_Return);
    QCOMPARE(boxes.texts, QStringList());
    QCOMPARE(model().rowCount(), 1);
    QCOMPARE(plus->text(), QStringLiteral("250"));
    QCOMPARE(storedText(*folder_, 0, journal::ID), std::string("1"));
    // In the row, to be stored when the user leaves it, as in the grid.
    QCOMPARE(model().data(model().index(0, journal::PLUS)).toString(), QStringLiteral("250"));
    ledger().journal().post();
    QCOMPARE(storedText(*folder_, 0, journal::PLUS), std::string("250"));
  }

  // In a journal longer than the grid, the row Ctrl+N appends is shown
  // whole, not cut off at the bottom.
  void theNewRowIsShownWhole() {
    {
      ProgramWindows first;
      for (int i = 0; i < 40; ++i) first.journal->ledger().newJournalRow();
    }
    startProgram();
    grid().setFocus();
    grid().setCurrentIndex(model().index(0, journal::ID));
    press(&grid(), Qt::Key_N, Qt::ControlModifier);
    QCOMPARE(model().rowCount(), 41);
    QTRY_COMPARE(grid().currentIndex().row(), 40);
    QTRY_VERIFY(grid().viewport()->rect().contains(grid().visualRect(grid().currentIndex())));
  }

  void ctrlDeleteReachesTheCommandFromAnOpenCellEditor() {
    startProgram();
    ledger().newJournalRow();
    grid().setFocus();
    const QModelIndex cell = model().index(0, journal::TEXT);
    grid().setCurrentIndex(cell);
    grid().edit(cell);
    QWidget* editor = QApplication::focusWidget();
    QVERIFY(qobject_cast<QLineEdit*>(editor) != nullptr);
    MessageBoxCloser boxes;
    press(editor, Qt::Key_Delete, Qt::ControlModifier);
    QCOMPARE(boxes.texts, QStringList());
    QCOMPARE(model().rowCount(), 0);
  }

  void deleteOnAnEmptyJournalShowsTheEngineError() {
    startProgram();
    std::string expected;
    try {
      ledger().journal().remove();
    } catch (const std::exception& error) {
      expected = error.what();
    }
    QVERIFY(!expected.empty());
    MessageBoxCloser boxes;
    press(&grid(), Qt::Key_Delete, Qt::ControlModifier);
    QCOMPARE(boxes.texts, QStringList({fromCp1250(expected)}));
  }

  void ctrlXInATextBoxClosesTheProgram() {
    startProgram();
    ledger().newJournalRow();
    auto* text = journal().findChild<QLineEdit*>("DBEdit2");
    text->setFocus();
    QTRY_COMPARE(QApplication::focusWidget(), static_cast<QWidget*>(text));
    text->selectAll();
    press(text, Qt::Key_X, Qt::ControlModifier);
    QVERIFY(!journal().isVisible());
    // Closing wrote the settings back.
    QVERIFY(testing_support::readFile(*folder_ / "prop1.txt").starts_with(
        text::toCp1250("Firma =;Domácnost;\n\r")));
  }

  void showCommands_data() {
    QTest::addColumn<int>("key");
    QTest::addColumn<QString>("window");
    QTest::newRow("Ctrl+P movements") << int(Qt::Key_P) << "Form2";
    QTest::newRow("Ctrl+K books") << int(Qt::Key_K) << "Form3";
    QTest::newRow("Ctrl+D calendar") << int(Qt::Key_D) << "Form4";
  }

  void showCommands() {
    QFETCH(int, key);
    QFETCH(QString, window);
    startProgram();
    auto* shown = journal().findChild<QWidget*>(window);
    QVERIFY(shown != nullptr && !shown->isVisible());
    press(&grid(), Qt::Key(key), Qt::ControlModifier);
    QVERIFY(shown->isVisible());
    QVERIFY(shown->isWindow());
    QCOMPARE(shown->parentWidget(), static_cast<QWidget*>(&journal()));
  }

  void showCommandLeavesAVisibleWindowAlone() {
    startProgram();
    QWidget* books = windows_->books;
    press(&grid(), Qt::Key_K, Qt::ControlModifier);
    QVERIFY(QTest::qWaitForWindowExposed(books));
    books->move(400, 300);
    journal().activateWindow();
    QVERIFY(QTest::qWaitForWindowActive(&journal()));
    const QRect before = books->geometry();

    CountEvents shows(QEvent::Show), restacks(QEvent::ZOrderChange);
    books->installEventFilter(&shows);
    books->installEventFilter(&restacks);
    press(&grid(), Qt::Key_K, Qt::ControlModifier);
    press(&grid(), Qt::Key_K, Qt::ControlModifier);
    QTest::qWait(20);
    QCOMPARE(books->geometry(), before);
    QCOMPARE(shows.count, 0);
    QCOMPARE(restacks.count, 0);
    QCOMPARE(QApplication::activeWindow(), static_cast<QWidget*>(&journal()));
  }

  void f1ShowsTheHelpWindowAndTheMenuTheConfiguration() {
    startProgram();
    QWidget* help = windows_->all.Form8;
    QWidget* config = windows_->all.Form7;
    QVERIFY(!help->isVisible());
    QTest::keySequence(&journal(), QKeySequence(Qt::Key_F1));
    QVERIFY(help->isVisible());
    QAction* configure = nullptr;
    for (QAction* action : journal().actions()) {
      if (action->text() == QStringLiteral("Konfigurace")) configure = action;
    }
    QVERIFY(configure != nullptr);
    configure->trigger();
    QVERIFY(config->isVisible());
  }

  void everyToolButtonHasItsPicture() {
    startProgram();
    auto* toolBar = journal().findChild<QToolBar*>("ToolBar1");
    const QList<QAction*> buttons = toolBar->actions();
    QCOMPARE(buttons.size(), 13);
    for (QAction* button : buttons) {
      QVERIFY2(!button->icon().pixmap(16, 16).isNull(), qPrintable(button->toolTip()));
    }
  }

  void resizingFitsTheGridColumns() {
    startProgram();
    // Scaled from the design's widths by the grid's width less 25.
    const std::vector<int> design = {28, 25, 27, 51, 329, 45, 45, 45};
    const int widthBefore = grid().width();
    journal().resize(900, 500);
    QTRY_VERIFY(grid().width() != widthBefore);
    std::vector<int> expected = design;
    app::FitGridColumns(grid().width(), expected);
    QCOMPARE(grid().columnWidths(), expected);

    // Dragged narrower and back in small steps: the widths end where the
    // single resize put them, the columns never wider than the grid.
    for (int w = 890; w >= 450; w -= 10) journal().resize(w, 500);
    for (int w = 460; w <= 900; w += 10) journal().resize(w, 500);
    QTRY_COMPARE(grid().columnWidths(), expected);
    int total = 0;
    for (int w : grid().columnWidths()) total += w;
    QVERIFY(total <= grid().width() - 25);

    // A column the user widened keeps its width until the window's size
    // changes, and is then scaled with the others from what the user set.
    grid().setColumnWidth(journal::TEXT, 300);
    QTest::qWait(20);
    QCOMPARE(grid().columnWidth(journal::TEXT), 300);
    std::vector<int> userSet = grid().columnWidths();
    journal().resize(700, 500);
    QTRY_VERIFY(grid().width() < 700);
    app::FitGridColumns(grid().width(), userSet);
    QCOMPARE(grid().columnWidths(), userSet);
  }

  void anEditIsStoredWhenTheCursorMovesToAnotherRow() {
    startProgram();
    ledger().newJournalRow();
    ledger().newJournalRow();
    grid().setFocus();
    grid().setCurrentIndex(model().index(0, journal::TEXT));
    QVERIFY(model().setData(model().index(0, journal::TEXT), QStringLiteral("Nákup – řízky")));
    QCOMPARE(ledger().journal().state(), ledger::DatasetState::Edit);
    QCOMPARE(storedText(*folder_, 0, journal::TEXT), std::string());
    press(&grid(), Qt::Key_Down);
    QCOMPARE(ledger().journal().rowIndex(), 1);
    QCOMPARE(ledger().journal().state(), ledger::DatasetState::Browse);
    QCOMPARE(storedText(*folder_, 0, journal::TEXT), text::toCp1250("Nákup – řízky"));
  }

  void theStripStoresOnlyWhatWasTypedNotAnotherUsersChange() {
    startProgram();
    ledger().newJournalRow();
    ledger().journal().edit();
    ledger().journal().field(journal::TEXT).setAsString(text::toCp1250("Nákup"));
    ledger().newJournalRow();
    ledger().journal().first();
    auto* text = journal().findChild<QLineEdit*>("DBEdit2");
    auto* plus = journal().findChild<QLineEdit*>("DBEdit3");
    QTRY_COMPARE(text->text(), QStringLiteral("Nákup"));
    // Another copy of the program changes the row the strip shows.
    const auto otherUserWrites = [&](int column, const std::string& value) {
      ledger::Dataset other("Other", ledger::tablePath(folder_->path(), ledger::LedgerTable::Journal),
                            text::Regional::czech());
      other.open();
      other.first();
      other.edit();
      other.field(column).setAsString(text::toCp1250(value));
      other.post();
    };
    otherUserWrites(journal::TEXT, "Oběd u Nováků");
    // A command with nothing typed stores nothing of the strip.
    grid().setFocus();
    ledger().journal().first();
    press(&grid(), Qt::Key_N, Qt::ControlModifier);
    QCOMPARE(storedText(*folder_, 0, journal::TEXT), text::toCp1250("Oběd u Nováků"));

    // The user types an amount only; the other user's later text stays.
    ledger().journal().first();
    QTRY_COMPARE(text->text(), QStringLiteral("Oběd u Nováků"));
    otherUserWrites(journal::TEXT, "Večeře");
    plus->setFocus();
    QTRY_COMPARE(QApplication::focusWidget(), static_cast<QWidget*>(plus));
    QTest::keyClicks(plus, "80");
    press(plus, Qt::Key_N, Qt::ControlModifier);
    QCOMPARE(storedText(*folder_, 0, journal::TEXT), text::toCp1250("Večeře"));
    QCOMPARE(storedText(*folder_, 0, journal::PLUS), std::string("80"));
  }

  void typingIntoTheStripStoresTheRowOnTheNextCommand() {
    startProgram();
    ledger().newJournalRow();
    auto* plus = journal().findChild<QLineEdit*>("DBEdit3");
    plus->setFocus();
    QTRY_COMPARE(QApplication::focusWidget(), static_cast<QWidget*>(plus));
    QTest::keyClicks(plus, "250,5");
    press(plus, Qt::Key_N, Qt::ControlModifier);
    QCOMPARE(model().rowCount(), 2);
    QCOMPARE(storedText(*folder_, 0, journal::PLUS), std::string("250,5"));
  }

  void aStampThenEscInTheGridDiscardsTheChange() {
    startProgram();
    ledger().newBook();
    ledger().newBook();
    ledger().newJournalRow();  // takes the current book, the last one: 2
    QCOMPARE(storedText(*folder_, 0, journal::IDK), std::string("2"));
    ledger().books().first();
    windows_->books->findChild<QToolBar*>("ToolBar1")->actions().at(2)->trigger();
    QCOMPARE(ledger().journal().state(), ledger::DatasetState::Edit);
    QCOMPARE(model().data(model().index(0, journal::IDK)).toString(), QStringLiteral("1"));

    grid().setFocus();
    press(&grid(), Qt::Key_Escape);
    QCOMPARE(ledger().journal().state(), ledger::DatasetState::Browse);
    QCOMPARE(model().data(model().index(0, journal::IDK)).toString(), QStringLiteral("2"));
    QCOMPARE(storedText(*folder_, 0, journal::IDK), std::string("2"));
  }

  // A row another copy is editing is refused at the first keystroke into
  // it, in a grid cell (typed straight away or after F2) and in the strip,
  // and nothing of the refused keystroke stays in the control.
  void typingIntoARowAnotherCopyEditsIsRefusedAtTheFirstKeystroke() {
    startProgram();
    for (const char* text : {"Nájem", "Oběd"}) {
      ledger().newJournalRow();
      QVERIFY(model().setData(model().index(model().rowCount() - 1, journal::TEXT), QString::fromUtf8(text)));
      ledger().journal().post();
    }
    testing_support::RowHolder holder(folder_->path(), "journal", "1");
    QVERIFY(holder.ready());
    const QString locked = QStringLiteral("Record locked by another user.");
    const QModelIndex cell = model().index(0, journal::TEXT);
    MessageBoxCloser boxes;

    grid().setFocus();
    grid().setCurrentIndex(cell);
    press(&grid(), Qt::Key_X);
    QTRY_COMPARE(boxes.texts.size(), 1);
    QVERIFY(boxes.texts.last().startsWith(locked));
    QVERIFY(grid().indexWidget(cell) == nullptr);
    QCOMPARE(grid().currentIndex(), cell);

    grid().setFocus();
    press(&grid(), Qt::Key_F2);
    auto* editor = qobject_cast<QLineEdit*>(grid().indexWidget(cell));
    QVERIFY(editor != nullptr);
    QCOMPARE(boxes.texts.size(), 1);  // opening the editor alone locks nothing
    QTest::keyClicks(editor, "y");
    QTRY_COMPARE(boxes.texts.size(), 2);
    QVERIFY(boxes.texts.last().startsWith(locked));
    QTRY_VERIFY(grid().indexWidget(cell) == nullptr);

    auto* text = journal().findChild<QLineEdit*>(QStringLiteral("DBEdit2"));
    text->setFocus();
    text->end(false);
    QTest::keyClicks(text, "z");
    QTRY_COMPARE(boxes.texts.size(), 3);
    QVERIFY(boxes.texts.last().startsWith(locked));
    QCOMPARE(text->text(), QStringLiteral("Nájem"));
    QVERIFY(!text->isModified());

    QCOMPARE(ledger().journal().state(), ledger::DatasetState::Browse);
    QCOMPARE(storedText(*folder_, 0, journal::TEXT), text::toCp1250("Nájem"));
    QCOMPARE(holder.release(), 0);

    // Free again: the first keystroke locks the row and the value goes in.
    text->setFocus();
    text->end(false);
    QTest::keyClicks(text, "!");
    QCOMPARE(ledger().journal().state(), ledger::DatasetState::Edit);
    QCOMPARE(text->text(), QStringLiteral("Nájem!"));
    press(text, Qt::Key_Return);
    ledger().journal().post();
    QCOMPARE(storedText(*folder_, 0, journal::TEXT), text::toCp1250("Nájem!"));
    QCOMPARE(boxes.texts.size(), 3);
  }

  void anEngineErrorWhileEditingShowsOneBoxAndTheRowStaysInEdit() {
    startProgram();
    ledger().newJournalRow();
    // The engine's own text for this value, as another dataset gives it.
    std::string expected;
    {
      ledger::Dataset other("Other", ledger::tablePath(folder_->path(), ledger::LedgerTable::Journal),
                            text::Regional::czech());
      other.open();
      other.first();
      other.edit();
      try {
        other.field(journal::PLUS).setAsString("12x");
      } catch (const std::exception& error) {
        expected = error.what();
      }
      other.cancel();
    }
    QVERIFY(!expected.empty());

    QVERIFY(model().setData(model().index(0, journal::TEXT), QStringLiteral("Oběd")));
    grid().setFocus();
    grid().setCurrentIndex(model().index(0, journal::PLUS));
    MessageBoxCloser boxes;
    press(&grid(), Qt::Key_1);  // any key opens the cell editor with it
    QWidget* editor = QApplication::focusWidget();
    QVERIFY(qobject_cast<QLineEdit*>(editor) != nullptr);
    QTest::keyClicks(editor, "2x");
    press(editor, Qt::Key_Return);
    QTRY_COMPARE(boxes.texts.size(), 1);
    QTest::qWait(50);
    QCOMPARE(boxes.texts, QStringList({fromCp1250(expected)}));
    QCOMPARE(ledger().journal().state(), ledger::DatasetState::Edit);
    QCOMPARE(model().data(model().index(0, journal::TEXT)).toString(), QStringLiteral("Oběd"));
  }
};

int main(int argc, char** argv) {
  app::Application application(argc, argv);
  JournalWindowTest test;
  return QTest::qExec(&test, argc, argv);
}

#include "journal_window_test.moc"
