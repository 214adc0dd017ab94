// Every window's controls show their texts whole in the fonts in use, do
// not overlap, and take a typed date as typed; the calendar shows its six
// weeks and today's date, and a long help text scrolls.

#include <QCalendarWidget>
#include <QRegularExpression>
#include <QCheckBox>
#include <QDateEdit>
#include <QHeaderView>
#include <QLabel>
#include <QLineEdit>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QScrollBar>
#include <QStyle>
#include <QTableView>
#include <QTest>

#include "app/dataset_grid_qt.h"
#include "print/book_search_form.h"
#include "window_test_support.h"

using window_testing::ProgramWindows;
using window_testing::WorkFolder;

namespace {

// The widest day and month a d.M.yyyy date has.
const QString kWidestDate = QStringLiteral("28.12.2026");

// The room a line edit leaves for its text: its frame and the two pixels
// it keeps free on either side, and one for the cursor.
int textRoom(const QLineEdit& edit) {
  const int frame = edit.hasFrame() ? edit.style()->pixelMetric(QStyle::PM_DefaultFrameWidth, nullptr, &edit) : 0;
  const QMargins margins = edit.textMargins();
  return edit.width() - 2 * frame - 2 * 2 - 1 - margins.left() - margins.right();
}

QString withoutAccessMark(QString text) { return text.remove(QRegularExpression(QStringLiteral("&(?!&)"))); }

}  // namespace

class WindowFitTest : public QObject {
  Q_OBJECT

  std::unique_ptr<WorkFolder> folder_;
  std::unique_ptr<ProgramWindows> windows_;

  QWidget* window(const QString& name) const {
    if (name == QLatin1String("Form1")) return windows_->journal.get();
    return windows_->journal->findChild<QWidget*>(name, Qt::FindDirectChildrenOnly);
  }

  // The window shown as the user opens it, above the shown journal.
  QWidget* open(const QString& name) {
    windows_->journal->show();
    QWidget* shown = window(name);
    shown->show();
    if (!QTest::qWaitForWindowExposed(shown)) return nullptr;
    return shown;
  }

  // The controls laid out in a window: the dialogs' own children, the
  // journal's strip.
  QList<QWidget*> controlsOf(QWidget* shown) const {
    QWidget* parent = shown == windows_->journal.get() ? shown->findChild<QWidget*>("DBCtrlGrid1") : shown;
    QList<QWidget*> controls;
    for (QWidget* child : parent->findChildren<QWidget*>(Qt::FindDirectChildrenOnly)) {
      if (!child->isWindow() && child->isVisible()) controls << child;
    }
    return controls;
  }

  static void addWindows() {
    QTest::addColumn<QString>("name");
    QTest::newRow("journal") << "Form1";
    QTest::newRow("calendar") << "Form4";
    QTest::newRow("voucher") << "Form5";
    QTest::newRow("search") << "Form6";
    QTest::newRow("configuration") << "Form7";
    QTest::newRow("help") << "Form8";
  }

 private slots:
  void init() {
    folder_ = std::make_unique<WorkFolder>();
    folder_->writeSettings();
    windows_ = std::make_unique<ProgramWindows>();
  }
  void cleanup() {
    windows_.reset();
    folder_.reset();
  }

