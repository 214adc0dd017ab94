// bare-convert TABLE.dbf OUT: the least a converter of a dBASE table into
// the backup's record lines can do, for comparing the backup with: the
// file mapped into memory, every live record's fields decoded and written
// with the same number and date texts as the backup (AppendNumberText,
// formatDate), one
// blank for an empty field, ";" after each, LF CR after each record, one
// buffer of writes, and the data forced to the disk as the backup forces
// it. No cursor, no locks, no header line, no temporary file.
#include <fcntl.h>
#include <sys/mman.h>
#include <sys/stat.h>
#include <unistd.h>

#include <chrono>
#include <cstdio>
#include <cstring>
#include <iostream>
#include <string>
#include <string_view>

#include "backup/record_text.h"
#include "ledger/dbf_header.h"
#include "ledger/field_codec.h"
#include "text/error.h"
#include "text/regional.h"

namespace {

void writeAll(int fd, const std::string& bytes) {
  const char* p = bytes.data();
  std::size_t left = bytes.size();
  while (left > 0) {
    const ssize_t n = ::write(fd, p, left);
    if (n <= 0) throw std::runtime_error("write failed");
    p += n;
    left -= static_cast<std::size_t>(n);
  }
}

}  // namespace

int main(int argc, char** argv) {
  if (argc != 3) {
    std::cerr << "usage: bare-convert TABLE.dbf OUT\n";
    return 2;
  }
  try {
    const auto started = std::chrono::steady_clock::now();
    const int in = ::open(argv[1], O_RDONLY);
    if (in < 0) throw std::runtime_error(std::string("cannot open ") + argv[1]);
    struct stat st {};
    fstat(in, &st);
    const std::size_t size = static_cast<std::size_t>(st.st_size);
    void* map = ::mmap(nullptr, size, PROT_READ, MAP_PRIVATE, in, 0);
    if (map == MAP_FAILED) throw std::runtime_error("cannot map the table");
    const char* bytes = static_cast<const char*>(map);
    const ledger::dbf::Header header = ledger::dbf::parseHeader(std::string_view(bytes, size), argv[1]);

    const int out = ::open(argv[2], O_WRONLY | O_CREAT | O_TRUNC, 0666);
    if (out < 0) throw std::runtime_error(std::string("cannot create ") + argv[2]);
    const text::Regional regional = text::Regional::czech();
    std::string buffer;
    buffer.reserve((1 << 20) + 4096);
    const char* record = bytes + header.headerLength;
    long long rows = 0;
    for (std::int64_t n = 0; n < header.recordCount; ++n, record += header.recordLength) {
      if (record[0] == ledger::dbf::RECORD_DELETED) continue;
      ++rows;
      for (std::size_t f = 0; f < header.fields.size(); ++f) {
        const ledger::FieldDef& def = header.fields[f];
        const char* field = record + 1 + header.offsets[f];
        const std::size_t start = buffer.size();
        switch (def.type) {
          case ledger::FieldType::Numeric:
          case ledger::FieldType::Float: {
            double v;
            if (ledger::codec::decodeNumber(field, def.length, v, def.decimals)) {
              backup::AppendNumberText(buffer, v, def.decimals, regional);
            }
            break;
          }
          case ledger::FieldType::Date: {
            text::Date d;
            if (ledger::codec::decodeDate(field, def.length, d)) buffer += text::formatDate(d, regional);
            break;
          }
          default: {
            const std::string_view t = ledger::codec::decodeText(field, def.length);
            buffer.append(t.data(), t.size());
            for (std::size_t i = start; i < buffer.size(); ++i) {
              if (buffer[i] == ';') buffer[i] = ':';
            }
          }
        }
        if (buffer.size() == start) buffer += ' ';
        buffer += ';';
      }
      buffer += "\n\r";
      if (buffer.size() >= (1 << 20)) {
        writeAll(out, buffer);
        buffer.clear();
      }
    }
    writeAll(out, buffer);
    if (::fdatasync(out) != 0) throw std::runtime_error("sync failed");
    ::close(out);
    ::munmap(map, size);
    ::close(in);
    const double seconds = std::chrono::duration<double>(std::chrono::steady_clock::now() - started).count();
    std::cout << rows << " rows in " << seconds << " s\n";
    return 0;
  } catch (const std::exception& e) {
    std::cerr << "bare-convert: " << e.what() << "\n";
    return 1;
  }
}
