#pragma once
#include <memory>

#include <QDialog>

#include "app/ledger.h"
#include "app/settings.h"
#include "print/browser.h"
#include "print/voucher.h"

class QLabel;
class QLineEdit;
class QPushButton;

namespace print {

class ConfigForm;

// TForm5, the cash voucher dialog: the items of one voucher, filled from the
// journal's current row by ShowVoucher and editable, and the print button
// that writes "out.htm" in the working folder and starts the browser of the
// configuration dialog on it. The organisation and the three names persist
// through prop1.txt. A small tool window above the journal window; its close
// box only hides it.
class VoucherForm : public QDialog {
  Q_OBJECT
 public:
  // launcher: how the browser is started; the interpreter when null.
  VoucherForm(app::Ledger& ledger, QWidget* journalWindow, BrowserLauncher* launcher = nullptr);
  ~VoucherForm() override;

  // The journal window's voucher command (ToolButton9, "Tisk dokladu"): the
  // dialog visible (it stays so when it is), the row's fields filled, the
  // organisation in the status line.
  void ShowVoucher();
  // The kind, number, date, purpose and amount from the journal's current
  // row; the organisation and the names stay.
  void FillVoucherFromRow();

  // Settings 1 to 4 into Edit8, Edit5, Edit6, Edit7 (the journal window's
  // show handler) and back (its close handler).
  void loadSettings(const app::Settings& settings);
  void storeSettings(app::Settings& settings) const;

  // The fields' texts as Windows-1250; a character that the code page lacks
  // is refused with an error naming the field.
  VoucherFields fields() const;

  QPushButton* printButton() const { return BitBtn1; }

  // The configuration dialog whose browser command the print button uses;
  // it is created after this one (TForm7 after TForm5).
  void setConfigForm(const ConfigForm* config) { config_ = config; }

 private:
  void BitBtn1Click();

  app::Ledger& ledger_;
  const ConfigForm* config_ = nullptr;
  std::unique_ptr<BrowserLauncher> ownLauncher_;
  BrowserLauncher* launcher_;

  QLineEdit* Edit1 = nullptr;  // kind
  QLineEdit* Edit9 = nullptr;  // number
  QLineEdit* Edit2 = nullptr;  // date
  QLineEdit* Edit8 = nullptr;  // organisation
  QLineEdit* Edit4 = nullptr;  // purpose
  QLineEdit* Edit5 = nullptr;  // issued by
  QLineEdit* Edit6 = nullptr;  // approved by
  QLineEdit* Edit7 = nullptr;  // received by
  QPushButton* BitBtn1 = nullptr;
  QLineEdit* Edit3 = nullptr;  // amount
};

}  // namespace print
