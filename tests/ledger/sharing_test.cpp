// Two users of one table: a real second process (tests/helpers/ledger_peer)
// holds locks, opens tables and appends while this process works.
#include <gtest/gtest.h>

#include <cstdint>
#include <filesystem>
#include <optional>
#include <set>
#include <string>
#include <vector>

#include "ledger/dataset.h"
#include "test_support.h"
#include "text/error.h"
#include "text/regional.h"

namespace {

namespace fs = std::filesystem;
using ledger::Dataset;
using ledger::DatasetState;
using ledger::FieldDef;
using ledger::FieldType;
using testing_support::errorOf;
using testing_support::TempDir;

const std::vector<FieldDef> kLayout = {
    {"ID", FieldType::Numeric, 10, 0},
    {"TEXT", FieldType::Character, 30, 0},
};

using Peer = testing_support::LedgerPeer;

std::string oneLine(const std::string& text) {
  std::string out;
  for (char c : text) {
    if (c == '\n') out += "\\n";
    else out += c;
  }
  return out;
}

std::string lockedMessage(const fs::path& file) { return "Record locked by another user.\nTable: " + file.string(); }
std::string busyMessage(const fs::path& file) {
  return "Table is busy: " + file.string() + " is in use by another user.";
}

// A table with rows numbered 1..count.
fs::path tableWithRows(const TempDir& dir, int count) {
  const fs::path file = dir / "peden.dbf";
  ledger::createTable(file, kLayout);
  Dataset t("Table1", file, text::Regional::czech());
  t.open();
  for (int i = 1; i <= count; ++i) {
    t.append();
    t.field(0).setValue(static_cast<double>(i));
    t.field(1).setValue(std::string("row ") + std::to_string(i));
    t.post();
  }
  return file;
}

std::vector<std::int64_t> ids(Dataset& t) {
  std::vector<std::int64_t> out;
  for (t.first(); !t.eof(); t.next()) out.push_back(t.field(0).asInteger());
  return out;
}

TEST(Sharing, ARowThePeerEditsCannotBeEditedOrDeletedHere) {
  TempDir dir;
  const fs::path file = tableWithRows(dir, 3);
  Peer peer(file);
  ASSERT_EQ(peer.ask("open"), "ok");
  ASSERT_EQ(peer.ask("lock-row 1"), "ok");

  Dataset t("Table1", file, text::Regional::czech());
  t.open();
  t.moveTo(1);
  EXPECT_EQ(errorOf([&] { t.edit(); }), lockedMessage(file));
  EXPECT_EQ(t.state(), DatasetState::Browse);
  EXPECT_EQ(errorOf([&] { t.remove(); }), lockedMessage(file));
  EXPECT_EQ(t.recordCount(), 3);
  EXPECT_EQ(ids(t), (std::vector<std::int64_t>{1, 2, 3}));
  // Rows the peer does not hold are free.
  t.moveTo(2);
  t.edit();
  t.field(0).setValue(30.0);
  t.post();

  // Let go, and the row is ours.
  ASSERT_EQ(peer.ask("release"), "ok");
  t.moveTo(1);
  t.edit();
  t.field(0).setValue(20.0);
  t.post();
  EXPECT_EQ(ids(t), (std::vector<std::int64_t>{1, 20, 30}));

  // And the other way round: our edit keeps the peer out.
  t.moveTo(0);
  t.edit();
  EXPECT_EQ(peer.ask("set-row 0 99"), "error " + oneLine(lockedMessage(file)));
  EXPECT_EQ(peer.ask("remove 0"), "error " + oneLine(lockedMessage(file)));
  t.cancel();
  EXPECT_EQ(peer.ask("set-row 0 10"), "ok");
  EXPECT_EQ(ids(t), (std::vector<std::int64_t>{10, 20, 30}));
}

TEST(Sharing, ALockDiesWithItsProcess) {
  TempDir dir;
  const fs::path file = tableWithRows(dir, 2);
  Dataset t("Table1", file, text::Regional::czech());
  t.open();
  {
    Peer peer(file);
    ASSERT_EQ(peer.ask("open"), "ok");
    ASSERT_EQ(peer.ask("lock-row 0"), "ok");
    EXPECT_EQ(errorOf([&] { t.edit(); }), lockedMessage(file));
    peer.kill();
  }
  t.edit();
  EXPECT_EQ(t.state(), DatasetState::Edit);
  t.cancel();
}

TEST(Sharing, ATableThePeerHasOpenCannotBeTakenExclusively) {
  TempDir dir;
  const fs::path file = tableWithRows(dir, 3);
  Peer peer(file);
  ASSERT_EQ(peer.ask("open"), "ok");

  Dataset t("Table1", file, text::Regional::czech());
  t.setExclusive(true);
  EXPECT_EQ(errorOf([&] { t.open(); }), busyMessage(file));
  EXPECT_FALSE(t.active());
  EXPECT_EQ(errorOf([&] { t.emptyTable(); }), busyMessage(file));
  EXPECT_EQ(peer.ask("count"), "ok 3") << "nothing was emptied";

  // Once the peer closes, the table is ours alone, and the peer is kept out.
  ASSERT_EQ(peer.ask("close"), "ok");
  t.open();
  EXPECT_EQ(peer.ask("open"), "error " + oneLine(busyMessage(file)));
  EXPECT_EQ(peer.ask("empty"), "error " + oneLine(busyMessage(file)));
  t.close();
  t.emptyTable();
  t.setExclusive(false);
  ASSERT_EQ(peer.ask("open"), "ok");
  EXPECT_EQ(peer.ask("count"), "ok 0");
  t.open();
  EXPECT_TRUE(t.isEmpty());
}

TEST(Sharing, TwoDatasetsOfOneProcessKeepEachOtherOutLikeTwoUsers) {
  TempDir dir;
  const fs::path file = tableWithRows(dir, 2);
  Dataset first("Table1", file, text::Regional::czech());
  Dataset second("Table2", file, text::Regional::czech());
  first.open();
  second.open();
  first.edit();
  EXPECT_EQ(errorOf([&] { second.edit(); }), lockedMessage(file));
  // Closing one of them must not drop the other's lock (the trap of
  // classic POSIX locks).
  second.close();
  Peer peer(file);
  ASSERT_EQ(peer.ask("open"), "ok");
  EXPECT_EQ(peer.ask("lock-row 0"), "error " + oneLine(lockedMessage(file)));
  first.cancel();
  EXPECT_EQ(peer.ask("lock-row 0"), "ok");
}

TEST(Sharing, TwoPeersAppendingAtOnceLoseNoRow) {
  TempDir dir;
  const fs::path file = tableWithRows(dir, 0);
  Peer one(file);
  Peer two(file);
  ASSERT_EQ(one.ask("open"), "ok");
  ASSERT_EQ(two.ask("open"), "ok");
  one.send("append 1000 1");
  two.send("append 1000 100001");
  ASSERT_EQ(one.reply(), "ok");
  ASSERT_EQ(two.reply(), "ok");

  Dataset t("Table1", file, text::Regional::czech());
  t.open();
  EXPECT_EQ(t.takeRepairNotice(), "");
  std::set<std::int64_t> seen;
  std::int64_t rows = 0;
  for (t.first(); !t.eof(); t.next()) {
    const std::int64_t id = t.field(0).asInteger();
    EXPECT_EQ(t.field(1).asString(), "row " + std::to_string(id)) << "a whole row";
    seen.insert(id);
    ++rows;
  }
  EXPECT_EQ(rows, 2000);
  EXPECT_EQ(seen.size(), 2000u);
  EXPECT_EQ(*seen.begin(), 1);
  EXPECT_EQ(*seen.rbegin(), 101000);
  EXPECT_EQ(t.recordCount(), 2000);

  const std::string bytes = testing_support::readFile(file);
  const std::size_t header = 32 + 2 * 32 + 1;
  EXPECT_EQ(bytes.size(), header + 2000 * 41 + 1);
  EXPECT_EQ(bytes.substr(4, 4), std::string("\xD0\x07\0\0", 4));  // 2000
  EXPECT_EQ(bytes.back(), '\x1A');
}

TEST(Sharing, RowsThePeerAppendsShowAtTheNextWalk) {
  TempDir dir;
  const fs::path file = tableWithRows(dir, 3);
  Dataset t("Table1", file, text::Regional::czech());
  t.open();
  t.last();
  Peer peer(file);
  ASSERT_EQ(peer.ask("open"), "ok");
  ASSERT_EQ(peer.ask("append 2 4"), "ok");

  // The walk in progress ends where it was...
  t.next();
  EXPECT_TRUE(t.eof());
  // ...the next one sees them.
  EXPECT_EQ(ids(t), (std::vector<std::int64_t>{1, 2, 3, 4, 5}));
  ASSERT_EQ(peer.ask("append 1 6"), "ok");
  EXPECT_EQ(t.recordCount(), 6);
  EXPECT_EQ(t.valueAt(5, 0), ledger::Value{6.0});

  // Our append goes after the peer's rows, whatever we had seen.
  ASSERT_EQ(peer.ask("append 1 7"), "ok");
  t.append();
  t.field(0).setValue(8.0);
  t.post();
  EXPECT_EQ(t.field(0).asInteger(), 8) << "the cursor stays on the new row";
  EXPECT_EQ(t.rowIndex(), 7);
  EXPECT_EQ(peer.ask("count"), "ok 8");
  EXPECT_EQ(ids(t), (std::vector<std::int64_t>{1, 2, 3, 4, 5, 6, 7, 8}));
}

TEST(Sharing, AnEditReadsWhatThePeerWroteAndARowThePeerDeletedIsReported) {
  TempDir dir;
  const fs::path file = tableWithRows(dir, 3);
  Dataset t("Table1", file, text::Regional::czech());
  t.open();
  Peer peer(file);
  ASSERT_EQ(peer.ask("open"), "ok");

  ASSERT_EQ(peer.ask("set-row 0 42"), "ok");
  t.edit();
  EXPECT_EQ(t.field(0).asInteger(), 42) << "the edit starts from the row as the file has it";
  t.post();

  t.moveTo(1);
  ASSERT_EQ(peer.ask("remove 1"), "ok");
  const std::string deleted = "Record was deleted by another user.\nTable: " + file.string();
  EXPECT_EQ(errorOf([&] { t.edit(); }), deleted);
  EXPECT_EQ(t.state(), DatasetState::Browse);
  EXPECT_EQ(errorOf([&] { t.remove(); }), deleted);
  EXPECT_EQ(ids(t), (std::vector<std::int64_t>{42, 3}));
  EXPECT_EQ(t.recordCount(), 2);
}

// --- bulk column updates ---------------------------------------------------

// A table of `rows` rows numbered 1.., written as bytes at once: the update
// takes its row locks 6,393 rows of this layout at a time, so that these
// tables hold three blocks.
constexpr int kBigTableRows = 15'000;
constexpr std::size_t kHeaderLength = 32 + 2 * 32 + 1;
constexpr std::size_t kRecordLength = 41;

fs::path bigTable(const TempDir& dir) {
  const fs::path file = dir / "big.dbf";
  ledger::createTable(file, kLayout);
  std::string bytes = testing_support::readFile(file);
  bytes.pop_back();  // the end mark
  const std::uint32_t rows = kBigTableRows;
  for (int i = 0; i < 4; ++i) bytes[4 + i] = static_cast<char>((rows >> (8 * i)) & 0xFF);
  for (int i = 1; i <= kBigTableRows; ++i) {
    std::string record(kRecordLength, ' ');
    const std::string n = std::to_string(i);
    record.replace(11 - n.size(), n.size(), n);
    record.replace(11, n.size() + 4, "row " + n);
    bytes += record;
  }
  bytes += '\x1A';
  testing_support::writeFile(file, bytes);
  return file;
}

// Every row's ID, read by a component of its own.
std::vector<std::int64_t> storedIds(const fs::path& file) {
  Dataset t("Reader", file, text::Regional::czech());
  t.open();
  return ids(t);
}

std::optional<ledger::Value> idPlus(const Dataset& d, double amount) {
  return ledger::Value{d.field(0).asFloat() + amount};
}

TEST(SharingUpdates, AnUpdateStopsAtTheRowThePeerHoldsWithTheRowsBeforeItStored) {
  TempDir dir;
  const fs::path file = bigTable(dir);
  Peer peer(file);
  ASSERT_EQ(peer.ask("open"), "ok");
  // In the second block, so that the first is stored whole and the second
  // up to the held row.
  ASSERT_EQ(peer.ask("lock-row 9000"), "ok");

  Dataset t("Table1", file, text::Regional::czech());
  t.open();
  EXPECT_EQ(errorOf([&] { t.updateColumn(0, [](const Dataset& d) { return idPlus(d, 100'000); }); }),
            lockedMessage(file));
  EXPECT_EQ(t.state(), DatasetState::Browse);
  EXPECT_EQ(t.field(0).asInteger(), 9001) << "the cursor stands on the held row";
  std::vector<std::int64_t> expected;
  for (int i = 1; i <= kBigTableRows; ++i) expected.push_back(i <= 9000 ? i + 100'000 : i);
  EXPECT_EQ(storedIds(file), expected);

  // Once the peer lets go, the update goes through.
  ASSERT_EQ(peer.ask("release"), "ok");
  t.updateColumn(0, [](const Dataset& d) { return idPlus(d, 100'000); });
  for (std::int64_t& id : expected) id += 100'000;
  EXPECT_EQ(storedIds(file), expected);
  EXPECT_EQ(peer.ask("set-row 9000 7"), "ok") << "no row lock is left behind";
}

TEST(SharingUpdates, AHeldRowThatKeepsItsValueAndDeletedRowsDoNotStopTheUpdate) {
  TempDir dir;
  const fs::path file = bigTable(dir);
  Peer peer(file);
  ASSERT_EQ(peer.ask("open"), "ok");
  // Rows by position: the later one first, so that the earlier removal does
  // not shift it. Row 8000 lies in the block of the held row, which is then
  // taken row by row; row 2 in a block that is locked whole.
  ASSERT_EQ(peer.ask("remove 8000"), "ok");
  ASSERT_EQ(peer.ask("remove 2"), "ok");
  ASSERT_EQ(peer.ask("lock-row 8998"), "ok");  // ID 9001, two rows before it removed

  Dataset t("Table1", file, text::Regional::czech());
  t.open();
  std::int64_t visited = 0;
  t.updateColumn(0, [&](const Dataset& d) -> std::optional<ledger::Value> {
    ++visited;
    if (d.field(0).asInteger() == 9001) return std::nullopt;
    return idPlus(d, 100'000);
  });
  EXPECT_EQ(visited, kBigTableRows - 2);
  EXPECT_TRUE(t.eof());
  EXPECT_EQ(t.field(0).asInteger(), kBigTableRows + 100'000);
  std::vector<std::int64_t> expected;
  for (int i = 1; i <= kBigTableRows; ++i) {
    if (i == 3 || i == 8001) continue;
    expected.push_back(i == 9001 ? i : i + 100'000);
  }
  EXPECT_EQ(storedIds(file), expected);
  // The deleted rows are as the peer left them.
  const std::string bytes = testing_support::readFile(file);
  for (const std::size_t record : {std::size_t{2}, std::size_t{8000}}) {
    const std::string row = bytes.substr(kHeaderLength + record * kRecordLength, 11);
    EXPECT_EQ(row, "*" + std::string(10 - std::to_string(record + 1).size(), ' ') + std::to_string(record + 1));
  }
}

TEST(SharingUpdates, RowsThePeerAppendsBeforeTakePartAndRowsItAppendsMeanwhileAreLeftAlone) {
  TempDir dir;
  const fs::path file = bigTable(dir);
  Dataset t("Table1", file, text::Regional::czech());
  t.open();
  Peer peer(file);
  ASSERT_EQ(peer.ask("open"), "ok");
  ASSERT_EQ(peer.ask("append 10 15001"), "ok");

  bool appended = false;
  t.updateColumn(0, [&](const Dataset& d) {
    if (!appended) {
      // While our update holds the first block's rows.
      appended = true;
      EXPECT_EQ(peer.ask("append 5 20001"), "ok");
    }
    return idPlus(d, 100'000);
  });

  std::vector<std::int64_t> expected;
  for (int i = 1; i <= kBigTableRows + 10; ++i) expected.push_back(i + 100'000);
  for (int i = 20001; i <= 20005; ++i) expected.push_back(i);
  EXPECT_EQ(storedIds(file), expected);
  EXPECT_EQ(t.recordCount(), kBigTableRows + 15);
  EXPECT_EQ(t.textAt(kBigTableRows + 14, 1), "row 20005");
  EXPECT_EQ(peer.ask("count"), "ok " + std::to_string(kBigTableRows + 15));
  const std::string bytes = testing_support::readFile(file);
  EXPECT_EQ(bytes.size(), kHeaderLength + (kBigTableRows + 15) * kRecordLength + 1);
  EXPECT_EQ(bytes.back(), '\x1A');
}

TEST(SharingUpdates, TheBlockInHandIsLockedAndLaterRowsAreReadWhenTheirTurnComes) {
  TempDir dir;
  const fs::path file = bigTable(dir);
  Dataset t("Table1", file, text::Regional::czech());
  t.open();
  Peer peer(file);
  ASSERT_EQ(peer.ask("open"), "ok");
  t.updateColumn(1, [&](const Dataset& d) {
    const std::int64_t id = d.field(0).asInteger();
    if (id == 10) {
      EXPECT_EQ(peer.ask("set-row 19 555"), "error " + oneLine(lockedMessage(file))) << "a row of this block";
      EXPECT_EQ(peer.ask("set-row 6999 666"), "ok") << "a row of the next block";
    }
    return std::optional<ledger::Value>(ledger::Value{"updated " + std::to_string(id)});
  });
  EXPECT_EQ(t.textAt(19, 1), "updated 20");
  EXPECT_EQ(t.textAt(6999, 1), "updated 666");
}

TEST(SharingUpdates, InABlockTakenRowByRowAChangedRowIsReadAgainUnderItsLock) {
  TempDir dir;
  const fs::path file = bigTable(dir);
  Peer peer(file);
  ASSERT_EQ(peer.ask("open"), "ok");
  ASSERT_EQ(peer.ask("lock-row 100"), "ok");
  Dataset t("Table1", file, text::Regional::czech());
  t.open();
  t.updateColumn(1, [&](const Dataset& d) -> std::optional<ledger::Value> {
    const std::int64_t id = d.field(0).asInteger();
    if (id == 101) return std::nullopt;  // the held row
    // Between our look at the row and our lock of it.
    if (id == 200) {
      EXPECT_EQ(peer.ask("set-row 199 777"), "ok");
    }
    return ledger::Value{std::string("updated")};
  });
  EXPECT_EQ(t.valueAt(199, 0), ledger::Value{777.0}) << "the peer's change is kept";
  EXPECT_EQ(t.textAt(199, 1), "updated");
  EXPECT_EQ(t.textAt(100, 1), "row 101");
}

}  // namespace
