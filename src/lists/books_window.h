#pragma once
#include "app/ledger.h"
#include "lists/code_list_window.h"

namespace lists {

// TForm3, the books list: the books table in a grid; its current row is
// the current book of new journal rows.
class BooksWindow : public CodeListWindow {
  Q_OBJECT
 public:
  BooksWindow(app::Ledger& ledger, QWidget* journalWindow);

 private:
  void ToolButton1Click();  // new book
  void ToolButton2Click();  // delete the current book, without a question
  void ToolButton3Click();  // this book on the journal's current row

  app::Ledger& ledger_;
};

}  // namespace lists
