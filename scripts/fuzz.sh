#!/usr/bin/env bash
# Builds the libFuzzer targets with clang (build-fuzz, ASan and UBSan) and runs each one
# for a while. Usage: [QUORVIN_FUZZ_JOBS=N] scripts/fuzz.sh [SECONDS per target, default 60]
# A finding stops nothing: every target runs, then the script fails naming the inputs
# (in build-fuzz/fuzz-findings/TARGET/). Fix it, add a test, and put the input into
# fuzz/corpus/TARGET/.
set -euo pipefail
root="$(cd "$(dirname "$0")/.." && pwd)"
build="${QUORVIN_FUZZ_BUILD:-$root/build-fuzz}"
seconds="${1:-60}"

bash "$root/scripts/install-deps.sh"
launcher=()
if command -v ccache >/dev/null; then
    launcher=(-DCMAKE_C_COMPILER_LAUNCHER=ccache -DCMAKE_CXX_COMPILER_LAUNCHER=ccache)
fi
# Our libraries carry coverage for the fuzzer; the targets add the fuzzer's main.
# Warnings are gated by the GCC test build; clang's extra ones must not stop fuzzing.
CC=clang CXX=clang++ cmake -S "$root" -B "$build" -G Ninja -DCMAKE_BUILD_TYPE=RelWithDebInfo \
    -DQUORVIN_BUILD_FUZZ=ON -DQUORVIN_BUILD_TESTS=OFF -DQUORVIN_BUILD_BENCH=OFF -DQUORVIN_WERROR=OFF \
    -DQUORVIN_SANITIZE=ON -DCMAKE_CXX_FLAGS="-fsanitize=fuzzer-no-link" "${launcher[@]}" >/dev/null

targets=()
for source in "$root"/fuzz/*.cpp; do
    targets+=("$(basename "$source" .cpp)")
done
cmake --build "$build" -j2 --target quorvin-fixture quorvin-pdfreader "${targets[@]}"

# Seeds: the inputs kept in fuzz/corpus/TARGET, and for the text targets the receipt
# templates (as text, and as PDFs for the PDF reader).
seeds="$build/fuzz-seeds"
rm -rf "$seeds"
mkdir -p "$seeds/pdf" "$seeds/text"
cp "$root"/tests/fixtures/templates/*.txt "$root"/fuzz/corpus/fuzz_engine_text/* "$seeds/text/"
"$build/tools/quorvin-fixture" --cartella "$seeds/text" "$seeds/pdf" >/dev/null

# Dictionaries from the tables that hold the phrases, labels and keys.
dicts="$build/fuzz-dict"
mkdir -p "$dicts"
dictionary() { perl "$root/fuzz/dictionary.pl" "$@"; }
(
    cd "$root"
    dictionary engine/classify/*.cpp engine/writers/*.cpp engine/archive/*.cpp
    dictionary --all engine/classify/ClassifyRules.h engine/classify/FileSplit.cpp
) >"$dicts/text.dict"
(
    cd "$root"
    dictionary --all console/bvNolva.cpp catalogue/StandardCatalogue.cpp
    printf '"%s"\n' .wri .xml NV QUORVINTRASMESSI 00000001 "\\x0D\\x0A" "\\xE8" "\\x80"
) >"$dicts/reject.dict"
(
    cd "$root"
    dictionary --all archive/ArchiveImport.cpp archive/ArchiveTypes.cpp archive/ArchiveExchange.h
    printf '"%s"\n' '{' '}' '[' ']' ':' ',' null true false '\"\"' 16/06/2010 1e308 -0.5
) >"$dicts/json.dict"

# ASan keeps freed memory in quarantine, 256 MiB by default: that would count against
# the limit below as if an input had asked for it.
export ASAN_OPTIONS="detect_leaks=1:abort_on_error=1:quarantine_size_mb=64"
export UBSAN_OPTIONS="print_stacktrace=1:halt_on_error=1"
# QUORVIN_FUZZ_JOBS targets run side by side (default one at a time); each keeps its
# own log, and the figures are printed in target order once all have ended.
jobs="${QUORVIN_FUZZ_JOBS:-1}"
run_target() {
    local target="$1"
    local corpus="$build/fuzz-corpus/$target"
    local findings="$build/fuzz-findings/$target"
    mkdir -p "$corpus" "$findings"
    local inputs=("$corpus")
    [ -d "$root/fuzz/corpus/$target" ] && inputs+=("$root/fuzz/corpus/$target")
    local options=()
    case "$target" in
    *pdf*) inputs+=("$seeds/pdf") ;;
    *engine* | *label*)
        inputs+=("$seeds/text")
        options+=(-dict="$dicts/text.dict")
        ;;
    *reject*) options+=(-dict="$dicts/reject.dict") ;;
    *json*) options+=(-dict="$dicts/json.dict") ;;
    esac
    # One input may not take more than 5 s nor make the process hold more than 512 MiB.
    if (cd "$findings" && "$build/fuzz/$target" -max_total_time="$seconds" -timeout=5 \
        -rss_limit_mb=512 -print_final_stats=1 -artifact_prefix="$findings/" "${options[@]}" \
        "${inputs[@]}" 2>"$build/$target.log"); then
        echo 0 >"$build/$target.status"
    else
        echo 1 >"$build/$target.status"
    fi
}

for target in "${targets[@]}"; do
    echo "== $target (${seconds} s)"
    rm -f "$build/$target.status"
    if [ "$jobs" -le 1 ]; then
        run_target "$target"
    else
        while [ "$(jobs -rp | wc -l)" -ge "$jobs" ]; do wait -n || true; done
        run_target "$target" &
    fi
done
wait

status=0
for target in "${targets[@]}"; do
    echo "== $target"
    if [ "$(cat "$build/$target.status" 2>/dev/null)" != 0 ]; then
        echo "$target: problema trovato, vedi $build/$target.log e $build/fuzz-findings/$target"
        status=1
    fi
    grep -E "^#[0-9]+.*(DONE|cov:)" "$build/$target.log" | tail -1
    grep -E "stat::number_of_executed_units|stat::peak_rss_mb" "$build/$target.log"
done
exit $status
