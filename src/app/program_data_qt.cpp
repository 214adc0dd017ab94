#include "app/program_data_qt.h"

#include <filesystem>

namespace app {

ProgramData::ProgramData(const text::Regional& regional, const Settings& defaults)
    : statusBar_(new QStatusBar),
      statusLine_(*statusBar_),
      ledger_(std::filesystem::current_path(), regional, statusLine_),
      settings_(defaults) {
  // As a main window makes the bar it creates for itself.
  statusBar_->setSizePolicy(QSizePolicy::Ignored, QSizePolicy::Fixed);
}

ProgramData::~ProgramData() {
  // A bar that no window took is still this object's.
  if (statusBar_ && statusBar_->parent() == nullptr) delete statusBar_;
}

}  // namespace app
