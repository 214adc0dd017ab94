#pragma once
#include <filesystem>
#include <string>
#include <string_view>

// Windows-1250, the code page of every text Mincar stores, and its Unicode
// form for the windows and the command line.
namespace text {

// Windows-1250 bytes to UTF-8. Every byte maps; the five bytes that the code
// page leaves undefined map to the C1 control of the same value, so that any
// byte string survives a round trip.
std::string toUtf8(std::string_view cp1250);

// UTF-8 to Windows-1250. A character that the code page lacks, or bytes that
// are not UTF-8, are refused with mincar::Error naming the character; nothing
// is replaced silently.
std::string toCp1250(std::string_view utf8);

// A path in a message, which is Windows-1250 like every text: the file
// system's UTF-8 converted, a character that the code page lacks (or a byte
// that is not UTF-8) shown as '?'.
std::string pathText(const std::filesystem::path& file);

// A typed text made one line: CR and LF become blanks. A row holds one line
// (a backup keeps one row a line), also when a text was pasted.
std::string singleLine(std::string text);

// Upper case by Czech rules on Windows-1250 bytes: a-z and every accented
// lower-case letter of the code page that has a capital there (č -> Č,
// ů -> Ů, ž -> Ž, ...); ß, ˙ and other bytes without a capital stay.
char upperCz(char c);
std::string upperCz(std::string_view cp1250);

}  // namespace text
