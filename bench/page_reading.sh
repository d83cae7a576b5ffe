#!/usr/bin/env bash
# Page reading speed: our guarded reader plus run building against pdftotext, on the
# same generated 500-page receipt. Prints both times (best of 3) and their ratio.
set -euo pipefail
root="$(cd "$(dirname "$0")/.." && pwd)"
build="${QUORVIN_BENCH_BUILD:-$root/build-bench}"
pages="${QUORVIN_BENCH_PAGES:-500}"

bash "$root/scripts/install-deps.sh"
# Warnings are gated by the test build; at -O3 GCC 12 raises false -Wrestrict alarms.
cmake -S "$root" -B "$build" -G Ninja -DCMAKE_BUILD_TYPE=Release -DQUORVIN_BUILD_BENCH=ON \
    -DQUORVIN_BUILD_TESTS=OFF -DQUORVIN_WERROR=OFF >/dev/null
cmake --build "$build" -j2 --target quorvin-bench-readpages quorvin-bench-readpages-inprocess \
    quorvin-pdfreader quorvin-fixture

if [ -n "${QUORVIN_BENCH_WORK:-}" ]; then # keep the generated files there
    work="$QUORVIN_BENCH_WORK"
    mkdir -p "$work"
else
    work="$(mktemp -d)"
    trap 'rm -rf "$work"' EXIT
fi

# An F24 receipt list: a heading, then one row per delegation, about 50 rows a page.
awk -v pages="$pages" 'BEGIN {
    srand(7); n = 0
    for (p = 1; p <= pages; p++) {
        if (p > 1) printf "\f"
        printf "RICEVUTA DI PRESENTAZIONE DELLE DELEGHE F24                  Pagina %4d di %d\n", p, pages
        printf "Protocollo telematico: 10031215123456789 - 000001      Data ricezione: 12/03/2010\n"
        printf "Utente: CNTLCU70A01H501Z        Intermediario: STUDIO ASSOCIATO BELVAST\n\n"
        printf "  N.  Codice fiscale     Denominazione                      Importo     Esito\n"
        for (r = 0; r < 48; r++) {
            n++
            printf "%5d  %-16s   %-30s %12s   %s\n", n, sprintf("RSSMRA%02dA%02dH501U", n % 100, r % 30 + 1),
                sprintf("CONTRIBUENTE NUMERO %d S.R.L.", n), sprintf("%d.%03d,%02d", int(rand()*9)+1, int(rand()*1000), int(rand()*100)),
                (rand() < 0.95 ? "acquisito" : "scartato")
        }
        printf "\nDeleghe acquisite: 48   Deleghe scartate: 0\n"
    }
}' >"$work/ricevuta.txt"
"$build/tools/quorvin-fixture" "$work/ricevuta.txt" "$work/ricevuta.pdf" >/dev/null

best() { # best wall-clock seconds of 3 runs of the command
    local best="" t0 t1 t
    for _ in 1 2 3; do
        t0=$(date +%s.%N)
        "$@" >/dev/null
        t1=$(date +%s.%N)
        t=$(awk -v a="$t0" -v b="$t1" 'BEGIN { print b - a }')
        best=$(awk -v t="$t" -v b="$best" 'BEGIN { print (b == "" || t < b) ? t : b }')
    done
    printf '%.3f' "$best"
}

ours=$(best "$build/bench/quorvin-bench-readpages" "$work/ricevuta.pdf")
inproc=$(best "$build/bench/quorvin-bench-readpages-inprocess" "$work/ricevuta.pdf")
theirs=$(best pdftotext "$work/ricevuta.pdf" /dev/null)
echo "Pagine: $pages"
echo "Quorvin (lettore protetto + righe): $ours s"
echo "Quorvin senza processo separato:    $inproc s"
echo "pdftotext:                          $theirs s"
echo "Rapporto: $(awk -v a="$ours" -v b="$theirs" 'BEGIN { printf "%.2f", a / b }')"
