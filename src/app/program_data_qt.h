#pragma once
#include <QPointer>
#include <QStatusBar>

#include "app/ledger.h"
#include "app/settings.h"
#include "app/status_bar_qt.h"
#include "text/regional.h"

namespace app {

// What the windows work on, made before them and kept until they are gone,
// as mincar-cli's session keeps its ledger: the ledger of the working
// folder (the journal window opens it as it is created), the status line
// it reports to and the settings of prop1.txt.
class ProgramData {
 public:
  ProgramData(const text::Regional& regional, const Settings& defaults);
  ~ProgramData();
  ProgramData(const ProgramData&) = delete;
  ProgramData& operator=(const ProgramData&) = delete;

  Ledger& ledger() { return ledger_; }
  Settings& settings() { return settings_; }
  StatusLine& statusLine() { return statusLine_; }
  // The bar that shows the status line, for the journal window to take.
  QStatusBar* statusBar() const { return statusBar_; }

 private:
  QPointer<QStatusBar> statusBar_;  // the journal window's once it takes it
  StatusBarLine statusLine_;
  Ledger ledger_;
  Settings settings_;
};

}  // namespace app
