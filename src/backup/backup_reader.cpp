#include "backup/backup_reader.h"

#include <exception>
#include <memory>
#include <optional>
#include <utility>

#include "app/textio.h"
#include "backup/backup_file.h"
#include "ledger/field_codec.h"
#include "ledger/ledger_tables.h"
#include "text/cp1250.h"
#include "text/error.h"

namespace backup {

namespace fs = std::filesystem;
using ledger::Dataset;
using ledger::FieldDef;
using ledger::Value;

namespace {

constexpr char kSeparator = ';';
constexpr std::string_view kNullMarker = " ";
// Column 0 holds every table's row number.
constexpr int kIdColumn = 0;
constexpr std::string_view kSectionNames[3] = {"Denik", "Moves", "Books"};
// A piece quoted in a message is cut here; the rest says nothing more.
constexpr std::size_t kQuotedPiece = 60;

// A column that refused its value, for the message's "where".
class ColumnError : public mincar::Error {
 public:
  enum class Cause { Piece, NewRow };
  ColumnError(const std::string& message, int column, Cause cause, std::string_view piece)
      : mincar::Error(message), column(column), cause(cause), piece(piece) {}
  int column;
  Cause cause;
  std::string piece;
};

// Stores into one column of the record; a refusal names the column.
template <class Store>
void storeInto(const RecordLayout& layout, std::string& record, int column, ColumnError::Cause cause,
               std::string_view piece, Store store) {
  const std::size_t at = static_cast<std::size_t>(column);
  try {
    store(layout.fields[at], record.data() + 1 + layout.offsets[at]);
  } catch (const mincar::Error& e) {
    throw ColumnError(e.what(), column, cause, piece);
  }
}

// The new-record rule of one table, run for every row the restore appends,
// with MaxFieldValue's walk over the rows restored so far kept as a running
// maximum: the same numbers, without walking the table for each row.
class NewRowRule {
 public:
  NewRowRule(const RecordLayout& layout, const app::JournalStamp* journal, const text::Regional& regional)
      : layout_(layout), journal_(journal), regional_(regional) {}

  // The row as the rule stores it: empty, numbered, and for the journal
  // dated and given the current book, movement and its name.
  void make(std::string& record) {
    // MaxFieldValue looks at the row stored before this one only now, as
    // the walk of this row's rule does.
    if (hasPrevious_) foldPrevious();
    const double number = ledger::NextRowNumber(highest_);
    if (!ready_) {
      record = ledger::codec::emptyRecord(layout_.fields, layout_.offsets, layout_.recordLength);
      setNumber(record, number);
      if (journal_ != nullptr) {
        namespace col = ledger::journal;
        // Steps 7 and 9 of the journal's rule, in its order.
        setColumn(record, col::DATUM, Value{journal_->date}, ledger::codec::EmptyText::Clears);
        setColumn(record, col::IDK, journal_->book.value, ledger::codec::EmptyText::Refused);
        setColumn(record, col::IDM, journal_->move.value, ledger::codec::EmptyText::Refused);
        setColumn(record, col::TEXT, journal_->moveName.value, ledger::codec::EmptyText::Refused);
      }
      template_ = record;
      ready_ = true;
      return;
    }
    record = template_;
    setNumber(record, number);
  }

  // The row as stored, once the file's pieces have overwritten it.
  void stored(const std::string& record) {
    const std::size_t offset = 1 + static_cast<std::size_t>(layout_.offsets[kIdColumn]);
    previousId_.assign(record, offset, static_cast<std::size_t>(layout_.fields[kIdColumn].length));
    hasPrevious_ = true;
  }

 private:
  void setColumn(std::string& record, int column, const Value& value, ledger::codec::EmptyText emptyText) {
    if (column >= static_cast<int>(layout_.fields.size())) {
      // The component's own refusal, as the rule's field access gives it.
      throw ColumnError(mincar::fill("Table1: Field index %d out of range", {std::to_string(column)}), column,
                        ColumnError::Cause::NewRow, {});
    }
    storeInto(layout_, record, column, ColumnError::Cause::NewRow, {}, [&](const FieldDef& def, char* out) {
      ledger::codec::encode(def, value, regional_, emptyText, out);
    });
  }

