#!/usr/bin/env bash
# Pictures of the desktop program under a virtual X server, for review and documentation:
# the first-start question (no archive yet: the program offers to create it), the idle
# window, the window after archiving the sample receipts with the run's closing line, the
# receipt-type dialog, the log viewer, the sign-in dialog and the archive search window
# with a taxpayer's receipts. Nothing of the user's
# settings or archive is touched.
#   scripts/screenshots.sh [OUTPUT_FOLDER]   (default: the build folder's "screenshots")
# QUORVIN_BUILD selects the build folder (default: build-gui).
set -euo pipefail
root="$(cd "$(dirname "$0")/.." && pwd)"
build="${QUORVIN_BUILD:-$root/build-gui}"
out="${1:-$build/screenshots}"
mkdir -p "$out"
out="$(cd "$out" && pwd)"

# The virtual display, and the SVG plugin that draws the program's pictures.
missing=()
for p in xvfb xauth libqt6svg6 fonts-dejavu-core; do
    if ! dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q 'install ok installed'; then
        missing+=("$p")
    fi
done
if [ ${#missing[@]} -gt 0 ]; then
    sudo=""
    if [ "$(id -u)" -ne 0 ]; then sudo="sudo"; fi
    $sudo apt-get install -y -qq --no-install-recommends "${missing[@]}" >/dev/null
fi

if [ ! -f "$build/build.ninja" ]; then
    cmake -S "$root" -B "$build" -G Ninja -DCMAKE_BUILD_TYPE=Debug -DQUORVIN_BUILD_BENCH=OFF >/dev/null
fi
cmake --build "$build" --target quorvin quorvin-cli quorvin-fixture -j2 >/dev/null

work="$(mktemp -d)"
trap 'rm -rf "$work"' EXIT
# Data and settings of this run only: no archive yet, as on a fresh account.
export XDG_DATA_HOME="$work/dati" XDG_CONFIG_HOME="$work/config"
unset QUORVIN_ARCHIVIO

samples=()
for t in "$root"/tests/fixtures/templates/*.txt; do
    if grep -q '^#!.*Sample=1' "$t"; then samples+=("$(basename "$t")"); fi
done
mkdir -p "$work/ricevute" "$work/scarti"
# And one of a type switched off at first, whose long message the list cuts at its end.
"$build/tools/quorvin-fixture" --cartella "$root/tests/fixtures/templates" "$work/ricevute" \
    "${samples[@]}" r57_forniture_documenti_fiscali.txt >/dev/null

rm -f "$out"/[0-6]-*.png
# A sanitizer build: the desktop's D-Bus library keeps a buffer until the process ends.
export ASAN_OPTIONS="${ASAN_OPTIONS:-detect_leaks=0}"
LANG=it_IT.UTF-8 LC_ALL=it_IT.UTF-8 QT_QPA_PLATFORM=xcb \
    timeout 300 xvfb-run -a -s "-screen 0 1280x1024x24" \
    "$build/app/quorvin" --impostazioni "$work/Quorvin.conf" --schermate "$out" \
    --ricevute "$work/ricevute" --scarti "$work/scarti"

for f in 0-primo-avvio 1-finestra 2-dopo-archiviazione 3-tipi-ricevute 4-log 5-accesso \
    6-consulta-archivio; do
    if [ ! -s "$out/$f.png" ]; then
        echo "Schermata mancante: $out/$f.png" >&2
        exit 1
    fi
done
echo "Schermate salvate in $out"
