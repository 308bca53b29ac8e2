#!/usr/bin/env bash
# Long runs of the real agent in a private X session, with their figures:
#  1. 10,000 clipboard-route hotkey presses in a row: answered presses, the
#     agent alive, resident memory before and after;
#  2. 20 simultaneous starts: how many agents are left;
#  3. 100 SIGKILLs of the agent while it writes its settings: the settings
#     file reads back whole every time.
# Not part of ./test.sh. Usage: scripts/soak.sh [PRESSES] [BUILD_DIR]
set -u
root=$(cd "$(dirname "$0")/.." && pwd)
presses=${1:-10000}
build=${2:-$root/build}

if [ "${KAPTIVUS_SOAK_INSIDE:-}" != 1 ]; then
    cmake --build "$build" -j2 --target kaptivus2000 xsoak xready >/dev/null || exit 1
    KAPTIVUS_SOAK_INSIDE=1 KAPTIVUS_XREADY="$build/tests/support/xready" \
        exec "$root/scripts/xsession.sh" --screen 640x480x24 "$0" "$presses" "$build"
fi

agent_bin=$build/kaptivus2000
failed=0
fail() { echo "FAIL: $*"; failed=1; }

fresh_home() { # a private settings, runtime and temp folder set
    home=$(mktemp -d "${TMPDIR:-/tmp}/kaptivus-soak.XXXXXX")
    mkdir -p "$home/config" "$home/runtime" "$home/tmp" && chmod 700 "$home/runtime"
    export XDG_CONFIG_HOME=$home/config XDG_RUNTIME_DIR=$home/runtime TMPDIR=$home/tmp
    settings=$XDG_CONFIG_HOME/Kaptivus2000/registry.reg
}

hotkeys_held() { # the ids the running agent announces
    xprop -name "Kaptivus hotkeys" _KAPTIVUS_HOTKEYS 2>/dev/null | grep -q "= .*$1"
}

wait_for() { # wait_for SECONDS COMMAND...
    local deadline=$((SECONDS + $1)); shift
    until "$@"; do
        [ $SECONDS -lt $deadline ] || return 1
        sleep 0.02
    done
}

rss_kib() { awk '/^VmRSS/ {print $2}' "/proc/$1/status"; }

alive() { kill -0 "$1" 2>/dev/null; }

gone() { ! alive "$1"; }

# A settings file that reads back whole: the header, the key and its 127 values, nothing kept aside.
settings_whole() {
    [ -f "$settings" ] || return 1
    head -1 "$settings" | tr -d '\r' | grep -qx 'Windows Registry Editor Version 5.00' || return 1
    [ "$(grep -c '^"' "$settings")" -eq 127 ] || return 1
    ! ls "$settings".bad* >/dev/null 2>&1
}

echo "== 1. $presses clipboard-route presses (action 103 on F9, 640x480 desktop)"
fresh_home
"$agent_bin" & pid=$!
wait_for 20 hotkeys_held 101 || fail "the agent did not start"
kill -TERM $pid; wait $pid
sed -i -e 's/^"HotKey2"=dword:.*/"HotKey2"=dword:00000078/' -e 's/^"IndexH2"=dword:.*/"IndexH2"=dword:0000000a/' \
    -e 's/^"Sound"=dword:.*/"Sound"=dword:00000000/' "$settings"
"$agent_bin" & pid=$!
wait_for 20 hotkeys_held 103 || fail "action 103 is not held"
"$build/tests/support/xsoak" 0xffc6 200 30 >/dev/null
rss_before=$(rss_kib $pid)
start=$SECONDS
result=$("$build/tests/support/xsoak" 0xffc6 "$presses" 30)
took=$((SECONDS - start))
alive $pid || fail "the agent died during the presses"
rss_after=$(rss_kib $pid)
growth=$((rss_after - rss_before))
echo "$result in ${took}s (unanswered: refused by the gate while the previous capture ran)"
echo "resident memory ${rss_before} KiB -> ${rss_after} KiB (growth ${growth} KiB)"
[ "$growth" -lt 5120 ] || fail "resident memory grew by ${growth} KiB"
kill -TERM $pid; wait $pid; echo "agent exit code $?"

echo "== 2. 20 simultaneous starts"
fresh_home
pids=()
for i in $(seq 20); do "$agent_bin" & pids+=($!); done
wait_for 30 hotkeys_held 101 || fail "no agent came up"
count_alive() { local n=0; for p in "${pids[@]}"; do alive "$p" && n=$((n + 1)); done; echo $n; }
one_left() { [ "$(count_alive)" -eq 1 ]; }
wait_for 30 one_left
left=$(count_alive)
echo "agents left running: $left"
[ "$left" -eq 1 ] || fail "$left agents are running"
for p in "${pids[@]}"; do
    if alive "$p"; then kill -TERM "$p"; wait "$p"; else wait "$p" || fail "a second start exited with $?"; fi
done

echo "== 3. 100 SIGKILLs while the settings are written"
fresh_home
"$agent_bin" & pid=$!
wait_for 20 hotkeys_held 101 || fail "the agent did not start"
kill -TERM $pid; wait $pid
whole=0
for i in $(seq 100); do
    "$agent_bin" & pid=$!
    wait_for 20 hotkeys_held 101 || { fail "start $i did not come up"; kill -KILL $pid; wait $pid; continue; }
    # Quitting writes every setting; the kill lands somewhere in that write (0-15 ms).
    kill -TERM $pid
    sleep "0.0$((RANDOM % 16))"
    kill -KILL $pid 2>/dev/null
    wait $pid 2>/dev/null
    wait_for 5 gone $pid
    if settings_whole; then whole=$((whole + 1)); else fail "kill $i left a broken settings file"; cp "$settings" "$home/broken.$i" 2>/dev/null; fi
done
echo "settings file whole after $whole of 100 kills"

[ $failed -eq 0 ] && echo "SOAK PASSED" || echo "SOAK FAILED"
exit $failed
