#pragma once
// Tables of every dBASE level, built byte by byte from the published layouts
// of the file format, as the Windows tools of each level left them: what the
// engine must read and write in place.

#include <bit>
#include <chrono>
#include <cstdio>
#include <cstdint>
#include <string>
#include <vector>

#include "ledger/value.h"
#include "text/date.h"

namespace testing_support {

struct LevelColumn {
  std::string name;
  char type;
  int length;
  int decimals = 0;
  // Level 7: the next value of an autoincrement column; any column: the
  // production index flag of its descriptor.
  std::uint32_t nextAutoIncrement = 0;
  bool indexed = false;
};

// One table file. Levels III+, IV and 5: a 32-byte header, 32-byte
// descriptors, the terminator. Level 7 (version bits 0-2 = 4): 68 bytes of
// header (the language driver's name at 32), 48-byte descriptors, the
// terminator, then the field properties, inside the header length.
struct LevelTable {
  unsigned char version = 0x03;
  std::vector<LevelColumn> columns;
  std::vector<std::string> records;  // whole, deletion flag first
  unsigned char incompleteTransaction = 0;  // byte 14
  unsigned char encrypted = 0;              // byte 15
  unsigned char productionIndex = 0;        // byte 28
  unsigned char languageDriver = 0;         // byte 29
  std::string driverName = "DBWINWE0";      // level 7 only
  std::string properties;                   // level 7 only
  text::Date lastUpdate{2003, 5, 17};

  bool level7() const { return (version & 0x07) == 0x04; }

  int recordLength() const {
    int length = 1;
    for (const LevelColumn& c : columns) length += c.length;
    return length;
  }

  std::string headerBytes() const {
    const bool seven = level7();
    const std::size_t fixed = seven ? 68 : 32;
    const std::size_t descriptor = seven ? 48 : 32;
    const std::size_t headerLength = fixed + descriptor * columns.size() + 1 + (seven ? properties.size() : 0);
    std::string out(fixed, '\0');
    out[0] = static_cast<char>(version);
    out[1] = static_cast<char>(lastUpdate.year - 1900);
    out[2] = static_cast<char>(lastUpdate.month);
    out[3] = static_cast<char>(lastUpdate.day);
    putLe(out, 4, records.size(), 4);
    putLe(out, 8, headerLength, 2);
    putLe(out, 10, static_cast<std::uint64_t>(recordLength()), 2);
    out[14] = static_cast<char>(incompleteTransaction);
    out[15] = static_cast<char>(encrypted);
    out[28] = static_cast<char>(productionIndex);
    out[29] = static_cast<char>(languageDriver);
    if (seven) out.replace(32, driverName.size(), driverName);
    for (const LevelColumn& c : columns) {
      std::string d(descriptor, '\0');
      d.replace(0, c.name.size(), c.name);
      if (seven) {
        d[32] = c.type;
        d[33] = static_cast<char>(c.length);
        d[34] = static_cast<char>(c.decimals);
        d[37] = c.indexed ? '\x01' : '\0';
        putLe(d, 40, c.nextAutoIncrement, 4);
      } else {
        d[11] = c.type;
        d[16] = static_cast<char>(c.length);
        d[17] = static_cast<char>(c.decimals);
        d[31] = c.indexed ? '\x01' : '\0';
      }
      out += d;
    }
    out += '\x0D';
    if (seven) out += properties;
    return out;
  }

  std::string bytes() const {
    std::string out = headerBytes();
    for (const std::string& r : records) out += r;
    out += '\x1A';
    return out;
  }

