# Sourced by the agent benchmarks: private settings, runtime and temporary
# folders under $work, removed (and the agent ended) when the script exits;
# `nap` waits a millisecond without starting a process.
work=$(mktemp -d "${TMPDIR:-/tmp}/kaptivus-bench.XXXXXX")
trap 'kill "${agent:-0}" 2>/dev/null || true; rm -rf "$work"' EXIT
export XDG_CONFIG_HOME=$work/config XDG_RUNTIME_DIR=$work/runtime TMPDIR=$work/tmp
mkdir -p "$XDG_CONFIG_HOME" "$XDG_RUNTIME_DIR" "$TMPDIR"
chmod 700 "$XDG_RUNTIME_DIR"
exec {nap_fd}<> <(:)
nap() { read -r -t "${1:-0.001}" -u "$nap_fd" || true; }
