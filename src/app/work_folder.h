#pragma once
#include <filesystem>
#include <optional>

#include "app/settings.h"

namespace app {

// Where the windows' program works: the folder that holds data/ and
// prop1.txt.
//  - a folder named on the command line;
//  - with --default-folder (the menu entry's start), ~/Mincar;
//  - otherwise the current folder, except the home folder itself and the
//    root, where a start from a desktop menu lands: then ~/Mincar too, so
//    that no data/ ever appears loose in the home folder.
std::filesystem::path ChooseWorkFolder(const std::optional<std::filesystem::path>& named,
                                       bool defaultFolder, const std::filesystem::path& current,
                                       const std::filesystem::path& home);

// The folder Mincar keeps its data in when none is named: ~/Mincar.
std::filesystem::path DefaultWorkFolder(const std::filesystem::path& home);

// The user's home folder: $HOME, else the password database's entry.
std::filesystem::path HomeFolder();

// Makes folder the current folder. A folder that does not exist yet is
// created, with prop1.txt holding the defaults, so that a first start shows
// no message about missing settings; a folder that exists is entered as it
// is. Throws mincar::Error naming the folder when it cannot be created or
// entered.
void EnterWorkFolder(const std::filesystem::path& folder, Settings defaults);

}  // namespace app
