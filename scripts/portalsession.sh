#!/usr/bin/env bash
# Runs a command beside the desktop portals, on a private D-Bus session bus:
# xdg-desktop-portal with its wlr back-end (Screenshot) and its gtk back-end
# (the permission question), their permission store, and pipewire, which the
# portal wants running. Meant to run inside scripts/swaysession.sh (it needs
# WAYLAND_DISPLAY); under root everything runs as the session's uid, like the
# compositor. DBUS_SESSION_BUS_ADDRESS and XDG_CURRENT_DESKTOP are exported to
# the command; the bus, the services it started and pipewire are always torn
# down, whatever the command does.
# Usage: scripts/swaysession.sh scripts/portalsession.sh COMMAND [ARGS...]
set -u
[ $# -gt 0 ] || { echo "usage: $0 COMMAND..." >&2; exit 2; }
[ -n "${WAYLAND_DISPLAY:-}" ] || { echo "$0: no WAYLAND_DISPLAY; run it inside scripts/swaysession.sh" >&2; exit 2; }

. "$(dirname "$0")/portalbus.sh"
bus_services=(org.freedesktop.portal.Desktop org.freedesktop.impl.portal.desktop.wlr
    org.freedesktop.impl.portal.desktop.gtk org.freedesktop.impl.portal.PermissionStore
    org.freedesktop.portal.Documents)

# The wlr back-end writes every picture to this one name; one left by another
# user would make each of its grabs fail.
if [ -e /tmp/out.png ] && [ "$(stat -c %u /tmp/out.png)" != "$owner" ]; then
    echo "$0: /tmp/out.png belongs to another user; the Screenshot portal cannot write there" >&2
    exit 1
fi

# Only the two back-ends this session is made of: another one installed on the
# machine (KDE's, say) would be started too, and fail without its desktop.
mkdir -p "$work/portals"
cp /usr/share/xdg-desktop-portal/portals/wlr.portal /usr/share/xdg-desktop-portal/portals/gtk.portal "$work/portals/"
export XDG_DESKTOP_PORTAL_DIR="$work/portals"
# The wlr back-end serves Screenshot and ScreenCast, the gtk one the access dialog.
export XDG_CURRENT_DESKTOP=sway:GNOME
export HOME="$work/home" GTK_USE_PORTAL=0 GDK_BACKEND=wayland NO_AT_BRIDGE=1 GTK_A11Y=none
bus_start
# pipewire once the bus listens, and the portals once pipewire does: the wlr
# back-end connects to pipewire as it starts and stalls the portal when it is
# not there yet.
bus_wait_until 10 "the private bus never listened" test -S "$work/bus"
"${runas[@]}" pipewire >"$work/pipewire.log" 2>&1 &
helper_pids+=($!)
bus_wait_until 10 "pipewire never listened" test -S "$XDG_RUNTIME_DIR/pipewire-0"

# Ready when the portal answers for its Screenshot interface (started on demand
# by the bus). The wlr back-end reads the bus only when its socket wakes it: a
# call that reached it while it was starting waits for the next message (the
# portal's own start then stalls for its 25-second limit), so each round
# sends it one first, which also starts it before the portal asks.
ready() {
    "${runas[@]}" dbus-send --session --print-reply --reply-timeout=1000 \
        --dest=org.freedesktop.impl.portal.desktop.wlr /org/freedesktop/portal/desktop org.freedesktop.DBus.Peer.Ping \
        >/dev/null 2>&1
    "${runas[@]}" dbus-send --session --print-reply --reply-timeout=1000 --dest=org.freedesktop.portal.Desktop \
        /org/freedesktop/portal/desktop org.freedesktop.DBus.Properties.Get \
        string:org.freedesktop.portal.Screenshot string:version >/dev/null 2>&1
}
bus_wait_until 20 "the desktop portal did not start" ready

bus_run "$@"
