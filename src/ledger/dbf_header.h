#pragma once
#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

#include "ledger/value.h"
#include "text/date.h"

// The dBASE table header: a file header, one descriptor per field, a
// terminator, then the records, each with its deletion flag first, and an
// end-of-file marker after the last one.
//
// Levels III+, IV and 5 share one layout: a 32-byte file header and 32-byte
// descriptors. Level 7 has a 68-byte file header (the 32 bytes as before,
// the language driver's name, 4 reserved bytes), 48-byte descriptors, and
// after the terminator a block of field properties that the header length
// covers. Bytes that the engine does not own (flags, language driver,
// reserved bytes, the properties) are only ever read, never rewritten.
namespace ledger::dbf {

inline constexpr std::size_t XBASE_FILEHDR_SZ = 32;
inline constexpr std::size_t XBASE_FLDHDR_SZ = 32;
inline constexpr std::size_t XBASE_FLDNAME_LEN_READ = 11;  // 10 normally, but read up to 11
inline constexpr std::size_t XBASE_FLDNAME_LEN_WRITE = 10;
inline constexpr char HEADER_RECORD_TERMINATOR = 0x0D;
inline constexpr char END_OF_FILE_CHARACTER = 0x1A;
inline constexpr char RECORD_LIVE = ' ';
inline constexpr char RECORD_DELETED = '*';
inline constexpr unsigned char VERSION_DBASE3 = 0x03;
// The version byte: bits 0-2 the level (3 for III+, IV and 5; 4 for level
// 7), bit 3 a dBASE IV memo file, bits 4-6 an SQL table, bit 7 any memo file.
inline constexpr unsigned char VERSION_LEVEL_MASK = 0x07;
inline constexpr unsigned char VERSION_LEVEL_3 = 0x03;
inline constexpr unsigned char VERSION_LEVEL_7 = 0x04;
inline constexpr std::size_t DBASE7_FILEHDR_SZ = 68;
inline constexpr std::size_t DBASE7_FLDHDR_SZ = 48;
inline constexpr std::size_t DBASE7_FLDNAME_LEN = 32;
// Offsets within a level 7 descriptor.
inline constexpr std::size_t DBASE7_FIELD_TYPE = 32;
inline constexpr std::size_t DBASE7_FIELD_LENGTH = 33;
inline constexpr std::size_t DBASE7_FIELD_DECIMALS = 34;
inline constexpr std::size_t DBASE7_FIELD_NEXT_AUTOINCREMENT = 40;  // 32 bits, little-endian
inline constexpr unsigned char LANGUAGE_DRIVER_CP1250 = 0xC8;

// Offsets within the file header.
inline constexpr std::size_t OFFSET_DATE = 1;          // YY-1900, MM, DD
inline constexpr std::size_t OFFSET_COUNT = 4;         // 32 bits, little-endian
inline constexpr std::size_t OFFSET_HEADER_LENGTH = 8; // 16 bits
inline constexpr std::size_t OFFSET_RECORD_LENGTH = 10;
inline constexpr std::size_t OFFSET_INCOMPLETE_TRANSACTION = 14;  // kept as found
inline constexpr std::size_t OFFSET_ENCRYPTED = 15;                 // non-zero: refused
inline constexpr std::size_t OFFSET_PRODUCTION_INDEX = 28;          // kept as found
inline constexpr std::size_t OFFSET_LANGUAGE_DRIVER = 29;

inline constexpr std::int64_t kMaxRecordCount = 0xFFFFFFFFLL;

struct Header {
  unsigned char version = VERSION_DBASE3;
  text::Date lastUpdate;  // as stored; may be no valid date in a foreign file
  std::int64_t recordCount = 0;
  int headerLength = 0;
  int recordLength = 0;
  unsigned char languageDriver = 0;
  std::vector<FieldDef> fields;
  std::vector<int> offsets;  // of each field within the record, after the flag
  // Where each field's descriptor starts in the file.
  std::vector<std::size_t> descriptors;

  bool level7() const { return (version & VERSION_LEVEL_MASK) == VERSION_LEVEL_7; }
};

// Where the next value of field `index`, an autoincrement field, lies in the
// file.
std::size_t nextAutoIncrementAt(const Header& h, std::size_t index);
// The next value as the 4 bytes at that place hold it, and those bytes.
std::int64_t decodeAutoIncrement(std::string_view fourBytes);
std::string encodeAutoIncrement(std::int64_t next);

// The fixed 32-byte part alone: count, lengths, date. Throws mincar::Error
// naming shownPath when fewer than 32 bytes are given (an empty file gets its
// own message). Never reads beyond `bytes`.
Header parseFileHeader(std::string_view bytes, const std::string& shownPath);

// The whole header: the fixed part and the field descriptors up to the
// terminator. `bytes` is the start of the file, at least headerLength bytes
// when the file is whole; shorter input is reported as a cut header. Throws
// mincar::Error naming the file and what is wrong; never reads beyond
// `bytes`.
Header parseHeader(std::string_view bytes, const std::string& shownPath);

// Where each field starts within a record, after the deletion flag, into
// `offsets`; returns the record length, flag included.
int layOutRecord(const std::vector<FieldDef>& fields, std::vector<int>& offsets);

// The header of a new, empty table with these fields, terminator included.
// The fields must have passed checkNewFields.
std::string encodeHeader(const std::vector<FieldDef>& fields, const text::Date& today);
// Throws mincar::Error naming shownPath when a field cannot be written.
void checkNewFields(const std::vector<FieldDef>& fields, const std::string& shownPath);

// The date and count bytes of the header (offsets 1..7).
std::string encodeDateAndCount(const text::Date& today, std::int64_t count);
std::string encodeDate(const text::Date& today);

// How many complete records follow the counted ones, judging by `tail`, the
// bytes after the last counted record up to the end of the file. A crash
// between writing a record and writing the count leaves such records; an
// end-of-file marker right after the counted records, or bytes that do not
// start like a record, mean there are none.
std::int64_t countUncountedRecords(std::string_view tail, int recordLength);

}  // namespace ledger::dbf
