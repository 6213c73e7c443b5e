#!/usr/bin/env bash
# Walking a folder and starting with a picture, on a real X display (Xvfb),
# in QOVA beside qimgv and feh, in the same run, with the screen-latency
# tools of ../shared/tools (keylat: key to changed screen; firstpaint: start
# to first picture on screen).
#   bench/peers_walk.sh [display-number]     (default 99)
# Needs scripts/install-bench-deps.sh and a build (./scripts/build.sh). The
# photo sets are bench_walk's (made on first use): 2-5 MP walked at one key
# every 150 ms, 24 MP at one every 300 ms.
set -euo pipefail
cd "$(dirname "$0")/.."
ROOT=$PWD
NUM=${1:-99}
export DISPLAY=":$NUM"
SMALL=/tmp/qova-bench/walk200
LARGE=/tmp/qova-bench/walk24mp
KEYS=${KEYS:-30}
TOOLS_SRC="$ROOT/../shared/tools"
[ -d "$TOOLS_SRC" ] || TOOLS_SRC=/work/shared/tools

TMP=$(mktemp -d)
PIDS=()
cleanup() {
  for p in "${PIDS[@]}"; do kill "$p" 2>/dev/null || true; done
  rm -rf "$TMP"
}
trap cleanup EXIT

cc -O2 "$TOOLS_SRC/firstpaint.c" -o "$TMP/firstpaint" -lX11
cc -O2 "$TOOLS_SRC/keylat.c" -o "$TMP/keylat" -lX11 -lXtst
"$ROOT/build/bench/bench_walk" --only make >/dev/null 2>&1 || true

Xvfb "$DISPLAY" -screen 0 1280x1024x24 -nolisten tcp >/dev/null 2>&1 &
PIDS+=($!)
sleep 1

# The block watched: inside the picture area of each viewer's window (the
# windows open at the top left without a window manager; QOVA's picture
# lies right of its file panel).
PX=700 PY=500

# first NAME CMD...: prints the first-paint milliseconds, three runs.
first() {
  local name=$1; shift
  local runs=()
  for i in 1 2 3; do
    local out
    out=$("$TMP/firstpaint" $PX $PY "$@" 2>/dev/null | head -1) || true
    local ms=${out%% *} pid
    pid=$(echo "$out" | awk '{print $2}')
    [ -n "$pid" ] && kill "$pid" 2>/dev/null || true
    runs+=("${ms:-?}")
    sleep 1
  done
  echo "  first paint $name: ${runs[*]} ms"
}

# walk NAME KEYSYM PACE DIR CMD...: starts the viewer in DIR, lets it
# settle, then presses KEYSYM KEYS times at PACE ms; prints keylat's line.
walk() {
  local name=$1 key=$2 pace=$3 dir=$4; shift 4
  (cd "$dir" && exec "$@" >/dev/null 2>&1) &
  local pid=$!
  sleep 4
  if [ "$name" = QOVA ]; then
    # The file list holds the folder QOVA started in: a click on its first
    # entry shows that picture and gives the list the keys.
    xdotool mousemove 200 437 click 1
    sleep 2
  fi
  xdotool mousemove $PX $PY
  # No more keys than the folder has pictures after the first.
  local n=$(( $(ls "$dir"/*.jpg | wc -l) - 1 ))
  [ "$n" -gt "$KEYS" ] && n=$KEYS
  local out
  out=$("$TMP/keylat" $PX $PY "$key" "$n" "$pace" 2>&1 | tail -1) || true
  echo "  walk $name ($key every $pace ms): $out"
  kill "$pid" 2>/dev/null || true
  wait "$pid" 2>/dev/null || true
  sleep 1
}

for set in small large; do
  if [ $set = small ]; then dir=$SMALL pace=150; else dir=$LARGE pace=300; fi
  pic=$(ls "$dir"/*.jpg | head -1)
  echo "== $set set ($dir), one key every $pace ms"
  first QOVA "$ROOT/build/qova" "$pic"
  first qimgv qimgv "$pic"
  first feh feh "$pic"
  walk QOVA Down $pace "$dir" "$ROOT/build/qova"
  walk qimgv Right $pace "$dir" qimgv "$pic"
  # feh walks the files it is given, in the order given.
  walk feh Right $pace "$dir" feh $(ls "$dir"/*.jpg)
done
