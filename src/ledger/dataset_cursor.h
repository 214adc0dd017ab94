#pragma once
#include <cstdint>

namespace ledger {

// Where a Dataset's cursor stands: the record under it and the two end
// flags, always set together here. Every change of the record counts as a
// move, so that a value decoded from the old row is not taken for the new.
class Cursor {
 public:
  std::int64_t record() const { return record_; }  // -1 when there is none
  bool eof() const { return eof_; }
  bool bof() const { return bof_; }
  bool onRow() const { return record_ >= 0; }
  std::uint64_t moves() const { return moves_; }
  // first() has not found its row yet: it examined a step of records and
  // found none shown. The cursor lands on the first row that a walk of the
  // rows finds, or on nothing when the walk ends without one; until then it
  // has no row and its end flags say nothing.
  bool seeking() const { return seeking_; }

  // No row: a closed or empty dataset.
  void empty() { set(-1, true, true); }
  void placeOn(std::int64_t record) { set(record, false, false); }
  // Where first() lands: the first row, or nothing.
  void placeOnFirst(std::int64_t record) { set(record, record < 0, true); }
  // A step found no row beyond: the cursor stays on its row.
  void placeAfterLast() { eof_ = true; }
  void placeBeforeFirst() { bof_ = true; }
  // The row is gone (other users shrank the table) or a walk is looking
  // for its landing row, so that a filter callback asking sees none; the
  // flags keep what they said until the cursor lands.
  void leaveRow() { setRecord(-1); }
  void seekFirst() {
    setRecord(-1);
    seeking_ = true;
  }
  // The walk to the first row failed: no row, as after a failed first().
  void stopSeeking() { seeking_ = false; }

  // Where a cursor stood, to go back to it (a cancelled append).
  struct Position {
    std::int64_t record = -1;
    bool eof = true;
    bool bof = true;
  };
  Position position() const { return {record_, eof_, bof_}; }
  void restore(const Position& at) { set(at.record, at.eof, at.bof); }

  // A bulk pass walks from the first row as first() and next() would, and
  // leaves the cursor where that walk ends.
  void beginPass() {
    empty();
    passLast_ = -1;
    passVisited_ = 0;
  }
  // The pass reached a row; its callback reads the row without the cursor.
  void passBy(std::int64_t record) {
    passLast_ = record;
    ++passVisited_;
  }
  // The pass reached a row and stands on it while its callback runs.
  void passOver(std::int64_t record) {
    passBy(record);
    setRecord(record);
  }
  // At its end the pass stands on the last row visited, past it; stopped by
  // an error, on the row where it stopped.
  void endPass(bool stopped) {
    if (passLast_ < 0) {
      empty();
      return;
    }
    set(passLast_, !stopped, passVisited_ == 1);
  }

 private:
  void set(std::int64_t record, bool eof, bool bof) {
    setRecord(record);
    eof_ = eof;
    bof_ = bof;
    seeking_ = false;
  }
  void setRecord(std::int64_t record) {
    record_ = record;
    ++moves_;
  }

  std::int64_t record_ = -1;
  bool eof_ = true;
  bool bof_ = true;
  bool seeking_ = false;
  std::uint64_t moves_ = 0;
  std::int64_t passLast_ = -1;
  std::int64_t passVisited_ = 0;
};

}  // namespace ledger
