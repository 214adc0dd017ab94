#pragma once
#include <cstdint>
#include <string>
#include <string_view>

#include "app/ledger.h"
#include "backup/backup_file.h"
#include "ledger/dataset.h"

// The writer of the text backup: the journal, the movements list and the
// books list as three sections of one Windows-1250 text file, every line
// ended by LF CR.
namespace backup {

// The section names, in file order.
inline constexpr std::string_view kJournalSection = "Denik";
inline constexpr std::string_view kMovesSection = "Moves";
inline constexpr std::string_view kBooksSection = "Books";

// "######### This is a table %s and have ;%d; records %s" filled with the
// section name, the count and the line end.
std::string HeaderText(std::string_view name, std::int64_t count, std::string_view lineEnd);
// The same with the count the table presents now (its filter honoured).
std::string TableHeaderText(ledger::Dataset& table, std::string_view name, std::string_view lineEnd);

// The header and one record line per row. A pending edit is stored first,
// and the header counts exactly the rows that follow it, also when another
// user appends meanwhile. The table's bound controls do not follow the
// walk; they are told once at the end, when the table stands on its last
// row.
void SaveTable(BackupFile& out, ledger::Dataset& table, std::string_view name);

// The three sections. The journal is written whole: its filter is switched
// off for the walk and back to its setting afterwards, so that a backup
// made while a search is in force does not lose the rows it hides. Every
// table is left on its last row.
void SaveAllTables(BackupFile& out, app::Ledger& ledger);

}  // namespace backup
