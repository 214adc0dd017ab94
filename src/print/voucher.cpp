#include "print/voucher.h"

#include <charconv>
#include <cmath>
#include <fstream>
#include <system_error>

#include "app/textio.h"
#include "ledger/ledger_tables.h"
#include "print/amount_words.h"
#include "print/czech_html.h"
#include "print/page_file.h"
#include "print/page_footer.h"
#include "print/replace_all.h"
#include "text/cp1250.h"
#include "text/error.h"

namespace print {

namespace fs = std::filesystem;

namespace {

// Written here in UTF-8; the page is Windows-1250.
constexpr std::string_view kVoucherTemplateUtf8 = R"page(<html>
  <head>
    <meta http-equiv="Content-Type" content="text/html; charset=en_US">
    <title>Mincar | Pokladní doklad</title>
    </head>
    <body>
      <table style="width: 100%; text-align: left;" border="1" cellpadding="0" cellspacing="1">
         <tr>
          <td rowspan="2" style="width=20%" align="center"><big><big><b>xxx1</big><br></big> Číslo: xxx2</b></td>
          <td rowspan="2" style="width=30%" align="left">Organizace: xxx3<br/>xxx4</td>
          <td colspan="2" style="width=20%" align="left"><big>Datum vystavení:</big></td>
          <td style="width=20%" align="right"><big><b> xxx5</big></b></td>
         </tr>
         <tr>
          <td colspan="2"  align="left"><big>Částka:</big></td>
          <td align="right"><big><u><b>xxx6</big></u> Kč</b></td>
         </tr>
         <tr>
          <td align="center"> Účel platby:</td>
          <td colspan="4" align="center"><b>xxx7</b></td>
         </tr>
         <tr>
          <td align="center"> Částka slovy:</td>
          <td colspan="4" align="center">xxx8</td>
         </tr>
         <tr>
          <td rowspan="3" align="center">&nbsp;</td>
          <td align="center"><small>Vystavil</small></td>
          <td align="center"><small>Schválil</small></td>
          <td colspan="2" align="center"><small>Převzal</small></td>
         </tr>
         <tr>
          <td align="center">xxx9</td>
          <td align="center">xxxA</td>
          <td colspan="2" align="center">xxxB</td>
         </tr>
         <tr>
          <td align="center"><small>Podpis:<br><br><br>...............</small></td>
          <td align="center"><small>Podpis:<br><br><br>...............</small></td>
          <td colspan="2" align="center"><small>Podpis:<br><br><br>...............</small></td>
         </tr>
         <tr>
          <td colspan="5" align="center"><small><small><small>xxxC</small></small></td>
         </tr>
      </table>
    </body>
</html>
)page";


}  // namespace

const std::string& VoucherTemplate() {
  static const std::string page = text::toCp1250(kVoucherTemplateUtf8);
  return page;
}

std::string VoucherKind(double plus, double minus) {
  return text::toCp1250(plus >= minus ? "Příjmový" : "Výdajový");
}

std::string VoucherAmount(double plus, double minus) {
  // "%.1lf" with "." as the decimal point: printf would follow the
  // process's numeric locale, which the window toolkit sets from the user's.
  const double amount = std::fabs(plus - minus);
  char digits[400];  // DBL_MAX has 309 digits before the point
  const auto result =
      std::to_chars(digits, digits + sizeof digits, amount, std::chars_format::fixed, 1);
  return std::string(digits, result.ptr);
}

void FillVoucherFromRow(ledger::Dataset& journal, VoucherFields& fields) {
  namespace col = ledger::journal;
  const double plus = journal.field(col::PLUS).asFloat();
  const double minus = journal.field(col::MINUS).asFloat();
  fields.kind = VoucherKind(plus, minus);                  // 1.
  fields.number = journal.field(col::ID).asString();       // 2.
  fields.date = journal.field(col::DATUM).asString();      // 3.
  fields.purpose = journal.field(col::TEXT).asString();    // 4.
  fields.amount = VoucherAmount(plus, minus);              // 5.
}

std::string VoucherPage(const VoucherFields& fields, const text::Regional& regional) {
  // 3. The words of the whole crowns typed before the first "."; the
  //    number conversion follows the regional decimal separator. Worked
  //    out before the page, which is filled in one go.
  const std::string wholePart = app::GetToken(fields.amount, '.', 0);
  const std::string words = AmountInWords(text::parseFloat(wholePart, regional));
  // The fields' texts print as typed, never as markup.
  const std::string kind = HtmlEscape(fields.kind);
  const std::string number = HtmlEscape(fields.number);
  // The organisation may break its lines and set bold, as its hint says.
  const std::string organisation = HtmlEscapeKeepingBreaksAndBold(fields.organisation);
  const std::string date = HtmlEscape(fields.date);
  const std::string amount = HtmlEscape(fields.amount);
  const std::string purpose = HtmlEscape(fields.purpose);
  const std::string issuedBy = HtmlEscape(fields.issuedBy);
  const std::string approvedBy = HtmlEscape(fields.approvedBy);
  const std::string receivedBy = HtmlEscape(fields.receivedBy);
  // 1, 2, 4. A fresh copy of the template with markers 1 to 12 filled in
  //    one pass: a field that holds a marker keeps it as typed.
  const MarkerValue fills[] = {
      {"xxx1", kind},     {"xxx2", number},     {"xxx3", organisation}, {"xxx4", ""},
      {"xxx5", date},     {"xxx6", amount},     {"xxx7", purpose},      {"xxx8", words},
      {"xxx9", issuedBy}, {"xxxA", approvedBy}, {"xxxB", receivedBy},   {"xxxC", PageFooter},
  };
  // 5. The Czech letters of template, values and footer alike.
  return CzechToHtml(FillTemplate(VoucherTemplate(), fills));
}

void PrintVoucher(const VoucherFields& fields, const text::Regional& regional,
                  const fs::path& folder, const fs::path& fileName, const BrowserCall& browser) {
  // 1-5. Everything that can fail on the fields fails before the file.
  const std::string page = VoucherPage(fields, regional);
  const std::string name = text::toCp1250(fileName.string());
  // 6. out.htm, replaced.
  WritePageFile(folder / fileName, page);
  // 7. The browser.
  OpenInBrowser(browser.command, browser.fileSpec, folder, name, browser.status, browser.launcher);
}

}  // namespace print
