#include "cli/cli_status_line.h"

#include "text/cp1250.h"

namespace cli {

void CliStatusLine::show(std::string_view text) {
  last_.assign(text);
  if (!io_.progress) return;
  auto now = std::chrono::steady_clock::now();
  if (now - lastPaint_ < std::chrono::milliseconds(100)) return;
  lastPaint_ = now;
  // Carriage return and erase-to-end keep the progress on one line.
  io_.err << '\r' << text::toUtf8(last_) << "\x1b[K" << std::flush;
}

void CliStatusLine::finish() {
  if (io_.progress) io_.err << "\r\x1b[K";
  if (!last_.empty()) io_.err << text::toUtf8(last_) << "\n";
  io_.err.flush();
}

}  // namespace cli
