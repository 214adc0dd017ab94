// "Import výpisu...": the file dialog, the columns dialog for a CSV whose
// header names nothing, the preview with its counts and book, the import
// through the new-row rule, a second import that adds nothing and a bad
// line that adds nothing.

#include <QAction>
#include <QComboBox>
#include <QFileDialog>
#include <QLabel>
#include <QLineEdit>
#include <QMenuBar>
#include <QPushButton>
#include <QTableWidget>
#include <QTest>
#include <QTimer>
#include <QToolBar>

#include <functional>

#include "import/import_window.h"
#include "ledger/ledger_tables.h"
#include "statement_files.h"
#include "window_test_support.h"

using testing_support::gpcHeader;
using testing_support::gpcItem;
using testing_support::gpcMessage;
using window_testing::FileDialogAnswer;
using window_testing::fromCp1250;
using window_testing::ModalAnswer;
using window_testing::MessageBoxCloser;
using window_testing::ProgramWindows;
using window_testing::WorkFolder;

namespace {

namespace J = ledger::journal;


// Chooses `file` in the statement's file dialog, or cancels.
FileDialogAnswer choose(const std::filesystem::path& file) {
  return FileDialogAnswer(QString::fromStdString(file.string()), [](QFileDialog& dialog) {
    QCOMPARE(dialog.objectName(), QStringLiteral("ImportDialog1"));
  });
}

std::string cz(const char* utf8) { return text::toCp1250(utf8); }

std::string gpcFile(const std::vector<std::string>& records) {
  std::string out;
  for (const std::string& r : records) out += r + "\r\n";
  return out;
}

// Four movements: a debit with a message, a credit, and a card payment
// reversed on the same day.
std::string statement() {
  return gpcFile({gpcHeader(100000, 371200, 30000, 301200),
                  gpcItem(25050, '1', "011226", cz("Elektrárna Žďár"), "0000001234"),
                  gpcMessage("078", cz("Záloha prosinec")),
                  gpcItem(300000, '2', "021226", cz("Zaměstnavatel")),
                  gpcItem(4950, '5', "031226", "OBCHOD"), gpcItem(1200, '4', "031226", "OBCHOD")});
}

}  // namespace

class ImportWindowTest : public QObject {
  Q_OBJECT

 private:
  std::unique_ptr<WorkFolder> folder_;
  std::unique_ptr<ProgramWindows> windows_;

  app::JournalWindow& journal() { return *windows_->journal; }
  app::Ledger& ledger() { return journal().ledger(); }
  QAction* importAction() {
    for (QAction* a : journal().actions()) {
      if (a->text() == QString::fromUtf8("&Import výpisu...")) return a;
    }
    return nullptr;
  }
  std::filesystem::path write(const char* name, const std::string& bytes) {
    const std::filesystem::path file = *folder_ / name;
    testing_support::writeFile(file, bytes);
    return file;
  }
  // Journal rows as (book, move, date, text, income, expense).
  std::vector<std::vector<ledger::Value>> journalRows() {
    return testing_support::storedRows(folder_->path(), ledger::LedgerTable::Journal);
  }

 private slots:
  void initTestCase() { QApplication::setQuitOnLastWindowClosed(false); }

  void init() {
    folder_ = std::make_unique<WorkFolder>();
    folder_->writeSettings();
    ledger::createMissingTables(folder_->path());
    testing_support::seedRows(folder_->path(), ledger::LedgerTable::Books,
                              {{1.0, cz("Hotovost")}, {2.0, cz("Účet v bance")}});
    testing_support::seedRows(folder_->path(), ledger::LedgerTable::Moves,
                              {{1.0, cz("Příjem")}, {5.0, cz("Banka")}});
    windows_ = std::make_unique<ProgramWindows>();
    journal().show();
    QVERIFY(QTest::qWaitForWindowActive(&journal()));
  }
  void cleanup() {
    windows_.reset();
    folder_.reset();
  }

