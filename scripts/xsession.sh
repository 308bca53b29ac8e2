#!/usr/bin/env bash
# Runs a command inside a private virtual X session: Xvfb, icewm as window
# manager and system-tray host, no D-Bus session bus (so Qt embeds its tray
# icon through XEMBED). The session is always torn down, whatever the command does.
# Usage: scripts/xsession.sh [--screen WxHxD] COMMAND [ARGS...]
set -u
screen=1920x1080x24
if [ "${1:-}" = "--screen" ]; then screen=$2; shift 2; fi
[ $# -gt 0 ] || { echo "usage: $0 [--screen WxHxD] COMMAND..." >&2; exit 2; }

work=$(mktemp -d "${TMPDIR:-/tmp}/kaptivus-x.XXXXXX")
pids=()
cleanup() {
    for ((i=${#pids[@]}-1; i>=0; i--)); do kill "${pids[i]}" 2>/dev/null; done
    for p in "${pids[@]}"; do wait "$p" 2>/dev/null; done
    rm -rf "$work"
}
trap cleanup EXIT
trap 'exit 130' INT TERM

wait_for() { # wait_for SECONDS COMMAND...: poll until the command succeeds
    local deadline=$((SECONDS + $1)); shift
    until "$@" >/dev/null 2>&1; do
        [ $SECONDS -lt $deadline ] || return 1
        sleep 0.05
    done
}

exec 9>"$work/displayfd"
Xvfb -displayfd 9 -screen 0 "$screen" -nolisten tcp -noreset +extension XTEST >"$work/xvfb.log" 2>&1 &
pids+=($!)
exec 9>&-
display_ready() { [ -s "$work/displayfd" ] && grep -q '[0-9]' "$work/displayfd"; }
wait_for 20 display_ready || { echo "Xvfb did not start:" >&2; cat "$work/xvfb.log" >&2; exit 1; }
export DISPLAY=":$(tr -dc 0-9 < "$work/displayfd")"

unset DBUS_SESSION_BUS_ADDRESS WAYLAND_DISPLAY
export ICEWM_PRIVCFG="$work/icewm"
mkdir -p "$ICEWM_PRIVCFG"
# A quiet configuration: no clock or mail check, tray shown, focus follows click.
cat > "$ICEWM_PRIVCFG/preferences" <<'CFG'
TaskBarShowClock=0
TaskBarShowMailboxStatus=0
TaskBarShowCPUStatus=0
TaskBarShowNetStatus=0
TaskBarShowMEMStatus=0
TaskBarShowTray=1
TaskBarEnableSystemTray=1
TaskBarShowWorkspaces=0
ShowWelcomeMessage=0
CFG
icewm >"$work/wm.log" 2>&1 &
pids+=($!)

# Ready when the window manager's check window exists and the tray selection has an owner.
xready=${KAPTIVUS_XREADY:-$(dirname "$0")/../build/tests/support/xready}
if [ -x "$xready" ]; then
    "$xready" 20 || { echo "the window manager or tray host did not start:" >&2; cat "$work/wm.log" >&2; exit 1; }
fi

"$@"
