#!/usr/bin/env bash
# Runs a Wayland client of the session that scripts/swaysession.sh started, as
# the session's uid: under root a copy of the program goes to the session's
# stage folder (the program's own folder may be closed to that uid) and runs
# there through setpriv, with a private TMPDIR and XDG_CONFIG_HOME.
# Usage: scripts/swayclient.sh PROGRAM [ARGS...]
set -u
[ $# -gt 0 ] || { echo "usage: $0 PROGRAM..." >&2; exit 2; }
# Outside a session (listing a test program's tests at build time) the program just runs.
[ -n "${KAPTIVUS_SWAY_STAGE:-}" ] || exec "$@"

dir=$(mktemp -d "$KAPTIVUS_SWAY_STAGE/client.XXXXXX") || exit 1
mkdir -p "$dir/tmp" "$dir/config"
program=$1
shift
runas=()
if [ -n "${KAPTIVUS_SWAY_UID:-}" ] && [ "$(id -u)" -eq 0 ]; then
    if [ -f "$program" ]; then
        cp "$program" "$dir/" && program="$dir/$(basename "$program")"
    fi
    chown -R "$KAPTIVUS_SWAY_UID:$KAPTIVUS_SWAY_UID" "$dir"
    cd "$dir" || exit 1 # the caller's folder may be closed to that uid too
    runas=(setpriv --reuid="$KAPTIVUS_SWAY_UID" --regid="$KAPTIVUS_SWAY_UID" --clear-groups --)
fi
TMPDIR="$dir/tmp" XDG_CONFIG_HOME="$dir/config" "${runas[@]}" "$program" "$@"
rc=$?
rm -rf "$dir"
exit $rc
