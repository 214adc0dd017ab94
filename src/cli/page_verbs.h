#pragma once
#include "cli/arguments.h"
#include "cli/commands.h"

namespace cli {

// voucher ID [-o FILE] [--open]: the voucher dialog filled from journal row
// ID and the names in prop1.txt, and its print button.
int cmdVoucher(const Invocation& inv, Output& io);

// report [--from DATE] [--to DATE] [--text TEXT] [--move ID] [--book ID] [--start X]
// [--recompute] [-o FILE] [--open]: the search dialog with one criterion in
// force per option (the lists standing on the rows with those IDs), its
// recompute button and its print button.
int cmdReport(const Invocation& inv, Output& io);

// overview [--from DATE] [--to DATE] [--text TEXT] [--move ID] [--book ID]
// [-o FILE] [--open]: the search dialog's criteria as for report, and the
// overview page of the shown rows.
int cmdOverview(const Invocation& inv, Output& io);

// export [criteria as report] -o FILE.csv: the shown rows as CSV; prints
// the number of rows written.
int cmdExport(const Invocation& inv, Output& io);

}  // namespace cli
