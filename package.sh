#!/usr/bin/env bash
# Builds the Debian package kaptivus2000_5.10_<arch>.deb into build/package/
# and checks it with lintian when lintian is there.
#   ./package.sh
#   sudo apt-get install ./build/package/kaptivus2000_5.10_amd64.deb
set -euo pipefail
cd "$(dirname "$0")"
scripts/deps.sh package
# A package is built without the tests' extras; the build folder is shared with ./run.sh.
scripts/build.sh kaptivus2000 kaptivus_install_files
mkdir -p build/package
cpack -G DEB --config build/CPackConfig.cmake -B build/package >/dev/null
deb=$(ls -t build/package/kaptivus2000_*.deb | head -n 1)
if command -v lintian >/dev/null; then
    lintian --tag-display-limit 0 "$deb" || true
fi
echo "Package: $deb"
