#include "app/work_folder.h"

#include <pwd.h>
#include <unistd.h>

#include <cerrno>
#include <cstdlib>
#include <cstring>
#include <system_error>

#include "text/cp1250.h"
#include "text/error.h"

namespace fs = std::filesystem;

namespace app {

namespace {

bool sameFolder(const fs::path& a, const fs::path& b) {
  std::error_code ignored;
  return fs::equivalent(a, b, ignored);
}

[[noreturn]] void refuse(const char* pattern, const fs::path& folder, int error) {
  throw mincar::Error(mincar::fill(pattern, {text::pathText(folder), std::strerror(error)}));
}

}  // namespace

fs::path DefaultWorkFolder(const fs::path& home) { return home / "Mincar"; }

fs::path ChooseWorkFolder(const std::optional<fs::path>& named, bool defaultFolder,
                          const fs::path& current, const fs::path& home) {
  if (named) return *named;
  if (defaultFolder || home.empty()) return DefaultWorkFolder(home);
  if (sameFolder(current, home) || sameFolder(current, "/")) return DefaultWorkFolder(home);
  return current;
}

fs::path HomeFolder() {
  if (const char* home = std::getenv("HOME"); home != nullptr && *home != '\0') return home;
  if (const passwd* entry = ::getpwuid(::getuid()); entry != nullptr && entry->pw_dir != nullptr) {
    return entry->pw_dir;
  }
  return {};
}

void EnterWorkFolder(const fs::path& folder, Settings defaults) {
  std::error_code error;
  const fs::file_status status = fs::status(folder, error);
  if (status.type() == fs::file_type::not_found) {
    // Only the last folder is new: a missing parent is more likely a typing
    // error than a wish for a tree of folders.
    if (!fs::create_directory(folder, error)) refuse("Cannot create folder %s: %s", folder, error.value());
    try {
      WriteSettingsFile(folder / kSettingsFileName, defaults);
    } catch (...) {
      fs::remove_all(folder, error);
      throw;
    }
  } else if (error) {
    refuse("Cannot open folder %s: %s", folder, error.value());
  } else if (status.type() != fs::file_type::directory) {
    refuse("Cannot open folder %s: %s", folder, ENOTDIR);
  }
  if (::chdir(folder.c_str()) != 0) refuse("Cannot open folder %s: %s", folder, errno);
}

}  // namespace app
