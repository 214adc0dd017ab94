// TForm8, the help window, over the real journal window: its controls, the
// tool bar that repeats the journal's buttons without running their
// commands, the topic kept between openings and the text box that alone
// grows with the window.
//
// MINCAR_HELP_SCREENSHOT=FILE, with a real display (QT_QPA_PLATFORM=xcb under
// xvfb-run), makes the test screenshotForTheDocumentation save a picture of
// the window to FILE; without it that test is skipped.

#include <QAction>
#include <QFrame>
#include <QLabel>
#include <QPlainTextEdit>
#include <QPointer>
#include <QPushButton>
#include <QScreen>
#include <QTest>
#include <QToolBar>
#include <QToolButton>

#include "app/version.h"
#include "help/help_topics.h"
#include "help/help_window.h"
#include "window_test_support.h"

using window_testing::fromCp1250;
using window_testing::MessageBoxCloser;
using window_testing::ProgramWindows;
using window_testing::WorkFolder;

namespace {

// A text as the text box shows it: the box separates lines by LF alone.
QString asShown(const std::string& cp1250) {
  QString shown = fromCp1250(cp1250);
  shown.replace(QStringLiteral("\r\n"), QStringLiteral("\n"));
  return shown;
}

QImage picture(const QIcon& icon) { return icon.pixmap(QSize(16, 16)).toImage(); }

}  // namespace

class HelpWindowTest : public QObject {
  Q_OBJECT

 private:
  std::unique_ptr<WorkFolder> folder_;
  std::unique_ptr<ProgramWindows> program_;
  QPointer<help::HelpWindow> help_;
  std::array<std::string, help::kHelpTopicCount> topics_ = help::helpTopicTexts();

  QString topic(int number) const { return asShown(topics_[number]); }
  QString shownText() const { return help_->memo()->toPlainText(); }
  QToolButton* button(const char* name) const {
    return help_->findChild<QToolButton*>(QLatin1String(name));
  }
  template <typename Control>
  Control* control(const char* name) const {
    return help_->findChild<Control*>(QLatin1String(name));
  }

  // The start-up as the program runs it: the journal window shows, and its
  // show handler loads the topics of the help window, created last.
  void startProgram() {
    program_->journal->show();
    QVERIFY(QTest::qWaitForWindowExposed(program_->journal.get()));
    help_->LoadHelpTopics();
  }

  void openHelp() {
    help_->show();
    QVERIFY(QTest::qWaitForWindowExposed(help_.data()));
  }

 private slots:
  void initTestCase() {
    // Whether a button ends the program is seen by the event loop below,
    // not by the application quitting when a window closes.
    QApplication::setQuitOnLastWindowClosed(false);
  }

  void init() {
    folder_ = std::make_unique<WorkFolder>();
    folder_->writeSettings();
    program_ = std::make_unique<ProgramWindows>();
    help_ = program_->all.Form8;
  }

  void cleanup() {
    program_.reset();
    QVERIFY(help_.isNull());  // owned by the journal window
    folder_.reset();
  }

