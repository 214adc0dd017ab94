// mincar-gen DIR ROWS [SEED]: a household ledger for the benchmarks, made
// through the engine itself so that the files are exactly what Mincar writes.
// The same seed gives the same bytes on every platform.
#include <unistd.h>

#include <array>
#include <charconv>
#include <chrono>
#include <cstdint>
#include <cstdio>
#include <filesystem>
#include <iostream>
#include <random>
#include <stdexcept>
#include <string>
#include <string_view>
#include <vector>

#include "ledger/dataset.h"
#include "ledger/ledger_tables.h"
#include "text/cp1250.h"
#include "text/error.h"
#include "text/regional.h"

namespace {

namespace fs = std::filesystem;
using ledger::Dataset;
using ledger::LedgerTable;
using ledger::Value;

constexpr std::string_view kUsage = "usage: mincar-gen DIR ROWS [SEED]";
// 100 million rows are 28 GB; the cap only catches a slip of the keyboard.
constexpr std::int64_t kMaxRows = 100'000'000;

class UsageError : public std::runtime_error {
 public:
  using std::runtime_error::runtime_error;
};

// mt19937_64's sequence is fixed by the standard, the distributions are not;
// reducing by hand keeps a seed's data the same with every library.
class Random {
 public:
  explicit Random(std::uint64_t seed) : engine_(seed) {}
  std::int64_t below(std::int64_t n) { return static_cast<std::int64_t>(engine_() % static_cast<std::uint64_t>(n)); }
  std::int64_t between(std::int64_t low, std::int64_t high) { return low + below(high - low + 1); }
  bool percent(int p) { return below(100) < p; }

