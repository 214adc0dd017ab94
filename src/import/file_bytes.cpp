#include "import/file_bytes.h"

#include <fstream>
#include <iterator>

#include "text/cp1250.h"
#include "text/error.h"

namespace bank {

std::string readStatementFile(const std::filesystem::path& file) {
  std::ifstream in(file, std::ios::binary);
  std::string bytes;
  if (in) bytes.assign(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
  if (!in && !in.eof()) {
    throw mincar::Error(mincar::fill("Cannot open file %s", {text::pathText(file)}));
  }
  return bytes;
}

}  // namespace bank
