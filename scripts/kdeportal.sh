#!/usr/bin/env bash
# Runs a command beside the desktop portal with its KDE back-end, which serves
# GlobalShortcuts, and kglobalaccel, the KDE service that keeps the shortcuts,
# on a private D-Bus session bus. The back-end and kglobalaccel need no screen:
# the bus starts them with Qt's offscreen platform (only they see it; the
# command keeps its own). Meant to run inside scripts/swaysession.sh; under
# root everything runs as the session's uid, like the compositor.
# DBUS_SESSION_BUS_ADDRESS and XDG_CURRENT_DESKTOP are exported to the command;
# KAPTIVUS_PORTAL_LOG names the file where the bus and its services write.
# The bus and every service it started are always torn down.
# Usage: scripts/swaysession.sh scripts/kdeportal.sh COMMAND [ARGS...]
set -u
[ $# -gt 0 ] || { echo "usage: $0 COMMAND..." >&2; exit 2; }

runas=()
owner=$(id -u)
if [ -n "${KAPTIVUS_SWAY_UID:-}" ] && [ "$(id -u)" -eq 0 ]; then
    runas=(setpriv --reuid="$KAPTIVUS_SWAY_UID" --regid="$KAPTIVUS_SWAY_UID" --clear-groups --)
    owner=$KAPTIVUS_SWAY_UID
fi
# Beside the compositor's stage, where the session's uid can reach it.
work=$(mktemp -d "${KAPTIVUS_SWAY_STAGE:-/tmp}/kdeportal.XXXXXX") || exit 1
chmod 755 "$work"
mkdir -p "$work/home" "$work/config"
chown "$owner:$owner" "$work" "$work/home" "$work/config" 2>/dev/null
bus=""
cmd=""
# The processes the bus started, asked of the bus itself.
service_pids() {
    local name
    for name in org.freedesktop.portal.Desktop org.freedesktop.impl.portal.desktop.kde org.kde.kglobalaccel \
        org.freedesktop.impl.portal.PermissionStore org.freedesktop.portal.Documents \
        org.freedesktop.impl.portal.desktop.gtk org.a11y.Bus; do
        "${runas[@]}" dbus-send --session --print-reply=literal --reply-timeout=500 --dest=org.freedesktop.DBus \
            /org/freedesktop/DBus org.freedesktop.DBus.GetConnectionUnixProcessID "string:$name" 2>/dev/null |
            awk '{print $2}'
    done
}
cleanup() {
    local services=""
    if [ -n "$cmd" ]; then kill "$cmd" 2>/dev/null; wait "$cmd" 2>/dev/null; fi
    [ -n "$bus" ] && services=$(service_pids)
    for p in $services; do kill "$p" 2>/dev/null; done
    if [ -n "$bus" ]; then kill "$bus" 2>/dev/null; wait "$bus" 2>/dev/null; fi
    rm -rf "$work"
}
trap cleanup EXIT
trap 'exit 130' INT TERM

export DBUS_SESSION_BUS_ADDRESS="unix:path=$work/bus"
export XDG_CURRENT_DESKTOP=KDE
export KAPTIVUS_PORTAL_LOG="$work/bus.log"
# The services the bus starts inherit its environment: no screen of their own,
# and a home and settings folder of their own (kglobalaccel keeps the
# shortcuts in kglobalshortcutsrc there).
HOME="$work/home" XDG_CONFIG_HOME="$work/config" QT_QPA_PLATFORM=offscreen \
    "${runas[@]}" dbus-daemon --session --nofork --nopidfile --address="$DBUS_SESSION_BUS_ADDRESS" \
    >"$KAPTIVUS_PORTAL_LOG" 2>&1 &
bus=$!

# Ready when the portal declares GlobalShortcuts, which it does only once the
# KDE back-end has started and answered.
ready() {
    "${runas[@]}" dbus-send --session --print-reply --reply-timeout=5000 --dest=org.freedesktop.portal.Desktop \
        /org/freedesktop/portal/desktop org.freedesktop.DBus.Properties.Get \
        string:org.freedesktop.portal.GlobalShortcuts string:version >/dev/null 2>&1
}
deadline=$((SECONDS + 30))
until ready; do
    if [ $SECONDS -ge $deadline ] || ! kill -0 "$bus" 2>/dev/null; then
        echo "the desktop portal did not offer GlobalShortcuts:" >&2; cat "$KAPTIVUS_PORTAL_LOG" >&2; exit 1
    fi
    sleep 0.1
done

"$@" <&0 &
cmd=$!
wait "$cmd"
rc=$?
cmd=""
exit $rc
