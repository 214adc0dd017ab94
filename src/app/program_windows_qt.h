#pragma once
#include <memory>

#include "app/journal_window.h"
#include "app/program_data_qt.h"
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

// The windows over the data main keeps; the journal window opens its
// tables and reads prop1.txt as it is created. A table that cannot be
// opened throws.
ProgramWindows createProgramWindows(ProgramData& data);
// The same with data that the journal window makes and keeps itself, on the
// current folder: for the tests, which keep no data of their own.
ProgramWindows createProgramWindows(const text::Regional& regional, const Settings& defaults);

}  // namespace app
