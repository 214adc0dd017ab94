#pragma once
#include <initializer_list>
#include <stdexcept>
#include <string>
#include <string_view>

namespace mincar {

// Every failure of the core is one of these, carrying the exact text that the
// user sees. Texts are Windows-1250 bytes like all data.
class Error : public std::runtime_error {
 public:
  using std::runtime_error::runtime_error;
};

// Fills the system's message patterns: each "%s" or "%d" takes the next
// argument in turn ("%%" stands for one "%"). Missing arguments leave the
// placeholder as it is, so a wrong call never loses the pattern's text.
std::string fill(std::string_view pattern, std::initializer_list<std::string_view> args);

}  // namespace mincar
