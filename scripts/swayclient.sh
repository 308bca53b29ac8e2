#!/usr/bin/env bash
# Runs a Wayland client of the session that scripts/swaysession.sh started, as
# the session's uid: under root a copy of the program goes to the session's
# stage folder (the program's own folder may be closed to that uid) and runs
# there through setpriv, with a private TMPDIR and XDG_CONFIG_HOME.
# With --agent FILE, FILE (the agent a test starts) is staged the same way and
# its path is exported as KAPTIVUS_AGENT.
# Usage: scripts/swayclient.sh [--agent FILE] PROGRAM [ARGS...]
set -u
agent=""
if [ "${1:-}" = "--agent" ]; then
    agent=$2
    shift 2
fi
[ $# -gt 0 ] || { echo "usage: $0 [--agent FILE] PROGRAM..." >&2; exit 2; }
export KAPTIVUS_AGENT="$agent"
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
    if [ -n "$agent" ]; then
        cp "$agent" "$dir/" && export KAPTIVUS_AGENT="$dir/$(basename "$agent")"
    fi
    chown -R "$KAPTIVUS_SWAY_UID:$KAPTIVUS_SWAY_UID" "$dir"
    cd "$dir" || exit 1 # the caller's folder may be closed to that uid too
    runas=(setpriv --reuid="$KAPTIVUS_SWAY_UID" --regid="$KAPTIVUS_SWAY_UID" --clear-groups --)
fi
TMPDIR="$dir/tmp" XDG_CONFIG_HOME="$dir/config" "${runas[@]}" "$program" "$@"
rc=$?
rm -rf "$dir"
exit $rc
