#include "app/error_box_qt.h"

#include <QLibraryInfo>
#include <QLocale>
#include <QMessageBox>
#include <QTranslator>

#include "text/cp1250.h"
#include "text/error.h"

namespace app {

QString errorText(const std::exception& error) {
  if (dynamic_cast<const mincar::Error*>(&error) != nullptr) {
    return QString::fromUtf8(text::toUtf8(error.what()));
  }
  return QString::fromUtf8(error.what());
}

void showErrorMessage(QWidget* parent, const QString& text) {
  QMessageBox box(QMessageBox::Critical, QStringLiteral("Mincar"), text, QMessageBox::Ok,
                  parent);
  box.exec();
}

void showErrorBox(QWidget* parent, const std::exception& error) {
  showErrorMessage(parent, errorText(error));
}

Application::Application(int& argc, char** argv) : QApplication(argc, argv) {
  // Qt's own dialogs and buttons (file dialogs, Yes and No, date pickers)
  // speak Czech like the rest of the windows. Without the translations
  // installed they stay in English.
  auto* translator = new QTranslator(this);
  if (translator->load(QLocale(QLocale::Czech, QLocale::CzechRepublic), QStringLiteral("qtbase"), QStringLiteral("_"),
                       QLibraryInfo::path(QLibraryInfo::TranslationsPath))) {
    installTranslator(translator);
  }
}

bool Application::notify(QObject* receiver, QEvent* event) {
  try {
    return QApplication::notify(receiver, event);
  } catch (const std::exception& error) {
    showErrorBox(activeWindow(), error);
  } catch (...) {
    // Not one of ours nor the runtime's: still say that the action failed.
    showErrorMessage(activeWindow(), QStringLiteral("Unknown error"));
  }
  return false;
}

}  // namespace app
