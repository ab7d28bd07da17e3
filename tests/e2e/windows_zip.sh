#!/usr/bin/env bash
# The Windows zip, unpacked, and its vorlune.exe run under Wine on Xvfb with
# real key events (run by scripts/windows.sh, not by the Linux ctest).
#
# Run 1, with sound through Wine's PulseAudio driver into a private server:
# the window "Vorlune" opens and the no-controller notice reaches the
# redirected standard output of the windowed program; the main menu
# answers and its music is heard on the server; Options then Back writes
# Settings.txt; "Start Game" shows the tutorial; the server is stopped, and
# a short game with both guns firing goes on; Escape returns to the main
# menu, and Escape there ends the program with status 0.
# Settings.txt and Scores.txt then have Windows line ends (CR LF) only.
#
# Run 2: the next start reads both back: the scores it rewrites at start
# and the settings that Options then Back write are byte for byte the same.
#
# Environment: VORLUNE_WINDOWS_ZIP  the zip (vorlune-<version>-win64.zip)
#              VORLUNE_BUILD_DIR    artifacts go to <it>/e2e-artifacts/windows
# shellcheck source=tests/e2e/lib.sh
zip=${VORLUNE_WINDOWS_ZIP:?set VORLUNE_WINDOWS_ZIP to the Windows zip}
unpacked=$(mktemp -d "${TMPDIR:-/tmp}/vorlune-zip.XXXXXX")
(cd "$unpacked" && cmake -E tar xf "$zip") || {
    echo "cannot unpack $zip" >&2
    exit 1
}
folder=$(find "$unpacked" -name vorlune.exe -printf '%h\n' | head -n 1)
export VORLUNE_RUN_DIR=${folder:-$unpacked}
# No DLL directories: the unpacked folder must hold every DLL the game needs.
export VORLUNE_E2E_PROGRAM="$(cd "$(dirname "${BASH_SOURCE[0]}")/../.." && pwd)/tools/wine-run.sh -- vorlune.exe"
export VORLUNE_E2E_VIDEO_DRIVER=windows
source "$(dirname "${BASH_SOURCE[0]}")/lib.sh"

# Each key is held 1.2 s, past the X server's key repeat delay: under Wine
# a short press is sometimes lost, left Shift most often (likely SDL's check
# for a lost Shift release, GetKeyState(VK_LSHIFT), reads it as up again),
# and the repeats of a held key make sure the game sees it. A held key
# still acts once.
e2e_tap()
{
    local key
    [[ -n $E2E_WINDOW ]] || e2e_fail "e2e_tap before the window was found"
    for key; do
        DISPLAY=$E2E_DISPLAY timeout 5 xdotool windowfocus "$E2E_WINDOW" 2>/dev/null
        DISPLAY=$E2E_DISPLAY timeout 5 xdotool keydown "$key" || e2e_fail "xdotool could not press $key"
        sleep 1.2
        DISPLAY=$E2E_DISPLAY timeout 5 xdotool keyup "$key" || e2e_fail "xdotool could not release $key"
        sleep 0.3
    done
}

