// Damaged tables: each damage gets a message naming the file and what is
// wrong, nothing is changed, nothing crashes; a count that a crash left one
// behind is repaired, and so is a count beyond the records, once the file as
// found is kept beside it.
#include <sys/stat.h>

#include <gtest/gtest.h>

#include <algorithm>
#include <cerrno>
#include <cstdint>
#include <ctime>
#include <filesystem>
#include <memory>
#include <random>
#include <regex>
#include <string>
#include <vector>

#include "ledger/dataset.h"
#include "ledger/dbf_header.h"
#include "ledger/file.h"
#include "ledger/table.h"
#include "test_support.h"
#include "text/error.h"
#include "text/regional.h"

namespace {

namespace fs = std::filesystem;
using ledger::Dataset;
using ledger::FieldDef;
using ledger::FieldType;
using testing_support::readFile;
using testing_support::TempDir;
using testing_support::writeFile;

const std::vector<FieldDef> kLayout = {
    {"ID", FieldType::Numeric, 10, 0},
    {"TEXT", FieldType::Character, 30, 0},
};
constexpr std::size_t kHeaderLength = 32 + 2 * 32 + 1;
constexpr std::size_t kRecordLength = 41;

std::string record(int id) {
  std::string r(kRecordLength, ' ');
  const std::string number = std::to_string(id);
  r.replace(11 - number.size(), number.size(), number);
  r.replace(11, 4, "row ");
  r.replace(15, number.size(), number);
  return r;
}

// The bytes of a good table with `rows` rows, as Mincar writes it.
std::string goodTable(const TempDir& dir, int rows) {
  const fs::path file = dir / "good.dbf";
  ledger::createTable(file, kLayout);
  Dataset t("Table1", file, text::Regional::czech());
  t.open();
  for (int i = 1; i <= rows; ++i) {
    t.append();
    t.field(0).setValue(static_cast<double>(i));
    t.field(1).setValue("row " + std::to_string(i));
    t.post();
  }
  t.close();
  std::string bytes = readFile(file);
  fs::remove(file);
  return bytes;
}

void put16(std::string& bytes, std::size_t at, unsigned v) {
  bytes[at] = static_cast<char>(v & 0xFF);
  bytes[at + 1] = static_cast<char>(v >> 8);
}

std::string openError(const fs::path& file) {
  Dataset t("Table1", file, text::Regional::czech());
  try {
    t.open();
  } catch (const mincar::Error& e) {
    EXPECT_FALSE(t.active());
    return e.what();
  }
  return "(opened)";
}

TEST(Damage, EachDamageIsNamedWithTheFileAndNothingChanges) {
  TempDir dir;
  const std::string good = goodTable(dir, 3);
  struct Case {
    const char* what;
    std::string bytes;
    std::string message;  // after "<file>: "
  };
  std::vector<Case> cases;
  cases.push_back({"empty file", "", "the file is empty, it is no dBASE table"});
  cases.push_back({"cut in the file header", good.substr(0, 20), "the table header is cut short"});
  cases.push_back({"cut in the descriptors", good.substr(0, 70), "the table header is cut short"});
  {
    std::string b = good;
    put16(b, 8, 32);
    cases.push_back({"header length too small", b, "the header length 32 is too small"});
  }
  {
    std::string b = good;
    put16(b, 10, 50);
    cases.push_back({"record length does not match", b,
                     "the record length 50 does not match the fields, which need 41"});
  }
  {
    std::string b = good;
    put16(b, 10, 0);
    cases.push_back({"record length zero", b, "the record length 0 is too small"});
  }
  // Memo columns and unknown types are no damage: they are refused with
  // the column and the reason (levels_test).
  {
    std::string b = good;
    b[32 + 16] = 0;
    put16(b, 10, 31);
    cases.push_back({"field length zero", b, "field 'ID' has the length 0"});
  }
  {
    std::string b = good;
    put16(b, 8, kHeaderLength - 1);  // the header ends before its terminator
    cases.push_back({"no terminator", b, "the field list has no end mark"});
  }
  {
    std::string b = good;
    put16(b, 8, kHeaderLength + 20);  // the terminator is missed: the list runs into the records
    b[kHeaderLength - 1] = 'x';
    cases.push_back({"descriptors cut by the header length", b, "the field list is cut short"});
  }
  for (const Case& c : cases) {
    const fs::path file = dir / "damaged.dbf";
    writeFile(file, c.bytes);
    EXPECT_EQ(openError(file), file.string() + ": " + c.message) << c.what;
    EXPECT_EQ(readFile(file), c.bytes) << c.what << ": the file must stay as it was";
  }
}

TEST(Damage, AFileThatCannotBeOpenedIsNamedWithTheReason) {
  TempDir dir;
  fs::create_directory(dir / "folder.dbf");
  ASSERT_EQ(::mkfifo((dir / "fifo.dbf").c_str(), 0644), 0);
  fs::create_symlink(dir / "gone.dbf", dir / "dangling.dbf");
  fs::create_symlink(dir / "loop.dbf", dir / "loop.dbf");
  struct Case {
    const char* name;
    std::string reason;
  } cases[] = {
      {"missing.dbf", "No such file or directory"},
      {"folder.dbf", "Is a directory"},
      // A pipe would hang the opening; a test that hangs fails by time-out.
      {"fifo.dbf", "not a regular file"},
      {"dangling.dbf", "it is a link to a file that does not exist"},
      {"loop.dbf", "Too many levels of symbolic links"},
  };
  for (const Case& c : cases) {
    EXPECT_EQ(openError(dir / c.name), "Cannot open file " + (dir / c.name).string() + ": " + c.reason);
  }
}

// A command that only reads changes nothing, not even a damaged count; a
// change is refused with the reason.
TEST(Damage, ATableOpenedForReadingShowsItsRowsAndIsNeverWritten) {
  TempDir dir;
  const fs::path file = dir / "peden.dbf";
  std::string bytes = goodTable(dir, 4);
  // The header promises 6 rows, and a crash left a partial fifth record.
  bytes[4] = 6;
  bytes.pop_back();
  bytes += record(5).substr(0, 10);
  writeFile(file, bytes);
  Dataset t("Table1", file, text::Regional::czech());
  t.setReadOnly(true);
  t.open();
  EXPECT_EQ(t.recordCount(), 4);
  EXPECT_EQ(t.takeDamageNotice(),
            file.string() + ": the header promises 6 rows, but only 4 are in the file; they are shown, and the "
                            "first opening for writing repairs the file, keeping it as it was found");
  t.last();
  EXPECT_EQ(t.field(0).asInteger(), 4);
  const std::string refusal = "Cannot write to " + file.string() + ": the table is open for reading only";
  EXPECT_EQ(testing_support::errorOf([&] { t.edit(); }), refusal);
  EXPECT_EQ(testing_support::errorOf([&] { t.append(); t.post(); }), refusal);
  t.cancel();
  EXPECT_EQ(testing_support::errorOf([&] { t.remove(); }), refusal);
  t.close();
  EXPECT_EQ(readFile(file), bytes);
  std::vector<std::string> names;
  for (const auto& entry : fs::directory_iterator(dir.path())) names.push_back(entry.path().filename().string());
  std::sort(names.begin(), names.end());
  EXPECT_EQ(names, std::vector<std::string>{"peden.dbf"});
}

TEST(Repair, ACountOneBehindIsRepairedAndReported) {
  TempDir dir;
  std::string bytes = goodTable(dir, 10);
  // A crash between the record and the count: the 11th record and the end
  // mark are written, the header still counts 10.
  bytes.pop_back();
  bytes += record(11);
  bytes += '\x1A';
  const fs::path file = dir / "peden.dbf";
  writeFile(file, bytes);

  Dataset t("Table1", file, text::Regional::czech());
  t.open();
  EXPECT_EQ(t.takeRepairNotice(), file.string() + ": the row count was repaired from 10 to 11");
  EXPECT_EQ(t.takeRepairNotice(), "") << "reading the notice clears it";
  EXPECT_EQ(t.recordCount(), 11);
  t.last();
  EXPECT_EQ(t.field(0).asInteger(), 11);
  EXPECT_EQ(t.field(1).asString(), "row 11");
  t.close();
  EXPECT_EQ(static_cast<unsigned char>(readFile(file)[4]), 11u);

  t.open();
  EXPECT_EQ(t.takeRepairNotice(), "") << "nothing left to repair";
}

TEST(Repair, HalfARecordAfterTheCountedOnesIsOverwrittenByTheNextAppend) {
  TempDir dir;
  std::string bytes = goodTable(dir, 2);
  bytes.pop_back();
  bytes += record(3).substr(0, 20);  // a crash in the middle of the record
  const fs::path file = dir / "peden.dbf";
  writeFile(file, bytes);

  Dataset t("Table1", file, text::Regional::czech());
  t.open();
  EXPECT_EQ(t.takeRepairNotice(), "");
  EXPECT_EQ(t.recordCount(), 2);
  t.append();
  t.field(0).setValue(3.0);
  t.field(1).setValue(std::string("row 3"));
  t.post();
  t.close();
  EXPECT_EQ(readFile(file), goodTable(dir, 3));
}

TEST(Repair, BytesAfterTheEndMarkAreNoRows) {
  TempDir dir;
  std::string bytes = goodTable(dir, 2);
  bytes += record(3) + record(4);  // some tools leave old bytes behind the end mark
  const fs::path file = dir / "peden.dbf";
  writeFile(file, bytes);
  Dataset t("Table1", file, text::Regional::czech());
  t.open();
  EXPECT_EQ(t.takeRepairNotice(), "");
  EXPECT_EQ(t.recordCount(), 2);
}

// --- a count beyond the records ---------------------------------------------

// The bytes of `rows` good rows with a header that counts `counted`, and
// `tail` after the rows: what a power cut on an older version, a copy cut
// short or another program leaves.
std::string overcounted(const std::string& good, int counted, int rows, const std::string& tail) {
  std::string bytes = good.substr(0, kHeaderLength + static_cast<std::size_t>(rows) * kRecordLength) + tail;
  bytes[4] = static_cast<char>(counted);
  return bytes;
}

std::uint32_t headerCount(const std::string& bytes) {
  std::uint32_t count = 0;
  for (int i = 3; i >= 0; --i) count = count << 8 | static_cast<unsigned char>(bytes[4 + i]);
  return count;
}

// The files in `folder`, by name.
std::vector<std::string> names(const fs::path& folder) {
  std::vector<std::string> found;
  for (const auto& entry : fs::directory_iterator(folder)) found.push_back(entry.path().filename().string());
  std::sort(found.begin(), found.end());
  return found;
}

// The copies of `table` that repairs kept beside it.
std::vector<fs::path> keptCopies(const fs::path& table) {
  std::vector<fs::path> copies;
  for (const std::string& name : names(table.parent_path())) {
    if (name.rfind(table.filename().string() + ".damaged-", 0) == 0) copies.push_back(table.parent_path() / name);
  }
  return copies;
}

std::string stamp(std::time_t at) {
  std::tm local{};
  localtime_r(&at, &local);
  char text[32] = {};
  std::strftime(text, sizeof text, "%Y%m%d-%H%M%S", &local);
  return text;
}

TEST(Repair, ACountBeyondTheRecordsIsRepairedOnceTheFileAsFoundIsKept) {
  TempDir source;
  const std::string good = goodTable(source, 10);
  struct Case {
    const char* what;
    int counted;
    int rows;  // whole records in the file
    std::string tail;
  };
  const Case cases[] = {
      {"a power cut in the ninth record", 11, 8, record(9).substr(0, 20)},
      {"the end mark after the rows", 5, 3, "\x1A"},
      {"cut right after the rows", 4, 3, ""},
      {"no rows, only the end mark", 2, 0, "\x1A"},
      {"cut inside the first record", 10, 0, record(1).substr(0, kRecordLength - 1)},
  };
  for (const Case& c : cases) {
    TempDir dir;
    const fs::path file = dir / "peden.dbf";
    const std::string found = overcounted(good, c.counted, c.rows, c.tail);
    writeFile(file, found);

    Dataset t("Table1", file, text::Regional::czech());
    t.open();
    const std::vector<fs::path> copies = keptCopies(file);
    ASSERT_EQ(copies.size(), 1u) << c.what;
    EXPECT_TRUE(std::regex_match(copies[0].filename().string(),
                                 std::regex(R"(peden\.dbf\.damaged-[0-9]{8}-[0-9]{6})")))
        << copies[0];
    EXPECT_EQ(readFile(copies[0]), found) << c.what << ": the copy holds the file as it was found";
    EXPECT_EQ(t.takeDamageNotice(), file.string() + ": the header promised " + std::to_string(c.counted) +
                                        " rows, but only " + std::to_string(c.rows) +
                                        " are in the file; the file as it was found is kept as " +
                                        copies[0].string())
        << c.what;
    EXPECT_EQ(t.takeDamageNotice(), "") << c.what << ": reading the notice clears it";
    EXPECT_EQ(t.takeRepairNotice(), "") << c.what;
    EXPECT_EQ(t.recordCount(), c.rows) << c.what;
    int seen = 0;
    for (t.first(); !t.eof(); t.next()) {
      ++seen;
      EXPECT_EQ(t.field(0).asInteger(), seen) << c.what;
      EXPECT_EQ(t.field(1).asString(), "row " + std::to_string(seen)) << c.what;
    }
    EXPECT_EQ(seen, c.rows) << c.what;
    t.close();

    // The header counts the rows there, the rows are as they were, and the
    // end mark follows them.
    const std::string repaired = readFile(file);
    const std::size_t rowBytes = static_cast<std::size_t>(c.rows) * kRecordLength;
    EXPECT_EQ(headerCount(repaired), static_cast<std::uint32_t>(c.rows)) << c.what;
    EXPECT_EQ(repaired.substr(8, kHeaderLength - 8), found.substr(8, kHeaderLength - 8)) << c.what;
    EXPECT_EQ(repaired.substr(kHeaderLength), found.substr(kHeaderLength, rowBytes) + "\x1A") << c.what;

    t.open();
    EXPECT_EQ(t.takeDamageNotice(), "") << c.what << ": nothing left to repair";
    EXPECT_EQ(t.takeRepairNotice(), "") << c.what;
    EXPECT_EQ(keptCopies(file), copies) << c.what;
    EXPECT_EQ(readFile(file), repaired) << c.what;
  }
}

TEST(Repair, TheKeptCopyNeitherReplacesAnEarlierOneNorFollowsALink) {
  TempDir dir;
  const std::string found = overcounted(goodTable(dir, 10), 11, 8, record(9).substr(0, 20));
  const fs::path file = dir / "peden.dbf";
  writeFile(file, found);
  // The names a copy made now or in the next seconds would get: copies of
  // earlier repairs, and a link someone planted towards another file.
  const std::time_t now = std::time(nullptr);
  const fs::path elsewhere = dir / "elsewhere.txt";
  writeFile(elsewhere, "not a table");
  const fs::path earlier = dir / ("peden.dbf.damaged-" + stamp(now));
  const fs::path planted = dir / ("peden.dbf.damaged-" + stamp(now + 1));
  const fs::path later = dir / ("peden.dbf.damaged-" + stamp(now + 2));
  writeFile(earlier, "earlier copy");
  fs::create_symlink(elsewhere, planted);
  writeFile(later, "earlier copy too");

  Dataset t("Table1", file, text::Regional::czech());
  t.open();
  const std::string notice = t.takeDamageNotice();
  const std::string kept = notice.substr(notice.rfind(" kept as ") + 9);
  EXPECT_TRUE(kept == earlier.string() + "-2" || kept == planted.string() + "-2" || kept == later.string() + "-2")
      << notice;
  EXPECT_EQ(readFile(kept), found);
  EXPECT_EQ(readFile(earlier), "earlier copy");
  EXPECT_EQ(readFile(later), "earlier copy too");
  EXPECT_TRUE(fs::is_symlink(planted));
  EXPECT_EQ(readFile(elsewhere), "not a table");
}

// The copy's file as a failing disk gives it.
class FailingCopy : public ledger::File {
 public:
  FailingCopy(std::unique_ptr<ledger::File> real, int writeError, int syncError)
      : real_(std::move(real)), writeError_(writeError), syncError_(syncError) {}
  ledger::IoResult pread(void* buffer, std::size_t count, long long offset) override {
    return real_->pread(buffer, count, offset);
  }
  ledger::IoResult pwrite(const void* data, std::size_t count, long long offset) override {
    if (writeError_ != 0) return {0, writeError_};
    return real_->pwrite(data, count, offset);
  }
  ledger::IoResult size() override { return real_->size(); }
  int truncate(long long length) override { return real_->truncate(length); }
  int sync() override { return syncError_ != 0 ? syncError_ : real_->sync(); }
  int lock(long long offset, long long length, ledger::LockMode mode) override {
    return real_->lock(offset, length, mode);
  }

