#!/usr/bin/env bash
# Long-run check (not part of CI): plays the real program with random keys
# under Xvfb for a chosen time and reports crashes, sanitizer findings and
# the resident memory of each run at its start and end; before that, runs the
# score-file kill test with many rounds.
#
#   scripts/longrun.sh                      30 minutes on build/
#   scripts/longrun.sh --minutes 120 --build build-asan
#   scripts/longrun.sh --kill-rounds 0      skip the kill test
#
# Options:
#   --minutes N       time of random play (default 30)
#   --build DIR       build directory to test (default build; build-tsan and
#                     build-asan run with their sanitizer settings)
#   --kill-rounds N   SIGKILLs of the score writer (default 1000; 0 skips)
#   --seed N          seed of the random keys (default: from the clock)
#
# When the program ends by itself (Escape on the main menu, "Exit") it is
# started again; an exit status other than 0 counts as a crash, and its
# output is kept under <build>/e2e-artifacts/longrun/.
set -uo pipefail

ROOT=$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)
MINUTES=30
BUILD=$ROOT/build
KILL_ROUNDS=1000
SEED=$(date +%s)

while (($#)); do
    case $1 in
    --minutes) MINUTES=$2; shift 2 ;;
    --build) BUILD=$2; shift 2 ;;
    --kill-rounds) KILL_ROUNDS=$2; shift 2 ;;
    --seed) SEED=$2; shift 2 ;;
    -h | --help) sed -n '2,22p' "$0"; exit 0 ;;
    *) echo "longrun.sh: unknown argument $1" >&2; exit 2 ;;
    esac
