#include "print/replace_all.h"

namespace print {

std::string ReplaceAll(std::string_view text, std::string_view search, std::string_view replacement) {
  // 1. Nothing would change.
  if (search == replacement) return std::string(text);
  // 2. An empty search text never matches.
  if (search.empty()) return std::string(text);

  std::string result;
  result.reserve(text.size());
  size_t from = 0;
  // 3. Each occurrence, left to right; the next search starts behind it.
  for (size_t at = text.find(search); at != std::string_view::npos; at = text.find(search, from)) {
    result.append(text, from, at - from);
    result.append(replacement);
    from = at + search.size();
  }
  // 4. The rest behind the last occurrence.
  result.append(text, from);
  return result;
}

std::string FillTemplate(std::string_view text, std::span<const MarkerValue> fills) {
  // Only a byte that begins some marker is worth comparing at.
  bool starts[256] = {};
  for (const MarkerValue& fill : fills) {
    if (!fill.marker.empty()) starts[static_cast<unsigned char>(fill.marker[0])] = true;
  }
  std::string result;
  result.reserve(text.size());
  size_t copied = 0;  // text before this is in result
  size_t at = 0;
  while (at < text.size()) {
    const MarkerValue* found = nullptr;
    if (starts[static_cast<unsigned char>(text[at])]) {
      for (const MarkerValue& fill : fills) {
        if (!fill.marker.empty() && text.substr(at).starts_with(fill.marker)) {
          found = &fill;
          break;
        }
      }
    }
    if (found == nullptr) {
      ++at;
      continue;
    }
    result.append(text, copied, at - copied);
    result.append(found->value);
    at += found->marker.size();
    copied = at;
  }
  result.append(text, copied);
  return result;
}

}  // namespace print
