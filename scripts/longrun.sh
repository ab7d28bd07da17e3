#!/usr/bin/env bash
# Long-run check (not part of CI): plays the real program with random keys
# under Xvfb for a chosen time and reports crashes, sanitizer findings and
# the resident memory of each run (at its start, at its end and its peak);
# before that, runs the score-file kill test with many rounds and a scripted
# game that is left alone while its squares grow.
#
#   scripts/longrun.sh                      30 minutes on build/
#   scripts/longrun.sh --minutes 120 --build build-asan
#   scripts/longrun.sh --kill-rounds 0      skip the kill test
#   VORLUNE_DRAWING_PATH=accelerated scripts/longrun.sh --build build-timing \
#       --minutes 0 --kill-rounds 0         the left-alone game alone, on the
#                                           accelerated path (timing builds)
#
# Options:
#   --minutes N       time of random play (default 30; 0 skips)
#   --build DIR       build directory to test (default build; build-tsan and
#                     build-asan run with their sanitizer settings)
#   --kill-rounds N   SIGKILLs of the score writer (default 1000; 0 skips)
#   --seed N          seed of the random keys (default: from the clock)
#   --rss-bound MB    a run whose resident memory ever exceeds this fails
#                     (default 300)
#   --left-alone N    seconds the scripted game is left alone (default 60;
#                     0 skips it)
#   --left-alone-bound MB   its bound (default 200)
#
# Resident memory is sampled four times a second by a sampler in the
# background (VmRSS and the kernel's high-water mark VmHWM from
# /proc/<pid>/status), so a spike between two key actions is seen.
#
# The scripted game: Tutorial off, four seconds of fire with left Shift while
# W, A, S, D sweep the crosshair, then no input while the squares left grow
# unshot. It fails when the memory passes its bound, the program ends, or
# the screenshots taken every ten seconds stop changing.
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
RSS_BOUND=300
LEFT_ALONE=60
LEFT_ALONE_BOUND=200

while (($#)); do
    case $1 in
    --minutes) MINUTES=$2; shift 2 ;;
    --build) BUILD=$2; shift 2 ;;
    --kill-rounds) KILL_ROUNDS=$2; shift 2 ;;
    --seed) SEED=$2; shift 2 ;;
    --rss-bound) RSS_BOUND=$2; shift 2 ;;
    --left-alone) LEFT_ALONE=$2; shift 2 ;;
    --left-alone-bound) LEFT_ALONE_BOUND=$2; shift 2 ;;
    -h | --help) sed -n '2,38p' "$0"; exit 0 ;;
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

# Resident memory of the running game in KiB (the child of timeout(1)).
game_rss()
{
    local pid
    pid=$(pgrep -P "$E2E_GAME_PID" 2>/dev/null | head -n 1)
    [[ -n $pid ]] && awk '/^VmRSS:/ { print $2 }' "/proc/$pid/status" 2>/dev/null
}

# Ends the running game like a player: Return (it confirms a name entry,
# where Escape does nothing), then Escape, until it exits; 1 when it hangs.
end_run()
{
    local i
    for ((i = 0; i < 60 * SLOW; i++)); do
        e2e_game_running || break
        DISPLAY=$E2E_DISPLAY timeout 5 xdotool windowfocus "$E2E_WINDOW" 2>/dev/null
        DISPLAY=$E2E_DISPLAY timeout 5 xdotool keydown Return 2>/dev/null
        sleep 0.2
        DISPLAY=$E2E_DISPLAY timeout 5 xdotool keyup Return key Escape 2>/dev/null
        sleep 1
    done
    if e2e_game_running; then
        e2e_screenshot "hung-$1" >/dev/null
        e2e_stop_game
        return 1
    fi
    return 0
}

