#!/bin/sh
# Runs one test command with fresh XDG_CONFIG_HOME, XDG_RUNTIME_DIR and TMPDIR
# and, when scripts/xsession.sh started several X sessions, one of them to
# itself for as long as the command runs.
d=$(mktemp -d "${TMPDIR:-/tmp}/kaptivus-test.XXXXXX") || exit 1
mkdir -p "$d/config" "$d/runtime" "$d/tmp" && chmod 700 "$d/runtime"

# A display is taken by an exclusive lock on its file, held by this shell on
# descriptor 8 and closed for the command, so that a program the test leaves
# behind cannot keep the display from the next test. ctest never runs more
# tests at once than there are displays, so a free one is normally found at
# once; if not, the test waits for one in turn rather than share it.
if [ -n "${KAPTIVUS_DISPLAYS:-}" ] && [ -n "${KAPTIVUS_DISPLAY_LOCKS:-}" ]; then
    taken=""
    for x in $KAPTIVUS_DISPLAYS; do
        exec 8>"$KAPTIVUS_DISPLAY_LOCKS/display$x"
        if flock -n 8; then taken=$x; break; fi
        exec 8>&-
    done
    if [ -z "$taken" ]; then
        taken=${KAPTIVUS_DISPLAYS%% *}
        exec 8>"$KAPTIVUS_DISPLAY_LOCKS/display$taken"
        flock 8
    fi
    DISPLAY=$taken
    export DISPLAY
fi

XDG_CONFIG_HOME="$d/config" XDG_RUNTIME_DIR="$d/runtime" TMPDIR="$d/tmp" "$@" 8>&-
rc=$?
exec 8>&-
rm -rf "$d"
exit $rc
