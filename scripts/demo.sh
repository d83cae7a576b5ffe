#!/usr/bin/env bash
# The main job on a fresh machine: installs what is needed, builds, creates a fresh
# embedded archive with the standard catalogue, generates the bundled sample receipts
# into a fresh folder, archives them with `quorvin-cli archivia` (the PROCESS command
# without a window) and shows what went into the archive.
set -euo pipefail
root="$(cd "$(dirname "$0")/.." && pwd)"
bash "$root/scripts/install-deps.sh"
build="${QUORVIN_BUILD:-$root/build}"
bash "$root/scripts/build.sh" "$build" -DCMAKE_BUILD_TYPE=Release -DQUORVIN_BUILD_TESTS=OFF \
    -DQUORVIN_BUILD_BENCH=OFF >/dev/null
cli="$build/cli/quorvin-cli"

work="$(mktemp -d "${TMPDIR:-/tmp}/quorvin-demo-XXXXXX")"
# Settings, logs and archive of the demo live in its own folder, never in the user's.
export XDG_CONFIG_HOME="$work/impostazioni" XDG_DATA_HOME="$work/dati"
unset QUORVIN_ARCHIVIO
archive="$work/archivio.sqlite"
folder="$work/ricevute"
mkdir -p "$folder"

"$cli" archivio init --esempio --archivio "$archive"
samples=()
for t in "$root"/tests/fixtures/templates/*.txt; do
    if grep -q '^#!.*Sample=1' "$t"; then samples+=("$(basename "$t")"); fi
done
"$build/tools/quorvin-fixture" --cartella "$root/tests/fixtures/templates" "$folder" "${samples[@]}"
echo "Ricevute di esempio generate in $folder"
echo
echo "== quorvin-cli archivia =="
status=0
"$cli" archivia --ricevute "$folder" --scarti "" --archivio "$archive" --backup || status=$?

echo
echo "== Contenuto dell'archivio =="
"$cli" archivio esporta --json --archivio "$archive" --output "$work/archivio.json"
# A listing of the export, with what every machine that built the program has: CMake.
cat >"$work/elenco.cmake" <<'CMAKE'
file(READ "${JSON}" json)
string(JSON archives LENGTH "${json}" archives)
math(EXPR last "${archives} - 1")
foreach(a RANGE ${last})
    string(JSON name GET "${json}" archives ${a} ARCHIVIO)
    string(JSON records LENGTH "${json}" archives ${a} records)
    message("${name}: ${records} record")
    if(records GREATER 0)
        math(EXPR lastRecord "${records} - 1")
        foreach(r RANGE ${lastRecord})
            string(JSON number GET "${json}" archives ${a} records ${r} SYS_RECORD)
            string(JSON description GET "${json}" archives ${a} records ${r} SYS_DESCR)
            message("  ${number}  ${description}")
        endforeach()
    endif()
endforeach()
string(JSON links LENGTH "${json}" links)
message("Collegamenti: ${links}")
CMAKE
cmake -DJSON="$work/archivio.json" -P "$work/elenco.cmake" 2>&1
echo
echo "Ricevute rimaste in $folder:"
find "$folder" -maxdepth 1 -type f -printf '  %f\n' | sort
echo "Archivio: $archive"
# Receipts left in the folder are part of the demonstration; only a run that could not
# start is a failure.
[ "$status" -lt 2 ]
