#!/usr/bin/env bash
# The speed goals in one run: builds the corpora (F24 transmissions of 50, 500 and 2,000
# payments, a mixed folder of receipts made from every fixture template), archives them
# with quorvin-cli into fresh embedded archives (the mixed folder with the window too), and
# prints each figure beside its reference, measured side by side.
#
#   QUORVIN_BENCH_BUILD  Release build folder (default build-bench), built here
#   QUORVIN_BENCH_BIN    folder that already holds quorvin-cli, quorvin-pdfreader,
#                        quorvin-fixture, quorvin-bench-readpages and quorvin-bench-window
#                        (an older build to compare with): nothing is built
#   QUORVIN_BENCH_COPIES copies of each template in the mixed folder (default 10)
#   QUORVIN_BENCH_WORK   keep the corpora there
set -euo pipefail
root="$(cd "$(dirname "$0")/.." && pwd)"
copies="${QUORVIN_BENCH_COPIES:-10}"

if [ -n "${QUORVIN_BENCH_BIN:-}" ]; then
    bin="$QUORVIN_BENCH_BIN"
    cli="$bin/quorvin-cli" fixture="$bin/quorvin-fixture" readpages="$bin/quorvin-bench-readpages"
    window="$bin/quorvin-bench-window"
else
    build="${QUORVIN_BENCH_BUILD:-$root/build-bench}"
    bash "$root/scripts/install-deps.sh"
    # Warnings are gated by the test build; at -O3 GCC 12 raises false -Wrestrict alarms.
    cmake -S "$root" -B "$build" -G Ninja -DCMAKE_BUILD_TYPE=Release -DQUORVIN_BUILD_BENCH=ON \
        -DQUORVIN_BUILD_TESTS=OFF -DQUORVIN_WERROR=OFF >/dev/null
    cmake --build "$build" -j2 --target quorvin-cli quorvin-pdfreader quorvin-fixture \
        quorvin-bench-readpages quorvin-bench-window >/dev/null
    cli="$build/cli/quorvin-cli" fixture="$build/tools/quorvin-fixture"
    readpages="$build/bench/quorvin-bench-readpages" window="$build/bench/quorvin-bench-window"
fi
for tool in pdftotext qpdf /usr/bin/time; do
    command -v "$tool" >/dev/null || { echo "Manca $tool (scripts/install-deps.sh)" >&2; exit 2; }
done

if [ -n "${QUORVIN_BENCH_WORK:-}" ]; then
    work="$QUORVIN_BENCH_WORK"
    rm -rf "$work"
    mkdir -p "$work"
else
    work="$(mktemp -d)"
    trap 'rm -rf "$work"' EXIT
fi

# ---- Corpora ---------------------------------------------------------------------------

# An F24 transmission: summary page, one page per payment, list pages of 45 rows.
f24() { # payments output.pdf
    awk -v n="$1" 'function pad(v) { return sprintf("%06d", v) }
    function cf(v) { return sprintf("0%010d", 1000000000 + v * 7919) }
    BEGIN {
        p = "10061610424512345"
        print "AGENZIA DELLE ENTRATE - SERVIZIO TELEMATICO ENTRATEL\n"
        print "                             ATTESTAZIONE DI AVVENUTA TRASMISSIONE"
        print "In data 16/06/2010 alle ore 10:42 e'"'"' stato trasmesso il file: F24.rel"
        print "al quale e'"'"' stato attribuito il numero di protocollo " p " ."
        print "Il file e'"'"' stato trasmesso da: BNCLCU70B15F205E"
        print "Coordinate bancarie: abi 03069 cab 01600 c/c n. 000012345678"
        print "Il file contiene la richiesta di n. " n " pagamenti, di cui:"
        print "  - con addebito effettuato dalla banca: " n
        print "Li, 16/06/2010"
        for (i = 1; i <= n; i++) {
            printf "\fAGENZIA DELLE ENTRATE - SERVIZIO TELEMATICO ENTRATEL\n"
            print "                             ATTESTAZIONE DI AVVENUTA TRASMISSIONE"
            print "                              DEL SINGOLO PAGAMENTO - MODELLO F24\n"
            print "Protocollo del pagamento : " p "/" pad(i)
            print "Codice fiscale : " cf(i) " - DITTA NUMERO " i " S.R.L."
            print "Data versamento : 16/06/2010"
            print "Importo versamento : E. " (100 + i) ",00"
            print "Addebito su:    abi 03069    cab 01600    c/c n. 000012345678"
            print "Esito elaborazione : ACQUISITO\n"
            print "Li, 16/06/2010"
        }
        for (f = 1; f <= n; f += 45) {
            printf "\f                          ELENCO DEI DOCUMENTI ACQUISITI E/O SCARTATI\n\n"
            print "PROTOCOLLO DI RICEZIONE : " p
            print "NOME DEL FILE : F24.rel"
            print "TIPO DI DOCUMENTO : F24 - RICHIESTE DI PAGAMENTO TELEMATICO"
            print "DOCUMENTI ACQUISITI : " n
            print "DOCUMENTI SCARTATI : 0\n"
            print "Esito       Protocollo    Codice fiscale     Denominazione"
            print "            documenti"
            for (i = f; i < f + 45 && i <= n; i++)
                print "ACQUISITO   " pad(i) "        " cf(i) "           DITTA NUMERO " i " S.R.L."
        }
    }' >"$work/f24_$1.txt"
    "$fixture" "$work/f24_$1.txt" "$2" >/dev/null
}

