#!/usr/bin/env bash
# Regenerates docs/picture-window.png, the README's picture of the picture
# window: the demo on a small private virtual screen, the window alone, reduced
# to a small palette so the file stays small in the repository.
set -euo pipefail
cd "$(dirname "$0")/.."
scripts/deps.sh
scripts/build.sh kaptivus2000 xready xpress
tmp=$(mktemp -d "${TMPDIR:-/tmp}/kaptivus-shot.XXXXXX")
trap 'rm -rf "$tmp"' EXIT
KAPTIVUS_XREADY="$PWD/build/tests/support/xready" \
    scripts/xsession.sh --screen 1024x768x24 scripts/demo.sh --window "$tmp/window.png"
mkdir -p docs
convert "$tmp/window.png" -resize '720x720>' -strip -dither None -colors 64 \
    -define png:compression-level=9 -define png:exclude-chunks=date,time docs/picture-window.png
echo "docs/picture-window.png: $(identify -format '%wx%h' docs/picture-window.png), $(stat -c %s docs/picture-window.png) bytes"