  void everyTextFitsItsControl_data() { addWindows(); }
  void everyTextFitsItsControl() {
    QFETCH(QString, name);
    QWidget* shown = open(name);
    QVERIFY(shown);
    int checked = 0;
    for (QWidget* control : controlsOf(shown)) {
      const QString what = name + QLatin1Char('/') + control->objectName();
      if (auto* label = qobject_cast<QLabel*>(control); label && !label->text().isEmpty()) {
        const QFontMetrics metrics = label->fontMetrics();
        QVERIFY2(metrics.horizontalAdvance(withoutAccessMark(label->text())) <= label->width(), qPrintable(what));
        QVERIFY2(metrics.height() <= label->height(), qPrintable(what));
        ++checked;
      } else if (auto* date = qobject_cast<QDateEdit*>(control)) {
        // The date's own text box, beside the drop-down arrow.
        auto* text = date->findChild<QLineEdit*>();
        QVERIFY(text);
        const QFontMetrics metrics = date->fontMetrics();
        QVERIFY2(metrics.horizontalAdvance(kWidestDate) <= text->width() - 2 * 2 - 1, qPrintable(what));
        QVERIFY2(date->sizeHint().height() <= date->height(), qPrintable(what));
        ++checked;
      } else if (auto* edit = qobject_cast<QLineEdit*>(control)) {
        // Dates in the journal's strip and the voucher's date of issue.
        if (edit->toolTip().startsWith(QStringLiteral("Datum"))) {
          QVERIFY2(edit->fontMetrics().horizontalAdvance(kWidestDate) <= textRoom(*edit), qPrintable(what));
        }
        QVERIFY2(edit->sizeHint().height() <= edit->height(), qPrintable(what));
        ++checked;
      } else if (qobject_cast<QCheckBox*>(control) || qobject_cast<QPushButton*>(control)) {
        QVERIFY2(control->sizeHint().width() <= control->width(), qPrintable(what));
        ++checked;
      } else if (auto* calendar = qobject_cast<QCalendarWidget*>(control)) {
        QVERIFY2(calendar->minimumSizeHint().width() <= calendar->width(), qPrintable(what));
        QVERIFY2(calendar->minimumSizeHint().height() <= calendar->height(), qPrintable(what));
        ++checked;
      }
    }
    QVERIFY(checked >= 2);
  }

  void controlsDoNotOverlap_data() { addWindows(); }
  void controlsDoNotOverlap() {
    QFETCH(QString, name);
    QWidget* shown = open(name);
    QVERIFY(shown);
    QList<QWidget*> controls = controlsOf(shown);
    // The help window's bevel is the frame drawn around its title.
    controls.removeIf([](QWidget* control) { return control->objectName() == QLatin1String("Bevel1"); });
    for (qsizetype i = 0; i < controls.size(); ++i) {
      const QRect place = controls[i]->geometry();
      QVERIFY2(controls[i]->parentWidget()->rect().contains(place),
               qPrintable(name + QLatin1Char('/') + controls[i]->objectName()));
      for (qsizetype j = i + 1; j < controls.size(); ++j) {
        QVERIFY2(!place.intersects(controls[j]->geometry()),
                 qPrintable(controls[i]->objectName() + QStringLiteral(" and ") + controls[j]->objectName()));
      }
    }
  }

  void theGridsDateColumnHoldsADateAfterMaximiseAndRestore() {
    app::JournalWindow* journal = windows_->journal.get();
    journal->show();
    QVERIFY(QTest::qWaitForWindowExposed(journal));
    auto* grid = journal->findChild<app::DatasetGrid*>();
    QVERIFY(grid);
    const QSize designed = journal->size();
    journal->resize(1360, 740);
    QTRY_VERIFY(grid->width() > 1000);
    journal->resize(designed);
    QTRY_COMPARE(journal->size(), designed);
    QTest::qWait(50);
    // The item views' text margins: the focus frame's and one pixel, each side.
    const int margins = 2 * (grid->style()->pixelMetric(QStyle::PM_FocusFrameHMargin, nullptr, grid) + 1);
    QVERIFY2(grid->fontMetrics().horizontalAdvance(kWidestDate) + margins <= grid->columnWidth(3),
             qPrintable(QString::number(grid->columnWidth(3))));
  }

