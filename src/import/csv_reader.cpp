#include "import/csv_reader.h"

#include <cstdint>
#include <string>
#include <vector>

#include "import/file_bytes.h"
#include "text/cp1250.h"
#include "text/error.h"

namespace bank {

const std::array<CsvRole, 7> kCsvRoles = {{
    {"date", "Datum", &CsvColumns::date},
    {"amount", "Částka", &CsvColumns::amount},
    {"account", "Protiúčet", &CsvColumns::account},
    {"name", "Název protiúčtu", &CsvColumns::name},
    {"message", "Zpráva pro příjemce", &CsvColumns::message},
    {"vs", "VS", &CsvColumns::vs},
    {"note", "Poznámka", &CsvColumns::note},
}};

namespace {

constexpr std::string_view kUtf8Bom = "\xEF\xBB\xBF";

using Role = CsvRole;
const auto& kRoles = kCsvRoles;

// Other header names some banks give a role.
struct HeaderName {
  std::string_view utf8;
  std::optional<int> CsvColumns::*column;
};
const HeaderName kOtherHeaderNames[] = {
    {"Objem", &CsvColumns::amount},
};

std::string_view trim(std::string_view s) {
  // Blanks and Windows-1250's no-break space.
  auto blank = [](char c) { return c == ' ' || c == '\t' || c == '\xA0'; };
  while (!s.empty() && blank(s.back())) s.remove_suffix(1);
  while (!s.empty() && blank(s.front())) s.remove_prefix(1);
  return s;
}

bool validUtf8(std::string_view s) {
  for (size_t i = 0; i < s.size();) {
    const auto c = static_cast<unsigned char>(s[i]);
    const size_t more = c < 0x80 ? 0 : (c >> 5) == 6 ? 1 : (c >> 4) == 14 ? 2 : (c >> 3) == 30 ? 3 : 4;
    if (more == 4 || i + more >= s.size() + (more == 0 ? 1 : 0)) return false;
    for (size_t k = 1; k <= more; ++k) {
      if ((static_cast<unsigned char>(s[i + k]) >> 6) != 2) return false;
    }
    i += more + 1;
  }
  return true;
}

struct Record {
  int line;  // where it starts
  std::vector<std::string> fields;
};

// Splits the text into records; a quoted field may hold the separator,
// doubled quotes and line breaks.
std::vector<Record> records(std::string_view text, char separator) {
  std::vector<Record> out;
  int line = 1;
  size_t i = 0;
  while (i < text.size()) {
    Record record{line, {}};
    std::string field;
    bool quoted = false, wasQuoted = false, endOfRecord = false;
    while (i < text.size() && !endOfRecord) {
      const char c = text[i++];
      if (quoted) {
        if (c == '"') {
          if (i < text.size() && text[i] == '"') {
            field += '"';
            ++i;
          } else {
            quoted = false;
          }
        } else {
          if (c == '\n') ++line;
          if (c != '\r') field += c;
        }
      } else if (c == '"' && trim(field).empty() && !wasQuoted) {
        field.clear();
        quoted = wasQuoted = true;
      } else if (c == separator) {
        record.fields.push_back(std::move(field));
        field.clear();
        wasQuoted = false;
      } else if (c == '\n') {
        ++line;
        endOfRecord = true;
      } else if (c != '\r') {
        field += c;
      }
    }
    record.fields.push_back(std::move(field));
    // Blank lines are no records.
    if (record.fields.size() > 1 || !trim(record.fields[0]).empty()) out.push_back(std::move(record));
  }
  return out;
}

char separatorOf(std::string_view text) {
  const std::string_view first = text.substr(0, text.find('\n'));
  return first.find(';') != std::string_view::npos ? ';' : ',';
}

bool parseDate(std::string_view s, text::Date& out, const text::Regional& regional) {
  s = trim(s);
  // yyyy-mm-dd, as many banks export it.
  if (s.size() == 10 && s[4] == '-' && s[7] == '-') {
    int parts[3] = {0, 0, 0};
    const size_t starts[3] = {0, 5, 8}, widths[3] = {4, 2, 2};
    for (int p = 0; p < 3; ++p) {
      for (size_t k = 0; k < widths[p]; ++k) {
        const char c = s[starts[p] + k];
        if (c < '0' || c > '9') return false;
        parts[p] = parts[p] * 10 + (c - '0');
      }
    }
    out = text::Date{parts[0], parts[1], parts[2]};
    return out.valid();
  }
  return text::tryParseDate(s, text::Regional::czech(), out) || text::tryParseDate(s, regional, out);
}

// Hundredths from "1 234,50", "-1234.5", "+12": the last ',' or '.' is the
// decimal mark when two or fewer digits follow; blanks group thousands.
bool parseAmount(std::string_view s, std::int64_t& out) {
  s = trim(s);
  bool negative = false;
  if (!s.empty() && (s.front() == '-' || s.front() == '+')) {
    negative = s.front() == '-';
    s.remove_prefix(1);
  }
  const size_t mark = s.find_last_of(",.");
  std::string_view whole = s, fraction;
  if (mark != std::string_view::npos) {
    whole = s.substr(0, mark);
    fraction = s.substr(mark + 1);
    if (fraction.empty() || fraction.size() > 2) return false;
  }
  std::int64_t value = 0;
  int digits = 0;
  for (const char c : whole) {
    if (c == ' ' || c == '\xA0') continue;
    if (c < '0' || c > '9' || ++digits > 15) return false;
    value = value * 10 + (c - '0');
  }
  std::int64_t cents = 0;
  for (size_t k = 0; k < 2; ++k) {
    const char c = k < fraction.size() ? fraction[k] : '0';
    if (c < '0' || c > '9') return false;
    cents = cents * 10 + (c - '0');
  }
  if (digits == 0 && fraction.empty()) return false;
  out = (value * 100 + cents) * (negative ? -1 : 1);
  return true;
}

class Reader {
 public:
  Reader(std::string_view fileName) : fileName_(fileName) {}

