#!/usr/bin/env bash
# Times the closest GraphicsMagick, ImageMagick and libvips commands for each
# operation of bench_ops on one input image. Decoding and encoding are left
# out: every tool reads and writes a raw format of its own (GraphicsMagick
# uncompressed .miff, since it deletes an .mpc cache once read; ImageMagick
# .mpc; libvips .v), and the time of a no-op run through the same format is
# subtracted. Both the command and the no-op are the best of PEER_RUNS runs
# (default 5); how far the no-op's second best run lies from its best is
# printed as the noise of that tool, so that a difference smaller than it is
# not taken for a time. PEER_OPS, when set, names the only operations to time.
# PEER_REPEAT=k (default 1) chains a GraphicsMagick or ImageMagick operation k
# times in one command and divides what it adds to the no-op by k, so that an
# operation far faster than reading and writing the picture is not lost in
# that noise (libvips runs one operation a command, so its runs stay single).
# Usage: peers_ops.sh INPUT.ppm WORKDIR   →  lines "op tool seconds noise"
set -uo pipefail
in=$1
dir=$2
mkdir -p "$dir"
# The real binaries, not wrappers that may sit earlier on PATH.
GM=/usr/bin/gm
IM=/usr/bin/convert-im6.q16
VIPS=/usr/bin/vips
have_gm=0; have_im=0; have_vips=0
[ -x "$GM" ] && "$GM" convert "$in" -compress None "$dir/gm.miff" && have_gm=1
[ -x "$IM" ] && "$IM" "$in" "$dir/im.mpc" && have_im=1
[ -x "$VIPS" ] && "$VIPS" copy "$in" "$dir/in.v" && have_vips=1

runs=${PEER_RUNS:-5}
now() { date +%s.%N; }
times() {  # seconds of each of $runs runs of a command, one a line
  for ((i = 0; i < runs; ++i)); do
    local t0 t1
    t0=$(now); "$@" >/dev/null 2>&1 || { echo fail; return; }; t1=$(now)
    awk -v a="$t0" -v b="$t1" 'BEGIN { printf "%.4f\n", b - a }'
  done
}
run() {  # best of the runs
  times "$@" | awk '$1 == "fail" { f = 1 } NR == 1 || $1 < m { m = $1 } END { if (f) print "fail"; else printf "%.4f\n", m }'
}
baseline() {  # best time and second best − best of the no-op runs
  times "$@" | sort -g | awk '$1 == "fail" { f = 1 } NR == 1 { m = $1; s = $1 } NR == 2 { s = $1 }
                              END { if (f) print "fail 0"; else printf "%.4f %.4f\n", m, s - m }'
}
wanted() { [ -z "${PEER_OPS:-}" ] || [[ " $PEER_OPS " == *" $1 "* ]]; }

if [ $have_gm = 1 ]; then read -r gm_noop gm_noise < <(baseline "$GM" convert "$dir/gm.miff" -compress None "$dir/gm_out.miff"); fi
if [ $have_im = 1 ]; then read -r im_noop im_noise < <(baseline "$IM" "$dir/im.mpc" "$dir/im_out.mpc"); fi
if [ $have_vips = 1 ]; then read -r vips_noop vips_noise < <(baseline "$VIPS" copy "$dir/in.v" "$dir/out.v"); fi

emit() {  # op tool time noop noise [repeats]
  local t=$3
  if [ "$t" = fail ] || [ "$4" = fail ]; then return; fi
  awk -v op="$1" -v tool="$2" -v t="$t" -v n="$4" -v z="$5" -v k="${6:-1}" \
    'BEGIN { printf "%s %s %.4f %.4f\n", op, tool, (t - n) / k, z / k }'
}
repeat=${PEER_REPEAT:-1}
chained() {  # the arguments, $repeat times over
  local i
  for ((i = 0; i < repeat; ++i)); do printf '%s\0' "$@"; done
}
gm() {
  wanted "$1" && [ $have_gm = 1 ] || return 0
  local args; mapfile -d '' args < <(chained "${@:2}")
  emit "$1" gm "$(run "$GM" convert "$dir/gm.miff" "${args[@]}" -compress None "$dir/gm_out.miff")" "$gm_noop" "$gm_noise" "$repeat"
}
im() {
  wanted "$1" && [ $have_im = 1 ] || return 0
  local args; mapfile -d '' args < <(chained "${@:2}")
  emit "$1" im "$(run "$IM" "$dir/im.mpc" "${args[@]}" "$dir/im_out.mpc")" "$im_noop" "$im_noise" "$repeat"
}
vips() { wanted "$1" && [ $have_vips = 1 ] && emit "$1" vips "$(run "$VIPS" "$2" "$dir/in.v" "$dir/out.v" "${@:3}")" "$vips_noop" "$vips_noise"; }

gm invert -negate; im invert -negate; vips invert invert
gm brightness -modulate 140; im brightness -brightness-contrast 40x0; vips brightness linear 1 100
gm contrast -contrast; im contrast -brightness-contrast 0x50; vips contrast linear 1.5 -64
gm saturation -modulate 100,150; im saturation -modulate 100,150
gm hue -modulate 100,100,150; im hue -modulate 100,100,150
gm gamma -gamma 2.2; im gamma -gamma 2.2; vips gamma gamma
gm equalise -equalize; im equalise -equalize; vips equalise hist_equal
gm stretch -normalize; im stretch -normalize
gm greyscale -colorspace gray; im greyscale -colorspace gray; vips greyscale colourspace b-w
gm solarize -solarize 50%; im solarize -solarize 50%
im posterize -posterize 4
gm detect -threshold 50%; im detect -threshold 50%
gm mosaic -sample 10% -sample 1000%; im mosaic -scale 10% -scale 1000%
gm average -blur 2x2; im average -statistic Mean 5x5
gm median -median 2; im median -statistic Median 5x5; vips median median 5
gm sharpen -unsharp 0x1+1.6; im sharpen -unsharp 0x1+1.6; vips sharpen sharpen
gm noise +noise Uniform; im noise +noise Uniform
gm emboss -emboss 1; im emboss -emboss 1
gm oilify -paint 3; im oilify -paint 3
gm spatial_sobel -edge 1; im spatial_sobel -morphology Convolve Sobel
gm rotate90 -rotate 90; im rotate90 -rotate 90; vips rotate90 rot d90
gm rotate30 -rotate 30; im rotate30 -rotate 30; vips rotate30 rotate 30
gm shear -shear 20x0; im shear -shear 20x0
gm resize_half -resize 50%; im resize_half -resize 50%; vips resize_half resize 0.5
gm resize_plain -sample 50%; im resize_plain -sample 50%; vips resize_plain subsample 2 2
gm flip -flip; im flip -flip; vips flip flip vertical
gm reverse -flop; im reverse -flop; vips reverse flip horizontal
im fill -fill red -colorize 100
gm colour_res8 -colors 256; im colour_res8 -dither FloydSteinberg -colors 256
im halftone -ordered-dither h8x8a
if [ $have_im = 1 ] && wanted count_colours; then
  t=$(run "$IM" "$dir/im.mpc" -format %k info:); emit count_colours im "$t" 0 0
fi
if [ $have_gm = 1 ] && wanted count_colours; then
  t=$(run "$GM" identify -format %k "$dir/gm.miff"); emit count_colours gm "$t" 0 0
fi
rm -f "$dir"/gm_out.* "$dir"/im_out.* "$dir"/out.v
