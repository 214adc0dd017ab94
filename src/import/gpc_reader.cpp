#include "import/gpc_reader.h"

#include <string>

#include "import/file_bytes.h"
#include "text/cp1250.h"
#include "text/error.h"

namespace bank {

namespace {

// Record types and the places of their fields (1-based columns, as the
// format's description counts them).
constexpr std::string_view kHeader = "074";
constexpr std::string_view kItem = "075";
constexpr std::string_view kDetails = "076";
constexpr std::string_view kMessage12 = "078";  // AV fields 1 and 2
constexpr std::string_view kMessage34 = "079";  // AV fields 3 and 4

struct Place {
  int column;  // first column, from 1
  int width;
  std::string_view name;
};

namespace header {
constexpr Place kAccount{4, 16, "account number"};
constexpr Place kOldDate{40, 6, "old balance date"};
constexpr Place kOld{46, 14, "old balance"};
constexpr Place kOldSign{60, 1, "old balance sign"};
constexpr Place kNew{61, 14, "new balance"};
constexpr Place kNewSign{75, 1, "new balance sign"};
constexpr Place kDebits{76, 14, "debit turnover"};
constexpr Place kCredits{91, 14, "credit turnover"};
constexpr Place kNumber{106, 3, "statement number"};
constexpr Place kDate{109, 6, "statement date"};
}  // namespace header

namespace item {
constexpr Place kAccount{4, 16, "account number"};
constexpr Place kCounterAccount{20, 16, "counter-account"};
constexpr Place kDocument{36, 13, "document number"};
constexpr Place kAmount{49, 12, "amount"};
constexpr Place kCode{61, 1, "posting code"};
constexpr Place kVs{62, 10, "variable symbol"};
constexpr Place kBank{74, 4, "bank code"};
constexpr Place kKs{78, 4, "constant symbol"};
constexpr Place kSs{82, 10, "specific symbol"};
constexpr Place kValueDate{92, 6, "value date"};
constexpr Place kName{98, 20, "counterparty name"};
constexpr Place kCurrency{119, 4, "currency code"};
// Some banks end the record before the due date.
constexpr Place kDueDate{123, 6, "due date"};
}  // namespace item

// AV fields: the message for the payee, 35 characters each.
constexpr Place kAvFirst{4, 35, "message"};
constexpr Place kAvSecond{39, 35, "message"};

// Posting codes of an item.
constexpr char kDebit = '1';
constexpr char kCredit = '2';
constexpr char kDebitReversal = '4';
constexpr char kCreditReversal = '5';

std::string_view trimRight(std::string_view s) {
  while (!s.empty() && (s.back() == ' ' || s.back() == '\t')) s.remove_suffix(1);
  return s;
}

std::string_view trim(std::string_view s) {
  s = trimRight(s);
  while (!s.empty() && s.front() == ' ') s.remove_prefix(1);
  return s;
}

// One record under reading: every failure names the file, the line and the
// field.
class Record {
 public:
  Record(std::string_view fileName, int number, std::string_view line)
      : fileName_(fileName), number_(number), line_(line) {}

  [[noreturn]] void fail(const Place& place, std::string_view what) const {
    throw mincar::Error(mincar::fill("File %s, line %s, %s: %s",
                                     {fileName_, std::to_string(number_), place.name, what}));
  }

  bool has(const Place& place) const {
    return line_.size() >= static_cast<size_t>(place.column - 1 + place.width);
  }

  std::string_view raw(const Place& place) const {
    if (!has(place)) fail(place, "the line ends before the field does");
    return line_.substr(place.column - 1, place.width);
  }

  std::string_view text(const Place& place) const { return trim(raw(place)); }

  std::int64_t number(const Place& place) const {
    const std::string_view digits = raw(place);
    std::int64_t value = 0;
    for (const char c : digits) {
      if (c < '0' || c > '9') fail(place, quoted(digits) + " is no number");
      value = value * 10 + (c - '0');
    }
    return value;
  }

  text::Date date(const Place& place) const {
    const std::string_view ddmmyy = raw(place);
    for (const char c : ddmmyy) {
      if (c < '0' || c > '9') fail(place, quoted(ddmmyy) + " is no date (DDMMYY)");
    }
    auto two = [&](size_t at) { return (ddmmyy[at] - '0') * 10 + (ddmmyy[at + 1] - '0'); };
    // Two-digit years: the format was born in the 1990s.
    const int yy = two(4);
    const text::Date d{yy < 80 ? 2000 + yy : 1900 + yy, two(2), two(0)};
    if (!d.valid()) fail(place, quoted(ddmmyy) + " is no date (DDMMYY)");
    return d;
  }

