#include "print/config_form.h"

#include <optional>

#include <QKeyEvent>
#include <QLabel>
#include <QLineEdit>
#include <QResizeEvent>

#include "app/image_list_qt.h"
#include "print/form_text_qt.h"
#include "text/error.h"

namespace print {

namespace {

// The design's client area; both edits end one pixel from its right edge
// and keep that distance when the dialog is stretched.
constexpr int kClientWidth = 277;
constexpr int kClientHeight = 76;
constexpr int kEditHeight = 21;
constexpr int kRightMargin = 1;

}  // namespace

ConfigForm::ConfigForm(QWidget* journalWindow) : QDialog(journalWindow) {
  setObjectName(QStringLiteral("Form7"));
  setWindowTitle(QStringLiteral("Konfigurace..."));
  setWindowIcon(app::imageListIcon(31));
  setModal(false);
  setSizeGripEnabled(false);

  Label1 = new QLabel(QStringLiteral("Příkaz na spuštění prohlížeče"), this);
  Label1->setObjectName(QStringLiteral("Label1"));
  Label1->move(3, 8);
  Label1->adjustSize();

  Edit1 = new QLineEdit(this);
  Edit1->setObjectName(QStringLiteral("Edit1"));
  Edit1->setToolTip(plainHint("Příkaz pro spuštění html prohlížeče (browseru)."));

  Label2 = new QLabel(QStringLiteral("Označení lokálních souborů:"), this);
  Label2->setObjectName(QStringLiteral("Label2"));
  Label2->move(5, 53);
  Label2->adjustSize();

  Edit2 = new QLineEdit(this);
  Edit2->setObjectName(QStringLiteral("Edit2"));
  Edit2->setToolTip(plainHint("Označení, podle kterého html prohlížeč pozná, že se jedná o soubor "
                              "na pevném disku a ne na internetu..."));

  setTabOrder(Edit1, Edit2);
  move(420, 248);
  resize(kClientWidth, kClientHeight);
}

void ConfigForm::resizeEvent(QResizeEvent* event) {
  QDialog::resizeEvent(event);
  // Anchored left, top and right.
  const int right = width() - kRightMargin;
  Edit1->setGeometry(2, 24, std::max(0, right - 2), kEditHeight);
  Edit2->setGeometry(145, 48, std::max(0, right - 145), kEditHeight);
}

std::string ConfigForm::browserCommand() const { return fieldText(*Edit1, "Edit1"); }
std::string ConfigForm::fileSpec() const { return fieldText(*Edit2, "Edit2"); }

void ConfigForm::loadSettings(const app::Settings& settings) {
  setFieldText(*Edit1, settings.browser);
  setFieldText(*Edit2, settings.filespec);
}

void ConfigForm::storeSettings(app::Settings& settings) const {
  // Each field on its own: one that cannot be stored costs that field only.
  std::optional<mincar::Error> failure;
  try {
    settings.browser = browserCommand();
  } catch (const mincar::Error& e) {
    failure = e;
  }
  try {
    settings.filespec = fileSpec();
  } catch (const mincar::Error& e) {
    if (!failure) failure = e;
  }
  if (failure) throw *failure;
}

void ConfigForm::keyPressEvent(QKeyEvent* event) {
  if (event->key() == Qt::Key_Escape && event->modifiers() == Qt::NoModifier) {
    event->accept();
    return;
  }
  QDialog::keyPressEvent(event);
}

}  // namespace print
