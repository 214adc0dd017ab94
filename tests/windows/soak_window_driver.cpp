// One user at the real program window, for the many-users soak: the windows
// are created as the program creates them (offscreen), and the driver works
// them as a user does: the new-row command and typing into the grid, the
// calendar's date stamp, the delete command and the recomputation. Every
// error box is closed and its text logged, in the soak's log format:
//   added ID TEXT PLUS      set ID DATE     deleted ID     gone ID
//   recomputed              refused OP ...  FAILED OP ...
//
//   soak_window_driver WORKDIR LOGFILE OPS SEED
#include <chrono>
#include <cstdlib>
#include <fstream>
#include <random>
#include <string>
#include <vector>

#include <QAction>
#include <QApplication>
#include <QCalendarWidget>
#include <QDate>
#include <QDir>
#include <QPushButton>
#include <QTest>

#include "app/dataset_model.h"
#include "ledger/ledger_tables.h"
#include "window_test_support.h"

namespace {

namespace journal = ledger::journal;

bool isEngineRefusal(const QString& text) {
  return text.contains(QStringLiteral("Record locked by another user.")) ||
         text.contains(QStringLiteral("Record was deleted by another user.")) ||
         text.contains(QStringLiteral("is in use by another user."));
}

class Driver {
 public:
  Driver(app::JournalWindow& window, lists::CalendarWindow& calendar,
         window_testing::MessageBoxCloser& boxes, std::ofstream& log)
      : window_(window), calendar_(calendar), boxes_(boxes), log_(log), ledger_(window.ledger()) {}

  void add(int n) {
    const std::string text = "win-" + std::to_string(n);
    const std::string plus = std::to_string(n) + ",5";
    // The working date of new rows, as the CLI workers give theirs.
    calendar_.calendar()->setSelectedDate(QDate(2026, 5, 1));
    if (!command(action("&Nový řádek"), "add " + text)) return;
    ledger::Dataset& rows = ledger_.journal();
    const std::string id = rows.field(journal::ID).asString();
    // The row is stored by the rule and numbered; now the user types.
    if (!type(journal::TEXT, text) || !type(journal::PLUS, plus) || !store()) {
      log_ << "refused type " << text << " " << lastBox_ << "\n";
      // The user gives up on the row and deletes it.
      cancelPending();
      if (!retrying([&] { return command(action("&Smazat řádek"), "", false); })) {
        log_ << "FAILED add-undo " << id << " " << lastBox_ << "\n";
      }
      return;
    }
    log_ << "added " << id << " " << text << " " << plus << "\n";
    mine_.push_back(id);
  }

  void stamp(std::mt19937& random) {
    const std::string id = mine_[random() % mine_.size()];
    const int day = 1 + static_cast<int>(random() % 28);
    if (!standOn(id)) {
      log_ << "gone " << id << "\n";
      return;
    }
    calendar_.calendar()->setSelectedDate(QDate(2026, 6, day));
    const std::string date = std::to_string(day) + ".6.2026";
    if (!command(calendar_.okButton(), "set " + id) || !store()) {
      cancelPending();
      return;
    }
    log_ << "set " << id << " " << date << "\n";
  }

  void remove(std::mt19937& random) {
    const std::size_t at = random() % mine_.size();
    const std::string id = mine_[at];
    if (!standOn(id)) {
      log_ << "gone " << id << "\n";
      mine_.erase(mine_.begin() + static_cast<long>(at));
      return;
    }
    if (!command(action("&Smazat řádek"), "delete " + id)) return;
    log_ << "deleted " << id << "\n";
    mine_.erase(mine_.begin() + static_cast<long>(at));
  }

  void recompute() {
    if (command(action("Přepočítat zůstatky"), "recompute")) log_ << "recomputed\n";
  }

  bool haveRows() const { return !mine_.empty(); }

 private:
  QAction* action(const char* caption) {
    for (QAction* a : window_.actions()) {
      if (a->text() == QString::fromUtf8(caption)) return a;
    }
    std::fprintf(stderr, "soak_window_driver: no command %s\n", caption);
    std::exit(2);
  }

