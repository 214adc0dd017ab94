// How long until the journal window shows its first rows: from the start of
// main() to the grid's first paint with rows in it. Run in a folder that
// holds data/ (scripts/bench.sh passes the generated 1M-row journal), under
// QT_QPA_PLATFORM=offscreen when there is no display.
//
// With --daily-backup the start is the first of a day: the day's backup is
// started as main() starts it (its file removed first, so that it is
// written), and the time until the status line tells its outcome is printed
// too; the window's first paint must not wait for it.
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <string_view>
#include <system_error>

#include <QApplication>
#include <QEvent>
#include <QHeaderView>
#include <QTimer>

#include "app/dataset_grid_qt.h"
#include "app/journal_window.h"
#include "app/settings.h"
#include "backup/backup_commands.h"
#include "backup/daily_backup.h"
#include "text/cp1250.h"
#include "text/date.h"
#include "text/regional.h"

namespace {

using Clock = std::chrono::steady_clock;

class FirstPaint : public QObject {
 public:
  FirstPaint(Clock::time_point start, bool exitAtPaint) : start_(start), exitAtPaint_(exitAtPaint) {}
  bool eventFilter(QObject* watched, QEvent* event) override {
    if (event->type() == QEvent::Paint && !done_) {
      done_ = true;
      elapsedMs = std::chrono::duration<double, std::milli>(Clock::now() - start_).count();
      if (exitAtPaint_) QTimer::singleShot(0, qApp, [] { QApplication::exit(0); });
    }
    return QObject::eventFilter(watched, event);
  }
  double elapsedMs = -1;

 private:
  Clock::time_point start_;
  bool exitAtPaint_;
  bool done_ = false;
};

}  // namespace

int main(int argc, char** argv) {
  const Clock::time_point start = Clock::now();
  const bool daily = argc == 3 && std::string_view(argv[2]) == "--daily-backup";
  if (argc != 2 && !daily) {
    std::fprintf(stderr, "usage: mincar-window-start DIR [--daily-backup]\n");
    return 2;
  }
  std::filesystem::current_path(argv[1]);
  if (daily) {
    std::error_code ignored;
    std::filesystem::remove(
        backup::AutomaticBackupFolder(std::filesystem::current_path()) / backup::DailyBackupName(text::Date::today()),
        ignored);
  }
  const text::Regional regional = text::Regional::fromEnvironment();
  const app::Settings defaults = app::Settings::defaults(regional, text::Date::today());
  QApplication application(argc, argv);
  app::JournalWindow window(regional, defaults);
  FirstPaint probe(start, !daily);
  window.grid()->viewport()->installEventFilter(&probe);
  window.show();
  double reportedMs = -1;
  QTimer poll;
  if (daily) {
    window.startDailyBackup();
    QObject::connect(&poll, &QTimer::timeout, [&] {
      if (!window.dailyBackupReported() || probe.elapsedMs < 0) return;
      reportedMs = std::chrono::duration<double, std::milli>(Clock::now() - start).count();
      QApplication::exit(0);
    });
    poll.start(1);
  }
  application.exec();
  const long long rows = window.ledger().journal().recordCount();
  std::printf("window_first_rows %.1f ms (%lld rows)\n", probe.elapsedMs, rows);
  if (daily) {
    std::printf("daily_backup_reported %.1f ms: %s\n", reportedMs,
                text::toUtf8(window.statusLine().text()).c_str());
  }
  std::fflush(stdout);
  // Leave without the close handler, so prop1.txt of the data folder stays as it was.
  std::_Exit(probe.elapsedMs >= 0 ? 0 : 1);
}
