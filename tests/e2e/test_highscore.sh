#!/usr/bin/env bash
# A lost game earns a place in the high-score list, and the name typed with
# the keyboard is kept in Scores.txt and shown on the list.
#
# Run 1 starts with a complete Scores.txt whose level-2 list (the default
# level) holds ten entries of -1, so any score places first, and with the
# tutorial switched off. Both guns fire with the crosshairs pushed into the
# top corners, away from the squares, until 17 darkened or 6 black squares
# have turned the background fully red; the banner shows "Highscore!" in
# white. The name entry then takes "Baz": D (B), left Shift, S (b), A (a),
# left Shift twice ("Baa"), right Ctrl erases the last letter, A twice (Z),
# W (z) and Return, which stores the typed letters and the letter under the
# cursor. Scores.txt must then hold the new entry at place 1 of level 2
# with the old entries moved down by one place, and be unchanged elsewhere.
#
# Run 2 opens the lists from the main menu with D (level 1, then level 2)
# and reads the name on the level-2 list. A half-size copy of the level-1
# list is kept as highscores-small.png; with VORLUNE_E2E_UPDATE_DOCS=1 it is
# also written to docs/screenshots/highscores.png.
# shellcheck source=tests/e2e/lib.sh
source "$(dirname "${BASH_SOURCE[0]}")/lib.sh"

FULL=1920x1080+0+0
# Background: the squares are darker (r below 240), the text is black
# and white; the background keeps r at 255 until the end of a game.
BACKGROUND='r>0.97&&(g<0.95||b<0.95)'
HIGHSCORE_AREA=520x110+690+760 # "Highscore!" at (700, 750)
RESULT_AREA=900x110+540+500    # "You made ..." at (550, 490)
NAME="Baz"

# Writes a score file in the game's layout: six sections of ten entries,
# four lines each (name key, name, score key, score). Level 2 holds ten
# names with score -1; the other sections hold names and scores of their
# own, so that a change in the wrong place shows (level 1 with names a
# player might type: its list is the README's picture).
write_scores()
{
    local file=$1 section key names place score
    local -a level2=(Ada Bo Cy Di Ed Flo Gus Hal Ivy Jo)
    local -a level1=(Mira Orin Tess Quill Juno Pax Rook Sable Vic Wren)
    for section in 1 2 3 4 5 6; do
        case $section in
        1) key=ScoreL1 ;; 2) key=ScoreL2 ;; 3) key=ScoreL3 ;;
        4) key=ScoreL1B ;; 5) key=ScoreL2B ;; 6) key=ScoreL3B ;;
        esac
        for ((place = 1; place <= 10; place++)); do
            if ((section == 2)); then
                names=${level2[place - 1]} score=-1
            elif ((section == 1)); then
                names=${level1[place - 1]} score=$((section * 1000 - place * 10))
            else
                names="S$section P$place" score=$((section * 1000 - place * 10))
            fi
            printf '%s\n' "${key}Name" "$names" "${key}Score" "$score"
        done
    done >"$file"
}

# True when a grab shows the name entry: "Enter Highscore" and the help
# text in black on a red background without squares.
is_name_entry()
{
    e2e_greater "$(e2e_region_share "$1" $FULL "$BACKGROUND")" 0.6 &&
        e2e_greater "$(e2e_region_share "$1" 1400x120+300+240 "$BACKGROUND")" 0.98 &&
        e2e_greater "$(e2e_region_share "$1" 900x110+300+110 "$E2E_DARK")" 0.05 &&
        e2e_greater "$(e2e_region_share "$1" 1200x80+300+720 "$E2E_DARK")" 0.03
}

# Polls until the banner at the end of a game shows: white text in the
# "Highscore!" and result areas while the rest of the screen has lost its
# white (the field starts white, squares and the red background hide it).
# Sets E2E_GRAB.
wait_banner()
{
    local secs=$1 start=$SECONDS white result all
    while ((SECONDS - start < secs)); do
        E2E_GRAB=$(e2e_grab banner)
        white=$(e2e_region_share "$E2E_GRAB" "$HIGHSCORE_AREA" "$E2E_WHITE")
        result=$(e2e_region_share "$E2E_GRAB" "$RESULT_AREA" "$E2E_WHITE")
        all=$(e2e_region_share "$E2E_GRAB" $FULL "$E2E_WHITE")
        if e2e_greater "$white" 0.05 && e2e_greater "$result" 0.03 && e2e_greater 0.2 "$all"; then
            e2e_log "game lost after $((SECONDS - start)) s: white in the banner $white and $result"
            return 0
        fi
        if is_name_entry "$E2E_GRAB"; then
            e2e_release Shift_L 105 w a Up Right
            e2e_keep "$E2E_GRAB" missed-banner >/dev/null
            e2e_fail "the name entry opened before the banner was seen"
        fi
        e2e_game_running || e2e_fail "the program ended during play"
        sleep 0.3
    done
    e2e_keep "$E2E_GRAB" timeout-banner >/dev/null
    e2e_fail "the game was not lost with a high score within $secs s (banner white $white, $result)"
}

