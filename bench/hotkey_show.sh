#!/usr/bin/env bash
# Print Screen press to the picture window mapped with the new capture: the
# time a person waits to see what was captured. The agent's fixed 50 ms wait
# (menus and windows leaving the screen) is included and shown apart. The
# window is closed between rounds, which opens the capture gate again.
# Usage: scripts/xsession.sh bench/hotkey_show.sh [BUILD_DIR] [ROUNDS]
set -eu
build=$(cd "${1:-build}" && pwd)
rounds=${2:-9}
. "$(dirname "$0")/agent_env.sh"
shown_window() { xdotool search --onlyvisible --name '^Kaptivus 2000 +v5' | head -n 1 | grep .; }
hidden() { ! shown_window; }

# Default settings once, then Print Screen on action 101 (desktop to the
# picture window) and the shutter sound off.
start_agent
stop_agent
set_value HotKey0 dword:0000002c
set_value IndexH0 dword:00000000
set_value HotKey1 dword:00000000
set_value Sound dword:00000000

start_agent
times=()
for ((n = 1; n <= rounds; n++)); do
    t0=$(now)
    "$build/tests/support/xpress" 0xff61
    wait_for 30 shown_window
    times+=("$(ms "$t0" "$(now)")")
    icesh -window "$(shown_window)" close
    wait_for 10 hidden
    sleep 1 # the gate opens once the window has gone
done
stop_agent
m=$(printf '%s\n' "${times[@]}" | median)
printf '%-22s %s\n' "rounds (ms)" "${times[*]}" "median ms" "$m" "median-50 ms" "$((m - 50))"
