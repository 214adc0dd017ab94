#pragma once
#include <QDialog>

#include "app/ledger.h"

class QCalendarWidget;
class QLabel;
class QPushButton;

namespace lists {

// TForm4, the calendar picker: the day selected in it is the working date
// of new journal rows, and OK writes it into the journal's current row.
class CalendarWindow : public QDialog {
  Q_OBJECT
 public:
  CalendarWindow(app::Ledger& ledger, QWidget* journalWindow);

  QCalendarWidget* calendar() const { return MonthCalendar1; }
  QPushButton* okButton() const { return BitBtn1; }
  QPushButton* cancelButton() const { return BitBtn2; }
  QLabel* todayLabel() const { return today_; }

 protected:
  void keyPressEvent(QKeyEvent* event) override;
  bool eventFilter(QObject* watched, QEvent* event) override;

 private:
  void MonthCalendar1Changed();
  void BitBtn1Click();  // the date on the journal's current row; the window stays
  void BitBtn2Click();  // hides the window; the date stays in force

  app::Ledger& ledger_;
  QCalendarWidget* MonthCalendar1 = nullptr;
  QLabel* today_ = nullptr;  // today's date under the month
  QPushButton* BitBtn1 = nullptr;
  QPushButton* BitBtn2 = nullptr;
};

}  // namespace lists
