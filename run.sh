#!/usr/bin/env bash
# Installs what is missing, builds, and starts the agent on the current X display.
set -euo pipefail
cd "$(dirname "$0")"
scripts/deps.sh
scripts/build.sh
if [ -z "${DISPLAY:-}" ]; then
    echo "No X display: set DISPLAY to a running X server to start Kaptivus 2000." >&2
    exit 1
fi
exec build/kaptivus2000
