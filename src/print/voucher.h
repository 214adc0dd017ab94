#pragma once
#include <filesystem>
#include <string>
#include <string_view>

#include "app/status_line.h"
#include "ledger/dataset.h"
#include "print/browser.h"
#include "print/page_file.h"
#include "text/regional.h"

namespace print {

// The cash voucher page, Windows-1250, each line ended by LF. Its markers
// xxx1 ... xxxC are filled in the order of VoucherPage. The page is kept as
// the program has always printed it: the font elements of three cells close
// crossed, and "charset=en_US" names no encoding, so the browser reads the
// page with its default one; the letters that differ are references.
const std::string& VoucherTemplate();

// The texts of the voucher dialog's fields, Windows-1250.
struct VoucherFields {
  std::string kind;          // Edit1: "Příjmový" or "Výdajový"
  std::string number;        // Edit9
  std::string date;          // Edit2
  std::string organisation;  // Edit8
  std::string purpose;       // Edit4
  std::string amount = "0";  // Edit3, as typed
  std::string issuedBy;      // Edit5
  std::string approvedBy;    // Edit6
  std::string receivedBy;    // Edit7
};

// The kind and the amount text of a row with these amounts: "Příjmový"
// when plus >= minus, else "Výdajový"; |plus - minus| with one decimal and
// "." whatever the locale ("%.1lf").
std::string VoucherKind(double plus, double minus);
std::string VoucherAmount(double plus, double minus);

// Fills the five row fields (kind, number, date, purpose, amount) from the
// journal's current row, columns by position; empty amounts count as 0. On
// an empty journal: "Příjmový", empty number, date and purpose, "0.0". The
// organisation and the three names are left alone.
void FillVoucherFromRow(ledger::Dataset& journal, VoucherFields& fields);

// The finished page, steps 1 to 5 of the print button: a fresh template
// with its twelve markers filled in one pass (the fields, the words of the
// amount's text before its first "." parsed with the regional settings, the
// page footer), and the Czech letters of the whole page encoded. The
// fields' texts are escaped and print as typed: markup in them shows as
// text, and a marker in them stays a marker. Throws "'%s' is not a valid
// floating point value" for an amount that does not convert.
std::string VoucherPage(const VoucherFields& fields, const text::Regional& regional);

// Where the browser finds the page and how it is started.
struct BrowserCall {
  std::string_view command;   // the configuration dialog's Edit1
  std::string_view fileSpec;  // Edit2
  app::StatusLine& status;
  BrowserLauncher& launcher;
};

// The print button: builds the page, writes it to folder/fileName and starts
// the browser on it. On any failure nothing is written and no browser starts
// (a failed write removes what it began).
void PrintVoucher(const VoucherFields& fields, const text::Regional& regional,
                  const std::filesystem::path& folder, const std::filesystem::path& fileName,
                  const BrowserCall& browser);

}  // namespace print
