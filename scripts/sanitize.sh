#!/usr/bin/env bash
# Sanitizer runs: builds build-tsan (ThreadSanitizer) and build-asan
# (AddressSanitizer with UndefinedBehaviorSanitizer) and runs in each
#
#   thread:  the unit suites; the pad soak (real logic and graphics threads,
#            virtual joysticks, VORLUNE_SOAK_SECONDS, default 25 s); the
#            keyboard session of the real program under Xvfb (over 60 s)
#   address: the unit suites; the hostile-file tests and the keyboard
#            session of the real program under Xvfb (leaks checked at exit)
#
#   scripts/sanitize.sh                  both
#   scripts/sanitize.sh thread|address   one of them
#
# Exits non-zero when a build fails, a test fails or any sanitizer report
# appears. The unit suites run without any suppression; runs of the real
# program under Xvfb use tests/sanitizers/*.supp, which name only system
# libraries (each entry says why), and preload tests/sanitizers/keep_loaded.c
# so that reports inside libraries unloaded before exit stay readable.
set -uo pipefail

ROOT=$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)
JOBS=${JOBS:-2}
SOAK_SECONDS=${VORLUNE_SOAK_SECONDS:-25}
KINDS=("$@")
if ((${#KINDS[@]} == 0)); then
    KINDS=(thread address)
fi

log() { printf '==> [sanitize] %s\n' "$*"; }

# Runs of the program as an unprivileged user (the read-only file cases) must
# read the preloaded keeper and the suppressions wherever the clone is (root's
# home, say): copies of both in a folder every user can read.
SHARED=$(mktemp -d "${TMPDIR:-/tmp}/vorlune-sanitize.XXXXXX") || exit 1
trap 'rm -rf "$SHARED"' EXIT
chmod 755 "$SHARED"
cp "$ROOT"/tests/sanitizers/*.supp "$SHARED/" || exit 1
chmod 644 "$SHARED"/*.supp

results=()
failed=0
# Runs one stage: NAME COMMAND...; records its result and time and returns
# its status (later stages still run).
stage()
{
    local name=$1 start=$SECONDS status=0
    shift
    log "$name"
    "$@" || status=$?
    local took=$((SECONDS - start))
    if ((status == 0)); then
        results+=("$(printf '%-34s ok      %4d s' "$name" "$took")")
    else
        results+=("$(printf '%-34s FAILED  %4d s (status %d)' "$name" "$took" "$status")")
        failed=$((failed + 1))
    fi
    return "$status"
}

build_tree()
{
    local kind=$1 dir=$2
    mkdir -p "$dir"
    # -O1 with line tables: what the sanitizers' reports need, and a third
    # less compile time than -O2 with full debug information.
    cmake -S "$ROOT" -B "$dir" -DVORLUNE_SANITIZE="$kind" -DCMAKE_BUILD_TYPE=RelWithDebInfo \
        -DCMAKE_C_FLAGS_RELWITHDEBINFO="-O1 -g1 -DNDEBUG" -DCMAKE_CXX_FLAGS_RELWITHDEBINFO="-O1 -g1 -DNDEBUG" \
        >"$dir/configure.log" 2>&1 || { cat "$dir/configure.log"; return 1; }
    cmake --build "$dir" -j "$JOBS" >"$dir/build.log" 2>&1 || { tail -n 60 "$dir/build.log"; return 1; }
    # The test-only dlclose keeper, preloaded into the real program below.
    cc -shared -fPIC -O2 -Wall -Wextra -o "$dir/libvorlune_keep_loaded.so" \
        "$ROOT/tests/sanitizers/keep_loaded.c"
}

# Counts sanitizer reports in the given files and directories; prints them.
count_reports()
{
    local n
    n=$(grep -rhoE 'WARNING: ThreadSanitizer|ERROR: AddressSanitizer|ERROR: LeakSanitizer|runtime error:' \
        "$@" 2>/dev/null | wc -l)
    echo "$n"
}

unit_suites()
{
    local dir=$1
    rm -rf "$dir/Testing/Temporary"
    ctest --test-dir "$dir" -LE e2e -j "$JOBS" --output-on-failure >"$dir/unit.log" 2>&1
    local status=$?
    grep -E 'tests passed|tests failed|\(Failed\)|\(SEGFAULT\)|\(Subprocess aborted\)|Timeout' "$dir/unit.log"
    local reports
    reports=$(count_reports "$dir/Testing/Temporary")
    log "sanitizer reports in the unit suites of $dir: $reports"
    ((status == 0 && reports == 0))
}

soak()
{
    local dir=$1 log=$1/soak.log
    VORLUNE_SOAK_SECONDS=$SOAK_SECONDS VORLUNE_RUN_DIR=$dir/run \
        "$dir/tests/vorlune_input_tests" --gtest_filter='PadSoak.*' >"$log" 2>&1
    local status=$?
    grep -E '^\[soak\]|OK \]|FAILED' "$log"
    local reports
    reports=$(count_reports "$log")
    log "sanitizer reports in the soak: $reports"
    ((status == 0 && reports == 0))
}

# Runs end-to-end scripts against the build DIR with the sanitizer
# environment of its kind.
e2e_scripts()
{
    local dir=$1
    shift
    local script status=0 artifacts=$dir/e2e-artifacts
    local keeper
    keeper=$SHARED/$(basename "$dir")-keep_loaded.so
    cp "$dir/libvorlune_keep_loaded.so" "$keeper" && chmod 755 "$keeper" || return 1
    rm -rf "$artifacts"
    for script in "$@"; do
        VORLUNE_BUILD_DIR=$dir VORLUNE_RUN_DIR=$dir/run VORLUNE_SOURCE_DIR=$ROOT \
            VORLUNE_E2E_PRELOAD=$keeper VORLUNE_E2E_SLOW=2 \
            bash "$ROOT/tests/e2e/$script" || status=1
    done
    local reports
    reports=$(count_reports "$artifacts")
    log "sanitizer reports in the runs of the program: $reports"
    ((status == 0 && reports == 0))
}

run_thread()
{
    local dir=$ROOT/build-tsan
    stage "thread: build" build_tree thread "$dir" || return 0
    export TSAN_OPTIONS="halt_on_error=0 second_deadlock_stack=1 history_size=4"
    stage "thread: unit suites" unit_suites "$dir" || true
    stage "thread: pad soak (${SOAK_SECONDS} s)" soak "$dir" || true
    TSAN_OPTIONS="$TSAN_OPTIONS suppressions=$SHARED/tsan.supp" \
        stage "thread: session under Xvfb" e2e_scripts "$dir" test_session.sh || true
    unset TSAN_OPTIONS
}

run_address()
{
    local dir=$ROOT/build-asan
    stage "address: build" build_tree address "$dir" || return 0
    export ASAN_OPTIONS="detect_leaks=1 detect_stack_use_after_return=1"
    export UBSAN_OPTIONS="print_stacktrace=1 halt_on_error=1"
    stage "address: unit suites" unit_suites "$dir" || true
    # The preloaded keeper comes before the sanitizer's runtime.
    ASAN_OPTIONS="$ASAN_OPTIONS verify_asan_link_order=0" \
        LSAN_OPTIONS="suppressions=$SHARED/lsan.supp print_suppressions=0" \
        stage "address: hostile files and session" e2e_scripts "$dir" \
        test_hostile_settings.sh test_hostile_scores.sh test_hostile_media.sh test_session.sh || true
    unset ASAN_OPTIONS UBSAN_OPTIONS
}

started=$SECONDS
for kind in "${KINDS[@]}"; do
    case $kind in
    thread) run_thread ;;
    address) run_address ;;
    *)
        echo "sanitize.sh: unknown kind $kind (thread or address)" >&2
        exit 2
        ;;
    esac
done

log "summary ($((SECONDS - started)) s)"
printf '    %s\n' "${results[@]}"
if ((failed > 0)); then
    log "$failed stage(s) failed"
    exit 1
fi
log "all sanitizer stages passed with no report"
