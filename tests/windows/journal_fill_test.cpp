// The journal grid learns its rows in steps: a keystroke in the search
// dialog's filter text shows the first matching rows without a walk of the
// whole journal, the later steps bring the rest, and the current row is
// among the rows shown wherever it stands. A real journal of a few thousand
// rows and a small step, so that a filter change takes many steps.

#include <algorithm>

#include <QAbstractItemModelTester>
#include <QLineEdit>
#include <QScrollBar>
#include <QTest>

#include "app/dataset_model.h"
#include "ledger/dataset.h"
#include "ledger/ledger_tables.h"
#include "print/book_search_form.h"
#include "window_test_support.h"

using window_testing::ProgramWindows;
using window_testing::WorkFolder;
namespace J = ledger::journal;

namespace {

constexpr int kRows = 3000;
constexpr int kShoppingEvery = 10;  // "Nákup" in every tenth row, the others "Mzda"
constexpr int kShopping = kRows / kShoppingEvery;
constexpr std::int64_t kStep = 50;

void seed(const std::filesystem::path& dir) {
  ledger::createMissingTables(dir);
  ledger::Dataset journal("seed", ledger::tablePath(dir, ledger::LedgerTable::Journal), text::Regional::czech());
  journal.open();
  journal.beginSyncBatch();
  for (int id = 1; id <= kRows; ++id) {
    journal.append();
    journal.field(J::ID).setAsFloat(id);
    journal.field(J::DATUM).setAsString("1.12.2026");
    const std::string text = id % kShoppingEvery == 0 ? "Nákup č. " : "Mzda ";
    journal.field(J::TEXT).setAsString(text::toCp1250(text + std::to_string(id)));
    journal.field(J::MINUS).setAsFloat(id);
    journal.post();
  }
  journal.endSyncBatch();
}

}  // namespace

class JournalFillTest : public QObject {
  Q_OBJECT

 private:
  std::unique_ptr<WorkFolder> folder_;
  std::unique_ptr<ProgramWindows> windows_;
  print::BookSearchForm* form_ = nullptr;
  std::unique_ptr<QAbstractItemModelTester> tester_;

  app::JournalWindow& window() { return *windows_->journal; }
  app::DatasetModel& model() { return *window().model(); }
  app::DatasetGrid& grid() { return *window().grid(); }
  ledger::Dataset& journal() { return window().ledger().journal(); }
  int idAt(int row) { return model().index(row, J::ID).data().toInt(); }

  // Typed into the filter text, a key at a time as the user types; no turn
  // of the event loop in between, so no step but the keystroke's own runs.
  void type(const QString& text) {
    for (const QChar c : text) {
      QTest::sendKeyEvent(QTest::Click, form_->filterEdit(), Qt::Key_unknown, QString(c), Qt::NoModifier);
    }
    QCOMPARE(form_->filterEdit()->text().right(text.size()), text);
  }

  // The rows shown are the shopping rows in order, as far as known.
  void checkShownRows() {
    for (int row = 0; row < model().rowCount(); ++row) {
      QCOMPARE(idAt(row), (row + 1) * kShoppingEvery);
    }
  }

 private slots:
  void initTestCase() { QApplication::setQuitOnLastWindowClosed(false); }

  void init() {
    folder_ = std::make_unique<WorkFolder>();
    folder_->writeSettings();
    seed(folder_->path());
    windows_ = std::make_unique<ProgramWindows>();
    form_ = new print::BookSearchForm(window().ledger(), &window(), {}, nullptr);
    tester_ = std::make_unique<QAbstractItemModelTester>(&model(),
                                                         QAbstractItemModelTester::FailureReportingMode::QtTest);
    window().show();
    QVERIFY(QTest::qWaitForWindowExposed(&window()));
    form_->show();
    QTRY_VERIFY(!model().canFetchMore({}));
    QCOMPARE(model().rowCount(), kRows);
    journal().setExamineStep(kStep);
  }

  void cleanup() {
    tester_.reset();
    windows_.reset();
    folder_.reset();
  }

  void aKeystrokeShowsTheFirstRowsAndTheStepsBringTheRest() {
    type(QStringLiteral("nákup"));
    // The keystroke's walk stopped after a step: a few rows known, more to come.
    QVERIFY(!journal().allRowsKnown());
    QVERIFY(model().canFetchMore({}));
    QVERIFY2(model().rowCount() > 0 && model().rowCount() <= 2 * kStep / kShoppingEvery,
             qPrintable(QString::number(model().rowCount())));
    QCOMPARE(model().cursorRow(), 0);
    QCOMPARE(grid().currentIndex().row(), 0);
    checkShownRows();

    int steps = 0;
    while (model().canFetchMore({})) {
      const int before = model().rowCount();
      model().fetchMore({});
      QVERIFY(model().rowCount() >= before);
      QVERIFY(++steps <= kRows / kStep);
    }
    QVERIFY2(steps >= kRows / kStep - 2, qPrintable(QString::number(steps)));
    QCOMPARE(model().rowCount(), kShopping);
    QCOMPARE(journal().recordCount(), std::int64_t{kShopping});
    checkShownRows();
  }

  // Left alone, the grid goes on by itself, one step a turn, and its scroll
  // bar grows with the rows.
  void theStepsGoOnByThemselvesAndTheScrollBarGrows() {
    QScrollBar* bar = grid().verticalScrollBar();
    QList<int> maxima;
    const QObject listening;
    connect(bar, &QScrollBar::rangeChanged, &listening, [&maxima](int, int maximum) { maxima << maximum; });
    type(QStringLiteral("nákup"));
    QVERIFY(model().canFetchMore({}));
    grid().doItemsLayout();  // the view takes the keystroke's rows
    maxima = {bar->maximum()};
    QTRY_VERIFY(!model().canFetchMore({}));
    QCOMPARE(model().rowCount(), kShopping);
    QTRY_VERIFY(bar->maximum() > maxima.first());
    QVERIFY2(std::is_sorted(maxima.begin(), maxima.end()), qPrintable(QString::number(maxima.size())));
    QVERIFY(maxima.size() > 2);
    checkShownRows();
  }