  // Step 6: the row's number, set as a number.
  void setNumber(std::string& record, double number) {
    storeInto(layout_, record, kIdColumn, ColumnError::Cause::NewRow, {}, [&](const FieldDef& def, char* out) {
      ledger::codec::encode(def, Value{number}, regional_, ledger::codec::EmptyText::Refused, out);
    });
  }

  void foldPrevious() {
    hasPrevious_ = false;
    const FieldDef& def = layout_.fields[kIdColumn];
    if (ledger::codec::isNull(def, previousId_.data())) return;
    double value = 0;
    try {
      value = ledger::codec::toFloat(def, previousId_.data(), regional_);
    } catch (const mincar::Error& e) {
      throw ColumnError(e.what(), kIdColumn, ColumnError::Cause::NewRow, {});
    }
    ledger::FoldHighest(highest_, value);
  }

  const RecordLayout& layout_;
  const app::JournalStamp* journal_;
  const text::Regional& regional_;
  double highest_ = 0.0;
  std::string previousId_;
  bool hasPrevious_ = false;
  std::string template_;
  bool ready_ = false;
};

// Piece after piece of a line split at ";", as GetToken gives them by
// index: the text between two separators, the rest of the line after the
// last one, and the empty text beyond that.
class Pieces {
 public:
  explicit Pieces(std::string_view line) : line_(line) {}
  std::string_view next() {
    if (done_) return {};
    const std::size_t stop = line_.find(kSeparator, start_);
    if (stop == std::string_view::npos) {
      done_ = true;
      return line_.substr(start_);
    }
    std::string_view piece = line_.substr(start_, stop - start_);
    start_ = stop + 1;
    return piece;
  }

