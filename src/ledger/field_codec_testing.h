#pragma once
#include "ledger/field_codec.h"

namespace ledger::codec::testing {

// encode without its short ways, for the tests to hold those against.
void encodeGenerally(const FieldDef& def, const Value& value, const text::Regional& regional, EmptyText emptyText,
                     char* out);

}  // namespace ledger::codec::testing
