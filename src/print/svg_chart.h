#pragma once
#include <string>
#include <string_view>
#include <vector>

#include "print/amount_text.h"

// Charts as inline SVG markup for the printed pages: drawn here, with no
// script and nothing fetched, so that the page prints as it shows.
namespace print {

// How the charts write amounts: the regional decimal separator, and the
// group separator as markup (a non-breaking space in the pages).
struct ChartNumbers {
  char decimalSeparator = ',';
  std::string_view groupSeparator = "&#160;";
};

// One named series of values, one per label, drawn in its colour ("#1b7f3a").
// Names and labels are Windows-1250 text, escaped here.
struct ChartSeries {
  std::string name;
  std::string colour;
  std::vector<Hundredths> values;
};

// Bars side by side for each label, one per series, over an axis that
// starts at 0; a legend names the series.
std::string GroupedBarsSvg(const std::vector<std::string>& labels, const std::vector<ChartSeries>& series,
                           const ChartNumbers& numbers);

// One part of a whole.
struct ChartShare {
  std::string name;
  Hundredths amount = 0;
};

// The shares of the whole as a pie, largest first from the top clockwise,
// with a legend of names, amounts and percentages. Parts of 0 or less have
// no share and are left out; colours come from the palette.
std::string SharesPieSvg(const std::vector<ChartShare>& parts, const ChartNumbers& numbers);

// A line per series across the labels, the axis covering every value
// (negative ones too); a legend names the series.
std::string LinesSvg(const std::vector<std::string>& labels, const std::vector<ChartSeries>& series,
                     const ChartNumbers& numbers);

// The n-th colour of the charts' palette (it repeats after a dozen).
std::string PaletteColour(std::size_t n);

}  // namespace print
