#pragma once
#include <vector>

namespace app {

// The column scaling of the three grids, run on every resize: the columns'
// current widths are scaled by one common factor so that together they fill
// the grid's width less 25 pixels (room for the vertical scroll bar), each
// cut toward zero. Widths whose sum is 0 are left as they are. A grid no
// wider than 25 pixels leaves the widths alone too: negative widths mean
// nothing, and all-zero widths could never be scaled up again.
void FitGridColumns(int gridWidth, std::vector<int>& columnWidths);

}  // namespace app
