#!/usr/bin/env bash
# Shows the program's main job on a machine without a desktop: inside a private
# virtual X session it starts the agent, presses Print Screen as a person
# would, waits for the picture window and saves a screenshot of the screen
# (with --window, of the picture window alone).
# Usage: scripts/demo.sh [--window] OUTPUT.png   (run inside scripts/xsession.sh)
set -euo pipefail
window=0
if [ "${1:-}" = "--window" ]; then window=1; shift; fi
out=${1:?usage: demo.sh [--window] OUTPUT.png}
root="$(cd "$(dirname "$0")/.." && pwd)"
bin="$root/build/kaptivus2000"
tools="$root/build/tests/support"

wait_for() { # wait_for SECONDS COMMAND...
    local deadline=$((SECONDS + $1)); shift
    until "$@" >/dev/null 2>&1; do
        [ $SECONDS -lt $deadline ] || return 1
        sleep 0.05
    done
}

# A private settings folder, so the demonstration never touches the user's own.
state=$(mktemp -d "${TMPDIR:-/tmp}/kaptivus-demo.XXXXXX")
mkdir -p "$state/config" "$state/runtime" && chmod 700 "$state/runtime"
export XDG_CONFIG_HOME="$state/config" XDG_RUNTIME_DIR="$state/runtime"
pids=()
cleanup() { for p in "${pids[@]}"; do kill "$p" 2>/dev/null || true; done; wait 2>/dev/null || true; rm -rf "$state"; }
trap cleanup EXIT

# Something to capture: a couple of ordinary X programs.
xlogo -geometry 300x300+200+150 >/dev/null 2>&1 & pids+=($!)
xclock -geometry 240x240+700+200 >/dev/null 2>&1 & pids+=($!)
shown() { xdotool search --onlyvisible --name "^$1\$"; }
wait_for 20 shown xlogo && wait_for 20 shown xclock

"$bin" >"$state/agent.log" 2>&1 & agent=$!
pids+=($agent)
# The agent lists the hotkeys it holds on its "Kaptivus hotkeys" window.
hotkeys_ready() { xprop -name "Kaptivus hotkeys" _KAPTIVUS_HOTKEYS | grep -q '= [0-9]'; }
wait_for 20 hotkeys_ready || { echo "the agent did not start:" >&2; cat "$state/agent.log" >&2; exit 1; }

# A real key press on the key that carries Print.
"$tools/xpress" 0xff61
picture_shown() { xdotool search --onlyvisible --name '^Kaptivus 2000   v5\.10 complet'; }
wait_for 20 picture_shown || { echo "the picture window did not appear" >&2; exit 1; }
sleep 0.5 # let the window finish painting before the screenshot
if [ $window -eq 1 ]; then
    import -window "$(picture_shown | head -n 1)" "$out"
else
    import -window root "$out"
fi

kill -TERM "$agent"
wait "$agent" || true
