// TForm6, the cash-book search dialog, beside the real journal window and
// lists over a journal in a working folder: its controls, the filtering of
// the journal grid by every control, the list windows its boxes bring up,
// the settings of its pickers, and its recompute and print buttons.

#include <QCheckBox>
#include <QDateEdit>
#include <QFileDialog>
#include <QTimer>
#include <QLabel>
#include <QLineEdit>
#include <QMenu>
#include <QMenuBar>
#include <QPushButton>
#include <QTest>
#include <QTextDocument>

#include "../print/print_test_support.h"
#include "app/dataset_model.h"
#include "ledger/dataset.h"
#include "ledger/ledger_tables.h"
#include "print/book_search_form.h"
#include "print/config_form.h"
#include "text/error.h"
#include "window_test_support.h"

using window_testing::MessageBoxCloser;
using window_testing::ProgramWindows;
using window_testing::WorkFolder;
namespace J = ledger::journal;

namespace {

QString plainText(const QString& hint) {
  QTextDocument document;
  document.setHtml(hint);
  return document.toPlainText();
}

struct SeedRow {
  double id;
  double idk;
  double idm;
  const char* date;  // short date text
  const char* text;  // UTF-8
  const char* plus;
  const char* minus;
};

// The tables as an earlier run left them: two books, two movements, and
// journal rows.
void seed(const std::filesystem::path& dir, const std::vector<SeedRow>& rows) {
  ledger::createMissingTables(dir);
  const text::Regional regional = text::Regional::czech();
  for (auto table : {ledger::LedgerTable::Books, ledger::LedgerTable::Moves}) {
    ledger::Dataset list("seed", ledger::tablePath(dir, table), regional);
    list.open();
    double id = 0;
    for (const char* name : {"první", "druhý"}) {
      list.append();
      list.field(0).setAsFloat(++id);
      list.field(1).setAsString(text::toCp1250(name));
      list.post();
    }
  }
  ledger::Dataset journal("seed", ledger::tablePath(dir, ledger::LedgerTable::Journal), regional);
  journal.open();
  for (const SeedRow& row : rows) {
    journal.append();
    journal.field(J::ID).setAsFloat(row.id);
    journal.field(J::IDK).setAsFloat(row.idk);
    journal.field(J::IDM).setAsFloat(row.idm);
    journal.field(J::DATUM).setAsString(row.date);
    journal.field(J::TEXT).setAsString(text::toCp1250(row.text));
    journal.field(J::PLUS).setAsString(row.plus);
    journal.field(J::MINUS).setAsString(row.minus);
    journal.post();
  }
}

const std::vector<SeedRow> kRows = {
    {1, 1, 1, "1.12.2026", "Nákup potravin", "", "250"},
    {2, 1, 2, "2.12.2026", "NÁKUP", "", "30"},
    {3, 2, 1, "3.12.2026", "Nakup", "100", ""},
    {4, 2, 2, "4.12.2026", "Mzda", "5000", ""},
};

using DialogAnswer = window_testing::FileDialogAnswer;

}  // namespace

class BookSearchFormTest : public QObject {
  Q_OBJECT

 private:
  std::unique_ptr<WorkFolder> folder_;
  std::unique_ptr<ProgramWindows> windows_;
  print::BookSearchForm* form_ = nullptr;
  print::ConfigForm* config_ = nullptr;
  print_testing::RecordingLauncher launcher_;

  app::Ledger& ledger() { return windows_->journal->ledger(); }
  ledger::Dataset& journal() { return ledger().journal(); }
  int gridRows() { return windows_->journal->model()->rowCount(); }
  std::vector<int> shownIds() {
    std::vector<int> ids;
    for (int row = 0; row < gridRows(); ++row) {
      ids.push_back(windows_->journal->model()->index(row, J::ID).data().toInt());
    }
    return ids;
  }
  std::string status() { return windows_->journal->statusLine().text(); }

