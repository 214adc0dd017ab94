#pragma once
// What the printing tests share: a launcher that keeps the command lines it
// is given, the working folder switched for one test, and waiting for what
// a started interpreter leaves behind.

#include <sys/prctl.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cerrno>
#include <chrono>
#include <cstdlib>
#include <filesystem>
#include <stdexcept>
#include <string>
#include <thread>
#include <vector>

#include "print/browser.h"
#include "test_support.h"

namespace print_testing {

class RecordingLauncher : public print::BrowserLauncher {
 public:
  void launch(const std::string& commandLine) override { commandLines.push_back(commandLine); }
  std::vector<std::string> commandLines;
};

// The process's working folder while the object lives: the interpreter that
// a launch starts runs there.
class CurrentFolder {
 public:
  explicit CurrentFolder(const std::filesystem::path& folder)
      : previous_(std::filesystem::current_path()) {
    std::filesystem::current_path(folder);
  }
  ~CurrentFolder() {
    std::error_code ignored;
    std::filesystem::current_path(previous_, ignored);
  }
  CurrentFolder(const CurrentFolder&) = delete;
  CurrentFolder& operator=(const CurrentFolder&) = delete;

 private:
  std::filesystem::path previous_;
};

// While it lives, processes orphaned below this one (the interpreter that a
// launch leaves behind its middle process) become this process's children,
// so that a test can wait for the whole command line to have run.
class AdoptOrphans {
 public:
  AdoptOrphans() {
    if (::prctl(PR_SET_CHILD_SUBREAPER, 1) != 0) throw std::runtime_error("no subreaper");
  }
  ~AdoptOrphans() { ::prctl(PR_SET_CHILD_SUBREAPER, 0); }
  AdoptOrphans(const AdoptOrphans&) = delete;
  AdoptOrphans& operator=(const AdoptOrphans&) = delete;

  // Reaps every adopted process until none is left; false on time-out.
  bool waitForAll(std::chrono::seconds limit = std::chrono::seconds(20)) {
    const auto end = std::chrono::steady_clock::now() + limit;
    while (std::chrono::steady_clock::now() < end) {
      const pid_t pid = ::waitpid(-1, nullptr, WNOHANG);
      if (pid < 0 && errno == ECHILD) return true;
      if (pid == 0) std::this_thread::sleep_for(std::chrono::milliseconds(10));
    }
    return false;
  }
};

inline bool waitForFile(const std::filesystem::path& file,
                        std::chrono::seconds limit = std::chrono::seconds(20)) {
  const auto end = std::chrono::steady_clock::now() + limit;
  while (!std::filesystem::exists(file)) {
    if (std::chrono::steady_clock::now() >= end) return false;
    std::this_thread::sleep_for(std::chrono::milliseconds(10));
  }
  return true;
}

// A browser command that writes the number of its arguments and each
// argument, one a line, to file: it shows how the interpreter split the
// command line. The file is written whole before it appears. No ";" in it,
// which would cut the setting short in prop1.txt.
inline std::string argumentRecorder(const std::filesystem::path& file) {
  return "sh -c 'printf \"%s\\n\" \"$#\" \"$@\" > \"$0.part\" && mv \"$0.part\" \"$0\"' " +
         file.string() + " ";
}

// True when CI is running: there a missing outside program is an error,
// elsewhere a reason to skip.
inline bool runningInCi() {
  const char* ci = std::getenv("CI");
  return ci != nullptr && *ci != '\0' && std::string(ci) != "false";
}

// Texts typed by a user, as a page must show them: Windows-1250, escaped,
// then the Czech letters encoded. The last one holds the page's markers.
struct Typed {
  const char* utf8;
  std::string shown;
};
inline std::vector<Typed> hostileTexts(const char* markers) {
  return {
      {"<script>alert(1)</script>", "&lt;script&gt;alert(1)&lt;/script&gt;"},
      {"Tom & Jerry", "Tom &amp; Jerry"},
      {"‹ZŠ Úvoz>", "\x8BZ&#352; \xDAvoz&gt;"},
      {"<b>Tučně</b><br>", "&lt;b&gt;Tu&#269;n&#283;&lt;/b&gt;&lt;br&gt;"},
      {"K&#269; &amp;", "K&amp;#269; &amp;amp;"},
      {markers, markers},
  };
}

// Where LibreOffice is installed (Debian: libreoffice-calc-nogui).
inline const std::filesystem::path kSoffice = "/usr/bin/soffice";

// LibreOffice opens the Czech CSV `csv` as a Czech user's spreadsheet
// (";", UTF-8, Czech settings) and saves it again into `outDir` with US
// formats, under the same name; a number or date it read as one comes back
// as "1250.5" or "12/31/2026". The run's output, for a failure message.
inline testing_support::RunResult resaveWithLibreOffice(const std::filesystem::path& csv,
                                                        const std::filesystem::path& outDir) {
  testing_support::TempDir profile;
  return testing_support::run(
      kSoffice, {"-env:UserInstallation=file://" + profile.path().string(), "--headless",
                 "--infilter=CSV:59,34,76,1,,1029", "--convert-to",
                 "csv:Text - txt - csv (StarCalc):59,34,76,1,,1033,true,false,false,false", "--outdir",
                 outDir.string(), csv.string()});
}

}  // namespace print_testing
