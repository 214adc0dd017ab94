// The backup and restore commands of the journal window: their buttons,
// menu items and keys, the two file dialogs as the commands set them up,
// and what choosing or cancelling does; the working folder never moves.

#include <QAction>
#include <QComboBox>
#include <QDir>
#include <QFileDialog>
#include <QLineEdit>
#include <QFileSystemModel>
#include <QTest>
#include <QTimer>
#include <QToolBar>

#include <functional>

#include "text/cp1250.h"
#include "app/dataset_model.h"
#include "backup/backup_window.h"
#include "ledger/ledger_tables.h"
#include "text/date.h"
#include "window_test_support.h"

using window_testing::MessageBoxCloser;
using window_testing::ProgramWindows;
using window_testing::WorkFolder;

namespace {

using DialogAnswer = window_testing::FileDialogAnswer;

std::string cz(const char* utf8) { return text::toCp1250(utf8); }

void seedExample(const std::filesystem::path& workDir) {
  ledger::createMissingTables(workDir);
  auto add = [&](ledger::LedgerTable table, const std::vector<ledger::Value>& row) {
    ledger::Dataset d("Table1", ledger::tablePath(workDir, table), text::Regional::czech());
    d.open();
    d.append();
    for (size_t i = 0; i < row.size(); ++i) d.field(static_cast<int>(i)).setValue(row[i]);
    d.post();
  };
  add(ledger::LedgerTable::Journal,
      {1.0, 1.0, 2.0, text::Date{2004, 9, 12}, cz("Nákup; potraviny"), ledger::Value{}, 350.5, -350.5});
  add(ledger::LedgerTable::Moves, {1.0, cz("Příjem")});
  add(ledger::LedgerTable::Moves, {2.0, cz("Nákup")});
  add(ledger::LedgerTable::Books, {1.0, cz("Hotovost"), -350.5});
}

std::string golden() {
  return testing_support::readFile(std::filesystem::path(MINCAR_SOURCE_DIR) / "tests/backup/golden/example.txu");
}

QString path(const std::filesystem::path& p) { return QString::fromStdString(p.string()); }

}  // namespace

class BackupWindowTest : public QObject {
  Q_OBJECT

 private:
  std::unique_ptr<WorkFolder> folder_;
  std::unique_ptr<ProgramWindows> windows_;
  std::unique_ptr<QTemporaryDir> elsewhere_;

  app::JournalWindow& journal() { return *windows_->journal; }
  app::Ledger& ledger() { return journal().ledger(); }
  std::filesystem::path elsewhere() const { return elsewhere_->path().toStdString(); }

  void startProgram() {
    windows_ = std::make_unique<ProgramWindows>();
    journal().show();
    QVERIFY(QTest::qWaitForWindowActive(&journal()));
  }
  QAction* toolButton(const char* hint) {
    auto* bar = journal().findChild<QToolBar*>(QStringLiteral("ToolBar1"));
    for (QAction* action : bar->actions()) {
      if (action->toolTip() == QString::fromUtf8(hint)) return action;
    }
    return nullptr;
  }

 private slots:
  void initTestCase() { QApplication::setQuitOnLastWindowClosed(false); }

  void init() {
    folder_ = std::make_unique<WorkFolder>();
    elsewhere_ = std::make_unique<QTemporaryDir>();
    folder_->writeSettings();
    seedExample(folder_->path());
  }
  void cleanup() {
    windows_.reset();
    elsewhere_.reset();
    folder_.reset();
  }

  void theCommandsSitOnTheToolBarTheMenuAndTheKeys() {
    startProgram();
    QAction* restore = toolButton("Otevření dat ze záložní kopie");
    QAction* save = toolButton("Uložení dat do záložní kopie na disku...");
    QVERIFY(restore && save);
    auto* bar = journal().findChild<QToolBar*>(QStringLiteral("ToolBar1"));
    QCOMPARE(bar->actions().value(0), restore);
    QCOMPARE(bar->actions().value(1), save);
    QCOMPARE(save->shortcut(), QKeySequence(Qt::CTRL | Qt::Key_S));
    QCOMPARE(restore->shortcut(), QKeySequence(Qt::CTRL | Qt::Key_O));
    QCOMPARE(save->text(), QString::fromUtf8("&Uložit"));
    QCOMPARE(restore->text(), QString::fromUtf8("&Otevřít"));
  }

  void theSaveDialogStartsInDataWithTheDefaultNameAndTheFilter() {
    startProgram();
    const QString expectedFolder = QDir::current().filePath(QStringLiteral("data"));
    const std::string defaultName =
        "zaloha_" + std::to_string(text::Date::today().day) + "_" + std::to_string(text::Date::today().month) + "_" +
        std::to_string(text::Date::today().year) + ".txu";
    bool looked = false;
    DialogAnswer answer({}, [&](QFileDialog& dialog) {
      looked = true;
      QCOMPARE(dialog.objectName(), QStringLiteral("SaveDialog1"));
      QCOMPARE(dialog.acceptMode(), QFileDialog::AcceptSave);
      QCOMPARE(QDir(dialog.directory()).absolutePath(), expectedFolder);
      QVERIFY(dialog.testOption(QFileDialog::DontConfirmOverwrite));
      QVERIFY(dialog.defaultSuffix().isEmpty());
      auto* types = dialog.findChild<QComboBox*>(QStringLiteral("fileTypeCombo"));
      QVERIFY(types != nullptr);
      QCOMPARE(types->count(), 1);
      QCOMPARE(types->itemText(0), QString::fromUtf8("Soubory záloh (*.txu)"));
      QCOMPARE(dialog.selectedFiles().value(0), QDir(expectedFolder).filePath(QString::fromStdString(defaultName)));
    });
    QTest::keySequence(&journal(), QKeySequence(Qt::CTRL | Qt::Key_S));
    QVERIFY(looked);
    QCOMPARE(ledger().status().text(), std::string("Zaloha stornovana..."));
    QVERIFY(!std::filesystem::exists(folder_->path() / "data" / defaultName));
  }

