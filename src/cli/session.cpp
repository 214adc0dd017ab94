#include "cli/session.h"

#include <string>
#include <system_error>

#include "ledger/dataset.h"
#include "text/cp1250.h"
#include "text/error.h"

namespace cli {

namespace fs = std::filesystem;

void reportRepairs(ledger::Dataset& table, Output& io) {
  for (const std::string& notice : {table.takeRepairNotice(), table.takeDamageNotice()}) {
    if (!notice.empty()) io.err << text::toUtf8(notice) << "\n";
  }
}

Session::Session(const fs::path& workDir, Output& io, const text::Regional& regional, Use use)
    : status_(io), ledger_(workDir, regional, status_) {
  // A mistyped -C must not grow a fresh data folder somewhere.
  std::error_code ec;
  if (!fs::is_directory(workDir, ec)) {
    throw mincar::Error(mincar::fill("Folder %s does not exist", {text::pathText(workDir)}));
  }
  if (use == Use::Read) ledger_.openForReading();
  else ledger_.open();
  // What the window shows after "Started...": what the engine had to repair
  // on opening, or leaves to be repaired.
  for (ledger::Dataset* table : {&ledger_.journal(), &ledger_.moves(), &ledger_.books()}) {
    reportRepairs(*table, io);
  }
}

}  // namespace cli
