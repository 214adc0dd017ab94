// Arbitrary record bytes decoded as every field type the engine knows, with
// the length and decimals the first bytes choose (a foreign file may declare
// any). Decoding reads only the field's own bytes: the field is copied into
// a buffer of exactly its length so that ASan sees any byte read past it.
#include <cstring>
#include <vector>

#include "fuzz_support.h"
#include "ledger/field_codec.h"
#include "text/error.h"
#include "text/regional.h"

namespace {

const ledger::FieldType kTypes[] = {ledger::FieldType::Character, ledger::FieldType::Numeric,
                                    ledger::FieldType::Float, ledger::FieldType::Date,
                                    ledger::FieldType::Logical};

void decodeAll(const ledger::FieldDef& def, const char* bytes, const text::Regional& regional) {
  using namespace ledger::codec;
  isNull(def, bytes);
  ledger::Value value = decode(def, bytes);
  try {
    toFloat(def, bytes, regional);
  } catch (const mincar::Error&) {
  }
  try {
    toText(def, bytes, regional);
  } catch (const mincar::Error&) {
  }
  try {
    toDate(def, bytes, regional);
  } catch (const mincar::Error&) {
  }
  // What was read goes back into a field of the same shape: either it fits
  // or the refusal names the field; it never writes past the field.
  std::vector<char> out(static_cast<std::size_t>(def.length) + 1, '\x55');
  try {
    encode(def, value, regional, EmptyText::Clears, out.data());
  } catch (const mincar::Error&) {
  }
  if (out[static_cast<std::size_t>(def.length)] != '\x55') __builtin_trap();

  double number = 0;
  decodeNumber(bytes, def.length, number, def.decimals);
  text::Date date;
  if (decodeDate(bytes, def.length, date) && !date.valid()) __builtin_trap();
  decodeLogical(bytes, def.length);
  decodeText(bytes, def.length);
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  if (size < 3) return 0;
  ledger::FieldDef def;
  def.name = "FIELD";
  def.type = kTypes[data[0] % 5];
  def.length = data[1] == 0 ? 1 : data[1];  // a field has at least one byte
  def.decimals = data[2] % 20;
  data += 3;
  size -= 3;
  static const text::Regional czech = text::Regional::czech();
  static const text::Regional us = text::Regional::fromPosixFormats("%m/%d/%Y", ".");
  // The rest of the input is one or more records of this field, cut into
  // buffers of exactly the field's length.
  const std::size_t length = static_cast<std::size_t>(def.length);
  for (std::size_t at = 0; at + length <= size; at += length) {
    std::vector<char> field(data + at, data + at + length);
    decodeAll(def, field.data(), czech);
    decodeAll(def, field.data(), us);
  }
  return 0;
}
