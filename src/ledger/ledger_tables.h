#pragma once
#include <filesystem>
#include <string>
#include <vector>

#include "ledger/dataset.h"
#include "ledger/value.h"

// The three tables of the ledger: where they lie, their columns by position
// and the numbering of new rows.
namespace ledger {

enum class LedgerTable { Journal, Books, Moves };

// Column positions; the order is part of the format.
namespace journal {
enum Column { ID = 0, IDK, IDM, DATUM, TEXT, PLUS, MINUS, ZUSTATEK };
inline constexpr int kTextLength = 200;
}  // namespace journal
namespace books {
enum Column { ID = 0, TEXT, BALANCE };
}
namespace moves {
enum Column { ID = 0, TEXT };
}

// data/peden.dbf, data/books.dbf, data/moves.dbf under the working folder.
std::filesystem::path tablePath(const std::filesystem::path& workDir, LedgerTable table);

// The column definitions of a table that Mincar creates.
const std::vector<FieldDef>& standardLayout(LedgerTable table);

// Creates data/ and every missing table with the standard layout; a table
// that exists is never touched. Returns the files it created.
std::vector<std::filesystem::path> createMissingTables(const std::filesystem::path& workDir);

// The highest non-empty value of a numeric column over the rows a walk
// visits (the caller switches the filter off for the whole table), starting
// from 0. The walk leaves the cursor on the last row.
double MaxFieldValue(Dataset& table, int column);

// Whether a row that a walk visits holds `number` in a numeric column (the
// caller switches the filter off for the whole table); deleted rows do not
// count. The walk leaves the cursor on the last row.
bool NumberInUse(Dataset& table, int column, double number);

// The numbering of every table, used by the new-row rules and the restore:
// the highest number so far, folded one value at a time, and the next one.
// Exact for every whole number a column holds (single precision, as the
// numbering once was, repeated numbers beyond 16,777,216).
inline void FoldHighest(double& highest, double value) {
  if (value > highest) highest = value;
}
inline double NextRowNumber(double highest) { return highest + 1.0; }

// Holds a table's numbering lock for one new-row rule.
class NumberingLock {
 public:
  explicit NumberingLock(Dataset& table) : table_(table) { table_.lockNumbering(); }
  ~NumberingLock() { table_.unlockNumbering(); }
  NumberingLock(const NumberingLock&) = delete;
  NumberingLock& operator=(const NumberingLock&) = delete;

 private:
  Dataset& table_;
};

}  // namespace ledger
