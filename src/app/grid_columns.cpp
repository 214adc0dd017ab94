#include "app/grid_columns.h"

#include <cstdint>

namespace app {

void FitGridColumns(int gridWidth, std::vector<int>& columnWidths) {
  // 1. The width the columns may fill.
  const int available = gridWidth - 25;
  if (available <= 0) return;
  // 2.-3. Their current total; nothing to scale when it is 0.
  std::int64_t sum = 0;
  for (int w : columnWidths) sum += w;
  if (sum == 0) return;
  // 4. One factor for all columns, so that they keep their proportions.
  const double factor = static_cast<double>(available) / static_cast<double>(sum);
  // 5. The conversion cuts toward zero: each column loses up to one pixel.
  for (int& w : columnWidths) w = static_cast<int>(static_cast<double>(w) * factor);
}

}  // namespace app
