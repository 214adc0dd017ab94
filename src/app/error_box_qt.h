#pragma once
#include <exception>

#include <QApplication>
#include <QString>

class QWidget;

namespace app {

// The text of an error as the user reads it. The core's mincar::Error
// carries Windows-1250 bytes; the runtime's other exceptions carry UTF-8.
QString errorText(const std::exception& error);

// The one error display of the windows: a message box with the text, titled
// with the program's name, as the toolkit shows an error that ends an action.
void showErrorMessage(QWidget* parent, const QString& text);
void showErrorBox(QWidget* parent, const std::exception& error);

// Runs one user action. An error ends the action where it was raised and is
// shown once; what was already done stays done. Returns whether it ended
// without an error.
template <typename Action>
bool runAction(QWidget* parent, Action&& action) {
  try {
    action();
    return true;
  } catch (const std::exception& error) {
    showErrorBox(parent, error);
    return false;
  }
}

// The application object. Every action is run through runAction; this is
// the net below them: an error that still reaches the event loop is shown
// in the same box instead of ending the program.
class Application : public QApplication {
 public:
  Application(int& argc, char** argv);
  bool notify(QObject* receiver, QEvent* event) override;
};

}  // namespace app
