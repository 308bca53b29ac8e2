#!/bin/sh
# Runs one test command with fresh XDG_CONFIG_HOME, XDG_RUNTIME_DIR and TMPDIR.
d=$(mktemp -d "${TMPDIR:-/tmp}/kaptivus-test.XXXXXX") || exit 1
mkdir -p "$d/config" "$d/runtime" "$d/tmp" && chmod 700 "$d/runtime"
XDG_CONFIG_HOME="$d/config" XDG_RUNTIME_DIR="$d/runtime" TMPDIR="$d/tmp" "$@"
rc=$?
rm -rf "$d"
exit $rc
