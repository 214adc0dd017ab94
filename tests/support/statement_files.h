#pragma once
// Bank statements written from the formats' published layouts, for the
// import tests.
#include <cstdint>
#include <cstdlib>
#include <string>

namespace testing_support {

// Left-aligned text padded with blanks, or cut, to width.
inline std::string gpcText(const std::string& s, size_t width) {
  std::string out = s.substr(0, width);
  out.resize(width, ' ');
  return out;
}

// A number right-aligned with leading zeros.
inline std::string gpcNumber(std::int64_t value, size_t width) {
  std::string digits = std::to_string(value);
  return std::string(width > digits.size() ? width - digits.size() : 0, '0') + digits;
}

// The "074" header: balances in hundredths, dates DDMMYY.
inline std::string gpcHeader(std::int64_t opening, std::int64_t closing, std::int64_t debits,
                             std::int64_t credits, const std::string& oldDate = "301126",
                             const std::string& date = "071226") {
  return "074" + gpcNumber(1234567890, 16) + gpcText("DOMACNOST", 20) + oldDate +
         gpcNumber(std::llabs(opening), 14) + (opening < 0 ? "-" : "+") +
         gpcNumber(std::llabs(closing), 14) + (closing < 0 ? "-" : "+") + gpcNumber(debits, 14) + "0" +
         gpcNumber(credits, 14) + "0" + gpcNumber(12, 3) + date + std::string(14, ' ');
}

// A "075" item: amount in hundredths, posting code 1, 2, 4 or 5, the value
// date DDMMYY, the counterparty's name in Windows-1250.
inline std::string gpcItem(std::int64_t amount, char code, const std::string& valueDate,
                           const std::string& name, const std::string& vs = "0000000000") {
  return "075" + gpcNumber(1234567890, 16) + gpcNumber(2000145399, 16) + gpcNumber(4711, 13) +
         gpcNumber(amount, 12) + std::string(1, code) + vs + "00" + "0800" + "0308" +
         gpcNumber(0, 10) + valueDate + gpcText(name, 20) + "0" + "0203" + valueDate;
}

// "078" or "079": two AV fields of the message for the payee.
inline std::string gpcMessage(const std::string& type, const std::string& first,
                              const std::string& second = "") {
  return type + gpcText(first, 35) + gpcText(second, 35) + std::string(128 - 73, ' ');
}

}  // namespace testing_support