  [[noreturn]] void fail(int line, std::string_view field, std::string_view what) const {
    throw mincar::Error(
        mincar::fill("File %s, line %s, %s: %s", {fileName_, std::to_string(line), field, what}));
  }

  // The cell of a role, "" when the file has no such column.
  std::string_view cell(const Record& r, const CsvColumns& c, const Role& role, bool needed) const {
    const std::optional<int>& at = c.*role.column;
    if (!at) return {};
    if (static_cast<size_t>(*at) >= r.fields.size()) {
      if (needed) fail(r.line, role.spec, "the line has no column " + std::to_string(*at + 1));
      return {};
    }
    return trim(r.fields[*at]);
  }

 private:
  std::string_view fileName_;
};

}  // namespace

CsvColumns parseCsvColumns(std::string_view spec) {
  CsvColumns out;
  auto refuse = [&](std::string_view part) {
    throw mincar::Error(mincar::fill(
        "--columns: '%s' is no column; write e.g. date=1,amount=3,name=4,message=5,vs=6,note=7",
        {part}));
  };
  while (!spec.empty()) {
    const size_t comma = spec.find(',');
    const std::string_view part = spec.substr(0, comma);
    spec = comma == std::string_view::npos ? std::string_view{} : spec.substr(comma + 1);
    const size_t eq = part.find('=');
    if (eq == std::string_view::npos) refuse(part);
    const std::string_view name = part.substr(0, eq), number = part.substr(eq + 1);
    int value = 0;
    if (number.empty() || number.size() > 4) refuse(part);
    for (const char c : number) {
      if (c < '0' || c > '9') refuse(part);
      value = value * 10 + (c - '0');
    }
    if (value < 1) refuse(part);
    bool known = false;
    for (const Role& role : kRoles) {
      if (role.spec == name) {
        out.*role.column = value - 1;
        known = true;
      }
    }
    if (!known) refuse(part);
  }
  if (!out.date || !out.amount) {
    throw mincar::Error("--columns must name the date and the amount column (date=N,amount=N)");
  }
  return out;
}

namespace {

// Everything becomes Windows-1250, as the tables hold it.
std::string cp1250Text(std::string_view bytes, std::string_view fileName) {
  // A table, a PDF or a picture chosen by mistake: no text file at all.
  for (size_t i = 0; i < bytes.size(); ++i) {
    const auto c = static_cast<unsigned char>(bytes[i]);
    const bool endMark = c == 0x1A && i + 1 == bytes.size();
    if (c < 0x20 && c != '\t' && c != '\r' && c != '\n' && !endMark) {
      throw mincar::Error(mincar::fill("File %s is no text file, so no statement", {fileName}));
    }
  }
  if (bytes.substr(0, kUtf8Bom.size()) != kUtf8Bom && !validUtf8(bytes)) return std::string(bytes);
  if (bytes.substr(0, kUtf8Bom.size()) == kUtf8Bom) bytes.remove_prefix(kUtf8Bom.size());
  try {
    return text::toCp1250(bytes);
  } catch (const mincar::Error&) {
    // The line that holds what Windows-1250 cannot, named as every error.
    forEachLine(bytes, [&](int number, std::string_view line) {
      try {
        text::toCp1250(line);
      } catch (const mincar::Error& e) {
        throw mincar::Error(mincar::fill("File %s, line %s: %s", {fileName, std::to_string(number), e.what()}));
      }
    });
    throw;
  }
}

std::vector<Record> csvRecords(std::string_view bytes, std::string_view fileName) {
  const std::string text = cp1250Text(bytes, fileName);
  std::vector<Record> rows = records(text, separatorOf(text));
  if (rows.empty()) throw mincar::Error(mincar::fill("File %s holds no statement lines", {fileName}));
  return rows;
}

}  // namespace

std::vector<std::string> csvHeader(std::string_view bytes, std::string_view fileName) {
  const std::vector<Record> rows = csvRecords(bytes, fileName);
  std::vector<std::string> out;
  for (const std::string& field : rows.front().fields) out.emplace_back(trim(field));
  return out;
}

Statement parseCsv(std::string_view bytes, std::string_view fileName,
                   const std::optional<CsvColumns>& given, const text::Regional& regional) {
  const std::vector<Record> rows = csvRecords(bytes, fileName);
  const Reader reader(fileName);

  CsvColumns columns;
  size_t firstData = 0;
  text::Date probe;
  if (given) {
    columns = *given;
    // A header line goes unread: its date cell is no date.
    const Record& head = rows[0];
    if (static_cast<size_t>(*columns.date) >= head.fields.size() ||
        !parseDate(head.fields[*columns.date], probe, regional)) {
      firstData = 1;
    }
  } else {
    const Record& head = rows[0];
    for (size_t i = 0; i < head.fields.size(); ++i) {
      const std::string name(trim(head.fields[i]));
      auto take = [&](std::string_view utf8, std::optional<int> CsvColumns::*column) {
        if (name == text::toCp1250(utf8) && !(columns.*column)) columns.*column = static_cast<int>(i);
      };
      for (const CsvRole& role : kCsvRoles) take(role.headerUtf8, role.column);
      for (const HeaderName& h : kOtherHeaderNames) take(h.utf8, h.column);
    }
    if (!columns.date || !columns.amount) {
      // The pattern names the Czech headers, so it is converted like all text.
      throw UnnamedColumns(mincar::fill(
          text::toCp1250("File %s, line 1: no columns 'Datum' and 'Objem' (or 'Částka'); name them with --columns"),
          {fileName}));
    }
    firstData = 1;
  }

  Statement statement;
  for (size_t r = firstData; r < rows.size(); ++r) {
    const Record& row = rows[r];
    StatementLine line;
    line.lineNumber = row.line;
    const std::string_view date = reader.cell(row, columns, kRoles[0], true);
    if (!parseDate(date, line.date, regional)) {
      reader.fail(row.line, "date", "'" + std::string(date) + "' is no date");
    }
    const std::string_view amount = reader.cell(row, columns, kRoles[1], true);
    std::int64_t signedAmount = 0;
    if (!parseAmount(amount, signedAmount)) {
      reader.fail(row.line, "amount", "'" + std::string(amount) + "' is no number");
    }
    line.income = signedAmount >= 0;
    line.amount = signedAmount < 0 ? -signedAmount : signedAmount;
    line.counterparty = text::singleLine(std::string(reader.cell(row, columns, kRoles[3], false)));
    if (line.counterparty.empty()) {
      line.counterparty = text::singleLine(std::string(reader.cell(row, columns, kRoles[2], false)));
    }
    line.message = text::singleLine(std::string(reader.cell(row, columns, kRoles[4], false)));
    const std::string note = text::singleLine(std::string(reader.cell(row, columns, kRoles[6], false)));
    if (!note.empty() && note != line.message) {
      line.message += line.message.empty() ? note : ", " + note;
    }
    std::string_view vs = reader.cell(row, columns, kRoles[5], false);
    while (!vs.empty() && vs.front() == '0') vs.remove_prefix(1);
    line.vs = std::string(vs);
    statement.lines.push_back(std::move(line));
  }
  return statement;
}

Statement readCsv(const std::filesystem::path& file, const std::optional<CsvColumns>& columns,
                  const text::Regional& regional) {
  return parseCsv(readStatementFile(file), text::pathText(file), columns, regional);
}

}  // namespace bank
