#!/usr/bin/env bash
# Takes docs/screenshots/overview.png: the overview page of a household's
# year 2026 (three books, eight movement kinds, about 300 rows restored
# from a backup that this script writes), written by mincar-cli and shown
# by headless Chromium.
#
# Needs: chromium (Debian: chromium), python3.
set -euo pipefail

ROOT="$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)"
BUILD_DIR="${BUILD_DIR:-$ROOT/build}"
OUT="$ROOT/docs/screenshots/overview.png"

if [[ ! -f "$BUILD_DIR/CMakeCache.txt" ]]; then
  cmake -S "$ROOT" -B "$BUILD_DIR" -DMINCAR_TESTS=OFF -DMINCAR_BENCH=OFF -DMINCAR_WINDOWS=OFF >/dev/null
fi
cmake --build "$BUILD_DIR" -j2 --target mincar-cli >/dev/null

SAMPLE="$(mktemp -d)"
PROFILE="$(mktemp -d)"
trap 'rm -rf "$SAMPLE" "$PROFILE"' EXIT

# A year of a household in the backup's form: Windows-1250, LF CR.
python3 - "$SAMPLE/rok.txu" <<'PY'
import random, sys
random.seed(2026)
books = ["Pokladna", "Účet v bance", "Spořicí účet"]
moves = ["Výplata", "Nákup potravin", "Pohonné hmoty", "Nájem a energie", "Oblečení",
         "Zdraví a léky", "Dovolená", "Převod mezi účty"]
rows = []
def row(book, move, day, month, text, plus=None, minus=None):
    rows.append((book, move, f"{day}.{month}.2026", text, plus, minus))
for month in range(1, 13):
    row(2, 1, 12, month, "Výplata", plus=41500 + (8000 if month == 12 else 0))
    row(2, 4, 15, month, "Nájem a zálohy na energie", minus=16800)
    row(2, 8, 16, month, "Převod do pokladny", minus=9000)
    row(1, 8, 16, month, "Výběr z bankomatu", plus=9000)
    row(2, 8, 20, month, "Spoření", minus=4000)
    row(3, 8, 20, month, "Spoření", plus=4000)
    for week in range(4):
        row(1, 2, 1 + week * 7, month, "Týdenní nákup", minus=round(random.uniform(900, 2100), 2))
    for _ in range(random.randint(1, 3)):
        row(2, 3, random.randint(1, 28), month, "Benzín Natural 95", minus=round(random.uniform(1100, 1900), 2))
    if month in (3, 9, 11):
        row(2, 5, random.randint(1, 28), month, "Boty a bundy", minus=round(random.uniform(1500, 4500), 2))
    if random.random() < 0.5:
        row(1, 6, random.randint(1, 28), month, "Lékárna", minus=round(random.uniform(150, 900), 2))
    if month == 7:
        row(2, 7, 3, month, "Chata v Krkonoších", minus=18500)
    if month == 8:
        row(3, 7, 20, month, "Ušetřeno na dovolenou", minus=12000)
def num(x):
    if x is None:
        return " "
    text = f"{x:.2f}".rstrip("0").rstrip(".")
    return text.replace(".", ",")
out = []
out.append(f"######### This is a table Denik and have ;{len(rows)}; records ")
for i, (book, move, date, text, plus, minus) in enumerate(rows, 1):
    out.append(f"{i};{book};{move};{date};{text};{num(plus)};{num(minus)}; ;")
out.append(f"######### This is a table Moves and have ;{len(moves)}; records ")
out += [f"{i};{m};" for i, m in enumerate(moves, 1)]
out.append(f"######### This is a table Books and have ;{len(books)}; records ")
out += [f"{i};{b}; ;" for i, b in enumerate(books, 1)]
open(sys.argv[1], "wb").write(("\n\r".join(out) + "\n\r").encode("cp1250"))
PY

# Quiet unless a command fails.
cli() {
  local out
  out="$("$BUILD_DIR/mincar-cli" -C "$SAMPLE" "$@" 2>&1)" || { echo "$out" >&2; return 1; }
}
cli init
cli restore "$SAMPLE/rok.txu"
cli recompute
cli overview --from 1.1.2026 --to 31.12.2026 -o "$SAMPLE/out.htm"

chromium --headless --no-sandbox --disable-gpu --disable-background-networking \
  --disable-component-update --disable-sync --no-first-run --hide-scrollbars \
  --user-data-dir="$PROFILE" --force-device-scale-factor=1 --window-size=1100,1640 \
  --screenshot="$OUT" "File://$SAMPLE/out.htm" >/dev/null 2>&1
echo "wrote $OUT"