 private slots:
  void initTestCase() { QApplication::setQuitOnLastWindowClosed(false); }

  void init() {
    folder_ = std::make_unique<WorkFolder>();
    folder_->writeSettings();
    seed(folder_->path(), kRows);
    windows_ = std::make_unique<ProgramWindows>();
    print::BookSearchLinks links;
    links.showMovesList = [this] { windows_->moves->show(); };
    links.showBooksList = [this] { windows_->books->show(); };
    form_ = new print::BookSearchForm(ledger(), windows_->journal.get(), links, &launcher_);
    config_ = new print::ConfigForm(windows_->journal.get());
    config_->loadSettings(app::Settings::defaults(text::Regional::czech(), text::Date::today()));
    form_->setConfigForm(config_);
  }

  void cleanup() {
    windows_.reset();
    folder_.reset();
    launcher_.commandLines.clear();
  }

  // Esc neither hides the search dialog (leaving a filter in force out of
  // sight) nor the configuration dialog; the close box hides each.
  void escapeKeepsBothDialogsAndTheCloseBoxHidesThem() {
    for (QDialog* dialog : {static_cast<QDialog*>(form_), static_cast<QDialog*>(config_)}) {
      dialog->show();
      QVERIFY(QTest::qWaitForWindowExposed(dialog));
      QTest::keyClick(dialog, Qt::Key_Escape);
      QVERIFY2(dialog->isVisible(), qPrintable(dialog->objectName()));
      QVERIFY(dialog->close());
      QVERIFY(!dialog->isVisible());
    }
  }

  void hasItsDesignPlaceCaptionAndFrame() {
    QCOMPARE(form_->objectName(), QStringLiteral("Form6"));
    QCOMPARE(form_->windowTitle(), QStringLiteral("Tisk pokladní knihy - vyhledávání, statistiky"));
    // The design's client area, scaled to fit the texts; fixed.
    QVERIFY(form_->width() >= 485 && form_->height() >= 61);
    QCOMPARE(form_->minimumSize(), form_->size());
    QCOMPARE(form_->maximumSize(), form_->size());
    QCOMPARE(form_->pos(), QPoint(482, 88));
    QVERIFY(form_->windowFlags().testFlag(Qt::Tool));
    QCOMPARE(form_->parentWidget(), windows_->journal.get());
    QVERIFY(!form_->isModal());
    QVERIFY(!form_->isVisible());
  }

  void controls_data() {
    QTest::addColumn<QString>("name");
    QTest::addColumn<QString>("kind");
    QTest::addColumn<QRect>("place");
    QTest::addColumn<QString>("hint");
    QTest::newRow("from date") << "DateTimePicker1" << "QDateEdit" << QRect(24, 8, 81, 21)
                               << "Datum od kterého chcete zobrazit (tisknout) záznamy";
    QTest::newRow("to date") << "DateTimePicker2" << "QDateEdit" << QRect(24, 32, 81, 21)
                             << "Datum do kterého chcete zobrazit (tisknout) záznamy";
    QTest::newRow("filter text")
        << "Edit1" << "QLineEdit" << QRect(176, 8, 97, 21)
        << "Začnete - li do tohoto pole vyplňovat text .. budou zobrazeny jen záznamy obsahující tento text ...";
    QTest::newRow("initial balance") << "Edit2" << "QLineEdit" << QRect(210, 32, 62, 21)
                                     << "Počáteční stav pro tisk, výpočet knihy";
    QTest::newRow("recompute") << "BitBtn1" << "QPushButton" << QRect(376, 8, 47, 24)
                               << "Přepočte zůstatky u zobrazených záznamů, tak aby na sebe navazovaly ...";
    QTest::newRow("print")
        << "BitBtn2" << "QPushButton" << QRect(376, 32, 47, 24)
        << "Spustí html prohlížeč na tisk zobrazených řádků [Ctrl]+[P] spustí tisk v prohlížeči";
    QTest::newRow("overview") << "OverviewButton" << "QPushButton" << QRect(424, 8, 47, 24)
                              << "Přehled zobrazených záznamů podle pohybů a měsíců s grafy v html prohlížeči";
    QTest::newRow("export") << "ExportButton" << "QPushButton" << QRect(424, 32, 47, 24)
                            << "Export do CSV... Uloží zobrazené záznamy do souboru pro tabulkový procesor";
    QTest::newRow("movement box") << "CheckBox1" << "QCheckBox" << QRect(333, 12, 16, 17)
                                  << "Zobrazit jen ten pohyb, který bude označen v číselníku pohybů...";
    QTest::newRow("book box") << "CheckBox2" << "QCheckBox" << QRect(333, 33, 16, 17)
                              << "Zobrazit jen tu knihu, která bude vybrána v číselníku ???";
    QTest::newRow("from-date box") << "CheckBox3" << "QCheckBox" << QRect(107, 11, 16, 17)
                                   << "Chcete z pohledu (tisku) vyřadit záznamy před tímto datem ???";
    QTest::newRow("to-date box") << "CheckBox4" << "QCheckBox" << QRect(107, 34, 16, 17)
                                 << "Chcete z pohledu (tisku) vyřadit záznamy po tomto datu ???";
  }

