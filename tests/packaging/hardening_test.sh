#!/usr/bin/env bash
# The program is built with the hardening a Debian package is expected to
# carry: a position-independent executable, relocations read-only and bound at
# start, a stack protector, and libc's checked functions in optimised builds.
# Usage: hardening_test.sh BINARY BUILD_TYPE SANITIZE(ON|OFF)
set -euo pipefail
bin=${1:?usage: hardening_test.sh BINARY BUILD_TYPE SANITIZE}
build_type=${2:-}
sanitize=${3:-OFF}
fail() { echo "FAIL: $*" >&2; exit 1; }
command -v readelf >/dev/null || { echo "SKIP: readelf (binutils) is not installed"; exit 77; }

header=$(readelf -hW "$bin")
segments=$(readelf -lW "$bin")
dynamic=$(readelf -dW "$bin")
symbols=$(readelf --dyn-syms -W "$bin")
# _FORTIFY_SOURCE needs optimisation and is left out of the sanitizer build.
fortified=yes
case "$build_type" in Release|RelWithDebInfo|MinSizeRel) ;; *) fortified=no ;; esac
[ "$sanitize" = ON ] && fortified=no

# Each row: what is checked, the text it is read from, the pattern that must be there.
failures=0
while IFS='|' read -r what source pattern; do
    [ "$what" = fortify ] && [ $fortified = no ] && { echo "not checked: $what ($build_type, sanitize $sanitize)"; continue; }
    if grep -Eq "$pattern" <<<"${!source}"; then
        echo "ok: $what"
    else
        echo "FAIL: $what: no /$pattern/ in readelf's $source" >&2
        failures=$((failures + 1))
    fi
done <<'ROWS'
position-independent executable|header|Type: +DYN
read-only relocations|segments|GNU_RELRO
bound at start|dynamic|\(BIND_NOW\)|FLAGS(_1)?\).*\bNOW\b
stack protector|symbols|__stack_chk_fail
fortify|symbols|__[a-z]+_chk@
ROWS
[ $failures -eq 0 ] || fail "$failures hardening properties missing from $bin"
echo "hardening: all properties present"