  // Runs a command as the user's click does; an error box that came up
  // makes it a refusal (logged when `what` is given).
  template <typename Target>
  bool command(Target* target, const std::string& what, bool logIt = true) {
    boxes_.texts.clear();
    if constexpr (std::is_same_v<Target, QAction>) {
      target->trigger();
    } else {
      target->click();
    }
    QApplication::processEvents();
    if (boxes_.texts.isEmpty()) return true;
    lastBox_ = boxes_.texts.join(QStringLiteral(" | ")).toStdString();
    for (char& c : lastBox_) {
      if (c == '\n') c = ' ';
    }
    if (logIt && !what.empty()) {
      log_ << (isEngineRefusal(boxes_.texts.join(' ')) ? "refused " : "FAILED ") << what << " "
           << lastBox_ << "\n";
    }
    return false;
  }

  // Typing into the current row's cell; a refused edit (another copy's pass
  // holds the row for a moment) is typed again, as a user would, for up to
  // 3 s.
  bool type(int column, const std::string& value) {
    return retrying([&] {
      boxes_.texts.clear();
      app::DatasetModel& model = *window_.model();
      const int row = static_cast<int>(ledger_.journal().rowIndex());
      const bool ok = model.setData(model.index(row, column), QString::fromStdString(value));
      QApplication::processEvents();
      if (!boxes_.texts.isEmpty()) lastBox_ = boxes_.texts.join(' ').toStdString();
      return ok && boxes_.texts.isEmpty();
    });
  }

  // Leaving the row stores it.
  bool store() {
    ledger::Dataset& rows = ledger_.journal();
    try {
      if (rows.state() != ledger::DatasetState::Browse) rows.post();
      return true;
    } catch (const std::exception& error) {
      lastBox_ = error.what();
      return false;
    }
  }

  void cancelPending() {
    ledger::Dataset& rows = ledger_.journal();
    if (rows.state() != ledger::DatasetState::Browse) rows.cancel();
  }

  // The cursor on the first row, in natural order, with that number, as
  // the user finds it in the grid.
  bool standOn(const std::string& id) {
    ledger::Dataset& rows = ledger_.journal();
    for (rows.first(); !rows.eof(); rows.next()) {
      if (rows.field(journal::ID).asString() == id) return true;
    }
    return false;
  }

  template <typename Try>
  bool retrying(Try attempt) {
    const auto giveUp = std::chrono::steady_clock::now() + std::chrono::seconds(3);
    for (;;) {
      if (attempt()) return true;
      if (std::chrono::steady_clock::now() >= giveUp) return false;
      QTest::qWait(10);
    }
  }

  app::JournalWindow& window_;
  lists::CalendarWindow& calendar_;
  window_testing::MessageBoxCloser& boxes_;
  std::ofstream& log_;
  app::Ledger& ledger_;
  std::vector<std::string> mine_;
  std::string lastBox_;
};

}  // namespace

int main(int argc, char** argv) {
  if (argc != 5) {
    std::fprintf(stderr, "usage: soak_window_driver WORKDIR LOGFILE OPS SEED\n");
    return 2;
  }
  QApplication application(argc, argv);
  QApplication::setQuitOnLastWindowClosed(false);
  if (!QDir::setCurrent(QString::fromLocal8Bit(argv[1]))) {
    std::fprintf(stderr, "soak_window_driver: cannot enter %s\n", argv[1]);
    return 2;
  }
  std::ofstream log(argv[2]);
  const int ops = std::atoi(argv[3]);
  std::mt19937 random(static_cast<unsigned>(std::atoi(argv[4])));

  // Also closes the start-up's box when prop1.txt is not there yet.
  window_testing::MessageBoxCloser boxes;
  window_testing::ProgramWindows windows;
  windows.journal->show();
  QApplication::processEvents();
  Driver driver(*windows.journal, *windows.calendar, boxes, log);
  for (int n = 0; n < ops; ++n) {
    const int pick = static_cast<int>(random() % 100);
    if (pick < 50 || !driver.haveRows()) {
      driver.add(n);
    } else if (pick < 70) {
      driver.stamp(random);
    } else if (pick < 80) {
      driver.remove(random);
    } else {
      driver.recompute();
    }
    log.flush();
    // A user is slower than a script; this keeps the window at work while
    // the command-line users run.
    QTest::qWait(10);
  }
  windows.journal->close();
  return 0;
}
