#pragma once
#include <string>
#include <string_view>

namespace print {

// The 22 Czech and Slovak letters of Windows-1250 whose bytes mean other
// characters in ISO 8859-1 (č Č ď Ď ě Ě ĺ Ĺ ľ Ľ ň Ň ř Ř š Š ť Ť ů Ů ž Ž),
// written as numeric character references ("č" -> "&#269;"), so that a page
// shows them whatever encoding the browser reads it with. Every other byte,
// markup and existing references included, stays as it is.
std::string CzechToHtml(std::string_view text);

// "&", "<" and ">" written as "&amp;", "&lt;" and "&gt;", so that a text from
// the data or the settings shows in a page as typed and never acts as markup.
// Quotation marks stay: values go into element content, never into an
// attribute. Every other byte stays too, so CzechToHtml still encodes the
// letters afterwards and adds no second escape.
std::string HtmlEscape(std::string_view text);

// HtmlEscape, except for the line break and bold tags that the voucher's
// organisation field offers in its hint ("<br>", "<br/>", "<b>", "</b>"):
// they stay markup. No other tag, and no attribute, can pass.
std::string HtmlEscapeKeepingBreaksAndBold(std::string_view text);

}  // namespace print
