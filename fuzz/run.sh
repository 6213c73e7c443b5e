#!/bin/sh
# Builds the libFuzzer targets with clang and runs each for N seconds
# (default 60), one after the other, seeded with the sample files of its
# format and the seeds it makes itself.
#   fuzz/run.sh [seconds] [target...]
# Inputs up to 2 MB (the size of the compression bombs the tests make); an
# input slower than 10 s or a process past 2 GB is a finding, as is anything
# AddressSanitizer or UBSan reports.
set -eu
here=$(cd "$(dirname "$0")/.." && pwd)
build="$here/build-fuzz"
samples="${QOVA_SAMPLES_DIR:-$here/../shared/samples}"
seconds="${1:-60}"
[ $# -gt 0 ] && shift
targets="$*"
if [ -z "$targets" ]; then
    targets=$(cd "$here/fuzz" && ls fuzz_*.cpp | sed 's/\.cpp$//')
fi

CC=clang CXX=clang++ cmake -S "$here" -B "$build" -G Ninja -DQOVA_FUZZ=ON >/dev/null
ninja -C "$build" -j2 $targets

for t in $targets; do
    # Corpus per target, kept between runs; the samples of its format seed it.
    corpus="$build/corpus/$t"
    mkdir -p "$corpus"
    case "$t" in
        fuzz_psd) exts="psd psb" ;;
        fuzz_msp) exts="msp" ;;
        fuzz_gem_img) exts="img" ;;
        fuzz_tga) exts="tga" ;;
        fuzz_pcx) exts="pcx" ;;
        fuzz_bmp) exts="bmp" ;;
        *) exts="" ;;
    esac
    for e in $exts; do
        find "$samples" -type f -iname "*.$e" -exec cp -n {} "$corpus/" \; 2>/dev/null || true
    done
    if [ "$t" = fuzz_load ]; then
        # Its first byte picks the file name (0: none, detect by content).
        find "$samples" -type f -size -2M ! -iname '*.txt' ! -iname '*.md' | while read -r f; do
            out="$corpus/sample_$(basename "$f" | tr -c 'A-Za-z0-9._\n' '_')"
            [ -e "$out" ] || { printf '\000'; cat "$f"; } > "$out"
        done
    fi
    QOVA_FUZZ_DUMP_SEEDS="$corpus" "$build/fuzz/$t" >/dev/null 2>&1 || true
    echo "== $t"
    (cd "$build" && "./fuzz/$t" -max_total_time="$seconds" -max_len=2097152 -timeout=10 -rss_limit_mb=2048 \
        -print_final_stats=1 "$corpus")
done
