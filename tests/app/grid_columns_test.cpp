#include "app/grid_columns.h"

#include <gtest/gtest.h>

#include <cstdlib>
#include <numeric>
#include <vector>

namespace {

using app::FitGridColumns;

struct FitCase {
  const char* what;
  int gridWidth;
  std::vector<int> before;
  std::vector<int> after;
};

TEST(FitGridColumns, ScalesByOneFactorAndCutsTowardZero) {
  const FitCase cases[] = {
      {"books list at 212: factor 187/187", 212, {20, 107, 60}, {20, 107, 60}},
      {"books list at 117: factor 92/187", 117, {20, 107, 60}, {9, 52, 29}},
      {"journal at its design size: factor 607/595", 632,
       {28, 25, 27, 51, 329, 45, 45, 45}, {28, 25, 27, 52, 335, 45, 45, 45}},
      {"movements list wider", 300, {43, 219}, {45, 229}},
      {"all columns at 0 stay", 632, {0, 0, 0}, {0, 0, 0}},
      {"no columns", 632, {}, {}},
      {"a grid of 25 pixels has no room to fill", 25, {20, 107, 60}, {20, 107, 60}},
      {"a grid narrower than 25 pixels", 10, {20, 107, 60}, {20, 107, 60}},
      {"one pixel of room", 26, {20, 107, 60}, {0, 0, 0}},
  };
  for (const FitCase& c : cases) {
    std::vector<int> widths = c.before;
    FitGridColumns(c.gridWidth, widths);
    EXPECT_EQ(widths, c.after) << c.what;
  }
}

TEST(FitGridColumns, NarrowerThenWiderKeepsTheProportionsWithinAFewPixels) {
  const std::vector<int> design = {28, 25, 27, 51, 329, 45, 45, 45};
  std::vector<int> shown = design;
  FitGridColumns(632, shown);
  const std::vector<int> atDesignSize = shown;

  for (int narrower : {600, 500, 400}) {
    std::vector<int> widths = atDesignSize;
    FitGridColumns(narrower, widths);
    FitGridColumns(632, widths);
    int total = std::accumulate(widths.begin(), widths.end(), 0);
    EXPECT_LE(total, 632 - 25) << narrower;
    for (size_t i = 0; i < widths.size(); ++i) {
      // Each step cuts less than a pixel per column; scaling back spreads
      // the lost pixels over the columns by their share.
      EXPECT_LE(std::abs(widths[i] - atDesignSize[i]), 5)
          << "column " << i << " after " << narrower;
    }
  }
}

}  // namespace
