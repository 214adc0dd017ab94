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

}  // namespace print
