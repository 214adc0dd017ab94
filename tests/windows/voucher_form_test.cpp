// TForm5, the cash voucher dialog, over a real journal in a working folder:
// its controls, the filling from the journal's current row and its print
// button, which writes out.htm and starts the configured browser.

#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QTest>
#include <QTextDocument>

#include "../print/print_test_support.h"
#include "app/ledger.h"
#include "app/status_line.h"
#include "ledger/ledger_tables.h"
#include "print/config_form.h"
#include "print/voucher.h"
#include "print/voucher_form.h"
#include "window_test_support.h"

using window_testing::MessageBoxCloser;
using window_testing::WorkFolder;
namespace J = ledger::journal;

namespace {

QString plainText(const QString& hint) {
  QTextDocument document;
  document.setHtml(hint);
  return document.toPlainText();
}

QLineEdit* edit(QWidget* form, const char* name) {
  auto* e = form->findChild<QLineEdit*>(QString::fromLatin1(name));
  if (e == nullptr) qFatal("no edit %s", name);
  return e;
}

}  // namespace

class VoucherFormTest : public QObject {
  Q_OBJECT

 private:
  std::unique_ptr<WorkFolder> folder_;
  std::unique_ptr<app::RecordingStatusLine> status_;
  std::unique_ptr<app::Ledger> ledger_;
  std::unique_ptr<QWidget> journalWindow_;
  print::ConfigForm* config_ = nullptr;
  print::VoucherForm* voucher_ = nullptr;
  print_testing::RecordingLauncher launcher_;

  // A journal row as the user types it into the grid.
  void addRow(const char* date, const char* text, const char* plus, const char* minus) {
    ledger::Dataset& journal = ledger_->journal();
    ledger_->newJournalRow();
    journal.edit();
    journal.field(J::DATUM).setAsString(date);
    journal.field(J::TEXT).setAsString(text::toCp1250(text));
    if (*plus) journal.field(J::PLUS).setAsString(plus);
    if (*minus) journal.field(J::MINUS).setAsString(minus);
    journal.post();
  }

 private slots:
  void initTestCase() { QApplication::setQuitOnLastWindowClosed(false); }

  void init() {
    folder_ = std::make_unique<WorkFolder>();
    status_ = std::make_unique<app::RecordingStatusLine>();
    ledger_ = std::make_unique<app::Ledger>(folder_->path(), text::Regional::czech(), *status_);
    ledger_->open();
    journalWindow_ = std::make_unique<QWidget>();
    config_ = new print::ConfigForm(journalWindow_.get());
    config_->loadSettings(app::Settings::defaults(text::Regional::czech(), text::Date::today()));
    voucher_ = new print::VoucherForm(*ledger_, journalWindow_.get(), &launcher_);
    voucher_->setConfigForm(config_);
  }

  void cleanup() {
    journalWindow_.reset();
    ledger_.reset();
    status_.reset();
    folder_.reset();
    launcher_.commandLines.clear();
  }

  void hasItsDesignPlaceCaptionAndFrame() {
    QCOMPARE(voucher_->objectName(), QStringLiteral("Form5"));
    QCOMPARE(voucher_->windowTitle(), QStringLiteral("Tisk dokladu ...."));
    // The design's client area, scaled to fit the texts; fixed.
    QVERIFY(voucher_->width() >= 433 && voucher_->height() >= 135);
    QCOMPARE(voucher_->minimumSize(), voucher_->size());
    QCOMPARE(voucher_->maximumSize(), voucher_->size());
    QCOMPARE(voucher_->pos(), QPoint(505, 31));
    QVERIFY(voucher_->windowFlags().testFlag(Qt::Tool));
    QCOMPARE(voucher_->parentWidget(), journalWindow_.get());
    QVERIFY(!voucher_->isModal());
    QVERIFY(!voucher_->isVisible());
  }

