#include "ledger/dbf_header.h"

#include <initializer_list>
#include <string>

#include "ledger/errors.h"
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

[[noreturn]] void damaged(const std::string& shownPath, std::string_view what) {
  throw mincar::Error(shownPath + ": " + std::string(what));
}

[[noreturn]] void refuse(std::string_view message, std::initializer_list<std::string_view> args) {
  throw mincar::Error(mincar::fill(message, args));
}

// A name as the descriptor holds it: up to the first NUL; some writers pad
// with blanks instead.
std::string fieldName(std::string_view raw) {
  std::size_t end = raw.find('\0');
  if (end != std::string_view::npos) raw = raw.substr(0, end);
  while (!raw.empty() && raw.back() == ' ') raw.remove_suffix(1);
  return std::string(raw);
}

std::string hexByte(unsigned char u) {
  static const char* digits = "0123456789ABCDEF";
  return std::string{digits[u >> 4], digits[u & 0xF]};
}

std::string printable(char c) {
  unsigned char u = static_cast<unsigned char>(c);
  if (u >= 0x21 && u < 0x7F) return std::string(1, c);
  return "0x" + hexByte(u);
}

bool knownLevel(unsigned char version) {
  const unsigned level = version & VERSION_LEVEL_MASK;
  return level == VERSION_LEVEL_3 || level == VERSION_LEVEL_7;
}

// The type of a descriptor, refused with the column's name and the reason
// when Mincar cannot use it; the binary types' lengths are fixed.
FieldType checkedType(char type, const FieldDef& f, bool level7, const std::string& shownPath) {
  switch (type) {
    case 'C': case 'N': case 'F': case 'D': case 'L':
      return static_cast<FieldType>(type);
    case 'M': case 'B': case 'G':
      refuse(messages::kMemoColumn, {shownPath, f.name, std::string(1, type)});
    case 'I': case '+': case 'O': case '@': {
      if (!level7) refuse(messages::kLevel7TypeInOlderTable, {shownPath, f.name, std::string(1, type)});
      const int fixed = type == 'I' || type == '+' ? 4 : 8;
      if (f.length != fixed) {
        refuse(messages::kWrongTypeLength,
               {shownPath, f.name, std::string(1, type), std::to_string(f.length), std::to_string(fixed)});
      }
      return static_cast<FieldType>(type);
    }
    default:
      refuse(messages::kUnknownColumnType, {shownPath, f.name.empty() ? "(no name)" : f.name, printable(type)});
  }
}

}  // namespace

Header parseFileHeader(std::string_view bytes, const std::string& shownPath) {
  if (bytes.empty()) damaged(shownPath, messages::kFileEmpty);
  // The first byte tells a dBASE table from any other file, before the
  // rest of the header is judged.
  const unsigned char version = static_cast<unsigned char>(bytes[0]);
  if (!knownLevel(version)) refuse(messages::kNotDbase, {shownPath, hexByte(version)});
  if (bytes.size() < XBASE_FILEHDR_SZ) damaged(shownPath, messages::kHeaderCut);
  if (bytes[OFFSET_ENCRYPTED] != 0) refuse(messages::kEncrypted, {shownPath});
  Header h;
  h.version = version;
  h.lastUpdate = {1900 + static_cast<int>(byteAt(bytes, OFFSET_DATE)), static_cast<int>(byteAt(bytes, OFFSET_DATE + 1)),
                  static_cast<int>(byteAt(bytes, OFFSET_DATE + 2))};
  h.recordCount = uint32At(bytes, OFFSET_COUNT);
  h.headerLength = static_cast<int>(uint16At(bytes, OFFSET_HEADER_LENGTH));
  h.recordLength = static_cast<int>(uint16At(bytes, OFFSET_RECORD_LENGTH));
  h.languageDriver = static_cast<unsigned char>(bytes[OFFSET_LANGUAGE_DRIVER]);
  // The smallest header holds one descriptor and the terminator.
  const std::size_t smallest = h.level7() ? DBASE7_FILEHDR_SZ + DBASE7_FLDHDR_SZ + 1
                                          : XBASE_FILEHDR_SZ + XBASE_FLDHDR_SZ + 1;
  if (static_cast<std::size_t>(h.headerLength) < smallest) {
    damaged(shownPath, mincar::fill(messages::kHeaderLengthTooSmall, {std::to_string(h.headerLength)}));
  }
  if (h.recordLength < 2) {
    damaged(shownPath, mincar::fill(messages::kRecordLengthTooSmall, {std::to_string(h.recordLength)}));
  }
  return h;
}

Header parseHeader(std::string_view bytes, const std::string& shownPath) {
  Header h = parseFileHeader(bytes, shownPath);
  if (bytes.size() < static_cast<std::size_t>(h.headerLength)) damaged(shownPath, messages::kHeaderCut);
  const std::string_view header = bytes.substr(0, static_cast<std::size_t>(h.headerLength));
  const bool level7 = h.level7();
  const std::size_t descriptorSize = level7 ? DBASE7_FLDHDR_SZ : XBASE_FLDHDR_SZ;
  const std::size_t typeAt = level7 ? DBASE7_FIELD_TYPE : 11;
  const std::size_t lengthAt = level7 ? DBASE7_FIELD_LENGTH : 16;
  const std::size_t decimalsAt = level7 ? DBASE7_FIELD_DECIMALS : 17;

  // Descriptors run until the terminator. Bytes after it, inside the header
  // length, are skipped: level 7 keeps its field properties there, some
  // writers of the other levels leave padding.
  std::size_t at = level7 ? DBASE7_FILEHDR_SZ : XBASE_FILEHDR_SZ;
  for (;;) {
    if (at >= header.size()) damaged(shownPath, messages::kNoFieldListEnd);
    if (header[at] == HEADER_RECORD_TERMINATOR) break;
    if (at + descriptorSize > header.size()) damaged(shownPath, messages::kFieldListCut);
    const std::string_view d = header.substr(at, descriptorSize);
    FieldDef f;
    f.name = fieldName(d.substr(0, level7 ? DBASE7_FLDNAME_LEN : XBASE_FLDNAME_LEN_READ));
    f.length = static_cast<int>(byteAt(d, lengthAt));
    f.decimals = static_cast<int>(byteAt(d, decimalsAt));
    f.type = checkedType(d[typeAt], f, level7, shownPath);
    if (f.type == FieldType::Character) {
      // Text longer than 255 keeps the high byte of its length in the
      // decimals byte, as several writers do; decimals mean nothing for text.
      f.length += f.decimals * 256;
      f.decimals = 0;
    }
    if (f.length == 0) damaged(shownPath, mincar::fill(messages::kFieldLengthZero, {f.name}));
    h.fields.push_back(std::move(f));
    h.descriptors.push_back(at);
    at += descriptorSize;
  }
  if (h.fields.empty()) damaged(shownPath, messages::kNoFields);
  const int recordLength = layOutRecord(h.fields, h.offsets);
  if (recordLength != h.recordLength) {
    damaged(shownPath, mincar::fill(messages::kRecordLengthMismatch,
                                    {std::to_string(h.recordLength), std::to_string(recordLength)}));
  }
  return h;
}

std::size_t nextAutoIncrementAt(const Header& h, std::size_t index) {
  return h.descriptors[index] + DBASE7_FIELD_NEXT_AUTOINCREMENT;
}

std::int64_t decodeAutoIncrement(std::string_view fourBytes) { return uint32At(fourBytes, 0); }

std::string encodeAutoIncrement(std::int64_t next) {
  std::string out(4, '\0');
  putUint32(out, 0, next);
  return out;
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
