#pragma once
#include <filesystem>
#include <optional>

#include <QObject>
#include <QString>

#include "app/ledger.h"

class QFileDialog;
class QWidget;

namespace backup {

// SaveDialog1 and OpenDialog1 of the journal window: the file dialogs of
// the backup and restore commands, set up by the command each time before
// they are shown. They start in data/ under the working folder, offer the
// one filter "Soubory záloh (*.txu)" for the pattern *.TXU, ask nothing
// before a file is replaced and never move the process's working folder,
// which the tables, prop1.txt and out.htm are found from.
class BackupDialogs : public QObject {
  Q_OBJECT
 public:
  // The dialogs of a window, made at their first use and kept with it, so
  // that the open dialog offers the name chosen at its previous use.
  static BackupDialogs& of(QWidget* window);

  explicit BackupDialogs(QWidget* window);

  // SaveDialog1 with the default name; the chosen file's full name, or
  // nothing when the user cancels.
  std::optional<std::filesystem::path> askSaveName(const QString& defaultName);
  // OpenDialog1, offering the name chosen last time (none the first time).
  std::optional<std::filesystem::path> askOpenName();

  // What the dialog filter shows, and the filter as the dialog takes it.
  static QString filterText();

 private:
  std::optional<std::filesystem::path> ask(QFileDialog& dialog);

  QWidget* window_;
  QString lastOpened_;
};

// The commands of the tool buttons ToolButton7 / ToolButton8 and the menu
// items Uloit1 / Otevt1.
void SaveBackup(BackupDialogs& dialogs, app::Ledger& ledger);
void RestoreBackup(BackupDialogs& dialogs, app::Ledger& ledger);

}  // namespace backup