  void hasItsCaptionPlaceAndControls() {
    QCOMPARE(help_->objectName(), QStringLiteral("Form8"));
    QCOMPARE(help_->windowTitle(), QStringLiteral("Nápověda"));
    QVERIFY(help_->isWindow());
    QCOMPARE(help_->parentWidget(), program_->journal.get());
    QVERIFY(!help_->isVisible());
    QCOMPARE(help_->pos(), QPoint(880, 260));
    // The outer size; offscreen there is no frame.
    QCOMPARE(help_->size().expandedTo({484, 224}), help_->size());
    QVERIFY(help_->autoFillBackground());
    QCOMPARE(help_->palette().color(QPalette::Window), QColor(169, 97, 44));
    // An icon of its own, not the program's.
    QVERIFY(!help_->windowIcon().isNull());
    QVERIFY(picture(help_->windowIcon()) != picture(app::programIcon()));

    auto* Image1 = control<QLabel>("Image1");
    QVERIFY(Image1);
    QCOMPARE(Image1->geometry(), QRect(8, 8, 113, 153));
    QVERIFY(!Image1->pixmap().isNull());
    QCOMPARE(Image1->pixmap().deviceIndependentSize().toSize(), QSize(113, 153));

    auto* Bevel1 = control<QFrame>("Bevel1");
    QVERIFY(Bevel1);
    QCOMPARE(Bevel1->geometry(), QRect(127, 8, 343, 41));
    QVERIFY(Bevel1->frameShape() != QFrame::NoFrame);

    auto* StaticText1 = control<QLabel>("StaticText1");
    QVERIFY(StaticText1);
    QCOMPARE(StaticText1->text(), QStringLiteral("Mincar"));
    QCOMPARE(StaticText1->geometry(), QRect(295, 16, 151, 28));
    QCOMPARE(StaticText1->font().pixelSize(), 19);
    QCOMPARE(StaticText1->palette().color(QPalette::WindowText), QColor(0, 0, 128));

    auto* ToolBar1 = control<QWidget>("ToolBar1");
    QVERIFY(ToolBar1);
    QCOMPARE(ToolBar1->geometry(), QRect(128, 57, 326, 26));

    QPlainTextEdit* Memo1 = help_->memo();
    QCOMPARE(Memo1->objectName(), QStringLiteral("Memo1"));
    QCOMPARE(Memo1->geometry(), QRect(128, 88, 345, 104));
    QCOMPARE(Memo1->lineWrapMode(), QPlainTextEdit::WidgetWidth);
    // Long topics scroll.
    QCOMPARE(Memo1->verticalScrollBarPolicy(), Qt::ScrollBarAsNeeded);
    QCOMPARE(Memo1->horizontalScrollBarPolicy(), Qt::ScrollBarAlwaysOff);
    QVERIFY(!Memo1->isReadOnly());
    // The placeholder until the journal window's show handler loads the topics.
    QCOMPARE(shownText(), QStringLiteral("Memo1"));

    QPushButton* BitBtn1 = help_->aboutButton();
    QCOMPARE(BitBtn1->objectName(), QStringLiteral("BitBtn1"));
    QCOMPARE(BitBtn1->text(), QStringLiteral("&O aplikaci..."));
    QCOMPARE(BitBtn1->geometry(), QRect(8, 167, 112, 25));
    QVERIFY(!BitBtn1->icon().isNull());
  }

  void theToolBarRepeatsTheJournalWindowsButtons() {
    const auto& designs = help::HelpWindow::toolButtonDesigns();
    const std::vector<QToolButton*>& buttons = help_->toolButtons();
    QCOMPARE(buttons.size(), designs.size());
    for (size_t i = 0; i < designs.size(); ++i) {
      QToolButton* b = buttons[i];
      QCOMPARE(b->objectName(), QLatin1String(designs[i].name));
      QCOMPARE(b->parentWidget(), control<QWidget>("ToolBar1"));
      QCOMPARE(b->x(), int(23 * i));
      QCOMPARE(b->toolTip(), QString::fromUtf8(designs[i].hint));
      QVERIFY(picture(b->icon()) == picture(app::imageListIcon(designs[i].image)));
    }
    // The help button first, with the picture of the journal's "&Pomoc".
    QCOMPARE(buttons[0]->objectName(), QStringLiteral("ToolButton1"));
    QVERIFY(buttons[0]->toolTip().isEmpty());
    QVERIFY(picture(buttons[0]->icon()) == picture(app::imageListIcon(28)));

    // Then the journal window's thirteen, in its order, with its pictures and hints.
    auto* journalBar = program_->journal->findChild<QToolBar*>(QStringLiteral("ToolBar1"));
    QVERIFY(journalBar);
    const QList<QAction*> journalButtons = journalBar->actions();
    QCOMPARE(journalButtons.size(), 13);
    for (int i = 0; i < 13; ++i) {
      QToolButton* b = buttons[i + 1];
      QCOMPARE(b->toolTip(), journalButtons[i]->toolTip());
      QVERIFY2(picture(b->icon()) == picture(journalButtons[i]->icon()),
               qPrintable(b->objectName()));
    }
    const std::vector<std::string> names = {
        "ToolButton1",  "ToolButton8", "ToolButton7",  "ToolButton14", "ToolButton2", "ToolButton3",
        "ToolButton4",  "ToolButton5", "ToolButton6",  "ToolButton12", "ToolButton9",
        "ToolButton11", "ToolButton10", "ToolButton13"};
    for (size_t i = 0; i < names.size(); ++i) {
      QCOMPARE(buttons[i]->objectName().toStdString(), names[i]);
    }
  }

