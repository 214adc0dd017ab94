#pragma once
// What the window tests share: a working folder per test, the program's
// windows created as the program creates them, and the closing of modal
// boxes so that no test can hang on one.

#include <cmath>
#include <filesystem>
#include <functional>
#include <memory>
#include <string>

#include <QAbstractButton>
#include <QApplication>
#include <QDir>
#include <QFileDialog>
#include <QLineEdit>
#include <QMessageBox>
#include <QStringList>
#include <QTemporaryDir>
#include <QTest>
#include <QTimer>

#include "app/journal_window.h"
#include "app/program_windows_qt.h"
#include "help/help_window.h"
#include "print/config_form.h"
#include "print/voucher_form.h"
#include "app/settings.h"
#include "lists/books_window.h"
#include "lists/calendar_window.h"
#include "lists/moves_window.h"
#include "test_support.h"
#include "text/cp1250.h"
#include "text/date.h"
#include "text/regional.h"

namespace window_testing {

// Closes every message box that comes up while it lives, with the given
// button, and keeps the boxes' texts.
class MessageBoxCloser : public QObject {
 public:
  explicit MessageBoxCloser(QMessageBox::StandardButton answer = QMessageBox::Ok)
      : answer_(answer) {
    connect(&timer_, &QTimer::timeout, this, &MessageBoxCloser::poll);
    timer_.start(10);
  }
  QStringList texts;

 private:
  void poll() {
    auto* box = qobject_cast<QMessageBox*>(QApplication::activeModalWidget());
    if (box == nullptr || !box->isVisible()) return;
    texts << box->text();
    QAbstractButton* button = box->button(answer_);
    if (button == nullptr) button = box->buttons().value(0);
    button->click();
  }
  QMessageBox::StandardButton answer_;
  QTimer timer_;
};

// Does `act` to the first modal dialog of type T that comes up, once.
template <typename T>
class ModalAnswer : public QObject {
 public:
  explicit ModalAnswer(std::function<void(T&)> act) : act_(std::move(act)) {
    connect(&timer_, &QTimer::timeout, this, [this] {
      auto* dialog = qobject_cast<T*>(QApplication::activeModalWidget());
      if (dialog == nullptr || !dialog->isVisible() || answered) return;
      answered = true;
      timer_.stop();
      act_(*dialog);
    });
    timer_.start(10);
  }
  bool answered = false;

 private:
  std::function<void(T&)> act_;
  QTimer timer_;
};

// Answers the next file dialog that comes up: looks at it, then types the
// name into it, as the user may type a full name, and accepts; or cancels
// when the name is empty.
class FileDialogAnswer : public ModalAnswer<QFileDialog> {
 public:
  using Look = std::function<void(QFileDialog&)>;
  explicit FileDialogAnswer(QString choose, Look look = {})
      : ModalAnswer<QFileDialog>([choose = std::move(choose), look = std::move(look)](QFileDialog& dialog) {
          if (look) look(dialog);
          if (choose.isEmpty()) {
            dialog.reject();
            return;
          }
          auto* name = dialog.findChild<QLineEdit*>(QStringLiteral("fileNameEdit"));
          QVERIFY(name != nullptr);
          name->setText(choose);
          static_cast<QDialog&>(dialog).accept();  // as the dialog's own button does
        }) {}
};

// A fresh folder that is the working folder while the object lives.
class WorkFolder {
 public:
  WorkFolder() : previous_(QDir::currentPath()) { QDir::setCurrent(dir_.path()); }
  ~WorkFolder() { QDir::setCurrent(previous_); }
  std::filesystem::path path() const { return dir_.path().toStdString(); }
  std::filesystem::path operator/(const std::string& name) const { return path() / name; }

  // prop1.txt of a program that has run before, values given in UTF-8.
  void writeSettings(const std::string& firma = "Domácnost", const std::string& datumOd = "1.12.2026",
                     const std::string& datumDo = "31.12.2026") const {
    const std::string lines[8][2] = {
        {"Firma =", firma},         {"Vystavil =", " "},      {"Schvalil =", " "},
        {"Prevzal =", " "},         {"Datum od =", datumOd}, {"Datum do =", datumDo},
        {"Browser =", "xdg-open "}, {"Filespec =", "File://"}};
    std::string bytes;
    for (const auto& line : lines) bytes += line[0] + ";" + line[1] + ";\n\r";
    testing_support::writeFile(path() / "prop1.txt", text::toCp1250(bytes));
  }

 private:
  QTemporaryDir dir_;
  QString previous_;
};

// TForm1 ... TForm4, created hidden in the program's order.
struct ProgramWindows {
  std::unique_ptr<app::JournalWindow> journal;
  lists::MovesWindow* moves = nullptr;
  lists::BooksWindow* books = nullptr;
  lists::CalendarWindow* calendar = nullptr;
  app::ProgramWindows all;

  ProgramWindows() {
    const text::Regional regional = text::Regional::fromEnvironment();
    all = app::createProgramWindows(regional, app::Settings::defaults(regional, text::Date::today()));
    journal = std::move(all.Form1);
    moves = all.Form2;
    books = all.Form3;
    calendar = all.Form4;
  }
};

// A design rectangle as a window that scaled its design client area to
// `client` places it: every edge scaled by the same factors, to a pixel.
inline bool placedAsDesigned(const QRect& actual, const QRect& design, QSize designClient, QSize client) {
  const double x = static_cast<double>(client.width()) / designClient.width();
  const double y = static_cast<double>(client.height()) / designClient.height();
  auto near = [](int got, double wanted) { return std::abs(got - wanted) <= 1.5; };
  return near(actual.left(), design.left() * x) && near(actual.top(), design.top() * y) &&
         near(actual.left() + actual.width(), (design.left() + design.width()) * x) &&
         near(actual.top() + actual.height(), (design.top() + design.height()) * y);
}

inline QString fromCp1250(const std::string& bytes) {
  return QString::fromUtf8(text::toUtf8(bytes));
}

}  // namespace window_testing
