#!/usr/bin/env bash
# Start-up without a joystick: the program reports the missing pad, opens a
# window titled "Vorlune" at the display's size, of the desktop entry's class
# (so that docks show the game's icon for it), and draws a real frame.
#
# Then start-up with no display at all, SDL left to choose its drivers: the
# program must end at once with a line that names the missing display,
# instead of running unseen on SDL's offscreen driver, waiting for keys.
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
# The desktop entry's id is its file name without ".desktop".
entry=$(find "$E2E_SOURCE_DIR/packaging/linux" -name '*.desktop' | head -n 1)
[[ -n $entry ]] || e2e_fail "no desktop entry under packaging/linux"
class=$(DISPLAY=$E2E_DISPLAY timeout 5 xprop -id "$E2E_WINDOW" WM_CLASS)
want="WM_CLASS(STRING) = \"$(basename "$entry" .desktop)\", \"$(basename "$entry" .desktop)\""
[[ $class == "$want" ]] || e2e_fail "window class: $class, not as the desktop entry's ($want)"
e2e_log "$class"

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

# SDL takes a KMS device for a display (a text console); only without one
# does it fall back to its offscreen driver.
if compgen -G '/dev/dri/card*' >/dev/null; then
    e2e_log "no-display check skipped: this machine has a KMS device"
else
    e2e_no_display
    started=$(date +%s%N)
    e2e_start_game 60
    e2e_wait_exit 30
    elapsed=$((($(date +%s%N) - started) / 1000000))
    line='Vorlune found no display to show its window on (DISPLAY not set, WAYLAND_DISPLAY not set; SDL fell back to its offscreen video driver, which no one can see): start it in a desktop session, or set DISPLAY (X11) or WAYLAND_DISPLAY (Wayland) to the display to use.'
    grep -qxF -- "$line" "$E2E_GAME_LOG" || e2e_fail "no line naming the missing display"
    [[ $E2E_GAME_STATUS == 1 ]] || e2e_fail "without a display the program ended with status $E2E_GAME_STATUS, not 1"
    e2e_log "without a display: status 1 after $elapsed ms, with the line naming it"
fi
e2e_log "PASS"
