#pragma once
#include <istream>
#include <ostream>
#include <string>
#include <string_view>

namespace app {

// The line reader of the settings file; backup files have their own
// (backup::BackupLines). Its one look-behind byte carries over from one call
// to the next, so every reading of prop1.txt takes a new reader.
class LineReader {
 public:
  // The next line without its line end: bytes up to LF with every CR left
  // out; the byte after the LF is consumed unseen. At the end of the data
  // every further call returns "".
  std::string ReadLine(std::istream& in);
  char lookBehind() const { return b_; }

 private:
  char b_ = ' ';
};

// Piece n (from 0) of a text split at sep; "" beyond the last piece.
std::string GetToken(std::string_view text, char sep, int n);

// Writes exactly the text's bytes, no line end. Throws mincar::Error when the
// stream refuses them.
void WriteText(std::ostream& out, std::string_view text);

// The line end of every file the program writes: LF then CR.
inline constexpr std::string_view kLineEnd = "\n\r";

}  // namespace app
