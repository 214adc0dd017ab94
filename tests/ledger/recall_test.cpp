// Deleted rows in the engine: listed by record number, read by record, and
// taken back in place under the row lock, as an edit is.
#include <gtest/gtest.h>

#include <cstdint>
#include <filesystem>
#include <string>
#include <vector>

#include "ledger/dataset.h"
#include "ledger/errors.h"
#include "ledger/ledger_tables.h"
#include "test_support.h"
#include "text/regional.h"

namespace {

namespace fs = std::filesystem;
using ledger::Dataset;
using ledger::DatasetState;
using ledger::LedgerTable;
using ledger::Value;
using testing_support::errorOf;
using testing_support::TempDir;

class Recall : public ::testing::Test {
 protected:
  void SetUp() override {
    // Books 1 to 4, book 2 and book 4 deleted.
    testing_support::seedRows(dir_.path(), LedgerTable::Books,
                              {{1.0, std::string("Hotovost")}, {2.0, std::string("Banka")},
                               {3.0, std::string("Pokladna")}, {4.0, std::string("Spoření"), 12.5}});
    Dataset books("Table1", path_, text::Regional::czech());
    books.open();
    for (double id : {2.0, 4.0}) {
      for (books.first(); books.field(0).asFloat() != id; books.next()) {
      }
      books.remove();
    }
  }

  Dataset& open() {
    books_.open();
    return books_;
  }

  std::vector<std::string> walk(Dataset& table) {
    std::vector<std::string> names;
    for (table.first(); !table.eof(); table.next()) names.push_back(table.field(1).asString());
    return names;
  }

  TempDir dir_;
  fs::path path_ = ledger::tablePath(dir_.path(), LedgerTable::Books);
  Dataset books_{"Table1", path_, text::Regional::czech()};
};

TEST_F(Recall, DeletedRecordsAreListedAndReadByTheirNumbers) {
  Dataset& books = open();
  EXPECT_EQ(books.deletedRecords(), (std::vector<std::int64_t>{1, 3}));
  EXPECT_TRUE(books.recordDeleted(1));
  EXPECT_FALSE(books.recordDeleted(0));
  EXPECT_EQ(books.recordText(3, 1), "Spoření");
  EXPECT_EQ(books.recordValue(3, 2), Value{12.5});
  EXPECT_EQ(books.recordText(3, 2), "12,5");
  EXPECT_EQ(books.recordValue(1, 2), Value{});
  EXPECT_EQ(walk(books), (std::vector<std::string>{"Hotovost", "Pokladna"}));
}

TEST_F(Recall, ARecordBeyondTheTableIsRefusedByItsNumberFromOne) {
  Dataset& books = open();
  const std::string refusal = "There is no record 5 in " + path_.string() + ", which holds 4 records";
  EXPECT_EQ(errorOf([&] { books.recordDeleted(4); }), refusal);
  EXPECT_EQ(errorOf([&] { books.recordText(4, 1); }), refusal);
  EXPECT_EQ(errorOf([&] { books.recall(4); }), refusal);
  EXPECT_EQ(errorOf([&] { books.recall(-1); }),
            "There is no record 0 in " + path_.string() + ", which holds 4 records");
}

TEST_F(Recall, ARowThatIsNotDeletedIsRefusedAndNothingChanges) {
  Dataset& books = open();
  EXPECT_EQ(errorOf([&] { books.recall(2); }), "Record 3 of " + path_.string() + " is not deleted");
  EXPECT_EQ(books.state(), DatasetState::Browse);
  // The lock was let go: the row can be edited.
  books.moveTo(1);
  books.edit();
  books.cancel();
}

TEST_F(Recall, TheRecordComesBackInItsPlaceWithItsValues) {
  Dataset& books = open();
  books.moveTo(0);
  books.recall(3);
  EXPECT_EQ(books.state(), DatasetState::Edit);
  EXPECT_EQ(books.recordNumber(), 3);
  EXPECT_EQ(books.field(1).asString(), "Spoření");
  books.post();
  EXPECT_EQ(books.state(), DatasetState::Browse);
  EXPECT_EQ(books.recordNumber(), 3);
  // The rows the grid knew take it in its place.
  EXPECT_EQ(books.recordCount(), 3);
  EXPECT_EQ(books.rowIndex(), 2);
  EXPECT_EQ(books.textAt(2, 2), "12,5");
  books.recall(1);
  books.field(0).setAsFloat(7);
  books.post();
  EXPECT_EQ(books.rowIndex(), 1);
  EXPECT_EQ(walk(books), (std::vector<std::string>{"Hotovost", "Banka", "Pokladna", "Spoření"}));
  EXPECT_TRUE(books.deletedRecords().empty());
  // Another user sees both at the next walk, the changed number too.
  const auto rows = testing_support::storedRows(dir_.path(), LedgerTable::Books);
  ASSERT_EQ(rows.size(), 4u);
  EXPECT_EQ(rows[1][0], Value{7.0});
  EXPECT_EQ(rows[3][2], Value{12.5});
}

TEST_F(Recall, CancelLeavesTheRecordDeletedAndTheCursorWhereItStood) {
  Dataset& books = open();
  books.moveTo(1);
  ASSERT_EQ(books.recordNumber(), 2);
  books.recall(3);
  books.cancel();
  EXPECT_EQ(books.recordNumber(), 2);
  EXPECT_TRUE(books.recordDeleted(3));
  // Removing a recall in progress is the same as cancelling it.
  books.recall(1);
  books.remove();
  EXPECT_TRUE(books.recordDeleted(1));
  EXPECT_EQ(books.recordNumber(), 2);
  EXPECT_EQ(walk(books), (std::vector<std::string>{"Hotovost", "Pokladna"}));
}

TEST_F(Recall, AMoveOfTheCursorStoresTheRecallAsAnEdit) {
  Dataset& books = open();
  books.recall(1);
  books.first();
  EXPECT_FALSE(books.recordDeleted(1));
  EXPECT_EQ(books.recordCount(), 3);
}

TEST_F(Recall, ARecordAnotherUserTakesBackIsRefusedWithTheLockMessage) {
  Dataset& books = open();
  Dataset other("Table1", path_, text::Regional::czech());
  other.open();
  other.recall(3);
  const std::string locked = "Record locked by another user.\nTable: " + path_.string();
  EXPECT_EQ(errorOf([&] { books.recall(3); }), locked);
  EXPECT_EQ(books.state(), DatasetState::Browse);
  other.post();
  // Now it is no longer deleted.
  EXPECT_EQ(errorOf([&] { books.recall(3); }), "Record 4 of " + path_.string() + " is not deleted");
}

TEST_F(Recall, DeletionsOfAnotherUserAreListedAtOnce) {
  Dataset& books = open();
  Dataset other("Table1", path_, text::Regional::czech());
  other.open();
  other.first();
  other.remove();
  EXPECT_EQ(books.deletedRecords(), (std::vector<std::int64_t>{0, 1, 3}));
}

TEST_F(Recall, NumberInUseCountsTheRowsThatAreNotDeleted) {
  Dataset& books = open();
  EXPECT_TRUE(ledger::NumberInUse(books, 0, 3.0));
  EXPECT_FALSE(ledger::NumberInUse(books, 0, 2.0));
  EXPECT_FALSE(ledger::NumberInUse(books, 0, 4.0));
}

}  // namespace
