#!/bin/sh
# Installs the Debian packages listed in the list files given (default: scripts/packages.txt) that are missing.
# Works on a bare Debian 12 (needs only sh, dpkg and apt-get); uses sudo when not root.
set -eu
here=$(cd "$(dirname "$0")" && pwd)
missing=""
[ $# -gt 0 ] || set -- "$here/packages.txt"
for pkg in $(cat "$@" | grep -v '^\s*#' | tr -s ' \n' ' '); do
  if ! dpkg-query -W -f='${Status}' "$pkg" 2>/dev/null | grep -q "install ok installed"; then
    missing="$missing $pkg"
  fi
done
if [ -n "$missing" ]; then
  echo "Installing:$missing" >&2
  if [ "$(id -u)" -eq 0 ]; then sudo=""; else sudo="sudo"; fi
  $sudo apt-get update -q
  DEBIAN_FRONTEND=noninteractive $sudo apt-get install -y -q --no-install-recommends $missing
fi
