// The table component: states, cursor, callbacks, filter, data source and
// positional access, on real tables.
#include <gtest/gtest.h>

#include <cstdint>
#include <filesystem>
#include <string>
#include <vector>

#include "ledger/dataset.h"
#include "ledger/ledger_tables.h"
#include "test_support.h"
#include "text/error.h"
#include "text/regional.h"

namespace {

namespace fs = std::filesystem;
using ledger::DataEvent;
using ledger::Dataset;
using ledger::DatasetState;
using ledger::FieldDef;
using ledger::FieldType;
using ledger::Value;
using testing_support::errorOf;
using testing_support::TempDir;

const std::vector<FieldDef> kLayout = {
    {"ID", FieldType::Numeric, 10, 0},
    {"TEXT", FieldType::Character, 20, 0},
};

class DatasetTest : public ::testing::Test {
 protected:
  DatasetTest() : file_(dir_ / "t.dbf") { ledger::createTable(file_, kLayout); }

  // Appends rows with these numbers, no callbacks.
  void fill(Dataset& t, const std::vector<int>& numbers) {
    for (int n : numbers) {
      t.append();
      t.field(0).setValue(static_cast<double>(n));
      t.field(1).setValue("n" + std::to_string(n));
      t.post();
    }
  }

  std::vector<std::int64_t> walk(Dataset& t) {
    std::vector<std::int64_t> out;
    for (t.first(); !t.eof(); t.next()) out.push_back(t.field(0).asInteger());
    return out;
  }

