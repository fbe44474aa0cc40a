#!/usr/bin/env bash
# Builds the libFuzzer targets in build-fuzz/ (clang, address and undefined-
# behaviour sanitizers), writes their seed corpora with our own generators and
# runs each target briefly. Non-zero when a target finds a crash.
#
#   scripts/fuzz-smoke.sh              every target, 20000 runs or 10 s each
#   QH_FUZZ_RUNS=200000 scripts/fuzz-smoke.sh fuzz_gif   one target, longer
set -euo pipefail
root="$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)"
build="$root/build-fuzz"
runs="${QH_FUZZ_RUNS:-20000}"
seconds="${QH_FUZZ_SECONDS:-10}"

if ! command -v clang++ >/dev/null; then
    echo "fuzz-smoke: clang++ not found" >&2
    exit 1
fi
if [ ! -f "$build/CMakeCache.txt" ]; then
    CC=clang CXX=clang++ cmake -S "$root" -B "$build" -G Ninja -DCMAKE_BUILD_TYPE=RelWithDebInfo \
        -DQH_FUZZ=ON -DQH_TESTS=OFF -DQH_BENCH=OFF >/dev/null
fi
cmake --build "$build" --target fuzz_all -j"$(nproc)"

list="$build/fuzz-targets.txt"
[ -s "$list" ] || { echo "fuzz-smoke: no fuzz targets" >&2; exit 0; }

seeds="$build/seeds"
rm -rf "$seeds"
mkdir -p "$seeds"
# Each seed generator once.
cut -f3 "$list" | sort -u | while read -r gen; do
    [ "$gen" = "-" ] || "$gen" "$seeds" >/dev/null
done

export ASAN_OPTIONS="${ASAN_OPTIONS:-detect_leaks=1:allocator_may_return_null=0}"
export UBSAN_OPTIONS="${UBSAN_OPTIONS:-halt_on_error=1:print_stacktrace=1}"
export QH_DIALOG_ANSWER=yes SDL_VIDEODRIVER=dummy SDL_AUDIODRIVER=dummy

failed=0
while IFS=$'\t' read -r name binary gen dict; do
    if [ $# -gt 0 ] && [[ " $* " != *" $name "* ]]; then
        continue
    fi
    corpus="$build/corpus/$name"
    mkdir -p "$corpus" "$seeds/$name" "$build/artifacts"
    log="$build/$name.log"
    # Fatal reports print their text on every refused input: keep them in the
    # log, not on the terminal.
    extra=()
    if [ -n "${dict:-}" ] && [ "$dict" != "-" ]; then
        extra+=(-dict="$dict")
    fi
    if "$binary" -runs="$runs" -max_total_time="$seconds" -rss_limit_mb=2048 -max_len=16384 "${extra[@]}" \
        -artifact_prefix="$build/artifacts/$name-" "$corpus" "$seeds/$name" >"$log" 2>&1; then
        echo "fuzz-smoke: $name ok ($(grep -Eo 'Done [0-9]+ runs' "$log" | tail -1))"
    else
        echo "fuzz-smoke: $name FAILED, see $log" >&2
        grep -E "ERROR|runtime error|SUMMARY|Test unit written" "$log" | head -20 >&2 || true
        failed=1
    fi
done <"$list"
exit $failed
