#include "print/svg_chart.h"

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <numeric>

#include "print/czech_html.h"
#include "text/cp1250.h"

namespace print {

namespace {

// Sizes in the page's pixels: a chart fits the width of an A4 page printed
// with the browser's margins.
constexpr double kWidth = 700;
constexpr double kPlotLeft = 90;
constexpr double kPlotRight = 12;
constexpr double kPlotTop = 12;
constexpr double kPlotHeight = 220;
constexpr double kLabelsHeight = 34;
constexpr double kLegendRow = 18;
constexpr int kLegendColumns = 3;
constexpr std::size_t kMostLabels = 12;
// The pie names its largest parts; the rest are one slice.
constexpr std::size_t kMostSlices = 10;
constexpr std::size_t kLongestName = 40;

constexpr const char* kPalette[] = {"#2e7d32", "#c62828", "#1565c0", "#ef6c00", "#6a1b9a", "#00838f",
                                    "#9e9d24", "#ad1457", "#4e342e", "#546e7a", "#f9a825", "#283593"};

std::string number(double value) {
  char text[32];
  std::snprintf(text, sizeof text, "%.1f", value);
  return text;
}

// A name as the charts show it: escaped, and cut where it would run over
// its neighbours.
std::string shownName(std::string_view name) {
  if (name.size() <= kLongestName) return HtmlEscape(name);
  return HtmlEscape(name.substr(0, kLongestName - 3)) + "...";
}

// The chart's own texts are written here in UTF-8; the pages are
// Windows-1250.
std::string cz(std::string_view utf8) { return text::toCp1250(utf8); }

std::string svgOpen(double height, std::string_view title) {
  return "<svg xmlns=\"http://www.w3.org/2000/svg\" width=\"" + number(kWidth) + "\" height=\"" + number(height) +
         "\" viewBox=\"0 0 " + number(kWidth) + " " + number(height) +
         "\" font-family=\"sans-serif\" font-size=\"11\" role=\"img\"><title>" + HtmlEscape(title) + "</title>\n";
}

std::string textAt(double x, double y, std::string_view anchor, const std::string& markup) {
  return "<text x=\"" + number(x) + "\" y=\"" + number(y) + "\" text-anchor=\"" + std::string(anchor) + "\">" +
         markup + "</text>\n";
}

// The value axis: from lo to hi (hundredths) in whole steps of 1, 2 or 5
// times a power of ten, 0 always on it.
struct Axis {
  double lo = 0;
  double hi = 0;
  double step = 0;