for n in 50 500 2000; do
    mkdir -p "$work/f24_$n"
    f24 "$n" "$work/f24_$n/f24_$n.pdf"
done

# The mixed folder: every template, each copy with its own protocol numbers so that no
# two files are the same receipt (templates without a 17-digit protocol repeat, and their
# copies are recognised as already archived).
mkdir -p "$work/mixed" "$work/templates"
templates="$root/tests/fixtures/templates"
for c in $(seq 1 "$copies"); do
    for t in "$templates"/*.txt; do
        name="$(basename "$t" .txt)"
        perl -pe 's/(?<![0-9])([0-9]{12})([0-9]{5})(?![0-9])/$1 . sprintf("%05d", ($2 + '"$c"' * 7) % 100000)/ge' \
            "$t" >"$work/templates/${name}_$c.txt"
    done
done
"$fixture" --cartella "$work/templates" "$work/mixed" >/dev/null
mixed_files=$(find "$work/mixed" -name '*.pdf' | wc -l)

# ---- Runs ------------------------------------------------------------------------------

lesser() { awk -v t="$1" -v b="$2" 'BEGIN { print (b == "" || t < b) ? t : b }'; }
seconds() { # COMMAND...: wall-clock seconds of one run of the command, output dropped
    local t0 t1
    t0=$(date +%s.%N)
    "$@" >/dev/null 2>&1 || true
    t1=$(date +%s.%N)
    awk -v a="$t0" -v b="$t1" 'BEGIN { print b - a }'
}
best() { # best wall-clock seconds of 3 runs of the command
    local best=""
    for _ in 1 2 3; do
        best=$(lesser "$(seconds "$@")" "$best")
    done
    printf '%.3f' "$best"
}
# in_turns ROUNDS OURS REFERENCE: the two functions (each prints the seconds of one run)
# take turns ROUNDS times, so that both meet the same load; prints the best of each.
in_turns() {
    local ours="" reference=""
    for _ in $(seq 1 "$1"); do
        ours=$(lesser "$("$2")" "$ours")
        reference=$(lesser "$("$3")" "$reference")
    done
    printf '%.3f %.3f\n' "$ours" "$reference"
}

# Every receipt type switched on, in a settings store of the run's own.
home="$work/home"
mkdir -p "$home/config/Belvast"
{
    echo "[Impostazioni]"
    grep -ho 'DocType=[0-9]*' "$templates"/*.txt | sort -u | sed 's/DocType=\(.*\)/\1=1/'
} >"$home/config/Belvast/Quorvin.conf"

cli_run() { # FOLDER: quorvin-cli archivia on FOLDER into the run's embedded archive
    env XDG_CONFIG_HOME="$home/config" XDG_DATA_HOME="$work/data" TMPDIR="$home/tmp" \
        "$cli" archivia --ricevute "$1" --scarti "" --no-backup
}
# archive_once FOLDER: archives a copy of FOLDER into a fresh embedded archive; prints the
# wall seconds and adds the peak resident memory (of the program or its reader) to rss.txt.
archive_once() {
    local copy="$work/run" t0 t1 log="$work/$(basename "$1").log"
    rm -rf "$copy" "$work/data" "$home/tmp"
    mkdir -p "$copy" "$home/tmp" "$work/empty"
    cp "$1"/*.pdf "$copy"/ 2>/dev/null || true
    cli_run "$work/empty" >/dev/null 2>&1 || true # creates the archive
    t0=$(date +%s.%N)
    /usr/bin/time -f '%M' -o "$work/time.txt" env XDG_CONFIG_HOME="$home/config" \
        XDG_DATA_HOME="$work/data" TMPDIR="$home/tmp" \
        "$cli" archivia --ricevute "$copy" --scarti "" --no-backup >"$log" 2>&1 || true
    t1=$(date +%s.%N)
    tail -1 "$work/time.txt" >>"$work/rss.txt" # after "Command exited with …"
    awk -v a="$t0" -v b="$t1" 'BEGIN { print b - a }'
}
archive() { # FOLDER: the best of 3 archive_once
    local best=""
    for _ in 1 2 3; do
        best=$(lesser "$(archive_once "$1")" "$best")
    done
    printf '%.3f' "$best"
}

# window_and_cli FOLDER: the window (quorvin-bench-window, headless) and quorvin-cli each
# archive a copy of FOLDER into a fresh embedded archive, taking turns, 3 times; prints the
# best wall seconds of each, whole programs from start to exit.
window_and_cli() {
    local copy="$work/run" program secs window_best="" cli_best=""
    local -a command
    mkdir -p "$home/runtime" && chmod 700 "$home/runtime"
    for _ in 1 2 3; do
        for program in cli window; do
            rm -rf "$copy" "$work/data" "$home/tmp"
            mkdir -p "$copy" "$home/tmp" "$work/empty"
            cp "$1"/*.pdf "$copy"/ 2>/dev/null || true
            cli_run "$work/empty" >/dev/null 2>&1 || true # creates the archive
            if [ "$program" = cli ]; then
                command=("$cli" archivia --ricevute "$copy" --scarti "" --no-backup)
            else
                command=("$window" "$copy")
            fi
            /usr/bin/time -f '%e' -o "$work/time.txt" env XDG_CONFIG_HOME="$home/config" \
                XDG_DATA_HOME="$work/data" TMPDIR="$home/tmp" XDG_RUNTIME_DIR="$home/runtime" \
                QT_QPA_PLATFORM=offscreen "${command[@]}" >/dev/null 2>&1 || true
            secs=$(tail -1 "$work/time.txt")
            if [ "$program" = cli ]; then
                cli_best=$(awk -v t="$secs" -v b="$cli_best" 'BEGIN { print (b == "" || t < b) ? t : b }')
            else
                window_best=$(awk -v t="$secs" -v b="$window_best" \
                    'BEGIN { print (b == "" || t < b) ? t : b }')
            fi
        done
    done
    echo "$window_best $cli_best"
}

pdftotext_each() {
    for f in "$1"/*.pdf; do pdftotext "$f" /dev/null; done
}
split_ref() { # pdftotext of the file, then every page as its own PDF
    pdftotext "$1" /dev/null && qpdf --split-pages "$1" "$work/split/p.pdf"
}

ratio() { awk -v a="$1" -v b="$2" 'BEGIN { printf "%.2f", (b > 0 ? a / b : 0) }'; }
pages_of() { pdfinfo "$1" 2>/dev/null | awk '/^Pages:/ { print $2 }'; }

f500="$work/f24_500/f24_500.pdf"
f24_ours() { archive_once "$work/f24_500"; }
f24_reference() {
    rm -rf "$work/split" && mkdir -p "$work/split" # outside the time, as the copy of ours
    seconds split_ref "$f500"
}
read_ours() { seconds "$readpages" "$f500"; }
read_reference() { seconds pdftotext "$f500" /dev/null; }
read -r ours_f24 ref_f24 < <(in_turns 5 f24_ours f24_reference)
read -r ours_read ref_read < <(in_turns 5 read_ours read_reference)
ours_mixed=$(archive "$work/mixed")
ref_mixed=$(best pdftotext_each "$work/mixed")
window_mixed="" cli_mixed=""
if [ -x "$window" ]; then # an older build may have no window benchmark
    read -r window_mixed cli_mixed < <(window_and_cli "$work/mixed")
fi
# Time per page without the fixed cost of a run (start, archive, log), which an empty
# folder costs too.
t0=$(archive "$work/empty")
t50=$(archive "$work/f24_50")
t2000=$(archive "$work/f24_2000")
p50=$(pages_of "$work/f24_50/f24_50.pdf")
p2000=$(pages_of "$work/f24_2000/f24_2000.pdf")
per50=$(awk -v t="$t50" -v z="$t0" -v p="$p50" 'BEGIN { printf "%.3f", 1000 * (t - z) / p }')
per2000=$(awk -v t="$t2000" -v z="$t0" -v p="$p2000" 'BEGIN { printf "%.3f", 1000 * (t - z) / p }')

printf '%-44s %12s %12s %8s %8s\n' "obiettivo" "Quorvin" "riferimento" "rapporto" "meta"
printf '%-44s %11ss %11ss %8s %8s\n' "F24 500 pagamenti / pdftotext+qpdf" "$ours_f24" "$ref_f24" \
    "$(ratio "$ours_f24" "$ref_f24")" "<= 1.0"
printf '%-44s %11ss %11ss %8s %8s\n' "lettura pagine F24 500 / pdftotext" "$ours_read" "$ref_read" \
    "$(ratio "$ours_read" "$ref_read")" "<= 1.2"
printf '%-44s %11ss %11ss %8s %8s\n' "$mixed_files file misti / pdftotext per file" "$ours_mixed" \
    "$ref_mixed" "$(ratio "$ours_mixed" "$ref_mixed")" "<= 0.3"
if [ -n "$window_mixed" ]; then
    printf '%-44s %11ss %11ss %8s %8s\n' "finestra / riga di comando, $mixed_files file misti" \
        "$window_mixed" "$cli_mixed" "$(ratio "$window_mixed" "$cli_mixed")" "<= 1.2"
fi
printf '%-44s %10sms %10sms %8s %8s\n' "ms/pagina 2000 pagamenti / 50 (giro vuoto ${t0}s)" "$per2000" "$per50" \
    "$(ratio "$per2000" "$per50")" "<= 1.2"
printf '%-44s %10sMiB %11s %8s %8s\n' "memoria residente massima" \
    "$(sort -n "$work/rss.txt" | tail -1 | awk '{ printf "%.1f", $1 / 1024 }')" "" "" "<= 64"
