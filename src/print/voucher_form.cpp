#include "print/voucher_form.h"

#include <filesystem>

#include <QLabel>
#include <QLineEdit>
#include <QPushButton>

#include "app/design_fit_qt.h"
#include "app/error_box_qt.h"
#include "app/image_list_qt.h"
#include "print/config_form.h"
#include "text/error.h"
#include "print/form_text_qt.h"
#include "text/regional.h"

namespace print {

namespace {

constexpr int kEditHeight = 21;
constexpr int kLabelHeight = 17;
// The voucher's page, in the working folder.
constexpr const char* kPageFileName = "out.htm";

}  // namespace

VoucherForm::VoucherForm(app::Ledger& ledger, QWidget* journalWindow, BrowserLauncher* launcher)
    // A fixed-size tool window with a small caption, above the journal window.
    : QDialog(journalWindow, Qt::Tool | Qt::MSWindowsFixedSizeDialogHint),
      ledger_(ledger),
      ownLauncher_(launcher == nullptr ? std::make_unique<ShellLauncher>() : nullptr),
      launcher_(launcher == nullptr ? ownLauncher_.get() : launcher) {
  setObjectName(QStringLiteral("Form5"));
  setWindowTitle(QStringLiteral("Tisk dokladu ...."));
  setModal(false);
  setSizeGripEnabled(false);

  struct Item {
    QLineEdit** edit;
    const char* editName;
    const char* labelName;
    const char* caption;
    QPoint labelPlace;  // its room reaches to 3 pixels before the edit
    QRect editPlace;
    const char* hint;
  };
  const Item items[] = {
      {&Edit1, "Edit1", "Label1", "Druh ", {6, 13}, {48, 8, 81, kEditHeight},
       "Označení zda se jedná o příjmový, nebo výdajový doklad"},
      {&Edit9, "Edit9", "Label9", "Číslo", {142, 11}, {176, 8, 81, kEditHeight},
       "Číslo dokladu ... můžete doplnir rok za lomítko .. a pod.."},
      {&Edit2, "Edit2", "Label2", "Datum", {263, 12}, {304, 8, 121, kEditHeight},
       "Datum vystavení dokladu ..."},
      {&Edit8, "Edit8", "Label3", "Firma", {6, 35}, {48, 32, 377, kEditHeight},
       "Název organizace, tak jak bude na dokladu ... <br> nový řádek <b>Tučné písmo</b>"},
      {&Edit4, "Edit4", "Label4", "Účel", {6, 59}, {48, 56, 377, kEditHeight}, "Účel platby .."},
      {&Edit5, "Edit5", "Label6", "Vystavil", {263, 84}, {304, 80, 121, kEditHeight},
       "Obvykle pokladník..."},
      {&Edit6, "Edit6", "Label7", "Schválil", {6, 108}, {48, 104, 121, kEditHeight}, nullptr},
      {&Edit7, "Edit7", "Label8", "Převzal", {263, 108}, {304, 104, 89, kEditHeight}, nullptr},
      {&Edit3, "Edit3", "Label5", "Částka", {6, 84}, {48, 80, 121, kEditHeight}, nullptr},
  };
  // The design's places, scaled so that every label and the date fit.
  app::DesignFit fit(QSize(433, 135));
  for (const Item& item : items) {
    auto* label = new QLabel(QString::fromUtf8(item.caption), this);
    label->setObjectName(QString::fromLatin1(item.labelName));
    label->ensurePolished();
    const QRect room(item.labelPlace, QPoint(item.editPlace.x() - 4, item.labelPlace.y() + kLabelHeight - 1));
    fit.add(label, room, {app::labelWidthFor(*label), label->sizeHint().height()});

    auto* edit = new QLineEdit(this);
    *item.edit = edit;
    edit->setObjectName(QString::fromLatin1(item.editName));
    if (item.hint != nullptr) edit->setToolTip(plainHint(item.hint));
    edit->ensurePolished();
    fit.add(edit, item.editPlace, {0, edit->sizeHint().height()});
  }
  Edit3->setText(QStringLiteral("0"));
  // The date of issue in the regional format, its widest day included.
  const QString dateFormat = QString::fromStdString(ledger_.regional().shortDateFormat);
  fit.add(Edit2, {304, 8, 121, kEditHeight},
          {app::lineEditWidthFor(*Edit2, app::widestDateText(Edit2->fontMetrics(), dateFormat)), 0});

  BitBtn1 = new QPushButton(app::imageListIcon(13), QString(), this);
  BitBtn1->setObjectName(QStringLiteral("BitBtn1"));
  fit.add(BitBtn1, {400, 102, 25, 25}, {});
  fit.apply();
  BitBtn1->setToolTip(
      plainHint("Spustí html prohlížeč na tisk, v prohlížeči tisk zahájíte [Ctrl]+[P]"));
  // Enter in a field prints nothing; only the button does.
  BitBtn1->setAutoDefault(false);
  connect(BitBtn1, &QPushButton::clicked, this,
          [this] { app::runAction(this, [this] { BitBtn1Click(); }); });

  QWidget* tabOrder[] = {Edit1, Edit9, Edit2, Edit8, Edit4, Edit5, Edit6, Edit7, BitBtn1, Edit3};
  for (size_t i = 1; i < std::size(tabOrder); ++i) setTabOrder(tabOrder[i - 1], tabOrder[i]);

  move(505, 31);
  setFixedSize(fit.client());
}

VoucherForm::~VoucherForm() = default;

void VoucherForm::ShowVoucher() {
  // 1. Visible, not modal.
  if (!isVisible()) show();
  // 2. The row's fields.
  FillVoucherFromRow();
  // 3. The organisation in the status line.
  ledger_.status().show(fieldText(*Edit8, "Edit8"));
}

void VoucherForm::FillVoucherFromRow() {
  VoucherFields row;
  print::FillVoucherFromRow(ledger_.journal(), row);
  setFieldText(*Edit1, row.kind);
  setFieldText(*Edit9, row.number);
  setFieldText(*Edit2, row.date);
  setFieldText(*Edit4, row.purpose);
  setFieldText(*Edit3, row.amount);
}

void VoucherForm::loadSettings(const app::Settings& settings) {
  setFieldText(*Edit8, settings.firma);
  setFieldText(*Edit5, settings.vystavil);
  setFieldText(*Edit6, settings.schvalil);
  setFieldText(*Edit7, settings.prevzal);
}

void VoucherForm::storeSettings(app::Settings& settings) const {
  settings.firma = fieldText(*Edit8, "Edit8");
  settings.vystavil = fieldText(*Edit5, "Edit5");
  settings.schvalil = fieldText(*Edit6, "Edit6");
  settings.prevzal = fieldText(*Edit7, "Edit7");
}

VoucherFields VoucherForm::fields() const {
  VoucherFields f;
  f.kind = fieldText(*Edit1, "Edit1");
  f.number = fieldText(*Edit9, "Edit9");
  f.date = fieldText(*Edit2, "Edit2");
  f.organisation = fieldText(*Edit8, "Edit8");
  f.purpose = fieldText(*Edit4, "Edit4");
  f.amount = fieldText(*Edit3, "Edit3");
  f.issuedBy = fieldText(*Edit5, "Edit5");
  f.approvedBy = fieldText(*Edit6, "Edit6");
  f.receivedBy = fieldText(*Edit7, "Edit7");
  return f;
}

void VoucherForm::BitBtn1Click() {
  // The fields, the browser settings and the working folder as they are
  // now; the page is built, written and opened in that order, and a failure
  // at any step leaves no page and starts no browser.
  const VoucherFields typed = fields();
  if (config_ == nullptr) throw mincar::Error("The configuration dialog is missing");
  const std::string command = config_->browserCommand();
  const std::string fileSpec = config_->fileSpec();
  PrintVoucher(typed, ledger_.regional(), std::filesystem::current_path(), kPageFileName,
               {command, fileSpec, ledger_.status(), *launcher_});
}

}  // namespace print
