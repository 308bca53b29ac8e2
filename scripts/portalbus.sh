# Sourced by scripts/portalsession.sh and scripts/kdeportal.sh: a private D-Bus
# session bus in a folder of its own, owned by the compositor's uid when run as
# root (the services run as that uid, like the compositor), torn down with
# every service it started and every helper in helper_pids, whatever happens.
# The sourcing script sets bus_services (the names whose processes are
# stopped), then calls bus_start, waits with bus_wait_until and ends with
# bus_run.

runas=()
owner=$(id -u)
if [ -n "${KAPTIVUS_SWAY_UID:-}" ] && [ "$(id -u)" -eq 0 ]; then
    runas=(setpriv --reuid="$KAPTIVUS_SWAY_UID" --regid="$KAPTIVUS_SWAY_UID" --clear-groups --)
    owner=$KAPTIVUS_SWAY_UID
fi
# Beside the compositor's stage, where the session's uid can reach it.
work=$(mktemp -d "${KAPTIVUS_SWAY_STAGE:-/tmp}/$(basename "$0" .sh).XXXXXX") || exit 1
chmod 755 "$work"
mkdir -p "$work/home" "$work/config"
chown "$owner:$owner" "$work" "$work/home" "$work/config" 2>/dev/null
export DBUS_SESSION_BUS_ADDRESS="unix:path=$work/bus"
bus_log="$work/bus.log"
bus_services=()
helper_pids=()
bus=""
cmd=""

# The processes the bus started, asked of the bus itself.
bus_service_pids() {
    local name
    for name in "${bus_services[@]}"; do
        "${runas[@]}" dbus-send --session --print-reply=literal --reply-timeout=500 --dest=org.freedesktop.DBus \
            /org/freedesktop/DBus org.freedesktop.DBus.GetConnectionUnixProcessID "string:$name" 2>/dev/null |
            awk '{print $2}'
    done
}
bus_cleanup() {
    local services="" p
    if [ -n "$cmd" ]; then kill "$cmd" 2>/dev/null; wait "$cmd" 2>/dev/null; fi
    [ -n "$bus" ] && services=$(bus_service_pids)
    for p in $services; do kill "$p" 2>/dev/null; done
    if [ -n "$bus" ]; then kill "$bus" 2>/dev/null; wait "$bus" 2>/dev/null; fi
    for p in "${helper_pids[@]}"; do kill "$p" 2>/dev/null; wait "$p" 2>/dev/null; done
    rm -rf "$work"
}
trap bus_cleanup EXIT
trap 'exit 130' INT TERM

# The bus, with the environment given as NAME=VALUE words (the services it
# starts inherit it); its services write to $bus_log.
bus_start() {
    env "$@" "${runas[@]}" dbus-daemon --session --nofork --nopidfile --address="$DBUS_SESSION_BUS_ADDRESS" \
        >"$bus_log" 2>&1 &
    bus=$!
}

# Polls COMMAND until it succeeds; after SECONDS, or when the bus has gone,
# prints WHAT and the logs and exits.
bus_wait_until() {
    local seconds=$1 what=$2
    shift 2
    local deadline=$((SECONDS + seconds))
    until "$@"; do
        if [ $SECONDS -ge $deadline ] || ! kill -0 "$bus" 2>/dev/null; then
            echo "$what:" >&2
            cat "$work"/*.log >&2
            exit 1
        fi
        sleep 0.05
    done
}

# Runs the command with the terminal's input and exits with its status.
bus_run() {
    "$@" <&0 &
    cmd=$!
    wait "$cmd"
    local rc=$?
    cmd=""
    exit $rc
}
