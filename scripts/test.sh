#!/usr/bin/env bash
# The whole test suite on a fresh machine: installs what is needed, builds with
# warnings as errors and the address and undefined-behaviour sanitizers, runs ctest.
set -euo pipefail
root="$(cd "$(dirname "$0")/.." && pwd)"
bash "$root/scripts/install-deps.sh"
build="${QUORVIN_TEST_BUILD:-$root/build-test}"
bash "$root/scripts/build.sh" "$build" -DCMAKE_BUILD_TYPE=Debug -DQUORVIN_SANITIZE=ON \
    -DQUORVIN_WERROR=ON -DQUORVIN_BUILD_BENCH=OFF
export ASAN_OPTIONS="detect_leaks=1:abort_on_error=1"
export UBSAN_OPTIONS="print_stacktrace=1:halt_on_error=1"
export QT_QPA_PLATFORM=offscreen
cd "$build"
ctest --output-on-failure -j2 --timeout 900
