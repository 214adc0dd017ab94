#pragma once
#include <QIcon>

namespace app {

// ImageList1: the pictures of the journal window's menu and tool bar,
// shared with the tool bars of the code lists, by their image index.
QIcon imageListIcon(int index);
// The program's window icon.
QIcon programIcon();

}  // namespace app
