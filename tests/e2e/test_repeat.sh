#!/usr/bin/env bash
# Twenty runs in a row, each ended through the keyboard: a key release cuts
# the keyboard notice short, the warning screen ignores input for its first
# 500 logic ticks (queued keys are handled afterwards), and Escape released
# on the warning, title or main menu ends the program with status 0.
# Every run must end by itself (no hang) and cleanly (no crash).
# On a machine without a GPU device (CI, Xvfb) the game draws with the
# software renderer from its graphics thread straight to the X server, and
# loads no OpenGL library at all: run 1 checks that.
# shellcheck source=tests/e2e/lib.sh
source "$(dirname "${BASH_SOURCE[0]}")/lib.sh"

RUNS=${VORLUNE_E2E_RUNS:-20}
RUN_LIMIT=45 # seconds one run may take before it counts as a hang

e2e_init repeat
e2e_make_workdir
e2e_start_xvfb

for ((run = 1; run <= RUNS; run++)); do
    e2e_start_game "$RUN_LIMIT"
    e2e_wait_output "Kein Gamepad!" 20
    e2e_wait_window 20
    sleep 0.5 # let it draw

    started=$SECONDS
    if ((run == 1)) && ! compgen -G '/dev/dri/renderD*' >/dev/null && [[ ! -e /dev/nvidiactl ]]; then
        game_pid=$(cat "/proc/$E2E_GAME_PID/task/$E2E_GAME_PID/children" 2>/dev/null)
        maps=$(cat "/proc/${game_pid%% *}/maps" 2>/dev/null)
        [[ -n $maps ]] || e2e_fail "cannot read the memory map of the game"
        gl=$(grep -oE '[^/]*(libGL|libEGL|libOpenGL|_dri\.so|libgallium|libLLVM)[^ ]*' <<<"$maps" | sort -u)
        [[ -z $gl ]] || e2e_fail "OpenGL loaded without a GPU device: ${gl//$'\n'/ }"
    fi
    if ((run == 1)); then
        # For the record: the notice, then the warning screen after a key.
        e2e_screenshot "run1-notice" >/dev/null
        e2e_key Escape
        sleep 1.5
        e2e_screenshot "run1-warning" >/dev/null
    fi

    # Release Escape about once a second until the program ends: the first
    # releases end the notice, the next ones (queued while the warning
    # ignores input) end the program.
    while e2e_game_running && ((SECONDS - started < RUN_LIMIT)); do
        e2e_key Escape
        sleep 1
    done
    e2e_wait_exit 10
    case $E2E_GAME_STATUS in
    0) ;;
    124 | 137) e2e_fail "run $run hung (killed after $RUN_LIMIT s)" ;;
    *) e2e_fail "run $run ended with status $E2E_GAME_STATUS" ;;
    esac
    if [[ $(e2e_setting Fullscreen) != 0 ]]; then
        e2e_fail "run $run left a Settings.txt without \"Fullscreen\" \"0\""
    fi
    [[ -s $E2E_WORKDIR/Scores.txt ]] || e2e_fail "run $run did not write Scores.txt"
    e2e_log "run $run ended with status 0 after $((SECONDS - started)) s"
done
e2e_log "PASS: $RUNS runs"
