#include "lists/calendar_window.h"

#include <QAbstractItemView>
#include <QCalendarWidget>
#include <QKeyEvent>
#include <QLabel>
#include <QLocale>
#include <QPushButton>
#include <QTextCharFormat>

#include "app/design_fit_qt.h"
#include "app/error_box_qt.h"
#include "app/image_list_qt.h"
#include "text/cp1250.h"
#include "text/regional.h"

namespace lists {

namespace {

text::Date toDate(const QDate& date) { return {date.year(), date.month(), date.day()}; }

// The month and day names in the user's language; under the C locale the
// program's Czech settings, as the regional formats fall back to them.
QLocale calendarLocale() {
  const QLocale system = QLocale::system();
  if (system.language() == QLocale::C) return QLocale(QLocale::Czech, QLocale::Czechia);
  return system;
}

}  // namespace

CalendarWindow::CalendarWindow(app::Ledger& ledger, QWidget* journalWindow)
    // A fixed-size tool window with a small caption, above the journal window.
    : QDialog(journalWindow, Qt::Tool | Qt::MSWindowsFixedSizeDialogHint), ledger_(ledger) {
  setObjectName(QStringLiteral("Form4"));
  setWindowTitle(QStringLiteral("Kalendář"));
  setModal(false);
  setSizeGripEnabled(false);

  MonthCalendar1 = new QCalendarWidget(this);
  MonthCalendar1->setObjectName(QStringLiteral("MonthCalendar1"));
  MonthCalendar1->setLocale(calendarLocale());
  MonthCalendar1->setFirstDayOfWeek(calendarLocale().firstDayOfWeek());
  MonthCalendar1->setVerticalHeaderFormat(QCalendarWidget::NoVerticalHeader);
  MonthCalendar1->setSelectionMode(QCalendarWidget::SingleSelection);
  QFont small = MonthCalendar1->font();
  small.setPixelSize(10);
  MonthCalendar1->setFont(small);
  // Today marked; the calendar starts on it.
  const QDate today = QDate::currentDate();
  QTextCharFormat todayFormat = MonthCalendar1->dateTextFormat(today);
  todayFormat.setFontWeight(QFont::Bold);
  todayFormat.setForeground(QColor(0, 0, 160));
  MonthCalendar1->setDateTextFormat(today, todayFormat);
  MonthCalendar1->setSelectedDate(today);
  ledger_.calendarDate = toDate(today);
  connect(MonthCalendar1, &QCalendarWidget::selectionChanged, this,
          &CalendarWindow::MonthCalendar1Changed);
  // Enter on the calendar presses the default button, as it does elsewhere
  // in the window; the calendar would take it as its own.
  if (auto* days = MonthCalendar1->findChild<QAbstractItemView*>()) days->installEventFilter(this);

  BitBtn1 = new QPushButton(app::imageListIcon(30), QStringLiteral("&OK"), this);
  BitBtn1->setObjectName(QStringLiteral("BitBtn1"));
  BitBtn1->setDefault(true);
  BitBtn1->setToolTip(QStringLiteral("U právě označeného řádku v deníku nastaví toto datum..."));
  connect(BitBtn1, &QPushButton::clicked, this,
          [this] { app::runAction(this, [this] { BitBtn1Click(); }); });

  BitBtn2 = new QPushButton(app::imageListIcon(21), QStringLiteral("&Storno"), this);
  BitBtn2->setObjectName(QStringLiteral("BitBtn2"));
  BitBtn2->setAutoDefault(false);
  BitBtn2->setToolTip(QStringLiteral("Zavře tento dialog..."));
  connect(BitBtn2, &QPushButton::clicked, this, &CalendarWindow::BitBtn2Click);

  // Today's date under the month, in the regional short date format.
  today_ = new QLabel(this);
  today_->setObjectName(QStringLiteral("Today"));
  today_->setText(QStringLiteral("Dnes: ") +
                  QString::fromStdString(text::toUtf8(text::formatDate(toDate(today), ledger_.regional()))));
  QFont bold = today_->font();
  bold.setBold(true);
  today_->setFont(bold);
  today_->setAlignment(Qt::AlignCenter);

  // The design's 153 pixels of calendar hold the month and, below it, the
  // line with today's date. Everything is scaled so that the month's six
  // week rows and today's date show whole.
  app::DesignFit fit(QSize(184, 179));
  for (QWidget* control : std::initializer_list<QWidget*>{MonthCalendar1, today_, BitBtn1, BitBtn2}) {
    control->ensurePolished();
  }
  fit.add(MonthCalendar1, {0, 0, 184, 136}, MonthCalendar1->minimumSizeHint());
  fit.add(today_, {0, 136, 184, 17}, today_->sizeHint());
  fit.add(BitBtn1, {8, 153, 75, 25}, BitBtn1->sizeHint());
  fit.add(BitBtn2, {101, 153, 75, 25}, BitBtn2->sizeHint());
  fit.apply();

  // Below the lists rather than at the design's (148, 17): there, grown to
  // fit, it would cover the journal window's menu bar.
  move(15, 402);
  setFixedSize(fit.client());
}

void CalendarWindow::MonthCalendar1Changed() {
  // The selected day is the working date at once, without OK.
  ledger_.calendarDate = toDate(MonthCalendar1->selectedDate());
}

void CalendarWindow::BitBtn1Click() { ledger_.setDateOnJournal(); }

void CalendarWindow::BitBtn2Click() { hide(); }

void CalendarWindow::keyPressEvent(QKeyEvent* event) {
  // Esc is bound to nothing here: the dialog would take it as Storno.
  if (event->key() == Qt::Key_Escape) {
    event->ignore();
    return;
  }
  QDialog::keyPressEvent(event);
}

bool CalendarWindow::eventFilter(QObject* watched, QEvent* event) {
  if (event->type() == QEvent::KeyPress) {
    const int key = static_cast<QKeyEvent*>(event)->key();
    if (key == Qt::Key_Return || key == Qt::Key_Enter) {
      BitBtn1->click();
      return true;
    }
  }
  return QDialog::eventFilter(watched, event);
}

}  // namespace lists
