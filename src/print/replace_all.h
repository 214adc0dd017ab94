#pragma once
#include <span>
#include <string>
#include <string_view>

namespace print {

// Every occurrence of search in text replaced by replacement, left to right
// and without overlaps. The search goes on right behind each occurrence, so
// an inserted replacement is never searched again and a replacement that
// holds its own search text cannot loop. Bytes are compared exactly. An
// empty search never matches; a search equal to its replacement returns the
// text as it is.
std::string ReplaceAll(std::string_view text, std::string_view search, std::string_view replacement);

// A page template's marker and the text that takes its place.
struct MarkerValue {
  std::string_view marker;
  std::string_view value;
};

// The template with every occurrence of each marker replaced by its value,
// in one pass from left to right. An inserted value is never searched
// again, so a user's text that holds a marker ("xxx9" in a purpose) prints
// as typed instead of taking a later value. Where two markers match at one
// place the earlier in the list wins; an empty marker never matches.
std::string FillTemplate(std::string_view text, std::span<const MarkerValue> fills);

}  // namespace print
