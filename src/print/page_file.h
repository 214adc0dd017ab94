#pragma once
#include <filesystem>
#include <memory>
#include <ostream>
#include <string>
#include <string_view>

#include "ledger/replace_file.h"

namespace print {

// A page file (out.htm or a page named on the command line), written the
// program's one safe way: beside the name, then renamed over it, so that a
// failed page leaves nothing that would print as a whole one and a link
// planted at the name is replaced, never written through. Errors: "Cannot
// create file %s" when it cannot be made, "Cannot write file %s" when the
// bytes do not all reach it.
class PageFile {
 public:
  explicit PageFile(const std::filesystem::path& file);
  ~PageFile();
  PageFile(const PageFile&) = delete;
  PageFile& operator=(const PageFile&) = delete;

  // A stream over the page for builders that write as they walk.
  std::ostream& stream() { return stream_; }
  void commit();

 private:
  class Buffer;
  ledger::ReplacementFile file_;
  std::unique_ptr<Buffer> buffer_;
  std::ostream stream_;
};

// Writes a whole page's bytes to file, as PageFile does.
void WritePageFile(const std::filesystem::path& file, std::string_view bytes);

}  // namespace print
