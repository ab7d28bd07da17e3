#!/usr/bin/env bash
# Additions to lib.sh for the reliability tests: starting the game with extra
# environment (another audio driver, a sanitizer helper), holding keys,
# ending a run through the keyboard, checking the output for sanitizer
# reports, and running several scenarios side by side.
#
# Source lib.sh first. Scenario runner:
#   rel_run_scenarios PREFIX JOBS fn...   each fn in its own subshell with
#                                         its own Xvfb, work dir and artifacts
#
# Environment:
#   VORLUNE_E2E_PRELOAD   library preloaded into the game only (sanitizer runs)
#   VORLUNE_E2E_SLOW      factor for the time limits (sanitizer builds are slower)
#   VORLUNE_E2E_JOBS      scenarios run at once (default 3)

REL_SLOW=${VORLUNE_E2E_SLOW:-1}
REL_RUN_AS=()

# Seconds scaled for slow builds.
rel_secs() { echo $(($1 * REL_SLOW)); }

# The game's own process (the child of timeout(1) started as E2E_GAME_PID),
# waited for up to five seconds; empty when there is none.
rel_game_pid()
{
    local i pid
    for ((i = 0; i < 50; i++)); do
        pid=$(pgrep -P "$E2E_GAME_PID" 2>/dev/null | head -n 1)
        [[ -n $pid ]] && { echo "$pid"; return 0; }
        sleep 0.1
    done
}

# Resident memory sampler: four times a second, in the background, appends
# "VmRSS VmHWM" (KiB) of process PID to FILE until the process ends or
# rel_rss_stop is called. The high-water mark catches a spike between two
# samples. Sets REL_RSS_SAMPLER.
rel_rss_start()
{
    local pid=$1 file=$2
    : >"$file"
    (
        while [[ -r /proc/$pid/status ]]; do
            awk '/^VmRSS:/ { r = $2 } /^VmHWM:/ { h = $2 } END { if (r != "") print r, h }' \
                "/proc/$pid/status" >>"$file" 2>/dev/null
            sleep 0.25
        done
    ) &
    REL_RSS_SAMPLER=$!
}

rel_rss_stop()
{
    if [[ -n ${REL_RSS_SAMPLER:-} ]]; then
        kill "$REL_RSS_SAMPLER" 2>/dev/null
        wait "$REL_RSS_SAMPLER" 2>/dev/null
    fi
    REL_RSS_SAMPLER=""
}

# Peak resident memory in a sampler's FILE, in MB (0 when it holds nothing).
rel_rss_peak_mb()
{
    awk '{ for (i = 1; i <= NF; i++) if ($i > m) m = $i } END { printf "%.0f\n", (m + 0) / 1024 }' \
        "$1" 2>/dev/null || echo 0
}

# Number of samples in a sampler's FILE.
rel_rss_samples() { rel_lines "$1"; }

# Like e2e_start_game, with NAME=VALUE assignments for the game's
# environment after the time limit (they may override SDL_AUDIODRIVER).
rel_start_game()
{
    local secs=$1
    shift
    E2E_RUNS=$((E2E_RUNS + 1))
    E2E_GAME_LOG=$E2E_ARTIFACTS/game-$E2E_RUNS.log
    E2E_GAME_STATUS=""
    E2E_WINDOW=""
    (
        cd "$E2E_WORKDIR" || exit 125
        export DISPLAY=$E2E_DISPLAY SDL_VIDEODRIVER=x11 SDL_AUDIODRIVER=dummy
        for assignment in "$@"; do
            export "${assignment?}"
        done
        if [[ -n ${VORLUNE_E2E_PRELOAD:-} ]]; then
            export LD_PRELOAD=$VORLUNE_E2E_PRELOAD
        fi
        exec timeout --foreground -k 2 "$secs" ${REL_RUN_AS:+"${REL_RUN_AS[@]}"} ./vorlune
    ) </dev/null >"$E2E_GAME_LOG" 2>&1 &
    E2E_GAME_PID=$!
}

# Holds the keys (xdotool names, or keycode 105 for right Ctrl) down together
# for SECS seconds, then lets them go. The game samples the held keys once
# per main-loop turn, so a key must stay down for a few turns to count.
rel_hold()
{
    local secs=$1
    shift
    [[ -n $E2E_WINDOW ]] || e2e_fail "rel_hold before the window was found"
    DISPLAY=$E2E_DISPLAY timeout 5 xdotool windowfocus "$E2E_WINDOW" 2>/dev/null
    DISPLAY=$E2E_DISPLAY timeout 5 xdotool keydown "$@" || e2e_fail "xdotool keydown $*"
    sleep "$secs"
    DISPLAY=$E2E_DISPLAY timeout 5 xdotool keyup "$@" || e2e_fail "xdotool keyup $*"
}

# One menu step: the key held long enough to be seen, then a short gap.
rel_tap()
{
    rel_hold 0.15 "$@"
    sleep 0.25
}

# Number of pure red pixels in a screenshot (the highlighted menu entry is
# drawn in red; the start-up screens have none).
rel_red_pixels()
{
    convert "$1" -format %c histogram:info:- 2>/dev/null |
        awk '/#FF0000/ { sub(":", "", $1); n += $1 } END { print n + 0 }'
}