  // A sign column: '-' negative; '+', '0' and a blank positive.
  int sign(const Place& place) const {
    const char c = raw(place)[0];
    if (c == '-') return -1;
    if (c == '+' || c == '0' || c == ' ') return 1;
    fail(place, quoted(raw(place)) + " is no sign (+ or -)");
  }

  std::string_view type() const { return line_.substr(0, 3); }

 private:
  static std::string quoted(std::string_view s) { return "'" + std::string(s) + "'"; }
  std::string_view fileName_;
  int number_;
  std::string_view line_;
};

std::string withoutLeadingZeros(std::string_view digits) {
  while (!digits.empty() && digits.front() == '0') digits.remove_prefix(1);
  return std::string(digits);
}

void appendMessage(std::string& message, std::string_view part) {
  part = trim(part);
  if (part.empty()) return;
  if (!message.empty()) message += ' ';
  message += part;
}

}  // namespace

bool looksLikeGpc(std::string_view bytes) { return bytes.substr(0, 3) == kHeader; }

Statement parseGpc(std::string_view bytes, std::string_view fileName) {
  if (!looksLikeGpc(bytes)) {
    throw mincar::Error(mincar::fill("File %s is no GPC statement", {fileName}));
  }
  Statement statement;
  // The message records belong to the item just before them.
  StatementLine* lastItem = nullptr;
  forEachLine(bytes, [&](int number, std::string_view line) {
    // Blank lines and the old end-of-file mark at the end are no records.
    if (trimRight(line).empty() || line == "\x1a") return;
    const Record record(fileName, number, line);
    static constexpr Place kType{1, 3, "record type"};
    const std::string_view type = record.raw(kType);
    if (type == kHeader) {
      record.text(header::kAccount);
      record.date(header::kOldDate);
      // Field by field, so that the first bad one is the one named.
      std::int64_t old = record.number(header::kOld);
      old *= record.sign(header::kOldSign);
      std::int64_t now = record.number(header::kNew);
      now *= record.sign(header::kNewSign);
      record.number(header::kDebits);
      record.number(header::kCredits);
      record.number(header::kNumber);
      record.date(header::kDate);
      // Several statements in one file: the first one opens, the last closes.
      if (!statement.opening) statement.opening = old;
      statement.closing = now;
      lastItem = nullptr;
    } else if (type == kItem) {
      StatementLine out;
      out.lineNumber = number;
      record.text(item::kAccount);
      record.text(item::kCounterAccount);
      record.text(item::kDocument);
      out.amount = record.number(item::kAmount);
      const char code = record.raw(item::kCode)[0];
      switch (code) {
        case kDebit:
        case kCreditReversal:
          out.income = false;
          break;
        case kCredit:
        case kDebitReversal:
          out.income = true;
          break;
        default:
          record.fail(item::kCode, "'" + std::string(1, code) + "' is no posting code (1, 2, 4 or 5)");
      }
      out.vs = withoutLeadingZeros(record.text(item::kVs));
      for (const char c : out.vs) {
        if (c < '0' || c > '9') record.fail(item::kVs, "'" + out.vs + "' is no number");
      }
      record.raw(item::kBank);
      record.raw(item::kKs);
      record.raw(item::kSs);
      out.date = record.date(item::kValueDate);
      out.counterparty = std::string(record.text(item::kName));
      record.raw(item::kCurrency);
      // A blank or zero due date means none.
      if (record.has(item::kDueDate)) {
        const std::string_view due = record.text(item::kDueDate);
        if (!due.empty() && due != "000000") record.date(item::kDueDate);
      }
      statement.lines.push_back(std::move(out));
      lastItem = &statement.lines.back();
    } else if (type == kDetails || type == kMessage12 || type == kMessage34) {
      if (lastItem == nullptr) record.fail(kType, "'" + std::string(type) + "' follows no item");
      if (type == kDetails) return;  // transaction identifiers, nothing for the journal
      // The second AV field may be cut off with its trailing blanks.
      appendMessage(lastItem->message, line.substr(kAvFirst.column - 1, kAvFirst.width));
      if (line.size() > static_cast<size_t>(kAvSecond.column - 1)) {
        appendMessage(lastItem->message, line.substr(kAvSecond.column - 1, kAvSecond.width));
      }
    } else {
      record.fail(kType, "'" + std::string(type) + "' is no GPC record");
    }
  });
  return statement;
}

Statement readGpc(const std::filesystem::path& file) {
  return parseGpc(readStatementFile(file), text::pathText(file));
}

}  // namespace bank
