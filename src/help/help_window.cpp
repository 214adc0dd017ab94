#include "help/help_window.h"

#include <algorithm>

#include <QApplication>
#include <QFrame>
#include <QIcon>
#include <QLabel>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QRect>
#include <QResizeEvent>
#include <QToolButton>

#include "app/design_fit_qt.h"
#include "app/image_list_qt.h"
#include "text/cp1250.h"

// The pictures live in the windows' static library: the program must ask
// for them by name, or the linker leaves them out.
static void loadHelpPictures() { Q_INIT_RESOURCE(help); }

namespace help {

namespace {

QIcon helpPicture(const char* name) {
  static const bool loaded = (loadHelpPictures(), true);
  (void)loaded;
  return QIcon(QStringLiteral(":/help/") + QLatin1String(name));
}

// The design: outer size 484 x 224 at (281, 88), client area 476 x 197;
// the text box keeps its distances from the right and bottom edges.
constexpr QSize kDesignOuter(484, 224);
constexpr QSize kDesignClient(476, 197);
// Fourteen buttons of 23 pixels, left-aligned with the text box.
constexpr QRect kToolBarDesign(128, 57, 326, 26);
constexpr QRect kMemoDesign{128, 88, 345, 104};

const QColor kBackground(169, 97, 44);
const QColor kTitleColour(0, 0, 128);

// The journal window's buttons are 23 pixels wide and 22 high.
constexpr int kToolButtonWidth = 23;
constexpr int kToolButtonHeight = 22;

}  // namespace

const std::array<HelpWindow::ToolButtonDesign, kToolButtonTopicCount>& HelpWindow::toolButtonDesigns() {
  static const std::array<ToolButtonDesign, kToolButtonTopicCount> designs = {{
      {"ToolButton1", 28, "", 0},
      {"ToolButton8", 19, "Otevření dat ze záložní kopie", 1},
      {"ToolButton7", 18, "Uložení dat do záložní kopie na disku...", 2},
      {"ToolButton14", 32, "Přidá do deníku pohyby z bankovního výpisu (GPC nebo CSV)", kImportTopic},
      {"ToolButton2", 20, "Přidá nový řádek na konec deníku", 3},
      {"ToolButton3", 21, "Smaže řádek, na kterém se právě nachází kurzor..", 4},
      {"ToolButton4", 23, "Otevře dialog s číselníkem pohybů", 5},
      {"ToolButton5", 22, "Otevře dialog s číselníkem jednotlivých knih", 6},
      {"ToolButton6", 24, "Otevře dialog s kalendářem...", 7},
      {"ToolButton12", 25, "Přepočítá všechny zůstatky ve všech knihách", 8},
      {"ToolButton9", 26, "Otevře dialog pro tisk pokladního dokladu ...", 9},
      {"ToolButton11", 27,
       "Otevře dialog pro tisk pokladní knihy a přehledné vyhledávání záznamů.", 10},
      {"ToolButton10", 31, "Otevře konfigurační dialog...", 11},
      {"ToolButton13", 29, "Ukončí běh této aplikace...", 12},
  }};
  return designs;
}

HelpWindow::HelpWindow(QWidget* journalWindow)
    // A window of its own with an ordinary sizeable frame; owned by the
    // journal window, it stays above it.
    : QWidget(journalWindow, Qt::Window) {
  setObjectName(QStringLiteral("Form8"));
  setWindowTitle(QStringLiteral("Nápověda"));
  setWindowIcon(helpPicture("help_icon.svg"));
  QPalette brown = palette();
  brown.setColor(QPalette::Window, kBackground);
  // The bevel's and the buttons' edges in shades of the background.
  brown.setColor(QPalette::Light, kBackground.lighter(160));
  brown.setColor(QPalette::Midlight, kBackground.lighter(130));
  brown.setColor(QPalette::Mid, kBackground.darker(150));
  brown.setColor(QPalette::Dark, kBackground.darker(200));
  setPalette(brown);
  setAutoFillBackground(true);

  createTitleArea();
  createToolBar();

  Memo1 = new QPlainTextEdit(QStringLiteral("Memo1"), this);
  Memo1->setObjectName(QStringLiteral("Memo1"));
  Memo1->setLineWrapMode(QPlainTextEdit::WidgetWidth);
  // The longest topics do not fit the box: they scroll.
  Memo1->setVerticalScrollBarPolicy(Qt::ScrollBarAsNeeded);
  Memo1->setHorizontalScrollBarPolicy(Qt::ScrollBarAlwaysOff);

  BitBtn1 = new QPushButton(helpPicture("about.svg"), QStringLiteral("&O aplikaci..."), this);
  BitBtn1->setObjectName(QStringLiteral("BitBtn1"));
  connect(BitBtn1, &QPushButton::clicked, this, &HelpWindow::BitBtn1Click);

  // The design's places, scaled where the title or the button's caption
  // would not fit.
  app::DesignFit fit(kDesignClient);
  for (QWidget* control : std::initializer_list<QWidget*>{StaticText1, BitBtn1}) control->ensurePolished();
  fit.add(Image1, {8, 8, 113, 153}, {});
  fit.add(Bevel1, {127, 8, 343, 41}, {});
  fit.add(StaticText1, {295, 16, 151, 28}, StaticText1->sizeHint());
  fit.add(ToolBar1, kToolBarDesign,
          {kToolButtonWidth * static_cast<int>(toolButtons_.size()), kToolButtonHeight});
  fit.add(Memo1, kMemoDesign, {});
  fit.add(BitBtn1, {8, 167, 112, 25}, BitBtn1->sizeHint());
  fit.apply();
  memoPlace_ = Memo1->geometry();
  fittedClient_ = fit.client();
  // The tool bar's buttons stay centred in its height.
  const int top = (ToolBar1->height() - kToolButtonHeight) / 2;
  for (QToolButton* button : toolButtons_) button->move(button->x(), top);

  // Right of the journal's bars, not over them (the design's 281,88 covered
  // its menu bar and tool bar on a 1366 x 768 screen).
  move(880, 260);
  app::keepOuterSize(this, kDesignOuter.expandedTo(fittedClient_), fittedClient_);
}

void HelpWindow::createTitleArea() {
  Image1 = new QLabel(this);
  Image1->setObjectName(QStringLiteral("Image1"));
  Image1->setGeometry(8, 8, 113, 153);
  Image1->setPixmap(helpPicture("logo.svg").pixmap(Image1->size()));

  Bevel1 = new QFrame(this);
  Bevel1->setObjectName(QStringLiteral("Bevel1"));
  Bevel1->setFrameStyle(QFrame::Box | QFrame::Sunken);
  Bevel1->setGeometry(127, 8, 343, 41);

  StaticText1 = new QLabel(QStringLiteral("Mincar"), this);
  StaticText1->setObjectName(QStringLiteral("StaticText1"));
  QFont titleFont = StaticText1->font();
  titleFont.setPixelSize(19);
  StaticText1->setFont(titleFont);
  QPalette navy = StaticText1->palette();
  navy.setColor(QPalette::WindowText, kTitleColour);
  StaticText1->setPalette(navy);
  StaticText1->setGeometry(295, 16, 151, 28);
}

void HelpWindow::createToolBar() {
  ToolBar1 = new QFrame(this);
  ToolBar1->setObjectName(QStringLiteral("ToolBar1"));
  ToolBar1->setGeometry(kToolBarDesign);
  // The tool bar keeps the ordinary button face, as the journal window's
  // does, so the pictures look the same as there.
  QPalette face = ToolBar1->palette();
  face.setColor(QPalette::Window, QApplication::palette().color(QPalette::Button));
  ToolBar1->setPalette(face);
  ToolBar1->setAutoFillBackground(true);

  const int top = (ToolBar1->height() - kToolButtonHeight) / 2;
  int left = 0;
  for (const ToolButtonDesign& design : toolButtonDesigns()) {
    auto* button = new QToolButton(ToolBar1);
    button->setObjectName(QLatin1String(design.name));
    button->setIcon(app::imageListIcon(design.image));
    button->setIconSize(QSize(16, 16));
    button->setAutoRaise(true);
    button->setToolTip(QString::fromUtf8(design.hint));
    button->setGeometry(left, top, kToolButtonWidth, kToolButtonHeight);
    left += kToolButtonWidth;
    // Only the topic: a help button never runs its command, not even the
    // quit button.
    const int topic = design.topic;
    connect(button, &QToolButton::clicked, this, [this, topic] { showTopic(topic); });
    toolButtons_.push_back(button);
  }
}

void HelpWindow::resizeEvent(QResizeEvent* event) {
  QWidget::resizeEvent(event);
  // Memo1 is anchored to all four edges; everything else stays in place.
  if (fittedClient_.isEmpty()) return;
  Memo1->setGeometry(memoPlace_.left(), memoPlace_.top(),
                     std::max(0, memoPlace_.width() + width() - fittedClient_.width()),
                     std::max(0, memoPlace_.height() + height() - fittedClient_.height()));
}

void HelpWindow::LoadHelpTopics() {
  // The texts never change after start-up.
  if (!topicsLoaded_) {
    HelpTopics = helpTopicTexts();
    topicsLoaded_ = true;
  }
  showTopic(0);
}

void HelpWindow::showTopic(int topic) {
  if (topic < 0 || topic >= kHelpTopicCount) return;
  if (!topicsLoaded_) {
    HelpTopics = helpTopicTexts();
    topicsLoaded_ = true;
  }
  showText(HelpTopics[topic]);
}

void HelpWindow::showText(const std::string& cp1250) {
  // The whole text is replaced, so whatever the user typed is gone; the
  // text box breaks lines at LF alone.
  QString shown = QString::fromStdString(text::toUtf8(cp1250));
  shown.replace(QStringLiteral("\r\n"), QStringLiteral("\n"));
  Memo1->setPlainText(shown);
}

void HelpWindow::BitBtn1Click() { showText(aboutText()); }

}  // namespace help
