#pragma once
#include "cli/arguments.h"
#include "cli/commands.h"

namespace cli {

// The verbs on the tables and their rules.
int cmdInit(const Invocation& inv, Output& io);
int cmdList(const Invocation& inv, Output& io);
// add-book NAME / add-move NAME: the list's new-record rule, then the name
// typed into the new row.
int cmdAddBook(const Invocation& inv, Output& io);
int cmdAddMove(const Invocation& inv, Output& io);
int cmdAddRow(const Invocation& inv, Output& io);
int cmdSet(const Invocation& inv, Output& io);
int cmdDelete(const Invocation& inv, Output& io);
int cmdRecompute(const Invocation& inv, Output& io);
// deleted TABLE: the deleted rows still in the table, each as its record
// number (from 1), a tab and the row in the form of list.
int cmdDeleted(const Invocation& inv, Output& io);
// undelete TABLE RECNO: that deleted row back; prints its number.
int cmdUndelete(const Invocation& inv, Output& io);

}  // namespace cli
