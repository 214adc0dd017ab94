#include "backup/backup_window.h"

#include <system_error>

#include <QDir>
#include <QFile>
#include <QFileDialog>
#include <QFileInfo>
#include <QWidget>

#include "backup/backup_commands.h"
#include "text/date.h"

namespace backup {

namespace fs = std::filesystem;

namespace {

// The filter entry as the dialog takes it: the description the user sees
// and, in the last parentheses, the pattern it stands for. The dialog shows
// the description alone (HideNameFilterDetails) and matches the pattern
// without regard to case, as the system's dialogs do.
QString dialogFilter() {
  return QString::fromUtf8(kFilterDescriptionUtf8) + QStringLiteral(" (") + QString::fromLatin1(kFilterPattern) +
         QStringLiteral(")");
}

QString initialFolder() { return QDir::current().filePath(QStringLiteral("data")) + QStringLiteral("/"); }

// The working folder as it was before a dialog, put back should anything
// in the dialog have moved it.
class KeepWorkingFolder {
 public:
  KeepWorkingFolder() : folder_(fs::current_path(error_)) {}
  ~KeepWorkingFolder() {
    if (error_) return;
    std::error_code now;
    if (fs::current_path(now) != folder_ || now) fs::current_path(folder_, now);
  }
  KeepWorkingFolder(const KeepWorkingFolder&) = delete;
  KeepWorkingFolder& operator=(const KeepWorkingFolder&) = delete;

 private:
  std::error_code error_;
  fs::path folder_;
};

void setUp(QFileDialog& dialog) {
  // Qt's own dialog everywhere: a desktop's dialog may not keep to the
  // filter's text or to the working folder.
  dialog.setOption(QFileDialog::DontUseNativeDialog);
  dialog.setOption(QFileDialog::HideNameFilterDetails);
  dialog.setNameFilter(dialogFilter());
  dialog.setDirectory(initialFolder());
  // The name may be typed freely.
  dialog.setFileMode(QFileDialog::AnyFile);
}

}  // namespace

BackupDialogs& BackupDialogs::of(QWidget* window) {
  if (auto* dialogs = window->findChild<BackupDialogs*>(QString(), Qt::FindDirectChildrenOnly)) return *dialogs;
  return *new BackupDialogs(window);
}

BackupDialogs::BackupDialogs(QWidget* window) : QObject(window), window_(window) {}

QString BackupDialogs::filterText() { return QString::fromUtf8(kFilterDescriptionUtf8); }

std::optional<fs::path> BackupDialogs::ask(QFileDialog& dialog) {
  KeepWorkingFolder keep;
  if (dialog.exec() != QDialog::Accepted) return std::nullopt;
  const QStringList chosen = dialog.selectedFiles();
  if (chosen.isEmpty() || chosen.front().isEmpty()) return std::nullopt;
  return fs::path(QFile::encodeName(chosen.front()).toStdString());
}

std::optional<fs::path> BackupDialogs::askSaveName(const QString& defaultName) {
  QFileDialog SaveDialog1(window_);
  SaveDialog1.setObjectName(QStringLiteral("SaveDialog1"));
  setUp(SaveDialog1);
  SaveDialog1.setAcceptMode(QFileDialog::AcceptSave);
  // No question before an existing file is replaced.
  SaveDialog1.setOption(QFileDialog::DontConfirmOverwrite);
  SaveDialog1.selectFile(defaultName);
  return ask(SaveDialog1);
}

std::optional<fs::path> BackupDialogs::askOpenName() {
  QFileDialog OpenDialog1(window_);
  OpenDialog1.setObjectName(QStringLiteral("OpenDialog1"));
  setUp(OpenDialog1);
  OpenDialog1.setAcceptMode(QFileDialog::AcceptOpen);
  // The name chosen last time, with its folder, as a dialog given a full
  // name shows it.
  if (!lastOpened_.isEmpty()) {
    const QFileInfo last(lastOpened_);
    OpenDialog1.setDirectory(last.absolutePath());
    OpenDialog1.selectFile(last.fileName());
  }
  std::optional<fs::path> chosen = ask(OpenDialog1);
  if (chosen) lastOpened_ = QFile::decodeName(QByteArray::fromStdString(chosen->string()));
  return chosen;
}

void SaveBackup(BackupDialogs& dialogs, app::Ledger& ledger) {
  // 1-3.
  const std::string name = DefaultBackupName(text::Date::today(), ledger.regional());
  const std::optional<fs::path> chosen = dialogs.askSaveName(QString::fromStdString(name));
  if (!chosen) {
    ledger.status().show(saveCancelledText());
    return;
  }
  // 4-9.
  SaveBackupTo(ledger, *chosen);
}

void RestoreBackup(BackupDialogs& dialogs, app::Ledger& ledger) {
  // 1-2.
  const std::optional<fs::path> chosen = dialogs.askOpenName();
  if (!chosen) {
    ledger.status().show(restoreCancelledText());
    return;
  }
  // 3-6.
  RestoreBackupFrom(ledger, *chosen);
}

}  // namespace backup