  void theCommandSitsInTheFileMenuAndOnTheToolBar() {
    QAction* action = importAction();
    QVERIFY(action != nullptr);
    QVERIFY(!action->icon().isNull());
    QMenu* file = journal().menuBar()->findChildren<QMenu*>().value(0);
    QVERIFY(file != nullptr);
    QCOMPARE(file->title(), QString::fromUtf8("&Soubor"));
    QVERIFY(file->actions().contains(action));
    auto* bar = journal().findChild<QToolBar*>(QStringLiteral("ToolBar1"));
    QVERIFY(bar->actions().contains(action));
  }

  void aGpcStatementIsPreviewedImportedAndAddsNothingTheSecondTime() {
    const auto file = write("vypis.gpc", statement());
    const auto files = choose(file);
    ModalAnswer<bank::ImportForm> preview([&](bank::ImportForm& form) {
      QCOMPARE(form.rowsTable()->rowCount(), 4);
      QCOMPARE(form.countsLabel()->text(), QString::fromUtf8("Přidá se 4, přeskočí se 0 (už jsou v knize)."));
      QCOMPARE(form.rowsTable()->item(0, 4)->text(),
               QString::fromUtf8("Elektrárna Žďár, Záloha prosinec, VS 1234"));
      QCOMPARE(form.rowsTable()->item(0, 3)->text(), QStringLiteral("250,50"));
      QCOMPARE(form.rowsTable()->item(1, 2)->text(), QStringLiteral("3000,00"));
      form.bookBox()->setCurrentIndex(1);
      form.moveBox()->setCurrentIndex(1);
      QCOMPARE(form.bookBox()->currentText(), QString::fromUtf8("2 Účet v bance"));
      QVERIFY(form.importButton()->isEnabled());
      form.importButton()->click();
    });
    importAction()->trigger();
    QVERIFY(files.answered && preview.answered);

    const auto rows = journalRows();
    QCOMPARE(rows.size(), size_t{4});
    for (const auto& row : rows) {
      QCOMPARE(std::get<double>(row[J::IDK]), 2.0);
      QCOMPARE(std::get<double>(row[J::IDM]), 5.0);
    }
    QCOMPARE(std::get<double>(rows[0][J::MINUS]), 250.5);
    QCOMPARE(std::get<double>(rows[1][J::PLUS]), 3000.0);
    QCOMPARE(fromCp1250(ledger().status().text()),
             QString::fromUtf8("Import výpisu: přidáno 4, přeskočeno 0; zůstatek výpisu počáteční 1000,00, "
                               "konečný 3712,00"));
    QCOMPARE(journal().model()->rowCount(), 4);

    // The same file again: everything is already in the book.
    const auto again = choose(file);
    ModalAnswer<bank::ImportForm> nothing([&](bank::ImportForm& form) {
      QCOMPARE(form.bookBox()->currentText(), QString::fromUtf8("2 Účet v bance"));
      QCOMPARE(form.countsLabel()->text(), QString::fromUtf8("Přidá se 0, přeskočí se 4 (už jsou v knize)."));
      for (int r = 0; r < 4; ++r) QCOMPARE(form.rowsTable()->item(r, 0)->text(), QString::fromUtf8("už v knize"));
      QVERIFY(!form.importButton()->isEnabled());
      // The other book holds none of them.
      form.bookBox()->setCurrentIndex(0);
      QCOMPARE(form.countsLabel()->text(), QString::fromUtf8("Přidá se 4, přeskočí se 0 (už jsou v knize)."));
      form.reject();
    });
    importAction()->trigger();
    QVERIFY(again.answered && nothing.answered);
    QCOMPARE(journalRows().size(), size_t{4});
    QCOMPARE(fromCp1250(ledger().status().text()), QString::fromUtf8("Import výpisu zrušen"));
  }

