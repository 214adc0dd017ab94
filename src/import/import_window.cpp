#include "import/import_window.h"

#include <set>
#include <system_error>
#include <utility>

#include <QApplication>
#include <QComboBox>
#include <QDialogButtonBox>
#include <QDir>
#include <QFile>
#include <QFileDialog>
#include <QFileInfo>
#include <QFormLayout>
#include <QHeaderView>
#include <QLabel>
#include <QPushButton>
#include <QTableWidget>
#include <QVBoxLayout>

#include "app/error_box_qt.h"
#include "import/file_bytes.h"
#include "import/statement_reader.h"
#include "ledger/dataset.h"
#include "ledger/ledger_tables.h"
#include "text/cp1250.h"
#include "text/error.h"

namespace bank {

namespace fs = std::filesystem;

namespace {

QString u8(const char* utf8) { return QString::fromUtf8(utf8); }
QString cz(std::string_view cp1250) { return QString::fromStdString(text::toUtf8(cp1250)); }

// The folder of the statement chosen last, for the next choice.
QString& lastFolder() {
  static QString folder;
  return folder;
}

std::optional<fs::path> askStatementFile(QWidget* window) {
  QFileDialog dialog(window, u8("Import výpisu"));
  dialog.setObjectName(QStringLiteral("ImportDialog1"));
  // Qt's own dialog, as the backup's: the same look and filter everywhere.
  dialog.setOption(QFileDialog::DontUseNativeDialog);
  dialog.setAcceptMode(QFileDialog::AcceptOpen);
  dialog.setFileMode(QFileDialog::ExistingFile);
  dialog.setNameFilters({statementFilterText() + QStringLiteral(" (*.gpc *.GPC *.abo *.ABO *.csv *.CSV *.txt *.TXT)"),
                         u8("Všechny soubory (*)")});
  // Statements come from the bank's web pages, so the first look is home.
  dialog.setDirectory(lastFolder().isEmpty() ? QDir::homePath() : lastFolder());
  // The dialog must not move the working folder the tables are found from.
  std::error_code ec;
  const fs::path workingFolder = fs::current_path(ec);
  const int answer = dialog.exec();
  if (!ec) fs::current_path(workingFolder, ec);
  if (answer != QDialog::Accepted || dialog.selectedFiles().isEmpty()) return std::nullopt;
  const QString chosen = dialog.selectedFiles().front();
  lastFolder() = QFileInfo(chosen).absolutePath();
  return fs::path(QFile::encodeName(chosen).toStdString());
}

QTableWidgetItem* cell(const QString& text, Qt::Alignment alignment = Qt::AlignLeft | Qt::AlignVCenter) {
  auto* item = new QTableWidgetItem(text);
  item->setFlags(Qt::ItemIsEnabled | Qt::ItemIsSelectable);
  item->setTextAlignment(alignment);
  return item;
}

}  // namespace

QString statementFilterText() { return u8("Bankovní výpisy"); }

// --- CsvColumnsForm ---------------------------------------------------------

CsvColumnsForm::CsvColumnsForm(const std::vector<std::string>& header, const QString& fileName,
                               QWidget* parent)
    : QDialog(parent) {
  setObjectName(QStringLiteral("CsvColumnsForm"));
  setWindowTitle(u8("Sloupce výpisu"));
  auto* layout = new QVBoxLayout(this);
  auto* intro = new QLabel(u8("Soubor %1 neříká, který sloupec je který. Vyberte sloupce; "
                              "datum a částka jsou nutné, částka je záporná u výdajů.")
                               .arg(fileName),
                           this);
  intro->setWordWrap(true);
  layout->addWidget(intro);
  auto* form = new QFormLayout;
  for (const CsvRole& role : kCsvRoles) {
    auto* box = new QComboBox(this);
    box->addItem(u8("(žádný)"), -1);
    for (size_t i = 0; i < header.size(); ++i) {
      box->addItem(QStringLiteral("%1: %2").arg(i + 1).arg(cz(header[i])), static_cast<int>(i));
    }
    connect(box, &QComboBox::currentIndexChanged, this, &CsvColumnsForm::updateOk);
    form->addRow(u8(role.headerUtf8) + QLatin1Char(':'), box);
    boxes_.push_back(box);
  }
  layout->addLayout(form);
  auto* buttons = new QDialogButtonBox(this);
  ok_ = buttons->addButton(u8("Pokračovat"), QDialogButtonBox::AcceptRole);
  buttons->addButton(u8("Storno"), QDialogButtonBox::RejectRole);
  connect(buttons, &QDialogButtonBox::accepted, this, &QDialog::accept);
  connect(buttons, &QDialogButtonBox::rejected, this, &QDialog::reject);
  layout->addWidget(buttons);
  updateOk();
}

void CsvColumnsForm::updateOk() {
  // The date and the amount make a movement; the rest only its text.
  ok_->setEnabled(boxes_[0]->currentData().toInt() >= 0 && boxes_[1]->currentData().toInt() >= 0);
}

CsvColumns CsvColumnsForm::columns() const {
  CsvColumns out;
  for (size_t r = 0; r < boxes_.size(); ++r) {
    const int column = boxes_[r]->currentData().toInt();
    if (column >= 0) out.*kCsvRoles[r].column = column;
  }
  return out;
}

// --- ImportForm -------------------------------------------------------------

ImportForm::ImportForm(app::Ledger& ledger, Statement statement, const QString& fileName,
                       QWidget* parent)
    : QDialog(parent), ledger_(ledger), statement_(std::move(statement)) {
  setObjectName(QStringLiteral("ImportForm"));
  setWindowTitle(u8("Import výpisu"));
  resize(720, 460);
  auto* layout = new QVBoxLayout(this);

  auto* form = new QFormLayout;
  form->addRow(u8("Soubor:"), new QLabel(fileName, this));
  bookBox_ = new QComboBox(this);
  bookBox_->setObjectName(QStringLiteral("BookBox"));
  moveBox_ = new QComboBox(this);
  moveBox_->setObjectName(QStringLiteral("MoveBox"));
  form->addRow(u8("Kniha:"), bookBox_);
  form->addRow(u8("Pohyb:"), moveBox_);
  if (statement_.opening && statement_.closing) {
    const text::Regional& regional = ledger_.regional();
    form->addRow(u8("Zůstatky výpisu:"),
                 new QLabel(u8("počáteční %1, konečný %2")
                                .arg(cz(amountText(*statement_.opening, regional)))
                                .arg(cz(amountText(*statement_.closing, regional))),
                            this));
  }
  layout->addLayout(form);

  rows_ = new QTableWidget(0, 5, this);
  rows_->setObjectName(QStringLiteral("RowsTable"));
  rows_->setHorizontalHeaderLabels({u8("Stav"), u8("Datum"), u8("Příjem"), u8("Výdej"), u8("Text")});
  rows_->verticalHeader()->hide();
  rows_->verticalHeader()->setDefaultSectionSize(fontMetrics().height() + 6);
  rows_->setSelectionBehavior(QAbstractItemView::SelectRows);
  rows_->setEditTriggers(QAbstractItemView::NoEditTriggers);
  rows_->horizontalHeader()->setStretchLastSection(true);
  layout->addWidget(rows_, 1);

  counts_ = new QLabel(this);
  counts_->setObjectName(QStringLiteral("CountsLabel"));
  layout->addWidget(counts_);

  auto* buttons = new QDialogButtonBox(this);
  import_ = buttons->addButton(u8("Importovat"), QDialogButtonBox::AcceptRole);
  buttons->addButton(u8("Storno"), QDialogButtonBox::RejectRole);
  connect(import_, &QPushButton::clicked, this, [this] { app::runAction(this, [this] { importRows(); }); });
  connect(buttons, &QDialogButtonBox::rejected, this, &QDialog::reject);
  layout->addWidget(buttons);

  fillLists();
  rematch();
  connect(bookBox_, &QComboBox::currentIndexChanged, this,
          [this] { app::runAction(this, [this] { rematch(); }); });
}

void ImportForm::fillLists() {
  // The lists' own rows, their current one chosen; the cursor goes back
  // where it stood and the list windows stay still meanwhile.
  auto fill = [](ledger::Dataset& list, QComboBox* box, std::vector<ListRow>& rows) {
    const std::int64_t current = list.recordNumber();
    {
      const ledger::DataSource::Quiet quiet(list.dataSource());
      for (list.first(); !list.eof(); list.next()) {
        const ledger::Field& id = list.field(0);
        if (id.isNull()) continue;
        rows.push_back({list.recordNumber(), id.asFloat()});
        box->addItem(cz(id.asString() + " " + list.field(1).asString()));
        if (list.recordNumber() == current) box->setCurrentIndex(box->count() - 1);
      }
      if (current >= 0) list.gotoRecord(current);
    }
  };
  const QSignalBlocker still(bookBox_);
  fill(ledger_.books(), bookBox_, books_);
  fill(ledger_.moves(), moveBox_, moves_);
}

void ImportForm::rematch() {
  rows_->setRowCount(0);
  match_ = {};
  const int book = bookBox_->currentIndex();
  if (book < 0) {
    counts_->setText(u8("Seznam knih je prázdný: nejprve založte knihu, do které výpis patří."));
    import_->setEnabled(false);
    return;
  }
  ledger::Dataset& journal = ledger_.journal();
  const std::int64_t current = journal.recordNumber();
  QApplication::setOverrideCursor(Qt::WaitCursor);
  try {
    const ledger::DataSource::Quiet quiet(journal.dataSource());
    match_ = matchJournal(journal, books_[static_cast<size_t>(book)].id, statement_);
    if (current >= 0) journal.gotoRecord(current);
  } catch (...) {
    QApplication::restoreOverrideCursor();
    throw;
  }
  QApplication::restoreOverrideCursor();

  const text::Regional& regional = ledger_.regional();
  const auto textLength = static_cast<std::size_t>(journal.field(ledger::journal::TEXT).length());
  rows_->setRowCount(static_cast<int>(match_.toAdd.size() + match_.present.size()));
  // In the statement's order, each line with what becomes of it.
  std::set<const StatementLine*> present(match_.present.begin(), match_.present.end());
  const auto right = Qt::AlignRight | Qt::AlignVCenter;
  int r = 0;
  for (const StatementLine& line : statement_.lines) {
    const QString amount = cz(amountText(line.amount, regional));
    rows_->setItem(r, 0, cell(present.count(&line) != 0 ? u8("už v knize") : u8("přidá se")));
    rows_->setItem(r, 1, cell(cz(text::formatDate(line.date, regional))));
    rows_->setItem(r, 2, cell(line.income ? amount : QString(), right));
    rows_->setItem(r, 3, cell(line.income ? QString() : amount, right));
    rows_->setItem(r, 4, cell(cz(journalText(line, textLength))));
    ++r;
  }
  rows_->resizeColumnsToContents();
  counts_->setText(u8("Přidá se %1, přeskočí se %2 (už jsou v knize).")
                       .arg(match_.toAdd.size())
                       .arg(match_.present.size()));
  import_->setEnabled(!match_.toAdd.empty());
}

void ImportForm::importRows() {
  const int book = bookBox_->currentIndex();
  if (book < 0 || match_.toAdd.empty()) return;
  // The new-row rule stamps the lists' current rows. Another copy may have
  // deleted or renumbered the chosen one since the preview read the lists:
  // then the lists are read again and nothing is imported.
  auto standOn = [this](ledger::Dataset& list, const ListRow& row, const char* whatUtf8) {
    // A walk reads the rows as they are now; the lists are short.
    {
      const ledger::DataSource::Quiet quiet(list.dataSource());
      const ledger::Field& id = list.field(0);
      for (list.first(); !list.eof(); list.next()) {
        if (list.recordNumber() == row.record && !id.isNull() && id.asFloat() == row.id) return;
      }
    }
    bookBox_->clear();
    moveBox_->clear();
    books_.clear();
    moves_.clear();
    fillLists();
    rematch();
    throw mincar::Error(mincar::fill(text::toCp1250(whatUtf8), {text::formatNumber(row.id, ledger_.regional())}));
  };
  standOn(ledger_.books(), books_[static_cast<size_t>(book)],
          "Kniha %s už v číselníku knih není; vyberte knihu znovu.");
  if (const int move = moveBox_->currentIndex(); move >= 0) {
    standOn(ledger_.moves(), moves_[static_cast<size_t>(move)],
            "Pohyb %s už v číselníku pohybů není; vyberte pohyb znovu.");
  }
  QApplication::setOverrideCursor(Qt::WaitCursor);
  try {
    addToJournal(ledger_, match_.toAdd);
  } catch (...) {
    QApplication::restoreOverrideCursor();
    throw;
  }
  QApplication::restoreOverrideCursor();
  added_ = match_.toAdd.size();
  std::string status = mincar::fill(text::toCp1250("Import výpisu: přidáno %s, přeskočeno %s"),
                                    {std::to_string(added_), std::to_string(match_.present.size())});
  if (statement_.opening && statement_.closing) {
    status += mincar::fill(text::toCp1250("; zůstatek výpisu počáteční %s, konečný %s"),
                           {amountText(*statement_.opening, ledger_.regional()),
                            amountText(*statement_.closing, ledger_.regional())});
  }
  ledger_.status().show(status);
  accept();
}

// --- the command ------------------------------------------------------------

std::optional<Statement> readStatementAsking(QWidget* window, const app::Ledger& ledger,
                                            const fs::path& file) {
  const std::string name = text::pathText(file);
  const std::string bytes = readStatementFile(file);
  try {
    return parseStatement(bytes, name, std::nullopt, std::nullopt, ledger.regional());
  } catch (const UnnamedColumns&) {
    CsvColumnsForm ask(csvHeader(bytes, name), cz(name), window);
    if (ask.exec() != QDialog::Accepted) return std::nullopt;
    return parseStatement(bytes, name, Format::Csv, ask.columns(), ledger.regional());
  }
}

void ImportStatement(QWidget* window, app::Ledger& ledger) {
  const std::string cancelled = text::toCp1250("Import výpisu zrušen");
  const std::optional<fs::path> file = askStatementFile(window);
  if (!file) return ledger.status().show(cancelled);
  std::optional<Statement> statement = readStatementAsking(window, ledger, *file);
  if (!statement) return ledger.status().show(cancelled);
  ImportForm preview(ledger, std::move(*statement), cz(text::pathText(*file)), window);
  if (preview.exec() != QDialog::Accepted) ledger.status().show(cancelled);
}

}  // namespace bank
