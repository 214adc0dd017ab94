#pragma once
#include <filesystem>
#include <functional>
#include <memory>
#include <optional>
#include <string>

#include <QDialog>

#include "app/ledger.h"
#include "app/settings.h"
#include "print/book_report.h"
#include "print/book_search.h"
#include "print/browser.h"

class QCheckBox;
class QDateEdit;
class QLineEdit;
class QPushButton;

namespace print {

class ConfigForm;

// What the search dialog needs from the windows around it, called when it
// is needed.
struct BookSearchLinks {
  std::function<void()> showMovesList;  // Form2 visible
  std::function<void()> showBooksList;  // Form3 visible
  // Hands text typed into the journal grid or its edit strip to the
  // journal's current row before the journal moves; may be empty.
  std::function<void()> storeTypedText;
};

// TForm6, the cash-book search, statistics and report dialog: its controls
// are the journal's filter criteria, so the journal grid shows exactly the
// rows that the report prints. Every change of the filter text, a picker or
// a date box filters the journal anew; the movement and book boxes bring
// their list window up on every click and then filter. A small tool window
// above the journal window, never modal; its close box only hides it and
// its criteria stay in force while it is hidden. Created after the ledger
// is open; from then on the journal's filter event is its own.
class BookSearchForm : public QDialog {
  Q_OBJECT
 public:
  // launcher: how the browser is started; the interpreter when null.
  BookSearchForm(app::Ledger& ledger, QWidget* journalWindow, BookSearchLinks links,
                 BrowserLauncher* launcher = nullptr);
  ~BookSearchForm() override;

  // Settings 5 and 6 into DateTimePicker1 and DateTimePicker2 (the journal
  // window's show handler), without filtering; a date that does not convert
  // throws "'%s' is not a valid date and time" and leaves the pickers from
  // there on as they were. And back, as short-date texts (its close
  // handler).
  void loadSettings(const app::Settings& settings);
  void storeSettings(app::Settings& settings) const;

  // The configuration dialog (TForm7), created after this one, whose
  // browser command and prefix are read at every print.
  void setConfigForm(const ConfigForm* config) { config_ = config; }

  BookSearch& search() { return search_; }

  // The overview of the shown rows, written to out.htm in the working
  // folder and opened in the browser: the dialog's overview button and the
  // journal window's "Přehled".
  void ShowOverview();
  // The shown rows as CSV, into the file the user chooses in a save dialog
  // (ExportDialog); nothing happens when the user cancels.
  void ExportCsv();

  QLineEdit* filterEdit() const { return Edit1; }
  QLineEdit* initialBalanceEdit() const { return Edit2; }
  QDateEdit* fromDatePicker() const { return DateTimePicker1; }
  QDateEdit* toDatePicker() const { return DateTimePicker2; }
  QCheckBox* moveBox() const { return CheckBox1; }
  QCheckBox* bookBox() const { return CheckBox2; }
  QCheckBox* fromDateBox() const { return CheckBox3; }
  QCheckBox* toDateBox() const { return CheckBox4; }
  QPushButton* recomputeButton() const { return BitBtn1; }
  QPushButton* printButton() const { return BitBtn2; }
  QPushButton* overviewButton() const { return OverviewButton; }
  QPushButton* exportButton() const { return ExportButton; }

 protected:
  // Esc does not hide it, leaving a filter in force out of sight: only the
  // close box does.
  void keyPressEvent(QKeyEvent* event) override;

 private:
  // The controls' state handed to the search; a filter text that the code
  // page cannot hold is refused and the criteria stay as they were.
  void takeCriteria();
  void ApplyFilter();

  void Edit1Change();
  void DateTimePicker1Change();
  void DateTimePicker2Change();
  void CheckBox1Click();
  void CheckBox2Click();
  void CheckBox3Click();
  void CheckBox4Click();
  void BitBtn1Click();
  void BitBtn2Click();
  // The browser settings of the configuration dialog, as they are now.
  BrowserCall browserCall();
  std::optional<std::filesystem::path> askExportName();

  app::Ledger& ledger_;
  BookSearchLinks links_;
  const ConfigForm* config_ = nullptr;
  std::unique_ptr<BrowserLauncher> ownLauncher_;
  BrowserLauncher* launcher_;
  BookSearch search_;
  ReportTexts reportTexts_;

  QDateEdit* DateTimePicker1 = nullptr;
  QDateEdit* DateTimePicker2 = nullptr;
  QLineEdit* Edit1 = nullptr;
  QLineEdit* Edit2 = nullptr;
  QPushButton* BitBtn1 = nullptr;
  QPushButton* BitBtn2 = nullptr;
  QPushButton* OverviewButton = nullptr;
  QPushButton* ExportButton = nullptr;
  QCheckBox* CheckBox1 = nullptr;
  QCheckBox* CheckBox2 = nullptr;
  QCheckBox* CheckBox3 = nullptr;
  QCheckBox* CheckBox4 = nullptr;
  QString acceptedFilterText_;  // the filter text in force
  QString lastExport_;          // the file chosen at the last export
  std::string browserCommand_;  // what browserCall() hands on
  std::string browserFileSpec_;
};

}  // namespace print
