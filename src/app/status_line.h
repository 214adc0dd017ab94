#pragma once
#include <string>
#include <string_view>
#include <vector>

namespace app {

// The journal window's status line, the one place where every command
// reports progress and results. Texts are Windows-1250. Long passes write a
// text for every row; an implementation repaints at a steady rate, not for
// every call.
class StatusLine {
 public:
  virtual ~StatusLine() = default;
  virtual void show(std::string_view text) = 0;
  virtual std::string text() const = 0;
};

// Keeps every text shown, for tests and the command line.
class RecordingStatusLine : public StatusLine {
 public:
  void show(std::string_view text) override { texts.emplace_back(text); }
  std::string text() const override { return texts.empty() ? std::string() : texts.back(); }
  std::vector<std::string> texts;
};

}  // namespace app
