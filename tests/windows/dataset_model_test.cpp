// The grid model over real tables: what it shows, when it stores, how it
// follows the engine, and a journal of a million rows.

#include <chrono>

#include <QAbstractItemModelTester>
#include <QElapsedTimer>
#include <QLineEdit>
#include <QScrollBar>
#include <QTest>

#include "app/dataset_model.h"
#include "app/error_box_qt.h"
#include "ledger/ledger_tables.h"
#include "window_test_support.h"

using ledger::Dataset;
using ledger::DatasetState;
using ledger::Value;
using window_testing::fromCp1250;
using window_testing::MessageBoxCloser;
using window_testing::WorkFolder;
namespace journal = ledger::journal;

namespace {

struct JournalRow {
  Value id, idk, idm, datum, text, plus, minus, zustatek;
};

std::string cp(const char* utf8) { return text::toCp1250(utf8); }

const std::vector<JournalRow>& sampleRows() {
  static const std::vector<JournalRow> rows = {
      {1.0, 1.0, 3.0, text::Date{2026, 12, 1}, cp("Výplata"), 32500.0, Value{}, 32500.0},
      {2.0, 1.0, 1.0, text::Date{2026, 12, 2}, cp("Potraviny – týdenní nákup"), Value{}, 1234.5,
       31265.5},
      {3.0, 2.0, 2.0, text::Date{2004, 9, 12}, cp("Žluťoučký kůň <b>"), 0.01, 1e-5, -1500.0},
      {Value{}, Value{}, Value{}, Value{}, Value{}, Value{}, Value{}, Value{}},
      {123456789.0, 0.0, -7.0, text::Date{1999, 1, 31}, cp("Nájem"), 999999999999.99, 15.0, 0.0},
  };
  return rows;
}

void appendRow(Dataset& table, const JournalRow& row) {
  table.append();
  const Value* values[] = {&row.id,   &row.idk,  &row.idm,   &row.datum,
                           &row.text, &row.plus, &row.minus, &row.zustatek};
  for (int column = 0; column < 8; ++column) table.field(column).setValue(*values[column]);
  table.post();
}

std::filesystem::path makeJournal(const WorkFolder& folder, const std::vector<JournalRow>& rows) {
  const auto path = folder / "peden.dbf";
  ledger::createTable(path, ledger::standardLayout(ledger::LedgerTable::Journal));
  Dataset table("Fill", path, text::Regional::czech());
  table.open();
  for (const JournalRow& row : rows) appendRow(table, row);
  return path;
}

// The engine's message for an operation, as the test expects to see it.
template <typename Operation>
QString engineText(Operation operation) {
  try {
    operation();
  } catch (const std::exception& error) {
    return app::errorText(error);
  }
  return QStringLiteral("(no error)");
}

}  // namespace

class DatasetModelTest : public QObject {
  Q_OBJECT

 private:
  std::unique_ptr<WorkFolder> folder_;
  std::filesystem::path path_;
  std::unique_ptr<Dataset> table_;

  std::string stored(std::int64_t row, int column) {
    Dataset reader("Reader", path_, text::Regional::czech());
    reader.open();
    return reader.textAt(row, column);
  }

 private slots:
  void initTestCase() { QApplication::setQuitOnLastWindowClosed(false); }

  void init() {
    folder_ = std::make_unique<WorkFolder>();
    path_ = makeJournal(*folder_, sampleRows());
    table_ = std::make_unique<Dataset>("Table1", path_, text::Regional::czech());
    table_->open();
  }

  void cleanup() {
    table_.reset();
    folder_.reset();
  }

