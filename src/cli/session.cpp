#include "cli/session.h"

#include <string>
#include <system_error>

#include "ledger/dataset.h"
#include "text/cp1250.h"
#include "text/error.h"

namespace cli {

namespace fs = std::filesystem;

Session::Session(const fs::path& workDir, Output& io, const text::Regional& regional)
    : status_(io), ledger_(workDir, regional, status_) {
  // A mistyped -C must not grow a fresh data folder somewhere.
  std::error_code ec;
  if (!fs::is_directory(workDir, ec)) {
    throw mincar::Error(mincar::fill("Folder %s does not exist", {text::pathText(workDir)}));
  }
  ledger_.open();
  // What the window's status line says after "Started...": a table the
  // engine had to repair on opening (a crash left its count behind).
  for (ledger::Dataset* table : {&ledger_.journal(), &ledger_.moves(), &ledger_.books()}) {
    const std::string notice = table->takeRepairNotice();
    if (!notice.empty()) io.err << text::toUtf8(notice) << "\n";
  }
}

}  // namespace cli
