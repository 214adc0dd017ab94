// Power cuts: every write and sync the engine makes goes through the I/O
// seam and is recorded; then every state that a power cut can leave is
// replayed: the disk as of the last sync plus any subset of the 512-byte
// sectors written since, in any order. In each, the table opens and every
// row confirmed before the cut is there, exactly. A row that an operation in
// flight was changing may hold old or new bytes (a record is no atomic
// unit of a disk), never others.
//
// MINCAR_POWER_CUT_OPS (default 60) sizes the run; scripts/power-cut.sh
// runs a long one.
#include <gtest/gtest.h>

#include <algorithm>
#include <cstdint>
#include <cstdlib>
#include <filesystem>
#include <map>
#include <memory>
#include <random>
#include <string>
#include <vector>

#include "ledger/dbf_header.h"
#include "ledger/file.h"
#include "ledger/ledger_tables.h"
#include "ledger/table.h"
#include "test_support.h"

namespace {

namespace fs = std::filesystem;
using testing_support::readFile;
using testing_support::writeFile;

constexpr std::size_t kSector = 512;

struct Write {
  long long offset;
  std::string bytes;
};

// What went through the seam: writes, and after each sync the index of the
// first write it does not cover.
struct IoLog {
  std::vector<Write> writes;
  std::vector<std::size_t> syncedBefore;  // ascending
  bool honourSyncs = true;
};

class RecordingFile final : public ledger::File {
 public:
  RecordingFile(std::unique_ptr<ledger::File> real, IoLog& log) : real_(std::move(real)), log_(log) {}

  ledger::IoResult pread(void* buffer, std::size_t count, long long offset) override {
    return real_->pread(buffer, count, offset);
  }
  ledger::IoResult pwrite(const void* data, std::size_t count, long long offset) override {
    const ledger::IoResult r = real_->pwrite(data, count, offset);
    if (r.error == 0 && r.bytes > 0) {
      log_.writes.push_back({offset, std::string(static_cast<const char*>(data), static_cast<std::size_t>(r.bytes))});
    }
    return r;
  }
  ledger::IoResult size() override { return real_->size(); }
  int truncate(long long length) override {
    ADD_FAILURE() << "no operation of this run cuts the file (" << length << ")";
    return real_->truncate(length);
  }
  int sync() override {
    // A disk that ignores syncs: the harness must then find a state that
    // loses a confirmed row.
    if (log_.honourSyncs) log_.syncedBefore.push_back(log_.writes.size());
    return real_->sync();
  }
  int lock(long long offset, long long length, ledger::LockMode mode) override {
    return real_->lock(offset, length, mode);
  }
  // Read copies only: a mapped view would hide nothing, but copies keep
  // every read going through the seam.