  void theFirstOpeningShowsTheGeneralDescription() {
    startProgram();
    openHelp();
    QCOMPARE(shownText(), topic(0));
    QVERIFY(shownText().startsWith(QStringLiteral("Tato aplikace na Mincar je schopna")));
  }

  void eachButtonShowsItsOwnTopicAndRunsNoCommand() {
    MessageBoxCloser boxes;
    startProgram();
    openHelp();
    const std::string statusBefore = program_->journal->statusLine().text();
    ledger::Dataset& journal = program_->journal->ledger().journal();
    const std::int64_t rowsBefore = journal.recordCount();

    // Every topic differs, so each button shows its own.
    for (int a = 0; a < help::kHelpTopicCount; ++a) {
      for (int b = a + 1; b < help::kHelpTopicCount; ++b) QVERIFY(topics_[a] != topics_[b]);
    }
    const std::pair<const char*, int> buttonTopics[] = {
        {"ToolButton8", 1},  {"ToolButton7", 2},   {"ToolButton2", 3},  {"ToolButton3", 4},
        {"ToolButton4", 5},  {"ToolButton5", 6},   {"ToolButton6", 7},  {"ToolButton12", 8},
        {"ToolButton9", 9},  {"ToolButton11", 10}, {"ToolButton10", 11}, {"ToolButton14", 13},
        {"ToolButton1", 0},
    };
    for (const auto& [name, number] : buttonTopics) {
      QToolButton* b = button(name);
      QVERIFY2(b, name);
      QTest::mouseClick(b, Qt::LeftButton);
      QCOMPARE(shownText(), topic(number));
    }

    // The quit button shows its topic, and the program goes on: the
    // application's event loop, running meanwhile, ends only by its own
    // timer's code, not by a quit or an exit.
    QTimer::singleShot(0, this,
                       [this] { QTest::mouseClick(button("ToolButton13"), Qt::LeftButton); });
    QTimer::singleShot(300, this, [] { QCoreApplication::exit(7); });
    QCOMPARE(QApplication::exec(), 7);
    QCOMPARE(shownText(), topic(12));
    QVERIFY(program_->journal->isVisible());
    QVERIFY(help_->isVisible());

    // No command ran: no new or deleted row, no window shown, no status
    // text, no message.
    QCOMPARE(journal.recordCount(), rowsBefore);
    QCOMPARE(program_->journal->statusLine().text(), statusBefore);
    QVERIFY(!program_->moves->isVisible());
    QVERIFY(!program_->books->isVisible());
    QVERIFY(!program_->calendar->isVisible());
    QCOMPARE(boxes.texts, QStringList());
  }

