#!/usr/bin/env bash
# Sound on a real server, as most Linux players have it: the game on a
# private PulseAudio server (SDL picks its audio driver itself). The music
# is heard in the main menu (the server's null sink is recorded); then a
# game is started, both guns fire, and the server is stopped mid-game: the
# game must go on drawing and taking keys, return to the main menu on
# Escape and end with status 0 on Escape there.
# shellcheck source=tests/e2e/lib.sh
source "$(dirname "${BASH_SOURCE[0]}")/lib.sh"

E2E_AUDIO_DRIVER=""
e2e_init sound_server
e2e_make_workdir
e2e_start_xvfb
e2e_start_pulse
e2e_start_game 180
e2e_wait_output "Kein Gamepad!" 30
e2e_wait_window 30
e2e_skip_to_menu
e2e_wait_highlight 1 3 "main menu"

# The game is the server's client and its music reaches the sink.
clients=$(timeout 5 pactl list short sink-inputs 2>/dev/null | wc -l)
((clients >= 1)) || e2e_fail "the game plays nothing into the server (no sink input)"
e2e_hear_music menu-music 4 "main menu"

# "Start Game", both guns firing; the server stops while they sound.
e2e_tap Shift_L
e2e_wait_tutorial_backdrop 20
e2e_hold Shift_L 105
sleep 1
e2e_stop_pulse
e2e_log "PulseAudio stopped mid-game"
sleep 1
e2e_release Shift_L 105
e2e_game_running || e2e_fail "the program ended when the sound server stopped"

# Still drawing and taking keys: the welcome message's backdrop, on screen
# when the server stopped, gives way to a field where firing breeds
# squares; Escape leads to the menu and Escape there quits.
e2e_play_until_squares 0.05 0.01
e2e_tap Escape
e2e_wait_highlight 1 3 "main menu after Escape from the game" 15
e2e_tap Escape
e2e_wait_exit 20
[[ $E2E_GAME_STATUS == 0 ]] || e2e_fail "the program ended with status $E2E_GAME_STATUS"
e2e_log "PASS"
