#!/usr/bin/env bash
# A fuzzing campaign: builds every libFuzzer target with clang-14, AddressSanitizer
# and UndefinedBehaviorSanitizer into build-fuzz/, runs each in turn, and prints
# how many inputs each target ran and how many of them crashed. The test suite
# runs only the stored seeds and a fixed batch of their mutations.
#   scripts/fuzz.sh [SECONDS] [TARGET...]     each target for SECONDS (default 60)
#   scripts/fuzz.sh --runs N [TARGET...]      each target for N inputs
# TARGET is a name such as fuzz_bmp; none means every tests/fuzz/fuzz_*.cpp.
# The growing corpus lives in build-fuzz/corpus/TARGET (seeded from
# tests/fuzz/corpus/TARGET), crash inputs in build-fuzz/crashes/TARGET, the log
# in build-fuzz/logs/TARGET.log. Extra libFuzzer flags: FUZZ_FLAGS="-max_len=4096".
set -euo pipefail
cd "$(dirname "$0")/.."

limit=(-max_total_time=60)
if [ "${1:-}" = "--runs" ]; then
    limit=(-runs="${2:?--runs needs a count}")
    shift 2
elif [[ "${1:-}" =~ ^[0-9]+$ ]]; then
    limit=(-max_total_time="$1")
    shift
fi

# clang-14 and its runtimes (libFuzzer, the sanitizers) come from Debian.
packages=(clang-14 libclang-rt-14-dev)
installed=$(dpkg-query -W -f='${Status}\n' "${packages[@]}" 2>/dev/null | grep -c 'install ok installed' || true)
if [ "$installed" -ne ${#packages[@]} ]; then
    echo "Installing: ${packages[*]}"
    sudo=""
    [ "$(id -u)" -eq 0 ] || sudo=sudo
    $sudo env DEBIAN_FRONTEND=noninteractive apt-get update -qq
    $sudo env DEBIAN_FRONTEND=noninteractive apt-get install -y -qq --no-install-recommends "${packages[@]}" >/dev/null
fi

targets=("$@")
if [ ${#targets[@]} -eq 0 ]; then
    for src in tests/fuzz/fuzz_*.cpp; do targets+=("$(basename "$src" .cpp)"); done
fi

# The whole tree is configured with clang so that the project's own libraries
# are instrumented too; only the fuzz targets are built.
out=build-fuzz
if [ ! -f "$out/build.ninja" ]; then
    CC=clang-14 CXX=clang++-14 cmake -S . -B "$out" -G Ninja -DCMAKE_BUILD_TYPE=RelWithDebInfo \
        -DCMAKE_CXX_COMPILER=clang++-14 -DKAPTIVUS_FUZZ=ON -DKAPTIVUS_BENCH=OFF >/dev/null
fi
build_targets=()
for t in "${targets[@]}"; do build_targets+=(--target "$t"); done
cmake --build "$out" --parallel "$(nproc)" "${build_targets[@]}"

export ASAN_OPTIONS="${ASAN_OPTIONS:-abort_on_error=1:detect_leaks=1}"
export UBSAN_OPTIONS="${UBSAN_OPTIONS:-print_stacktrace=1:halt_on_error=1}"
summary=()
status=0
for t in "${targets[@]}"; do
    corpus="$out/corpus/$t" crashes="$out/crashes/$t" log="$out/logs/$t.log"
    mkdir -p "$corpus" "$crashes" "$(dirname "$log")"
    seeds=()
    [ -d "tests/fuzz/corpus/$t" ] && seeds=("tests/fuzz/corpus/$t")
    echo "== $t (${limit[*]})"
    set +e
    # shellcheck disable=SC2086 # FUZZ_FLAGS holds several flags
    "$out/tests/fuzz/$t" "${limit[@]}" -timeout=25 -print_final_stats=1 -artifact_prefix="$crashes/" \
        ${FUZZ_FLAGS:-} "$corpus" "${seeds[@]}" >"$log" 2>&1
    rc=$?
    set -e
    runs=$(sed -n 's/^stat::number_of_executed_units: *//p' "$log" | tail -n 1)
    found=$(find "$crashes" -type f \( -name 'crash-*' -o -name 'leak-*' -o -name 'timeout-*' -o -name 'oom-*' \) | wc -l)
    if [ $rc -ne 0 ] || [ "$found" -ne 0 ]; then status=1; fi
    summary+=("$(printf '%-18s %14s executions  %3s crashes  exit %s' "$t" "${runs:-?}" "$found" "$rc")")
done
echo
printf '%s\n' "${summary[@]}"
exit $status