  void controls() {
    QFETCH(QString, name);
    QFETCH(QString, kind);
    QFETCH(QRect, place);
    QFETCH(QString, hint);
    auto* control = form_->findChild<QWidget*>(name);
    QVERIFY(control != nullptr);
    QCOMPARE(QString::fromLatin1(control->metaObject()->className()), kind);
    QVERIFY2(window_testing::placedAsDesigned(control->geometry(), place, {485, 61}, form_->size()),
             qPrintable(name));
    QCOMPARE(plainText(control->toolTip()), hint);
  }

  void defaultsAreAllBoxesClearNoTextAndZero() {
    for (QCheckBox* box : {form_->moveBox(), form_->bookBox(), form_->fromDateBox(), form_->toDateBox()}) {
      QVERIFY(!box->isChecked());
      QCOMPARE(box->text(), QString());
    }
    QCOMPARE(form_->filterEdit()->text(), QString());
    QCOMPARE(form_->initialBalanceEdit()->text(), QStringLiteral("0"));
    QCOMPARE(form_->recomputeButton()->text(), QString());
    QVERIFY(!form_->recomputeButton()->icon().isNull());
    QVERIFY(!form_->printButton()->icon().isNull());
    // Date only, in the short date format, with a drop-down calendar.
    QDateEdit* picker = form_->fromDatePicker();
    QVERIFY(picker->calendarPopup());
    QCOMPARE(picker->displayedSections(),
             QDateTimeEdit::DaySection | QDateTimeEdit::MonthSection | QDateTimeEdit::YearSection);
    picker->setDate(QDate(2026, 12, 7));
    QCOMPARE(picker->text(), QStringLiteral("7.12.2026"));
  }

  void labels_data() {
    QTest::addColumn<QString>("name");
    QTest::addColumn<QString>("caption");
    QTest::addColumn<QPoint>("place");
    QTest::newRow("from") << "Label1" << "Od" << QPoint(6, 14);
    QTest::newRow("to") << "Label2" << "Do" << QPoint(6, 36);
    QTest::newRow("filter") << "Label3" << "Filter" << QPoint(142, 12);
    QTest::newRow("initial balance") << "Label4" << "Poč.stav" << QPoint(142, 36);
    QTest::newRow("movement") << "Label5" << "Pohyb" << QPoint(300, 12);
    QTest::newRow("book") << "Label6" << "Kniha" << QPoint(301, 36);
  }

  void labels() {
    QFETCH(QString, name);
    QFETCH(QString, caption);
    QFETCH(QPoint, place);
    auto* label = form_->findChild<QLabel*>(name);
    QVERIFY(label != nullptr);
    QCOMPARE(label->text(), caption);
    QVERIFY2(window_testing::placedAsDesigned(QRect(label->pos(), QSize(1, 1)), QRect(place, QSize(1, 1)), {485, 61},
                                              form_->size()),
             qPrintable(name));
  }

