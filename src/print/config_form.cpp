#include "print/config_form.h"

#include <optional>

#include <QKeyEvent>
#include <QLabel>
#include <QLineEdit>
#include <QResizeEvent>

#include "app/design_fit_qt.h"
#include "app/image_list_qt.h"
#include "print/form_text_qt.h"
#include "text/error.h"

namespace print {

namespace {

// The design's outer size and its client area; both edits end one pixel
// from the right edge and keep that distance when the dialog is stretched.
constexpr QSize kDesignOuter(285, 103);
constexpr QSize kDesignClient(277, 76);
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

  Edit1 = new QLineEdit(this);
  Edit1->setObjectName(QStringLiteral("Edit1"));
  Edit1->setToolTip(plainHint("Příkaz pro spuštění html prohlížeče (browseru)."));

  Label2 = new QLabel(QStringLiteral("Označení lokálních souborů:"), this);
  Label2->setObjectName(QStringLiteral("Label2"));

  Edit2 = new QLineEdit(this);
  Edit2->setObjectName(QStringLiteral("Edit2"));
  Edit2->setToolTip(plainHint("Označení, podle kterého html prohlížeč pozná, že se jedná o soubor "
                              "na pevném disku a ne na internetu..."));

  setTabOrder(Edit1, Edit2);

  // The design's places, scaled so that both labels fit: the first above
  // its edit, the second before its edit with a gap of 3 pixels.
  app::DesignFit fit(kDesignClient);
  for (QWidget* control : std::initializer_list<QWidget*>{Label1, Edit1, Label2, Edit2}) control->ensurePolished();
  fit.add(Label1, {3, 8, 273, 15}, {app::labelWidthFor(*Label1), Label1->sizeHint().height()});
  fit.add(Edit1, {2, 24, 274, kEditHeight}, {0, Edit1->sizeHint().height()});
  fit.add(Label2, {5, 53, 137, 17}, {app::labelWidthFor(*Label2), Label2->sizeHint().height()});
  fit.add(Edit2, {145, 48, 131, kEditHeight}, {0, Edit2->sizeHint().height()});
  fit.apply();
  edit1Place_ = Edit1->geometry();
  edit2Place_ = Edit2->geometry();

  move(420, 248);
  // The design's size is the outer one; the design's client area, scaled,
  // is the least the controls need.
  app::keepOuterSize(this, kDesignOuter.expandedTo(fit.client()), fit.client());
}

void ConfigForm::resizeEvent(QResizeEvent* event) {
  QDialog::resizeEvent(event);
  // Anchored left, top and right: one pixel from the right edge.
  for (auto [edit, place] : {std::pair{Edit1, edit1Place_}, {Edit2, edit2Place_}}) {
    edit->setGeometry(place.x(), place.y(), std::max(0, width() - kRightMargin - place.x()), place.height());
  }
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
