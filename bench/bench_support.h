#pragma once
#include <sys/resource.h>
#include <unistd.h>

#include <benchmark/benchmark.h>

#include <cstdlib>
#include <exception>
#include <filesystem>
#include <iostream>
#include <string>
#include <string_view>
#include <system_error>

#include "app/status_line.h"
#include "ledger/ledger_tables.h"
#include "text/cp1250.h"
#include "text/error.h"

namespace bench_support {

// Peak resident memory of the whole process so far. The 1M cases run after
// the 100k ones, so a peak that grows with the rows would show.
inline double peakRssMiB() {
  rusage usage{};
  getrusage(RUSAGE_SELF, &usage);
  return static_cast<double>(usage.ru_maxrss) / 1024.0;  // Linux counts KiB
}

// Engine errors end the case with their text rather than the whole run.
template <class Body>
void guarded(benchmark::State& state, Body body) {
  try {
    body();
  } catch (const mincar::Error& e) {
    state.SkipWithError(text::toUtf8(e.what()).c_str());
  } catch (const std::exception& e) {
    state.SkipWithError(e.what());
  }
}

// Skips the case when its size was not generated; script names what makes it.
inline bool haveData(benchmark::State& state, const std::filesystem::path& workDir,
                     const std::string& script = "scripts/bench.sh") {
  if (std::filesystem::exists(ledger::tablePath(workDir, ledger::LedgerTable::Journal))) return true;
  const std::string message = "no journal in " + workDir.string() + "; make it with mincar-gen " +
                              workDir.string() + " ROWS (" + script + " does)";
  state.SkipWithError(message.c_str());
  return false;
}

// Keeps only the last text: a recording one would grow with every row a
// long pass reports.
class SilentStatusLine : public app::StatusLine {
 public:
  void show(std::string_view text) override { last_ = text; }
  std::string text() const override { return last_; }

 private:
  std::string last_;
};

// A copy of one work folder for the cases that write, so that the generated
// data stays as its seed made it. Named by the program and its process id,
// so that two programs on one data folder do not share it. Removed at exit.
class ScratchCopy {
 public:
  ScratchCopy(const std::filesystem::path& source, const std::filesystem::path& parent, const std::string& name)
      : dir_(parent / (name + "-" + std::to_string(getpid()))) {
    if (!std::filesystem::exists(ledger::tablePath(source, ledger::LedgerTable::Journal))) return;
    std::filesystem::create_directories(dir_ / "data");
    for (ledger::LedgerTable t : {ledger::LedgerTable::Journal, ledger::LedgerTable::Books, ledger::LedgerTable::Moves}) {
      std::filesystem::copy_file(ledger::tablePath(source, t), ledger::tablePath(dir_, t));
    }
  }
  ~ScratchCopy() {
    std::error_code ignored;
    std::filesystem::remove_all(dir_, ignored);
  }
  ScratchCopy(const ScratchCopy&) = delete;
  ScratchCopy& operator=(const ScratchCopy&) = delete;
  const std::filesystem::path& dir() const { return dir_; }

 private:
  std::filesystem::path dir_;
};

// The main() of a program over the generated data: MINCAR_BENCH_DATA read,
// a scratch copy of its 1m/ made, the cases registered and run. usage says
// what the folder must hold when the variable is not set.
inline int runOnGeneratedData(int argc, char** argv, const char* program, const char* usage,
                              const char* scratchName,
                              void (*registerCases)(const std::filesystem::path& dataRoot,
                                                    const ScratchCopy& scratch)) {
  benchmark::Initialize(&argc, argv);
  if (benchmark::ReportUnrecognizedArguments(argc, argv)) return 2;
  const char* root = std::getenv("MINCAR_BENCH_DATA");
  if (root == nullptr || *root == '\0') {
    std::cerr << program << ": " << usage << '\n';
    return 2;
  }
  try {
    const std::filesystem::path dataRoot = root;
    const ScratchCopy scratch(dataRoot / "1m", dataRoot, scratchName);
    registerCases(dataRoot, scratch);
    benchmark::RunSpecifiedBenchmarks();
    benchmark::Shutdown();
  } catch (const std::exception& e) {
    std::cerr << program << ": " << e.what() << '\n';
    return 1;
  }
  return 0;
}

}  // namespace bench_support