  void tabGoesThroughTheControlsInTheirOrder() {
    const QStringList expected = {"DateTimePicker1", "DateTimePicker2", "Edit1",     "Edit2",     "BitBtn1",
                                  "BitBtn2",         "CheckBox1",       "CheckBox2", "CheckBox3", "CheckBox4"};
    QStringList order;
    QWidget* start = form_->fromDatePicker();
    QWidget* w = start;
    do {
      if ((w->focusPolicy() & Qt::TabFocus) && expected.contains(w->objectName())) order << w->objectName();
      w = w->nextInFocusChain();
    } while (w != start && order.size() < 30);
    QCOMPARE(order, expected);
  }

  void everyRowIsShownUntilTheFirstFilter() {
    QVERIFY(journal().filtered());
    QCOMPARE(shownIds(), (std::vector<int>{1, 2, 3, 4}));
  }

  void everyKeystrokeInTheFilterTextFiltersTheGrid() {
    form_->show();
    QTest::keyClicks(form_->filterEdit(), QStringLiteral("n"));
    QCOMPARE(shownIds(), (std::vector<int>{1, 2, 3}));
    QCOMPARE(status(), std::string("N"));
    // A key with a Czech letter, which keyClicks cannot type.
    QTest::sendKeyEvent(QTest::Click, form_->filterEdit(), Qt::Key_Aacute, QStringLiteral("á"), Qt::NoModifier);
    QCOMPARE(shownIds(), (std::vector<int>{1, 2}));
    QCOMPARE(status(), text::toCp1250("NÁ"));
    QTest::keyClicks(form_->filterEdit(), QStringLiteral("k"));
    QCOMPARE(shownIds(), (std::vector<int>{1, 2}));
    QTest::keyClick(form_->filterEdit(), Qt::Key_Backspace);
    QTest::keyClick(form_->filterEdit(), Qt::Key_Backspace);
    QCOMPARE(shownIds(), (std::vector<int>{1, 2, 3}));
    QTest::keyClick(form_->filterEdit(), Qt::Key_Backspace);
    QCOMPARE(shownIds(), (std::vector<int>{1, 2, 3, 4}));
    QVERIFY(!journal().filtered());
    // The grid starts again at its first row.
    QCOMPARE(windows_->journal->model()->cursorRow(), 0);
  }

  void theMovementBoxBringsUpItsListOnEveryClickThenFilters() {
    form_->show();
    QVERIFY(!windows_->moves->isVisible());
    ledger().moves().last();  // movement 2
    QTest::mouseClick(form_->moveBox(), Qt::LeftButton);
    QVERIFY(form_->moveBox()->isChecked());
    QVERIFY(windows_->moves->isVisible());
    QCOMPARE(shownIds(), (std::vector<int>{2, 4}));
    // Clearing the box brings the list up too and shows every row.
    windows_->moves->hide();
    QTest::mouseClick(form_->moveBox(), Qt::LeftButton);
    QVERIFY(!form_->moveBox()->isChecked());
    QVERIFY(windows_->moves->isVisible());
    QCOMPARE(shownIds(), (std::vector<int>{1, 2, 3, 4}));
  }

  void theBookBoxBringsUpItsListOnEveryClickThenFilters() {
    form_->show();
    ledger().books().first();  // book 1
    QTest::mouseClick(form_->bookBox(), Qt::LeftButton);
    QVERIFY(windows_->books->isVisible());
    QCOMPARE(shownIds(), (std::vector<int>{1, 2}));
    windows_->books->hide();
    QTest::mouseClick(form_->bookBox(), Qt::LeftButton);
    QVERIFY(windows_->books->isVisible());
    QCOMPARE(shownIds(), (std::vector<int>{1, 2, 3, 4}));
  }