 private:
  std::string_view line_;
  std::size_t start_ = 0;
  bool done_ = false;
};

// Assigns the pieces of a record line to columns 0 .. n-1 of `record` (a
// row laid out by `layout`): a piece of exactly one blank leaves the column
// as the new-record rule made it; any other piece is assigned as text,
// which a number or a date column parses with the regional settings and a
// text column cuts to its length. Pieces beyond n are ignored; a missing
// piece is the empty text, which number and date columns refuse. A refused
// piece throws "Invalid value for field '%s'" and leaves the columns before
// it assigned.
void setFields(const RecordLayout& layout, std::string& record, std::string_view line, int n,
               const text::Regional& regional) {
  Pieces pieces(line);
  const int columns = std::min<int>(n, static_cast<int>(layout.fields.size()));
  for (int i = 0; i < columns; ++i) {
    const std::string_view piece = pieces.next();
    if (piece == kNullMarker) continue;
    storeInto(layout, record, i, ColumnError::Cause::Piece, piece,
              [&](const FieldDef& def, char* out) {
                ledger::codec::encodeText(def, piece, regional, ledger::codec::EmptyText::Refused, out);
              });
  }
}

std::string quotedPiece(std::string_view piece) {
  if (piece.size() <= kQuotedPiece) return "'" + std::string(piece) + "'";
  return "'" + std::string(piece.substr(0, kQuotedPiece)) + "...'";
}

std::string lineWhere(const BackupLines& in) {
  return mincar::fill("File %s, line %d", {text::pathText(in.path()), std::to_string(in.lineNumber())});
}

[[noreturn]] void failInHeader(const BackupLines& in, const mincar::Error& e, std::string_view section) {
  std::string where = lineWhere(in) + mincar::fill(": the header of the %s section", {section});
  if (in.pastEnd()) where += ", but the file ends before it";
  throw mincar::Error(std::string(e.what()) + "\n" + where);
}

[[noreturn]] void failInRow(const BackupLines& in, const ColumnError& e, const RecordLayout& layout) {
  const std::string column = e.column < static_cast<int>(layout.fields.size())
                                 ? layout.fields[static_cast<std::size_t>(e.column)].name
                                 : std::to_string(e.column);
  std::string where = lineWhere(in) + ", column " + column + ": ";
  if (e.cause == ColumnError::Cause::NewRow) {
    where += "the value that the new-record rule gives the row";
  } else if (in.pastEnd()) {
    where += "the file ends before this line";
  } else {
    where += quotedPiece(e.piece);
  }
  throw mincar::Error(std::string(e.what()) + "\n" + where);
}

// FillTable without the table: `count` rows, each made by the table's
// new-record rule, overwritten by its line's pieces and handed to the sink
// (null: checked and dropped). A count of 0 or less reads no line.
void FillTable(int count, const RecordLayout& layout, NewRowRule& rule, BackupLines& in,
               const text::Regional& regional, ledger::TableRewrite* sink) {
  std::string record;
  const int columns = static_cast<int>(layout.fields.size());
  for (int row = 0; row < count; ++row) {
    try {
      // The rule runs inside the append, before the line is read; read
      // first, its errors name the line of the row they were making.
      const std::string_view line = in.ReadLine();
      rule.make(record);
      setFields(layout, record, line, columns, regional);
    } catch (const ColumnError& e) {
      failInRow(in, e, layout);
    }
    rule.stored(record);
    if (sink != nullptr) sink->append(record);
  }
}

// LoadTable: one section, its header's count and its rows.
int LoadTable(BackupLines& in, std::size_t section, const RecordLayout& layout, const app::JournalStamp& stamp,
              const text::Regional& regional, ledger::TableRewrite* sink) {
  int count = 0;
  try {
    count = ReadRecordCount(in);
  } catch (const mincar::Error& e) {
    failInHeader(in, e, kSectionNames[section]);
  }
  // Only the journal's rule takes the calendar and the lists.
  NewRowRule rule(layout, section == 0 ? &stamp : nullptr, regional);
  FillTable(count, layout, rule, in, regional, sink);
  return count;
}

// LoadAllTables' reading: the three sections in file order.
SectionCounts readSections(BackupLines& in, const std::array<const RecordLayout*, 3>& layouts,
                           const app::JournalStamp& stamp, const text::Regional& regional,
                           const std::array<ledger::TableRewrite*, 3>& sinks) {
  SectionCounts counts{};
  for (std::size_t section = 0; section < 3; ++section) {
    counts[section] = LoadTable(in, section, *layouts[section], stamp, regional, sinks[section]);
  }
  return counts;
}

// The three tables closed and open again for this process alone, and back
// to shared use however the restore ends.
class ExclusiveUse {
 public:
  explicit ExclusiveUse(app::Ledger& ledger)
      : ledger_(ledger), tables_{&ledger.journal(), &ledger.moves(), &ledger.books()} {
    for (std::size_t i = 0; i < tables_.size(); ++i) {
      Dataset& t = *tables_[i];
      wasActive_[i] = t.active();
      sourceOn_[i] = t.dataSource().enabled();
      row_[i] = t.active() ? t.rowIndex() : -1;
    }
    // The grids do not follow the tables while they close and change.
    for (Dataset* t : tables_) t->dataSource().setEnabled(false);
    try {
      // A pending edit is stored as closing stores it, before any table is
      // taken: a table that another user has open is refused only after
      // all three were let go, so that no two restores wait for each other.
      for (Dataset* t : tables_) t->close();
      for (Dataset* t : tables_) {
        t->setExclusive(true);
        t->open();
      }
    } catch (...) {
      giveBack(false);
      throw;
    }
  }

  ~ExclusiveUse() {
    if (!released_) {
      try {
        giveBack(false);
      } catch (...) {
        // Nobody is left to tell from here; the error that ended the
        // restore is already on its way.
      }
    }
  }
  ExclusiveUse(const ExclusiveUse&) = delete;
  ExclusiveUse& operator=(const ExclusiveUse&) = delete;

  // After the tables were replaced: shared again, as the restore leaves
  // them.
  void release(bool journalHadRows) {
    std::exception_ptr failure;
    try {
      giveBack(true);
      // The journal's new-record rule switched the filter off for good.
      if (journalHadRows) ledger_.journal().setFiltered(false);
      for (Dataset* t : tables_) {
        if (t->active()) t->last();
      }
    } catch (...) {
      failure = std::current_exception();
    }
    // The grids are connected again whatever could not be opened.
    for (Dataset* t : tables_) t->dataSource().setEnabled(true);
    if (failure) std::rethrow_exception(failure);
  }

