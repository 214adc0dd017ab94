#pragma once
#include <array>
#include <string>

// The texts of the help window: one topic for the program as a whole and one
// for each command of the journal window's tool bar.
namespace help {

// Topic 0 describes the program, topics 1 to 12 the tool buttons from the
// left (restore, save, new row, delete row, movements, books, calendar,
// recompute, voucher, cash book, configuration, quit) and 13 the statement
// import, whose button stands third: the help window's tool bar shows these.
// Topic 14 is the deleted rows' window and Ctrl+Z, shown by F1 in that
// window.
inline constexpr int kToolButtonTopicCount = 14;
inline constexpr int kImportTopic = 13;
inline constexpr int kDeletedRowsTopic = 14;
inline constexpr int kHelpTopicCount = 15;

// The topics as Windows-1250 bytes, like every text the program keeps;
// paragraphs end with CR LF, and an empty line sets some of them apart.
std::array<std::string, kHelpTopicCount> helpTopicTexts();

// What the "O aplikaci..." button shows, in Windows-1250.
std::string aboutText();

}  // namespace help
