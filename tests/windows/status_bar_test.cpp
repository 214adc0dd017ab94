// StatusBar1: one line of plain text, repainted at a steady pace during a
// long pass and always ending on the last text.

#include <QLabel>
#include <QMainWindow>
#include <QStatusBar>
#include <QTest>

#include "app/error_box_qt.h"
#include "app/status_bar_qt.h"
#include "text/cp1250.h"

class StatusBarTest : public QObject {
  Q_OBJECT

 private slots:
  void theLastTextOfABurstIsShown() {
    QMainWindow window;
    app::StatusBarLine line(*window.statusBar());
    window.show();
    QVERIFY(QTest::qWaitForWindowExposed(&window));
    auto* label = window.statusBar()->findChild<QLabel*>("StatusBar1");
    for (int row = 0; row < 10000; ++row) line.show("řádek " + std::to_string(row));
    line.show(text::toCp1250("Konečné stavy obnoveny..."));
    QCOMPARE(line.text(), text::toCp1250("Konečné stavy obnoveny..."));
    QTRY_COMPARE(label->text(), QStringLiteral("Konečné stavy obnoveny..."));
  }

  void textsAreShownAsTyped() {
    QMainWindow window;
    app::StatusBarLine line(*window.statusBar());
    line.show("<b>Firma</b>");
    auto* label = window.statusBar()->findChild<QLabel*>("StatusBar1");
    QTRY_COMPARE(label->text(), QStringLiteral("<b>Firma</b>"));
    QCOMPARE(label->textFormat(), Qt::PlainText);
  }

  void aLongTextDoesNotWidenTheWindow() {
    QMainWindow window;
    app::StatusBarLine line(*window.statusBar());
    window.resize(300, 200);
    window.show();
    QVERIFY(QTest::qWaitForWindowExposed(&window));
    line.show(std::string(2000, 'x'));
    QTest::qWait(150);
    QCOMPARE(window.width(), 300);
  }
};

int main(int argc, char** argv) {
  app::Application application(argc, argv);
  StatusBarTest test;
  return QTest::qExec(&test, argc, argv);
}

#include "status_bar_test.moc"
