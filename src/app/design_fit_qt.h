#pragma once
// Laying out a window's controls at their design places, scaled so that
// every text they show fits the fonts actually in use, and keeping a
// window's outer size (frame included) where the design gives that.

#include <vector>

#include <QPointer>
#include <QRect>
#include <QSize>
#include <QString>

class QCheckBox;
class QDateEdit;
class QFontMetrics;
class QLabel;
class QLineEdit;
class QWidget;

namespace app {

// The widest text a date can take in the Qt date format, in these metrics.
QString widestDateText(const QFontMetrics& metrics, const QString& qtDateFormat);

// The width a one-line edit needs to show the text whole: the text, the
// cursor, the edit's own margins and the style's frame.
int lineEditWidthFor(const QLineEdit& edit, const QString& text);
// The same for a date edit showing the widest date of its format, with the
// style's room for its drop-down arrow or buttons.
int dateEditWidthFor(const QDateEdit& edit);
// A label's or a check box's text whole (a box's indicator included).
int labelWidthFor(const QLabel& label);
int checkBoxWidthFor(const QCheckBox& box);

// One window's controls with their design rectangles and the size each
// needs. One horizontal and one vertical factor, each at least 1, scale
// every rectangle and the client area, so the design's proportions stay,
// every text fits and controls that did not overlap in the design do not.
class DesignFit {
 public:
  explicit DesignFit(QSize designClient) : designClient_(designClient) {}

  // A needed width or height of 0 asks nothing in that direction.
  void add(QWidget* control, const QRect& design, QSize needed);
  // A need without a control (a grid column inside a bigger control).
  void need(int designWidth, int neededWidth);

  double xFactor() const { return xFactor_; }
  double yFactor() const { return yFactor_; }
  QRect scaled(const QRect& design) const;
  int scaledX(int designX) const;
  int scaledY(int designY) const;
  QSize client() const { return {scaledX(designClient_.width()), scaledY(designClient_.height())}; }

  // Puts every added control at its scaled rectangle.
  void apply() const;

 private:
  struct Control {
    QPointer<QWidget> widget;
    QRect design;
  };
  QSize designClient_;
  std::vector<Control> controls_;
  double xFactor_ = 1.0;
  double yFactor_ = 1.0;
};

// The design gives the window's outer size. The client area is that size
// less the frame the window manager adds, which is known only once the
// window is shown and framed; until then the window has the whole size as
// client area, and it never gets less than `minimumClient`.
void keepOuterSize(QWidget* window, QSize designOuter, QSize minimumClient = {});

}  // namespace app
