#!/usr/bin/env bash
# Print Screen press to a complete numbered file on disk, timed against
# ImageMagick's `import -window root` and scrot writing the same format, all in
# one run on the same screen. scrot writes JPEG at quality 100 like the agent;
# it has no GIF writer, so GIF is timed against import only. Our file appears by a rename, so it is complete
# the moment it exists. The agent's fixed 50 ms wait (menus and windows leaving
# the screen) is shown apart.
# Usage: scripts/xsession.sh bench/hotkey_save_vs_import.sh [BUILD_DIR] [ROUNDS]
set -eu
build=$(cd "${1:-build}" && pwd)
rounds=${2:-7}
. "$(dirname "$0")/agent_env.sh"
mkdir -p "$work/out"

# The agent writes its default settings once; then Print Screen is moved to
# action 102 (desktop to a numbered file) and the shutter sound is switched off.
start_agent
stop_agent
set_value HotKey0 dword:00000000
set_value IndexH0 dword:00000000
set_value HotKey1 dword:0000002c
set_value IndexH1 dword:00000001
set_value Sound dword:00000000
set_value AutoFolder "\"$work/out\""

# scrot's options for the same file as ours; an empty entry: scrot cannot write it.
declare -A scrot_args=([BMP]="" [JPG]="-q 100" [PNG]="" [GIF]=none)
row() { printf '%-5s %9s %13s %9s %9s %17s %16s\n' "$@"; }
row format "ours ms" "ours-50 ms" "import ms" "scrot ms" "(ours-50)/import" "(ours-50)/scrot"
for ext in BMP JPG GIF PNG; do
    lower=$(echo "$ext" | tr A-Z a-z)
    set_value DefaultExt "\".$ext\""
    rm -f "$work"/out/*
    start_agent
    ours=() imports=() scrots=()
    for ((n = 1; n <= rounds; n++)); do
        file=$work/out/MyPicture$n.$lower
        t0=$(now)
        "$build/tests/support/xpress" 0xff61
        wait_for 30 test -e "$file"
        ours+=("$(ms "$t0" "$(now)")")
        sleep 1.5 # the saved notice goes and the gate opens
        t0=$(now)
        import -window root "$work/import.$lower"
        imports+=("$(ms "$t0" "$(now)")")
        [ "${scrot_args[$ext]}" = none ] && continue
        rm -f "$work/scrot.$lower"
        t0=$(now)
        # shellcheck disable=SC2086 # the options are words
        scrot ${scrot_args[$ext]} "$work/scrot.$lower" 2>/dev/null || true
        scrots+=("$(ms "$t0" "$(now)")")
    done
    stop_agent
    o=$(printf '%s\n' "${ours[@]}" | median)
    i=$(printf '%s\n' "${imports[@]}" | median)
    s=n/a versus_scrot=n/a
    if [ -s "$work/scrot.$lower" ]; then
        s=$(printf '%s\n' "${scrots[@]}" | median)
        versus_scrot=$(awk -v o="$o" -v s="$s" 'BEGIN {printf "%.2f", (o - 50) / s}')
    fi
    ratio=$(awk -v o="$o" -v i="$i" 'BEGIN {printf "%.2f", (o - 50) / i}')
    row "$ext" "$o" "$((o - 50))" "$i" "$s" "$ratio" "$versus_scrot"
done