  // Typing into the strip while the first match is still being looked for
  // is no typing into an empty journal: no row is begun, the row found is
  // shown, and nothing is written into it.
  void typingIntoTheStripWhileTheFirstMatchIsSoughtBeginsNoRow() {
    type(QStringLiteral("3000"));
    QVERIFY(journal().seekingFirstRow());
    QCOMPARE(model().rowCount(), 0);
    auto* text = window().findChild<QLineEdit*>(QStringLiteral("DBEdit2"));
    text->setFocus();
    QTest::keyClicks(text, "x");
    QCOMPARE(journal().state(), ledger::DatasetState::Browse);
    QCOMPARE(model().rowCount(), 1);
    QCOMPARE(idAt(0), kRows);
    QCOMPARE(text->text(), QStringLiteral("Nákup č. 3000"));
    journal().setFiltered(false);
    QCOMPARE(journal().recordCount(), std::int64_t{kRows});
  }

  void aTextThatMatchesNoRowEndsWithNoRowsWithoutBlocking() {
    type(QStringLiteral("xyz"));
    // The keystroke returned after a step or two, with nothing found yet.
    QVERIFY(!journal().allRowsKnown());
    QVERIFY(journal().seekingFirstRow());
    QCOMPARE(model().rowCount(), 0);
    QVERIFY(model().canFetchMore({}));
    QCOMPARE(model().cursorRow(), -1);
    QTRY_VERIFY(!model().canFetchMore({}));
    QCOMPARE(model().rowCount(), 0);
    QVERIFY(journal().eof());
    QCOMPARE(journal().recordCount(), std::int64_t{0});
    // A row that matches comes, the grid shows it.
    QTest::keyClick(form_->filterEdit(), Qt::Key_Backspace);
    QTest::keyClick(form_->filterEdit(), Qt::Key_Backspace);
    QTest::keyClick(form_->filterEdit(), Qt::Key_Backspace);
    type(QStringLiteral("č. 3000"));
    QTRY_COMPARE(model().rowCount(), 1);
    QTRY_COMPARE(grid().currentIndex().row(), 0);
    QCOMPARE(idAt(0), 3000);
  }

  // The cursor may stand beyond the rows known: the rows up to it are
  // learnt, and the grid and the strip stand on it.
  void theCurrentRowBeyondTheKnownRowsIsReachable_data() {
    QTest::addColumn<QString>("how");
    QTest::newRow("the dataset's last()") << "last";
    QTest::newRow("Ctrl+End in the grid") << "ctrl+end";
    QTest::newRow("a record far on") << "goto";
  }

  void theCurrentRowBeyondTheKnownRowsIsReachable() {
    QFETCH(QString, how);
    type(QStringLiteral("nákup"));
    QVERIFY(model().rowCount() < kShopping);
    int expected = kShopping - 1;
    if (how == "last") {
      journal().last();
    } else if (how == "ctrl+end") {
      grid().setFocus();
      QTest::keyClick(&grid(), Qt::Key_End, Qt::ControlModifier);
    } else {
      QVERIFY(journal().gotoRecord(2499));  // ID 2500
      expected = 2500 / kShoppingEvery - 1;
    }
    QVERIFY(model().rowCount() > expected);
    QCOMPARE(model().cursorRow(), expected);
    QTRY_COMPARE(grid().currentIndex().row(), expected);
    QCOMPARE(idAt(expected), (expected + 1) * kShoppingEvery);
    QTRY_VERIFY(grid().viewport()->rect().contains(grid().visualRect(grid().currentIndex())));
    const auto* text = window().findChild<QLineEdit*>(QStringLiteral("DBEdit2"));
    QCOMPARE(text->text(), QStringLiteral("Nákup č. %1").arg((expected + 1) * kShoppingEvery));
    checkShownRows();
  }

  // The key Down on the last row known brings the next step's rows.
  void downOnTheLastRowKnownGoesOn() {
    type(QStringLiteral("nákup"));
    const int known = model().rowCount();
    QVERIFY(model().canFetchMore({}));
    grid().setFocus();
    grid().setCurrentIndex(model().index(known - 1, J::TEXT));
    QTest::keyClick(&grid(), Qt::Key_Down);
    QCOMPARE(grid().currentIndex().row(), known);
    QCOMPARE(journal().rowIndex(), known);
  }

  // A new row after a filter change: with the filter off the rule puts it
  // last, beyond every row known, and the grid shows it whole.
  void aNewRowAfterAFilterChangeIsShownWhole() {
    type(QStringLiteral("mzda"));
    QVERIFY(model().canFetchMore({}));
    window().ledger().newJournalRow();
    QTRY_COMPARE(grid().currentIndex().row(), model().rowCount() - 1);
    QCOMPARE(model().cursorRow(), model().rowCount() - 1);
    QCOMPARE(idAt(model().rowCount() - 1), kRows + 1);
    QTRY_VERIFY(grid().viewport()->rect().contains(grid().visualRect(grid().currentIndex())));
    QTRY_VERIFY(!model().canFetchMore({}));
    QCOMPARE(std::int64_t{model().rowCount()}, journal().recordCount());
  }
};

int main(int argc, char** argv) {
  app::Application application(argc, argv);
  JournalFillTest test;
  return QTest::qExec(&test, argc, argv);
}

#include "journal_fill_test.moc"
