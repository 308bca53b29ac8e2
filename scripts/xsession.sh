#!/usr/bin/env bash
# Runs a command inside private virtual X sessions: Xvfb, icewm as window
# manager and system-tray host, no D-Bus session bus (so Qt embeds its tray
# icon through XEMBED). The sessions are always torn down, whatever the command does.
# Usage: scripts/xsession.sh [--screen WxHxD] [--displays N] COMMAND [ARGS...]
# With --displays N there are N independent sessions: DISPLAY names the first,
# KAPTIVUS_DISPLAYS lists them all and KAPTIVUS_DISPLAY_LOCKS is the folder in
# which tests/isolated.sh takes one for each test, so that tests running side
# by side never share a pointer, a keyboard focus or a clipboard.
set -u
screen=1920x1080x24
count=1
while [ $# -gt 0 ]; do
    case "$1" in
        --screen) screen=$2; shift 2 ;;
        --displays) count=$2; shift 2 ;;
        *) break ;;
    esac
done
[ $# -gt 0 ] || { echo "usage: $0 [--screen WxHxD] [--displays N] COMMAND..." >&2; exit 2; }
[[ "$count" =~ ^[1-9][0-9]*$ ]] || { echo "--displays takes a positive number" >&2; exit 2; }

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

# A quiet configuration: no clock or mail check, tray shown, focus follows click.
write_icewm_preferences() {
    mkdir -p "$1"
    cat > "$1/preferences" <<'CFG'
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
}

# Every server is started before the first is waited for: they come up side by side.
for ((n=0; n<count; n++)); do
    mkdir -p "$work/$n"
    exec 9>"$work/$n/displayfd"
    Xvfb -displayfd 9 -screen 0 "$screen" -nolisten tcp -noreset +extension XTEST >"$work/$n/xvfb.log" 2>&1 &
    pids+=($!)
    exec 9>&-
done
displays=()
for ((n=0; n<count; n++)); do
    display_ready() { [ -s "$work/$n/displayfd" ] && grep -q '[0-9]' "$work/$n/displayfd"; }
    wait_for 20 display_ready || { echo "Xvfb did not start:" >&2; cat "$work/$n/xvfb.log" >&2; exit 1; }
    displays+=(":$(tr -dc 0-9 < "$work/$n/displayfd")")
done

unset DBUS_SESSION_BUS_ADDRESS WAYLAND_DISPLAY
for ((n=0; n<count; n++)); do
    write_icewm_preferences "$work/$n/icewm"
    DISPLAY=${displays[n]} ICEWM_PRIVCFG="$work/$n/icewm" icewm >"$work/$n/wm.log" 2>&1 &
    pids+=($!)
done

# Ready when the window manager's check window exists and the tray selection has an owner.
xready=${KAPTIVUS_XREADY:-$(dirname "$0")/../build/tests/support/xready}
if [ -x "$xready" ]; then
    for ((n=0; n<count; n++)); do
        DISPLAY=${displays[n]} "$xready" 20 || {
            echo "the window manager or tray host did not start:" >&2; cat "$work/$n/wm.log" >&2; exit 1; }
    done
fi

export DISPLAY=${displays[0]} ICEWM_PRIVCFG="$work/0/icewm"
if [ "$count" -gt 1 ]; then
    mkdir "$work/locks"
    export KAPTIVUS_DISPLAYS="${displays[*]}" KAPTIVUS_DISPLAY_LOCKS="$work/locks"
else
    unset KAPTIVUS_DISPLAYS KAPTIVUS_DISPLAY_LOCKS
fi

"$@"