  void passesTheModelTesterWhileRowsComeAndGo() {
    app::DatasetModel model(*table_);
    QAbstractItemModelTester tester(&model, QAbstractItemModelTester::FailureReportingMode::QtTest);
    QCOMPARE(model.rowCount(), 5);
    QCOMPARE(model.columnCount(), 8);

    // An insert shows its row after the last until it is stored.
    QVERIFY(model.appendRow());
    QCOMPARE(model.rowCount(), 6);
    table_->field(journal::TEXT).setAsString(cp("nový"));
    table_->post();
    QCOMPARE(model.rowCount(), 6);
    QCOMPARE(model.data(model.index(5, journal::TEXT)).toString(), QStringLiteral("nový"));

    // A cancelled insert takes its row away again.
    QVERIFY(model.appendRow());
    QCOMPARE(model.rowCount(), 7);
    model.revert();
    QCOMPARE(model.rowCount(), 6);

    table_->moveTo(2);
    QVERIFY(model.removeCursorRow());
    QCOMPARE(model.rowCount(), 5);
    QCOMPARE(model.data(model.index(2, journal::ID)).toString(), QString());

    // A long pass with the data source off, then one reread.
    table_->dataSource().setEnabled(false);
    for (int i = 0; i < 3; ++i) appendRow(*table_, sampleRows()[0]);
    table_->dataSource().setEnabled(true);
    QCOMPARE(model.rowCount(), 8);
  }

  // With a step of one record every change leaves rows to learn: inserts,
  // cancels, deletes and jumps in the middle of that keep the model sound.
  void rowsLearntInStepsPassTheModelTester() {
    table_->onFilterRecord = [](Dataset& d) { return !d.field(journal::ID).isNull(); };
    table_->setExamineStep(1);
    table_->setFiltered(true);
    app::DatasetModel model(*table_);
    QAbstractItemModelTester tester(&model, QAbstractItemModelTester::FailureReportingMode::QtTest);
    const auto learnAll = [&] {
      while (model.canFetchMore({})) model.fetchMore({});
    };
    QVERIFY(model.rowCount() < 4);
    QVERIFY(model.canFetchMore({}));
    QCOMPARE(model.cursorRow(), 0);

    // A row being inserted stands after every row, so all are learnt.
    QVERIFY(model.appendRow());
    QCOMPARE(model.rowCount(), 5);
    QVERIFY(!model.canFetchMore({}));
    QCOMPARE(model.cursorRow(), 4);
    model.revert();
    QCOMPARE(model.rowCount(), 4);

    // A jump to the last row learns the rows up to it.
    table_->refilter();
    QVERIFY(model.canFetchMore({}));
    table_->last();
    QCOMPARE(model.rowCount(), 4);
    QCOMPARE(model.cursorRow(), 3);

    // A delete while rows are still to come.
    table_->refilter();
    QVERIFY(model.moveCursorTo(1));
    QVERIFY(model.removeCursorRow());
    QCOMPARE(model.cursorRow(), 1);
    learnAll();
    QCOMPARE(model.rowCount(), 3);
    QCOMPARE(table_->recordCount(), 3);
    QCOMPARE(model.data(model.index(1, journal::ID)).toString(), QStringLiteral("3"));

    // The Insert key and Esc in a grid over it.
    table_->refilter();
    app::DatasetGrid grid(&model, nullptr);
    grid.show();
    QVERIFY(QTest::qWaitForWindowActive(&grid));
    QTest::keyClick(&grid, Qt::Key_Insert);
    QCOMPARE(model.rowCount(), 4);
    QCOMPARE(grid.currentIndex().row(), 3);
    QTest::keyClick(&grid, Qt::Key_Escape);
    QTRY_VERIFY(!model.canFetchMore({}));
    QCOMPARE(model.rowCount(), 3);
  }

