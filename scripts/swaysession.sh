#!/usr/bin/env bash
# Runs a command beside a private headless sway: its own runtime folder (0700),
# no XWayland, one 1920x1080 output, WAYLAND_DISPLAY and SWAYSOCK exported. The
# compositor is always torn down, whatever the command does. sway refuses to run
# as root, so under root it runs as uid 65534; Wayland clients then go through
# scripts/swayclient.sh, which runs them as that uid too.
# Usage: scripts/swaysession.sh COMMAND [ARGS...]
set -u
[ $# -gt 0 ] || { echo "usage: $0 COMMAND..." >&2; exit 2; }

# Under /tmp rather than TMPDIR: the session's uid must be able to reach it.
work=$(mktemp -d /tmp/kaptivus-sway.XXXXXX)
chmod 755 "$work"
pid=""
cmd=""
cleanup() {
    if [ -n "$cmd" ]; then kill "$cmd" 2>/dev/null; wait "$cmd" 2>/dev/null; fi
    if [ -n "$pid" ]; then kill "$pid" 2>/dev/null; wait "$pid" 2>/dev/null; fi
    rm -rf "$work"
}
trap cleanup EXIT
trap 'exit 130' INT TERM

runas=()
if [ "$(id -u)" -eq 0 ]; then
    export KAPTIVUS_SWAY_UID=65534
    runas=(setpriv --reuid=65534 --regid=65534 --clear-groups --)
fi
runtime="$work/runtime"
export KAPTIVUS_SWAY_STAGE="$work/stage" # what the session's uid may run and write
mkdir -p "$runtime" "$KAPTIVUS_SWAY_STAGE" "$work/home"
chmod 700 "$runtime"
[ -n "${KAPTIVUS_SWAY_UID:-}" ] && chown "$KAPTIVUS_SWAY_UID:$KAPTIVUS_SWAY_UID" "$runtime" "$KAPTIVUS_SWAY_STAGE" "$work/home"

cat > "$work/config" <<'CFG'
xwayland disable
output HEADLESS-1 mode 1920x1080 position 0 0 scale 1 bg #203040 solid_color
default_border normal 2
focus_follows_mouse no
CFG
chmod 644 "$work/config"
# Tests that need a layout of their own start a private compositor from the same configuration.
cp "$work/config" "$KAPTIVUS_SWAY_STAGE/sway.config"
export KAPTIVUS_SWAY_CONFIG="$KAPTIVUS_SWAY_STAGE/sway.config"

unset DISPLAY WAYLAND_DISPLAY SWAYSOCK DBUS_SESSION_BUS_ADDRESS
export XDG_RUNTIME_DIR="$runtime" HOME="$work/home"
WLR_BACKENDS=headless WLR_LIBINPUT_NO_DEVICES=1 WLR_RENDERER=pixman \
    "${runas[@]}" sway -c "$work/config" >"$work/sway.log" 2>&1 &
pid=$!

# Ready when both sockets exist and the compositor answers on its IPC socket.
ready() {
    local sock
    local sock display
    sock=$(ls "$runtime"/sway-ipc.*.sock 2>/dev/null | head -n1)
    display=$(cd "$runtime" && ls wayland-[0-9]* 2>/dev/null | grep -v '\.lock$' | head -n1)
    [ -n "$sock" ] && [ -n "$display" ] || return 1
    SWAYSOCK="$sock" "${runas[@]}" swaymsg -t get_outputs >/dev/null 2>&1 || return 1
    export SWAYSOCK="$sock" WAYLAND_DISPLAY="$display"
}
deadline=$((SECONDS + 20))
until ready; do
    if [ $SECONDS -ge $deadline ] || ! kill -0 "$pid" 2>/dev/null; then
        echo "sway did not start:" >&2; cat "$work/sway.log" >&2; exit 1
    fi
    sleep 0.05
done

# In the background, so that a signal reaches the traps at once rather than
# after the command; its standard input stays the caller's.
"$@" <&0 &
cmd=$!
wait "$cmd"
rc=$?
cmd=""
exit $rc