e2e_init windows
rm -rf -- "$E2E_TMP/zip" && mv -- "$unpacked" "$E2E_TMP/zip" # removed with the temp dir
E2E_RUN_DIR=${E2E_RUN_DIR/#$unpacked/$E2E_TMP/zip}
e2e_make_workdir
e2e_start_xvfb

# Fails unless FILE is non-empty and every line ends in CR LF.
crlf_only()
{
    local file=$E2E_WORKDIR/$1 lines crlf
    [[ -s $file ]] || e2e_fail "$1 is missing or empty"
    lines=$(grep -c '' "$file")
    crlf=$(grep -c $'\r$' "$file")
    [[ $lines == "$crlf" && $(tail -c 2 "$file" | od -An -tx1 | tr -d ' ') == 0d0a ]] ||
        e2e_fail "$1 has $crlf CR LF line ends in $lines lines"
    e2e_log "$1: $lines lines, all ending in CR LF"
}

# ---------------------------------------------------------------- run 1
# SDL picks its Windows audio driver, which Wine plays through its
# PulseAudio driver.
e2e_start_pulse
E2E_AUDIO_DRIVER=""
e2e_start_game 240
e2e_wait_output "Kein Gamepad!" 60
e2e_log "the no-controller notice reached the redirected standard output"
e2e_wait_window 60
e2e_skip_to_menu
e2e_wait_highlight 1 3 "main menu"
e2e_keep "$E2E_GRAB" main-menu >/dev/null
e2e_hear_music menu-music 3 "main menu under Wine"

# Options (S, left Shift), Difficulty raised from 2 to 3 (left Shift), then
# Back (W wraps to it, left Shift).
e2e_tap s
e2e_wait_highlight 2 3 "main menu after S"
e2e_tap Shift_L
e2e_wait_highlight 1 6 "options menu"
e2e_keep "$E2E_GRAB" options >/dev/null
e2e_tap Shift_L w
e2e_wait_highlight 6 6 "options menu after W"
e2e_tap Shift_L
e2e_wait_highlight 1 3 "main menu after Back"
# The test wrote Settings.txt with line feeds; the game writes CR LF.
for ((i = 0; i < 50; i++)); do
    grep -q $'\r$' "$E2E_WORKDIR/Settings.txt" && break
    sleep 0.1
done
grep -q $'\r$' "$E2E_WORKDIR/Settings.txt" || e2e_fail "\"Back\" did not write Settings.txt"
grep -A1 -x $'Difficulty\r' "$E2E_WORKDIR/Settings.txt" | grep -qx $'3\r' ||
    e2e_fail "\"Back\" did not save Difficulty 3"
e2e_log "\"Back\" wrote Settings.txt with Difficulty 3"

# "Start Game" (left Shift): the tutorial's dark backdrop, then a short
# game with both guns firing (right Ctrl is keycode 105).
e2e_tap Shift_L
e2e_wait_tutorial_backdrop 20
e2e_stop_pulse
e2e_log "PulseAudio stopped mid-game"
e2e_play_until_squares 0.05 0.01

e2e_tap Escape
e2e_wait_highlight 1 3 "main menu after Escape from the game" 15
e2e_tap Escape
e2e_wait_exit 30
[[ $E2E_GAME_STATUS == 0 ]] || e2e_fail "Escape on the main menu ended the program with status $E2E_GAME_STATUS"
e2e_log "Escape on the main menu ended the program with status 0"
crlf_only Settings.txt
crlf_only Scores.txt
cp -- "$E2E_WORKDIR/Settings.txt" "$E2E_WORKDIR/Scores.txt" "$E2E_ARTIFACTS/"

# ---------------------------------------------------------------- run 2
E2E_AUDIO_DRIVER=dummy
e2e_start_game 180
e2e_wait_output "Kein Gamepad!" 60
e2e_wait_window 60
e2e_skip_to_menu
e2e_wait_highlight 1 3 "main menu of the second run"
e2e_tap s
e2e_wait_highlight 2 3 "main menu after S"
e2e_tap Shift_L
e2e_wait_highlight 1 6 "options menu"
rm -f -- "$E2E_WORKDIR/Settings.txt"
e2e_tap w
e2e_wait_highlight 6 6 "options menu after W"
e2e_tap Shift_L
e2e_wait_highlight 1 3 "main menu after Back"
e2e_tap Escape
e2e_wait_exit 30
[[ $E2E_GAME_STATUS == 0 ]] || e2e_fail "the second run ended with status $E2E_GAME_STATUS"
for f in Settings.txt Scores.txt; do
    cmp -s -- "$E2E_ARTIFACTS/$f" "$E2E_WORKDIR/$f" ||
        e2e_fail "$f changed across a start that only read it back"
done
e2e_log "the second run read Settings.txt and Scores.txt back and wrote them unchanged"
e2e_log "PASS"
