#!/bin/sh
# Builds the libFuzzer targets with clang and runs each for N seconds
# (default 60), seeded with the sample files of its format.
#   fuzz/run.sh [seconds] [target...]
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
        *) exts="" ;;
    esac
    for e in $exts; do
        find "$samples" -type f -iname "*.$e" -exec cp -n {} "$corpus/" \; 2>/dev/null || true
    done
    QOVA_FUZZ_DUMP_SEEDS="$corpus" "$build/fuzz/$t" >/dev/null 2>&1 || true
    echo "== $t"
    (cd "$build" && "./fuzz/$t" -max_total_time="$seconds" -rss_limit_mb=2048 -print_final_stats=1 "$corpus")
done
