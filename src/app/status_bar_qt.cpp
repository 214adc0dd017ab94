#include "app/status_bar_qt.h"

#include <QLabel>
#include <QStatusBar>
#include <QTimer>

#include "text/cp1250.h"

namespace app {

namespace {
// Long passes write a text for every row without returning to the event
// loop; the line is repainted at this pace, not for every call.
constexpr qint64 kRepaintIntervalMs = 100;
}  // namespace

StatusBarLine::StatusBarLine(QStatusBar& bar) : label_(new QLabel(&bar)) {
  label_->setObjectName(QStringLiteral("StatusBar1"));
  // Journal texts may hold "<b>": they are shown as typed, never as markup.
  label_->setTextFormat(Qt::PlainText);
  // A long row text must not widen the window.
  label_->setSizePolicy(QSizePolicy::Ignored, QSizePolicy::Preferred);
  label_->setMinimumWidth(1);
  bar.addWidget(label_, 1);
  bar.setSizeGripEnabled(true);
}

void StatusBarLine::show(std::string_view text) {
  text_.assign(text);
  if (!sincePaint_.isValid() || sincePaint_.elapsed() >= kRepaintIntervalMs) {
    paintNow();
  } else if (!paintPending_) {
    // The last text of a burst appears once the event loop runs again.
    paintPending_ = true;
    QTimer::singleShot(0, label_, [this] { paintNow(); });
  }
}

void StatusBarLine::paintNow() {
  paintPending_ = false;
  label_->setText(QString::fromUtf8(text::toUtf8(text_)));
  if (label_->isVisible()) label_->repaint();
  sincePaint_.restart();
}

}  // namespace app