  void showsEachValueAsTheFieldsText() {
    app::DatasetModel model(*table_);
    for (int row = 0; row < model.rowCount(); ++row) {
      table_->moveTo(row);
      for (int column = 0; column < model.columnCount(); ++column) {
        QCOMPARE(model.data(model.index(row, column)).toString(),
                 fromCp1250(table_->field(column).asString()));
      }
    }
    // A few by hand: the general number form with a decimal comma, the
    // short date, Czech letters, markup shown as typed.
    QCOMPARE(model.data(model.index(1, journal::MINUS)).toString(), QStringLiteral("1234,5"));
    QCOMPARE(model.data(model.index(2, journal::DATUM)).toString(), QStringLiteral("12.9.2004"));
    QCOMPARE(model.data(model.index(2, journal::TEXT)).toString(),
             QStringLiteral("Žluťoučký kůň <b>"));
    QCOMPARE(model.data(model.index(3, journal::PLUS)).toString(), QString());
    QCOMPARE(model.data(model.index(1, journal::MINUS), Qt::TextAlignmentRole).value<Qt::Alignment>(),
             Qt::AlignRight | Qt::AlignVCenter);
    QCOMPARE(model.data(model.index(1, journal::TEXT), Qt::TextAlignmentRole).value<Qt::Alignment>(),
             Qt::AlignLeft | Qt::AlignVCenter);
    // Reading moved nothing.
    QCOMPARE(table_->rowIndex(), 4);
  }

  void anEditStaysPendingUntilTheCursorLeavesTheRow() {
    app::DatasetModel model(*table_);
    table_->first();
    QVERIFY(model.setData(model.index(1, journal::TEXT), QStringLiteral("Oprava – řádek 2")));
    QCOMPARE(table_->rowIndex(), 1);
    QCOMPARE(table_->state(), DatasetState::Edit);
    QCOMPARE(model.data(model.index(1, journal::TEXT)).toString(),
             QStringLiteral("Oprava – řádek 2"));
    QCOMPARE(stored(1, journal::TEXT), cp("Potraviny – týdenní nákup"));

    // Enter in an editor ends the cell, not the row.
    QVERIFY(model.submit());
    QCOMPARE(table_->state(), DatasetState::Edit);

    QVERIFY(model.moveCursorTo(3));
    QCOMPARE(table_->state(), DatasetState::Browse);
    QCOMPARE(stored(1, journal::TEXT), cp("Oprava – řádek 2"));
  }

  void editingAnotherRowStoresThePendingOne() {
    app::DatasetModel model(*table_);
    QVERIFY(model.setData(model.index(0, journal::PLUS), QStringLiteral("100,25")));
    QVERIFY(model.setData(model.index(4, journal::MINUS), QStringLiteral("3")));
    QCOMPARE(stored(0, journal::PLUS), std::string("100,25"));
    QCOMPARE(stored(4, journal::MINUS), std::string("15"));
    QCOMPARE(table_->rowIndex(), 4);
  }

  void anUnchangedTextStartsNoEdit() {
    app::DatasetModel model(*table_);
    QVERIFY(model.setData(model.index(1, journal::MINUS), QStringLiteral("1234,5")));
    QCOMPARE(table_->state(), DatasetState::Browse);
  }

  void revertCancelsThePendingRow() {
    app::DatasetModel model(*table_);
    QVERIFY(model.setData(model.index(0, journal::TEXT), QStringLiteral("zrušeno")));
    model.revert();
    QCOMPARE(table_->state(), DatasetState::Browse);
    QCOMPARE(model.data(model.index(0, journal::TEXT)).toString(), QStringLiteral("Výplata"));
    table_->moveTo(2);
    QCOMPARE(stored(0, journal::TEXT), cp("Výplata"));
  }

  void refusals_data() {
    QTest::addColumn<int>("column");
    QTest::addColumn<QString>("typed");
    QTest::newRow("not a number") << int(journal::PLUS) << QStringLiteral("12x");
    QTest::newRow("too wide for the column") << int(journal::MINUS) << QStringLiteral("1E20");
    QTest::newRow("not a date") << int(journal::DATUM) << QStringLiteral("31.2.2026");
    QTest::newRow("not in Windows-1250") << int(journal::TEXT) << QStringLiteral("☃ sněhulák");
  }

