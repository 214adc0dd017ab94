#pragma once
#include <string>
#include <cstdint>
#include <string_view>
#include <vector>

#include "ledger/value.h"
#include "text/date.h"
#include "text/regional.h"

// Field bytes of a dBASE record and the values they hold. Every function
// takes the field's bytes (def.length of them) and reads nothing else.
//
// C  Windows-1250 text, blank padded; trailing blanks (and the NULs some
//    writers pad with) are not part of the value; all blanks is empty.
// N, F  right-aligned ASCII number with '.'; empty when blank or all '*'
//    (GDAL writes an empty number so). A number that cannot be read reads
//    as empty; its bytes stay untouched until the field is set.
// D  YYYYMMDD; empty when blank, all zeros or not a real date.
// L  T t Y y true, F f N n false, anything else empty.
//
// Level 7 stores four types in binary, each so that its bytes sort as its
// values do; all bytes zero is empty:
// I, +  4 bytes: the signed value big-endian with its sign bit flipped.
// O  8 bytes: the IEEE double big-endian, its sign bit flipped when it is
//    positive, every bit flipped when it is negative.
// @  8 bytes: the IEEE double big-endian of the milliseconds since the start
//    of 0001-01-01 (Gregorian), counted so that that day is day 1.
namespace ledger::codec {

// The binary types of level 7.
bool isBinaryType(FieldType type);
// An empty field of this type: blanks, or zeros for the binary types.
void fillEmpty(const FieldDef& def, char* out);
// A record whose every field is empty, its deletion flag live.
std::string emptyRecord(const std::vector<FieldDef>& fields, const std::vector<int>& offsets, int recordLength);
// An I or + field's bytes; false when empty.
bool decodeInteger(const char* bytes, std::int64_t& out);
void encodeInteger(std::int32_t value, char* out);

// A number field's bytes as a number; false when empty or unreadable.
// `decimals` says where a writer that keeps to the column's decimals puts
// the point; numbers written in any other form are read too, only slower.
bool decodeNumber(const char* bytes, int length, double& out, int decimals = 0);
// A date field's bytes as a date; false when empty or no real date.
bool decodeDate(const char* bytes, int length, text::Date& out);
// -1 empty, 0 false, 1 true.
int decodeLogical(const char* bytes, int length);
// A text field's value: the bytes without trailing padding.
std::string_view decodeText(const char* bytes, int length);

bool isNull(const FieldDef& def, const char* bytes);
Value decode(const FieldDef& def, const char* bytes);
double toFloat(const FieldDef& def, const char* bytes, const text::Regional& regional);
std::string toText(const FieldDef& def, const char* bytes, const text::Regional& regional);
text::Date toDate(const FieldDef& def, const char* bytes, const text::Regional& regional);

// Right-aligned with exactly `decimals` decimals (rounded as printf does);
// false when it does not fit `length` or is not finite. Writes nothing then.
bool encodeNumber(double value, int length, int decimals, char* out);

// How a text that a number, date or logical field parses is taken when it
// is empty: a variant assignment refuses it, a text assignment empties the
// field.
enum class EmptyText { Refused, Clears };

// Encodes a value into the field's bytes (def.length of them at out). A value
// that the field cannot take throws mincar::Error "Invalid value for field
// '%s'" and leaves `out` untouched.
void encode(const FieldDef& def, const Value& value, const text::Regional& regional, EmptyText emptyText,
            char* out);

// The same for a text value, without making the value: what a text column
// takes, plain decimal numbers and dates go the short way, the rest and
// every refusal the general one.
void encodeText(const FieldDef& def, std::string_view text, const text::Regional& regional, EmptyText emptyText,
                char* out);

std::string invalidValueMessage(const FieldDef& def);

}  // namespace ledger::codec
