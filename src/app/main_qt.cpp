// mincar: the program with its windows.
//
//   mincar [FOLDER]          work in FOLDER (created when missing)
//   mincar --default-folder  work in ~/Mincar, as the menu entry starts it
//
// MINCAR_SCREENSHOT=FILE is for the documentation only (scripts/screenshots.sh):
// the program opens the windows MINCAR_SCREENSHOT_WINDOWS names (by their
// names Form2 ... Form8 and SmazaneZaznamy, separated by commas; the three
// small windows when it is not set; and ImportForm: the import's preview of
// the statement file MINCAR_SCREENSHOT_STATEMENT for the book at place
// MINCAR_SCREENSHOT_BOOK of the list, from 0), saves a picture of the whole
// screen to FILE after a
// moment and ends as if closed by the user.

#include <cstdlib>
#include <filesystem>
#include <iostream>
#include <memory>
#include <optional>
#include <string_view>
#include <vector>

#include <QApplication>
#include <QComboBox>
#include <QEventLoop>
#include <QFile>
#include <QPixmap>
#include <QScreen>
#include <QStringList>
#include <QTimer>

#include "app/deleted_rows_window.h"
#include "app/error_box_qt.h"
#include "app/image_list_qt.h"
#include "app/journal_window.h"
#include "app/program_data_qt.h"
#include "app/program_windows_qt.h"
#include "app/version.h"
#include "app/work_folder.h"
#include "lists/books_window.h"
#include "lists/calendar_window.h"
#include "lists/moves_window.h"
#include "help/help_window.h"
#include "import/import_window.h"
#include "print/book_search_form.h"
#include "print/config_form.h"
#include "print/voucher_form.h"
#include "app/settings.h"
#include "text/date.h"
#include "text/regional.h"

namespace {

void takeScreenshotAndQuit(app::JournalWindow& journal, const QString& file,
                           const std::vector<QWidget*>& windows) {
  for (QWidget* window : windows) window->show();
  QTimer::singleShot(1500, &journal, [&journal, file] {
    QPixmap shot = QGuiApplication::primaryScreen()->grabWindow(0);
    if (!shot.save(file)) app::showErrorMessage(nullptr, QStringLiteral("Cannot create file ") + file);
    journal.close();
  });
}

struct StartOptions {
  std::optional<std::filesystem::path> folder;
  bool defaultFolder = false;
};

constexpr const char* kUsage = "usage: mincar [--default-folder | FOLDER]\n";

// --help and --version answer before any window system is needed.
void answerQuestions(int argc, char** argv) {
  for (int i = 1; i < argc; ++i) {
    const std::string_view argument = argv[i];
    if (argument == "--help" || argument == "-h") {
      std::cout << kUsage
                << "\n  FOLDER            work in FOLDER, the folder that holds data/ and prop1.txt\n"
                << "  --default-folder  work in ~/Mincar\n"
                << "Without either, Mincar works in the current folder; in the home folder\n"
                << "itself it works in ~/Mincar. A folder that does not exist is created.\n";
      std::exit(EXIT_SUCCESS);
    }
    if (argument == "--version") {
      std::cout << "mincar " << app::kVersion << "\n";
      std::exit(EXIT_SUCCESS);
    }
  }
}

// The arguments Qt left; exits on wrong usage.
StartOptions readOptions(const QStringList& arguments) {
  StartOptions options;
  for (qsizetype i = 1; i < arguments.size(); ++i) {
    const QString& argument = arguments[i];
    if (argument == QStringLiteral("--default-folder") && !options.folder && !options.defaultFolder) {
      options.defaultFolder = true;
    } else if (!argument.startsWith(QLatin1Char('-')) && !options.folder && !options.defaultFolder) {
      options.folder = std::filesystem::path(argument.toStdString());
    } else {
      std::cerr << kUsage;
      std::exit(2);
    }
  }
  return options;
}

}  // namespace

