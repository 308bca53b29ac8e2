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
    entry="$config/autostart/org.kaptivus.kaptivus2000.desktop"
    was=$(snapshot "$work/$name")

    out=$("$bin" --autostart on) || fail "$name: --autostart on failed"
    [ -f "$entry" ] || fail "$name: no entry at $entry"
    [[ $out == *"$entry"* ]] || fail "$name: the message does not name the entry: $out"
    desktop-file-validate "$entry" || fail "$name: the entry is not a valid desktop entry"
    grep -qx "Exec=$bin" "$entry" || fail "$name: the entry does not start $bin: $(grep Exec "$entry")"
    # Written in one step: nothing but the entry beside the folder's own files.
    extra=$(ls -A "$config/autostart" | grep -vx -e org.kaptivus.kaptivus2000.desktop -e other.desktop || true)
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

# The binary at odd paths: one holding % is written so that launchers run it
# (behind env); one a desktop entry cannot hold is refused with status 1 and a
# reason, and nothing is written.
export XDG_CONFIG_HOME="$work/odd-config"
entry="$XDG_CONFIG_HOME/autostart/org.kaptivus.kaptivus2000.desktop"
while IFS='|' read -r name folder rc reason; do
    folder=$(printf "$work/odd/$folder")
    mkdir -p "$folder"
    ln "$bin" "$folder/kaptivus2000" 2>/dev/null || cp "$bin" "$folder/kaptivus2000"
    set +e
    err=$("$folder/kaptivus2000" --autostart on 2>&1 >/dev/null); got=$?
    set -e
    [ $got -eq "$rc" ] || fail "$name: --autostart on exited with $got: $err"
    if [ "$rc" -eq 0 ]; then
        desktop-file-validate "$entry" || fail "$name: the entry is not a valid desktop entry"
        grep -qxF "Exec=$reason" "$entry" || fail "$name: $(grep Exec "$entry")"
        rm -f "$entry"
    else
        [[ $err == *"$reason"* ]] || fail "$name: no reason given: $err"
        [ ! -e "$entry" ] || fail "$name: an entry was written anyway"
    fi
done <<CASES
percent|100%%|0|/usr/bin/env $work/odd/100%%/kaptivus2000
not UTF-8|caf\\xe9|1|not UTF-8
control character|a\\001b|1|control characters
CASES

# A value other than on or off is refused with a reason and status 2.
set +e
err=$(XDG_CONFIG_HOME="$work/bad" "$bin" --autostart maybe 2>&1 >/dev/null); rc=$?
set -e
[ $rc -eq 2 ] || fail "--autostart maybe exited with $rc"
[[ $err == *"on or off"* ]] || fail "no reason given: $err"
[ ! -e "$work/bad" ] || fail "--autostart maybe wrote something"
echo "autostart on/off: all cases pass"
