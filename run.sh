#!/bin/sh
# Sets up what the plug-in and the renderer need, builds them (no tests), installs the VST3 bundle into
# ~/.vst3 and renders the demo piece.
set -eu
top=$(cd "$(dirname "$0")" && pwd)
"$top/scripts/setup.sh" "$top/scripts/packages.txt"
"$top/scripts/build.sh"
cmake --install "$top/build" --component vst3 --prefix "$HOME/.vst3"
echo "Installed $HOME/.vst3/Vantorel.vst3"
if [ -x "$top/build/tools/render/vantorel-render" ]; then
  "$top/build/tools/render/vantorel-render" -o "$top/demo.wav" --bench
  echo "Rendered $top/demo.wav"
fi
