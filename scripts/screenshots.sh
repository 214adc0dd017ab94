#!/usr/bin/env bash
# Builds the program, fills a sample data folder with mincar-cli and takes
# the pictures of docs/screenshots/ on a virtual X screen of 1366 x 768,
# every window at its default place:
#   journal.png      the journal window with the movements and books lists
#                    and the calendar
#   all-windows.png  the same with the search dialog
#   search.png, config.png, voucher-dialog.png, help.png
#                    the journal window with that dialog
#   import.png       the preview of a bank statement's import
#   deleted-rows.png the journal window with its deleted rows' window,
#                    after two rows were deleted
#
# The pictures are taken by the program itself: with MINCAR_SCREENSHOT=FILE
# it opens the windows MINCAR_SCREENSHOT_WINDOWS names, grabs the whole
# screen after a moment, saves it to FILE and closes as the user would.
#
# Needs: xvfb-run (Debian: xvfb); openbox, when installed, draws the window
# frames and captions.
set -euo pipefail

ROOT="$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)"
BUILD_DIR="${BUILD_DIR:-$ROOT/build}"
OUT_DIR="$ROOT/docs/screenshots"

# An existing build folder is used as it is configured.
if [[ ! -f "$BUILD_DIR/CMakeCache.txt" ]]; then
  cmake -S "$ROOT" -B "$BUILD_DIR" -DMINCAR_TESTS=OFF -DMINCAR_BENCH=OFF >/dev/null
fi
cmake --build "$BUILD_DIR" -j2 --target mincar mincar-cli >/dev/null

SAMPLE="$(mktemp -d)"
trap 'rm -rf "$SAMPLE"' EXIT
# Quiet unless a command fails.
cli() {
  local out
  out="$("$BUILD_DIR/mincar-cli" -C "$SAMPLE" "$@" 2>&1)" || { echo "$out" >&2; return 1; }
}

cli init
cli add-book "Pokladna"
cli add-book "Účet v bance"
cli add-book "Spořicí účet"
cli add-move "Výplata"
cli add-move "Nákup potravin"
cli add-move "Pohonné hmoty"
cli add-move "Nájem a energie"
cli add-move "Převod mezi účty"
cli add-row --book 2 --move 1 --date 1.12.2026 --text "Výplata za listopad" --plus 38250
cli add-row --book 1 --move 5 --date 1.12.2026 --text "Výběr z bankomatu" --plus 5000
cli add-row --book 2 --move 5 --date 1.12.2026 --text "Výběr z bankomatu" --minus 5000
cli add-row --book 1 --move 2 --date 2.12.2026 --text "Potraviny – týdenní nákup" --minus 1234,50
cli add-row --book 1 --move 3 --date 4.12.2026 --text "Benzín Natural 95" --minus 1650
cli add-row --book 2 --move 4 --date 5.12.2026 --text "Nájem prosinec" --minus 14500
cli add-row --book 2 --move 4 --date 5.12.2026 --text "Záloha na elektřinu" --minus 1890
cli add-row --book 3 --move 5 --date 6.12.2026 --text "Spoření" --plus 3000
cli add-row --book 2 --move 5 --date 6.12.2026 --text "Spoření" --minus 3000
cli add-row --book 1 --move 2 --date 7.12.2026 --text "Pekárna, drogerie, ovoce" --minus 486,90
cli recompute

# The settings of a program that has run before: no message about a
# missing settings file in the picture. Windows-1250 text, LF CR line ends.
printf '%s;%s;\n\r' \
  "Firma =" "Domácnost Novákových" "Vystavil =" "Jana Nováková" "Schvalil =" " " \
  "Prevzal =" " " "Datum od =" "1.12.2026" "Datum do =" "31.12.2026" \
  "Browser =" "xdg-open " "Filespec =" "File://" |
  iconv -f UTF-8 -t CP1250 >"$SAMPLE/prop1.txt"

# A GPC statement of the bank account: four movements already in the
# journal and two new ones. Fixed-width Windows-1250 records: the texts are
# converted before printf pads them, so that a Czech letter is one byte.
cp() { printf '%s' "$1" | iconv -f UTF-8 -t CP1250; }
gpc_item() {  # AMOUNT CODE DDMMYY NAME
  LC_ALL=C printf '075%016d%016d%013d%012d%s%010d00%04d%04d%010d%s%-20s00203%s\r\n' \
    1234567890 2000145399 4711 "$1" "$2" 0 800 308 0 "$3" "$(cp "$4")" "$3"
}
{
  LC_ALL=C printf '074%016d%-20s%s%014d+%014d+%014d0%014d0%03d%s%14s\r\n' \
    1234567890 "DOMACNOST" 301126 0 1772100 2177900 3950000 12 081226 ""
  gpc_item 3825000 2 011226 "Výplata za listopad"
  gpc_item 500000 1 011226 "Výběr z bankomatu"
  gpc_item 1450000 1 051226 "Nájem prosinec"
  gpc_item 189000 1 051226 "Záloha na elektřinu"
  gpc_item 38900 1 071226 "Lékárna U Anděla"
  gpc_item 125000 2 081226 "Vrácení přeplatku"
} >"$SAMPLE/vypis.gpc"

mkdir -p "$OUT_DIR"
# shot NAME WINDOWS: the picture NAME.png with the windows WINDOWS open.
shot() {
  local out="$OUT_DIR/$1.png"
  (
    cd "$SAMPLE"
    LC_ALL=C.UTF-8 TZ=Europe/Prague MINCAR_SCREENSHOT="$out" MINCAR_SCREENSHOT_WINDOWS="$2" \
      MINCAR_SCREENSHOT_STATEMENT="$SAMPLE/vypis.gpc" MINCAR_SCREENSHOT_BOOK=1 \
      xvfb-run -a -s "-screen 0 1366x768x24" bash -c '
        if command -v openbox >/dev/null; then openbox & sleep 1; fi
        "$0"' "$BUILD_DIR/mincar"
  )
  echo "wrote $out"
}
shot journal Form2,Form3,Form4
shot all-windows Form2,Form3,Form4,Form6
shot search Form6
shot config Form7
shot voucher-dialog Form5
shot help Form8
shot import ImportForm
# Two rows deleted, for the journal's deleted rows' window.
cli delete journal 4
cli delete journal 8
shot deleted-rows SmazaneZaznamy