  void controls_data() {
    QTest::addColumn<QString>("editName");
    QTest::addColumn<QRect>("place");
    QTest::addColumn<QString>("hint");
    QTest::addColumn<QString>("initial");
    QTest::addColumn<QString>("labelName");
    QTest::addColumn<QString>("caption");
    QTest::addColumn<QPoint>("labelPlace");
    QTest::newRow("kind") << "Edit1" << QRect(48, 8, 81, 21)
                          << "Označení zda se jedná o příjmový, nebo výdajový doklad" << ""
                          << "Label1" << "Druh " << QPoint(6, 13);
    QTest::newRow("number") << "Edit9" << QRect(176, 8, 81, 21)
                            << "Číslo dokladu ... můžete doplnir rok za lomítko .. a pod.." << ""
                            << "Label9" << "Číslo" << QPoint(142, 11);
    QTest::newRow("date") << "Edit2" << QRect(304, 8, 121, 21) << "Datum vystavení dokladu ..."
                          << "" << "Label2" << "Datum" << QPoint(263, 12);
    QTest::newRow("organisation")
        << "Edit8" << QRect(48, 32, 377, 21)
        << "Název organizace, tak jak bude na dokladu ... <br> nový řádek <b>Tučné písmo</b>" << ""
        << "Label3" << "Firma" << QPoint(6, 35);
    QTest::newRow("purpose") << "Edit4" << QRect(48, 56, 377, 21) << "Účel platby .." << ""
                             << "Label4" << "Účel" << QPoint(6, 59);
    QTest::newRow("issued by") << "Edit5" << QRect(304, 80, 121, 21) << "Obvykle pokladník..." << ""
                               << "Label6" << "Vystavil" << QPoint(263, 84);
    QTest::newRow("approved by") << "Edit6" << QRect(48, 104, 121, 21) << "" << "" << "Label7"
                                 << "Schválil" << QPoint(6, 108);
    QTest::newRow("received by") << "Edit7" << QRect(304, 104, 89, 21) << "" << "" << "Label8"
                                 << "Převzal" << QPoint(263, 108);
    QTest::newRow("amount") << "Edit3" << QRect(48, 80, 121, 21) << "" << "0" << "Label5"
                            << "Částka" << QPoint(6, 84);
  }

  void controls() {
    QFETCH(QString, editName);
    QFETCH(QRect, place);
    QFETCH(QString, hint);
    QFETCH(QString, initial);
    QFETCH(QString, labelName);
    QFETCH(QString, caption);
    QFETCH(QPoint, labelPlace);
    QLineEdit* e = edit(voucher_, editName.toLatin1().constData());
    QVERIFY2(window_testing::placedAsDesigned(e->geometry(), place, {433, 135}, voucher_->size()), qPrintable(editName));
    // Shown as typed: the organisation's hint names the tags, it is no markup.
    QCOMPARE(plainText(e->toolTip()), hint);
    QCOMPARE(e->text(), initial);
    auto* label = voucher_->findChild<QLabel*>(labelName);
    QVERIFY(label != nullptr);
    QCOMPARE(label->text(), caption);
    QVERIFY2(window_testing::placedAsDesigned(QRect(label->pos(), QSize(1, 1)), QRect(labelPlace, QSize(1, 1)),
                                              {433, 135}, voucher_->size()),
             qPrintable(editName));
  }

  void printButtonHasItsPictureAndHint() {
    QPushButton* button = voucher_->printButton();
    QCOMPARE(button->objectName(), QStringLiteral("BitBtn1"));
    QVERIFY(window_testing::placedAsDesigned(button->geometry(), QRect(400, 102, 25, 25), {433, 135}, voucher_->size()));
    QVERIFY(!button->icon().isNull());
    QCOMPARE(button->text(), QString());
    QCOMPARE(plainText(button->toolTip()),
             QStringLiteral("Spustí html prohlížeč na tisk, v prohlížeči tisk zahájíte [Ctrl]+[P]"));
  }

  void tabGoesThroughTheFieldsInTheirOrder() {
    const QStringList expected = {"Edit1", "Edit9", "Edit2", "Edit8", "Edit4",
                                  "Edit5", "Edit6", "Edit7", "BitBtn1", "Edit3"};
    QStringList order;
    QWidget* w = edit(voucher_, "Edit1");
    do {
      if (w->focusPolicy() & Qt::TabFocus) order << w->objectName();
      w = w->nextInFocusChain();
    } while (w != edit(voucher_, "Edit1") && order.size() < 20);
    QCOMPARE(order, expected);
  }

  void showVoucherFillsTheRowFieldsAndShowsTheOrganisation() {
    addRow("1.12.2026", "Výplata", "100", "30");
    addRow("7.12.2026", "Nákup potravin", "", "1234,56");
    voucher_->loadSettings({text::toCp1250("<b>Domácnost</b>"), "Jana", "Petr",
                            text::toCp1250("Luboš"), "", "", "", ""});
    edit(voucher_, "Edit4")->setText(QStringLiteral("stará"));

    voucher_->ShowVoucher();
    QVERIFY(voucher_->isVisible());
    QCOMPARE(edit(voucher_, "Edit1")->text(), QStringLiteral("Výdajový"));
    QCOMPARE(edit(voucher_, "Edit9")->text(), QStringLiteral("2"));
    QCOMPARE(edit(voucher_, "Edit2")->text(), QStringLiteral("7.12.2026"));
    QCOMPARE(edit(voucher_, "Edit4")->text(), QStringLiteral("Nákup potravin"));
    QCOMPARE(edit(voucher_, "Edit3")->text(), QStringLiteral("1234.6"));
    QCOMPARE(edit(voucher_, "Edit8")->text(), QStringLiteral("<b>Domácnost</b>"));
    QCOMPARE(edit(voucher_, "Edit5")->text(), QStringLiteral("Jana"));
    QCOMPARE(edit(voucher_, "Edit6")->text(), QStringLiteral("Petr"));
    QCOMPARE(edit(voucher_, "Edit7")->text(), QStringLiteral("Luboš"));
    QCOMPARE(status_->text(), text::toCp1250("<b>Domácnost</b>"));

    // Again on the first row, the dialog already open.
    ledger_->journal().first();
    voucher_->ShowVoucher();
    QCOMPARE(edit(voucher_, "Edit1")->text(), QStringLiteral("Příjmový"));
    QCOMPARE(edit(voucher_, "Edit3")->text(), QStringLiteral("70.0"));
  }

