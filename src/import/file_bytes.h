#pragma once
#include <filesystem>
#include <string>
#include <string_view>

namespace bank {

// A statement file's bytes; "Cannot open file X" when it cannot be read.
std::string readStatementFile(const std::filesystem::path& file);

// The lines of a statement, CR LF or LF, the last one with or without an end.
// A CR inside a line stays part of it.
template <typename Take>
void forEachLine(std::string_view bytes, Take take) {
  int number = 0;
  while (!bytes.empty()) {
    const size_t end = bytes.find('\n');
    std::string_view line = bytes.substr(0, end);
    if (!line.empty() && line.back() == '\r') line.remove_suffix(1);
    take(++number, line);
    if (end == std::string_view::npos) break;
    bytes.remove_prefix(end + 1);
  }
}

}  // namespace bank