  TempDir dir_;
  fs::path file_;
};

TEST_F(DatasetTest, AClosedDatasetRefusesWorkWithItsComponentName) {
  Dataset t("Table7", file_, text::Regional::czech());
  EXPECT_EQ(t.state(), DatasetState::Inactive);
  EXPECT_FALSE(t.active());
  EXPECT_TRUE(t.eof());
  EXPECT_TRUE(t.isEmpty());
  EXPECT_EQ(t.rowIndex(), -1);
  const std::string closed = "Table7: Cannot perform this operation on a closed dataset";
  EXPECT_EQ(errorOf([&] { t.first(); }), closed);
  EXPECT_EQ(errorOf([&] { t.append(); }), closed);
  EXPECT_EQ(errorOf([&] { t.edit(); }), closed);
  EXPECT_EQ(errorOf([&] { t.remove(); }), closed);
  EXPECT_EQ(errorOf([&] { t.recordCount(); }), closed);
  EXPECT_EQ(errorOf([&] { t.post(); }), closed);
  t.close();  // closing a closed table does nothing
}

TEST_F(DatasetTest, OpeningAnOpenTableDoesNothing) {
  Dataset t("Table1", file_, text::Regional::czech());
  t.open();
  fill(t, {1, 2, 3});
  t.moveTo(1);
  t.open();
  EXPECT_EQ(t.field(0).asInteger(), 2);
  EXPECT_EQ(t.state(), DatasetState::Browse);
}

TEST_F(DatasetTest, AppendRunsTheNewRowCallbackInsideAndPostStaysOnTheNewLastRow) {
  Dataset t("Table1", file_, text::Regional::czech());
  t.open();
  fill(t, {1, 2});
  t.first();
  DatasetState stateInCallback = DatasetState::Inactive;
  int calls = 0;
  t.onNewRecord = [&](Dataset& d) {
    stateInCallback = d.state();
    ++calls;
    d.field(1).setValue(std::string("default"));
  };
  t.append();
  EXPECT_EQ(calls, 1);
  EXPECT_EQ(stateInCallback, DatasetState::Insert);
  EXPECT_EQ(t.state(), DatasetState::Insert);
  EXPECT_EQ(t.field(1).asString(), "default");
  EXPECT_TRUE(t.field(0).isNull()) << "a new row starts blank";
  EXPECT_EQ(t.rowIndex(), 2) << "the row being inserted comes after the rows";
  EXPECT_EQ(t.recordCount(), 2) << "not stored yet";
  t.field(0).setValue(3.0);
  t.post();
  EXPECT_EQ(t.state(), DatasetState::Browse);
  EXPECT_EQ(t.field(0).asInteger(), 3);
  EXPECT_EQ(t.rowIndex(), 2);
  EXPECT_EQ(t.recordCount(), 3);
  t.next();
  EXPECT_TRUE(t.eof()) << "the appended row is the last";
}

TEST_F(DatasetTest, CancelDiscardsAnInsertAndRereadsAnEdit) {
  Dataset t("Table1", file_, text::Regional::czech());
  t.open();
  fill(t, {1, 2, 3});
  t.moveTo(1);
  t.append();
  t.field(0).setValue(9.0);
  t.cancel();
  EXPECT_EQ(t.state(), DatasetState::Browse);
  EXPECT_EQ(t.field(0).asInteger(), 2) << "back on the row before the append";
  EXPECT_EQ(t.recordCount(), 3);

  t.edit();
  t.field(0).setValue(20.0);
  EXPECT_EQ(t.field(0).asInteger(), 20);
  t.cancel();
  EXPECT_EQ(t.field(0).asInteger(), 2);
  EXPECT_EQ(walk(t), (std::vector<std::int64_t>{1, 2, 3}));
}

TEST_F(DatasetTest, EditOnAnEmptyDatasetAppendsAndEditWhileEditingDoesNothing) {
  Dataset t("Table1", file_, text::Regional::czech());
  int calls = 0;
  t.onNewRecord = [&](Dataset&) { ++calls; };
  t.open();
  EXPECT_TRUE(t.isEmpty());
  EXPECT_TRUE(t.eof());
  t.edit();
  EXPECT_EQ(t.state(), DatasetState::Insert);
  EXPECT_EQ(calls, 1);
  EXPECT_FALSE(t.isEmpty());
  t.field(0).setValue(5.0);
  t.edit();  // in insert state: nothing
  EXPECT_EQ(t.state(), DatasetState::Insert);
  EXPECT_EQ(t.field(0).asInteger(), 5);
  t.post();
  t.edit();
  t.field(0).setValue(6.0);
  t.edit();  // in edit state: nothing, the change stays
  EXPECT_EQ(t.field(0).asInteger(), 6);
  t.post();
  EXPECT_EQ(walk(t), (std::vector<std::int64_t>{6}));
  EXPECT_EQ(calls, 1);
}

TEST_F(DatasetTest, MovingTheCursorStoresAPendingEdit) {
  Dataset t("Table1", file_, text::Regional::czech());
  t.open();
  fill(t, {1, 2, 3});
  struct Move {
    const char* name;
    void (*move)(Dataset&);
  } moves[] = {
      {"first", [](Dataset& d) { d.first(); }}, {"next", [](Dataset& d) { d.next(); }},
      {"prior", [](Dataset& d) { d.prior(); }}, {"last", [](Dataset& d) { d.last(); }},
      {"moveTo", [](Dataset& d) { d.moveTo(0); }},
  };
  int value = 100;
  for (const Move& m : moves) {
    t.moveTo(1);
    t.edit();
    t.field(0).setValue(static_cast<double>(++value));
    m.move(t);
    EXPECT_EQ(t.state(), DatasetState::Browse) << m.name;
    EXPECT_EQ(t.valueAt(1, 0), Value{static_cast<double>(value)}) << m.name;
  }
  // Appending stores a pending insert, and the rows stay in order.
  t.append();
  t.field(0).setValue(4.0);
  t.append();
  t.field(0).setValue(5.0);
  t.first();
  EXPECT_EQ(walk(t), (std::vector<std::int64_t>{1, value, 3, 4, 5}));
}

TEST_F(DatasetTest, EndsOfTheWalk) {
  Dataset t("Table1", file_, text::Regional::czech());
  t.open();
  EXPECT_TRUE(t.eof());
  EXPECT_TRUE(t.bof());
  t.next();
  t.prior();
  t.last();
  EXPECT_TRUE(t.eof());
  fill(t, {1, 2});
  t.first();
  EXPECT_TRUE(t.bof());
  EXPECT_FALSE(t.eof());
  t.next();
  EXPECT_FALSE(t.bof());
  EXPECT_FALSE(t.eof());
  t.next();
  EXPECT_TRUE(t.eof());
  EXPECT_EQ(t.field(0).asInteger(), 2) << "the cursor stays on the last row";
  t.prior();
  EXPECT_EQ(t.field(0).asInteger(), 1);
  t.prior();
  EXPECT_TRUE(t.bof());
  EXPECT_EQ(t.field(0).asInteger(), 1);
  t.last();
  EXPECT_EQ(t.field(0).asInteger(), 2);
  EXPECT_FALSE(t.eof());
}

TEST_F(DatasetTest, RemoveDeletesAtOnceAndMovesToTheFollowingRow) {
  Dataset t("Table3", file_, text::Regional::czech());
  t.open();
  EXPECT_EQ(errorOf([&] { t.remove(); }), "Table3: Cannot perform this operation on an empty dataset");
  fill(t, {1, 2, 3, 4});
  t.moveTo(1);
  t.remove();
  EXPECT_EQ(t.field(0).asInteger(), 3) << "the following row";
  EXPECT_EQ(t.rowIndex(), 1);
  t.last();
  t.remove();
  EXPECT_EQ(t.field(0).asInteger(), 3) << "the new last row";
  EXPECT_FALSE(t.eof());
  t.edit();
  t.remove();  // the row being edited
  EXPECT_EQ(t.state(), DatasetState::Browse);
  EXPECT_EQ(t.field(0).asInteger(), 1);
  t.remove();
  EXPECT_TRUE(t.isEmpty());
  EXPECT_TRUE(t.eof());
  EXPECT_EQ(t.recordCount(), 0);
  EXPECT_EQ(errorOf([&] { t.remove(); }), "Table3: Cannot perform this operation on an empty dataset");
  // A row being inserted is only dropped.
  fill(t, {7});
  t.append();
  t.remove();
  EXPECT_EQ(walk(t), (std::vector<std::int64_t>{7}));
  // The deleted records stay in the file, marked.
  const std::string bytes = testing_support::readFile(file_);
  EXPECT_EQ(static_cast<unsigned char>(bytes[4]), 5u);
}

TEST_F(DatasetTest, TheFilterDecidesPerRowAndItsCallbackReadsTheRowUnderTest) {
  Dataset t("Table1", file_, text::Regional::czech());
  t.open();
  fill(t, {1, 2, 3, 4, 5, 6});
  t.moveTo(4);  // row 5
  int wanted = 2;
  std::vector<std::int64_t> tested;
  t.onFilterRecord = [&](Dataset& d) {
    tested.push_back(d.field(0).asInteger());
    return d.field(0).asInteger() % wanted == 0;
  };
  EXPECT_EQ(walk(t), (std::vector<std::int64_t>{1, 2, 3, 4, 5, 6})) << "off until switched on";
  t.setFiltered(true);
  EXPECT_TRUE(t.filtered());
  EXPECT_EQ(t.field(0).asInteger(), 2) << "switching the filter goes to the first row";
  EXPECT_EQ(walk(t), (std::vector<std::int64_t>{2, 4, 6}));
  EXPECT_EQ(t.recordCount(), 3);
  t.first();
  EXPECT_EQ(t.valueAt(2, 0), Value{6.0});
  EXPECT_EQ(t.field(0).asInteger(), 2) << "valueAt leaves the cursor";
  EXPECT_EQ(tested.front(), 1) << "the callback saw the rows one by one";

  wanted = 3;
  t.refilter();
  EXPECT_EQ(walk(t), (std::vector<std::int64_t>{3, 6}));
  EXPECT_EQ(t.recordCount(), 2);
  t.last();
  EXPECT_EQ(t.rowIndex(), 1);
  t.moveTo(0);
  EXPECT_EQ(t.field(0).asInteger(), 3);

  // What the callback may not do: move the cursor of its own table.
  t.onFilterRecord = [&](Dataset& d) {
    d.next();
    return true;
  };
  EXPECT_EQ(errorOf([&] { t.refilter(); }), "Table1: Cannot perform this operation inside the filter callback");
  t.onFilterRecord = nullptr;
  EXPECT_EQ(walk(t), (std::vector<std::int64_t>{1, 2, 3, 4, 5, 6})) << "no callback lets every row through";
  t.setFiltered(false);
  EXPECT_FALSE(t.filtered());
}

TEST_F(DatasetTest, TheNewRowRuleOfTheJournalWorksAsItsStepsSay) {
  // The callback of the journal: post at once, filter off, highest number
  // by a walk, edit, number, move to the last row.
  Dataset t("Table1", file_, text::Regional::czech());
  t.open();
  fill(t, {4, 500, 7});
  t.onFilterRecord = [](Dataset& d) { return d.field(0).asInteger() < 10; };
  t.setFiltered(true);
  t.onNewRecord = [](Dataset& d) {
    d.post();
    d.setFiltered(false);
    const double highest = ledger::MaxFieldValue(d, 0);
    d.edit();
    d.field(0).setAsFloat(ledger::NextRowNumber(highest));
    d.field(1).setValue(std::string("new"));
    d.last();
  };
  t.append();
  EXPECT_EQ(t.state(), DatasetState::Browse);
  EXPECT_FALSE(t.filtered());
  EXPECT_EQ(t.field(0).asInteger(), 501);
  EXPECT_EQ(t.field(1).asString(), "new");
  EXPECT_EQ(t.rowIndex(), 3);
  EXPECT_EQ(walk(t), (std::vector<std::int64_t>{4, 500, 7, 501}));
}

TEST_F(DatasetTest, AFailingNewRowCallbackEndsTheAppendAndKeepsWhatItStored) {
  Dataset t("Table1", file_, text::Regional::czech());
  t.open();
  fill(t, {1});
  t.onNewRecord = [](Dataset& d) {
    d.post();
    d.last();
    d.edit();
    d.field(0).setValue(1e12);  // does not fit N(10,0)
  };
  EXPECT_EQ(errorOf([&] { t.append(); }), "Invalid value for field 'ID'");
  EXPECT_EQ(t.state(), DatasetState::Browse);
  EXPECT_EQ(t.recordCount(), 2) << "the row posted inside stays";
  t.onNewRecord = nullptr;
  t.last();
  t.edit();  // the lock of the failed edit was released
  t.cancel();
}

TEST_F(DatasetTest, TheDataSourceTellsItsListenersUnlessSwitchedOff) {
  Dataset t("Table1", file_, text::Regional::czech());
  std::vector<DataEvent> events;
  const int handle = t.dataSource().subscribe([&](DataEvent e) { events.push_back(e); });
  t.open();
  EXPECT_EQ(events.back(), DataEvent::DataSetChanged);
  fill(t, {1, 2});
  t.first();
  events.clear();
  t.next();
  EXPECT_EQ(events, (std::vector<DataEvent>{DataEvent::Scrolled}));
  events.clear();
  t.edit();
  t.field(1).setValue(std::string("x"));
  t.post();
  EXPECT_EQ(events, (std::vector<DataEvent>{DataEvent::StateChanged, DataEvent::RecordChanged,
                                            DataEvent::RecordChanged, DataEvent::StateChanged,
                                            DataEvent::RecordChanged}));
  events.clear();
  t.append();
  t.post();
  EXPECT_EQ(events, (std::vector<DataEvent>{DataEvent::StateChanged, DataEvent::StateChanged,
                                            DataEvent::DataSetChanged}));
  events.clear();
  t.remove();
  EXPECT_EQ(events, (std::vector<DataEvent>{DataEvent::DataSetChanged}));

  events.clear();
  t.dataSource().setEnabled(false);
  EXPECT_FALSE(t.dataSource().enabled());
  fill(t, {3, 4});
  for (t.first(); !t.eof(); t.next()) {
  }
  t.dataSource().setEnabled(false);
  EXPECT_TRUE(events.empty());
  t.dataSource().setEnabled(true);
  EXPECT_EQ(events, (std::vector<DataEvent>{DataEvent::DataSetChanged}));
  t.dataSource().setEnabled(true);
  EXPECT_EQ(events.size(), 1u);

  // Quiet passes nest and bring one DataSetChanged at the end of the last;
  // a switch turned off meanwhile stays off.
  events.clear();
  {
    ledger::DataSource::Quiet outer(t.dataSource());
    {
      ledger::DataSource::Quiet inner(t.dataSource());
      t.first();
    }
    EXPECT_FALSE(t.dataSource().enabled());
    t.next();
  }
  EXPECT_EQ(events, (std::vector<DataEvent>{DataEvent::DataSetChanged}));
  events.clear();
  {
    ledger::DataSource::Quiet pass(t.dataSource());
    t.dataSource().setEnabled(false);
  }
  EXPECT_FALSE(t.dataSource().enabled());
  EXPECT_TRUE(events.empty());
  t.dataSource().setEnabled(true);
  EXPECT_EQ(events, (std::vector<DataEvent>{DataEvent::DataSetChanged}));

  // A listener that leaves while it is told, and one that comes meanwhile.
  events.clear();
  int second = 0;
  int third = 0;
  int secondHandle = 0;
  secondHandle = t.dataSource().subscribe([&](DataEvent) {
    ++second;
    t.dataSource().unsubscribe(secondHandle);
    t.dataSource().subscribe([&](DataEvent) { ++third; });
  });
  t.first();
  t.next();
  EXPECT_EQ(second, 1);
  EXPECT_EQ(third, 1) << "the newcomer hears the next event, not the one it came in";
  t.dataSource().unsubscribe(handle);
}

TEST_F(DatasetTest, RowsByPositionShowThePendingRowAndLeaveTheCursor) {
  Dataset t("Table1", file_, text::Regional::czech());
  t.open();
  fill(t, {10, 20, 30});
  t.moveTo(1);
  t.edit();
  t.field(0).setValue(21.0);
  EXPECT_EQ(t.valueAt(1, 0), Value{21.0}) << "the cursor row shows its pending edit";
  EXPECT_EQ(t.valueAt(2, 0), Value{30.0});
  EXPECT_EQ(t.textAt(0, 1), "n10");
  EXPECT_EQ(t.valueAt(3, 0), Value{}) << "past the rows";
  EXPECT_EQ(t.valueAt(-1, 0), Value{});
  EXPECT_EQ(t.state(), DatasetState::Edit) << "reading other rows keeps the edit";
  t.post();
  t.append();
  t.field(0).setValue(40.0);
  EXPECT_EQ(t.rowIndex(), 3);
  EXPECT_EQ(t.valueAt(3, 0), Value{40.0}) << "the row being inserted";
  EXPECT_EQ(t.textAt(3, 0), "40");
  t.cancel();
  EXPECT_EQ(t.rowIndex(), 1);
  t.moveTo(99);
  EXPECT_EQ(t.rowIndex(), 2) << "beyond the end is the last row";
  EXPECT_EQ(errorOf([&] { t.valueAt(0, 2); }), "Table1: Field index 2 out of range");
}

TEST_F(DatasetTest, CloseAndTheDestructorStoreAPendingRow) {
  {
    Dataset t("Table1", file_, text::Regional::czech());
    t.open();
    fill(t, {1});
    t.edit();
    t.field(0).setValue(2.0);
    t.close();
    EXPECT_EQ(t.state(), DatasetState::Inactive);
    t.open();
    EXPECT_EQ(t.field(0).asInteger(), 2);
    t.edit();
    t.field(0).setValue(3.0);
    t.append();  // stores the edit
    t.field(0).setValue(4.0);
  }
  Dataset t("Table1", file_, text::Regional::czech());
  t.open();
  EXPECT_EQ(walk(t), (std::vector<std::int64_t>{3, 4}));
}

TEST_F(DatasetTest, FieldsStayTheSameObjectsAcrossCloseAndOpen) {
  Dataset t("Table1", file_, text::Regional::czech());
  t.open();
  fill(t, {1});
  ledger::Field& id = t.field(0);
  t.close();
  EXPECT_TRUE(id.isNull()) << "a closed table has no row";
  t.open();
  EXPECT_EQ(&t.field(0), &id);
  EXPECT_EQ(id.asInteger(), 1);
}

TEST_F(DatasetTest, EmptyingNeedsAClosedTableInExclusiveMode) {
  Dataset t("Table1", file_, text::Regional::czech());
  t.open();
  fill(t, {1, 2});
  EXPECT_EQ(errorOf([&] { t.emptyTable(); }), "Table1: Cannot perform this operation on an open dataset");
  EXPECT_EQ(errorOf([&] { t.setExclusive(true); }), "Table1: Cannot perform this operation on an open dataset");
  t.close();
  EXPECT_EQ(errorOf([&] { t.emptyTable(); }), "Table1: Cannot empty the table without exclusive mode");
  t.setExclusive(true);
  EXPECT_TRUE(t.exclusive());
  t.emptyTable();
  t.setExclusive(false);
  t.open();
  EXPECT_TRUE(t.isEmpty());
  EXPECT_EQ(t.recordCount(), 0);
  t.close();
  // Back to the bytes of a new table, save the date.
  const std::string bytes = testing_support::readFile(file_);
  EXPECT_EQ(bytes.size(), 32u + 2 * 32 + 1 + 1);
  EXPECT_EQ(bytes.back(), '\x1A');
  EXPECT_EQ(bytes.substr(4, 4), std::string(4, '\0'));
}

}  // namespace
