#pragma once
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

}  // namespace print
