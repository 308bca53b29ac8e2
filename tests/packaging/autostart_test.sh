#!/usr/bin/env bash
# --autostart on then off leaves the user's autostart folder exactly as it was,
# the entry in between is a valid desktop entry that starts this binary, and no
# display is needed. Usage: autostart_test.sh KAPTIVUS_BINARY
set -euo pipefail
bin=$(readlink -f "${1:?usage: autostart_test.sh BINARY}")
work=$(mktemp -d "${TMPDIR:-/tmp}/autostart.XXXXXX")
trap 'rm -rf "$work"' EXIT
unset DISPLAY WAYLAND_DISPLAY
fail() { echo "FAIL: $*" >&2; exit 1; }
# Names, modes, sizes and contents of everything under a folder.
snapshot() { (cd "$1" && find . -printf '%p %m %s\n' | sort && find . -type f -print0 | sort -z | xargs -0r md5sum); }

# Each case: a name, XDG_CONFIG_HOME (or "-" for unset), HOME, and how the
# folder looks beforehand: "other" = an autostart folder holding another
# program's entry, "none" = no configuration folder at all.
while read -r name xdg home before; do
    mkdir -p "$work/$name"
    export HOME="$work/$name/$home"
    if [ "$xdg" = - ]; then unset XDG_CONFIG_HOME; config="$HOME/.config"; else export XDG_CONFIG_HOME="$work/$name/$xdg"; config=$XDG_CONFIG_HOME; fi
    mkdir -p "$HOME"
    if [ "$before" = other ]; then
        mkdir -p "$config/autostart"
        printf '[Desktop Entry]\nType=Application\nName=Other\nExec=true\n' > "$config/autostart/other.desktop"
    fi
    entry="$config/autostart/kaptivus2000.desktop"
    was=$(snapshot "$work/$name")

    out=$("$bin" --autostart on) || fail "$name: --autostart on failed"
    [ -f "$entry" ] || fail "$name: no entry at $entry"
    [[ $out == *"$entry"* ]] || fail "$name: the message does not name the entry: $out"
    desktop-file-validate "$entry" || fail "$name: the entry is not a valid desktop entry"
    grep -qx "Exec=$bin" "$entry" || fail "$name: the entry does not start $bin: $(grep Exec "$entry")"
    # Written in one step: nothing but the entry beside the folder's own files.
    extra=$(ls -A "$config/autostart" | grep -vx -e kaptivus2000.desktop -e other.desktop || true)
    [ -z "$extra" ] || fail "$name: left behind: $extra"
    "$bin" --autostart=on >/dev/null || fail "$name: a second --autostart on failed"

    "$bin" --autostart off >/dev/null || fail "$name: --autostart off failed"
    [ ! -e "$entry" ] || fail "$name: the entry is still there"
    "$bin" --autostart off >/dev/null || fail "$name: --autostart off without an entry failed"
    if [ "$before" = other ]; then
        [ "$(snapshot "$work/$name")" = "$was" ] || fail "$name: the folder differs from before"
    fi
done <<'CASES'
existing-folder config home other
no-folder-yet config home none
home-only - home other
CASES

# A value other than on or off is refused with a reason and status 2.
set +e
err=$(XDG_CONFIG_HOME="$work/bad" "$bin" --autostart maybe 2>&1 >/dev/null); rc=$?
set -e
[ $rc -eq 2 ] || fail "--autostart maybe exited with $rc"
[[ $err == *"on or off"* ]] || fail "no reason given: $err"
[ ! -e "$work/bad" ] || fail "--autostart maybe wrote something"
echo "autostart on/off: all cases pass"