  void aBadLineRefusesTheFileWithItsPlaceAndAddsNothing() {
    std::string bad = statement();
    bad.replace(bad.find("075", 10) + 50, 1, "x");  // in the first item's amount
    const auto file = write("spatny.gpc", bad);
    const auto files = choose(file);
    ModalAnswer<bank::ImportForm> preview([](bank::ImportForm& form) { form.reject(); });
    MessageBoxCloser boxes;
    importAction()->trigger();
    QTRY_COMPARE(boxes.texts.size(), qsizetype{1});
    QVERIFY2(boxes.texts[0].startsWith(QStringLiteral("File ") + QString::fromStdString(file.string()) +
                                       QStringLiteral(", line 2, amount:")),
             qPrintable(boxes.texts[0]));
    QVERIFY(!preview.answered);
    QCOMPARE(journalRows().size(), size_t{0});
  }

  void aCsvWhoseHeaderNamesNothingAsksForItsColumns() {
    const auto file = write("export.csv", "Booking date;Payee;Amount;Note\n"
                                          "01.12.2026;\"Nájemce; byt 2\";\"12 500,00\";leden\n"
                                          "02.12.2026;Obchod;-99,90;\n");
    const auto files = choose(file);
    ModalAnswer<bank::CsvColumnsForm> columns([](bank::CsvColumnsForm& form) {
      QCOMPARE(form.roleBox(0)->itemText(1), QStringLiteral("1: Booking date"));
      QVERIFY(!form.okButton()->isEnabled());
      form.roleBox(0)->setCurrentIndex(1);  // Datum
      form.roleBox(1)->setCurrentIndex(3);  // Částka
      QVERIFY(form.okButton()->isEnabled());
      form.roleBox(3)->setCurrentIndex(2);  // Název protiúčtu
      form.roleBox(6)->setCurrentIndex(4);  // Poznámka
      form.okButton()->click();
    });
    ModalAnswer<bank::ImportForm> preview([](bank::ImportForm& form) {
      QCOMPARE(form.rowsTable()->rowCount(), 2);
      QCOMPARE(form.rowsTable()->item(0, 4)->text(), QString::fromUtf8("Nájemce; byt 2, leden"));
      form.importButton()->click();
    });
    importAction()->trigger();
    QVERIFY(files.answered && columns.answered && preview.answered);
    const auto rows = journalRows();
    QCOMPARE(rows.size(), size_t{2});
    QCOMPARE(std::get<double>(rows[0][J::PLUS]), 12500.0);
    QCOMPARE(std::get<double>(rows[1][J::MINUS]), 99.9);
    QCOMPARE(fromCp1250(ledger().status().text()),
             QString::fromUtf8("Import výpisu: přidáno 2, přeskočeno 0"));
  }

  void aBookAnotherCopyDeletedMeanwhileIsChosenAgainAndNothingIsImported() {
    const auto file = write("vypis.gpc", statement());
    const auto files = choose(file);
    MessageBoxCloser boxes;
    ModalAnswer<bank::ImportForm> preview([&](bank::ImportForm& form) {
      form.bookBox()->setCurrentIndex(1);
      // Another copy deletes the book "2 Účet v bance" while the preview shows it.
      ledger::Dataset other("Table1", ledger::tablePath(folder_->path(), ledger::LedgerTable::Books),
                            text::Regional::czech());
      other.open();
      other.last();
      other.remove();
      form.importButton()->click();
      QTRY_COMPARE(boxes.texts.size(), qsizetype{1});
      QCOMPARE(boxes.texts[0], QString::fromUtf8("Kniha 2 už v číselníku knih není; vyberte knihu znovu."));
      QVERIFY(form.isVisible());
      QCOMPARE(form.bookBox()->count(), 1);
      QCOMPARE(form.bookBox()->currentText(), QString::fromUtf8("1 Hotovost"));
      form.reject();
    });
    importAction()->trigger();
    QVERIFY(files.answered && preview.answered);
    QCOMPARE(journalRows().size(), size_t{0});
  }

  void cancellingTheFileDialogChangesNothing() {
    const auto files = choose({});
    importAction()->trigger();
    QVERIFY(files.answered);
    QCOMPARE(fromCp1250(ledger().status().text()), QString::fromUtf8("Import výpisu zrušen"));
    QCOMPARE(journalRows().size(), size_t{0});
  }
};

QTEST_MAIN(ImportWindowTest)
#include "import_window_test.moc"
