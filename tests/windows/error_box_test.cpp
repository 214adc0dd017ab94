// The one error display: texts as the user reads them, and the net at the
// event loop for an error that no action caught.

#include <QFile>
#include <QLibraryInfo>
#include <QMessageBox>
#include <QPushButton>
#include <QTest>
#include <QTimer>

#include "app/error_box_qt.h"
#include "text/error.h"
#include "window_test_support.h"

using window_testing::MessageBoxCloser;

class ErrorBoxTest : public QObject {
  Q_OBJECT

 private slots:
  void texts_data() {
    QTest::addColumn<QString>("shown");
    QTest::addColumn<QString>("expected");
    // The core's texts are Windows-1250: "Soubor nelze otevřít".
    QTest::newRow("core error") << app::errorText(mincar::Error("Soubor nelze otev\xf8\xedt"))
                                << QStringLiteral("Soubor nelze otevřít");
    // The runtime's own texts are UTF-8.
    QTest::newRow("runtime error") << app::errorText(std::runtime_error("chyba – žádná"))
                                   << QStringLiteral("chyba – žádná");
  }

  void texts() {
    QFETCH(QString, shown);
    QFETCH(QString, expected);
    QCOMPARE(shown, expected);
  }

  // Qt's own buttons speak Czech like the windows.
  void qtsOwnButtonsSpeakCzech() {
    const QString translations = QLibraryInfo::path(QLibraryInfo::TranslationsPath) + "/qtbase_cs.qm";
    if (!QFile::exists(translations)) {
      if (qEnvironmentVariableIsSet("CI") && qgetenv("CI") != "false") QFAIL("Qt's Czech translations are missing");
      QSKIP("Qt's Czech translations are not installed");
    }
    QMessageBox box(QMessageBox::Question, QStringLiteral("Mincar"), QStringLiteral("?"),
                    QMessageBox::Yes | QMessageBox::No | QMessageBox::Cancel);
    QCOMPARE(box.button(QMessageBox::Yes)->text().remove('&'), QStringLiteral("Ano"));
    QCOMPARE(box.button(QMessageBox::No)->text().remove('&'), QStringLiteral("Ne"));
    QCOMPARE(box.button(QMessageBox::Cancel)->text().remove('&'), QStringLiteral("Zrušit"));
  }

  void anActionEndsAtItsErrorAndShowsItOnce() {
    MessageBoxCloser boxes;
    bool after = false;
    const bool done = app::runAction(nullptr, [&] {
      throw mincar::Error("Table1: Cannot perform this operation on an empty dataset");
      after = true;
    });
    QVERIFY(!done);
    QVERIFY(!after);
    QCOMPARE(boxes.texts,
             QStringList({"Table1: Cannot perform this operation on an empty dataset"}));
  }

  void anErrorThatReachesTheEventLoopIsShownAndTheProgramGoesOn() {
    MessageBoxCloser boxes;
    QTimer::singleShot(0, [] { throw mincar::Error("Invalid value for field 'PLUS'"); });
    QTRY_COMPARE(boxes.texts, QStringList({"Invalid value for field 'PLUS'"}));
    bool later = false;
    QTimer::singleShot(0, [&] { later = true; });
    QTRY_VERIFY(later);
  }
};

int main(int argc, char** argv) {
  app::Application application(argc, argv);
  ErrorBoxTest test;
  return QTest::qExec(&test, argc, argv);
}

#include "error_box_test.moc"