 private:
  // Closes whatever is open, opens shared what was open before (all three
  // after a restore), and for a restore that changed nothing puts each
  // cursor back and the data sources and the flag as they were. The first
  // failure is thrown once everything else has been tried.
  void giveBack(bool replaced) {
    std::optional<mincar::Error> first;
    for (std::size_t i = 0; i < tables_.size(); ++i) {
      Dataset& t = *tables_[i];
      try {
        t.close();
        t.setExclusive(false);
        if (replaced || wasActive_[i]) {
          t.open();
          if (!replaced && row_[i] >= 0) t.moveTo(row_[i]);
        }
      } catch (const mincar::Error& e) {
        if (!first) first = e;
      }
    }
    if (!replaced) {
      for (std::size_t i = 0; i < tables_.size(); ++i) tables_[i]->dataSource().setEnabled(sourceOn_[i]);
    }
    released_ = true;
    if (first) throw *first;
  }

  app::Ledger& ledger_;
  std::array<Dataset*, 3> tables_;
  std::array<bool, 3> wasActive_{};
  std::array<bool, 3> sourceOn_{};
  std::array<std::int64_t, 3> row_{};
  bool released_ = false;
};

}  // namespace

RecordLayout RecordLayout::of(const ledger::TableRewrite& table) {
  return RecordLayout{table.fields(), table.offsets(), table.recordLength()};
}

RecordLayout RecordLayout::of(const std::vector<FieldDef>& fields) {
  RecordLayout layout;
  layout.fields = fields;
  layout.recordLength = ledger::dbf::layOutRecord(fields, layout.offsets);
  return layout;
}

RecordLayout RecordLayout::of(const Dataset& table) {
  std::vector<FieldDef> fields;
  for (int i = 0; i < table.fieldCount(); ++i) {
    const ledger::Field& f = table.field(i);
    fields.push_back(FieldDef{f.name(), f.type(), f.length(), f.decimals()});
  }
  return of(fields);
}

int ReadRecordCount(BackupLines& in) {
  const std::string_view line = in.ReadLine();
  return text::parseInteger(app::GetToken(line, kSeparator, 1));
}

SectionCounts CheckBackup(BackupLines& in, const std::array<RecordLayout, 3>& layouts,
                          const app::JournalStamp& stamp, const text::Regional& regional) {
  return readSections(in, {&layouts[0], &layouts[1], &layouts[2]}, stamp, regional, {nullptr, nullptr, nullptr});
}

void LoadAllTables(const fs::path& file, app::Ledger& ledger, const RestoreFiles& files) {
  BackupLines in(file);
  const text::Regional& regional = ledger.regional();
  // Read before any table moves: the journal's rows take the lists' current
  // rows as they are now.
  const app::JournalStamp stamp = ledger.journalStamp();
  std::array<Dataset*, 3> tables = {&ledger.journal(), &ledger.moves(), &ledger.books()};

  // 1. The whole file, against the tables' layouts as they are open now.
  {
    const std::array<RecordLayout, 3> layouts = {RecordLayout::of(*tables[0]), RecordLayout::of(*tables[1]),
                                                 RecordLayout::of(*tables[2])};
    CheckBackup(in, layouts, stamp, regional);
  }

  // 2.
  ExclusiveUse exclusive(ledger);
  if (files.beforeChange) files.beforeChange();

  // 3. The new tables, each with the layout its file has; a conversion that
  //    fails here (the file or a layout changed since step 1) still leaves
  //    every table as it was.
  std::array<std::unique_ptr<ledger::TableRewrite>, 3> rewrites;
  std::array<RecordLayout, 3> layouts;
  for (std::size_t i = 0; i < 3; ++i) {
    rewrites[i] = std::make_unique<ledger::TableRewrite>(tables[i]->path(), files.create);
    layouts[i] = RecordLayout::of(*rewrites[i]);
  }
  in.rewind();
  const SectionCounts counts = readSections(in, {&layouts[0], &layouts[1], &layouts[2]}, stamp, regional,
                                            {rewrites[0].get(), rewrites[1].get(), rewrites[2].get()});
  for (auto& rewrite : rewrites) rewrite->finish();
  for (auto& rewrite : rewrites) rewrite->install();

  // 4.
  exclusive.release(counts[0] > 0);
  for (int count : counts) ledger.status().show(mincar::fill("Table has %d records", {std::to_string(count)}));
}

}  // namespace backup
