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
# Before the runs, the zip's words for its player: README.txt (CR LF line
# ends, plain text) names the version of CMakeLists.txt and every key and
# button of README.md's controls tables, the two files the game keeps and
# where the licences are; licenses/vorlune.txt is LICENSE; vorlune.exe's
# version information names the version and LICENSE's copyright line; its
# application manifest (resource 1 of type 24) is packaging/windows/
# vorlune.manifest byte for byte, and declares per-monitor v2 display
# scaling, Windows 10/11 among the systems it is written for, and no
# elevation; Wine's manifest parser, whose errors run 1 shows, finds no
# fault in it (Windows refuses to start a program whose manifest it cannot
# read; Wine starts it anyway). Wine never stretches a window, so the runs
# cannot show what the manifest does on a scaled display.
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
    local file=$1 name=${1##*/} lines crlf
    [[ -s $file ]] || e2e_fail "$name is missing or empty"
    lines=$(grep -c '' "$file")
    crlf=$(grep -c $'\r$' "$file")
    [[ $lines == "$crlf" && $(tail -c 2 "$file" | od -An -tx1 | tr -d ' ') == 0d0a ]] ||
        e2e_fail "$name has $crlf CR LF line ends in $lines lines"
    e2e_log "$name: $lines lines, all ending in CR LF"
}

# ---------------------------------------------------------------- the player's words
version=$(sed -n 's/^project(vorlune VERSION \([0-9.]*\)[ )].*/\1/p' "$E2E_SOURCE_DIR/CMakeLists.txt")
copyright=$(grep '^Copyright' "$E2E_SOURCE_DIR/LICENSE")
[[ $copyright =~ ^Copyright\ \(c\)\ [-0-9,\ ]*[0-9]\ (.+)$ ]] || e2e_fail "LICENSE has no copyright line"
holder=${BASH_REMATCH[1]}
readme=$E2E_RUN_DIR/README.txt
crlf_only "$readme"
[[ $(head -n 1 "$readme") == "Vorlune $version"$'\r' ]] || e2e_fail "README.txt does not open with 'Vorlune $version'"
! grep -n '[`|]' "$readme" || e2e_fail "README.txt holds Markdown"
# The controller's buttons head the columns of the first table under
# "## Controls" in README.md; the keys open the rows of the second.
mapfile -t controls < <(awk -F '|' '
    /^## / { inside = ($0 == "## Controls"); next }
    !inside || !/^\|/ { if (row) { tables++ }; row = 0; next }
    { row++ }
    tables == 0 && row == 1 { for (i = 3; i < NF; i++) print $i }
    tables == 1 && row > 2 { print $2 }' "$E2E_SOURCE_DIR/README.md" | sed 's/^ *//; s/ *$//')
((${#controls[@]} >= 10)) || e2e_fail "README.md's controls tables give only: ${controls[*]}"
# Each key and button opens a line of README.txt's tables ("Left stick: ...").
heads=$(sed 's/\r$//; s/^ *//; s/:.*//' "$readme")
for name in "${controls[@]}"; do
    grep -qxF -- "$name" <<<"$heads" || e2e_fail "README.txt's controls do not name $name"
done
for name in Settings.txt Scores.txt 'licenses\vorlune.txt' 'licenses\README.txt'; do
    grep -qF -- "$name" "$readme" || e2e_fail "README.txt does not name $name"
done
e2e_log "README.txt names ${controls[*]}"
cmp -s "$E2E_SOURCE_DIR/LICENSE" "$E2E_RUN_DIR/licenses/vorlune.txt" || e2e_fail "licenses/vorlune.txt is not LICENSE"
[[ -f $E2E_RUN_DIR/licenses/README.txt ]] || e2e_fail "the zip has no licenses/README.txt"
# The version information: UTF-16 strings, each value after its name.
version_info=$(strings -el "$E2E_RUN_DIR/vorlune.exe" |
    awk '/^(CompanyName|LegalCopyright|ProductVersion)$/ { name = $0; next } name { print name "=" $0; name = "" }')
[[ $version_info == *"CompanyName=$holder"* && $version_info == *"LegalCopyright=$copyright"* &&
    $version_info == *"ProductVersion=$version"* ]] ||
    e2e_fail "vorlune.exe's version information is not $version, $copyright: $version_info"

# The manifest: where objdump's resource table puts type 24, name 1, turned
# from an address in memory into one in the file.
exe=$E2E_RUN_DIR/vorlune.exe
objdump=x86_64-w64-mingw32-objdump
command -v "$objdump" >/dev/null || e2e_fail "$objdump is missing (Debian: binutils-mingw-w64-x86-64)"
read -r rva size < <("$objdump" -p "$exe" | awk '
    $2 == "Entry:" && /^[0-9a-f]+   Entry/ { type = $4 }
    $2 == "Entry:" && /^[0-9a-f]+     Entry/ { name = $4 }
    type == "0x000018," && name == "0x000001," && $2 == "Leaf:" { print $4, $6; exit }' | tr -d ,)
[[ -n $rva && -n $size ]] || e2e_fail "vorlune.exe has no resource 1 of type 24 (application manifest)"
base=$("$objdump" -p "$exe" | awk '$1 == "ImageBase" { print $2 }')
read -r vma offset < <("$objdump" -h "$exe" | awk '$2 == ".rsrc" { print $4, $6 }')
[[ -n $base && -n $vma && -n $offset ]] || e2e_fail "objdump does not show vorlune.exe's .rsrc section"
start=$((rva + 0x$base - 0x$vma + 0x$offset))
manifest=$E2E_ARTIFACTS/vorlune.manifest
tail -c +$((start + 1)) "$exe" | head -c $((size)) >"$manifest"
cmp -s "$manifest" "$E2E_SOURCE_DIR/packaging/windows/vorlune.manifest" ||
    e2e_fail "vorlune.exe's manifest ($((size)) bytes, kept in $manifest) is not packaging/windows/vorlune.manifest"
text=$(tr -s ' \n' '  ' <"$manifest")
for want in '<dpiAwareness xmlns="http://schemas.microsoft.com/SMI/2016/WindowsSettings">PerMonitorV2' \
    '<dpiAware xmlns="http://schemas.microsoft.com/SMI/2005/WindowsSettings">true/pm</dpiAware>' \
    '<supportedOS Id="{8e0f7a12-bfb3-4fe8-b9a5-48fd50a15a9a}"/>' \
    '<requestedExecutionLevel level="asInvoker"'; do
    [[ $text == *"$want"* ]] || e2e_fail "vorlune.exe's manifest lacks $want"
done
e2e_log "vorlune.exe carries its manifest: per-monitor v2, Windows 10/11, asInvoker"

# ---------------------------------------------------------------- run 1
# SDL picks its Windows audio driver, which Wine plays through its
# PulseAudio driver.
e2e_start_pulse
E2E_AUDIO_DRIVER=""
export WINEDEBUG=-all,err+actctx
e2e_start_game 240
e2e_wait_output "Kein Gamepad!" 60
e2e_log "the no-controller notice reached the redirected standard output"
e2e_wait_window 60
! grep -F ':err:actctx:' "$E2E_GAME_LOG" || e2e_fail "Wine found faults in vorlune.exe's manifest"
unset WINEDEBUG
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
crlf_only "$E2E_WORKDIR/Settings.txt"
crlf_only "$E2E_WORKDIR/Scores.txt"
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