  void refusals() {
    QFETCH(int, column);
    QFETCH(QString, typed);
    QString expected;
    {
      Dataset other("Other", path_, text::Regional::czech());
      other.open();
      other.edit();
      expected = engineText([&] {
        other.field(column).setAsString(text::toCp1250(typed.toStdString()));
      });
      other.cancel();
    }
    app::DatasetModel model(*table_);
    const QString before = model.data(model.index(0, column)).toString();
    MessageBoxCloser boxes;
    QVERIFY(!model.setData(model.index(0, column), typed));
    QTRY_COMPARE(boxes.texts.size(), 1);
    QTest::qWait(30);
    QCOMPARE(boxes.texts, QStringList({expected}));
    QCOMPARE(model.data(model.index(0, column)).toString(), before);
  }

  void aRowLockedByAnotherUserIsRefused() {
    Dataset otherUser("Table1", path_, text::Regional::czech());
    otherUser.open();
    otherUser.first();
    otherUser.edit();
    Dataset third("Table1", path_, text::Regional::czech());
    third.open();
    third.first();
    const QString expected = engineText([&] { third.edit(); });

    app::DatasetModel model(*table_);
    MessageBoxCloser boxes;
    QVERIFY(!model.setData(model.index(0, journal::TEXT), QStringLiteral("moje")));
    QTRY_COMPARE(boxes.texts, QStringList({expected}));
    QCOMPARE(table_->state(), DatasetState::Browse);
    otherUser.cancel();
  }

  void theGridFollowsTheCursorAndMovesIt() {
    app::DatasetModel model(*table_);
    app::DatasetGrid grid(&model, nullptr);
    grid.show();
    QVERIFY(QTest::qWaitForWindowExposed(&grid));
    QCOMPARE(grid.currentIndex().row(), table_->rowIndex());

    table_->moveTo(2);
    QCOMPARE(grid.currentIndex().row(), 2);
    grid.setCurrentIndex(model.index(1, journal::TEXT));
    QCOMPARE(table_->rowIndex(), 1);
    QTest::keyClick(&grid, Qt::Key_Down);
    QCOMPARE(table_->rowIndex(), 2);
  }

  void typingIntoACellAndEscDiscardsTheRow() {
    app::DatasetModel model(*table_);
    app::DatasetGrid grid(&model, nullptr);
    grid.show();
    QVERIFY(QTest::qWaitForWindowActive(&grid));
    grid.setCurrentIndex(model.index(0, journal::PLUS));
    QVERIFY(model.setData(model.index(0, journal::TEXT), QStringLiteral("první změna")));
    QTest::keyClick(&grid, Qt::Key_7);
    auto* editor = qobject_cast<QLineEdit*>(QApplication::focusWidget());
    QVERIFY(editor != nullptr);
    QCOMPARE(editor->text(), QStringLiteral("7"));
    // Esc in the cell editor throws away the cell and the row's pending edit.
    QTest::keyClick(editor, Qt::Key_Escape);
    QCOMPARE(table_->state(), DatasetState::Browse);
    QCOMPARE(model.data(model.index(0, journal::TEXT)).toString(), QStringLiteral("Výplata"));
    QCOMPARE(model.data(model.index(0, journal::PLUS)).toString(), QStringLiteral("32500"));
  }

  void ctrlDeleteInTheGridAsksFirst() {
    app::DatasetModel model(*table_);
    app::DatasetGrid grid(&model, nullptr);
    grid.show();
    QVERIFY(QTest::qWaitForWindowActive(&grid));
    grid.setCurrentIndex(model.index(0, journal::TEXT));
    {
      MessageBoxCloser boxes(QMessageBox::Cancel);
      QTest::keyClick(&grid, Qt::Key_Delete, Qt::ControlModifier);
      QCOMPARE(boxes.texts, QStringList({"Delete record?"}));
      QCOMPARE(model.rowCount(), 5);
    }
    {
      MessageBoxCloser boxes(QMessageBox::Ok);
      QTest::keyClick(&grid, Qt::Key_Delete, Qt::ControlModifier);
      QCOMPARE(boxes.texts, QStringList({"Delete record?"}));
      QCOMPARE(model.rowCount(), 4);
      QCOMPARE(stored(0, journal::TEXT), cp("Potraviny – týdenní nákup"));
    }
  }