 private:
  std::mt19937_64 engine_;
};

constexpr std::array kBookNames = {
    "Hotovost",          "Běžný účet",        "Spořicí účet",     "Pokladna 2",
    "Termínovaný vklad", "Kreditní karta",    "Stavební spoření", "Penzijní spoření",
    "Účet v eurech",     "Pokladna firmy",    "Cestovní pokladna", "Rodinný rozpočet",
    "Účet dětí",         "Hypoteční účet",    "Úvěrový účet",     "Stravenky",
    "Dárkové poukázky",  "Investiční účet",   "Chata – pokladna", "Spolková pokladna",
};

struct MoveKind {
  const char* name;
  bool income;
};

constexpr std::array kMoveKinds = {
    MoveKind{"Mzda", true},
    MoveKind{"Prémie", true},
    MoveKind{"Důchod", true},
    MoveKind{"Přídavky na děti", true},
    MoveKind{"Nájemné od podnájemníka", true},
    MoveKind{"Úroky", true},
    MoveKind{"Vrácení přeplatku", true},
    MoveKind{"Prodej věcí", true},
    MoveKind{"Dar", true},
    MoveKind{"Výběr z bankomatu", true},
    MoveKind{"Nákup potravin", false},
    MoveKind{"Pohonné hmoty", false},
    MoveKind{"Nájem", false},
    MoveKind{"Elektřina", false},
    MoveKind{"Plyn", false},
    MoveKind{"Voda a stočné", false},
    MoveKind{"Telefon", false},
    MoveKind{"Internet", false},
    MoveKind{"Pojištění domácnosti", false},
    MoveKind{"Povinné ručení", false},
    MoveKind{"Havarijní pojištění", false},
    MoveKind{"Zdravotní péče", false},
    MoveKind{"Léky", false},
    MoveKind{"Oblečení", false},
    MoveKind{"Obuv", false},
    MoveKind{"Školné", false},
    MoveKind{"Kroužky dětí", false},
    MoveKind{"Knihy a časopisy", false},
    MoveKind{"Kultura", false},
    MoveKind{"Dovolená", false},
    MoveKind{"Restaurace", false},
    MoveKind{"Oprava auta", false},
    MoveKind{"Servis kola", false},
    MoveKind{"Drogerie", false},
    MoveKind{"Vybavení domácnosti", false},
    MoveKind{"Elektronika", false},
    MoveKind{"Dárky", false},
    MoveKind{"Jízdné MHD", false},
    MoveKind{"Vlak a autobus", false},
    MoveKind{"Parkovné", false},
    MoveKind{"Poplatky bance", false},
    MoveKind{"Splátka hypotéky", false},
    MoveKind{"Splátka úvěru", false},
    MoveKind{"Daň z nemovitosti", false},
    MoveKind{"Poplatek za odpad", false},
    MoveKind{"Televizní poplatek", false},
    MoveKind{"Rozhlasový poplatek", false},
    MoveKind{"Zvířata", false},
    MoveKind{"Zahrada", false},
    MoveKind{"Kadeřnictví", false},
};
static_assert(kBookNames.size() == 20);
static_assert(kMoveKinds.size() == 50);

// What users write after the movement's name.
constexpr std::array kNotes = {
    "týdenní nákup",   "záloha",           "doplatek za rok",   "vyúčtování",
    "hotově",          "převodem",         "kartou",            "za leden",
    "za únor",         "za březen",        "za duben",          "za květen",
    "za červen",       "za červenec",      "za srpen",          "za září",
    "za říjen",        "za listopad",      "za prosinec",       "příspěvek",
    "splátka",         "čtvrtletní platba", "pololetní platba",  "mimořádný výdaj",
    "Žďár nad Sázavou", "České Budějovice", "Ústí nad Labem",   "Plzeň",
    "Brno – Líšeň",    "Ostrava-Poruba",   "účtenka č. 4711",   "pro babičku",
};

template <std::size_t N>
std::vector<std::string> toCp1250(const std::array<const char*, N>& utf8) {
  std::vector<std::string> out;
  for (const char* s : utf8) out.push_back(text::toCp1250(s));
  return out;
}

std::int64_t parseCount(std::string_view arg, std::string_view what, std::int64_t max) {
  std::int64_t value = 0;
  auto [end, ec] = std::from_chars(arg.data(), arg.data() + arg.size(), value);
  if (ec != std::errc() || end != arg.data() + arg.size() || value < 0 || value > max) {
    throw UsageError(std::string(what) + " must be a whole number from 0 to " + std::to_string(max) +
                     ", not '" + std::string(arg) + "'");
  }
  return value;
}

text::Date toDate(std::chrono::sys_days day) {
  std::chrono::year_month_day ymd{day};
  return {static_cast<int>(ymd.year()), static_cast<int>(static_cast<unsigned>(ymd.month())),
          static_cast<int>(static_cast<unsigned>(ymd.day()))};
}

void setValue(Dataset& table, int column, Value value) { table.field(column).setValue(value); }

class Progress {
 public:
  Progress(std::string_view what, std::int64_t total)
      : what_(what), total_(total), shown_(isatty(STDERR_FILENO) == 1) {}
  void at(std::int64_t done) {
    if (shown_ && (done % 50'000 == 0 || done == total_)) {
      std::cerr << '\r' << what_ << ": " << done << " / " << total_ << std::flush;
      if (done == total_) std::cerr << '\n';
    }
  }

 private:
  std::string_view what_;
  std::int64_t total_;
  bool shown_;
};

void fillList(const fs::path& path, std::string_view name, const std::vector<std::string>& texts,
              const text::Regional& regional) {
  Dataset list(std::string(name), path, regional);
  list.setExclusive(true);
  list.open();
  for (std::size_t i = 0; i < texts.size(); ++i) {
    list.append();
    setValue(list, 0, static_cast<double>(i + 1));
    setValue(list, 1, texts[i]);
    list.post();
  }
  list.close();
}

void generate(const fs::path& dir, std::int64_t rows, std::uint64_t seed) {
  for (LedgerTable t : {LedgerTable::Journal, LedgerTable::Books, LedgerTable::Moves}) {
    fs::path p = ledger::tablePath(dir, t);
    if (fs::exists(p)) {
      // Appending to an existing ledger would make data that no seed describes.
      throw mincar::Error(mincar::fill("%s exists already; give mincar-gen a folder without tables",
                                       {p.string()}));
    }
  }
  ledger::createMissingTables(dir);
  const text::Regional regional = text::Regional::czech();

  const std::vector<std::string> books = toCp1250(kBookNames);
  std::vector<std::string> moves;
  for (const MoveKind& kind : kMoveKinds) moves.push_back(text::toCp1250(kind.name));
  const std::vector<std::string> notes = toCp1250(kNotes);

  fillList(ledger::tablePath(dir, LedgerTable::Books), "books", books, regional);
  fillList(ledger::tablePath(dir, LedgerTable::Moves), "moves", moves, regional);

  using namespace std::chrono;
  const sys_days firstDay = sys_days{year{2016} / January / 1};
  const std::int64_t dayCount = (sys_days{year{2026} / January / 1} - firstDay).count();
  const std::string separator = ", ";

  Random random(seed);
  Dataset journal("journal", ledger::tablePath(dir, LedgerTable::Journal), regional);
  journal.setExclusive(true);
  journal.open();
  // Confirmed as a whole: one sync at the end instead of two per row.
  journal.beginSyncBatch();
  Progress progress("journal", rows);
  std::string rowText;
  for (std::int64_t i = 0; i < rows; ++i) {
    namespace col = ledger::journal;
    const std::int64_t bookId = random.between(1, static_cast<std::int64_t>(books.size()));
    const std::int64_t moveIndex = random.below(static_cast<std::int64_t>(moves.size()));
    // Dates rise with the row number, as rows are entered day by day.
    const text::Date date = toDate(firstDay + days{i * dayCount / rows});

    rowText = moves[moveIndex];
    if (random.percent(60)) rowText += separator + notes[random.below(static_cast<std::int64_t>(notes.size()))];

    journal.append();
    setValue(journal, col::ID, static_cast<double>(i + 1));
    setValue(journal, col::IDK, static_cast<double>(bookId));
    setValue(journal, col::IDM, static_cast<double>(moveIndex + 1));
    setValue(journal, col::DATUM, date);
    setValue(journal, col::TEXT, rowText);
    // A third of the rows carry no amount yet; the others one amount, in
    // the column their kind of movement uses.
    if (!random.percent(33)) {
      const bool income = kMoveKinds[moveIndex].income;
      const std::int64_t hellers = income ? random.between(1'000'00, 80'000'00) : random.between(10'00, 20'000'00);
      setValue(journal, income ? col::PLUS : col::MINUS, static_cast<double>(hellers) / 100.0);
    }
    journal.post();
    progress.at(i + 1);
  }
  journal.endSyncBatch();
  journal.close();
}

}  // namespace

int main(int argc, char** argv) {
  try {
    if (argc < 3 || argc > 4) throw UsageError("wrong number of arguments");
    const fs::path dir = argv[1];
    const std::int64_t rows = parseCount(argv[2], "ROWS", kMaxRows);
    const std::uint64_t seed =
        argc == 4 ? static_cast<std::uint64_t>(parseCount(argv[3], "SEED", INT64_MAX)) : 1;

    const auto start = std::chrono::steady_clock::now();
    generate(dir, rows, seed);
    const std::chrono::duration<double> took = std::chrono::steady_clock::now() - start;

    std::printf("%s: %zu books, %zu movement kinds, %lld journal rows (seed %llu) in %.1f s\n",
                (dir / "data").string().c_str(), kBookNames.size(), kMoveKinds.size(),
                static_cast<long long>(rows), static_cast<unsigned long long>(seed), took.count());
    return 0;
  } catch (const UsageError& e) {
    std::cerr << "mincar-gen: " << e.what() << '\n' << kUsage << '\n';
    return 2;
  } catch (const mincar::Error& e) {
    std::cerr << "mincar-gen: " << text::toUtf8(e.what()) << '\n';
    return 1;
  } catch (const std::exception& e) {
    std::cerr << "mincar-gen: " << e.what() << '\n';
    return 1;
  }
}
