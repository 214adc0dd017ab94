#include "ledger/dbf_header.h"

#include <string>

#include "text/error.h"

namespace ledger::dbf {

namespace {

unsigned byteAt(std::string_view bytes, std::size_t at) { return static_cast<unsigned char>(bytes[at]); }

unsigned uint16At(std::string_view bytes, std::size_t at) { return byteAt(bytes, at) | byteAt(bytes, at + 1) << 8; }

std::int64_t uint32At(std::string_view bytes, std::size_t at) {
  return static_cast<std::int64_t>(byteAt(bytes, at)) | static_cast<std::int64_t>(byteAt(bytes, at + 1)) << 8 |
         static_cast<std::int64_t>(byteAt(bytes, at + 2)) << 16 |
         static_cast<std::int64_t>(byteAt(bytes, at + 3)) << 24;
}

void putUint16(std::string& out, std::size_t at, unsigned v) {
  out[at] = static_cast<char>(v & 0xFF);
  out[at + 1] = static_cast<char>(v >> 8 & 0xFF);
}

void putUint32(std::string& out, std::size_t at, std::int64_t v) {
  for (int i = 0; i < 4; ++i) out[at + i] = static_cast<char>(v >> (8 * i) & 0xFF);
}

[[noreturn]] void damaged(const std::string& shownPath, const std::string& what) {
  throw mincar::Error(shownPath + ": " + what);
}

bool knownType(char t) {
  return t == 'C' || t == 'N' || t == 'F' || t == 'D' || t == 'L';
}

// A name as the descriptor holds it: up to the first NUL; some writers pad
// with blanks instead.
std::string fieldName(std::string_view descriptor) {
  std::string_view raw = descriptor.substr(0, XBASE_FLDNAME_LEN_READ);
  std::size_t end = raw.find('\0');
  if (end != std::string_view::npos) raw = raw.substr(0, end);
  while (!raw.empty() && raw.back() == ' ') raw.remove_suffix(1);
  return std::string(raw);
}

std::string printable(char c) {
  unsigned char u = static_cast<unsigned char>(c);
  if (u >= 0x21 && u < 0x7F) return std::string(1, c);
  static const char* digits = "0123456789ABCDEF";
  return std::string("0x") + digits[u >> 4] + digits[u & 0xF];
}

}  // namespace

Header parseFileHeader(std::string_view bytes, const std::string& shownPath) {
  if (bytes.empty()) damaged(shownPath, "the file is empty, it is no dBASE table");
  if (bytes.size() < XBASE_FILEHDR_SZ) damaged(shownPath, "the table header is cut short");
  Header h;
  h.version = static_cast<unsigned char>(bytes[0]);
  h.lastUpdate = {1900 + static_cast<int>(byteAt(bytes, OFFSET_DATE)), static_cast<int>(byteAt(bytes, OFFSET_DATE + 1)),
                  static_cast<int>(byteAt(bytes, OFFSET_DATE + 2))};
  h.recordCount = uint32At(bytes, OFFSET_COUNT);
  h.headerLength = static_cast<int>(uint16At(bytes, OFFSET_HEADER_LENGTH));
  h.recordLength = static_cast<int>(uint16At(bytes, OFFSET_RECORD_LENGTH));
  h.languageDriver = static_cast<unsigned char>(bytes[OFFSET_LANGUAGE_DRIVER]);
  // The smallest header holds one descriptor and the terminator.
  const std::size_t smallest = XBASE_FILEHDR_SZ + XBASE_FLDHDR_SZ + 1;
  if (static_cast<std::size_t>(h.headerLength) < smallest) {
    damaged(shownPath, mincar::fill("the header length %d is too small", {std::to_string(h.headerLength)}));
  }
  if (h.recordLength < 2) {
    damaged(shownPath, mincar::fill("the record length %d is too small", {std::to_string(h.recordLength)}));
  }
  return h;
}

Header parseHeader(std::string_view bytes, const std::string& shownPath) {
  Header h = parseFileHeader(bytes, shownPath);
  if (bytes.size() < static_cast<std::size_t>(h.headerLength)) damaged(shownPath, "the table header is cut short");
  const std::string_view header = bytes.substr(0, static_cast<std::size_t>(h.headerLength));

  // Descriptors run until the terminator. Some writers leave bytes after it,
  // inside the header length: they are skipped.
  std::size_t at = XBASE_FILEHDR_SZ;
  for (;;) {
    if (at >= header.size()) damaged(shownPath, "the field list has no end mark");
    if (header[at] == HEADER_RECORD_TERMINATOR) break;
    if (at + XBASE_FLDHDR_SZ > header.size()) damaged(shownPath, "the field list is cut short");
    const std::string_view d = header.substr(at, XBASE_FLDHDR_SZ);
    FieldDef f;
    f.name = fieldName(d);
    const char type = d[11];
    if (!knownType(type)) {
      damaged(shownPath, mincar::fill("field '%s' has the type '%s', which Mincar cannot read",
                                      {f.name, printable(type)}));
    }
    f.type = static_cast<FieldType>(type);
    f.length = static_cast<int>(byteAt(d, 16));
    f.decimals = static_cast<int>(byteAt(d, 17));
    if (f.type == FieldType::Character) {
      // Text longer than 255 keeps the high byte of its length in the
      // decimals byte, as several writers do; decimals mean nothing for text.
      f.length += f.decimals * 256;
      f.decimals = 0;
    }
    if (f.length == 0) damaged(shownPath, mincar::fill("field '%s' has the length 0", {f.name}));
    h.fields.push_back(std::move(f));
    at += XBASE_FLDHDR_SZ;
  }
  if (h.fields.empty()) damaged(shownPath, "the table has no fields");
  const int recordLength = layOutRecord(h.fields, h.offsets);
  if (recordLength != h.recordLength) {
    damaged(shownPath, mincar::fill("the record length %d does not match the fields, which need %d",
                                    {std::to_string(h.recordLength), std::to_string(recordLength)}));
  }
  return h;
}

int layOutRecord(const std::vector<FieldDef>& fields, std::vector<int>& offsets) {
  int recordLength = 1;  // the deletion flag
  offsets.clear();
  offsets.reserve(fields.size());
  for (const FieldDef& f : fields) {
    offsets.push_back(recordLength - 1);
    recordLength += f.length;
  }
  return recordLength;
}

void checkNewFields(const std::vector<FieldDef>& fields, const std::string& shownPath) {
  auto refuse = [&](const std::string& what) {
    throw mincar::Error(mincar::fill("Cannot create %s: %s", {shownPath, what}));
  };
  if (fields.empty()) refuse("a table needs at least one field");
  long long recordLength = 1;
  for (const FieldDef& f : fields) {
    if (f.name.empty() || f.name.size() > XBASE_FLDNAME_LEN_WRITE || f.name.find('\0') != std::string::npos) {
      refuse(mincar::fill("the field name '%s' is not 1 to 10 characters long", {f.name}));
    }
    bool fits = true;
    switch (f.type) {
      case FieldType::Character: fits = f.length >= 1 && f.length <= 254 && f.decimals == 0; break;
      case FieldType::Numeric:
      case FieldType::Float:
        fits = f.length >= 1 && f.length <= 254 && f.decimals >= 0 && (f.decimals == 0 || f.decimals < f.length - 1);
        break;
      case FieldType::Date: fits = f.length == 8 && f.decimals == 0; break;
      case FieldType::Logical: fits = f.length == 1 && f.decimals == 0; break;
      default: refuse(mincar::fill("field '%s' has an unknown type", {f.name}));
    }
    if (!fits) refuse(mincar::fill("field '%s' cannot have this length and these decimals", {f.name}));
    recordLength += f.length;
  }
  if (recordLength > 0xFFFF) refuse("the record is longer than 65535 bytes");
  if (XBASE_FILEHDR_SZ + XBASE_FLDHDR_SZ * fields.size() + 1 > 0xFFFF) refuse("too many fields");
}

std::string encodeDate(const text::Date& today) {
  std::string out(3, '\0');
  out[0] = static_cast<char>((today.year - 1900) & 0xFF);
  out[1] = static_cast<char>(today.month);
  out[2] = static_cast<char>(today.day);
  return out;
}

std::string encodeDateAndCount(const text::Date& today, std::int64_t count) {
  std::string out = encodeDate(today);
  out.resize(7, '\0');
  putUint32(out, 3, count);
  return out;
}

std::string encodeHeader(const std::vector<FieldDef>& fields, const text::Date& today) {
  const std::size_t headerLength = XBASE_FILEHDR_SZ + XBASE_FLDHDR_SZ * fields.size() + 1;
  std::string out(headerLength, '\0');
  out[0] = static_cast<char>(VERSION_DBASE3);
  out.replace(OFFSET_DATE, 7, encodeDateAndCount(today, 0));
  std::vector<int> offsets;
  const int recordLength = layOutRecord(fields, offsets);
  putUint16(out, OFFSET_HEADER_LENGTH, static_cast<unsigned>(headerLength));
  putUint16(out, OFFSET_RECORD_LENGTH, static_cast<unsigned>(recordLength));
  out[OFFSET_LANGUAGE_DRIVER] = static_cast<char>(LANGUAGE_DRIVER_CP1250);
  std::size_t at = XBASE_FILEHDR_SZ;
  for (const FieldDef& f : fields) {
    out.replace(at, f.name.size(), f.name);
    out[at + 11] = static_cast<char>(f.type);
    out[at + 16] = static_cast<char>(f.length);
    out[at + 17] = static_cast<char>(f.decimals);
    at += XBASE_FLDHDR_SZ;
  }
  out[at] = HEADER_RECORD_TERMINATOR;
  return out;
}

std::int64_t countUncountedRecords(std::string_view tail, int recordLength) {
  if (recordLength <= 0 || tail.empty() || tail[0] == END_OF_FILE_CHARACTER) return 0;
  const std::size_t length = static_cast<std::size_t>(recordLength);
  std::int64_t complete = 0;
  for (std::size_t at = 0; at + length <= tail.size(); at += length) {
    if (tail[at] != RECORD_LIVE && tail[at] != RECORD_DELETED) break;
    ++complete;
  }
  return complete;
}

}  // namespace ledger::dbf
