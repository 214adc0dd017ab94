// How long until the journal window shows its first rows: from the start of
// main() to the grid's first paint with rows in it. Run in a folder that
// holds data/ (scripts/bench.sh passes the generated 1M-row journal), under
// QT_QPA_PLATFORM=offscreen when there is no display.
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <filesystem>

#include <QApplication>
#include <QEvent>
#include <QHeaderView>
#include <QTimer>

#include "app/dataset_grid_qt.h"
#include "app/journal_window.h"
#include "app/settings.h"
#include "text/date.h"
#include "text/regional.h"

namespace {

using Clock = std::chrono::steady_clock;

class FirstPaint : public QObject {
 public:
  explicit FirstPaint(Clock::time_point start) : start_(start) {}
  bool eventFilter(QObject* watched, QEvent* event) override {
    if (event->type() == QEvent::Paint && !done_) {
      done_ = true;
      elapsedMs = std::chrono::duration<double, std::milli>(Clock::now() - start_).count();
      QTimer::singleShot(0, qApp, [] { QApplication::exit(0); });
    }
    return QObject::eventFilter(watched, event);
  }
  double elapsedMs = -1;

 private:
  Clock::time_point start_;
  bool done_ = false;
};

}  // namespace

int main(int argc, char** argv) {
  const Clock::time_point start = Clock::now();
  if (argc != 2) {
    std::fprintf(stderr, "usage: mincar-window-start DIR\n");
    return 2;
  }
  std::filesystem::current_path(argv[1]);
  const text::Regional regional = text::Regional::fromEnvironment();
  const app::Settings defaults = app::Settings::defaults(regional, text::Date::today());
  QApplication application(argc, argv);
  app::JournalWindow window(regional, defaults);
  FirstPaint probe(start);
  window.grid()->viewport()->installEventFilter(&probe);
  window.show();
  application.exec();
  const long long rows = window.ledger().journal().recordCount();
  std::printf("window_first_rows %.1f ms (%lld rows)\n", probe.elapsedMs, rows);
  std::fflush(stdout);
  // Leave without the close handler, so prop1.txt of the data folder stays as it was.
  std::_Exit(probe.elapsedMs >= 0 ? 0 : 1);
}
