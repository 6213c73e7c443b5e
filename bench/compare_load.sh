#!/usr/bin/env bash
# Times our JPEG and other loads against djpeg and `gm convert` on the same
# files in the same run, and prints our time / their time (lower is better).
#   bench/compare_load.sh [build-dir] [data-dir]
set -euo pipefail
BUILD=${1:-build}
DATA=${2:-/tmp/qova-bench}
BENCH="$BUILD/bench/bench_load"
REPS=${REPS:-3}
[ -x "$BENCH" ] || { echo "build first: $BENCH missing" >&2; exit 1; }
command -v djpeg >/dev/null || { echo "djpeg missing (libjpeg-turbo-progs)" >&2; exit 1; }
command -v gm >/dev/null || { echo "gm missing (graphicsmagick)" >&2; exit 1; }

if [ ! -f "$DATA/photo100mp.jpg" ]; then
  echo "making benchmark files in $DATA ..."
  "$BENCH" --make "$DATA" --huge
fi

# Best wall time of REPS runs of a command, in milliseconds.
best_ms() {
  local best=""
  for _ in $(seq "$REPS"); do
    local t0 t1 ms
    t0=$(date +%s%N)
    "$@" >/dev/null 2>&1
    t1=$(date +%s%N)
    ms=$(( (t1 - t0) / 1000000 ))
    if [ -z "$best" ] || [ "$ms" -lt "$best" ]; then best=$ms; fi
  done
  echo "$best"
}

ours_ms() { "$BENCH" --time "$1" "$REPS" | sed -n 's/.*load_ms=\([0-9.]*\).*/\1/p'; }
ratio() { awk -v a="$1" -v b="$2" 'BEGIN { if (b <= 0) b = 0.5; printf "%.2f", a / b }'; }

printf "%-22s %10s %10s %10s %8s %8s\n" file ours_ms djpeg_ms gm_ms /djpeg /gm
for f in photo1mp.jpg photo24mp.jpg photo100mp.jpg; do
  o=$(ours_ms "$DATA/$f")
  d=$(best_ms djpeg -outfile /dev/null "$DATA/$f")
  g=$(best_ms gm convert "$DATA/$f" null:)
  printf "%-22s %10s %10s %10s %8s %8s\n" "$f" "$o" "$d" "$g" "$(ratio "$o" "$d")" "$(ratio "$o" "$g")"
done
for f in photo24mp.png photo24mp.tif photo24mp.bmp photo24mp.gif photo24mp.pcx photo24mp.tga; do
  o=$(ours_ms "$DATA/$f")
  g=$(best_ms gm convert "$DATA/$f" null:)
  printf "%-22s %10s %10s %10s %8s %8s\n" "$f" "$o" "-" "$g" "-" "$(ratio "$o" "$g")"
done

# A directory of 2–5 megapixel photos, per file.
files=("$DATA"/walk/*.jpg)
n=${#files[@]}
o=$("$BENCH" --dir "$DATA/walk" "$REPS" | sed -n 's/.*ms_per_file=\([0-9.]*\).*/\1/p')
d=$(best_ms bash -c 'for f in "$@"; do djpeg -outfile /dev/null "$f"; done' _ "${files[@]}")
g=$(best_ms bash -c 'for f in "$@"; do gm convert "$f" null:; done' _ "${files[@]}")
dp=$(awk -v t="$d" -v n="$n" 'BEGIN { printf "%.2f", t / n }')
gp=$(awk -v t="$g" -v n="$n" 'BEGIN { printf "%.2f", t / n }')
printf "%-22s %10s %10s %10s %8s %8s\n" "walk/ ($n files, per file)" "$o" "$dp" "$gp" "$(ratio "$o" "$dp")" "$(ratio "$o" "$gp")"

# Saving a 24-megapixel photo as JPEG (quality 90) against cjpeg on the same pixels.
if command -v cjpeg >/dev/null; then
  djpeg -outfile "$DATA/photo24mp.ppm" "$DATA/photo24mp.jpg"
  s=$("$BENCH" --save "$DATA/photo24mp.ppm" 20 "$REPS" | sed -n 's/.*save_ms=\([0-9.]*\).*/\1/p')
  c=$(best_ms cjpeg -quality 90 -optimize -outfile /dev/null "$DATA/photo24mp.ppm")
  printf "%-22s %10s %10s %10s %8s\n" "save jpeg 24mp" "$s" "cjpeg:$c" "-" "$(ratio "$s" "$c")"
fi

# Peak memory of one 100-megapixel load against its decoded bitmap.
line=$("$BENCH" --time "$DATA/photo100mp.jpg" 1)
echo "100 MP load: $line"
echo "$line" | awk '{ for (i = 1; i <= NF; i++) { split($i, kv, "="); v[kv[1]] = kv[2] } printf "peak memory / bitmap = %.2f\n", v["peak_rss_mb"] / v["bitmap_mb"] }'
