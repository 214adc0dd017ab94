#include "app/program_windows_qt.h"

#include <QPointer>

#include "help/help_window.h"
#include "lists/books_window.h"
#include "lists/calendar_window.h"
#include "lists/moves_window.h"
#include "print/book_search_form.h"
#include "print/config_form.h"
#include "print/voucher_form.h"

namespace app {

namespace {

// TForm2 ... TForm8 after the journal window, which owns them.
ProgramWindows createAfter(std::unique_ptr<JournalWindow> journalWindow) {
  ProgramWindows w;
  w.Form1 = std::move(journalWindow);
  JournalWindow* journal = w.Form1.get();
  w.Form2 = new lists::MovesWindow(journal->ledger(), journal);
  w.Form3 = new lists::BooksWindow(journal->ledger(), journal);
  w.Form4 = new lists::CalendarWindow(journal->ledger(), journal);
  w.Form5 = new print::VoucherForm(journal->ledger(), journal);
  print::BookSearchLinks links;
  links.showMovesList = [moves = QPointer<QWidget>(w.Form2)] {
    if (moves && !moves->isVisible()) moves->show();
  };
  links.showBooksList = [books = QPointer<QWidget>(w.Form3)] {
    if (books && !books->isVisible()) books->show();
  };
  links.storeTypedText = [journal] { journal->storeTypedText(); };
  w.Form6 = new print::BookSearchForm(journal->ledger(), journal, links);
  w.Form7 = new print::ConfigForm(journal);
  w.Form5->setConfigForm(w.Form7);
  w.Form6->setConfigForm(w.Form7);
  w.Form8 = new help::HelpWindow(journal);
  journal->setListWindows(w.Form2, w.Form3, w.Form4);
  journal->setDialogs(w.Form5, w.Form6, w.Form7, w.Form8);
  return w;
}

}  // namespace

ProgramWindows createProgramWindows(ProgramData& data) {
  return createAfter(std::make_unique<JournalWindow>(data));
}

ProgramWindows createProgramWindows(const text::Regional& regional, const Settings& defaults) {
  return createAfter(std::make_unique<JournalWindow>(regional, defaults));
}

}  // namespace app
