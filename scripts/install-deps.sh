#!/usr/bin/env bash
# Installs every Debian package the build, the tests, the benchmarks and the fuzzers
# need. Idempotent: silent when everything is already there.
set -euo pipefail

packages=(
    build-essential cmake ninja-build pkg-config git
    qt6-base-dev qt6-qpa-plugins libqt6svg6 libpoppler-cpp-dev libqpdf-dev libsqlite3-dev libpq-dev libsodium-dev
    libgtest-dev libgmock-dev libbenchmark-dev nlohmann-json3-dev
    postgresql poppler-utils qpdf
    # Other PDF producers, for the tests that read receipts printed by them.
    enscript ghostscript groff python3 python3-cairo python3-reportlab fonts-dejavu-core
    clang libclang-rt-14-dev
    xvfb xauth imagemagick appstream
)

missing=()
for p in "${packages[@]}"; do
    if ! dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q 'install ok installed'; then
        missing+=("$p")
    fi
done
[ ${#missing[@]} -eq 0 ] && exit 0

sudo=""
if [ "$(id -u)" -ne 0 ]; then sudo="sudo"; fi
echo "Installo i pacchetti mancanti: ${missing[*]}"
export DEBIAN_FRONTEND=noninteractive
$sudo apt-get update -qq
$sudo apt-get install -y -qq --no-install-recommends "${missing[@]}" >/dev/null
