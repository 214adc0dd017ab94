// Arbitrary bytes as the start of a table file: the pure header parser, then
// the engine opening the same bytes as a real file and reading every row.
// Only mincar::Error may come out; anything else is a finding.
#include <filesystem>
#include <string>
#include <string_view>
#include <system_error>

#include "fuzz_support.h"
#include "ledger/dataset.h"
#include "ledger/dbf_header.h"
#include "ledger/table.h"
#include "text/error.h"
#include "text/regional.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  const std::string_view bytes = fuzzing::bytesOf(data, size);
  try {
    ledger::dbf::Header header = ledger::dbf::parseHeader(bytes, "fuzz.dbf");
    // The counted records' tail goes through the crash-repair guess too.
    const std::size_t start = static_cast<std::size_t>(header.headerLength);
    if (header.recordLength > 0 && start <= bytes.size()) {
      ledger::dbf::countUncountedRecords(bytes.substr(start), header.recordLength);
    }
  } catch (const mincar::Error&) {
  }
  try {
    ledger::dbf::parseFileHeader(bytes, "fuzz.dbf");
  } catch (const mincar::Error&) {
  }

  static const std::filesystem::path file = fuzzing::scratchFile(".dbf");
  fuzzing::writeScratch(file, bytes);
  try {
    ledger::Dataset table("Table1", file, text::Regional::czech());
    table.open();
    table.takeRepairNotice();
    // A count beyond the records is repaired with the file as found kept
    // beside it: remove the copy, or every such input leaves one behind.
    const std::string damage = table.takeDamageNotice();
    constexpr std::string_view kKeptAs = " is kept as ";
    if (const std::size_t at = damage.rfind(kKeptAs); at != std::string::npos) {
      std::error_code ignored;
      std::filesystem::remove(damage.substr(at + kKeptAs.size()), ignored);
    }
    // A file may announce millions of rows it does not have; a bounded walk
    // still reaches every row the bytes can hold.
    int rows = 0;
    for (table.first(); !table.eof() && rows < 4096; table.next(), ++rows) {
      for (int i = 0; i < table.fieldCount(); ++i) {
        ledger::Field& field = table.field(i);
        field.isNull();
        field.asString();
        if (field.type() != ledger::FieldType::Character) field.asFloat();
      }
    }
    table.close();
  } catch (const mincar::Error&) {
  }
  return 0;
}
