// TForm7, the configuration dialog: its controls, the stretching of its two
// fields and the settings it reads and writes.

#include <QLabel>
#include <QLineEdit>
#include <QTest>
#include <QTextDocument>

#include "print/config_form.h"
#include "text/error.h"
#include "window_test_support.h"

namespace {

QString plainText(const QString& hint) {
  QTextDocument document;
  document.setHtml(hint);
  return document.toPlainText();
}

}  // namespace

class ConfigFormTest : public QObject {
  Q_OBJECT

 private:
  std::unique_ptr<QWidget> journalWindow_;
  print::ConfigForm* config_ = nullptr;

 private slots:
  void initTestCase() { QApplication::setQuitOnLastWindowClosed(false); }

  void init() {
    journalWindow_ = std::make_unique<QWidget>();
    config_ = new print::ConfigForm(journalWindow_.get());
  }
  void cleanup() { journalWindow_.reset(); }

  void hasItsCaptionPlaceAndControls() {
    QCOMPARE(config_->objectName(), QStringLiteral("Form7"));
    QCOMPARE(config_->windowTitle(), QStringLiteral("Konfigurace..."));
    QCOMPARE(config_->pos(), QPoint(420, 248));
    // The outer size; offscreen there is no frame.
    QCOMPARE(config_->size().expandedTo({285, 103}), config_->size());
    QVERIFY(!config_->windowIcon().isNull());
    QCOMPARE(config_->parentWidget(), journalWindow_.get());
    QVERIFY(!config_->isModal());
    QVERIFY(!config_->isVisible());
    // No buttons of its own.
    QVERIFY(config_->findChildren<QAbstractButton*>().isEmpty());

    auto* Label1 = config_->findChild<QLabel*>("Label1");
    auto* Label2 = config_->findChild<QLabel*>("Label2");
    QVERIFY(Label1 && Label2);
    QCOMPARE(Label1->text(), QStringLiteral("Příkaz na spuštění prohlížeče"));
    QVERIFY(Label1->x() >= 3 && Label1->y() >= 8);
    QCOMPARE(Label2->text(), QStringLiteral("Označení lokálních souborů:"));
    QVERIFY(Label2->x() >= 5 && Label2->y() >= 53);

    QCOMPARE(config_->browserEdit()->objectName(), QStringLiteral("Edit1"));
    QCOMPARE(config_->fileSpecEdit()->objectName(), QStringLiteral("Edit2"));
    QCOMPARE(plainText(config_->browserEdit()->toolTip()),
             QStringLiteral("Příkaz pro spuštění html prohlížeče (browseru)."));
    QCOMPARE(plainText(config_->fileSpecEdit()->toolTip()),
             QStringLiteral("Označení, podle kterého html prohlížeč pozná, že se jedná o soubor "
                            "na pevném disku a ne na internetu..."));
    // Tab goes from the command to the prefix and back.
    QWidget* next = config_->browserEdit()->nextInFocusChain();
    while (!(next->focusPolicy() & Qt::TabFocus)) next = next->nextInFocusChain();
    QCOMPARE(next, config_->fileSpecEdit());
  }

  void theFieldsStretchWithTheWidth() {
    config_->show();
    QVERIFY(QTest::qWaitForWindowExposed(config_));
    // Both end one pixel from the right edge, at any width.
    // The outer size once the frame is known.
    QTRY_COMPARE(config_->frameGeometry().size().expandedTo({285, 103}), config_->frameGeometry().size());
    QTRY_COMPARE(config_->browserEdit()->geometry().right(), config_->width() - 2);
    QTRY_COMPARE(config_->fileSpecEdit()->geometry().right(), config_->width() - 2);
    const QRect browser = config_->browserEdit()->geometry();
    const QRect fileSpec = config_->fileSpecEdit()->geometry();
    config_->resize(config_->width() + 100, 120);
    QTRY_COMPARE(config_->browserEdit()->geometry(), browser.adjusted(0, 0, 100, 0));
    QCOMPARE(config_->fileSpecEdit()->geometry(), fileSpec.adjusted(0, 0, 100, 0));
    config_->resize(100, 76);
    QTRY_COMPARE(config_->browserEdit()->width(), 97);
    QCOMPARE(config_->fileSpecEdit()->width(), 0);
  }

  void readsAndWritesTheBrowserSettings() {
    app::Settings settings = app::Settings::defaults(text::Regional::czech(), {2026, 12, 7});
    config_->loadSettings(settings);
    QCOMPARE(config_->browserEdit()->text(), QStringLiteral("xdg-open "));
    QCOMPARE(config_->fileSpecEdit()->text(), QStringLiteral("File://"));

    config_->browserEdit()->setText(QStringLiteral("/opt/prohlížeč/bin/start "));
    config_->fileSpecEdit()->setText(QString());
    QCOMPARE(config_->browserCommand(), text::toCp1250("/opt/prohlížeč/bin/start "));
    QCOMPARE(config_->fileSpec(), std::string());
    config_->storeSettings(settings);
    QCOMPARE(settings.browser, text::toCp1250("/opt/prohlížeč/bin/start "));
    QCOMPARE(settings.filespec, std::string());
    QCOMPARE(settings.firma, std::string());
  }

  void refusesALetterThatWindows1250Lacks() {
    config_->browserEdit()->setText(QStringLiteral("браузер "));
    try {
      config_->browserCommand();
      QFAIL("no error");
    } catch (const mincar::Error& e) {
      QCOMPARE(QString::fromLatin1(e.what()),
               QStringLiteral("Edit1: Character U+0431 cannot be stored in Windows-1250"));
    }
    // At close, the bad first field costs that field only: the second is
    // stored all the same.
    config_->fileSpecEdit()->setText(QStringLiteral("file://"));
    app::Settings settings;
    settings.browser = "firefox ";
    try {
      config_->storeSettings(settings);
      QFAIL("no error");
    } catch (const mincar::Error&) {
    }
    QCOMPARE(settings.browser, std::string("firefox "));
    QCOMPARE(settings.filespec, std::string("file://"));
  }
};

QTEST_MAIN(ConfigFormTest)
#include "config_form_test.moc"
