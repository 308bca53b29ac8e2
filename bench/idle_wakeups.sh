#!/usr/bin/env bash
# Wake-ups of an idle agent (auto-save timer off, defaults): the context
# switches of all its threads over a quiet period, after it has settled.
# Usage: scripts/xsession.sh bench/idle_wakeups.sh [BUILD_DIR] [SECONDS]
set -eu
build=$(cd "${1:-build}" && pwd)
period=${2:-30}
. "$(dirname "$0")/agent_env.sh"
switches() { # voluntary + involuntary, summed over the threads
    cat /proc/"$agent"/task/*/status | awk '/ctxt_switches/ {n += $2} END {print n}'
}
"$build/kaptivus2000" >/dev/null 2>&1 &
agent=$!
sleep 5 # start-up and the tray icon's embedding settle
before=$(switches)
sleep "$period"
after=$(switches)
threads=$(ls /proc/"$agent"/task | wc -l)
echo "threads: $threads; context switches over ${period} s idle: $((after - before))"
