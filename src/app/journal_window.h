#pragma once
#include <cstdint>
#include <memory>
#include <vector>

#include <QMainWindow>
#include <QPointer>

#include "app/design_fit_qt.h"
#include "app/dataset_grid_qt.h"
// ImageList1 belongs to this window; the other windows share it.
#include "app/image_list_qt.h"
#include "app/ledger.h"
#include "app/program_data_qt.h"
#include "app/settings.h"
#include "backup/daily_backup.h"
#include "text/regional.h"

class QAction;

namespace print {
class BookSearchForm;
class VoucherForm;
class ConfigForm;
}  // namespace print
namespace help {
class HelpWindow;
}
class QDataWidgetMapper;
class QLineEdit;

namespace app {

class DeletedRowsWindow;

// TForm1, the journal window: the journal grid with its edit strip, the
// menu, the tool bar and the status line. It works on the ledger and the
// settings that main keeps, and shows the other windows.
class JournalWindow : public QMainWindow {
  Q_OBJECT
 public:
  // Opens the ledger's tables (creating the missing ones) and reads
  // prop1.txt over the settings. A table that cannot be opened throws; a
  // settings file that cannot be opened is reported in a message box and
  // the settings stay.
  explicit JournalWindow(ProgramData& data, QWidget* parent = nullptr);
  // The same over data of the window's own, on the current working folder:
  // for the tests and the benchmark, which keep no data of their own.
  JournalWindow(const text::Regional& regional, const Settings& defaults,
                QWidget* parent = nullptr);
  ~JournalWindow() override;

  Ledger& ledger() { return ledger_; }
  StatusLine& statusLine() { return statusLine_; }
  Settings& settings() { return settings_; }

  // The windows that the show commands make visible, created after this
  // one in the start-up order TForm2, TForm3, TForm4.
  void setListWindows(QWidget* moves, QWidget* books, QWidget* calendar);
  // The dialogs, created after the lists in the order TForm5 ... TForm8.
  void setDialogs(print::VoucherForm* voucher, print::BookSearchForm* search,
                  print::ConfigForm* config, help::HelpWindow* help);
  // What is typed into the grid or the edit strip goes to the current row.
  // False when a value was refused; with keepRefused the refused text stays
  // where it was typed.
  bool storeTypedText(bool keepRefused = false);

  DatasetGrid* grid() const { return DBGrid1; }
  DatasetModel* model() const { return model_; }
  // The help window showing a topic (the deleted rows' windows' F1).
  void showHelpTopic(int topic);
  // "Smazané záznamy" of the journal.
  DeletedRowsWindow* deletedRowsWindow() const { return deletedRows_; }

  // The day's backup (backup::WriteDailyBackup) on a thread of its own: the
  // window goes on at once, and the status line tells the outcome, a
  // failure included, when it is done. Once per start; main calls it after
  // showing the window. `create` stands in for the file system in tests.
  void startDailyBackup(ledger::TableRewrite::FileMaker create = ledger::createPosixFile);
  // Whether the day's backup has ended and said so in the status line.
  bool dailyBackupReported() const { return dailyBackupReported_; }

 protected:
  void showEvent(QShowEvent* event) override;
  void closeEvent(QCloseEvent* event) override;
  bool eventFilter(QObject* watched, QEvent* event) override;

 private:
  void createActions();
  void createMenus();
  void createToolBar();
  void createClientArea();

  void FormCreate();
  void FormShow();
  void FormClose();

  // Commands.
  void Novdek1Click();       // new row
  void Smazatdek1Click();    // delete row
  void SmazaneZaznamy1Click();  // the deleted rows' window
  void Vratit1Click();       // Ctrl+Z: the row this window deleted last, back
  void ToolButton12Click();  // recompute balances
  void Importvpisu1Click();  // import a bank statement
  void Knihy1Click();        // books list
  void Pohyby1Click();       // movements list
  void Kalend1Click();       // calendar
  void Uloit1Click();        // save a backup
  void Otevt1Click();        // restore from a backup
  void Konfigurace1Click();  // configuration dialog
  void Tiskdokladu1Click();  // voucher
  void Tiskknihy1Click();    // cash-book search and report
  void Prehled1Click();      // overview by movement kind and month
  void Pomoc1Click();        // help window
  void Konec1Click();        // quit

  void showWindow(QWidget* window);
  // A strip box's text to the current row, when the user changed it.
  bool storeStripEdit(QLineEdit* edit, int column, bool keepRefused);
  QAction* addCommand(const char* caption, const char* hint, int image,
                      const QKeySequence& shortcut, void (JournalWindow::*handler)());

  JournalWindow(std::unique_ptr<ProgramData> ownData, QWidget* parent);

  std::unique_ptr<ProgramData> ownData_;  // the tests' and the benchmark's only
  Ledger& ledger_;
  Settings& settings_;
  StatusLine& statusLine_;
  bool shown_ = false;

  DatasetModel* model_ = nullptr;
  DatasetGrid* DBGrid1 = nullptr;
  QWidget* DBCtrlGrid1 = nullptr;
  QDataWidgetMapper* stripMapper_ = nullptr;
  // The strip's edits at their design places, scaled to fit the date.
  DesignFit stripFit_{QSize()};
  QLineEdit* DBEdit1 = nullptr;
  QLineEdit* DBEdit2 = nullptr;
  QLineEdit* DBEdit3 = nullptr;
  QLineEdit* DBEdit4 = nullptr;

  QPointer<QWidget> Form2;  // movements list
  QPointer<QWidget> Form3;  // books list
  QPointer<QWidget> Form4;  // calendar picker
  QPointer<print::VoucherForm> Form5;
  QPointer<print::BookSearchForm> Form6;
  QPointer<print::ConfigForm> Form7;
  QPointer<help::HelpWindow> Form8;

  QAction* Uloit1 = nullptr;
  QAction* Otevt1 = nullptr;
  QAction* Importvpisu1 = nullptr;
  QAction* Novdek1 = nullptr;
  QAction* Smazatdek1 = nullptr;
  QAction* SmazaneZaznamy1 = nullptr;
  QAction* Vratit1 = nullptr;
  QAction* Konfigurace1 = nullptr;
  QAction* Knihy1 = nullptr;
  QAction* Pohyby1 = nullptr;
  QAction* Kalend1 = nullptr;
  QAction* Tiskdokladu1 = nullptr;
  QAction* Tiskknihy1 = nullptr;
  QAction* Prehled1 = nullptr;
  QAction* Pomoc1 = nullptr;
  QAction* Konec1 = nullptr;
  QAction* ToolButton12 = nullptr;
  // The commands with a shortcut, which no control of this window may take
  // (but a text box its own undo, see eventFilter).
  std::vector<QAction*> shortcutActions_;
  // The records this window deleted, the last one last: Ctrl+Z takes them
  // back in turn. A restore makes them meaningless and empties the list.
  std::vector<std::int64_t> deletedHere_;
  DeletedRowsWindow* deletedRows_ = nullptr;
  std::unique_ptr<backup::DailyBackupThread> dailyBackup_;
  bool dailyBackupReported_ = false;
};

}  // namespace app