  void aTypedDateIsTheDateTyped_data() {
    QTest::addColumn<QString>("window");
    QTest::addColumn<QString>("field");
    QTest::addColumn<QDate>("before");
    QTest::addColumn<QString>("typed");
    struct Field {
      const char* row;
      const char* window;
      const char* field;
    };
    for (Field f : {Field{"search from", "Form6", "DateTimePicker1"}, Field{"search to", "Form6", "DateTimePicker2"},
                    Field{"journal strip", "Form1", "DBEdit1"}}) {
      QTest::addRow("%s, day of two digits", f.row) << f.window << f.field << QDate(2026, 12, 18) << "1.12.2026";
      QTest::addRow("%s, long month to short", f.row) << f.window << f.field << QDate(2026, 11, 30) << "31.1.2025";
      QTest::addRow("%s, one-digit parts", f.row) << f.window << f.field << QDate(2026, 12, 28) << "5.3.2024";
    }
  }
  void aTypedDateIsTheDateTyped() {
    QFETCH(QString, window);
    QFETCH(QString, field);
    QFETCH(QDate, before);
    QFETCH(QString, typed);
    if (window == QLatin1String("Form1")) {
      // A journal row dated `before`, shown in the strip.
      windows_->journal->ledger().calendarDate = {before.year(), before.month(), before.day()};
      windows_->journal->ledger().newJournalRow();
    }
    QWidget* shown = open(window);
    QVERIFY(shown);
    auto* control = shown->findChild<QWidget*>(field);
    QVERIFY(control);
    auto* date = qobject_cast<QDateEdit*>(control);
    if (date) date->setDate(before);
    auto* text = date ? date->findChild<QLineEdit*>() : qobject_cast<QLineEdit*>(control);
    QCOMPARE(text->text(), before.toString(QStringLiteral("d.M.yyyy")));

    QTest::mouseClick(text, Qt::LeftButton, {}, QPoint(text->width() / 2, text->height() / 2));
    QTest::keyClick(control, Qt::Key_Home);
    QTest::keyClicks(control, typed);
    QCOMPARE(text->text(), typed);
    if (date) QCOMPARE(date->date(), QDate::fromString(typed, QStringLiteral("d.M.yyyy")));
  }

  void theCalendarShowsTodayAndSixWholeWeeks() {
    QWidget* calendarWindow = open(QStringLiteral("Form4"));
    QVERIFY(calendarWindow);
    auto* today = calendarWindow->findChild<QLabel*>(QStringLiteral("Today"));
    QVERIFY2(today, "no line with today's date");
    QVERIFY(today->isVisible());
    QVERIFY(today->text().contains(QDate::currentDate().toString(QStringLiteral("d.M.yyyy"))));
    auto* calendar = calendarWindow->findChild<QCalendarWidget*>();
    QVERIFY(today->y() >= calendar->geometry().bottom());

    auto* days = calendar->findChild<QTableView*>();
    QVERIFY(days);
    // The day names and six weeks, each row whole and as high as its text.
    QCOMPARE(days->model()->rowCount(), 7);
    const int textHeight = days->fontMetrics().height();
    for (int row = 0; row < 7; ++row) {
      const int top = days->rowViewportPosition(row);
      QVERIFY2(top >= 0, qPrintable(QString::number(row)));
      QVERIFY2(days->rowHeight(row) >= textHeight, qPrintable(QString::number(row)));
      QVERIFY2(top + days->rowHeight(row) <= days->viewport()->height(), qPrintable(QString::number(row)));
    }
  }

  void aLongHelpTextScrolls() {
    QWidget* help = open(QStringLiteral("Form8"));
    QVERIFY(help);
    auto* memo = help->findChild<QPlainTextEdit*>(QStringLiteral("Memo1"));
    QVERIFY(memo);
    memo->setPlainText(QStringLiteral("Řádek nápovědy\n").repeated(60));
    QTRY_VERIFY(memo->verticalScrollBar()->isVisible());
    // A short one does not.
    memo->setPlainText(QStringLiteral("Krátká nápověda"));
    QTRY_VERIFY(!memo->verticalScrollBar()->isVisible());
  }
};

QTEST_MAIN(WindowFitTest)
#include "window_fit_test.moc"
