#include "import/file_bytes.h"

#include <fstream>
#include <iterator>
#include <system_error>

#include "text/cp1250.h"
#include "text/error.h"

namespace bank {

std::string readStatementFile(const std::filesystem::path& file) {
  // A folder opens as a stream on Linux and fails only on reading.
  std::error_code ec;
  std::ifstream in;
  if (std::filesystem::is_regular_file(file, ec) || std::filesystem::is_fifo(file, ec)) {
    in.open(file, std::ios::binary);
  }
  if (!in.is_open() || !in) throw mincar::Error(mincar::fill("Cannot open file %s", {text::pathText(file)}));
  try {
    return std::string(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
  } catch (const std::exception&) {
    throw mincar::Error(mincar::fill("Cannot read file %s", {text::pathText(file)}));
  }
}

}  // namespace bank