 private:
  std::unique_ptr<ledger::File> real_;
  IoLog& log_;
};

// What a cut after `writesDone` writes must show: the records confirmed, and
// the record an operation in flight may have been changing.
struct Confirmed {
  std::size_t writesDone;  // writes made when the operation returned
  std::vector<std::string> records;
};

struct Recording {
  std::string initial;  // the file as created and synced
  IoLog log;
  std::vector<Confirmed> confirmed;  // after each operation, in order
};

std::string makeRecord(std::mt19937& random, int length) {
  std::string r(static_cast<std::size_t>(length), ' ');
  for (std::size_t i = 1; i < r.size(); ++i) r[i] = static_cast<char>('A' + random() % 26);
  return r;
}

// Appends, edits and deletes on one table through a recording seam.
Recording record(const fs::path& file, int operations, unsigned seed, bool honourSyncs) {
  Recording run;
  run.log.honourSyncs = honourSyncs;
  ledger::Table::create(file, ledger::standardLayout(ledger::LedgerTable::Journal));
  run.initial = readFile(file);
  int error = 0;
  ledger::Table table(file, ledger::TableAccess::Shared,
                      std::make_unique<RecordingFile>(ledger::openPosixFile(file, error), run.log));
  std::mt19937 random(seed);
  std::vector<std::string> records;
  const int length = table.recordLength();
  for (int op = 0; op < operations; ++op) {
    const int pick = static_cast<int>(random() % 10);
    if (records.empty() || pick < 6) {
      const std::string r = makeRecord(random, length);
      table.appendRecord(r);
      records.push_back(r);
    } else if (pick < 7) {
      // A pass over several rows (a recomputation): written as one, synced
      // once at its end.
      const std::size_t first = random() % records.size();
      const std::size_t end = std::min(records.size(), first + 1 + random() % 6);
      std::string block;
      for (std::size_t n = first; n < end; ++n) {
        records[n] = makeRecord(random, length);
        block += records[n];
      }
      table.writeRecords(static_cast<std::int64_t>(first), block);
      table.sync();
    } else if (pick < 9) {
      const std::size_t n = random() % records.size();
      const std::string r = makeRecord(random, length);
      table.writeRecord(static_cast<std::int64_t>(n), r);
      records[n] = r;
    } else {
      const std::size_t n = random() % records.size();
      table.markDeleted(static_cast<std::int64_t>(n));
      records[n][0] = ledger::dbf::RECORD_DELETED;
    }
    run.confirmed.push_back({run.log.writes.size(), records});
  }
  return run;
}

// The pieces of writes [from, to) cut at sector borders, each its own unit.
std::vector<Write> sectors(const std::vector<Write>& writes, std::size_t from, std::size_t to) {
  std::vector<Write> pieces;
  for (std::size_t i = from; i < to; ++i) {
    const Write& w = writes[i];
    long long at = w.offset;
    std::size_t done = 0;
    while (done < w.bytes.size()) {
      const std::size_t room = kSector - static_cast<std::size_t>(at % static_cast<long long>(kSector));
      const std::size_t take = std::min(room, w.bytes.size() - done);
      pieces.push_back({at, w.bytes.substr(done, take)});
      done += take;
      at += static_cast<long long>(take);
    }
  }
  return pieces;
}

void apply(std::string& image, const Write& w) {
  const std::size_t end = static_cast<std::size_t>(w.offset) + w.bytes.size();
  if (image.size() < end) image.resize(end, '\0');
  image.replace(static_cast<std::size_t>(w.offset), w.bytes.size(), w.bytes);
}

struct Outcome {
  long long states = 0;
  long long failures = 0;
  std::string firstFailure;
};

// Opens one state and holds it against what was confirmed before the cut.
void check(const fs::path& file, const std::string& image, const Confirmed* before, const Confirmed* inFlight,
           Outcome& outcome, const std::string& where) {
  ++outcome.states;
  writeFile(file, image);
  std::string failure;
  try {
    ledger::Table table(file, ledger::TableAccess::Shared);
    const std::vector<std::string> none;
    const std::vector<std::string>& rows = before ? before->records : none;
    if (table.recordCount() < static_cast<std::int64_t>(rows.size())) {
      failure = "holds " + std::to_string(table.recordCount()) + " rows of " + std::to_string(rows.size()) +
                " confirmed";
    }
    for (std::size_t n = 0; failure.empty() && n < rows.size(); ++n) {
      const std::string got(table.record(static_cast<std::int64_t>(n)),
                            static_cast<std::size_t>(table.recordLength()));
      if (got == rows[n]) continue;
      // The operation in flight may have been changing this row: every
      // byte old or new.
      const bool changing = inFlight && n < inFlight->records.size() && inFlight->records[n] != rows[n];
      bool mixed = changing;
      for (std::size_t i = 0; mixed && i < got.size(); ++i) {
        mixed = got[i] == rows[n][i] || got[i] == inFlight->records[n][i];
      }
      if (!mixed) failure = "row " + std::to_string(n) + " differs from what was confirmed";
    }
  } catch (const std::exception& e) {
    failure = std::string("does not open: ") + e.what();
  }
  if (failure.empty()) return;
  if (++outcome.failures == 1) outcome.firstFailure = where + ": " + failure;
}

// Every cut after every write; at each, every subset of the unsynced sectors
// (a sample of them where there are many).
Outcome replay(const Recording& run, const fs::path& file, unsigned seed) {
  Outcome outcome;
  std::mt19937 random(seed);
  const auto& writes = run.log.writes;
  for (std::size_t cut = 0; cut <= writes.size(); ++cut) {
    // The cut comes right after write cut - 1, before a sync that follows
    // it: the syncs before that write, and the operations that returned
    // before it, count. The last cut comes after everything.
    std::size_t synced = 0;
    for (std::size_t s : run.log.syncedBefore) {
      if (s < cut || (cut == writes.size() && s == cut)) synced = s;
    }
    const Confirmed* before = nullptr;
    const Confirmed* inFlight = nullptr;
    for (const Confirmed& c : run.confirmed) {
      if (c.writesDone < cut || (cut == writes.size() && c.writesDone == cut)) {
        before = &c;
      } else {
        inFlight = &c;
        break;
      }
    }
    std::string durable = run.initial;
    for (std::size_t i = 0; i < synced; ++i) apply(durable, writes[i]);
    const std::vector<Write> pending = sectors(writes, synced, cut);
    const std::size_t n = pending.size();
    const bool all = n <= 10;
    const std::uint64_t subsets = all ? (std::uint64_t{1} << n) : 64;
    for (std::uint64_t s = 0; s < subsets; ++s) {
      std::string image = durable;
      for (std::size_t i = 0; i < n; ++i) {
        const bool taken = all ? ((s >> i) & 1) != 0 : random() % 2 == 0;
        if (taken) apply(image, pending[i]);
      }
      check(file, image, before, inFlight, outcome,
            "cut after write " + std::to_string(cut) + ", sectors " + std::to_string(s));
    }
  }
  return outcome;
}

int envInt(const char* name, int fallback) {
  const char* value = std::getenv(name);
  return value && *value ? std::atoi(value) : fallback;
}

TEST(PowerCut, EveryRowConfirmedBeforeTheCutIsThereExactly) {
  const int operations = envInt("MINCAR_POWER_CUT_OPS", 60);
  testing_support::TempDir dir;
  for (unsigned seed : {1u, 2u, 3u}) {
    const Recording run = record(dir / ("recorded" + std::to_string(seed) + ".dbf"), operations, seed, true);
    const Outcome outcome = replay(run, dir / "state.dbf", seed);
    EXPECT_EQ(outcome.failures, 0) << outcome.firstFailure;
    std::cout << "power cut, seed " << seed << ": " << run.confirmed.size() << " operations, "
              << run.log.writes.size() << " writes, " << run.log.syncedBefore.size() << " syncs, "
              << outcome.states << " states replayed, " << outcome.failures << " lost a confirmed row" << std::endl;
  }
}

// The harness itself: on a disk that ignored every sync, it finds a state
// that loses a confirmed row, as the engine without its syncs did.
TEST(PowerCut, ADiskThatIgnoresSyncsIsCaught) {
  testing_support::TempDir dir;
  const Recording run = record(dir / "recorded.dbf", 12, 7, false);
  const Outcome outcome = replay(run, dir / "state.dbf", 7);
  EXPECT_GT(outcome.failures, 0);
}

}  // namespace
