// How a keystroke in the search dialog's filter text feels in the journal
// window over a big journal: how long the keystroke keeps the window busy
// (the filter applied, the grid's first step and its repaint), then how long
// the grid takes to learn the rest of its rows, a step each turn of the
// event loop, and the longest of those turns. Run in a folder that holds
// data/ and a prop1.txt (scripts/bench.sh passes a copy of the generated
// 1M-row journal), under QT_QPA_PLATFORM=offscreen when there is no display.
#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <filesystem>

#include <QApplication>
#include <QLineEdit>

#include "app/dataset_grid_qt.h"
#include "app/dataset_model.h"
#include "app/journal_window.h"
#include "app/settings.h"
#include "print/book_search_form.h"
#include "text/date.h"
#include "text/regional.h"

namespace {

using Clock = std::chrono::steady_clock;

double msSince(Clock::time_point start) {
  return std::chrono::duration<double, std::milli>(Clock::now() - start).count();
}

struct Turns {
  int count = 0;
  double longestMs = 0;
  double totalMs = 0;
};

// Turns of the event loop until the grid knows all its rows.
Turns untilAllKnown(app::DatasetModel& model) {
  Turns turns;
  const Clock::time_point start = Clock::now();
  while (model.canFetchMore({})) {
    const Clock::time_point turn = Clock::now();
    QApplication::processEvents();
    turns.longestMs = std::max(turns.longestMs, msSince(turn));
    ++turns.count;
  }
  turns.totalMs = msSince(start);
  return turns;
}

}  // namespace

int main(int argc, char** argv) {
  if (argc != 2) {
    std::fprintf(stderr, "usage: mincar-window-keystroke DIR\n");
    return 2;
  }
  std::filesystem::current_path(argv[1]);
  const text::Regional regional = text::Regional::fromEnvironment();
  const app::Settings defaults = app::Settings::defaults(regional, text::Date::today());
  QApplication application(argc, argv);
  app::JournalWindow window(regional, defaults);
  window.show();
  app::DatasetModel& model = *window.model();
  untilAllKnown(model);
  print::BookSearchForm form(window.ledger(), &window, {}, nullptr);
  form.show();
  QApplication::processEvents();

  // The user types "nákup", clears the field, types a text that no row holds.
  for (const char* typed : {"n", "ná", "nák", "náku", "nákup", "", "xyz"}) {
    const Clock::time_point start = Clock::now();
    form.filterEdit()->setText(QString::fromUtf8(typed));
    window.grid()->viewport()->repaint();
    const double keystroke = msSince(start);
    const int firstRows = model.rowCount();
    const Turns rest = untilAllKnown(model);
    std::printf("window_keystroke '%s': %.2f ms (%d rows shown), all %d rows known %.1f ms later in %d turns, "
                "longest turn %.2f ms\n",
                typed, keystroke, firstRows, model.rowCount(), rest.totalMs, rest.count, rest.longestMs);
  }
  std::fflush(stdout);
  // Leave without the close handler, so prop1.txt of the data folder stays as it was.
  std::_Exit(0);
}
