#!/bin/sh
# The renderer at 48 kHz: real-time factor (instrument calls only) of the demo, the default patch with a
# held 3-note chord, and a heavy patch (all sections at 0.8, all phaser sends, delay mix 0.5 synced to
# 1/16, 10 held keys); then the whole process (start, rendering, writing the file) on the 30-second chord
# piece, median of 5 runs.
set -eu
here=$(cd "$(dirname "$0")" && pwd)
render=${1:-"$here/../build/tools/render/vantorel-render"}
out=$(mktemp -d)
trap 'rm -rf "$out"' EXIT
heavy="--set 2=0.8 --set 3=0.8 --set 4=0.8 --set 45=1 --set 46=1 --set 47=1 --set 50=0.5 --set 52=1
  --set 48=0.3157894736842105"
echo "demo:"
"$render" -o "$out/demo.wav" --bench
echo "default patch, 3-note chord:"
"$render" -o "$out/chord3.wav" --bench --init "$here/midi/chord3.mid"
echo "heavy patch, 10 keys:"
# shellcheck disable=SC2086
"$render" -o "$out/chord10.wav" --bench --init $heavy "$here/midi/chord10.mid"

# Milliseconds of wall time of one whole renderer process.
whole() {
  t0=$(date +%s%N)
  "$render" -o "$out/whole.wav" --init "$@" >/dev/null
  t1=$(date +%s%N)
  echo $(((t1 - t0) / 1000000))
}
median5() {
  for _ in 1 2 3 4 5; do whole "$@"; done | sort -n | sed -n 3p
}
echo "whole process, 30-second piece (median of 5):"
echo "  default patch, 3-note chord  $(median5 "$here/midi/chord3.mid") ms"
# shellcheck disable=SC2086
echo "  heavy patch, 10 keys         $(median5 $heavy "$here/midi/chord10.mid") ms"
