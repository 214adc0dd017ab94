#include "lists/moves_window.h"

namespace lists {

MovesWindow::MovesWindow(app::Ledger& ledger, QWidget* journalWindow)
    : CodeListWindow(ledger.moves(), QStringLiteral("Pohyby"), QRect(34, 23, 171, 183), {43, 219},
                     journalWindow),
      ledger_(ledger) {
  setObjectName(QStringLiteral("Form2"));
  addToolButton(20, "Přídá nový pohyb do číselníku pohybů...", [this] { ToolButton1Click(); });
  addToolButton(21, "Smaže právě proužkem vybraný pohyb z čísleníku...",
                [this] { ToolButton2Click(); });
  addToolButton(30,
                "U právě vybraného řádku deníku nastaví pohyb, který je v tomto dialogu právě "
                "označen..",
                [this] { ToolButton3Click(); });
  addDeletedRowsButton("Zobrazí smazané pohyby a vrátí vybraný zpět ...",
                       QStringLiteral("Smazané záznamy: Pohyby"),
                       [this](std::int64_t record) { ledger_.recallMove(record); });
}

void MovesWindow::ToolButton1Click() { ledger_.newMove(); }
void MovesWindow::ToolButton2Click() { ledger_.deleteMove(); }
void MovesWindow::ToolButton3Click() { ledger_.setMoveOnJournal(); }

}  // namespace lists
