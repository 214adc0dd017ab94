#pragma once
#include <filesystem>
#include <string>
#include <string_view>

#include "app/status_line.h"

namespace print {

// Hands a command line to the command interpreter, as the system's bytes
// (UTF-8 text, file names as the file system gives them).
class BrowserLauncher {
 public:
  virtual ~BrowserLauncher() = default;
  virtual void launch(const std::string& commandLine) = 0;
};

// Runs the command line with /bin/sh -c in a session of its own and returns
// at once: a browser that stays open must not freeze the windows. The
// interpreter is started through a short-lived middle process that is
// reaped here, so it is no child of the program and leaves no zombie. Its
// standard input and output are /dev/null; its errors go where the
// program's go. Throws mincar::Error when no process can be started.
class ShellLauncher : public BrowserLauncher {
 public:
  void launch(const std::string& commandLine) override;
};

// The browser's command line, joined with nothing else in between: the
// command unchanged (the default ends in a blank), one blank, the local-file
// prefix unchanged, the folder, "/" and the file name. The folder comes
// without a trailing "/" except at the root, which thus gives "//out.htm".
// The page's path (folder, "/" and file name) is put in single quotes when,
// and only when, it holds a blank or a character that the interpreter
// would act on, so that a folder's name can neither split the path nor run
// commands; an ordinary path stands bare. Command, prefix and file name are
// Windows-1250. This is the line as shown: Windows-1250, where a letter of
// the folder's name that the code page cannot hold shows as "?".
std::string BrowserCommandLine(std::string_view browserCommand, std::string_view fileSpec,
                               const std::filesystem::path& folder, std::string_view fileName);

// The same line as it is run: the folder as the file system names it, the
// rest in UTF-8, quoted exactly where the shown line is.
std::string SystemCommandLine(std::string_view browserCommand, std::string_view fileSpec,
                              const std::filesystem::path& folder, std::string_view fileName);

// Starts the browser on the page fileName (Windows-1250) in folder: builds
// the command line, shows it in the status line, where it stays until the
// next status text, and hands it to the launcher. The interpreter's result
// is not looked at: a command that starts no browser ends without a page.
void OpenInBrowser(std::string_view browserCommand, std::string_view fileSpec,
                   const std::filesystem::path& folder, std::string_view fileName,
                   app::StatusLine& status, BrowserLauncher& launcher);

}  // namespace print