# Polls until the name entry shows, with the banner gone. Sets E2E_GRAB.
wait_name_entry()
{
    local secs=$1 start=$SECONDS
    while ((SECONDS - start < secs)); do
        E2E_GRAB=$(e2e_grab entry)
        if is_name_entry "$E2E_GRAB" &&
            ! e2e_greater "$(e2e_region_share "$E2E_GRAB" "$HIGHSCORE_AREA" "$E2E_WHITE")" 0.01; then
            e2e_log "name entry after $((SECONDS - start)) s"
            return 0
        fi
        e2e_game_running || e2e_fail "the program ended before the name entry"
        sleep 0.3
    done
    e2e_keep "$E2E_GRAB" timeout-entry >/dev/null
    e2e_fail "no name entry within $secs s"
}

# Reads the name entry's line (the name typed so far and the letter on
# offer) until it is WANTED.
wait_entry_text()
{
    local wanted=$1 i text=""
    for ((i = 1; i <= 8; i++)); do
        text=$(e2e_ocr "$(e2e_grab "entry-text-$i")" 900x150+280+390 red 50% | tr -d ' \n')
        [[ $text == "$wanted" ]] && return 0
        sleep 0.3
    done
    e2e_keep "$(e2e_grab entry-text)" entry-mismatch >/dev/null
    e2e_fail "the name entry shows \"$text\" instead of \"$wanted\""
}

e2e_init highscore
e2e_require_ocr
e2e_make_workdir
e2e_set_setting Tutorial 0
write_scores "$E2E_WORKDIR/Scores.txt"
cp -- "$E2E_WORKDIR/Scores.txt" "$E2E_ARTIFACTS/Scores-before.txt"
[[ $(wc -l <"$E2E_WORKDIR/Scores.txt") == 240 ]] || e2e_fail "the prepared Scores.txt is not 240 lines long"
e2e_start_xvfb

# ---------------------------------------------------------------- run 1
e2e_start_game 240
e2e_wait_output "Kein Gamepad!" 20
e2e_wait_window 20
e2e_skip_to_menu
cmp -s "$E2E_WORKDIR/Scores.txt" "$E2E_ARTIFACTS/Scores-before.txt" ||
    e2e_fail "the start-up rewrite of a complete Scores.txt changed it"

# "Start Game" without tutorial; fire both guns (right Ctrl is keycode
# 105) and push the crosshairs into the top corners with W, A, Up and
# Right, away from the banner and from most squares.
e2e_tap Shift_L
sleep 0.5
e2e_hold Shift_L 105 w a Up Right
wait_banner 150
# Let go at once: keys still held when the name entry opens would act on it.
e2e_release Shift_L 105 w a Up Right
e2e_keep "$E2E_GRAB" banner >/dev/null
e2e_greater "$(e2e_region_share "$E2E_GRAB" "$RESULT_AREA" "$E2E_WHITE")" 0.03 ||
    e2e_fail "the banner shows no result line in white"
banner=$(e2e_ocr "$E2E_GRAB" 1400x450+500+480)
e2e_log "banner read as: $(tr '\n' '|' <<<"$banner")"

# After the 5 s banner the name entry opens with "A" on offer.
wait_name_entry 15
e2e_keep "$E2E_GRAB" name-entry >/dev/null
wait_entry_text A
e2e_tap d Shift_L s a Shift_L Shift_L
wait_entry_text Baaa
e2e_tap 105
wait_entry_text Baa
e2e_tap a a w
wait_entry_text "$NAME"
e2e_keep "$(e2e_grab entry-typed)" name-typed >/dev/null
e2e_log "typed \"$NAME\""
e2e_tap Return

# Return stores the name and writes the scores: line 42 is the name of
# level 2, place 1 (40 lines per section, 4 per entry), line 44 its score.
scores=$E2E_WORKDIR/Scores.txt
for ((i = 0; i < 50; i++)); do
    [[ $(sed -n 42p "$scores") == "$NAME" ]] && break
    sleep 0.2