  void typedTextIsGoneAtTheNextTopic() {
    startProgram();
    openHelp();
    QTest::mouseClick(button("ToolButton2"), Qt::LeftButton);
    help_->memo()->setFocus();
    help_->memo()->moveCursor(QTextCursor::End);
    QTest::keyClicks(help_->memo(), QStringLiteral(" Moje poznamka"));
    QCOMPARE(shownText(), topic(3) + QStringLiteral(" Moje poznamka"));

    QTest::mouseClick(button("ToolButton5"), Qt::LeftButton);
    QCOMPARE(shownText(), topic(6));
    // Nothing typed was kept: the topic typed into comes back as it was.
    QTest::mouseClick(button("ToolButton2"), Qt::LeftButton);
    QCOMPARE(shownText(), topic(3));

    // Typing over the whole text and clicking the same topic again.
    help_->memo()->selectAll();
    QTest::keyClicks(help_->memo(), QStringLiteral("x"));
    QCOMPARE(shownText(), QStringLiteral("x"));
    QTest::mouseClick(button("ToolButton2"), Qt::LeftButton);
    QCOMPARE(shownText(), topic(3));
  }

  void reopeningShowsTheTopicLastShown() {
    startProgram();
    openHelp();
    QTest::mouseClick(button("ToolButton9"), Qt::LeftButton);
    QCOMPARE(shownText(), topic(9));

    QVERIFY(help_->close());
    QVERIFY(!help_->isVisible());
    QVERIFY(!help_.isNull());  // hidden, not destroyed
    QVERIFY(program_->journal->isVisible());

    openHelp();
    QCOMPARE(shownText(), topic(9));

    // The about text is kept the same way.
    QTest::mouseClick(help_->aboutButton(), Qt::LeftButton);
    help_->close();
    openHelp();
    QCOMPARE(shownText(), asShown(help::aboutText()));
  }

  void theAboutButtonNamesTheProduct() {
    startProgram();
    openHelp();
    QTest::mouseClick(help_->aboutButton(), Qt::LeftButton);
    QCOMPARE(shownText(), asShown(help::aboutText()));
    QVERIFY(shownText().startsWith(QStringLiteral("Mincar ") + QString::fromLatin1(app::kVersion.data(), app::kVersion.size()) + QLatin1Char('\n')));
    // And a topic button replaces it.
    QTest::mouseClick(button("ToolButton1"), Qt::LeftButton);
    QCOMPARE(shownText(), topic(0));
  }

  void enlargingTheWindowEnlargesOnlyTheTextBox() {
    startProgram();
    openHelp();
    std::vector<std::pair<QWidget*, QRect>> fixed;
    for (QWidget* child : help_->findChildren<QWidget*>()) {
      if (child != help_->memo() && !help_->memo()->isAncestorOf(child)) {
        fixed.emplace_back(child, child->geometry());
      }
    }
    QVERIFY(fixed.size() >= 5 + help::kToolButtonTopicCount);

    help_->resize(700, 450);
    QTRY_COMPARE(help_->memo()->geometry(), QRect(128, 88, 569, 357));
    for (const auto& [child, place] : fixed) {
      QVERIFY2(child->geometry() == place, qPrintable(child->objectName()));
    }

    help_->resize(476, 197);
    QTRY_COMPARE(help_->memo()->geometry(), QRect(128, 88, 345, 104));
    // Narrower than the design: the box shrinks to nothing, never below.
    help_->resize(100, 60);
    QTRY_COMPARE(help_->memo()->size(), QSize(0, 0));
    for (const auto& [child, place] : fixed) {
      QVERIFY2(child->geometry() == place, qPrintable(child->objectName()));
    }
  }

  void screenshotForTheDocumentation() {
    const QString file = qEnvironmentVariable("MINCAR_HELP_SCREENSHOT");
    if (file.isEmpty()) QSKIP("MINCAR_HELP_SCREENSHOT is not set");
    startProgram();
    openHelp();
    help_->raise();
    help_->activateWindow();
    QTest::qWait(1000);
    // The window with its frame, as the window manager draws it.
    const QRect frame = help_->frameGeometry();
    const QPixmap shot = help_->screen()->grabWindow(0, frame.x(), frame.y(), frame.width(),
                                                      frame.height());
    QVERIFY(shot.save(file));
  }
};

QTEST_MAIN(HelpWindowTest)
#include "help_window_test.moc"
