#include "print/page_file.h"

#include <optional>
#include <streambuf>

#include "text/error.h"

namespace print {

namespace {
constexpr ledger::ReplaceTexts kPageTexts{ledger::messages::kCannotCreateFile, "Cannot write file %s"};
}  // namespace

// Hands every byte to the replacement file (which buffers); the first error
// is kept and thrown by commit(), since a stream only knows a bad bit.
class PageFile::Buffer : public std::streambuf {
 public:
  explicit Buffer(ledger::ReplacementFile& file) : file_(file) {}
  void rethrow() const {
    if (error_) throw mincar::Error(*error_);
  }

 protected:
  std::streamsize xsputn(const char* bytes, std::streamsize count) override {
    if (error_) return 0;
    try {
      file_.write(std::string_view(bytes, static_cast<std::size_t>(count)));
    } catch (const mincar::Error& e) {
      error_ = e.what();
      return 0;
    }
    return count;
  }
  int_type overflow(int_type c) override {
    if (traits_type::eq_int_type(c, traits_type::eof())) return traits_type::not_eof(c);
    const char byte = traits_type::to_char_type(c);
    return xsputn(&byte, 1) == 1 ? c : traits_type::eof();
  }

 private:
  ledger::ReplacementFile& file_;
  std::optional<std::string> error_;
};

PageFile::PageFile(const std::filesystem::path& file)
    : file_(file, kPageTexts), buffer_(std::make_unique<Buffer>(file_)), stream_(buffer_.get()) {}

PageFile::~PageFile() = default;

void PageFile::commit() {
  buffer_->rethrow();
  file_.commit();
}

void WritePageFile(const std::filesystem::path& file, std::string_view bytes) {
  PageFile page(file);
  page.stream().write(bytes.data(), static_cast<std::streamsize>(bytes.size()));
  page.commit();
}

}  // namespace print