  static Axis covering(Hundredths least, Hundredths most) {
    Axis axis;
    double lo = std::min<double>(0, static_cast<double>(least));
    double hi = std::max<double>(0, static_cast<double>(most));
    if (hi == lo) hi = lo + 100000;  // an empty chart still gets a scale
    const double rough = (hi - lo) / 5;
    const double power = std::pow(10.0, std::floor(std::log10(rough)));
    axis.step = power * 10;
    for (double factor : {1.0, 2.0, 5.0}) {
      if (power * factor >= rough) {
        axis.step = power * factor;
        break;
      }
    }
    axis.lo = std::floor(lo / axis.step) * axis.step;
    axis.hi = std::ceil(hi / axis.step) * axis.step;
    return axis;
  }
  double y(double value) const { return kPlotTop + kPlotHeight * (hi - value) / (hi - lo); }
};

std::string axisMarkup(const Axis& axis, const ChartNumbers& numbers) {
  std::string svg;
  const double right = kWidth - kPlotRight;
  const int ticks = static_cast<int>(std::lround((axis.hi - axis.lo) / axis.step));
  for (int i = 0; i <= ticks; ++i) {
    const double value = axis.lo + axis.step * i;
    const double y = axis.y(value);
    const bool zero = std::fabs(value) < axis.step / 2;
    svg += "<line x1=\"" + number(kPlotLeft) + "\" y1=\"" + number(y) + "\" x2=\"" + number(right) + "\" y2=\"" +
           number(y) + "\" stroke=\"" + (zero ? "#444" : "#ddd") + "\"/>\n";
    const auto rounded = static_cast<Hundredths>(std::llround(value));
    const std::string label = axis.step >= 100 ? WholeAmountText(rounded, numbers.groupSeparator)
                                               : AmountText(rounded, numbers.decimalSeparator, numbers.groupSeparator);
    svg += textAt(kPlotLeft - 6, y + 4, "end", label);
  }
  return svg;
}

// The labels under the plot; every k-th when there are too many to read.
std::string labelsMarkup(const std::vector<std::string>& labels, double slot) {
  std::string svg;
  const std::size_t every = labels.size() <= kMostLabels ? 1 : (labels.size() + kMostLabels - 1) / kMostLabels;
  const double y = kPlotTop + kPlotHeight + 16;
  for (std::size_t i = 0; i < labels.size(); i += every) {
    svg += textAt(kPlotLeft + slot * (static_cast<double>(i) + 0.5), y, "middle", shownName(labels[i]));
  }
  return svg;
}

// A legend of coloured squares and their texts in rows from top.
std::string legendMarkup(const std::vector<std::pair<std::string, std::string>>& entries, double top,
                         double left, int columns, double columnWidth) {
  std::string svg;
  for (std::size_t i = 0; i < entries.size(); ++i) {
    const double x = left + columnWidth * static_cast<double>(i % static_cast<std::size_t>(columns));
    const double y = top + kLegendRow * static_cast<double>(i / static_cast<std::size_t>(columns));
    svg += "<rect x=\"" + number(x) + "\" y=\"" + number(y) + "\" width=\"10\" height=\"10\" fill=\"" +
           entries[i].second + "\"/>\n";
    svg += textAt(x + 15, y + 9, "start", entries[i].first);
  }
  return svg;
}

double legendHeight(std::size_t entries, int columns) {
  const std::size_t rows = (entries + static_cast<std::size_t>(columns) - 1) / static_cast<std::size_t>(columns);
  return kLegendRow * static_cast<double>(rows);
}

std::pair<Hundredths, Hundredths> valueRange(const std::vector<ChartSeries>& series) {
  Hundredths least = 0;
  Hundredths most = 0;
  for (const ChartSeries& s : series) {
    for (Hundredths v : s.values) {
      least = std::min(least, v);
      most = std::max(most, v);
    }
  }
  return {least, most};
}

std::vector<std::pair<std::string, std::string>> seriesLegend(const std::vector<ChartSeries>& series) {
  std::vector<std::pair<std::string, std::string>> entries;
  for (const ChartSeries& s : series) entries.emplace_back(shownName(s.name), s.colour);
  return entries;
}

// The frame shared by the bars and the lines: axis, labels and legend.
struct PlotFrame {
  std::string svg;
  Axis axis;
  double slot = 0;
};

PlotFrame plotFrame(const std::vector<std::string>& labels, const std::vector<ChartSeries>& series,
                    const ChartNumbers& numbers, std::string_view title) {
  PlotFrame frame;
  const auto [least, most] = valueRange(series);
  frame.axis = Axis::covering(least, most);
  const double legendTop = kPlotTop + kPlotHeight + kLabelsHeight;
  const double height = legendTop + legendHeight(series.size(), kLegendColumns) + 6;
  frame.slot = (kWidth - kPlotLeft - kPlotRight) / static_cast<double>(std::max<std::size_t>(labels.size(), 1));
  frame.svg = svgOpen(height, title);
  frame.svg += axisMarkup(frame.axis, numbers);
  frame.svg += labelsMarkup(labels, frame.slot);
  frame.svg += legendMarkup(seriesLegend(series), legendTop, kPlotLeft, kLegendColumns,
                            (kWidth - kPlotLeft) / kLegendColumns);
  return frame;
}

}  // namespace

std::string PaletteColour(std::size_t n) { return kPalette[n % std::size(kPalette)]; }

std::string GroupedBarsSvg(const std::vector<std::string>& labels, const std::vector<ChartSeries>& series,
                           const ChartNumbers& numbers) {
  PlotFrame frame = plotFrame(labels, series, numbers, cz("Sloupcový graf"));
  std::string& svg = frame.svg;
  const double barWidth = frame.slot * 0.8 / static_cast<double>(std::max<std::size_t>(series.size(), 1));
  const double zero = frame.axis.y(0);
  for (std::size_t s = 0; s < series.size(); ++s) {
    for (std::size_t i = 0; i < labels.size() && i < series[s].values.size(); ++i) {
      const double y = frame.axis.y(static_cast<double>(series[s].values[i]));
      const double x = kPlotLeft + frame.slot * (static_cast<double>(i) + 0.1) + barWidth * static_cast<double>(s);
      svg += "<rect x=\"" + number(x) + "\" y=\"" + number(std::min(y, zero)) + "\" width=\"" + number(barWidth) +
             "\" height=\"" + number(std::fabs(zero - y)) + "\" fill=\"" + series[s].colour + "\"/>\n";
    }
  }
  svg += "</svg>\n";
  return svg;
}

std::string LinesSvg(const std::vector<std::string>& labels, const std::vector<ChartSeries>& series,
                     const ChartNumbers& numbers) {
  PlotFrame frame = plotFrame(labels, series, numbers, cz("Spojnicový graf"));
  std::string& svg = frame.svg;
  const bool markers = labels.size() <= 3 * kMostLabels;
  for (const ChartSeries& s : series) {
    std::string points;
    std::string dots;
    for (std::size_t i = 0; i < labels.size() && i < s.values.size(); ++i) {
      const double x = kPlotLeft + frame.slot * (static_cast<double>(i) + 0.5);
      const double y = frame.axis.y(static_cast<double>(s.values[i]));
      points += number(x) + "," + number(y) + " ";
      if (markers) {
        dots += "<circle cx=\"" + number(x) + "\" cy=\"" + number(y) + "\" r=\"2.5\" fill=\"" + s.colour + "\"/>\n";
      }
    }
    svg += "<polyline fill=\"none\" stroke-width=\"2\" stroke=\"" + s.colour + "\" points=\"" + points + "\"/>\n";
    svg += dots;
  }
  svg += "</svg>\n";
  return svg;
}

std::string SharesPieSvg(const std::vector<ChartShare>& parts, const ChartNumbers& numbers) {
  std::vector<ChartShare> shares;
  for (const ChartShare& part : parts) {
    if (part.amount > 0) shares.push_back(part);
  }
  std::stable_sort(shares.begin(), shares.end(),
                   [](const ChartShare& a, const ChartShare& b) { return a.amount > b.amount; });
  if (shares.size() > kMostSlices) {
    ChartShare rest{cz("ostatní"), 0};
    for (std::size_t i = kMostSlices - 1; i < shares.size(); ++i) rest.amount += shares[i].amount;
    shares.resize(kMostSlices - 1);
    shares.push_back(rest);
  }
  const Hundredths whole = std::accumulate(shares.begin(), shares.end(), Hundredths{0},
                                           [](Hundredths sum, const ChartShare& s) { return sum + s.amount; });
  constexpr double kRadius = 110;
  constexpr double kCentreX = 130;
  constexpr double kCentreY = 125;
  const double height = std::max(2 * kCentreY, 16 + kLegendRow * static_cast<double>(shares.size()));
  std::string svg = svgOpen(height, cz("Koláčový graf"));
  if (whole <= 0) {
    svg += "<circle cx=\"" + number(kCentreX) + "\" cy=\"" + number(kCentreY) + "\" r=\"" + number(kRadius) +
           "\" fill=\"#eee\"/>\n</svg>\n";
    return svg;
  }
  const double kPi = std::acos(-1.0);
  double turned = 0;  // the share drawn so far, from the top clockwise
  std::vector<std::pair<std::string, std::string>> legend;
  for (std::size_t i = 0; i < shares.size(); ++i) {
    const std::string colour = PaletteColour(i);
    const double share = static_cast<double>(shares[i].amount) / static_cast<double>(whole);
    if (shares.size() == 1) {
      svg += "<circle cx=\"" + number(kCentreX) + "\" cy=\"" + number(kCentreY) + "\" r=\"" + number(kRadius) +
             "\" fill=\"" + colour + "\"/>\n";
    } else {
      const double from = 2 * kPi * turned;
      const double to = 2 * kPi * (turned + share);
      const auto px = [&](double angle) { return kCentreX + kRadius * std::sin(angle); };
      const auto py = [&](double angle) { return kCentreY - kRadius * std::cos(angle); };
      svg += "<path d=\"M" + number(kCentreX) + "," + number(kCentreY) + " L" + number(px(from)) + "," +
             number(py(from)) + " A" + number(kRadius) + "," + number(kRadius) + " 0 " + (share > 0.5 ? "1" : "0") +
             ",1 " + number(px(to)) + "," + number(py(to)) + " Z\" fill=\"" + colour +
             "\" stroke=\"#fff\" stroke-width=\"1\"/>\n";
    }
    turned += share;
    // Tenths of a per cent, rounded half up.
    const long long permille = std::llround(share * 1000);
    std::string percent = std::to_string(permille / 10);
    percent += numbers.decimalSeparator;
    percent += std::to_string(permille % 10);
    legend.emplace_back(shownName(shares[i].name) + " " +
                            AmountText(shares[i].amount, numbers.decimalSeparator, numbers.groupSeparator) + " (" +
                            percent + "&#160;%)",
                        colour);
  }
  svg += legendMarkup(legend, 16, kCentreX + kRadius + 30, 1, 0);
  svg += "</svg>\n";
  return svg;
}

}  // namespace print
