#include "print/book_search_form.h"

#include <filesystem>
#include <optional>

#include <QCheckBox>
#include <QDateEdit>
#include <QDir>
#include <QFile>
#include <QFileDialog>
#include <QKeyEvent>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>

#include "app/date_typing_qt.h"
#include "app/design_fit_qt.h"
#include "app/error_box_qt.h"
#include "app/image_list_qt.h"
#include "print/config_form.h"
#include "print/csv_export.h"
#include "print/overview.h"
#include "print/form_text_qt.h"
#include "text/cp1250.h"
#include "text/error.h"
#include "text/regional.h"

namespace print {

namespace {

// The report's page, in the working folder.
constexpr const char* kPageFileName = "out.htm";
// ImageList1: three columns, a printer.
constexpr int kRecomputeImage = 25;
constexpr int kPrintImage = 13;
// A pie chart, a sheet with an arrow.
constexpr int kOverviewImage = 33;
constexpr int kExportImage = 34;
constexpr const char* kExportDefaultName = "denik.csv";

// The short date format's pattern letters (d, M, y) mean the same to Qt;
// everything else is literal there only when quoted.
QString qtDateFormat(const std::string& shortDateFormat) {
  QString format;
  QString literal;
  for (char c : shortDateFormat) {
    if (c == 'd' || c == 'M' || c == 'y') {
      if (!literal.isEmpty()) {
        format += QLatin1Char('\'') + literal + QLatin1Char('\'');
        literal.clear();
      }
      format += QLatin1Char(c);
    } else {
      literal += QString::fromUtf8(text::toUtf8(std::string(1, c)));
    }
  }
  if (!literal.isEmpty()) format += QLatin1Char('\'') + literal + QLatin1Char('\'');
  return format;
}

QDate toQDate(const text::Date& date) { return QDate(date.year, date.month, date.day); }
text::Date fromQDate(const QDate& date) { return {date.year(), date.month(), date.day()}; }

}  // namespace

BookSearchForm::BookSearchForm(app::Ledger& ledger, QWidget* journalWindow, BookSearchLinks links,
                               BrowserLauncher* launcher)
    // A fixed-size tool window with a small caption, above the journal window.
    : QDialog(journalWindow, Qt::Tool | Qt::MSWindowsFixedSizeDialogHint),
      ledger_(ledger),
      links_(std::move(links)),
      ownLauncher_(launcher == nullptr ? std::make_unique<ShellLauncher>() : nullptr),
      launcher_(launcher == nullptr ? ownLauncher_.get() : launcher),
      search_(ledger) {
  setObjectName(QStringLiteral("Form6"));
  setWindowTitle(QStringLiteral("Tisk pokladní knihy - vyhledávání, statistiky"));
  setModal(false);
  setSizeGripEnabled(false);

  const QString dateFormat = qtDateFormat(ledger_.regional().shortDateFormat);
  // The design's places; each control is measured in its own font and the
  // whole dialog scaled so that every text fits.
  // The design's 437 x 61, and a column for the overview and export buttons.
  app::DesignFit fit(QSize(485, 61));
  auto makePicker = [&](const char* name, QRect place, const char* hint) {
    auto* picker = new QDateEdit(this);
    picker->setObjectName(QString::fromLatin1(name));
    picker->setDisplayFormat(dateFormat);
    picker->setCalendarPopup(true);
    picker->setDateRange(QDate(100, 1, 1), QDate(9999, 12, 31));
    picker->setDate(toQDate(text::Date::today()));
    picker->setToolTip(plainHint(hint));
    picker->ensurePolished();
    fit.add(picker, place, {app::dateEditWidthFor(*picker), picker->sizeHint().height()});
    app::typeDatesWhole(picker);
    return picker;
  };
  auto makeEdit = [&](const char* name, QRect place, const char* hint) {
    auto* edit = new QLineEdit(this);
    edit->setObjectName(QString::fromLatin1(name));
    edit->setToolTip(plainHint(hint));
    edit->ensurePolished();
    fit.add(edit, place, {0, edit->sizeHint().height()});
    return edit;
  };
  auto makeButton = [&](const char* name, QRect place, int image, const char* hint) {
    auto* button = new QPushButton(app::imageListIcon(image), QString(), this);
    button->setObjectName(QString::fromLatin1(name));
    button->setToolTip(plainHint(hint));
    // Enter in a field neither recomputes nor prints.
    button->setAutoDefault(false);
    fit.add(button, place, {});
    return button;
  };
  auto makeBox = [&](const char* name, QRect place, const char* hint) {
    auto* box = new QCheckBox(this);
    box->setObjectName(QString::fromLatin1(name));
    box->setToolTip(plainHint(hint));
    box->ensurePolished();
    fit.add(box, place, {app::checkBoxWidthFor(*box), 0});
    return box;
  };

  DateTimePicker1 = makePicker("DateTimePicker1", {24, 8, 81, 21},
                               "Datum od kterého chcete zobrazit (tisknout) záznamy");
  DateTimePicker2 = makePicker("DateTimePicker2", {24, 32, 81, 21},
                               "Datum do kterého chcete zobrazit (tisknout) záznamy");
  Edit1 = makeEdit("Edit1", {176, 8, 97, 21},
                   "Začnete - li do tohoto pole vyplňovat text .. budou zobrazeny jen záznamy "
                   "obsahující tento text ...");
  Edit2 = makeEdit("Edit2", {210, 32, 62, 21}, "Počáteční stav pro tisk, výpočet knihy");
  Edit2->setText(QStringLiteral("0"));
  // The buttons are 24 pixels high rather than 25, which let them overlap.
  BitBtn1 = makeButton("BitBtn1", {376, 8, 47, 24}, kRecomputeImage,
                       "Přepočte zůstatky u zobrazených záznamů, tak aby na sebe navazovaly ...");
  BitBtn2 = makeButton("BitBtn2", {376, 32, 47, 24}, kPrintImage,
                       "Spustí html prohlížeč na tisk zobrazených řádků [Ctrl]+[P] spustí tisk v "
                       "prohlížeči");
  OverviewButton = makeButton("OverviewButton", {424, 8, 47, 24}, kOverviewImage,
                              "Přehled zobrazených záznamů podle pohybů a měsíců s grafy v html prohlížeči");
  ExportButton = makeButton("ExportButton", {424, 32, 47, 24}, kExportImage,
                            "Export do CSV... Uloží zobrazené záznamy do souboru pro tabulkový procesor");
  CheckBox1 = makeBox("CheckBox1", {333, 12, 16, 17},
                      "Zobrazit jen ten pohyb, který bude označen v číselníku pohybů...");
  CheckBox2 = makeBox("CheckBox2", {333, 33, 16, 17},
                      "Zobrazit jen tu knihu, která bude vybrána v číselníku ???");
  CheckBox3 = makeBox("CheckBox3", {107, 11, 16, 17},
                      "Chcete z pohledu (tisku) vyřadit záznamy před tímto datem ???");
  CheckBox4 = makeBox("CheckBox4", {107, 34, 16, 17},
                      "Chcete z pohledu (tisku) vyřadit záznamy po tomto datu ???");

  // Each label has the room up to the control it stands before, less a
  // gap of 3 pixels, so that no text touches its control.
  struct Caption {
    const char* name;
    const char* text;
    QRect room;
  };
  const Caption captions[] = {
      {"Label1", "Od", {6, 14, 15, 17}},       {"Label2", "Do", {6, 36, 15, 17}},
      {"Label3", "Filter", {142, 12, 31, 17}}, {"Label4", "Poč.stav", {142, 36, 65, 17}},
      {"Label5", "Pohyb", {300, 12, 30, 17}},  {"Label6", "Kniha", {301, 36, 29, 17}},
  };
  for (const Caption& caption : captions) {
    auto* label = new QLabel(QString::fromUtf8(caption.text), this);
    label->setObjectName(QString::fromLatin1(caption.name));
    label->ensurePolished();
    fit.add(label, caption.room, {app::labelWidthFor(*label), label->sizeHint().height()});
  }
  fit.apply();

  QWidget* tabOrder[] = {DateTimePicker1, DateTimePicker2, Edit1,     Edit2,     BitBtn1,        BitBtn2,
                         CheckBox1,       CheckBox2,       CheckBox3, CheckBox4, OverviewButton, ExportButton};
  for (std::size_t i = 1; i < std::size(tabOrder); ++i) setTabOrder(tabOrder[i - 1], tabOrder[i]);

  // Every action's error is shown in the one message box and ends it there.
  auto handler = [this](void (BookSearchForm::*method)()) {
    return [this, method] { app::runAction(this, [this, method] { (this->*method)(); }); };
  };
  // Every change of the text, also one made by the program, as the
  // toolkit's change event has it.
  connect(Edit1, &QLineEdit::textChanged, this, handler(&BookSearchForm::Edit1Change));
  connect(DateTimePicker1, &QDateEdit::dateChanged, this, handler(&BookSearchForm::DateTimePicker1Change));
  connect(DateTimePicker2, &QDateEdit::dateChanged, this, handler(&BookSearchForm::DateTimePicker2Change));
  connect(CheckBox1, &QCheckBox::clicked, this, handler(&BookSearchForm::CheckBox1Click));
  connect(CheckBox2, &QCheckBox::clicked, this, handler(&BookSearchForm::CheckBox2Click));
  connect(CheckBox3, &QCheckBox::clicked, this, handler(&BookSearchForm::CheckBox3Click));
  connect(CheckBox4, &QCheckBox::clicked, this, handler(&BookSearchForm::CheckBox4Click));
  connect(BitBtn1, &QPushButton::clicked, this, handler(&BookSearchForm::BitBtn1Click));
  connect(BitBtn2, &QPushButton::clicked, this, handler(&BookSearchForm::BitBtn2Click));
  connect(OverviewButton, &QPushButton::clicked, this, handler(&BookSearchForm::ShowOverview));
  connect(ExportButton, &QPushButton::clicked, this, handler(&BookSearchForm::ExportCsv));

  // The controls' defaults are the criteria from the start: nothing ticked,
  // no text, so every row passes until the first ApplyFilter.
  takeCriteria();

  // Moved up from the design's top 120, so that the dialog, grown to fit its
  // texts, leaves the journal window's menu bar free.
  move(482, 88);
  setFixedSize(fit.client());
}

BookSearchForm::~BookSearchForm() = default;

void BookSearchForm::loadSettings(const app::Settings& settings) {
  const text::Regional& regional = ledger_.regional();
  // Filled by the program, not changed by the user: no filtering, as the
  // toolkit's pickers report only the user's changes. Each date on its own:
  // one that does not convert keeps its picker's date and is reported.
  std::optional<mincar::Error> failure;
  for (auto [text, picker] : {std::pair{&settings.datumOd, DateTimePicker1}, {&settings.datumDo, DateTimePicker2}}) {
    try {
      const text::Date date = text::parseDate(*text, regional);
      const QSignalBlocker quiet(picker);
      picker->setDate(toQDate(date));
    } catch (const mincar::Error& e) {
      if (!failure) failure = e;
    }
    takeCriteria();
  }
  if (failure) throw *failure;
}

void BookSearchForm::storeSettings(app::Settings& settings) const {
  const text::Regional& regional = ledger_.regional();
  settings.datumOd = text::formatDate(fromQDate(DateTimePicker1->date()), regional);
  settings.datumDo = text::formatDate(fromQDate(DateTimePicker2->date()), regional);
}

void BookSearchForm::takeCriteria() {
  SearchCriteria criteria;
  criteria.fromDate = fromQDate(DateTimePicker1->date());
  criteria.fromDateOn = CheckBox3->isChecked();
  criteria.toDate = fromQDate(DateTimePicker2->date());
  criteria.toDateOn = CheckBox4->isChecked();
  criteria.text = fieldText(*Edit1, "Edit1");
  criteria.moveOn = CheckBox1->isChecked();
  criteria.bookOn = CheckBox2->isChecked();
  search_.setCriteria(criteria);
}

void BookSearchForm::ApplyFilter() {
  if (links_.storeTypedText) links_.storeTypedText();
  search_.ApplyFilter();
}

void BookSearchForm::Edit1Change() {
  try {
    takeCriteria();
  } catch (const mincar::Error&) {
    // A text that cannot be a criterion goes from the box too: the box and
    // the filter in force never disagree.
    const QSignalBlocker quiet(Edit1);
    Edit1->setText(acceptedFilterText_);
    throw;
  }
  acceptedFilterText_ = Edit1->text();
  ApplyFilter();
}

void BookSearchForm::DateTimePicker1Change() {
  takeCriteria();
  ApplyFilter();
}

void BookSearchForm::DateTimePicker2Change() {
  takeCriteria();
  ApplyFilter();
}

void BookSearchForm::CheckBox1Click() {
  // On every click, whether the box becomes ticked or clear.
  takeCriteria();
  if (links_.showMovesList) links_.showMovesList();
  ApplyFilter();
}

void BookSearchForm::CheckBox2Click() {
  takeCriteria();
  if (links_.showBooksList) links_.showBooksList();
  ApplyFilter();
}

void BookSearchForm::CheckBox3Click() {
  takeCriteria();
  ApplyFilter();
}

void BookSearchForm::CheckBox4Click() {
  takeCriteria();
  ApplyFilter();
}

void BookSearchForm::BitBtn1Click() {
  if (links_.storeTypedText) links_.storeTypedText();
  search_.RecomputeShownBalances(fieldText(*Edit2, "Edit2"));
}

BrowserCall BookSearchForm::browserCall() {
  if (config_ == nullptr) throw mincar::Error("The configuration dialog is missing");
  browserCommand_ = config_->browserCommand();
  browserFileSpec_ = config_->fileSpec();
  return {browserCommand_, browserFileSpec_, ledger_.status(), *launcher_};
}

void BookSearchForm::BitBtn2Click() {
  if (links_.storeTypedText) links_.storeTypedText();
  // The initial balance, the browser settings and the working folder as they
  // are now; a failure at any step leaves no page and starts no browser.
  const std::string initialBalance = fieldText(*Edit2, "Edit2");
  PrintReport(reportTexts_, ledger_, search_.criteria(), initialBalance, std::filesystem::current_path(),
              kPageFileName, browserCall());
}

void BookSearchForm::ShowOverview() {
  if (links_.storeTypedText) links_.storeTypedText();
  PrintOverview(search_, std::filesystem::current_path(), kPageFileName, browserCall());
}

std::optional<std::filesystem::path> BookSearchForm::askExportName() {
  QFileDialog ExportDialog(this, QStringLiteral("Export do CSV..."));
  ExportDialog.setObjectName(QStringLiteral("ExportDialog"));
  // Qt's own dialog: a desktop's may move the working folder, from which
  // the tables and out.htm are found.
  ExportDialog.setOption(QFileDialog::DontUseNativeDialog);
  ExportDialog.setAcceptMode(QFileDialog::AcceptSave);
  ExportDialog.setNameFilter(QStringLiteral("Soubory CSV (*.csv)"));
  ExportDialog.setDefaultSuffix(QStringLiteral("csv"));
  if (lastExport_.isEmpty()) {
    ExportDialog.setDirectory(QDir::currentPath());
    ExportDialog.selectFile(QString::fromLatin1(kExportDefaultName));
  } else {
    const QFileInfo last(lastExport_);
    ExportDialog.setDirectory(last.absolutePath());
    ExportDialog.selectFile(last.fileName());
  }
  if (ExportDialog.exec() != QDialog::Accepted) return std::nullopt;
  const QStringList chosen = ExportDialog.selectedFiles();
  if (chosen.isEmpty() || chosen.front().isEmpty()) return std::nullopt;
  lastExport_ = chosen.front();
  return std::filesystem::path(QFile::encodeName(chosen.front()).toStdString());
}

void BookSearchForm::ExportCsv() {
  if (links_.storeTypedText) links_.storeTypedText();
  const std::optional<std::filesystem::path> file = askExportName();
  if (!file) return;
  const std::int64_t rows = WriteCsvExport(ledger_, *file);
  // "řádků 5" rather than "5 řádků", which would need the Czech plural
  // forms.
  ledger_.status().show(text::toCp1250("Export do CSV: řádků ") + std::to_string(rows) + text::toCp1250(", soubor ") +
                        text::pathText(*file));
}

void BookSearchForm::keyPressEvent(QKeyEvent* event) {
  if (event->key() == Qt::Key_Escape && event->modifiers() == Qt::NoModifier) {
    event->accept();
    return;
  }
  QDialog::keyPressEvent(event);
}

}  // namespace print
