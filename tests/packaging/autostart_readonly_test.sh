#!/usr/bin/env bash
# In a read-only autostart folder --autostart on and off fail with a clear
# message and a non-zero status, and the folder stays as it was.
# Usage: autostart_readonly_test.sh KAPTIVUS_BINARY
set -euo pipefail
bin=$(readlink -f "${1:?usage: autostart_readonly_test.sh BINARY}")
work=$(mktemp -d "${TMPDIR:-/tmp}/autostart-ro.XXXXXX")
chmod 755 "$work"
trap 'chmod -R u+w "$work" 2>/dev/null; rm -rf "$work"' EXIT
unset DISPLAY WAYLAND_DISPLAY
fail() { echo "FAIL: $*" >&2; exit 1; }

# "empty": the folder holds nothing, so "on" must fail; "holding": it holds our
# entry, so "off" must fail.
for state in empty holding; do
    export XDG_CONFIG_HOME="$work/$state"
    folder="$XDG_CONFIG_HOME/autostart"
    mkdir -p "$folder"
    printf '[Desktop Entry]\nType=Application\nName=Other\nExec=true\n' > "$folder/other.desktop"
    if [ $state = holding ]; then HOME="$work" "$bin" --autostart on >/dev/null; action=off; else action=on; fi
    listing=$(ls -la --time-style=+%s "$folder"; md5sum "$folder"/*)

    # Root writes through permission bits, so root sees the folder through a
    # read-only mount in a private namespace; anyone else through its mode.
    if [ "$(id -u)" -eq 0 ]; then
        if ! unshare -rm true 2>/dev/null; then
            echo "SKIP: running as root and no private mount namespace is available to make a read-only folder"
            exit 77
        fi
        run=(unshare -rm sh -c 'mount --bind "$1" "$1" && mount -o remount,bind,ro "$1" && shift && exec "$@"' sh "$folder")
    else
        chmod 555 "$folder"
        run=()
    fi
    set +e
    err=$("${run[@]}" "$bin" --autostart $action 2>&1 >/dev/null); rc=$?
    set -e
    chmod 755 "$folder"
    [ $rc -ne 0 ] || fail "$state: --autostart $action in a read-only folder reported success"
    [[ $err == *"$folder/"* && ( $err == *"Read-only file system"* || $err == *"Permission denied"* ) ]] \
        || fail "$state: unclear message: $err"
    [ "$(ls -la --time-style=+%s "$folder"; md5sum "$folder"/*)" = "$listing" ] || fail "$state: the folder changed"
    echo "$state: exit $rc: $err"
done