  void insertInTheGridAppendsAndEscTakesItBack() {
    app::DatasetModel model(*table_);
    app::DatasetGrid grid(&model, nullptr);
    grid.show();
    QVERIFY(QTest::qWaitForWindowActive(&grid));
    QTest::keyClick(&grid, Qt::Key_Insert);
    QCOMPARE(table_->state(), DatasetState::Insert);
    QCOMPARE(model.rowCount(), 6);
    QCOMPARE(grid.currentIndex().row(), 5);
    QTest::keyClick(&grid, Qt::Key_Escape);
    QCOMPARE(model.rowCount(), 5);
    QCOMPARE(stored(4, journal::TEXT), cp("Nájem"));
  }

  void aMillionRowsOpenAtOnceAndScrollToTheEnd() {
    const auto path = *folder_ / "big.dbf";
    ledger::createTable(path, ledger::standardLayout(ledger::LedgerTable::Journal));
    constexpr int kRows = 1'000'000;
    {
      Dataset fill("Fill", path, text::Regional::czech());
      fill.setExclusive(true);
      fill.open();
      fill.beginSyncBatch();
      for (int row = 0; row < kRows; ++row) {
        fill.append();
        fill.field(journal::ID).setAsFloat(row + 1);
        fill.field(journal::TEXT).setValue(cp("řádek"));
        fill.post();
      }
      fill.endSyncBatch();
    }
    Dataset big("Table1", path, text::Regional::czech());
    // The journal is opened with its filter on, letting every row through.
    big.onFilterRecord = [](Dataset&) { return true; };
    big.setFiltered(true);
    QElapsedTimer clock;
    clock.start();
    big.open();
    app::DatasetModel model(big);
    app::DatasetGrid grid(&model, nullptr);
    grid.resize(640, 300);
    grid.show();
    QVERIFY(QTest::qWaitForWindowExposed(&grid));
    const qint64 opened = clock.restart();
    // The first rows at once, the others in steps, one a turn of the event
    // loop, until the grid knows them all.
    QVERIFY(model.rowCount() > 0);
    QTRY_COMPARE(model.rowCount(), kRows);
    QVERIFY(!model.canFetchMore({}));
    const qint64 learnt = clock.restart();

    grid.verticalScrollBar()->setValue(grid.verticalScrollBar()->maximum());
    grid.setCurrentIndex(model.index(kRows - 1, journal::ID));
    QTest::qWait(10);
    for (int step = 0; step < 50; ++step) {
      grid.verticalScrollBar()->setValue(step * (kRows / 50));
      grid.repaint();
    }
    const qint64 scrolled = clock.elapsed();
    QCOMPARE(big.rowIndex(), kRows - 1);
    QCOMPARE(model.data(model.index(kRows - 1, journal::ID)).toString(), QStringLiteral("1000000"));
    qInfo("a million rows: opened and shown in %lld ms, all learnt %lld ms later, 50 pages scrolled in %lld ms",
          opened, learnt, scrolled);
    QVERIFY2(opened < 1500, qPrintable(QString::number(opened)));
    QVERIFY2(scrolled < 3000, qPrintable(QString::number(scrolled)));
  }
};

int main(int argc, char** argv) {
  app::Application application(argc, argv);
  DatasetModelTest test;
  return QTest::qExec(&test, argc, argv);
}

#include "dataset_model_test.moc"
