#!/usr/bin/env bash
# Resident memory of an idle agent after start, beside the peer tray agent
# (flameshot's daemon) started in the same session: resident set, and the
# proportional share that counts libraries both map once between them.
# Usage: scripts/deps.sh bench; scripts/xsession.sh dbus-run-session bench/idle_memory.sh [BUILD_DIR] [SECONDS]
set -eu
build=$(cd "${1:-build}" && pwd)
settle=${2:-5}
. "$(dirname "$0")/agent_env.sh"
kib() { awk -v k="$2" '$1 == k":" {print $2}' "/proc/$1/${3:-status}"; }
report() { # NAME PID
    printf '%-10s RSS %6d KiB  PSS %6d KiB  threads %s\n' "$1" "$(kib "$2" VmRSS)" \
        "$(kib "$2" Pss smaps_rollup)" "$(ls /proc/"$2"/task | wc -l)"
}
start_agent
sleep "$settle" # the tray icon's embedding and the first idle moments
report agent "$agent"
peer=
if command -v flameshot >/dev/null; then
    flameshot >/dev/null 2>&1 &
    peer=$!
    trap 'kill "$agent" "$peer" 2>/dev/null || true; wait; rm -rf "$work"' EXIT
    sleep "$settle"
    if kill -0 "$peer" 2>/dev/null; then report flameshot "$peer"; else echo "flameshot: not running"; fi
fi