  void theDateBoxesAndPickersFilter() {
    form_->show();
    form_->fromDatePicker()->setDate(QDate(2026, 12, 2));
    form_->toDatePicker()->setDate(QDate(2026, 12, 3));
    QCOMPARE(shownIds(), (std::vector<int>{1, 2, 3, 4}));  // no box ticked yet
    QTest::mouseClick(form_->fromDateBox(), Qt::LeftButton);
    QCOMPARE(shownIds(), (std::vector<int>{2, 3, 4}));
    QTest::mouseClick(form_->toDateBox(), Qt::LeftButton);
    QCOMPARE(shownIds(), (std::vector<int>{2, 3}));
    // Both on one day.
    form_->fromDatePicker()->setDate(QDate(2026, 12, 3));
    QCOMPARE(shownIds(), (std::vector<int>{3}));
    // From after to.
    form_->toDatePicker()->setDate(QDate(2026, 12, 2));
    QCOMPARE(shownIds(), std::vector<int>{});
  }

  void theCloseBoxOnlyHidesAndTheCriteriaStayInForce() {
    form_->show();
    form_->filterEdit()->setText(QStringLiteral("mzda"));
    QCOMPARE(shownIds(), (std::vector<int>{4}));
    QPointer<print::BookSearchForm> alive(form_);
    form_->close();
    QVERIFY(!alive.isNull());
    QVERIFY(!form_->isVisible());
    // The journal is read anew: still only the matching row.
    journal().first();
    QCOMPARE(journal().recordCount(), 1);
    QCOMPARE(shownIds(), (std::vector<int>{4}));
    form_->show();
    QCOMPARE(form_->filterEdit()->text(), QStringLiteral("mzda"));
  }

  void thePickersTakeTheSettingsWithoutFilteringAndGiveThemBack() {
    app::Settings settings = app::Settings::defaults(text::Regional::czech(), text::Date::today());
    settings.datumOd = "1.12.2026";
    settings.datumDo = "31.12.2026";
    window_testing::MessageBoxCloser boxes;
    windows_->journal->statusLine().show("Started...");
    form_->loadSettings(settings);
    QCOMPARE(form_->fromDatePicker()->date(), QDate(2026, 12, 1));
    QCOMPARE(form_->toDatePicker()->date(), QDate(2026, 12, 31));
    QCOMPARE(status(), std::string("Started..."));  // no evaluation, no filter change
    QVERIFY(journal().filtered());
    // A box ticked later uses the loaded date.
    QTest::mouseClick(form_->fromDateBox(), Qt::LeftButton);
    QCOMPARE(shownIds(), (std::vector<int>{1, 2, 3, 4}));

    form_->fromDatePicker()->setDate(QDate(2026, 12, 3));
    form_->toDatePicker()->setDate(QDate(2027, 1, 5));
    form_->storeSettings(settings);
    QCOMPARE(settings.datumOd, std::string("3.12.2026"));
    QCOMPARE(settings.datumDo, std::string("5.1.2027"));
    QVERIFY(boxes.texts.isEmpty());
  }

  void aSettingsDateThatDoesNotConvertIsRefused() {
    app::Settings settings = app::Settings::defaults(text::Regional::czech(), text::Date::today());
    settings.datumOd = "1.12.2026";
    settings.datumDo = text::toCp1250("zítra");
    try {
      form_->loadSettings(settings);
      QFAIL("a date that does not convert was taken");
    } catch (const mincar::Error& e) {
      QCOMPARE(std::string(e.what()), text::toCp1250("'zítra' is not a valid date and time"));
    }
    QCOMPARE(form_->fromDatePicker()->date(), QDate(2026, 12, 1));
  }

