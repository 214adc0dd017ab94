#pragma once
#include <string>
#include <string_view>

#include "text/error.h"

// The engine's own texts, each in one place, and the failures that callers
// tell apart by type rather than by their wording.
namespace ledger {

namespace messages {
inline constexpr std::string_view kRecordLocked = "Record locked by another user.\nTable: %s";
inline constexpr std::string_view kRecordDeleted = "Record was deleted by another user.\nTable: %s";
inline constexpr std::string_view kTableBusy = "Table is busy: %s is in use by another user.";
inline constexpr std::string_view kCannotOpenFile = "Cannot open file %s";
inline constexpr std::string_view kCannotOpenFileBecause = "Cannot open file %s: %s";
inline constexpr std::string_view kCannotCreateFile = "Cannot create file %s";
inline constexpr std::string_view kCannotCreateFileBecause = "Cannot create file %s: %s";
inline constexpr std::string_view kCannotCreate = "Cannot create %s: %s";
inline constexpr std::string_view kCannotRead = "Cannot read %s: %s";
inline constexpr std::string_view kCannotWrite = "Cannot write to %s: %s";
inline constexpr std::string_view kCannotLock = "Cannot lock %s: %s";
inline constexpr std::string_view kCountRepaired = "%s: the row count was repaired from %d to %d";
// A header that counts more rows than the file holds: repaired on opening,
// once the file as found is kept beside it.
inline constexpr std::string_view kOvercountRepaired =
    "%s: the header promised %d rows, but only %d are in the file; the file as it was found is kept as %s";
inline constexpr std::string_view kOvercountNotCopied =
    "%s: the header promises %d rows, but only %d are in the file; it was left as it is, because a copy of "
    "it as found could not be kept: %s";
inline constexpr std::string_view kOvercountWhileOpen =
    "%s: the header promises %d rows, but only %d are in the file; another program damaged it while it was "
    "open, and the next opening repairs it, keeping the file as it was found";
// The same met by a command that only reads: it changes nothing.
inline constexpr std::string_view kOvercountShown =
    "%s: the header promises %d rows, but only %d are in the file; they are shown, and the first opening "
    "for writing repairs the file, keeping it as it was found";
// Deleted rows taken back; record numbers as dBASE counts them, from 1.
inline constexpr std::string_view kNoSuchRecord = "There is no record %d in %s, which holds %d records";
inline constexpr std::string_view kRecordNotDeleted = "Record %d of %s is not deleted";
// The table component's own refusals, after its name ("Table1: ...").
inline constexpr std::string_view kEmptyDataset = "Cannot perform this operation on an empty dataset";
inline constexpr std::string_view kNotEditing = "Dataset not in edit or insert mode";
inline constexpr std::string_view kOpenDataset = "Cannot perform this operation on an open dataset";
inline constexpr std::string_view kEmptyNeedsExclusive = "Cannot empty the table without exclusive mode";
inline constexpr std::string_view kClosedDataset = "Cannot perform this operation on a closed dataset";
inline constexpr std::string_view kInsideFilter = "Cannot perform this operation inside the filter callback";
inline constexpr std::string_view kInsidePass = "Cannot perform this operation inside a pass over a column";
inline constexpr std::string_view kFieldIndexOutOfRange = "Field index %d out of range";
inline constexpr std::string_view kExamineStepTooSmall = "A step must examine at least one record, not %d";
// Damage and file failures.
inline constexpr std::string_view kFileCut = "the file is shorter than its header says; another program may have cut it";
inline constexpr std::string_view kLayoutChanged = "another program has changed the table's layout; open it again";
inline constexpr std::string_view kTableFull = "the table cannot hold more rows";
inline constexpr std::string_view kCountBeyondFile = "the header counts %d rows, but the file is shorter";
inline constexpr std::string_view kCannotCreateExists = "Cannot create %s: the file already exists";
inline constexpr std::string_view kCannotCreateFolder = "Cannot create folder %s: %s";
inline constexpr std::string_view kInvalidValue = "Invalid value for field '%s'";
// The header as read: damage, after the file's name ("%s: ...").
inline constexpr std::string_view kFileEmpty = "the file is empty, it is no dBASE table";
inline constexpr std::string_view kHeaderCut = "the table header is cut short";
inline constexpr std::string_view kHeaderLengthTooSmall = "the header length %d is too small";
inline constexpr std::string_view kRecordLengthTooSmall = "the record length %d is too small";
inline constexpr std::string_view kNoFieldListEnd = "the field list has no end mark";
inline constexpr std::string_view kFieldListCut = "the field list is cut short";
inline constexpr std::string_view kNoFields = "the table has no fields";
inline constexpr std::string_view kFieldLengthZero = "field '%s' has the length 0";
inline constexpr std::string_view kRecordLengthMismatch = "the record length %d does not match the fields, which need %d";
// Tables that Mincar cannot use, refused whole before anything is written.
inline constexpr std::string_view kNotDbase =
    "%s is no dBASE table: its first byte is 0x%s, which no dBASE level from III+ to 7 writes";
inline constexpr std::string_view kEncrypted =
    "Table %s is encrypted, which Mincar cannot read";
inline constexpr std::string_view kMemoColumn =
    "Table %s: column %s is a memo column (type %s), which Mincar cannot use";
inline constexpr std::string_view kUnknownColumnType =
    "Table %s: column %s has the type '%s', which Mincar cannot use";
inline constexpr std::string_view kLevel7TypeInOlderTable =
    "Table %s: column %s has the type '%s', which only a dBASE level 7 table may have, but the table is of "
    "an earlier level";
inline constexpr std::string_view kWrongTypeLength =
    "Table %s: column %s of type '%s' is %d bytes long, but that type is always %d bytes long";
inline constexpr std::string_view kAutoIncrementExhausted =
    "Table %s: column %s cannot number more rows, its next value %d is the largest a column of type '+' holds";
}  // namespace messages

// Another user holds the row's lock: an edit or delete is refused at once.
class RowLockedError : public mincar::Error {
 public:
  explicit RowLockedError(const std::string& shownPath)
      : mincar::Error(mincar::fill(messages::kRecordLocked, {shownPath})) {}
};

// Another user deleted the row this copy is on.
class RowDeletedError : public mincar::Error {
 public:
  explicit RowDeletedError(const std::string& shownPath)
      : mincar::Error(mincar::fill(messages::kRecordDeleted, {shownPath})) {}
};

// Another user holds the table in a way that keeps us out, or a header lock
// was not had in time.
class TableBusyError : public mincar::Error {
 public:
  explicit TableBusyError(const std::string& shownPath)
      : mincar::Error(mincar::fill(messages::kTableBusy, {shownPath})) {}
};

// The text of an errno value, as every message of the engine gives it.
std::string systemMessage(int error);

}  // namespace ledger
