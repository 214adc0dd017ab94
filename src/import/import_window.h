#pragma once
#include <filesystem>
#include <optional>
#include <string>
#include <vector>

#include <QDialog>
#include <QString>

#include "app/ledger.h"
#include "import/csv_reader.h"
#include "import/journal_import.h"
#include "import/statement.h"

class QComboBox;
class QLabel;
class QPushButton;
class QTableWidget;

namespace bank {

// Asks which column of a CSV file is which, when its header does not say.
// Each role offers "(žádný)" and the file's columns by number and header.
class CsvColumnsForm : public QDialog {
  Q_OBJECT
 public:
  CsvColumnsForm(const std::vector<std::string>& header, const QString& fileName, QWidget* parent);
  // What the user chose; only once the dialog is accepted.
  CsvColumns columns() const;
  QComboBox* roleBox(int role) const { return boxes_[static_cast<size_t>(role)]; }
  QPushButton* okButton() const { return ok_; }

 private:
  void updateOk();
  std::vector<QComboBox*> boxes_;
  QPushButton* ok_ = nullptr;
};

// The preview of an import: the book and movement kind the rows go to, the
// rows to be added and those skipped as already in the book, and the
// statement's balances when it gives them. "Importovat" adds the rows by
// the journal's new-row rule, all or nothing.
class ImportForm : public QDialog {
  Q_OBJECT
 public:
  ImportForm(app::Ledger& ledger, Statement statement, const QString& fileName, QWidget* parent);

  QComboBox* bookBox() const { return bookBox_; }
  QComboBox* moveBox() const { return moveBox_; }
  QTableWidget* rowsTable() const { return rows_; }
  QLabel* countsLabel() const { return counts_; }
  QPushButton* importButton() const { return import_; }
  // The rows added by the last accepted import.
  std::size_t added() const { return added_; }

 private:
  struct ListRow {
    std::int64_t record;
    double id;
  };
  void fillLists();
  void rematch();
  void importRows();

  app::Ledger& ledger_;
  Statement statement_;
  Match match_;
  std::vector<ListRow> books_, moves_;
  QComboBox* bookBox_ = nullptr;
  QComboBox* moveBox_ = nullptr;
  QTableWidget* rows_ = nullptr;
  QLabel* counts_ = nullptr;
  QPushButton* import_ = nullptr;
  std::size_t added_ = 0;
};

// "Import výpisu..." of the journal window: a statement file chosen in a
// file dialog, read whole (asking for the CSV columns when the header does
// not name them), shown in the preview and, when confirmed, imported. A
// file that cannot be read is refused with its file, line and field before
// anything changes.
void ImportStatement(QWidget* window, app::Ledger& ledger);

// The statement in the file, read whole; asks for the CSV columns when the
// header does not name them, and gives nothing when the user cancels that.
std::optional<Statement> readStatementAsking(QWidget* window, const app::Ledger& ledger,
                                            const std::filesystem::path& file);

// The file dialog's filter, as the user reads it.
QString statementFilterText();

}  // namespace bank