  static void putLe(std::string& out, std::size_t at, std::uint64_t v, int bytes) {
    for (int i = 0; i < bytes; ++i) out[at + static_cast<std::size_t>(i)] = static_cast<char>(v >> (8 * i) & 0xFF);
  }
};

// Field bytes of the level 7 binary types, as the format describes them.
inline std::string bigEndian(std::uint64_t v, int bytes) {
  std::string out(static_cast<std::size_t>(bytes), '\0');
  for (int i = bytes - 1; i >= 0; --i, v >>= 8) out[static_cast<std::size_t>(i)] = static_cast<char>(v & 0xFF);
  return out;
}
// I and +: big-endian, the sign bit flipped.
inline std::string level7Integer(std::int32_t v) { return bigEndian(static_cast<std::uint32_t>(v) ^ 0x80000000U, 4); }
// O: big-endian; positives with the sign bit flipped, negatives all bits.
inline std::string level7Double(double v) {
  const std::uint64_t bits = std::bit_cast<std::uint64_t>(v);
  return bigEndian(v < 0 ? ~bits : bits ^ 0x8000000000000000ULL, 8);
}
// @: big-endian double, milliseconds counted from 0001-01-01 as day 1.
inline std::string level7Timestamp(long long dayNumber, long long millisecond) {
  return bigEndian(std::bit_cast<std::uint64_t>(static_cast<double>(dayNumber * 86400000LL + millisecond)), 8);
}
// The empty value of any binary field.
inline std::string level7Empty(int length) { return std::string(static_cast<std::size_t>(length), '\0'); }

inline std::string padRight(const std::string& text, int length) {
  std::string out = text.substr(0, static_cast<std::size_t>(length));
  out.resize(static_cast<std::size_t>(length), ' ');
  return out;
}
inline std::string padLeft(const std::string& text, int length) {
  return std::string(static_cast<std::size_t>(length) - text.size(), ' ') + text;
}

// 0001-01-01 is day 1 of the level 7 timestamp.
inline long long dayNumber(const text::Date& d) {
  using namespace std::chrono;
  const sys_days day{year{d.year} / month{static_cast<unsigned>(d.month)} / static_cast<unsigned>(d.day)};
  return day.time_since_epoch().count() + 719163;
}

// A cell as a tool of the column's level stores it.
inline std::string cell(const LevelColumn& c, const ledger::Value& v) {
  const bool empty = ledger::isNull(v);
  switch (c.type) {
    case 'C': return padRight(empty ? "" : std::get<std::string>(v), c.length);
    case 'D': {
      if (empty) return std::string(8, ' ');
      const text::Date d = std::get<text::Date>(v);
      char digits[9];
      std::snprintf(digits, sizeof digits, "%04d%02d%02d", d.year, d.month, d.day);
      return digits;
    }
    case 'N': {
      if (empty) return std::string(static_cast<std::size_t>(c.length), ' ');
      char digits[64];
      std::snprintf(digits, sizeof digits, "%.*f", c.decimals, std::get<double>(v));
      return padLeft(digits, c.length);
    }
    case 'I':
    case '+': return empty ? level7Empty(4) : level7Integer(static_cast<std::int32_t>(std::get<double>(v)));
    case 'O': return empty ? level7Empty(8) : level7Double(std::get<double>(v));
    case '@': return empty ? level7Empty(8) : level7Timestamp(dayNumber(std::get<text::Date>(v)), 0);
  }
  return "(no cell of type " + std::string(1, c.type) + ")";
}

inline std::string record(const std::vector<LevelColumn>& columns, const std::vector<ledger::Value>& values) {
  std::string out = " ";
  for (std::size_t i = 0; i < columns.size(); ++i) out += cell(columns[i], values[i]);
  return out;
}

// Journal columns in the order of the format: ID IDK IDM DATUM TEXT PLUS
// MINUS ZUSTATEK; types of the level.
inline std::vector<LevelColumn> journalColumns(const char types[8]) {
  const char* names[] = {"ID", "IDK", "IDM", "DATUM", "TEXT", "PLUS", "MINUS", "ZUSTATEK"};
  std::vector<LevelColumn> columns;
  for (int i = 0; i < 8; ++i) {
    const char t = types[i];
    const int length = t == 'C' ? 40 : t == 'D' ? 8 : t == 'I' || t == '+' ? 4 : t == 'O' || t == '@' ? 8
                       : i < 3 ? 10 : 15;
    const int decimals = t == 'N' && i >= 5 ? 2 : 0;
    columns.push_back({names[i], t, length, decimals});
  }
  return columns;
}

}  // namespace testing_support
