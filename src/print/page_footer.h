#pragma once
#include <string_view>

namespace print {

// The product's web page, named in the footer of every printed page.
inline constexpr std::string_view kProductAddress = "https://mincar.example/";

// The footer line of the voucher and the cash-book report, Windows-1250
// markup inserted into the pages as it is: "Zpracováno systémem " and a link
// to the product's web page. It holds none of the letters that CzechToHtml
// encodes; á and é mean the same in the browser's default encoding.
inline constexpr std::string_view PageFooter =
    "Zpracov\xE1no syst\xE9mem "
    "<a href=\"https://mincar.example/\">Mincar https://mincar.example/</a>";

}  // namespace print