# From the start-up screens to the main menu: releases Space once a second
# (the warning screen reads no input for its first 500 logic ticks, however
# long those take) until a screenshot shows the red highlight of the menu.
rel_wait_main_menu()
{
    local secs=$1 started=$SECONDS shot
    while ((SECONDS - started < secs)); do
        e2e_game_running || e2e_fail "the program ended on the start-up screens"
        rel_tap space
        sleep 0.6
        shot=$(e2e_screenshot menu-wait)
        if (($(rel_red_pixels "$shot") > 1000)); then
            return 0
        fi
    done
    e2e_fail "no main menu within $secs s"
}

# Ends the run the way a player would: Escape released about once a second
# (the first release ends the keyboard notice, later ones, once the warning
# screen reads input, end the program). Fails unless the program exits with
# status 0 within LIMIT seconds.
rel_end_through_escape()
{
    local limit=$1 started=$SECONDS
    while e2e_game_running && ((SECONDS - started < limit)); do
        e2e_key Escape
        sleep 1
    done
    e2e_wait_exit 10
    case $E2E_GAME_STATUS in
    0) ;;
    124 | 137) e2e_fail "the program did not end through Escape within $limit s" ;;
    *) e2e_fail "the program ended with status $E2E_GAME_STATUS" ;;
    esac
}

# Fails when the game's output holds a sanitizer report or a crash message.
rel_check_clean_output()
{
    local log=${1:-$E2E_GAME_LOG}
    if grep -nE 'Sanitizer|runtime error:|Segmentation fault|Aborted|terminate called' "$log" \
        >"$E2E_ARTIFACTS/findings.txt" 2>/dev/null; then
        e2e_fail "sanitizer or crash report in the output: $(head -n 3 "$E2E_ARTIFACTS/findings.txt")"
    fi
}

# Starts Xvfb and the game in the prepared work directory (NAME=VALUE
# arguments go to the game's environment), waits for its window and ends it
# through Escape; the output must be free of sanitizer and crash reports.
rel_play_and_quit()
{
    local end_limit
    end_limit=$(rel_secs 40)
    e2e_start_xvfb
    rel_start_game $((end_limit + $(rel_secs 30))) "$@"
    e2e_wait_output "Kein Gamepad!" "$(rel_secs 30)"
    e2e_wait_window "$(rel_secs 20)"
    rel_end_through_escape "$end_limit"
    rel_check_clean_output
}

# Makes the work directory and everything in it read-only for the game. As
# root, permissions do not stop writes, so the game then runs as the user
# nobody (setpriv), which can read the directory but not write to it.
rel_make_workdir_readonly()
{
    chmod -R a+rX "$E2E_WORKDIR"
    find "$E2E_WORKDIR" -type f -exec chmod a-w {} +
    chmod a-w "$E2E_WORKDIR"
    if ((EUID == 0)); then
        command -v setpriv >/dev/null 2>&1 || e2e_fail "running as root without setpriv"
        chmod 711 "$E2E_TMP"
        REL_RUN_AS=(setpriv --reuid=65534 --regid=65534 --clear-groups)
    fi
}

# BYTES bytes of noise, the same for the same SEED (so a run can be
# repeated byte for byte).
rel_noise()
{
    LC_ALL=C awk -v n="$1" -v seed="$2" \
        'BEGIN { srand(seed); for (i = 0; i < n; i++) printf "%c", int(rand() * 256) }'
}

# Number of lines of a file (0 when missing).
rel_lines() { if [[ -f $1 ]]; then wc -l <"$1"; else echo 0; fi; }

# Runs scenario functions side by side, at most JOBS at once. Each runs in a
# subshell that calls e2e_init PREFIX-fn, so every scenario has its own X
# server, work directory, artifacts and cleanup. Prints one line per
# scenario and a summary; fails when any scenario failed.
rel_run_scenarios()
{
    local prefix=$1 jobs=$2
    shift 2
    local -a names=("$@") pids=() results=()
    local i running_jobs status failures=0 logdir
    logdir=$E2E_BUILD_DIR/e2e-artifacts/$prefix
    mkdir -p "$logdir"
    for ((i = 0; i < ${#names[@]}; i++)); do
        while :; do
            running_jobs=0
            for pid in "${pids[@]}"; do
                kill -0 "$pid" 2>/dev/null && running_jobs=$((running_jobs + 1))
            done
            ((running_jobs < jobs)) && break
            sleep 0.2
        done
        (
            e2e_init "$prefix-${names[i]}"
            "${names[i]}"
            e2e_log "PASS"
        ) >"$logdir/${names[i]}.log" 2>&1 &
        pids[i]=$!
    done
    for ((i = 0; i < ${#names[@]}; i++)); do
        status=0
        wait "${pids[i]}" || status=$?
        results[i]=$status
        if ((status == 0)); then
            printf '[%s] %-28s ok\n' "$prefix" "${names[i]}"
        else
            failures=$((failures + 1))
            printf '[%s] %-28s FAILED (status %d)\n' "$prefix" "${names[i]}" "$status"
            sed 's/^/    /' "$logdir/${names[i]}.log" | tail -n 25
        fi
    done
    printf '[%s] hostile cases tried: %d, failures: %d\n' "$prefix" "${#names[@]}" "$failures"
    ((failures == 0))
}
