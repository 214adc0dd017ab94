#include "print/browser.h"

#include <fcntl.h>
#include <signal.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cerrno>
#include <cstring>

#include "text/cp1250.h"
#include "text/error.h"

extern char** environ;

namespace print {

namespace {

// Bytes that mean nothing to the interpreter inside a word. Everything else
// (blanks, ; & | $ ` ' " \ ( ) < > * ? [ ] # ~ ! { } and control bytes)
// makes the path quoted. Bytes from 0x80 up are letters of the code page,
// such as a folder named "Účty", and stay bare.
bool isPlainPathByte(unsigned char c) {
  if (c >= 0x80) return true;
  if ((c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z') || (c >= '0' && c <= '9')) return true;
  switch (c) {
    case '/': case '.': case '_': case '-': case '+': case ',': case ':': case '@': case '%':
    case '=':
      return true;
    default:
      return false;
  }
}

// One word for the interpreter: inside single quotes nothing is special but
// the quote itself, which is closed, escaped and reopened.
std::string quotedForShell(std::string_view word) {
  std::string quoted = "'";
  for (char c : word) {
    if (c == '\'') {
      quoted += "'\\''";
    } else {
      quoted += c;
    }
  }
  quoted += '\'';
  return quoted;
}

bool needsQuoting(std::string_view path) {
  for (char c : path) {
    if (!isPlainPathByte(static_cast<unsigned char>(c))) return true;
  }
  return false;
}

// Only async-signal-safe calls from here on: the program may have other
// threads (the window toolkit's) whose locks a forked child cannot trust.
[[noreturn]] void runInterpreter(char* const argv[], int devNull, int highestDescriptor) {
  if (devNull >= 0) {
    ::dup2(devNull, STDIN_FILENO);
    ::dup2(devNull, STDOUT_FILENO);
  }
  // The browser must not keep the program's files open: a descriptor
  // without close-on-exec would hold its locks for as long as it runs.
  if (::close_range(3, ~0U, 0) != 0) {
    for (int fd = 3; fd <= highestDescriptor; ++fd) ::close(fd);
  }
  sigset_t none;
  ::sigemptyset(&none);
  ::sigprocmask(SIG_SETMASK, &none, nullptr);
  ::signal(SIGPIPE, SIG_DFL);
  ::signal(SIGCHLD, SIG_DFL);
  ::execve("/bin/sh", argv, environ);
  ::_exit(127);  // as system() reports an interpreter that cannot start
}

}  // namespace

void ShellLauncher::launch(const std::string& commandLine) {
  // Everything the children need is prepared before the fork.
  std::string line = commandLine;
  char shell[] = "/bin/sh";
  char dashC[] = "-c";
  char* const argv[] = {shell, dashC, line.data(), nullptr};
  const int devNull = ::open("/dev/null", O_RDWR | O_CLOEXEC);
  const long openMax = ::sysconf(_SC_OPEN_MAX);
  // The fallback when close_range is missing; the limit may be huge.
  const int highestDescriptor = openMax > 0 && openMax < 65536 ? static_cast<int>(openMax) - 1 : 65535;

  const pid_t middle = ::fork();
  if (middle < 0) {
    const int error = errno;
    if (devNull >= 0) ::close(devNull);
    throw mincar::Error(mincar::fill("Cannot start %s: %s", {"/bin/sh", std::strerror(error)}));
  }
  if (middle == 0) {
    // A session of its own: the terminal's Ctrl+C and hang-up do not reach
    // the browser, and as no session leader it can take no terminal.
    ::setsid();
    const pid_t interpreter = ::fork();
    if (interpreter == 0) runInterpreter(argv, devNull, highestDescriptor);
    ::_exit(interpreter < 0 ? 1 : 0);
  }
  if (devNull >= 0) ::close(devNull);

  // The middle process ends right after its fork; the interpreter is then
  // the init process's child and is reaped there.
  int status = 0;
  while (::waitpid(middle, &status, 0) < 0) {
    if (errno != EINTR) return;
  }
  if (!WIFEXITED(status) || WEXITSTATUS(status) != 0) {
    throw mincar::Error(mincar::fill("Cannot start %s", {"/bin/sh"}));
  }
}

namespace {

// One rule for both forms: the page's path is quoted by what the system's
// bytes hold, so that the line shown is the line run.
std::string joinCommandLine(std::string_view command, std::string_view fileSpec,
                            const std::string& page, bool quoted) {
  std::string line(command);
  line += ' ';
  line += fileSpec;
  line += quoted ? quotedForShell(page) : page;
  return line;
}

std::string systemPage(const std::filesystem::path& folder, std::string_view fileName) {
  return folder.string() + '/' + text::toUtf8(fileName);
}

}  // namespace

std::string BrowserCommandLine(std::string_view browserCommand, std::string_view fileSpec,
                               const std::filesystem::path& folder, std::string_view fileName) {
  std::string page = text::pathText(folder);
  page += '/';
  page += fileName;
  return joinCommandLine(browserCommand, fileSpec, page,
                         needsQuoting(systemPage(folder, fileName)));
}

std::string SystemCommandLine(std::string_view browserCommand, std::string_view fileSpec,
                              const std::filesystem::path& folder, std::string_view fileName) {
  const std::string page = systemPage(folder, fileName);
  return joinCommandLine(text::toUtf8(browserCommand), text::toUtf8(fileSpec), page,
                         needsQuoting(page));
}

void OpenInBrowser(std::string_view browserCommand, std::string_view fileSpec,
                   const std::filesystem::path& folder, std::string_view fileName,
                   app::StatusLine& status, BrowserLauncher& launcher) {
  // 1. The command line.
  const std::string line = BrowserCommandLine(browserCommand, fileSpec, folder, fileName);
  // 2. Shown until the next status text.
  status.show(line);
  // 3. To the interpreter, without waiting for it, with the folder as the
  //    system names it: any folder the program works in can be printed from.
  launcher.launch(SystemCommandLine(browserCommand, fileSpec, folder, fileName));
}

}  // namespace print
