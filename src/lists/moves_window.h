#pragma once
#include "app/ledger.h"
#include "lists/code_list_window.h"

namespace lists {

// TForm2, the movements list: the movement kinds in a grid; its current row
// is the current movement of new journal rows.
class MovesWindow : public CodeListWindow {
  Q_OBJECT
 public:
  MovesWindow(app::Ledger& ledger, QWidget* journalWindow);

 private:
  void ToolButton1Click();  // new movement
  void ToolButton2Click();  // delete the current movement, without a question
  void ToolButton3Click();  // this movement on the journal's current row

  app::Ledger& ledger_;
};

}  // namespace lists
