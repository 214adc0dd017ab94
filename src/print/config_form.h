#pragma once
#include <string>

#include <QDialog>
#include <QRect>

#include "app/settings.h"

class QLabel;
class QLineEdit;

namespace print {

// TForm7, the configuration dialog: the browser command and the local-file
// prefix from which every print command builds its command line. It has no
// buttons and checks nothing; the fields are read anew at every launch, and
// the close box only hides the dialog. Both fields stretch with its width.
class ConfigForm : public QDialog {
  Q_OBJECT
 public:
  explicit ConfigForm(QWidget* journalWindow);

  // Edit1 and Edit2 as Windows-1250, for OpenInBrowser. A character that
  // the code page lacks is refused with an error naming the field.
  std::string browserCommand() const;
  std::string fileSpec() const;

  // Settings 7 and 8 into the fields (the journal window's show handler)
  // and back (its close handler).
  void loadSettings(const app::Settings& settings);
  void storeSettings(app::Settings& settings) const;

  QLineEdit* browserEdit() const { return Edit1; }
  QLineEdit* fileSpecEdit() const { return Edit2; }

 protected:
  void resizeEvent(QResizeEvent* event) override;
  // Esc does not hide it: only the close box does.
  void keyPressEvent(QKeyEvent* event) override;

 private:
  QLabel* Label1 = nullptr;
  QLineEdit* Edit1 = nullptr;
  QLabel* Label2 = nullptr;
  QLineEdit* Edit2 = nullptr;
  // The edits' places at the dialog's first size; they stretch from there.
  QRect edit1Place_;
  QRect edit2Place_;
};

}  // namespace print
