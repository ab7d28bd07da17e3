#!/usr/bin/env bash
# A whole session of the real program played through the keyboard, a bit
# over a minute long: start-up and the keyboard notice, the warning screen,
# the main menu, the options (two volumes changed and saved through "Back"),
# a first game with the tutorial's welcome, moving both crosshairs and firing
# both guns, Escape back to the menu, a second game, and "Exit". The program
# must end by itself with status 0, with no sanitizer or crash report; the
# sanitizer script runs this same session on its ThreadSanitizer build.
# shellcheck source=tests/e2e/lib.sh
source "$(dirname "${BASH_SOURCE[0]}")/lib.sh"
# shellcheck source=tests/e2e/reliability_lib.sh
source "$(dirname "${BASH_SOURCE[0]}")/reliability_lib.sh"

# Seconds of play in each game.
PLAY=${VORLUNE_SESSION_PLAY:-25}

e2e_init session
e2e_make_workdir
e2e_start_xvfb
session_start=$SECONDS
rel_start_game "$(rel_secs 300)"
e2e_wait_output "Kein Gamepad!" "$(rel_secs 30)"
e2e_wait_window "$(rel_secs 20)"
sleep 1
e2e_screenshot 01-notice >/dev/null

# A key release ends the notice; the warning screen then reads no input for
# its first 500 logic ticks, after which a key opens the main menu.
rel_tap space
sleep 3
rel_wait_main_menu "$(rel_secs 30)"
e2e_screenshot 02-main-menu >/dev/null

# Options: down to "Options", select; down three times to the sound volume
# and select (120 wraps to 0), down to the music volume and select, down to
# "Back" and select, which saves the settings.
rel_tap s
rel_tap Shift_L
rel_tap s
rel_tap s
rel_tap s
rel_tap Shift_L
rel_tap s
rel_tap Shift_L
e2e_screenshot 03-options >/dev/null
rel_tap s
rel_tap Shift_L
sleep 1
[[ $(e2e_setting FXVolume) == 0 ]] || e2e_fail "\"FXVolume\" not 0 after the options"
[[ $(e2e_setting MuVolume) == 0 ]] || e2e_fail "\"MuVolume\" not 0 after the options"
e2e_log "options changed and saved"

# Plays for PLAY seconds: both crosshairs steered around, both guns fired,
# alone and together.
play_game()
{
    local name=$1 until=$((SECONDS + PLAY)) round=0
    while ((SECONDS < until)); do
        e2e_game_running || e2e_fail "the program ended during $name"
        case $((round % 6)) in
        0) rel_hold 0.8 d Up ;;
        1) rel_hold 1.0 Shift_L ;;
        2) rel_hold 0.6 a s Right 105 ;;
        3) rel_hold 1.2 w Left Shift_L 105 ;;
        4) rel_hold 0.7 s d Down Shift_L ;;
        5) rel_hold 0.9 a w Up Left 105 ;;
        esac
        round=$((round + 1))
        if ((round == 8)); then
            e2e_screenshot "$name" >/dev/null
        fi
    done
}

# "Start Game" is highlighted after returning to the main menu.
rel_tap Shift_L
e2e_log "first game"
play_game 04-first-game
# Escape back to the menu. Should the game have ended meanwhile and opened
# the name entry, Return confirms the name and leads there too.
rel_tap Escape
rel_tap Return
sleep 1
e2e_screenshot 05-back-in-menu >/dev/null

rel_tap Shift_L
e2e_log "second game"
play_game 06-second-game
rel_tap Escape
rel_tap Return
sleep 1

# Down twice to "Exit" and select: the logic thread ends the program.
rel_tap s
rel_tap s
rel_tap Shift_L
e2e_wait_exit "$(rel_secs 20)"
case $E2E_GAME_STATUS in
0) ;;
124 | 137) e2e_fail "the program did not end through \"Exit\"" ;;
*) e2e_fail "the program ended with status $E2E_GAME_STATUS" ;;
esac
rel_check_clean_output
length=$((SECONDS - session_start))
((length >= 60)) || e2e_fail "the session lasted only $length s"
[[ -s $E2E_WORKDIR/Scores.txt ]] || e2e_fail "no Scores.txt written"
e2e_log "PASS: session of $length s ended through \"Exit\" with status 0"