# --- a game left alone -----------------------------------------------------------
left_alone()
{
    local pid samples peak shot previous changed=0 alive=1 t
    log "left alone: four seconds of fire and sweeps, then $LEFT_ALONE s without input (bound $LEFT_ALONE_BOUND MB)"
    e2e_set_setting Tutorial 0
    rel_start_game $((LEFT_ALONE * SLOW + 300))
    e2e_wait_window "$(rel_secs 30)"
    pid=$(rel_game_pid)
    [[ -n $pid ]] || { log "left alone: no game process"; return 1; }
    samples=$E2E_ARTIFACTS/left-alone-rss.txt
    rel_rss_start "$pid" "$samples"
    # Keyboard notice and start-up screens, then Start Game (left Shift).
    sleep 2
    rel_wait_main_menu "$(rel_secs 60)"
    rel_tap Shift_L
    sleep 1
    DISPLAY=$E2E_DISPLAY timeout 5 xdotool windowfocus "$E2E_WINDOW" 2>/dev/null
    DISPLAY=$E2E_DISPLAY timeout 5 xdotool keydown Shift_L 2>/dev/null
    for key in w a s d; do
        rel_hold 1 "$key"
    done
    DISPLAY=$E2E_DISPLAY timeout 5 xdotool keyup Shift_L 2>/dev/null
    e2e_keep "$(e2e_grab left-alone-fired)" left-alone-fired >/dev/null
    previous=""
    for ((t = 0; t < LEFT_ALONE; t += 10)); do
        sleep 10
        if ! e2e_game_running; then
            alive=0
            break
        fi
        shot=$(e2e_grab "left-alone-$t")
        e2e_keep "$shot" "left-alone-$t" >/dev/null
        if [[ -n $previous ]] && ! cmp -s "${previous%.xwd}.ppm" "${shot%.xwd}.ppm"; then
            changed=$((changed + 1))
        fi
        previous=$shot
    done
    peak=$(rel_rss_peak_mb "$samples")
    log "left alone: peak resident memory $peak MB over $(rel_rss_samples "$samples") samples, the picture changed $changed times"
    rel_rss_stop
    if ((alive)); then
        end_run left-alone || alive=0
        wait "$E2E_GAME_PID" 2>/dev/null
        E2E_GAME_PID=""
    fi
    if ((!alive)); then
        log "left alone FAILED: the program ended or hung"
        cp "$E2E_GAME_LOG" "$E2E_ARTIFACTS/left-alone.log" 2>/dev/null
        return 1
    fi
    if ((peak > LEFT_ALONE_BOUND)); then
        log "left alone FAILED: $peak MB is over $LEFT_ALONE_BOUND MB"
        return 1
    fi
    if ((changed == 0)); then
        log "left alone FAILED: the picture did not change"
        return 1
    fi
    log "left alone passed"
}

if ((LEFT_ALONE > 0)); then
    left_alone || status=1
    rm -rf -- "$E2E_WORKDIR"
    e2e_make_workdir
fi

RANDOM=$SEED
log "random play for $MINUTES min on $BUILD (seed $SEED)"

KEYS=(w a s d Shift_L Up Down Left Right 105 Return space)
deadline=$((SECONDS + MINUTES * 60))
runs=0 crashes=0 normal_ends=0 actions=0 over=0
peaks=()
while ((SECONDS < deadline)); do
    runs=$((runs + 1))
    rel_start_game $((MINUTES * 60 + 300))
    e2e_wait_window "$(rel_secs 30)"
    samples=$E2E_ARTIFACTS/rss-run-$runs.txt
    rel_rss_start "$(rel_game_pid)" "$samples"
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
        end_run "run-$runs" || hung=1
    fi
    if ((hung)); then
        E2E_GAME_STATUS=hung
    else
        wait "$E2E_GAME_PID"
        E2E_GAME_STATUS=$?
        E2E_GAME_PID=""
    fi
    rel_rss_stop
    peak=$(rel_rss_peak_mb "$samples")
    peaks+=("$peak")
    log "run $runs: exit status ${E2E_GAME_STATUS:-?}, resident memory ${rss_start:-?} KiB at start, ${rss_last:-?} KiB at end, peak $peak MB ($(rel_rss_samples "$samples") samples)"
    if ((peak > RSS_BOUND)); then
        log "run $runs: peak resident memory $peak MB is over the bound of $RSS_BOUND MB"
        over=$((over + 1))
    fi
    if [[ ${E2E_GAME_STATUS:-1} == 0 ]]; then
        normal_ends=$((normal_ends + 1))
    else
        crashes=$((crashes + 1))
        cp "$E2E_GAME_LOG" "$E2E_ARTIFACTS/crash-run-$runs.log" 2>/dev/null
    fi
done

findings=$(grep -rhoE 'WARNING: ThreadSanitizer|ERROR: AddressSanitizer|ERROR: LeakSanitizer|runtime error:' \
    "$E2E_ARTIFACTS" 2>/dev/null | wc -l)
log "summary: $runs runs, $actions key actions, $normal_ends ended normally, $crashes crashed, $findings sanitizer findings, $over over $RSS_BOUND MB (peaks: ${peaks[*]:-none} MB)"
log "artifacts: $E2E_ARTIFACTS"
if ((crashes > 0 || findings > 0 || over > 0)); then
    status=1
fi
exit "$status"
