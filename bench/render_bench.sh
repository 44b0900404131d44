#!/bin/sh
# Real-time factor of the renderer at 48 kHz: the demo, the default patch with a held 3-note chord, and
# a heavy patch (all sections at 0.8, all phaser sends, delay mix 0.5 synced to 1/16, 10 held keys).
set -eu
here=$(cd "$(dirname "$0")" && pwd)
render=${1:-"$here/../build/tools/render/vantorel-render"}
out=$(mktemp -d)
trap 'rm -rf "$out"' EXIT
echo "demo:"
"$render" -o "$out/demo.wav" --bench
echo "default patch, 3-note chord:"
"$render" -o "$out/chord3.wav" --bench --init "$here/midi/chord3.mid"
echo "heavy patch, 10 keys:"
"$render" -o "$out/chord10.wav" --bench --init \
  --set 2=0.8 --set 3=0.8 --set 4=0.8 --set 45=1 --set 46=1 --set 47=1 \
  --set 50=0.5 --set 52=1 --set 48=0.3157894736842105 "$here/midi/chord10.mid"
