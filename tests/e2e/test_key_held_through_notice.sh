#!/usr/bin/env bash
# A key held while the keyboard notice runs out: D stays down until the
# notice gives way to the warning screen by itself, so the menu navigation
# opens the high-score list while the start-up countdown still blocks input
# on the warning screen. The list must still answer Escape (back to the
# start-up screens), and a further Escape must end the program with status 0,
# instead of the game being stuck on the list for good.
# shellcheck source=tests/e2e/lib.sh
source "$(dirname "${BASH_SOURCE[0]}")/lib.sh"
# shellcheck source=tests/e2e/reliability_lib.sh
source "$(dirname "${BASH_SOURCE[0]}")/reliability_lib.sh"

e2e_init key-held-through-notice
e2e_make_workdir
e2e_start_xvfb
rel_start_game "$(rel_secs 90)"
e2e_wait_output "Kein Gamepad!" "$(rel_secs 30)"
e2e_wait_window "$(rel_secs 20)"

# The notice stays 1000 logic ticks (at least 6 s) when no key is released.
rel_hold "$(rel_secs 12)" d
sleep 1
shot=$(e2e_screenshot list-after-notice)
e2e_log "screen after the notice: $(basename "$shot")"

rel_end_through_escape "$(rel_secs 30)"
rel_check_clean_output
e2e_log "PASS: the program answered Escape and ended with status 0"
