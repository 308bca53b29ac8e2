# Sourced by the agent benchmarks: private settings, runtime and temporary
# folders under $work, removed (and the agent ended) when the script exits;
# `nap` waits a millisecond without starting a process. The helpers below
# start and stop the agent of $build and edit its settings file.
work=$(mktemp -d "${TMPDIR:-/tmp}/kaptivus-bench.XXXXXX")
trap 'kill "${agent:-0}" 2>/dev/null || true; rm -rf "$work"' EXIT
export XDG_CONFIG_HOME=$work/config XDG_RUNTIME_DIR=$work/runtime TMPDIR=$work/tmp
mkdir -p "$XDG_CONFIG_HOME" "$XDG_RUNTIME_DIR" "$TMPDIR"
chmod 700 "$XDG_RUNTIME_DIR"
exec {nap_fd}<> <(:)
nap() { read -r -t "${1:-0.001}" -u "$nap_fd" || true; }

settings=$XDG_CONFIG_HOME/Kaptivus2000/registry.reg
now() { date +%s%N; }
ms() { echo $(( ($2 - $1) / 1000000 )); }
median() { sort -n | awk '{a[NR]=$1} END {print a[int((NR+1)/2)]}'; }
wait_for() { # SECONDS COMMAND...
    local deadline=$((SECONDS + $1)); shift
    until "$@" >/dev/null 2>&1; do [ $SECONDS -lt $deadline ] || return 1; nap; done
}
holds_hotkeys() { xwininfo -root -tree | grep -q '"Kaptivus hotkeys"'; }
start_agent() { "$build/kaptivus2000" >/dev/null 2>&1 & agent=$!; wait_for 20 holds_hotkeys; sleep 0.5; }
stop_agent() { kill -TERM "$agent"; wait "$agent" || true; }
set_value() { sed -i "s|^\"$1\"=.*|\"$1\"=$2|" "$settings"; }
