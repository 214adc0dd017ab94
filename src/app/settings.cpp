#include "app/settings.h"

#include <fcntl.h>
#include <unistd.h>

#include <array>
#include <memory>
#include <sstream>
#include <system_error>

#include "ledger/file.h"
#include "ledger/replace_file.h"
#include "text/cp1250.h"
#include "text/error.h"

namespace app {

namespace fs = std::filesystem;

namespace {

constexpr int kLineCount = 8;
constexpr std::array<const char*, kLineCount> kKeyTexts = {
    "Firma =", "Vystavil =", "Schvalil =", "Prevzal =",
    "Datum od =", "Datum do =", "Browser =", "Filespec ="};

// A browser command or file prefix of two characters or fewer is taken as
// not set, so that an emptied field (written as one blank) brings the
// default back on the next start.
constexpr size_t kShortestKeptValue = 3;

// Eight short lines; far beyond this no file is a settings file.
constexpr long long kLargestSettingsFile = 64 << 10;

std::array<std::string*, kLineCount> fieldsInFileOrder(Settings& s) {
  return {&s.firma, &s.vystavil, &s.schvalil, &s.prevzal,
          &s.datumOd, &s.datumDo, &s.browser, &s.filespec};
}

bool isEditBoxLine(int index) { return index != 4 && index != 5; }

}  // namespace

Settings Settings::defaults(const text::Regional& regional, const text::Date& today) {
  Settings s;
  s.datumOd = text::formatDate(today, regional);
  s.datumDo = s.datumOd;
  s.browser = kDefaultBrowser;
  s.filespec = kDefaultFilespec;
  return s;
}

void ReadSettingsFile(const fs::path& file, LineReader& reader, Settings& settings) {
  const std::string shown = text::pathText(file);
  const std::unique_ptr<ledger::File> opened = ledger::openFileToRead(file);
  const ledger::IoResult size = opened->size();
  if (size.error) throw mincar::Error(mincar::fill("Cannot read file %s", {shown}));
  if (size.bytes > kLargestSettingsFile) {
    throw mincar::Error(mincar::fill("Cannot open file %s: larger than any settings file (64 KiB)", {shown}));
  }
  std::string bytes(static_cast<std::size_t>(size.bytes), '\0');
  std::size_t got = 0;
  while (got < bytes.size()) {
    const ledger::IoResult r = opened->pread(bytes.data() + got, bytes.size() - got, static_cast<long long>(got));
    if (r.error) throw mincar::Error(mincar::fill("Cannot read file %s", {shown}));
    if (r.bytes == 0) break;  // cut meanwhile: what is there is read
    got += static_cast<std::size_t>(r.bytes);
  }
  bytes.resize(got);
  std::istringstream in(bytes);

  std::array<std::string, kLineCount> values;
  for (std::string& value : values) value = GetToken(reader.ReadLine(in), ';', 1);
  if (in.bad()) throw mincar::Error(mincar::fill("Cannot read file %s", {text::pathText(file)}));

  auto fields = fieldsInFileOrder(settings);
  for (int i = 0; i < 6; ++i) *fields[i] = values[i];
  for (int i = 6; i < kLineCount; ++i)
    if (values[i].size() >= kShortestKeptValue) *fields[i] = values[i];
}

void WriteSettingsFile(const fs::path& file, Settings& values) {
  auto fields = fieldsInFileOrder(values);
  for (int i = 0; i < kLineCount; ++i)
    if (isEditBoxLine(i) && fields[i]->empty()) *fields[i] = " ";

  std::string content;
  for (int i = 0; i < kLineCount; ++i) {
    content += kKeyTexts[i];
    content += ';';
    content += *fields[i];
    content += ';';
    content += kLineEnd;
  }

  // Written beside the old file and renamed over it: a failed write leaves
  // the old settings whole, and a link planted at the name is replaced,
  // never written through.
  const ledger::ReplaceTexts texts{ledger::messages::kCannotCreateFile, ledger::messages::kCannotCreateFile};
  ledger::ReplacementFile out(file, texts);
  out.write(content);
  out.commit();
}

}  // namespace app
