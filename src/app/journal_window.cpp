#include "app/journal_window.h"

#include <cmath>
#include <string>
#include <utility>
#include <vector>

#include <QAction>
#include <QApplication>
#include <QCloseEvent>
#include <QDataWidgetMapper>
#include <QFrame>
#include <QHeaderView>
#include <QStyle>
#include <QKeyEvent>
#include <QLineEdit>
#include <QMenuBar>
#include <QMetaObject>
#include <QSignalBlocker>
#include <QStatusBar>
#include <QToolBar>
#include <QVBoxLayout>

#include "app/dataset_grid_qt.h"
#include "app/dataset_model.h"
#include "app/deleted_rows_window.h"
#include "app/date_typing_qt.h"
#include "app/design_fit_qt.h"
#include "app/error_box_qt.h"
#include "app/image_list_qt.h"
#include "backup/backup_window.h"
#include "help/help_topics.h"
#include "help/help_window.h"
#include "import/import_window.h"
#include "ledger/ledger_tables.h"
#include "print/book_search_form.h"
#include "print/config_form.h"
#include "print/voucher_form.h"
#include "text/cp1250.h"
#include "text/date.h"

namespace app {

namespace {

QString u8(const char* utf8) { return QString::fromUtf8(utf8); }

// Status texts are Windows-1250 like all data; the literals here are UTF-8.

// Design sizes: the window's outer size and its client area; the grid,
// its design columns and the strip's panel.
constexpr int kToolBarHeight = 28;
constexpr QSize kDesignOuter(650, 442);
constexpr int kDesignClientWidth = 642;
constexpr int kDesignGridWidth = 632;
constexpr int kGridMargin = 25;  // FitGridColumns leaves it free
const std::vector<int> kDesignColumns{28, 25, 27, 51, 329, 45, 45, 45};
constexpr int kDatumColumn = 3;
constexpr QSize kDesignStrip(617, 53);
// The pixels a column loses when the window is made bigger and smaller
// again, each resize cutting its width toward zero.
constexpr int kColumnCutLoss = 3;

// Puts `typed` into a box that was just refilled, as one step of the box's
// own undo: setText() would forget what Ctrl+Z in the box can undo.
void retype(QLineEdit* edit, const QString& typed) {
  const QSignalBlocker quiet(edit);
  edit->selectAll();
  edit->insert(typed);
}

// The Qt form of the regional short date format (d, M and y mean the same).
QString qtDateFormat(const std::string& shortDateFormat) {
  QString format;
  for (char c : shortDateFormat) {
    if (c == 'd' || c == 'M' || c == 'y') {
      format += QLatin1Char(c);
    } else {
      format += QLatin1Char('\'') + QString::fromStdString(text::toUtf8(std::string(1, c))) + QLatin1Char('\'');
    }
  }
  return format;
}

}  // namespace

JournalWindow::JournalWindow(ProgramData& data, QWidget* parent)
    : QMainWindow(parent),
      ledger_(data.ledger()),
      settings_(data.settings()),
      statusLine_(data.statusLine()) {
  setObjectName(QStringLiteral("Form1"));
  setWindowTitle(QStringLiteral("Mincar"));
  setWindowIcon(programIcon());
  setStatusBar(data.statusBar());
  FormCreate();

  createActions();
  createMenus();
  createToolBar();
  createClientArea();
  deletedRows_ = new DeletedRowsWindow(
      ledger_.journal(), u8("Smazané záznamy"), [this](std::int64_t record) { ledger_.recallJournalRow(record); },
      [this] { showHelpTopic(help::kDeletedRowsTopic); }, this);
  deletedRows_->setObjectName(QStringLiteral("SmazaneZaznamy"));
  move(292, 185);
  // The window is wider than designed where the strip's date or the grid's
  // date column would not fit otherwise.
  const QSize leastClient(static_cast<int>(std::lround(kDesignClientWidth * stripFit_.xFactor())), 0);
  app::keepOuterSize(this, kDesignOuter.expandedTo(leastClient), leastClient);
  qApp->installEventFilter(this);
}

JournalWindow::JournalWindow(const text::Regional& regional, const Settings& defaults,
                             QWidget* parent)
    : JournalWindow(std::make_unique<ProgramData>(regional, defaults), parent) {}

JournalWindow::JournalWindow(std::unique_ptr<ProgramData> ownData, QWidget* parent)
    : JournalWindow(*ownData, parent) {
  ownData_ = std::move(ownData);
}

JournalWindow::~JournalWindow() {
  // The strip's boxes and an open cell editor lose the focus while the
  // window goes; nothing they hold is stored any more.
  for (QLineEdit* edit : {DBEdit1, DBEdit2, DBEdit3, DBEdit4}) edit->disconnect(this);
  DBGrid1->setModel(nullptr);
  // The day's backup reads tables of its own; it ends before the window
  // goes, and tells nobody.
  dailyBackup_.reset();
  if (ownData_) {
    // Data of the window's own goes with its members, before Qt deletes the
    // children that show it: the other windows and the journal model.
    const auto children = findChildren<QWidget*>(Qt::FindDirectChildrenOnly);
    for (QWidget* child : children) {
      if (child->isWindow()) delete child;
    }
    delete stripMapper_;
    delete model_;
  }
}

void JournalWindow::setListWindows(QWidget* moves, QWidget* books, QWidget* calendar) {
  Form2 = moves;
  Form3 = books;
  Form4 = calendar;
}

void JournalWindow::setDialogs(print::VoucherForm* voucher, print::BookSearchForm* search,
                               print::ConfigForm* config, help::HelpWindow* help) {
  Form5 = voucher;
  Form6 = search;
  Form7 = config;
  Form8 = help;
}

QAction* JournalWindow::addCommand(const char* caption, const char* hint, int image,
                                   const QKeySequence& shortcut,
                                   void (JournalWindow::*handler)()) {
  auto* action = new QAction(u8(caption), this);
  // The menu bar shows an icon instead of a caption, so its own top-level
  // commands go without one.
  if (image >= 0) action->setIcon(imageListIcon(image));
  if (hint != nullptr) action->setToolTip(u8(hint));
  if (!shortcut.isEmpty()) {
    action->setShortcut(shortcut);
    // The keys belong to this window: in the lists, which are windows of
    // their own, Ctrl+Delete is the grid's delete with its question.
    action->setShortcutContext(Qt::WidgetWithChildrenShortcut);
    shortcutActions_.push_back(action);
  }
  connect(action, &QAction::triggered, this, [this, handler] {
    runAction(this, [this, handler] { (this->*handler)(); });
  });
  addAction(action);
  return action;
}

void JournalWindow::createActions() {
  Uloit1 = addCommand("&Uložit", "Uložení dat do záložní kopie na disku...", 18,
                      QKeySequence(Qt::CTRL | Qt::Key_S), &JournalWindow::Uloit1Click);
  Otevt1 = addCommand("&Otevřít", "Otevření dat ze záložní kopie", 19,
                      QKeySequence(Qt::CTRL | Qt::Key_O), &JournalWindow::Otevt1Click);
  Importvpisu1 = addCommand("&Import výpisu...",
                            "Přidá do deníku pohyby z bankovního výpisu (GPC nebo CSV)", 32, {},
                            &JournalWindow::Importvpisu1Click);
  Novdek1 = addCommand("&Nový řádek", "Přidá nový řádek na konec deníku", 20,
                       QKeySequence(Qt::CTRL | Qt::Key_N), &JournalWindow::Novdek1Click);
  Smazatdek1 = addCommand("&Smazat řádek", "Smaže řádek, na kterém se právě nachází kurzor..", 21,
                          QKeySequence(Qt::CTRL | Qt::Key_Delete), &JournalWindow::Smazatdek1Click);
  SmazaneZaznamy1 = addCommand("Smazané &záznamy", "Zobrazí smazané řádky deníku a vrátí vybraný zpět...",
                               kDeletedRowsImage, {}, &JournalWindow::SmazaneZaznamy1Click);
  Vratit1 = addCommand("&Vrátit smazaný řádek", "Vrátí řádek, který jste smazali naposledy...", kRecallImage,
                       QKeySequence(Qt::CTRL | Qt::Key_Z), &JournalWindow::Vratit1Click);
  Konfigurace1 = addCommand("Konfigurace", "Otevře konfigurační dialog...", 31, {},
                            &JournalWindow::Konfigurace1Click);
  Knihy1 = addCommand("&Knihy", "Otevře dialog s číselníkem jednotlivých knih", 22,
                      QKeySequence(Qt::CTRL | Qt::Key_K), &JournalWindow::Knihy1Click);
  Pohyby1 = addCommand("&Pohyby", "Otevře dialog s číselníkem pohybů", 23,
                       QKeySequence(Qt::CTRL | Qt::Key_P), &JournalWindow::Pohyby1Click);
  Kalend1 = addCommand("Kalen&dář", "Otevře dialog s kalendářem...", 24,
                       QKeySequence(Qt::CTRL | Qt::Key_D), &JournalWindow::Kalend1Click);
  ToolButton12 = addCommand("Přepočítat zůstatky", "Přepočítá všechny zůstatky ve všech knihách",
                            25, {}, &JournalWindow::ToolButton12Click);
  Tiskdokladu1 = addCommand("Tisk dokladu", "Otevře dialog pro tisk pokladního dokladu ...", 26,
                            {}, &JournalWindow::Tiskdokladu1Click);
  Tiskknihy1 = addCommand(
      "Tisk knihy",
      "Otevře dialog pro tisk pokladní knihy a přehledné vyhledávání záznamů.", 27, {},
      &JournalWindow::Tiskknihy1Click);
  Prehled1 = addCommand("Přehled",
                        "Otevře v prohlížeči přehled zobrazených záznamů podle pohybů a měsíců s grafy.", 33,
                        {}, &JournalWindow::Prehled1Click);
  Pomoc1 = addCommand("&Pomoc", nullptr, -1, QKeySequence(Qt::Key_F1), &JournalWindow::Pomoc1Click);
  Konec1 = addCommand("&Konec", "Ukončí běh této aplikace...", -1,
                      QKeySequence(Qt::CTRL | Qt::Key_X), &JournalWindow::Konec1Click);
}

void JournalWindow::createMenus() {
  QMenuBar* MainMenu1 = menuBar();
  QMenu* Soubor1 = MainMenu1->addMenu(u8("&Soubor"));
  Soubor1->addAction(Uloit1);
  Soubor1->addAction(Otevt1);
  Soubor1->addAction(Importvpisu1);
  Soubor1->addAction(Novdek1);
  Soubor1->addAction(Smazatdek1);
  Soubor1->addAction(Vratit1);
  Soubor1->addAction(SmazaneZaznamy1);
  Soubor1->addAction(Konfigurace1);
  QMenu* selnky1 = MainMenu1->addMenu(u8("&Číselníky"));
  selnky1->addAction(Knihy1);
  selnky1->addAction(Pohyby1);
  selnky1->addAction(Kalend1);
  QMenu* Tisky1 = MainMenu1->addMenu(u8("&Tisky"));
  Tisky1->addAction(Tiskdokladu1);
  Tisky1->addAction(Tiskknihy1);
  Tisky1->addAction(Prehled1);
  MainMenu1->addAction(Pomoc1);
  MainMenu1->addAction(Konec1);
}

void JournalWindow::createToolBar() {
  QToolBar* ToolBar1 = addToolBar(QStringLiteral("ToolBar1"));
  ToolBar1->setObjectName(QStringLiteral("ToolBar1"));
  ToolBar1->setMovable(false);
  ToolBar1->setFloatable(false);
  ToolBar1->setIconSize(QSize(16, 16));
  ToolBar1->setFixedHeight(kToolBarHeight);
  ToolBar1->setContextMenuPolicy(Qt::PreventContextMenu);

  // The quit button is a command of its own: the menu's Konec carries no
  // picture (see addCommand) and the shortcut belongs to the menu item.
  auto* ToolButton13 = new QAction(imageListIcon(29), u8("&Konec"), this);
  ToolButton13->setToolTip(u8("Ukončí běh této aplikace..."));
  connect(ToolButton13, &QAction::triggered, this,
          [this] { runAction(this, [this] { Konec1Click(); }); });

  for (QAction* button : {Otevt1, Uloit1, Importvpisu1, Novdek1, Smazatdek1, Pohyby1, Knihy1, Kalend1,
                          ToolButton12, Tiskdokladu1, Tiskknihy1, Konfigurace1, ToolButton13}) {
    ToolBar1->addAction(button);
  }
}

void JournalWindow::createClientArea() {
  auto* client = new QWidget(this);
  auto* layout = new QVBoxLayout(client);
  // Grid at (4, 33) below the 28-pixel tool bar, 632 wide in a 642-pixel
  // client area; the strip 3 pixels below it and 4 above the status line.
  layout->setContentsMargins(4, 5, 6, 4);
  layout->setSpacing(3);

  model_ = new DatasetModel(ledger_.journal(), this);
  DBGrid1 = new DatasetGrid(model_, client);
  DBGrid1->setColumnWidths(kDesignColumns);
  layout->addWidget(DBGrid1, 1);

  // DBCtrlGrid1: one panel showing the current row in four edits at their
  // design places.
  auto* strip = new QFrame(client);
  DBCtrlGrid1 = strip;
  strip->setObjectName(QStringLiteral("DBCtrlGrid1"));
  strip->setFrameShape(QFrame::StyledPanel);
  strip->setFrameShadow(QFrame::Sunken);
  layout->addWidget(strip);

  struct StripEdit {
    QLineEdit** edit;
    const char* name;
    int column;
    QRect place;
    QColor textColour;
    const char* hint;
  };
  const StripEdit edits[] = {
      {&DBEdit1, "DBEdit1", ledger::journal::DATUM, {2, 3, 70, 21}, QColor(), "Datum zápisu"},
      {&DBEdit2, "DBEdit2", ledger::journal::TEXT, {73, 3, 530, 21}, QColor(),
       "Účel platby .. popř zdroj příjmu"},
      {&DBEdit3, "DBEdit3", ledger::journal::PLUS, {416, 28, 92, 21}, QColor(0, 0, 128),
       "Příjmy..."},
      {&DBEdit4, "DBEdit4", ledger::journal::MINUS, {511, 28, 92, 21}, QColor(255, 0, 0),
       "Výdaje...."},
  };
  const QString dateFormat = qtDateFormat(ledger_.regional().shortDateFormat);
  stripFit_ = app::DesignFit(kDesignStrip);
  stripMapper_ = new QDataWidgetMapper(this);
  stripMapper_->setModel(model_);
  // Only what the user typed is stored (see storeStripEdit), never a box's
  // whole text: on a shared folder the row may have changed since the strip
  // showed it, and writing every box back would undo the other user's change.
  stripMapper_->setSubmitPolicy(QDataWidgetMapper::ManualSubmit);
  ledger::Dataset& journal = ledger_.journal();
  for (const StripEdit& wanted : edits) {
    auto* edit = new QLineEdit(strip);
    *wanted.edit = edit;
    edit->setObjectName(QString::fromLatin1(wanted.name));
    edit->setToolTip(u8(wanted.hint));
    edit->ensurePolished();
    // The date box shows the widest date whole.
    const int neededWidth = wanted.column == ledger::journal::DATUM
                                ? app::lineEditWidthFor(*edit, app::widestDateText(edit->fontMetrics(), dateFormat))
                                : 0;
    stripFit_.add(edit, wanted.place, {neededWidth, edit->sizeHint().height()});
    if (wanted.textColour.isValid()) {
      QPalette palette = edit->palette();
      palette.setColor(QPalette::Text, wanted.textColour);
      edit->setPalette(palette);
    }
    if (wanted.column < journal.fieldCount()) {
      const ledger::Field& field = journal.field(wanted.column);
      if (field.type() == ledger::FieldType::Character) edit->setMaxLength(field.length());
      // Amounts stand right-aligned, as in the grid.
      if (field.type() == ledger::FieldType::Numeric || field.type() == ledger::FieldType::Float ||
          field.type() == ledger::FieldType::Integer || field.type() == ledger::FieldType::AutoIncrement ||
          field.type() == ledger::FieldType::Double) {
        edit->setAlignment(Qt::AlignRight | Qt::AlignVCenter);
      }
    }
    stripMapper_->addMapping(edit, wanted.column);
    // Return and leaving the box store it, as they do in the grid.
    connect(edit, &QLineEdit::editingFinished, this,
            [this, edit, column = wanted.column] { storeStripEdit(edit, column, false); });
    // The first keystroke on an empty journal begins a row by the new-row
    // rule, as in the grid, and stays in the box: nothing typed is dropped.
    // On a row, the first keystroke begins its edit, which locks it: a row
    // another copy edits is refused before the value is typed.
    connect(edit, &QLineEdit::textEdited, this,
            [this, edit, column = wanted.column](const QString& typed) {
      const bool showedNoRow = model_->cursorRow() < 0;
      if (!model_->showsNoRows()) {
        const int row = model_->cursorRow();
        const int cursor = edit->cursorPosition();
        // Typed while the first row was still being looked for: the box
        // stood for no row, so the key is not put into the row now found.
        if (!showedNoRow && model_->beginEdit(row)) {
          // Beginning the edit rereads the row, and the strip is refilled
          // from it: what is being typed stays, and the box's own undo
          // (Ctrl+Z) goes back to the row's value.
          if (edit->text() != typed) {
            retype(edit, typed);
            edit->setCursorPosition(cursor);
          }
          edit->setModified(true);
          return;
        }
        edit->setText(model_->data(model_->index(row, column)).toString());
        edit->setModified(false);
        return;
      }
      if (!model_->appendRow()) return;
      retype(edit, typed);
      edit->setModified(true);
    });
  }
  app::typeDatesWhole(DBEdit1, dateFormat);
  // The grid's date column, at the width FitGridColumns gives it, holds
  // the widest date and its title, also after the window was made bigger
  // and smaller again.
  DBGrid1->ensurePolished();
  const QFontMetrics cells = DBGrid1->fontMetrics();
  const int cellMargins = 2 * (DBGrid1->style()->pixelMetric(QStyle::PM_FocusFrameHMargin, nullptr, DBGrid1) + 1) + 1;
  const int titleMargins = 2 * DBGrid1->style()->pixelMetric(QStyle::PM_HeaderMargin, nullptr, DBGrid1) + 1;
  const int datumWidth =
      std::max(cells.horizontalAdvance(app::widestDateText(cells, dateFormat)) + cellMargins,
               QFontMetrics(DBGrid1->horizontalHeader()->font()).horizontalAdvance(QStringLiteral("DATUM")) +
                   titleMargins) +
      kColumnCutLoss;
  int designSum = 0;
  for (int w : kDesignColumns) designSum += w;
  stripFit_.need(kDesignGridWidth,
                 static_cast<int>(std::ceil(static_cast<double>(datumWidth) * designSum / kDesignColumns[kDatumColumn])) +
                     kGridMargin);
  stripFit_.apply();
  strip->setFixedHeight(stripFit_.client().height());

  auto followCursor = [this](int row) {
    if (row < 0) {
      // No current row: an empty strip, not the last row that was shown.
      for (QLineEdit* edit : {DBEdit1, DBEdit2, DBEdit3, DBEdit4}) edit->clear();
    } else {
      stripMapper_->setCurrentIndex(row);
    }
  };
  connect(model_, &DatasetModel::cursorMoved, this, followCursor);
  followCursor(model_->cursorRow());

  setCentralWidget(client);
}

void JournalWindow::FormCreate() {
  // 1. The journal table, and with it the lists' tables: a table that
  //    cannot be opened ends the start-up (thrown to the caller).
  ledger_.open();
  // 2-6. prop1.txt over the defaults; a file that cannot be opened is
  //      reported and the defaults stay.
  runAction(nullptr, [this] {
    LineReader reader;
    ReadSettingsFile(kSettingsFileName, reader, settings_);
  });
}

void JournalWindow::showEvent(QShowEvent* event) {
  QMainWindow::showEvent(event);
  if (shown_) return;
  shown_ = true;
  runAction(this, [this] { FormShow(); });
}

void JournalWindow::FormShow() {
  // Each step on its own: a value in prop1.txt that does not convert is
  // reported and costs that value only. Stopping at it would leave the later
  // dialogs empty, and the next close would write them so for good.
  // 1. The voucher's organisation and names.
  if (Form5) runAction(this, [this] { Form5->loadSettings(settings_); });
  // 2. The search dialog reads the two dates as dates.
  if (Form6) {
    runAction(this, [this] { Form6->loadSettings(settings_); });
  } else {
    runAction(this, [this] { text::parseDate(settings_.datumOd, ledger_.regional()); });
    runAction(this, [this] { text::parseDate(settings_.datumDo, ledger_.regional()); });
  }
  // 3. The browser command and its prefix.
  if (Form7) runAction(this, [this] { Form7->loadSettings(settings_); });
  // 4. The help topics.
  if (Form8) runAction(this, [this] { Form8->LoadHelpTopics(); });
  // 5. The status line, with what the engine had to repair on opening. A
  //    damaged table repaired with the file as found kept beside it is too
  //    grave for the status line: it gets a message box the user must close.
  std::string started = "Started...";
  std::vector<std::string> damaged;
  for (ledger::Dataset* table : {&ledger_.journal(), &ledger_.moves(), &ledger_.books()}) {
    const std::string notice = table->takeRepairNotice();
    if (!notice.empty()) started += " " + notice;
    if (std::string damage = table->takeDamageNotice(); !damage.empty()) damaged.push_back(std::move(damage));
  }
  statusLine_.show(started);
  for (const std::string& damage : damaged) showErrorMessage(this, QString::fromUtf8(text::toUtf8(damage)));
}

void JournalWindow::closeEvent(QCloseEvent* event) {
  // A typed value the table refuses keeps the window open, its text where
  // it was typed, so that the user can correct it or drop it with Esc
  // instead of losing it with the program.
  if (!storeTypedText(true)) {
    event->ignore();
    return;
  }
  FormClose();
  event->accept();
}

void JournalWindow::FormClose() {
  // What the user typed and did not store yet is stored before the end,
  // not lost with the program (closeEvent has already, when closing).
  storeTypedText();
  for (ledger::Dataset* table : {&ledger_.journal(), &ledger_.moves(), &ledger_.books()}) {
    runAction(this, [table] { table->storePendingEdit(); });
  }
  // The dialogs' texts, each on its own: one field that cannot be stored
  // keeps its old value and the others are written all the same.
  if (Form5) runAction(this, [this] { Form5->storeSettings(settings_); });
  if (Form6) runAction(this, [this] { Form6->storeSettings(settings_); });
  if (Form7) runAction(this, [this] { Form7->storeSettings(settings_); });
  // A settings file that cannot be written is reported; the program ends
  // all the same rather than refusing to close.
  runAction(this, [this] { WriteSettingsFile(kSettingsFileName, settings_); });
  // An emptied edit box shows the blank it was written as.
  if (Form5) Form5->loadSettings(settings_);
  if (Form7) Form7->loadSettings(settings_);
}

bool JournalWindow::eventFilter(QObject* watched, QEvent* event) {
  // The commands' shortcuts reach the whole window: a text box or the grid
  // would otherwise take Ctrl+X (cut), Ctrl+Delete (delete word) and
  // others as their own keys before the shortcut is looked at.
  if (event->type() == QEvent::ShortcutOverride) {
    auto* widget = qobject_cast<QWidget*>(watched);
    if (widget != nullptr && widget->window() == this) {
      auto* key = static_cast<QKeyEvent*>(event);
      const QKeySequence pressed(key->keyCombination());
      // Ctrl+Z is a text box's own undo while it has something to undo
      // (what was typed since the box was filled); the window's Ctrl+Z
      // takes a deleted row back everywhere else.
      auto* edit = qobject_cast<QLineEdit*>(widget);
      const bool boxUndoes = edit != nullptr && edit->isUndoAvailable() && !edit->isReadOnly();
      for (QAction* action : shortcutActions_) {
        if (action->isEnabled() && action->shortcut() == pressed && !(action == Vratit1 && boxUndoes)) {
          event->ignore();
          return true;
        }
      }
    }
  }
  return QMainWindow::eventFilter(watched, event);
}

bool JournalWindow::storeTypedText(bool keepRefused) {
  // What is typed into a grid cell or the strip belongs to the current row
  // before a command moves the cursor, as leaving the control would store it.
  bool stored = DBGrid1->commitOpenEditor(keepRefused);
  for (QLineEdit* edit : {DBEdit1, DBEdit2, DBEdit3, DBEdit4}) {
    stored = storeStripEdit(edit, stripMapper_->mappedSection(edit), keepRefused) && stored;
  }
  return stored;
}

bool JournalWindow::storeStripEdit(QLineEdit* edit, int column, bool keepRefused) {
  if (!edit->isModified()) return true;
  edit->setModified(false);
  const int row = stripMapper_->currentIndex();
  if (row < 0 || column < 0) return true;
  // A refused value is reported by the model and the row stays in edit.
  const QString typed = edit->text();
  if (model_->setData(model_->index(row, column), typed)) return true;
  if (keepRefused) {
    edit->setText(typed);
    edit->setModified(true);
  }
  return false;
}

void JournalWindow::Novdek1Click() {
  storeTypedText();
  ledger_.newJournalRow();
}

void JournalWindow::Smazatdek1Click() {
  // Deletes at once, without a question, from the menu, the tool bar and
  // Ctrl+Delete alike; an editor's text goes with the row.
  const std::int64_t record = ledger_.journal().recordNumber();
  ledger_.deleteJournalRow();
  deletedHere_.push_back(record);
}

void JournalWindow::SmazaneZaznamy1Click() { showWindow(deletedRows_); }

void JournalWindow::Vratit1Click() {
  storeTypedText();
  // Rows taken back meanwhile (in the deleted rows' window, by another copy)
  // are passed over: each Ctrl+Z takes back a row that is still deleted.
  while (!deletedHere_.empty()) {
    const std::int64_t record = deletedHere_.back();
    ledger::Dataset& journal = ledger_.journal();
    bool stillDeleted = false;
    try {
      stillDeleted = journal.recordDeleted(record);
    } catch (const std::exception&) {
      stillDeleted = false;  // the table is shorter now (a restore elsewhere)
    }
    if (!stillDeleted) {
      deletedHere_.pop_back();
      continue;
    }
    // A row another copy edits is refused, and stays to be taken back later.
    ledger_.recallJournalRow(record);
    deletedHere_.pop_back();
    return;
  }
  statusLine_.show(text::toCp1250("Žádný smazaný řádek k vrácení..."));
}

void JournalWindow::startDailyBackup(ledger::TableRewrite::FileMaker create) {
  if (dailyBackup_) return;
  // The thread ends before the window goes (the destructor waits for it),
  // and an event posted to a window that has gone is dropped.
  dailyBackup_ = std::make_unique<backup::DailyBackupThread>(
      ledger_.workDir(), ledger_.regional(), text::Date::today(),
      [this](const std::string& shown) {
        // From the backup's thread to the window's.
        QMetaObject::invokeMethod(
            this,
            [this, shown] {
              statusLine_.show(shown);
              dailyBackupReported_ = true;
            },
            Qt::QueuedConnection);
      },
      std::move(create));
}

void JournalWindow::Importvpisu1Click() {
  storeTypedText();
  bank::ImportStatement(this, ledger_);
}

void JournalWindow::ToolButton12Click() {
  storeTypedText();
  ledger_.RecomputeBalances();
}

void JournalWindow::showWindow(QWidget* window) {
  // A window already visible is left as it is, not brought to the front.
  if (window != nullptr && !window->isVisible()) window->show();
}

void JournalWindow::Knihy1Click() { showWindow(Form3); }
void JournalWindow::Pohyby1Click() { showWindow(Form2); }
void JournalWindow::Kalend1Click() { showWindow(Form4); }

// ToolButton7Click and ToolButton8Click too. What is typed is stored first,
// so that the backup holds it and the restore replaces it.
void JournalWindow::Uloit1Click() {
  storeTypedText();
  backup::SaveBackup(backup::BackupDialogs::of(this), ledger_);
}
void JournalWindow::Otevt1Click() {
  storeTypedText();
  backup::RestoreBackup(backup::BackupDialogs::of(this), ledger_);
  // The tables are rebuilt without their deleted rows.
  deletedHere_.clear();
}
void JournalWindow::Konfigurace1Click() { showWindow(Form7); }
void JournalWindow::Tiskdokladu1Click() {
  storeTypedText();
  if (Form5) Form5->ShowVoucher();
}
void JournalWindow::Tiskknihy1Click() { showWindow(Form6); }
// The rows the search dialog's criteria show, as the report prints them.
void JournalWindow::Prehled1Click() {
  if (Form6) Form6->ShowOverview();
}
void JournalWindow::Pomoc1Click() { showWindow(Form8); }

void JournalWindow::showHelpTopic(int topic) {
  if (!Form8) return;
  Form8->showTopic(topic);
  showWindow(Form8);
}

void JournalWindow::Konec1Click() { close(); }

}  // namespace app
