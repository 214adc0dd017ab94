#include "print/czech_html.h"

#include <array>

#include "print/replace_all.h"

namespace print {

namespace {

struct EncodedLetter {
  char cp1250;         // the letter's Windows-1250 byte
  const char* reference;
};

// In this order; the order does not change the result, since no reference
// holds a letter of the table.
constexpr std::array<EncodedLetter, 22> kLetters = {{
    {'\xE8', "&#269;"},  // č
    {'\xC8', "&#268;"},  // Č
    {'\xEF', "&#271;"},  // ď
    {'\xCF', "&#270;"},  // Ď
    {'\xEC', "&#283;"},  // ě
    {'\xCC', "&#282;"},  // Ě
    {'\xE5', "&#314;"},  // ĺ
    {'\xC5', "&#313;"},  // Ĺ
    {'\xBE', "&#318;"},  // ľ
    {'\xBC', "&#317;"},  // Ľ
    {'\xF2', "&#328;"},  // ň
    {'\xD2', "&#327;"},  // Ň
    {'\xF8', "&#345;"},  // ř
    {'\xD8', "&#344;"},  // Ř
    {'\x9A', "&#353;"},  // š
    {'\x8A', "&#352;"},  // Š
    {'\x9D', "&#357;"},  // ť
    {'\x8D', "&#356;"},  // Ť
    {'\xF9', "&#367;"},  // ů
    {'\xD9', "&#366;"},  // Ů
    {'\x9E', "&#382;"},  // ž
    {'\x8E', "&#381;"},  // Ž
}};

}  // namespace

std::string CzechToHtml(std::string_view text) {
  std::string result(text);
  for (const EncodedLetter& letter : kLetters) {
    result = ReplaceAll(result, std::string_view(&letter.cp1250, 1), letter.reference);
  }
  return result;
}

std::string HtmlEscape(std::string_view text) {
  std::string result;
  result.reserve(text.size());
  for (const char c : text) {
    switch (c) {
      case '&': result += "&amp;"; break;
      case '<': result += "&lt;"; break;
      case '>': result += "&gt;"; break;
      default: result += c;
    }
  }
  return result;
}

std::string HtmlEscapeKeepingBreaksAndBold(std::string_view text) {
  constexpr std::string_view kKept[] = {"<br>", "<br/>", "<b>", "</b>", "<BR>", "<BR/>", "<B>", "</B>"};
  std::string result;
  result.reserve(text.size());
  std::size_t at = 0;
  while (at < text.size()) {
    bool kept = false;
    for (std::string_view tag : kKept) {
      if (text.substr(at, tag.size()) == tag) {
        result += tag;
        at += tag.size();
        kept = true;
        break;
      }
    }
    if (kept) continue;
    result += HtmlEscape(text.substr(at, 1));
    ++at;
  }
  return result;
}

}  // namespace print