done
case $BUILD in /*) ;; *) BUILD=$ROOT/$BUILD ;; esac
[[ -x $BUILD/run/vorlune ]] || { echo "longrun.sh: no program in $BUILD/run (build first)" >&2; exit 2; }

log() { printf '==> [longrun] %s\n' "$*"; }

# Sanitizer settings for sanitizer builds, as scripts/sanitize.sh uses them.
SLOW=1
if grep -q 'VORLUNE_SANITIZE:STRING=thread' "$BUILD/CMakeCache.txt" 2>/dev/null; then
    export TSAN_OPTIONS="halt_on_error=0 second_deadlock_stack=1 suppressions=$ROOT/tests/sanitizers/tsan.supp"
    SLOW=2
elif grep -q 'VORLUNE_SANITIZE:STRING=address' "$BUILD/CMakeCache.txt" 2>/dev/null; then
    export ASAN_OPTIONS="detect_leaks=1 verify_asan_link_order=0"
    export LSAN_OPTIONS="suppressions=$ROOT/tests/sanitizers/lsan.supp print_suppressions=0"
    export UBSAN_OPTIONS="print_stacktrace=1 halt_on_error=1"
    SLOW=2
fi
if ((SLOW > 1)); then
    cc -shared -fPIC -O2 -o "$BUILD/libvorlune_keep_loaded.so" "$ROOT/tests/sanitizers/keep_loaded.c" ||
        exit 1
    export VORLUNE_E2E_PRELOAD=$BUILD/libvorlune_keep_loaded.so
fi

status=0

# --- crash safety of the score file -------------------------------------------
if ((KILL_ROUNDS > 0)); then
    log "kill test: $KILL_ROUNDS SIGKILLs of a process rewriting Scores.txt"
    if VORLUNE_KILL_ROUNDS=$KILL_ROUNDS "$BUILD/tests/vorlune_persist_tests" \
        --gtest_filter='ScoreCrashTest.*' >"$BUILD/longrun-kill.log" 2>&1; then
        grep -E 'kills|rounds|OK \]' "$BUILD/longrun-kill.log" | head -n 5
        log "kill test passed"
    else
        tail -n 30 "$BUILD/longrun-kill.log"
        log "kill test FAILED"
        status=1
    fi
fi

# --- random play ---------------------------------------------------------------
export VORLUNE_BUILD_DIR=$BUILD VORLUNE_RUN_DIR=$BUILD/run VORLUNE_SOURCE_DIR=$ROOT
export VORLUNE_E2E_SLOW=$SLOW
# shellcheck source=tests/e2e/lib.sh
source "$ROOT/tests/e2e/lib.sh"
# shellcheck source=tests/e2e/reliability_lib.sh
source "$ROOT/tests/e2e/reliability_lib.sh"

e2e_init longrun
e2e_make_workdir
e2e_start_xvfb
RANDOM=$SEED
log "random play for $MINUTES min on $BUILD (seed $SEED)"

# Resident memory of the running game in KiB (the child of timeout(1)).
game_rss()
{
    local pid
    pid=$(pgrep -P "$E2E_GAME_PID" 2>/dev/null | head -n 1)
    [[ -n $pid ]] && awk '/^VmRSS:/ { print $2 }' "/proc/$pid/status" 2>/dev/null
}

KEYS=(w a s d Shift_L Up Down Left Right 105 Return space)
deadline=$((SECONDS + MINUTES * 60))
runs=0 crashes=0 normal_ends=0 actions=0
while ((SECONDS < deadline)); do
    runs=$((runs + 1))
    rel_start_game $((MINUTES * 60 + 300))
    e2e_wait_window "$(rel_secs 30)"
    sleep 2
    rss_start=$(game_rss)
    rss_last=$rss_start
    while e2e_game_running && ((SECONDS < deadline)); do
        # One to four keys held together for a moment; Escape now and then
        # (it leaves a game, and ends the program on the main menu).
        if ((RANDOM % 40 == 0)); then
            picked=(Escape)
        else
            picked=()
            for ((k = 0; k <= RANDOM % 4; k++)); do
                picked+=("${KEYS[RANDOM % ${#KEYS[@]}]}")
            done
        fi
        DISPLAY=$E2E_DISPLAY timeout 5 xdotool windowfocus "$E2E_WINDOW" 2>/dev/null
        DISPLAY=$E2E_DISPLAY timeout 5 xdotool keydown "${picked[@]}" 2>/dev/null
        sleep "0.$((RANDOM % 9 + 1))"
        DISPLAY=$E2E_DISPLAY timeout 5 xdotool keyup "${picked[@]}" 2>/dev/null
        actions=$((actions + 1))
        if ((actions % 50 == 0)); then
            rss=$(game_rss)
            [[ -n $rss ]] && rss_last=$rss
        fi
    done
    hung=0
    if e2e_game_running; then
        # Time is up: end this run the way a player would, with Escape.
        rss=$(game_rss)
        [[ -n $rss ]] && rss_last=$rss
        # Return first: it confirms a name entry, where Escape does nothing.
        for ((i = 0; i < 60 * SLOW; i++)); do
            e2e_game_running || break
            DISPLAY=$E2E_DISPLAY timeout 5 xdotool windowfocus "$E2E_WINDOW" 2>/dev/null
            DISPLAY=$E2E_DISPLAY timeout 5 xdotool keydown Return 2>/dev/null
            sleep 0.2
            DISPLAY=$E2E_DISPLAY timeout 5 xdotool keyup Return key Escape 2>/dev/null
            sleep 1
        done
        if e2e_game_running; then
            hung=1
            e2e_screenshot "hung-run-$runs" >/dev/null
            e2e_stop_game
        fi
    fi
    if ((hung)); then
        E2E_GAME_STATUS=hung
    else
        wait "$E2E_GAME_PID"
        E2E_GAME_STATUS=$?
        E2E_GAME_PID=""
    fi
    log "run $runs: exit status ${E2E_GAME_STATUS:-?}, resident memory ${rss_start:-?} KiB at start, ${rss_last:-?} KiB at end"
    if [[ ${E2E_GAME_STATUS:-1} == 0 ]]; then
        normal_ends=$((normal_ends + 1))
    else
        crashes=$((crashes + 1))
        cp "$E2E_GAME_LOG" "$E2E_ARTIFACTS/crash-run-$runs.log" 2>/dev/null
    fi
done

findings=$(grep -rhoE 'WARNING: ThreadSanitizer|ERROR: AddressSanitizer|ERROR: LeakSanitizer|runtime error:' \
    "$E2E_ARTIFACTS" 2>/dev/null | wc -l)
log "summary: $runs runs, $actions key actions, $normal_ends ended normally, $crashes crashed, $findings sanitizer findings"
log "artifacts: $E2E_ARTIFACTS"
if ((crashes > 0 || findings > 0)); then
    status=1
fi
exit "$status"