  void showVoucherOnAnEmptyJournal() {
    voucher_->ShowVoucher();
    QCOMPARE(edit(voucher_, "Edit1")->text(), QStringLiteral("Příjmový"));
    QCOMPARE(edit(voucher_, "Edit9")->text(), QString());
    QCOMPARE(edit(voucher_, "Edit2")->text(), QString());
    QCOMPARE(edit(voucher_, "Edit4")->text(), QString());
    QCOMPARE(edit(voucher_, "Edit3")->text(), QStringLiteral("0.0"));
  }

  void printButtonWritesThePageAndStartsTheBrowser() {
    addRow("7.12.2026", "Nákup", "", "250");
    voucher_->ShowVoucher();
    edit(voucher_, "Edit8")->setText(QStringLiteral("Domácnost <b>Nováků</b>"));
    edit(voucher_, "Edit5")->setText(QStringLiteral("Jana Nováková"));
    const print::VoucherFields typed = voucher_->fields();

    QTest::mouseClick(voucher_->printButton(), Qt::LeftButton);

    const std::string page = testing_support::readFile(*folder_ / "out.htm");
    QCOMPARE(page, print::VoucherPage(typed, text::Regional::czech()));
    QVERIFY(page.find("dv&#283;st&#283;pades\xE1t") != std::string::npos);
    const std::string line = "xdg-open  File://" + folder_->path().string() + "/out.htm";
    QCOMPARE(launcher_.commandLines, std::vector<std::string>{line});
    QCOMPARE(status_->text(), line);
  }

  void theBrowserSettingsAreReadAtEveryPrint() {
    config_->browserEdit()->setText(QStringLiteral("firefox"));
    config_->fileSpecEdit()->setText(QString());
    QTest::mouseClick(voucher_->printButton(), Qt::LeftButton);
    QCOMPARE(launcher_.commandLines.back(), "firefox " + folder_->path().string() + "/out.htm");
  }

  void aFailedPrintWritesNothingAndStartsNoBrowser_data() {
    QTest::addColumn<QString>("field");
    QTest::addColumn<QString>("typed");
    QTest::addColumn<QString>("message");
    QTest::newRow("amount") << "Edit3" << "12 Kč" << "'12 Kč' is not a valid floating point value";
    QTest::newRow("empty amount") << "Edit3" << "" << "'' is not a valid floating point value";
    QTest::newRow("a letter Windows-1250 lacks")
        << "Edit4" << "Жито" << "Edit4: Character U+0416 cannot be stored in Windows-1250";
  }

  void aFailedPrintWritesNothingAndStartsNoBrowser() {
    QFETCH(QString, field);
    QFETCH(QString, typed);
    QFETCH(QString, message);
    edit(voucher_, field.toLatin1().constData())->setText(typed);
    MessageBoxCloser boxes;
    QTest::mouseClick(voucher_->printButton(), Qt::LeftButton);
    QCOMPARE(boxes.texts, QStringList{message});
    QVERIFY(!std::filesystem::exists(*folder_ / "out.htm"));
    QVERIFY(launcher_.commandLines.empty());
    QVERIFY(status_->texts.empty());
    // The dialog keeps what was typed.
    QCOMPARE(edit(voucher_, field.toLatin1().constData())->text(), typed);
  }

  void theFourNamesGoBackToTheSettings() {
    voucher_->loadSettings({"Firma", "A", "B", "C", "1.1.2026", "2.1.2026", "x", "y"});
    edit(voucher_, "Edit8")->setText(QStringLiteral("Nová <br> firma"));
    edit(voucher_, "Edit7")->setText(QString());
    app::Settings settings{"", "", "", "", "1.1.2026", "2.1.2026", "x", "y"};
    voucher_->storeSettings(settings);
    QCOMPARE(settings.firma, text::toCp1250("Nová <br> firma"));
    QCOMPARE(settings.vystavil, std::string("A"));
    QCOMPARE(settings.schvalil, std::string("B"));
    QCOMPARE(settings.prevzal, std::string());
    QCOMPARE(settings.datumOd, std::string("1.1.2026"));
    QCOMPARE(settings.browser, std::string("x"));
  }
};

QTEST_MAIN(VoucherFormTest)
#include "voucher_form_test.moc"