done
cp -- "$scores" "$E2E_ARTIFACTS/Scores-after.txt"
[[ $(sed -n 42p "$scores") == "$NAME" ]] || e2e_fail "line 42 of Scores.txt is \"$(sed -n 42p "$scores")\", not \"$NAME\""
score=$(sed -n 44p "$scores")
[[ $score =~ ^(0|[1-9][0-9]*)$ ]] || e2e_fail "line 44 of Scores.txt is \"$score\", not a score"
e2e_log "Scores.txt: \"$NAME\" with $score points at place 1 of level 2"
# Expected file: the old entries of level 2 one place down, the tenth gone.
{
    sed -n 1,40p "$E2E_ARTIFACTS/Scores-before.txt"
    printf '%s\n' ScoreL2Name "$NAME" ScoreL2Score "$score"
    sed -n 41,76p "$E2E_ARTIFACTS/Scores-before.txt"
    sed -n 81,240p "$E2E_ARTIFACTS/Scores-before.txt"
} >"$E2E_TMP/Scores-expected.txt"
diff -u "$E2E_TMP/Scores-expected.txt" "$scores" >"$E2E_ARTIFACTS/Scores.diff" ||
    e2e_fail "Scores.txt differs from the expected list (see Scores.diff)"
if [[ $banner =~ You\ made\ ([0-9]+) ]] && [[ ${BASH_REMATCH[1]} != "$score" ]]; then
    e2e_log "note: the banner read as ${BASH_REMATCH[1]} points, Scores.txt has $score"
fi

# Back in the main menu (its background fades from red to white);
# Escape ends the program.
e2e_wait_highlight 1 3 "main menu after the name entry" 15
e2e_tap Escape
e2e_wait_exit 15
[[ $E2E_GAME_STATUS == 0 ]] || e2e_fail "Escape on the main menu ended the program with status $E2E_GAME_STATUS"

# ---------------------------------------------------------------- run 2
# D opens the level-1 list, D again the level-2 list with the new name.
e2e_start_game 90
e2e_wait_output "Kein Gamepad!" 20
e2e_wait_window 20
e2e_skip_to_menu
e2e_tap d
for ((i = 1; i <= 10; i++)); do
    E2E_GRAB=$(e2e_grab "list1-$i")
    title=$(e2e_ocr "$E2E_GRAB" 900x110+40+0)
    grep -q 'Highscores Level 1' <<<"$title" && break
    sleep 0.3
done
grep -q 'Highscores Level 1' <<<"$title" || e2e_fail "D did not open the level-1 list (title read: $title)"
e2e_publish "$(e2e_keep "$E2E_GRAB" list-level1)" highscores
e2e_tap d
for ((i = 1; i <= 10; i++)); do
    E2E_GRAB=$(e2e_grab "list2-$i")
    title=$(e2e_ocr "$E2E_GRAB" 900x110+40+0)
    grep -q 'Highscores Level 2' <<<"$title" && break
    sleep 0.3
done
grep -q 'Highscores Level 2' <<<"$title" || e2e_fail "a second D did not open the level-2 list (title read: $title)"
e2e_keep "$E2E_GRAB" list-level2 >/dev/null

# The names column (x 300) and the scores column (x 1300), place 1 on top.
names=$(e2e_ocr "$E2E_GRAB" 900x990+280+90)
points=$(e2e_ocr "$E2E_GRAB" 500x990+1280+90)
e2e_log "level-2 names read as: $(tr '\n' '|' <<<"$names")"
e2e_log "level-2 scores read as: $(tr '\n' '|' <<<"$points")"
[[ $(head -n 1 <<<"$names" | tr -d ' ') == "$NAME" ]] || e2e_fail "place 1 of the level-2 list is not \"$NAME\""
[[ $(head -n 1 <<<"$points" | tr -d ' ') == "$score" ]] || e2e_fail "place 1 of the level-2 list does not show $score"
grep -qx 'Ada' <<<"$names" || e2e_fail "the old first entry \"Ada\" is not on the level-2 list"

# Escape returns to the main menu, Escape there ends the program.
e2e_tap Escape
e2e_wait_highlight 1 3 "main menu after the list"
e2e_tap Escape
e2e_wait_exit 15
[[ $E2E_GAME_STATUS == 0 ]] || e2e_fail "Escape on the main menu ended the program with status $E2E_GAME_STATUS"
e2e_log "PASS"
