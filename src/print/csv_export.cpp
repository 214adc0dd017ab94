#include "print/csv_export.h"

#include <map>

#include "ledger/ledger_tables.h"
#include "ledger/replace_file.h"
#include "print/overview.h"
#include "text/cp1250.h"
#include "text/error.h"
#include "text/regional.h"

namespace print {

namespace col = ledger::journal;

namespace {

constexpr ledger::ReplaceTexts kExportTexts{ledger::messages::kCannotCreateFile, "Cannot write file %s"};
constexpr std::string_view kByteOrderMark = "\xEF\xBB\xBF";
constexpr std::string_view kLineEnd = "\r\n";
constexpr char kSeparator = ';';

constexpr std::string_view kHeaderUtf8 =
    "Číslo;Datum;Kniha;Název knihy;Pohyb;Název pohybu;Text;Plus;Minus;Zůstatek";

// A numeric column as the spreadsheet reads it; empty stays empty.
std::string numberText(const ledger::Field& field, const text::Regional& czech) {
  if (field.isNull()) return {};
  return text::formatNumber(field.asFloat(), czech);
}

std::string nameText(const std::map<std::int64_t, std::string>& names, const ledger::Field& id) {
  if (id.isNull()) return {};
  const auto it = names.find(id.asInteger());
  return it == names.end() ? std::string() : CsvField(text::toUtf8(it->second));
}

}  // namespace

std::string CsvField(std::string_view utf8) {
  if (utf8.find_first_of(";\"\r\n") == std::string_view::npos) return std::string(utf8);
  std::string quoted = "\"";
  for (char c : utf8) {
    if (c == '"') quoted += '"';
    quoted += c;
  }
  quoted += '"';
  return quoted;
}

std::int64_t WriteCsvExport(app::Ledger& ledger, const std::filesystem::path& file) {
  const text::Regional czech = text::Regional::czech();
  const auto bookNames = ListNames(ledger.books());
  const auto moveNames = ListNames(ledger.moves());
  ledger::Dataset& journal = ledger.journal();
  const ledger::Field& id = journal.field(col::ID);
  const ledger::Field& idk = journal.field(col::IDK);
  const ledger::Field& idm = journal.field(col::IDM);
  const ledger::Field& datum = journal.field(col::DATUM);
  const ledger::Field& rowText = journal.field(col::TEXT);
  const ledger::Field& plus = journal.field(col::PLUS);
  const ledger::Field& minus = journal.field(col::MINUS);
  const ledger::Field& zustatek = journal.field(col::ZUSTATEK);

  ledger::ReplacementFile out(file, kExportTexts);
  out.write(kByteOrderMark);
  out.write(kHeaderUtf8);
  out.write(kLineEnd);
  std::int64_t rows = 0;
  std::string line;
  {
    // The grid follows the walk only at its end.
    ledger::DataSource::Quiet quiet(journal.dataSource());
    for (journal.first(); !journal.eof(); journal.next()) {
      line.clear();
      line += numberText(id, czech);
      line += kSeparator;
      if (!datum.isNull()) line += text::formatDate(datum.asDate(), czech);
      line += kSeparator;
      line += numberText(idk, czech);
      line += kSeparator;
      line += nameText(bookNames, idk);
      line += kSeparator;
      line += numberText(idm, czech);
      line += kSeparator;
      line += nameText(moveNames, idm);
      line += kSeparator;
      line += CsvField(text::toUtf8(rowText.asString()));
      line += kSeparator;
      line += numberText(plus, czech);
      line += kSeparator;
      line += numberText(minus, czech);
      line += kSeparator;
      line += numberText(zustatek, czech);
      line += kLineEnd;
      out.write(line);
      ++rows;
    }
    journal.first();
  }
  out.commit();
  return rows;
}

}  // namespace print
