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

}  // namespace cli