  void theRecomputeButtonRunsTheBalanceThroughTheShownRows() {
    form_->show();
    form_->filterEdit()->setText(QStringLiteral("nák"));
    form_->initialBalanceEdit()->setText(QStringLiteral("1000,5"));
    QTest::mouseClick(form_->recomputeButton(), Qt::LeftButton);
    QCOMPARE(journal().textAt(0, J::ZUSTATEK), std::string("750,5"));
    QCOMPARE(journal().textAt(1, J::ZUSTATEK), std::string("720,5"));
    // The hidden rows keep their empty balances.
    form_->filterEdit()->clear();
    QCOMPARE(journal().textAt(2, J::ZUSTATEK), std::string());
    QCOMPARE(journal().textAt(3, J::ZUSTATEK), std::string());
  }

  void aRecomputeWithAnInitialBalanceThatIsNoNumberShowsTheMessage() {
    form_->initialBalanceEdit()->setText(QStringLiteral("1.5"));
    MessageBoxCloser boxes;
    QTest::mouseClick(form_->recomputeButton(), Qt::LeftButton);
    QCOMPARE(boxes.texts, QStringList{QStringLiteral("'1.5' is not a valid floating point value")});
    QCOMPARE(journal().textAt(0, J::ZUSTATEK), std::string());
  }

  void aFilterTextOutsideTheCodePageIsRefusedAndTheFilterStays() {
    form_->filterEdit()->setText(QStringLiteral("mzda"));
    MessageBoxCloser boxes;
    form_->filterEdit()->setText(QStringLiteral("Жито"));
    QCOMPARE(boxes.texts, QStringList{QStringLiteral("Edit1: Character U+0416 cannot be stored in Windows-1250")});
    QCOMPARE(shownIds(), (std::vector<int>{4}));
    // The box shows the criterion in force, not the refused text.
    QCOMPARE(form_->filterEdit()->text(), QStringLiteral("mzda"));
  }

  void thePrintButtonWritesThePageOfTheShownRowsAndStartsTheBrowser() {
    form_->show();
    ledger().books().last();  // book 2
    QTest::mouseClick(form_->bookBox(), Qt::LeftButton);
    form_->initialBalanceEdit()->setText(QStringLiteral("10 Kč"));
    QTest::mouseClick(form_->printButton(), Qt::LeftButton);

    const std::string page = testing_support::readFile(*folder_ / "out.htm");
    QVERIFY(page.find("<title>Mincar | Tisk pokladn\xED knihy druh\xFD</title>") != std::string::npos);
    QVERIFY(page.find("<h2>Kniha .druh\xFD. od 3.12.2026 do 4.12.2026</h2>") != std::string::npos);
    QVERIFY(page.find("<b>10 K&#269;</b>") != std::string::npos);
    QVERIFY(page.find("Nakup&nbsp;") != std::string::npos);
    QVERIFY(page.find("Mzda&nbsp;") != std::string::npos);
    QVERIFY(page.find("N\xE1kup potravin") == std::string::npos);
    const std::string line = "xdg-open  File://" + folder_->path().string() + "/out.htm";
    QCOMPARE(launcher_.commandLines, std::vector<std::string>{line});
    QCOMPARE(status(), line);
    QVERIFY(journal().eof());

    // The configuration dialog's fields are read at every print.
    config_->browserEdit()->setText(QStringLiteral("firefox"));
    QTest::mouseClick(form_->printButton(), Qt::LeftButton);
    QCOMPARE(launcher_.commandLines.back(), "firefox File://" + folder_->path().string() + "/out.htm");
  }

  void theOverviewButtonWritesTheOverviewOfTheShownRowsAndStartsTheBrowser() {
    form_->show();
    form_->filterEdit()->setText(QStringLiteral("nák"));
    QTest::mouseClick(form_->overviewButton(), Qt::LeftButton);
    const std::string page = testing_support::readFile(*folder_ / "out.htm");
    QVERIFY(page.find("<h1>P&#345;ehled podle pohyb&#367; a m&#283;s\xED" "c&#367;</h1>") != std::string::npos);
    QVERIFY(page.find("Text: \x84n\xE1k\x93") != std::string::npos);
    QVERIFY(page.find("<td class=\"n\">280,00</td>") != std::string::npos);  // 250 + 30
    QVERIFY(page.find("5&#160;000,00") == std::string::npos);                 // Mzda is hidden
    const std::string line = "xdg-open  File://" + folder_->path().string() + "/out.htm";
    QCOMPARE(launcher_.commandLines, std::vector<std::string>{line});
    QCOMPARE(status(), line);
    // The grid still shows what it showed.
    QCOMPARE(shownIds(), (std::vector<int>{1, 2}));
  }

