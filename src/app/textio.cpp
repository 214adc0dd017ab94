#include "app/textio.h"

#include "text/error.h"

namespace app {

namespace {

constexpr char kLF = '\n';
constexpr char kCR = '\r';

}  // namespace

std::string LineReader::ReadLine(std::istream& in) {
  std::string line;
  // The stream buffer directly: this runs once per byte of a backup file,
  // and a sentry per byte would cost more than the rest of the loop.
  std::streambuf* buffer = in.good() ? in.rdbuf() : nullptr;
  if (!buffer) return line;
  using Traits = std::istream::traits_type;

  // 2. Up to the LF; b carries over from the previous call, so a line whose
  //    discarded byte was an LF is followed by an empty one.
  while (b_ != kLF) {
    const Traits::int_type next = buffer->sbumpc();
    if (Traits::eq_int_type(next, Traits::eof())) {
      in.setstate(std::ios::eofbit);
      return line;
    }
    b_ = Traits::to_char_type(next);
    if (b_ != kLF && b_ != kCR) line += b_;
  }
  // 3. The byte after the LF (the CR of our own LF CR) is consumed unseen;
  //    at the end of the data there is none and b keeps its value.
  const Traits::int_type after = buffer->sbumpc();
  if (Traits::eq_int_type(after, Traits::eof()))
    in.setstate(std::ios::eofbit);
  else
    b_ = Traits::to_char_type(after);
  return line;
}

std::string GetToken(std::string_view text, char sep, int n) {
  if (n < 0) return {};
  // Skipping n separators and taking the text up to the next one is the
  // byte walk with its counter, without touching each byte twice.
  size_t start = 0;
  for (int k = n; k > 0; --k) {
    const size_t at = text.find(sep, start);
    if (at == std::string_view::npos) return {};
    start = at + 1;
  }
  const size_t stop = text.find(sep, start);
  return std::string(text.substr(start, stop == std::string_view::npos ? text.npos : stop - start));
}

void WriteText(std::ostream& out, std::string_view text) {
  out.write(text.data(), static_cast<std::streamsize>(text.size()));
  if (!out) throw mincar::Error("Stream write error");
}

}  // namespace app
