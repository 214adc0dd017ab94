#pragma once
#include <QIcon>

namespace app {

// ImageList1: the pictures of the journal window's menu and tool bar,
// shared with the tool bars of the code lists, by their image index.
QIcon imageListIcon(int index);
// The pictures added after the original 32: the deleted rows (a waste bin)
// and taking a deleted row back (a green arrow turning back).
inline constexpr int kDeletedRowsImage = 35;
inline constexpr int kRecallImage = 36;
// The program's window icon.
QIcon programIcon();

}  // namespace app
