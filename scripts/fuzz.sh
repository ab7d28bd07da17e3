#!/usr/bin/env bash
# Builds the libFuzzer targets of the game's file readers (fuzz/) with clang
# and runs each one.
#
#   scripts/fuzz.sh                 short run: 20 s per target (CI)
#   scripts/fuzz.sh --time 3600     one hour per target
#   scripts/fuzz.sh --target scores --time 600
#
# Environment: VORLUNE_FUZZ_BUILD (build directory, default build-fuzz),
# VORLUNE_FUZZ_RSS_MB (memory limit per target, default 512), VORLUNE_FUZZ_JOBS
# (targets fuzzed at a time, default 2).
#
# Every target also gets the two hostile inputs that prove bounded memory: a
# single 100 MB line and a million short lines. Exits non-zero on any crash,
# sanitizer report, broken property, time-out or memory blow-up.
set -euo pipefail

ROOT="$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)"
BUILD="${VORLUNE_FUZZ_BUILD:-$ROOT/build-fuzz}"
case "$BUILD" in /*) ;; *) BUILD="$PWD/$BUILD" ;; esac
SECONDS_PER_TARGET=20
RSS_MB="${VORLUNE_FUZZ_RSS_MB:-512}"
MAX_LEN=262144
TARGETS=(textfile settings scores images sounds music)
ONLY=""

while [ $# -gt 0 ]; do
    case "$1" in
    --time) SECONDS_PER_TARGET="$2"; shift 2 ;;
    --target) ONLY="$2"; shift 2 ;;
    -h | --help) sed -n '2,15p' "$0"; exit 0 ;;
    *) echo "fuzz.sh: unknown argument $1" >&2; exit 2 ;;
    esac
done
if [ -n "$ONLY" ]; then
    TARGETS=("$ONLY")
fi

CC_BIN="${CC_FUZZ:-clang}"
CXX_BIN="${CXX_FUZZ:-clang++}"
if ! command -v "$CXX_BIN" > /dev/null; then
    echo "fuzz.sh: $CXX_BIN not found (Debian packages clang and libclang-rt-14-dev)" >&2
    exit 2
fi

echo "== building fuzz targets in $BUILD"
mkdir -p "$BUILD"
cmake -S "$ROOT/fuzz" -B "$BUILD" -DCMAKE_C_COMPILER="$CC_BIN" -DCMAKE_CXX_COMPILER="$CXX_BIN" \
    > "$BUILD/configure.log" 2>&1 || { cat "$BUILD/configure.log"; exit 1; }
cmake --build "$BUILD" -j2 > "$BUILD/build.log" 2>&1 || { tail -50 "$BUILD/build.log"; exit 1; }

# The hostile inputs, made once per build directory.
HOSTILE="$BUILD/hostile"
mkdir -p "$HOSTILE"
if [ ! -s "$HOSTILE/line-100mb.txt" ]; then
    dd if=/dev/zero bs=1048576 count=100 status=none | tr '\0' '7' > "$HOSTILE/line-100mb.txt"
fi
if [ ! -s "$HOSTILE/million-lines.txt" ]; then
    # Key and value lines of both files, so every reader stores what it reads.
    awk 'BEGIN { split("ScoreL1Name|A name|ScoreL1Score|12345|PadName|Some pad|Difficulty|3", k, "|");
                 for (i = 0; i < 1000000; i++) print k[i % 8 + 1] }' > "$HOSTILE/million-lines.txt"
fi

# Sanitizer reports end the run with a failing status; leaks are checked by
# libFuzzer itself after each input that allocated more than it freed.
# A small quarantine keeps the measured memory close to what the readers hold.
export ASAN_OPTIONS="detect_leaks=1:quarantine_size_mb=16"
export UBSAN_OPTIONS="print_stacktrace=1:halt_on_error=1"

# The targets make their scratch directories here.
export TMPDIR="$BUILD/tmp"
rm -rf "$TMPDIR"
mkdir -p "$TMPDIR"

# Fuzzes one target; prints its report and leaves its summary line in
# $BUILD/work/TARGET/summary. Returns non-zero when the target failed.
fuzz_target()
{
    local t=$1
    local bin="$BUILD/fuzz_$t" work="$BUILD/work/$t" artifacts="$BUILD/artifacts/$t"
    local log="$work/fuzz.log"

    echo "== fuzz_$t: hostile inputs"
    # Each target checks that its peak memory grows by at most 32 MiB while it
    # reads one of these (ReaderMemoryCheck in fuzz/fuzz_support.h).
    if ! "$bin" -detect_leaks=0 -rss_limit_mb=$((RSS_MB + 256)) -timeout=300 \
        "$HOSTILE/line-100mb.txt" "$HOSTILE/million-lines.txt" > "$work/hostile.log" 2>&1; then
        tail -40 "$work/hostile.log"
        echo "fuzz_$t: FAILED on the hostile inputs"
        echo "$t: hostile inputs FAILED" > "$work/summary"
        return 1
    fi

    echo "== fuzz_$t: ${SECONDS_PER_TARGET} s"
    # Absolute paths only: the targets work in a scratch directory of their own.
    if "$bin" -max_total_time="$SECONDS_PER_TARGET" -rss_limit_mb="$RSS_MB" -max_len="$MAX_LEN" \
        -timeout=30 -print_final_stats=1 -artifact_prefix="$artifacts/" \
        "$work/corpus" "$ROOT/fuzz/corpus/$t" > "$log" 2>&1; then
        local runs rss
        runs=$(sed -n 's/^stat::number_of_executed_units: *//p' "$log" | tail -1)
        rss=$(sed -n 's/^stat::peak_rss_mb: *//p' "$log" | tail -1)
        echo "fuzz_$t: ${runs:-?} runs, peak ${rss:-?} MB, no crash"
        echo "$t: ${runs:-?} runs, peak RSS ${rss:-?} MB, 0 crashes" > "$work/summary"
    else
        grep -E -A30 'ERROR|runtime error|property broken|Test unit written' "$log" | head -60 || tail -40 "$log"
        echo "fuzz_$t: FAILED (artifacts in $artifacts)"
        echo "$t: FAILED" > "$work/summary"
        return 1
    fi
}

# libFuzzer keeps one core busy per target: as many targets at a time as
# there are cores to share (VORLUNE_FUZZ_JOBS, default 2), each for its full
# time; their reports are printed in order.
JOBS="${VORLUNE_FUZZ_JOBS:-2}"
failures=0
summary=()
for ((first = 0; first < ${#TARGETS[@]}; first += JOBS)); do
    batch=("${TARGETS[@]:first:JOBS}")
    pids=()
    for t in "${batch[@]}"; do
        mkdir -p "$BUILD/work/$t/corpus" "$BUILD/artifacts/$t"
        rm -f "$BUILD/work/$t/summary"
        fuzz_target "$t" > "$BUILD/work/$t/report" 2>&1 &
        pids+=($!)
    done
    for i in "${!batch[@]}"; do
        t=${batch[$i]}
        wait "${pids[$i]}" || failures=$((failures + 1))
        cat "$BUILD/work/$t/report"
        summary+=("$(cat "$BUILD/work/$t/summary" 2>/dev/null || echo "$t: FAILED (no report)")")
    done
done

echo "== fuzz summary"
printf '%s\n' "${summary[@]}"
if [ "$failures" -ne 0 ]; then
    echo "fuzz.sh: $failures target(s) failed"
    exit 1
fi
echo "fuzz.sh: all targets passed"
