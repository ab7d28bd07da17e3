#!/usr/bin/env bash
# Start-up without a joystick: the program reports the missing pad, opens a
# window titled "Vorlune" at the display's size and draws a real frame.
# shellcheck source=tests/e2e/lib.sh
source "$(dirname "${BASH_SOURCE[0]}")/lib.sh"

e2e_init startup
e2e_make_workdir
e2e_start_xvfb
e2e_start_game 60

e2e_wait_output "Kein Gamepad!" 20
e2e_log "program reported the missing pad"

e2e_wait_window 20
geometry=$(DISPLAY=$E2E_DISPLAY timeout 5 xdotool getwindowgeometry --shell "$E2E_WINDOW")
e2e_log "window $E2E_WINDOW: $(tr '\n' ' ' <<<"$geometry")"
grep -qx 'WIDTH=1920' <<<"$geometry" || e2e_fail "window is not 1920 pixels wide"
grep -qx 'HEIGHT=1080' <<<"$geometry" || e2e_fail "window is not 1080 pixels high"

# The keyboard notice is drawn as dark text on the light background: wait
# for a screenshot with more than one colour.
colours=0
for ((try = 1; try <= 20; try++)); do
    shot=$(e2e_screenshot "frame-$try")
    colours=$(e2e_colour_count "$shot")
    if ((colours > 1)); then
        break
    fi
    e2e_game_running || e2e_fail "the program ended while starting up"
    sleep 0.5
done
((colours > 1)) || e2e_fail "every screenshot is a single colour (nothing drawn)"
e2e_log "frame drawn: $colours colours in $(basename "$shot")"

e2e_game_running || e2e_fail "the program ended by itself during start-up"
e2e_stop_game
e2e_log "PASS"
