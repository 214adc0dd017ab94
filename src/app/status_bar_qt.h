#pragma once
#include <string>
#include <string_view>

#include <QElapsedTimer>

#include "app/status_line.h"

class QLabel;
class QStatusBar;

namespace app {

// StatusBar1: the journal window's status line, one line of plain text on
// the window's status bar.
class StatusBarLine : public StatusLine {
 public:
  explicit StatusBarLine(QStatusBar& bar);
  void show(std::string_view text) override;
  std::string text() const override { return text_; }

 private:
  void paintNow();

  QLabel* label_;
  std::string text_;
  bool paintPending_ = false;
  QElapsedTimer sincePaint_;
};

}  // namespace app
