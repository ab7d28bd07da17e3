#!/usr/bin/env bash
# The real program as a native Wayland client on a machine without a GPU:
# weston nested on Xvfb (X11 backend, pixman), the game started with DISPLAY,
# SDL_VIDEODRIVER and SDL_AUDIODRIVER unset, so that SDL picks Wayland and
# its audio driver by itself and the game draws the way it chooses there
# (SDL's Wayland driver has no window surface for the software renderer).
# Keys go through weston's seat; the game runs full screen, as players start
# it, and the screenshots show weston's output.
#
# Run 1, without input and with WAYLAND_DEBUG: the window asks for the
# application id of the desktop entry (so that docks show the game's icon
# for it) and for full screen, and covers the whole output. The keyboard
# notice, the epilepsy warning and the title screen follow each other by
# themselves; a key on the title opens the main menu, where Escape ends the
# program with status 0.
#
# Run 2: keys skip to the main menu; "Start Game" opens the tutorial's
# backdrop, both guns fire until squares fill the field, Escape returns to
# the main menu; in the options "Difficulty" is raised and "Back" writes it
# to Settings.txt; Escape on the main menu ends the program with status 0.
#
# Run 3, weston again at scale 2, as on a high-DPI screen (the output keeps
# its 1920 x 1080 pixels, windows see 960 x 540), with WAYLAND_DEBUG: the
# game's surface is drawn at buffer scale 2, so at the output's own pixels
# (the picture is not made of doubled pixels), fills the output in full
# screen, and the game runs as at scale 1: the start-up screens, the main
# menu, a key moving its highlight, Escape ending the program.
# shellcheck source=tests/e2e/lib.sh
source "$(dirname "${BASH_SOURCE[0]}")/lib.sh"

e2e_init wayland
start=$SECONDS
e2e_make_workdir
e2e_set_setting Fullscreen 1
e2e_start_xvfb
e2e_start_weston

# The desktop entry's id is its file name without ".desktop".
entry=$(find "$E2E_SOURCE_DIR/packaging/linux" -name '*.desktop' | head -n 1)
[[ -n $entry ]] || e2e_fail "no desktop entry under packaging/linux"
app_id=$(basename "$entry" .desktop)

# ---------------------------------------------------------------- run 1
WAYLAND_DEBUG=1 e2e_start_game 150
e2e_wait_for_screen notice 30 "warning title menu"
e2e_keep "$E2E_GRAB" notice >/dev/null
# The protocol log of the client: its requests are marked "->".
grep -qE "^\[ *[0-9.]+\] +-> xdg_toplevel@[0-9]+\.set_app_id\(\"$app_id\"\)" "$E2E_GAME_LOG" ||
    e2e_fail "the window did not set the application id \"$app_id\" ($(grep -m1 -o 'set_app_id(.*)' "$E2E_GAME_LOG"))"
e2e_log "the window's application id is \"$app_id\", as the desktop entry's"
grep -qE -- '-> xdg_toplevel@[0-9]+\.set_fullscreen\(' "$E2E_GAME_LOG" ||
    e2e_fail "the window did not ask for full screen"
grep -qE 'xdg_toplevel@[0-9]+\.configure\(1920, 1080, ' "$E2E_GAME_LOG" ||
    e2e_fail "weston did not give the window the output's size, 1920 x 1080"
e2e_log "full screen: weston configured the window to 1920 x 1080"

e2e_wait_for_screen warning 40 "title menu"
e2e_keep "$E2E_GRAB" warning >/dev/null
e2e_wait_for_screen title 40 "menu notice"
e2e_keep "$E2E_GRAB" title >/dev/null
e2e_tap Return
e2e_wait_for_screen menu 10 "notice warning"
e2e_wait_highlight 1 3 "main menu from the title"
e2e_keep "$E2E_GRAB" main-menu >/dev/null
e2e_escape_quits

# ---------------------------------------------------------------- run 2
e2e_start_game 180
e2e_skip_to_menu
e2e_wait_highlight 1 3 "main menu"

# "Start Game": the first game opens with the tutorial's welcome; both guns
# fire until squares fill the field; Escape returns to the main menu.
e2e_tap Shift_L
e2e_wait_tutorial_backdrop 10
e2e_play_until_squares 0.1 0.03
e2e_tap Escape
e2e_wait_highlight 1 3 "main menu after Escape from the game" 10
e2e_keep "$E2E_GRAB" back-in-menu >/dev/null

# Options: selecting "Difficulty" raises it from 2 to 3; W wraps the
# highlight to "Back", which writes the settings and returns.
e2e_tap s
e2e_wait_highlight 2 3 "main menu after S"
e2e_tap Shift_L
e2e_wait_highlight 1 6 "options menu"
e2e_keep "$E2E_GRAB" options >/dev/null
e2e_tap Shift_L
sleep 0.5
e2e_options_back_saves Difficulty 3

e2e_escape_quits

# ---------------------------------------------------------------- run 3
e2e_stop_weston
E2E_WESTON_SCALE=2 e2e_start_weston
WAYLAND_DEBUG=client e2e_start_game 90
e2e_skip_to_menu
e2e_keep "$E2E_GRAB" scale2-menu >/dev/null
# The window's surface is the one given a role as xdg_surface; libdecor's
# decorations are subsurfaces of their own.
surface=$(grep -oE -- '-> xdg_wm_base@[0-9]+\.get_xdg_surface\(new id xdg_surface@[0-9]+, wl_surface@[0-9]+\)' \
    "$E2E_GAME_LOG" | grep -oE 'wl_surface@[0-9]+' | head -n 1)
[[ -n $surface ]] || e2e_fail "no xdg_surface for the window in the protocol log"
scales=$(grep -oE -- "-> $surface\.set_buffer_scale\([0-9]+\)" "$E2E_GAME_LOG" | grep -oE '[0-9]+\)' |
    sort -u | tr -d ')' | paste -sd ' ')
[[ $scales == 2 ]] ||
    e2e_fail "at scale 2 the window's surface ($surface) was drawn at buffer scale ${scales:-none}, not 2"
grep -qE 'xdg_toplevel@[0-9]+\.configure\(960, 540, ' "$E2E_GAME_LOG" ||
    e2e_fail "weston did not give the window the scaled output's size, 960 x 540"
e2e_log "scale 2: the window ($surface) is drawn at buffer scale 2 and fills the 960 x 540 output"
# At the output's own pixels the black menu text has sharp edges: its grey
# edge pixels are a fifth of its dark ones (drawn at 960 x 540 and enlarged
# by weston, more than as many).
read -r grey dark < <(e2e_region_shares "$E2E_ARTIFACTS/scale2-menu.png" \
    600x170+700+422 'intensity>0.1&&intensity<0.9' 600x170+700+422 'intensity<=0.1')
if ! e2e_greater "$dark" 0.01 || ! e2e_greater "$(awk -v d="$dark" 'BEGIN { print d / 2 }')" "$grey"; then
    e2e_fail "the menu text at scale 2 is soft: grey edge share $grey against dark share $dark"
fi
e2e_log "scale 2: sharp menu text (grey edge share $grey, dark share $dark)"
e2e_tap s
e2e_wait_highlight 2 3 "main menu after S at scale 2"
e2e_escape_quits
e2e_log "PASS in $((SECONDS - start)) s"