  void theJournalWindowsOverviewCommandIsInThePrintsMenu() {
    windows_->journal->setDialogs(nullptr, form_, config_, nullptr);
    QAction* overview = nullptr;
    for (QMenu* menu : windows_->journal->menuBar()->findChildren<QMenu*>()) {
      if (menu->title() != QStringLiteral("&Tisky")) continue;
      for (QAction* action : menu->actions()) {
        if (action->text() == QStringLiteral("Přehled")) overview = action;
      }
    }
    QVERIFY(overview != nullptr);
    QVERIFY(!overview->icon().isNull());
    overview->trigger();
    QVERIFY(std::filesystem::exists(*folder_ / "out.htm"));
    QCOMPARE(launcher_.commandLines.size(), std::size_t{1});
  }

  void theExportButtonWritesTheShownRowsToTheChosenFile() {
    form_->show();
    QTest::mouseClick(form_->fromDateBox(), Qt::LeftButton);
    form_->fromDatePicker()->setDate(QDate(2026, 12, 3));
    const QString chosen = QString::fromStdString((*folder_ / "prosinec").string());
    DialogAnswer answer(chosen, [](QFileDialog& dialog) {
      QCOMPARE(dialog.objectName(), QStringLiteral("ExportDialog"));
      QCOMPARE(dialog.acceptMode(), QFileDialog::AcceptSave);
      QCOMPARE(dialog.nameFilters(), QStringList{QStringLiteral("Soubory CSV (*.csv)")});
    });
    QTest::mouseClick(form_->exportButton(), Qt::LeftButton);
    QVERIFY(answer.answered);
    // The name gets its ".csv".
    const std::string csv = testing_support::readFile(*folder_ / "prosinec.csv");
    QCOMPARE(csv, std::string("\xEF\xBB\xBF"
                              "Číslo;Datum;Kniha;Název knihy;Pohyb;Název pohybu;Text;Plus;Minus;Zůstatek\r\n"
                              "3;3.12.2026;2;druhý;1;první;Nakup;100;;\r\n"
                              "4;4.12.2026;2;druhý;2;druhý;Mzda;5000;;\r\n"));
    QCOMPARE(status(), text::toCp1250("Export do CSV: řádků 2, soubor ") + (*folder_ / "prosinec.csv").string());
    QCOMPARE(shownIds(), (std::vector<int>{3, 4}));
  }

  void aCancelledExportWritesNothing() {
    DialogAnswer answer{QString()};
    QTest::mouseClick(form_->exportButton(), Qt::LeftButton);
    QVERIFY(answer.answered);
    for (const auto& entry : std::filesystem::directory_iterator(folder_->path())) {
      QVERIFY2(entry.path().extension() != ".csv", entry.path().c_str());
    }
  }

  void withoutTheConfigurationDialogNothingIsPrinted() {
    form_->setConfigForm(nullptr);
    MessageBoxCloser boxes;
    QTest::mouseClick(form_->printButton(), Qt::LeftButton);
    QTest::mouseClick(form_->overviewButton(), Qt::LeftButton);
    QCOMPARE(boxes.texts, QStringList({QStringLiteral("The configuration dialog is missing"),
                                       QStringLiteral("The configuration dialog is missing")}));
    QVERIFY(!std::filesystem::exists(*folder_ / "out.htm"));
    QVERIFY(launcher_.commandLines.empty());
  }
};

QTEST_MAIN(BookSearchFormTest)
#include "book_search_form_test.moc"
