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

. "$(dirname "$0")/portalbus.sh"
bus_services=(org.freedesktop.portal.Desktop org.freedesktop.impl.portal.desktop.kde org.kde.kglobalaccel
    org.freedesktop.impl.portal.PermissionStore org.freedesktop.portal.Documents
    org.freedesktop.impl.portal.desktop.gtk org.a11y.Bus)

export XDG_CURRENT_DESKTOP=KDE
export KAPTIVUS_PORTAL_LOG="$bus_log"
# The services the bus starts inherit its environment: no screen of their own,
# and a home and settings folder of their own (kglobalaccel keeps the
# shortcuts in kglobalshortcutsrc there).
bus_start HOME="$work/home" XDG_CONFIG_HOME="$work/config" QT_QPA_PLATFORM=offscreen

# Ready when the portal declares GlobalShortcuts, which it does only once the
# KDE back-end has started and answered.
ready() {
    "${runas[@]}" dbus-send --session --print-reply --reply-timeout=5000 --dest=org.freedesktop.portal.Desktop \
        /org/freedesktop/portal/desktop org.freedesktop.DBus.Properties.Get \
        string:org.freedesktop.portal.GlobalShortcuts string:version >/dev/null 2>&1
}
bus_wait_until 30 "the desktop portal did not offer GlobalShortcuts" ready

bus_run "$@"
