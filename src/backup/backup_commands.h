#pragma once
#include <filesystem>
#include <string>

#include "app/ledger.h"
#include "backup/backup_reader.h"
#include "ledger/table_rewrite.h"
#include "text/date.h"
#include "text/regional.h"

// SaveBackup and RestoreBackup without their file dialogs: what the two
// commands do once the user has chosen a file, and the texts and names the
// dialogs are set up with. The windows and mincar-cli share them.
namespace backup {

// The dialogs' one filter entry: the description the user sees and the
// pattern it stands for.
inline constexpr const char* kFilterDescriptionUtf8 = "Soubory záloh (*.txu)";
inline constexpr const char* kFilterPattern = "*.TXU";
// The ".txu" that a chosen name must hold somewhere, in these lower-case
// letters.
inline constexpr const char* kBackupExtension = ".txu";

// Status texts, Windows-1250.
std::string saveCancelledText();     // "Zaloha stornovana..."
std::string saveStartText();         // "Start zalohy..."
std::string restoreCancelledText();  // "Obnova dat stornovana..."
std::string restoreStartText();      // "Start obnovení ze zalohy..."

// "zaloha_" + today's short-date text with every "." replaced by "_" +
// ".txu": zaloha_7_12_2026.txu under Czech settings. A "/" of a date
// format becomes "_" too, since no file name can hold it.
std::string DefaultBackupName(const text::Date& today, const text::Regional& regional);

// The chosen name with ".txu" appended unless it holds ".txu" anywhere
// (so "x.TXU" becomes "x.TXU.txu").
std::string WithBackupExtension(const std::string& chosen);

// SaveBackup from step 4 on: "Start zalohy...", the ".txu" rule, the
// backup of all three tables written whole beside the file and put in its
// place, then the file's full name in the status line. Returns that name.
// A failure leaves an earlier file of that name as it was, and the status
// line keeps "Start zalohy...".
std::filesystem::path SaveBackupTo(app::Ledger& ledger, const std::filesystem::path& chosen,
                                   ledger::TableRewrite::FileMaker create = ledger::createPosixFile);

// The folder of the backups Mincar writes by itself: data/zalohy/.
std::filesystem::path AutomaticBackupFolder(const app::Ledger& ledger);
std::filesystem::path AutomaticBackupFolder(const std::filesystem::path& workDir);
// The same, created when missing. Errors: "Cannot create folder %s: reason"
// (also "not a folder" for a file or link at its name).
std::filesystem::path MakeAutomaticBackupFolder(const std::filesystem::path& workDir);

// "pred_obnovou_" + the date as DefaultBackupName writes it + "_HHMMSS.txu":
// pred_obnovou_7_12_2026_153012.txu.
std::string BeforeRestoreName(const text::Date& day, int hour, int minute, int second,
                              const text::Regional& regional);

// RestoreBackup from step 3 on: "Start obnovení ze zalohy...", then the
// restore of LoadAllTables. Once the file is checked and the tables are
// this process's alone, the tables as they are are written into
// data/zalohy/pred_obnovou_....txu (a new name, never over an older one);
// when that cannot be written the restore does not start. The status line
// ends with that file's name, so a restore from the wrong file can itself be
// undone. Returns the file. A file that cannot be opened fails with "Cannot
// open file %s" and leaves the status line as it is.
std::filesystem::path RestoreBackupFrom(app::Ledger& ledger, const std::filesystem::path& chosen,
                                        const RestoreFiles& files = {});

}  // namespace backup
