#pragma once
#include <string_view>

#include "ledger/value.h"
#include "text/regional.h"

// A piece of a backup line stored into a field's bytes, exactly as the
// engine stores a text assigned to the field (ledger::codec::encode with a
// text value, an empty text refused), the short way for what backups hold:
// texts, plain decimal numbers, dates. Everything else, and every refusal,
// goes through the engine's own encoding, so that its messages are the
// engine's. The tests hold both against each other.
namespace backup {

// Writes def.length bytes at `out`, or throws "Invalid value for field
// '%s'" and leaves them as they were.
void assignText(const ledger::FieldDef& def, std::string_view text, const text::Regional& regional, char* out);

// The same for a number, as a number value is assigned (the new rows'
// numbers).
void assignNumber(const ledger::FieldDef& def, double value, const text::Regional& regional, char* out);

}  // namespace backup
