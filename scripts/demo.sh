#!/usr/bin/env bash
# The main job on a fresh machine: installs what is needed, builds, generates the
# bundled sample receipts into a fresh folder and shows how each one is recognised.
set -euo pipefail
root="$(cd "$(dirname "$0")/.." && pwd)"
bash "$root/scripts/install-deps.sh"
build="${QUORVIN_BUILD:-$root/build}"
bash "$root/scripts/build.sh" "$build" -DCMAKE_BUILD_TYPE=Release -DQUORVIN_BUILD_TESTS=OFF \
    -DQUORVIN_BUILD_BENCH=OFF >/dev/null

folder="$(mktemp -d "${TMPDIR:-/tmp}/quorvin-ricevute-XXXXXX")"
samples=()
for t in "$root"/tests/fixtures/templates/*.txt; do
    if grep -q '^#!.*Sample=1' "$t"; then samples+=("$(basename "$t")"); fi
done
"$build/tools/quorvin-fixture" --cartella "$root/tests/fixtures/templates" "$folder" "${samples[@]}"
echo "Ricevute di esempio generate in $folder"
echo
"$build/cli/quorvin-cli" esamina "$folder"/*.pdf