int main(int argc, char** argv) {
  // 1. The defaults, before any window exists; "today" is fixed once.
  const text::Regional regional = text::Regional::fromEnvironment();
  const app::Settings defaults = app::Settings::defaults(regional, text::Date::today());

  // 2. The application object and its title.
  answerQuestions(argc, argv);
  app::Application application(argc, argv);
  QApplication::setApplicationName(QStringLiteral("Mincar"));
  QApplication::setWindowIcon(app::programIcon());
  QGuiApplication::setDesktopFileName(QStringLiteral("example.mincar.Mincar"));
  const StartOptions options = readOptions(QApplication::arguments());

  // The working folder, created with default settings on first use.
  try {
    app::EnterWorkFolder(app::ChooseWorkFolder(options.folder, options.defaultFolder,
                                               std::filesystem::current_path(), app::HomeFolder()),
                         defaults);
  } catch (const std::exception& error) {
    app::showErrorBox(nullptr, error);
    return EXIT_FAILURE;
  }

  // 3. What the windows work on, kept here until they are gone: the
  //    status line, the ledger of the working folder and the settings.
  auto data = std::make_unique<app::ProgramData>(regional, defaults);

  // 4. The windows, hidden, in the order TForm1 ... TForm8; the journal
  //    window opens the tables and reads prop1.txt. A table that cannot be
  //    opened ends the start-up.
  app::ProgramWindows windows;
  try {
    windows = app::createProgramWindows(*data);
  } catch (const std::exception& error) {
    // The tables opened so far close before the box waits for the user.
    data.reset();
    app::showErrorBox(nullptr, error);
    return EXIT_FAILURE;
  }
  app::JournalWindow* Form1 = windows.Form1.get();

  // 5. The journal window shows; its show handler runs.
  Form1->show();
  const QString screenshot = qEnvironmentVariable("MINCAR_SCREENSHOT");
  // 6. At the first start of a day, the day's backup, beside the window: the
  //    status line tells its outcome when it is done.
  if (screenshot.isEmpty()) Form1->startDailyBackup();
  if (!screenshot.isEmpty()) {
    const QStringList names = qEnvironmentVariable("MINCAR_SCREENSHOT_WINDOWS", QStringLiteral("Form2,Form3,Form4"))
                                  .split(QLatin1Char(','), Qt::SkipEmptyParts);
    std::vector<QWidget*> shown;
    for (QWidget* window : std::initializer_list<QWidget*>{windows.Form2, windows.Form3, windows.Form4, windows.Form5,
                                                           windows.Form6, windows.Form7, windows.Form8,
                                                           Form1->deletedRowsWindow()}) {
      if (names.contains(window->objectName())) shown.push_back(window);
    }
    // The voucher shows the journal's current row, as its command does.
    if (names.contains(QStringLiteral("Form5"))) windows.Form5->ShowVoucher();
    // The import's preview, over the journal.
    const QString statementFile = qEnvironmentVariable("MINCAR_SCREENSHOT_STATEMENT");
    if (names.contains(QStringLiteral("ImportForm")) && !statementFile.isEmpty()) {
      const std::filesystem::path file(QFile::encodeName(statementFile).toStdString());
      // The journal painted first, as when the user opens the preview.
      QEventLoop painted;
      QTimer::singleShot(500, &painted, &QEventLoop::quit);
      painted.exec();
      if (auto statement = bank::readStatementAsking(Form1, Form1->ledger(), file)) {
        auto* preview = new bank::ImportForm(Form1->ledger(), std::move(*statement), statementFile, Form1);
        preview->bookBox()->setCurrentIndex(qEnvironmentVariableIntValue("MINCAR_SCREENSHOT_BOOK"));
        preview->show();
        shown.push_back(preview);
      }
    }
    takeScreenshotAndQuit(*Form1, screenshot, shown);
  }

  // 7. Until the journal window is closed; its close handler writes prop1.txt.
  return application.exec();
}
