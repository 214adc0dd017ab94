#pragma once
#include <memory>

#include "app/journal_window.h"
#include "app/settings.h"
#include "text/regional.h"

namespace lists {
class MovesWindow;
class BooksWindow;
class CalendarWindow;
}  // namespace lists

namespace app {

// Every window of the program, created hidden in the start-up order TForm1
// ... TForm8; the journal window owns the others.
struct ProgramWindows {
  std::unique_ptr<JournalWindow> Form1;
  lists::MovesWindow* Form2 = nullptr;
  lists::BooksWindow* Form3 = nullptr;
  lists::CalendarWindow* Form4 = nullptr;
  print::VoucherForm* Form5 = nullptr;
  print::BookSearchForm* Form6 = nullptr;
  print::ConfigForm* Form7 = nullptr;
  help::HelpWindow* Form8 = nullptr;
};

// Opens the tables in the current folder as the windows are created; a
// table that cannot be opened throws.
ProgramWindows createProgramWindows(const text::Regional& regional, const Settings& defaults);

}  // namespace app
