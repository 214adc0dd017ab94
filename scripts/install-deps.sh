#!/usr/bin/env bash
# Installs what building and running Mincar needs on Debian 12, and only
# what is missing: a second run changes nothing and takes a moment.
#   scripts/install-deps.sh          the compiler, Qt and the desktop opener
#   scripts/install-deps.sh --tests  also the test, fuzzing, benchmark and
#                                    packaging tools and the test locales
set -euo pipefail

with_tests=false
case "${1:-}" in
  "") ;;
  --tests) with_tests=true ;;
  *) echo "usage: scripts/install-deps.sh [--tests]" >&2; exit 2 ;;
esac

# Every Debian package the project needs, in one place; add new ones here.
# Building and running:
packages=(
  build-essential   # g++, make
  cmake
  qt6-base-dev      # the windows
  qt6-svg-dev       # icons of the windows
  qt6-translations-l10n  # Qt's own dialogs and buttons in Czech
  xdg-utils         # xdg-open, the default browser command
)
# Testing, measuring and packaging:
test_packages=(
  libgtest-dev      # unit tests
  libbenchmark-dev  # bench/
  gdal-bin          # ogr2ogr: interop tests and the benchmark's yardstick
  python3           # dbfread-based interop tests, benchmark summary
  python3-dbfread
  locales           # regional settings tests
  xvfb              # real windows without a desktop
  xauth             # xvfb-run needs it
  openbox           # window frames in screenshots and the window places test
  xdotool           # drives the framed windows in the window places test
  chromium          # printed pages rendered in a real browser
  poppler-utils     # pdftotext: reads what the browser printed
  libreoffice-calc-nogui  # opens the CSV export as a spreadsheet would
  clang             # fuzz/: libFuzzer builds
  libclang-rt-14-dev  # libFuzzer and the sanitizer runtimes for clang
  help2man          # manual pages from --help
  file              # the package builder finds the programs with it
  lintian           # checks the Debian package
  desktop-file-utils  # desktop-file-validate
  appstream         # appstreamcli validate
)
$with_tests && packages+=("${test_packages[@]}")

# Locales the regional-settings tests switch between.
locales=()
$with_tests && locales=(cs_CZ.UTF-8 en_US.UTF-8 de_DE.UTF-8)

as_root=()
if [[ $(id -u) -ne 0 ]]; then
  if command -v sudo >/dev/null 2>&1; then
    as_root=(sudo)
  else
    echo "install-deps: not root and no sudo; run this script as root" >&2
    exit 1
  fi
fi

is_installed() {
  # "install ok installed" is the only status of a usable package; removed
  # packages keep a "deinstall ok config-files" entry that must not count.
  [[ $(dpkg-query -W -f='${Status}' "$1" 2>/dev/null) == "install ok installed" ]]
}

missing=()
for package in "${packages[@]}"; do
  is_installed "$package" || missing+=("$package")
done

if ((${#missing[@]})); then
  echo "install-deps: installing ${missing[*]}"
  "${as_root[@]}" apt-get update
  "${as_root[@]}" env DEBIAN_FRONTEND=noninteractive \
    apt-get install -y --no-install-recommends "${missing[@]}" </dev/null
fi

# locale -a spells them "cs_CZ.utf8"; compare without case and dashes.
normalized() { tr '[:upper:]' '[:lower:]' | tr -d '-'; }
available=$(locale -a 2>/dev/null | normalized)

missing_locales=()
for name in "${locales[@]}"; do
  wanted=$(normalized <<<"$name")
  grep -qxF "$wanted" <<<"$available" || missing_locales+=("$name")
done

if ((${#missing_locales[@]})); then
  echo "install-deps: generating locales ${missing_locales[*]}"
  for name in "${missing_locales[@]}"; do
    line="$name UTF-8"
    if grep -qE "^[#[:space:]]*${name//./\\.}[[:space:]]+UTF-8" /etc/locale.gen; then
      "${as_root[@]}" sed -i -E "s/^[#[:space:]]*(${name//./\\.}[[:space:]]+UTF-8)/\\1/" /etc/locale.gen
    else
      echo "$line" | "${as_root[@]}" tee -a /etc/locale.gen >/dev/null
    fi
  done
  "${as_root[@]}" locale-gen
fi

if ((${#missing[@]} == 0 && ${#missing_locales[@]} == 0)); then
  echo "install-deps: everything is installed"
fi
