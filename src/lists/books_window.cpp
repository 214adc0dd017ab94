#include "lists/books_window.h"

namespace lists {

BooksWindow::BooksWindow(app::Ledger& ledger, QWidget* journalWindow)
    // Ten pixels below the design's top 198, so that the movements list
    // above, which ends at 206, never covers this window's caption.
    : CodeListWindow(ledger.books(), QStringLiteral("Knihy"), QRect(15, 208, 206, 187),
                     {20, 107, 60}, journalWindow),
      ledger_(ledger) {
  setObjectName(QStringLiteral("Form3"));
  addToolButton(20, "Přidá nový záznam na konec číselníku ...", [this] { ToolButton1Click(); });
  addToolButton(21, "Smaže právě označenou knihu z číselníku ...", [this] { ToolButton2Click(); });
  addToolButton(30, "U právě nastaveného řádku deníku v hlavním okně nastaví tuto knihu ..",
                [this] { ToolButton3Click(); });
  addDeletedRowsButton("Zobrazí smazané knihy a vrátí vybranou zpět ...",
                       QStringLiteral("Smazané záznamy: Knihy"),
                       [this](std::int64_t record) { ledger_.recallBook(record); });
}

void BooksWindow::ToolButton1Click() { ledger_.newBook(); }
void BooksWindow::ToolButton2Click() { ledger_.deleteBook(); }
void BooksWindow::ToolButton3Click() { ledger_.setBookOnJournal(); }

}  // namespace lists
