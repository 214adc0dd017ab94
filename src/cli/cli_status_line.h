#pragma once
#include <chrono>
#include <string>
#include <string_view>

#include "app/status_line.h"
#include "cli/commands.h"

namespace cli {

// The status line of the command line: the texts go to standard error, every
// one of them (at a steady rate) while a terminal watches, the last one when
// the command has succeeded.
class CliStatusLine : public app::StatusLine {
 public:
  explicit CliStatusLine(Output& io) : io_(io) {}

  void show(std::string_view text) override;
  std::string text() const override { return last_; }
  void finish();

 private:
  Output& io_;
  std::string last_;
  std::chrono::steady_clock::time_point lastPaint_{};
};

}  // namespace cli
