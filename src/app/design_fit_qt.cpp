#include "app/design_fit_qt.h"

#include <algorithm>
#include <cmath>

#include <QCheckBox>
#include <QDate>
#include <QDateEdit>
#include <QEvent>
#include <QFontMetrics>
#include <QLabel>
#include <QLineEdit>
#include <QStyle>
#include <QStyleOptionComboBox>
#include <QStyleOptionFrame>
#include <QStyleOptionSpinBox>
#include <QTimer>

namespace app {

namespace {

// QLineEdit's own margins around its text: 2 pixels each side and one
// for the cursor.
constexpr int kLineEditTextMargins = 2 * 2 + 1;

// A rounded edge never loses the pixel the need asked for.
double factorFor(int design, int needed) {
  if (needed <= 0 || design <= 0) return 1.0;
  return static_cast<double>(needed + 1) / static_cast<double>(design);
}

}  // namespace

QString widestDateText(const QFontMetrics& metrics, const QString& qtDateFormat) {
  // Every day of a year, once: month and day names, if the format has them,
  // and the one- and two-digit days and months all come up.
  QString widest;
  int widestWidth = -1;
  for (QDate day(2026, 1, 1); day.year() == 2026; day = day.addDays(1)) {
    const QString text = day.toString(qtDateFormat);
    const int width = metrics.horizontalAdvance(text);
    if (width > widestWidth) {
      widest = text;
      widestWidth = width;
    }
  }
  return widest;
}

int lineEditWidthFor(const QLineEdit& edit, const QString& text) {
  const QFontMetrics metrics = edit.fontMetrics();
  const QMargins margins = edit.textMargins();
  QStyleOptionFrame option;
  option.initFrom(&edit);
  option.lineWidth = edit.hasFrame() ? edit.style()->pixelMetric(QStyle::PM_DefaultFrameWidth, &option, &edit) : 0;
  option.midLineWidth = 0;
  option.state |= QStyle::State_Sunken;
  const QSize contents(metrics.horizontalAdvance(text) + kLineEditTextMargins + margins.left() + margins.right(),
                       metrics.height());
  // The style adds the frame, as it does for the edit's own size hint.
  return edit.style()->sizeFromContents(QStyle::CT_LineEdit, &option, contents, &edit).width();
}

int dateEditWidthFor(const QDateEdit& edit) {
  const QFontMetrics metrics = edit.fontMetrics();
  const int text = metrics.horizontalAdvance(widestDateText(metrics, edit.displayFormat()));
  // The edit field is what the style leaves of the control beside its
  // arrow or buttons; measured at a nominal width, the rest is fixed.
  const QRect nominal(0, 0, 200, std::max(edit.height(), 21));
  QRect field;
  if (edit.calendarPopup()) {
    QStyleOptionComboBox option;
    option.initFrom(&edit);
    option.rect = nominal;
    option.editable = true;
    option.frame = true;
    option.subControls = QStyle::SC_ComboBoxFrame | QStyle::SC_ComboBoxEditField | QStyle::SC_ComboBoxArrow;
    field = edit.style()->subControlRect(QStyle::CC_ComboBox, &option, QStyle::SC_ComboBoxEditField, &edit);
  } else {
    QStyleOptionSpinBox option;
    option.initFrom(&edit);
    option.rect = nominal;
    option.frame = true;
    option.buttonSymbols = edit.buttonSymbols();
    option.subControls = QStyle::SC_SpinBoxFrame | QStyle::SC_SpinBoxEditField | QStyle::SC_SpinBoxUp |
                         QStyle::SC_SpinBoxDown;
    field = edit.style()->subControlRect(QStyle::CC_SpinBox, &option, QStyle::SC_SpinBoxEditField, &edit);
  }
  return text + kLineEditTextMargins + (nominal.width() - field.width());
}

int labelWidthFor(const QLabel& label) { return label.sizeHint().width(); }

int checkBoxWidthFor(const QCheckBox& box) { return box.sizeHint().width(); }

void DesignFit::add(QWidget* control, const QRect& design, QSize needed) {
  controls_.push_back({control, design});
  xFactor_ = std::max(xFactor_, factorFor(design.width(), needed.width()));
  yFactor_ = std::max(yFactor_, factorFor(design.height(), needed.height()));
}

void DesignFit::need(int designWidth, int neededWidth) {
  xFactor_ = std::max(xFactor_, factorFor(designWidth, neededWidth));
}

int DesignFit::scaledX(int designX) const { return static_cast<int>(std::lround(designX * xFactor_)); }
int DesignFit::scaledY(int designY) const { return static_cast<int>(std::lround(designY * yFactor_)); }

QRect DesignFit::scaled(const QRect& design) const {
  // Edges, not sizes, are scaled: gaps between controls scale with them.
  const int left = scaledX(design.x());
  const int top = scaledY(design.y());
  return {left, top, scaledX(design.x() + design.width()) - left, scaledY(design.y() + design.height()) - top};
}

void DesignFit::apply() const {
  for (const Control& control : controls_) {
    if (control.widget) control.widget->setGeometry(scaled(control.design));
  }
}

namespace {

// Takes the frame from the window once the window manager has framed it.
class OuterSizeKeeper : public QObject {
 public:
  OuterSizeKeeper(QWidget* window, QSize designOuter, QSize minimumClient)
      : QObject(window), window_(window), designOuter_(designOuter), minimumClient_(minimumClient) {
    window->installEventFilter(this);
  }

  bool eventFilter(QObject* watched, QEvent* event) override {
    if (watched == window_ && !done_) {
      switch (event->type()) {
        case QEvent::Show:
          // The frame may come later than the first events of the window.
          for (int delay : {0, 50, 200, 500, 1000}) QTimer::singleShot(delay, this, [this] { check(); });
          break;
        case QEvent::Move:
        case QEvent::Resize:
          QTimer::singleShot(0, this, [this] { check(); });
          break;
        default:
          break;
      }
    }
    return QObject::eventFilter(watched, event);
  }

 private:
  void check() {
    if (done_ || !window_->isVisible()) return;
    const QSize frame = window_->frameGeometry().size() - window_->geometry().size();
    if (frame.width() <= 0 && frame.height() <= 0) return;
    done_ = true;
    window_->resize((designOuter_ - frame).expandedTo(minimumClient_));
  }

  QWidget* window_;
  QSize designOuter_;
  QSize minimumClient_;
  bool done_ = false;
};

}  // namespace

void keepOuterSize(QWidget* window, QSize designOuter, QSize minimumClient) {
  window->resize(designOuter.expandedTo(minimumClient));
  new OuterSizeKeeper(window, designOuter, minimumClient);
}

}  // namespace app
