#!/usr/bin/env bash
# A short game with the keyboard: skip to the main menu, start a game with
# left Shift (the first game opens with the tutorial's dark backdrop), fire
# and move, leave the game with Escape and quit from the main menu with
# Escape; the program must end with status 0.
# shellcheck source=tests/e2e/lib.sh
source "$(dirname "${BASH_SOURCE[0]}")/lib.sh"

RED='r>0.7&&g<0.3&&b<0.3'
DARK='r<0.25&&g<0.25&&b<0.3'

e2e_init play
e2e_make_workdir
e2e_start_xvfb
e2e_start_game 120
e2e_wait_output "Kein Gamepad!" 20
e2e_wait_window 20

# A release ends the keyboard notice; the next one, once the warning
# accepts input, opens the main menu with "Start Game" highlighted in red.
e2e_key Return
sleep 1
e2e_key Return
e2e_wait_screen menu "$RED" 0.0005 0.2 20 "main menu with a red highlight"

# Left Shift selects "Start Game": the welcome message covers the field
# with the tutorial backdrop.
e2e_key Shift_L
e2e_wait_screen tutorial "$DARK" 0.8 1 10 "tutorial backdrop over the field"

# The welcome message pauses the game for 1000 logic ticks (6 s or more).
e2e_wait_screen field "$DARK" 0 0.05 30 "field free again after the welcome message"

# Fire both guns and move both crosshairs for a moment (keycode 105 is
# right Ctrl).
DISPLAY=$E2E_DISPLAY timeout 5 xdotool keydown Shift_L keydown 105 keydown d keydown Left
sleep 1
DISPLAY=$E2E_DISPLAY timeout 5 xdotool keyup Shift_L keyup 105 keyup d keyup Left
e2e_game_running || e2e_fail "the program ended during play"

# Escape leaves the game for the main menu; Escape there ends the program.
e2e_key Escape
e2e_wait_screen back-in-menu "$RED" 0.0005 0.2 10 "main menu again after Escape"
e2e_key Escape
e2e_wait_exit 15
[[ $E2E_GAME_STATUS == 0 ]] || e2e_fail "the program ended with status $E2E_GAME_STATUS"
e2e_log "PASS"