  void savingWritesTheChosenFileAndTheWorkingFolderStays() {
    startProgram();
    const QString before = QDir::currentPath();
    DialogAnswer answer(path(elsewhere() / "kopie"));
    toolButton("Uložení dat do záložní kopie na disku...")->trigger();
    QVERIFY(answer.answered);
    // The ".txu" rule, then the full name in the status line.
    const std::filesystem::path written = elsewhere() / "kopie.txu";
    QCOMPARE(QString::fromStdString(ledger().status().text()), path(written));
    QCOMPARE(testing_support::readFile(written), golden());
    QCOMPARE(QDir::currentPath(), before);
  }

  void theFilterShowsBackupsInEitherCase() {
    startProgram();
    for (const char* name : {"a.txu", "B.TXU", "c.txt", "d.dbf.txu"}) {
      testing_support::writeFile(folder_->path() / "data" / name, "x");
    }
    QStringList shown;
    DialogAnswer answer({}, [&](QFileDialog& dialog) {
      auto* model = dialog.findChild<QFileSystemModel*>();
      QVERIFY(model != nullptr);
      const QModelIndex root = model->index(dialog.directory().absolutePath());
      QTRY_VERIFY(model->rowCount(root) >= 3);
      QTest::qWait(50);
      for (int i = 0; i < model->rowCount(root); ++i) shown << model->index(i, 0, root).data().toString();
    });
    QTest::keySequence(&journal(), QKeySequence(Qt::CTRL | Qt::Key_O));
    shown.sort();
    QCOMPARE(shown, (QStringList{"B.TXU", "a.txu", "d.dbf.txu"}));
  }

  void restoringReplacesTheTablesAndTheDialogOffersTheLastName() {
    startProgram();
    const std::filesystem::path file = elsewhere() / "z.txu";
    testing_support::writeFile(file, golden());
    ledger().newJournalRow();
    ledger().newBook();
    QCOMPARE(journal().model()->rowCount(), 2);

    bool looked = false;
    DialogAnswer first(path(file), [&](QFileDialog& dialog) {
      looked = true;
      QCOMPARE(dialog.objectName(), QStringLiteral("OpenDialog1"));
      QCOMPARE(dialog.acceptMode(), QFileDialog::AcceptOpen);
      QCOMPARE(QDir(dialog.directory()).absolutePath(), QDir::current().filePath(QStringLiteral("data")));
    });
    toolButton("Otevření dat ze záložní kopie")->trigger();
    QVERIFY(looked);
    // The status line ends with the copy of the tables taken before.
    const std::string shown = ledger().status().text();
    const std::string prefix = text::toCp1250("Data před obnovou uložena do ");
    QVERIFY2(shown.rfind(prefix, 0) == 0, shown.c_str());
    QVERIFY(std::filesystem::exists(shown.substr(prefix.size())));
    QCOMPARE(journal().model()->rowCount(), 1);
    QCOMPARE(ledger().books().recordCount(), 1);
    QVERIFY(ledger().journal().dataSource().enabled());

    QString offered;
    DialogAnswer second({}, [&](QFileDialog& dialog) {
      offered = dialog.selectedFiles().value(0);
    });
    journal().activateWindow();
    QVERIFY(QTest::qWaitForWindowActive(&journal()));
    QTest::keySequence(&journal(), QKeySequence(Qt::CTRL | Qt::Key_O));
    QVERIFY(second.answered);
    QCOMPARE(offered, path(file));
    QCOMPARE(ledger().status().text(), std::string("Obnova dat stornovana..."));
  }

  void aFileThatDoesNotReadThroughIsShownInAMessageBoxAndChangesNothing() {
    startProgram();
    const std::filesystem::path file = elsewhere() / "bad.txu";
    testing_support::writeFile(file, "not a backup\n\r");
    const std::string journalBefore =
        testing_support::readFile(ledger::tablePath(folder_->path(), ledger::LedgerTable::Journal));
    MessageBoxCloser closer;
    DialogAnswer answer(path(file));
    QTest::keySequence(&journal(), QKeySequence(Qt::CTRL | Qt::Key_O));
    QTRY_COMPARE(closer.texts.size(), 1);
    QCOMPARE(closer.texts.value(0),
             QStringLiteral("'' is not a valid integer value\nFile ") + path(file) +
                 QStringLiteral(", line 1: the header of the Denik section"));
    QCOMPARE(testing_support::readFile(ledger::tablePath(folder_->path(), ledger::LedgerTable::Journal)),
             journalBefore);
    QCOMPARE(ledger().status().text(), text::toCp1250("Start obnovení ze zalohy..."));
    QCOMPARE(journal().model()->rowCount(), 1);
  }
};

QTEST_MAIN(BackupWindowTest)
#include "backup_window_test.moc"
