#!/usr/bin/env bash
# Builds the libFuzzer targets with clang (build-fuzz) and runs each one for a while.
# Usage: scripts/fuzz.sh [SECONDS per target, default 60]
set -euo pipefail
root="$(cd "$(dirname "$0")/.." && pwd)"
build="${QUORVIN_FUZZ_BUILD:-$root/build-fuzz}"
seconds="${1:-60}"

bash "$root/scripts/install-deps.sh"
# Our libraries carry coverage for the fuzzer; the targets add the fuzzer's main.
# Warnings are gated by the GCC test build; clang's extra ones must not stop fuzzing.
CC=clang CXX=clang++ cmake -S "$root" -B "$build" -G Ninja -DCMAKE_BUILD_TYPE=RelWithDebInfo \
    -DQUORVIN_BUILD_FUZZ=ON -DQUORVIN_BUILD_TESTS=OFF -DQUORVIN_BUILD_BENCH=OFF -DQUORVIN_WERROR=OFF \
    -DQUORVIN_SANITIZE=ON -DCMAKE_CXX_FLAGS="-fsanitize=fuzzer-no-link" >/dev/null

targets=()
for source in "$root"/fuzz/*.cpp; do
    targets+=("$(basename "$source" .cpp)")
done
cmake --build "$build" -j2 --target quorvin-fixture quorvin-pdfreader "${targets[@]}"

# Seeds: receipt PDFs from the test templates and a few small ones of our own; the text
# fuzzers start from the templates themselves.
seeds="$build/fuzz-seeds"
mkdir -p "$seeds/pdf" "$seeds/text"
printf 'RICEVUTA   Pagina 1\nProtocollo 12345   acquisito\n\fPagina 2\nX scartato\n' \
    >"$seeds/text/breve.txt"
printf '#! Tipo=404\nPeriodo di riferimento: 03/2010\nL’ufficio è aperto perciò città\n' \
    >"$seeds/text/accenti.txt"
if compgen -G "$root/tests/fixtures/templates/*.txt" >/dev/null; then
    cp "$root"/tests/fixtures/templates/*.txt "$seeds/text/"
fi
"$build/tools/quorvin-fixture" --cartella "$seeds/text" "$seeds/pdf" >/dev/null

export ASAN_OPTIONS="detect_leaks=1:abort_on_error=1"
export UBSAN_OPTIONS="print_stacktrace=1:halt_on_error=1"
status=0
for target in "${targets[@]}"; do
    corpus="$build/fuzz-corpus/$target"
    mkdir -p "$corpus"
    case "$target" in
    *pdf*) seed="$seeds/pdf" ;;
    *) seed="$seeds/text" ;;
    esac
    echo "== $target (${seconds} s)"
    if ! (cd "$build" && "$build/fuzz/$target" -max_total_time="$seconds" -timeout=25 \
        -rss_limit_mb=2048 -print_final_stats=1 "$corpus" "$seed" 2>"$build/$target.log"); then
        echo "$target: problema trovato, vedi $build/$target.log e i file crash-* in $build"
        status=1
    fi
    grep -E "stat::number_of_executed_units|stat::peak_rss_mb|cov:" "$build/$target.log" | tail -3
done
exit $status