 private:
  std::unique_ptr<ledger::File> real_;
  int writeError_;
  int syncError_;
};

ledger::ReplacementFile::FileMaker failingCopies(int writeError, int syncError) {
  return [=](const fs::path& path, int& error) -> std::unique_ptr<ledger::File> {
    std::unique_ptr<ledger::File> real = ledger::createPosixFile(path, error);
    if (!real) return nullptr;
    return std::make_unique<FailingCopy>(std::move(real), writeError, syncError);
  };
}

TEST(Repair, WithoutTheCopyTheOpenIsRefusedAndNothingChanges) {
  TempDir source;
  const std::string found = overcounted(goodTable(source, 10), 11, 8, record(9).substr(0, 20));
  struct Case {
    const char* what;
    ledger::ReplacementFile::FileMaker makeCopy;
    std::string failure;  // the copy's own message, before its name
    std::string reason;
  };
  const Case cases[] = {
      {"the folder takes no new file",
       [](const fs::path&, int& error) -> std::unique_ptr<ledger::File> {
         error = EACCES;
         return nullptr;
       },
       "Cannot create ", "Permission denied"},
      {"the disk is full", failingCopies(ENOSPC, 0), "Cannot write to ", "No space left on device"},
      {"the copy does not reach the disk", failingCopies(0, EIO), "Cannot write to ", "Input/output error"},
  };
  for (const Case& c : cases) {
    TempDir dir;
    const fs::path file = dir / "peden.dbf";
    writeFile(file, found);
    int error = 0;
    const std::string message = testing_support::errorOf([&] {
      ledger::Table table(file, ledger::TableAccess::Shared, ledger::openPosixFile(file, error), c.makeCopy);
    });
    const std::string before = file.string() +
                               ": the header promises 11 rows, but only 8 are in the file; it was left as it is, "
                               "because a copy of it as found could not be kept: " +
                               c.failure + file.string() + ".damaged-";
    const std::string after = ": " + c.reason;
    EXPECT_EQ(message.rfind(before, 0), 0u) << c.what << ": " << message;
    EXPECT_TRUE(message.ends_with(after)) << c.what << ": " << message;
    EXPECT_EQ(message.size(), before.size() + std::string("20261208-112233").size() + after.size()) << message;
    EXPECT_EQ(readFile(file), found) << c.what << ": the file must stay as it was";
    EXPECT_EQ(names(dir.path()), std::vector<std::string>{"peden.dbf"}) << c.what << ": no copy, no temporary";
  }
}

TEST(Repair, ACountThatGoesBeyondTheRecordsWhileOpenIsRefusedAndRepairedAtTheNextOpen) {
  TempDir dir;
  const std::string good = goodTable(dir, 10);
  const fs::path file = dir / "peden.dbf";
  writeFile(file, good);
  ledger::Table table(file, ledger::TableAccess::Shared);
  // Another program cuts the file and raises the count under us.
  const std::string found = overcounted(good, 11, 8, record(9).substr(0, 20));
  writeFile(file, found);
  EXPECT_EQ(testing_support::errorOf([&] { table.refreshCount(); }),
            file.string() +
                ": the header promises 11 rows, but only 8 are in the file; another program damaged it while it "
                "was open, and the next opening repairs it, keeping the file as it was found");
  EXPECT_EQ(readFile(file), found);
  EXPECT_TRUE(keptCopies(file).empty());

  ledger::Table again(file, ledger::TableAccess::Shared);
  EXPECT_EQ(again.recordCount(), 8);
  ASSERT_EQ(keptCopies(file).size(), 1u);
  EXPECT_EQ(again.takeDamageNotice(), file.string() +
                                          ": the header promised 11 rows, but only 8 are in the file; the file as "
                                          "it was found is kept as " +
                                          keptCopies(file)[0].string());
  EXPECT_EQ(table.refreshCount(), 8) << "the first table sees the repaired count";
}

// The header parser is a pure function over bytes: every prefix and random
// damage must give a header or a message naming the file, never a crash or a
// read beyond the bytes (run under a sanitizer to see the latter).
// Damage is told after the file's name, a table Mincar cannot use names
// the file first too.
bool namesTheFile(const std::string& message, const std::string& name) {
  return message.rfind(name + ": ", 0) == 0 || message.rfind("Table " + name + ": ", 0) == 0 ||
         message.rfind("Table " + name + " is ", 0) == 0 || message.rfind(name + " is no dBASE table", 0) == 0;
}

TEST(DamageFuzz, TheHeaderParserTakesAnyBytes) {
  TempDir dir;
  const std::string good = goodTable(dir, 3);
  const std::string name = "fuzz.dbf";
  for (std::size_t n = 0; n <= kHeaderLength; ++n) {
    const std::string prefix = good.substr(0, n);
    try {
      ledger::dbf::parseHeader(prefix, name);
      EXPECT_EQ(n, kHeaderLength);
    } catch (const mincar::Error& e) {
      EXPECT_TRUE(namesTheFile(e.what(), name)) << e.what();
    }
  }
  std::mt19937 random(20240229);
  for (int round = 0; round < 5000; ++round) {
    std::string bytes = good.substr(0, kHeaderLength + 10);
    const int changes = 1 + static_cast<int>(random() % 6);
    for (int i = 0; i < changes; ++i) {
      bytes[random() % bytes.size()] = static_cast<char>(random() & 0xFF);
    }
    if (random() % 4 == 0) bytes.resize(random() % bytes.size());
    try {
      const ledger::dbf::Header h = ledger::dbf::parseHeader(bytes, name);
      int sum = 1;
      for (const FieldDef& f : h.fields) sum += f.length;
      EXPECT_EQ(sum, h.recordLength);
      EXPECT_LE(static_cast<std::size_t>(h.headerLength), bytes.size());
    } catch (const mincar::Error& e) {
      EXPECT_TRUE(namesTheFile(e.what(), name)) << e.what();
    }
  }
}

TEST(DamageFuzz, DamagedTablesOpenOrFailCleanlyAndReadOnlyTheirRows) {
  TempDir dir;
  const std::string good = goodTable(dir, 5);
  std::mt19937 random(7);
  for (int round = 0; round < 300; ++round) {
    // A new file each round: truncating one file over and over is slow on
    // disks that discard freed blocks.
    const fs::path file = dir / ("fuzz" + std::to_string(round) + ".dbf");
    std::string bytes = good;
    const int changes = 1 + static_cast<int>(random() % 4);
    for (int i = 0; i < changes; ++i) {
      // Mostly the header, where damage changes the file's structure.
      const std::size_t at = random() % 3 != 0 ? random() % kHeaderLength : random() % bytes.size();
      bytes[at] = static_cast<char>(random() & 0xFF);
    }
    if (random() % 5 == 0) bytes.resize(random() % bytes.size());
    writeFile(file, bytes);
    Dataset t("Table1", file, text::Regional::czech());
    try {
      t.open();
      std::int64_t rows = 0;
      for (t.first(); !t.eof(); t.next()) {
        for (int c = 0; c < t.fieldCount(); ++c) {
          t.field(c).value();
          t.field(c).asString();
        }
        ++rows;
      }
      EXPECT_EQ(rows, t.recordCount());
    } catch (const mincar::Error& e) {
      const std::string message = e.what();
      EXPECT_NE(message.find(file.string()), std::string::npos) << message;
    }
  }
}

}  // namespace
