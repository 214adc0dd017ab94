#pragma once
// What the backup tests share: tables seeded directly, rows read back by a
// fresh component, the bytes of the three table files, and a second
// process that holds a table open.

#include <poll.h>
#include <sys/socket.h>
#include <sys/wait.h>
#include <unistd.h>

#include <array>
#include <csignal>
#include <filesystem>
#include <memory>
#include <stdexcept>
#include <string>
#include <vector>

#include "app/ledger.h"
#include "app/status_line.h"
#include "ledger/dataset.h"
#include "ledger/ledger_tables.h"
#include "test_support.h"
#include "text/cp1250.h"
#include "text/regional.h"

namespace backup_testing {

namespace fs = std::filesystem;
using ledger::LedgerTable;
using ledger::Value;
using Rows = std::vector<std::vector<Value>>;

inline const Value kEmpty{};
inline constexpr std::array<LedgerTable, 3> kTables = {LedgerTable::Journal, LedgerTable::Moves, LedgerTable::Books};

inline std::string cz(const char* utf8) { return text::toCp1250(utf8); }

// Rows stored directly, without the new-row rules, as an earlier run left
// them. Columns left out stay empty.
inline void seed(const fs::path& workDir, LedgerTable table, const Rows& rows) {
  ledger::createMissingTables(workDir);
  ledger::Dataset d("Table1", ledger::tablePath(workDir, table), text::Regional::czech());
  d.open();
  for (const auto& row : rows) {
    d.append();
    for (size_t i = 0; i < row.size(); ++i) d.field(static_cast<int>(i)).setValue(row[i]);
    d.post();
  }
}

// What is stored, read by a fresh component in natural order.
inline Rows stored(const fs::path& workDir, LedgerTable table) {
  ledger::Dataset d("Table1", ledger::tablePath(workDir, table), text::Regional::czech());
  d.open();
  Rows rows;
  for (d.first(); !d.eof(); d.next()) {
    std::vector<Value> row;
    for (int i = 0; i < d.fieldCount(); ++i) row.push_back(d.field(i).value());
    rows.push_back(row);
  }
  return rows;
}

// The three table files, byte for byte.
inline std::array<std::string, 3> tableFiles(const fs::path& workDir) {
  std::array<std::string, 3> bytes;
  for (size_t i = 0; i < kTables.size(); ++i) {
    bytes[i] = testing_support::readFile(ledger::tablePath(workDir, kTables[i]));
  }
  return bytes;
}

// A table file without the date of its last change (bytes 1-3), which a
// rewrite sets to today.
inline std::string withoutDate(std::string bytes) {
  if (bytes.size() > 4) bytes.replace(1, 3, "...");
  return bytes;
}

// The small data set of the format's example: one journal row, two
// movements, one book.
inline void seedExample(const fs::path& workDir) {
  seed(workDir, LedgerTable::Journal,
       {{1.0, 1.0, 2.0, text::Date{2004, 9, 12}, cz("Nákup; potraviny"), kEmpty, 350.5, -350.5}});
  seed(workDir, LedgerTable::Moves, {{1.0, cz("Příjem")}, {2.0, cz("Nákup")}});
  seed(workDir, LedgerTable::Books, {{1.0, cz("Hotovost"), -350.5}});
}

inline fs::path sourceFile(const std::string& relative) { return fs::path(MINCAR_SOURCE_DIR) / relative; }

// A ledger on a folder, as the program opens it.
struct OpenLedger {
  explicit OpenLedger(const fs::path& workDir, text::Regional regional = text::Regional::czech())
      : ledger(workDir, std::move(regional), status) {
    ledger.open();
  }
  app::RecordingStatusLine status;
  app::Ledger ledger;
};

// A ledger_peer process on one table, talked to over a socket pair.
class Peer {
 public:
  explicit Peer(const fs::path& table) {
    int sockets[2];
    if (socketpair(AF_UNIX, SOCK_STREAM | SOCK_CLOEXEC, 0, sockets) != 0) throw std::runtime_error("socketpair");
    const std::string program = testing_support::builtProgram("ledger_peer").string();
    const std::string tableArg = table.string();
    pid_ = fork();
    if (pid_ < 0) throw std::runtime_error("fork");
    if (pid_ == 0) {
      dup2(sockets[1], 0);
      dup2(sockets[1], 1);
      execl(program.c_str(), program.c_str(), tableArg.c_str(), static_cast<char*>(nullptr));
      _exit(127);
    }
    close(sockets[1]);
    socket_ = sockets[0];
  }
  ~Peer() {
    if (socket_ >= 0) close(socket_);  // the peer reads the end of its input and ends
    if (pid_ > 0) waitpid(pid_, nullptr, 0);
  }
  Peer(const Peer&) = delete;
  Peer& operator=(const Peer&) = delete;

  std::string ask(const std::string& command) {
    const std::string line = command + "\n";
    if (::send(socket_, line.data(), line.size(), MSG_NOSIGNAL) != static_cast<ssize_t>(line.size())) {
      throw std::runtime_error("peer is gone");
    }
    std::string answer;
    char c = 0;
    for (;;) {
      pollfd p{socket_, POLLIN, 0};
      if (poll(&p, 1, 30'000) <= 0) throw std::runtime_error("peer does not answer");
      if (read(socket_, &c, 1) != 1) throw std::runtime_error("peer is gone");
      if (c == '\n') return answer;
      answer += c;
    }
  }

 private:
  pid_t pid_ = -1;
  int socket_ = -1;
};

}  // namespace backup_testing
