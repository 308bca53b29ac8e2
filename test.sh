#!/usr/bin/env bash
# Installs what is missing, builds, and runs every test inside a private virtual X session.
#   ./test.sh             the whole suite
#   ./test.sh --sanitize  the same, built with AddressSanitizer and UndefinedBehaviorSanitizer into build-asan/
#   ./test.sh -R REGEX    only the tests whose names match (passed on to ctest)
set -euo pipefail
cd "$(dirname "$0")"
scripts/deps.sh test

builddir=build
if [ "${1:-}" = "--sanitize" ]; then
    shift
    builddir=build-asan
    cmake -S . -B "$builddir" -G Ninja -DCMAKE_BUILD_TYPE=Debug -DKAPTIVUS_SANITIZE=ON -DKAPTIVUS_BENCH=OFF >/dev/null
    export ASAN_OPTIONS=detect_leaks=0:abort_on_error=1 UBSAN_OPTIONS=print_stacktrace=1:halt_on_error=1
else
    werror=OFF
    [ -n "${CI:-}" ] && werror=ON
    [ -f build/build.ninja ] || cmake -S . -B build -G Ninja -DCMAKE_BUILD_TYPE=RelWithDebInfo -DKAPTIVUS_WERROR=$werror >/dev/null
fi
cmake --build "$builddir" --parallel "$(nproc)"

export KAPTIVUS_XREADY="$PWD/$builddir/tests/support/xready"
# Every test runs once: one that fails has a fault or a race to find. The X
# tests mostly wait (for an agent, a window, a file), so twice as many run as
# there are cores, each with an X session to itself. The Wayland tests run
# apart, beside a headless sway of their own; those that share that
# compositor take turns, the others bring a compositor of their own.
jobs=$((2 * $(nproc)))
status=0
scripts/xsession.sh --displays "$jobs" ctest --test-dir "$builddir" --output-on-failure --parallel "$jobs" \
    -LE 'wayland|portal|globalkeys' "$@" || status=$?
scripts/swaysession.sh ctest --test-dir "$builddir" --output-on-failure --parallel "$jobs" -L wayland "$@" || status=$?
# Global shortcuts: a sway session with the portal's KDE back-end and kglobalaccel on a private bus.
scripts/swaysession.sh scripts/kdeportal.sh ctest --test-dir "$builddir" --output-on-failure -L globalkeys "$@" \
    || status=$?
# The Screenshot portal's tests: a sway session with the desktop portals on a private bus.
scripts/swaysession.sh scripts/portalsession.sh ctest --test-dir "$builddir" --output-on-failure -L portal "$@" \
    || status=$?
exit $status
