#!/usr/bin/env bash
# Builds the libFuzzer targets (build-fuzz/, clang with AddressSanitizer and
# UndefinedBehaviorSanitizer) and runs each for a while on a copy of its seed
# corpus.
#
#   tools/fuzz.sh [SECONDS] [TARGET...]
#
# SECONDS per target, default 60 (CI: tools/fuzz.sh 20). Without TARGET
# names every tests/fuzz/fuzz_*.cpp target runs. Prints one line per target
# (executions, executions per second, crash file) and exits non-zero when any
# target found a crash. KESTROX_FUZZ_JOBS sets the build parallelism.
# KESTROX_FUZZ_RUNS=N stops each target after N executions instead, with
# SECONDS as its upper bound (a long run: KESTROX_FUZZ_RUNS=10000000
# tools/fuzz.sh 7200).
set -euo pipefail

here=$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)
seconds=${1:-60}
shift || true
jobs=${KESTROX_FUZZ_JOBS:-$(nproc 2>/dev/null || echo 2)}
runs=${KESTROX_FUZZ_RUNS:-}
build="$here/build-fuzz"

if ! [[ "$seconds" =~ ^[0-9]+$ ]] || [ "$seconds" -lt 1 ]; then
    echo "usage: $0 [SECONDS] [TARGET...]" >&2
    exit 2
fi
if [ -n "$runs" ] && { ! [[ "$runs" =~ ^[0-9]+$ ]] || [ "$runs" -lt 1 ]; }; then
    echo "KESTROX_FUZZ_RUNS must be a positive number of executions" >&2
    exit 2
fi
limit=(-max_total_time="$seconds")
bound="$seconds s per target"
if [ -n "$runs" ]; then
    limit+=(-runs="$runs")
    bound="$runs executions per target, at most $seconds s each"
fi

missing=()
for p in clang libclang-rt-14-dev cmake ninja-build; do
    dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q 'install ok installed' || missing+=("$p")
done
if [ ${#missing[@]} -gt 0 ]; then
    sudo=()
    [ "$(id -u)" -ne 0 ] && sudo=(sudo)
    echo "Installing: ${missing[*]}"
    "${sudo[@]}" apt-get update
    DEBIAN_FRONTEND=noninteractive "${sudo[@]}" apt-get install -y --no-install-recommends "${missing[@]}"
fi

cmake -S "$here" -B "$build" -G Ninja -DCMAKE_BUILD_TYPE=RelWithDebInfo \
    -DCMAKE_CXX_COMPILER=clang++ -DKESTROX_FUZZ=ON -DKESTROX_BUILD_TESTS=OFF >/dev/null
cmake --build "$build" -j "$jobs" --target fuzz_targets

targets=("$@")
if [ ${#targets[@]} -eq 0 ]; then
    for source in "$here"/tests/fuzz/fuzz_*.cpp; do
        targets+=("$(basename "$source" .cpp)")
    done
fi

export QT_QPA_PLATFORM=offscreen
# Qt keeps some allocations until exit on purpose; the suppressions are the tests' own.
export LSAN_OPTIONS="suppressions=$here/tests/lsan.supp:print_suppressions=0"
export UBSAN_OPTIONS="print_stacktrace=1:halt_on_error=1"

failed=0
crashed=0
summary=()
for target in "${targets[@]}"; do
    binary="$build/tests/fuzz/$target"
    if [ ! -x "$binary" ]; then
        echo "no such fuzz target: $target" >&2
        exit 2
    fi
    run="$build/fuzz-runs/$target"
    # A fresh copy each time: the repository's seeds are never written to.
    rm -rf "$run"
    mkdir -p "$run/corpus" "$run/artifacts"
    seeds="$here/tests/fuzz/corpus/${target#fuzz_}"
    if [ -d "$seeds" ]; then
        cp -r "$seeds"/. "$run/corpus/"
    fi
    echo "== $target: $bound"
    status=0
    "$binary" "${limit[@]}" -timeout=10 -print_final_stats=1 \
        -artifact_prefix="$run/artifacts/" "$run/corpus" >"$run/log" 2>&1 || status=$?
    executions=$(sed -n 's/^stat::number_of_executed_units: *//p' "$run/log" | tail -n 1)
    if [ -z "$executions" ]; then
        executions=$(grep -o '^#[0-9]*' "$run/log" | tail -n 1 | tr -d '#')
    fi
    executions=${executions:-0}
    elapsed=$(sed -n 's/.*Done [0-9]* runs in \([0-9]*\) second.*/\1/p' "$run/log" | tail -n 1)
    elapsed=${elapsed:-$seconds}
    [ "$elapsed" -gt 0 ] || elapsed=1
    rate=$((executions / elapsed))
    crash=$(find "$run/artifacts" -type f | head -n 1)
    if [ -n "$crash" ] || [ "$status" -ne 0 ]; then
        failed=1
        crashed=$((crashed + 1))
        crash=${crash:-"(exit status $status, see $run/log)"}
        grep -m 3 -E 'ERROR: |FUZZ ASSERTION|runtime error' "$run/log" | sed 's/^/    /' || true
    else
        crash=none
    fi
    short=
    if [ -n "$runs" ] && [ "$executions" -lt "$runs" ]; then
        short="  (time bound reached first)"
    fi
    summary+=("$(printf '%-22s %12s executions %6s s %8s exec/s  crash: %s%s' \
        "$target" "$executions" "$elapsed" "$rate" "$crash" "$short")")
    echo "${summary[-1]}"
done

echo
echo "Fuzzing summary ($bound):"
printf '%s\n' "${summary[@]}"
echo "fuzz: $((${#targets[@]} - crashed)) passed, $crashed failed"
exit "$failed"
