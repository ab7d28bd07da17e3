#!/usr/bin/env bash
# The real program against hostile score files: missing, empty, random
# bytes, 100 MB, a directory in its place, read-only, Windows line ends and
# fifteen entries in one section. Every run is ended through Escape and must
# exit with status 0; the start-up rewrite then leaves the complete file of
# 240 lines with what was read (or, where it could not write, the old bytes).
# shellcheck source=tests/e2e/lib.sh
source "$(dirname "${BASH_SOURCE[0]}")/lib.sh"
# shellcheck source=tests/e2e/reliability_lib.sh
source "$(dirname "${BASH_SOURCE[0]}")/reliability_lib.sh"

JOBS=${VORLUNE_E2E_JOBS:-3}

scores_file() { echo "$E2E_WORKDIR/Scores.txt"; }

# Line N of the score file.
score_line() { sed -n "${1}p" "$(scores_file)"; }

# The rewrite at start-up: 240 lines, six sections of ten entries, in order.
expect_complete_file()
{
    local file lines
    file=$(scores_file)
    [[ -f $file ]] || e2e_fail "no Scores.txt written"
    lines=$(rel_lines "$file")
    ((lines == 240)) || e2e_fail "Scores.txt has $lines lines, not 240"
    grep -q $'\r' "$file" && e2e_fail "Scores.txt holds carriage returns"
    [[ $(score_line 1) == ScoreL1Name && $(score_line 3) == ScoreL1Score ]] ||
        e2e_fail "Scores.txt does not start with the level 1 section"
    [[ $(score_line 201) == ScoreL3BName ]] || e2e_fail "line 201 is not \"ScoreL3BName\""
}

# Every name empty and every score 0.
expect_empty_lists()
{
    expect_complete_file
    local bad
    bad=$(awk 'NR % 4 == 2 && $0 != "" || NR % 4 == 0 && $0 != "0"' "$(scores_file)" | head -n 3)
    [[ -z $bad ]] || e2e_fail "entries left in the lists: $bad"
}

scores_missing()
{
    e2e_make_workdir
    rel_play_and_quit
    expect_empty_lists
}

scores_empty()
{
    e2e_make_workdir
    : >"$(scores_file)"
    rel_play_and_quit
    expect_empty_lists
}

scores_binary()
{
    e2e_make_workdir
    rel_noise 262144 101 >"$(scores_file)"
    rel_play_and_quit
    expect_empty_lists
}

scores_huge()
{
    e2e_make_workdir
    {
        printf 'ScoreL1Name\nAda\nScoreL1Score\n500\nScoreL2Name\n'
        head -c 104857600 /dev/zero | tr '\0' 'n'
        printf '\nScoreL2Score\n7\n'
    } >"$(scores_file)"
    rel_play_and_quit
    expect_complete_file
    [[ $(score_line 2) == Ada && $(score_line 4) == 500 ]] || e2e_fail "level 1 entry lost"
    [[ $(score_line 44) == 7 ]] || e2e_fail "level 2 score after the huge name lost"
    local size
    size=$(stat -c %s "$(scores_file)")
    ((size < 200000)) || e2e_fail "Scores.txt is $size bytes after the rewrite"
}

scores_directory()
{
    e2e_make_workdir
    mkdir "$(scores_file)"
    : >"$(scores_file)/inside"
    rel_play_and_quit
    [[ -d $(scores_file) && -f $(scores_file)/inside ]] || e2e_fail "the directory was replaced"
    ! compgen -G "$(scores_file)*.tmp" >/dev/null || e2e_fail "a temporary file was left behind"
}

scores_readonly()
{
    e2e_make_workdir
    printf '%s\n' ScoreL1Name Ada ScoreL1Score 500 >"$(scores_file)"
    local before
    before=$(md5sum <"$(scores_file)")
    rel_make_workdir_readonly
    rel_play_and_quit
    [[ $(md5sum <"$(scores_file)") == "$before" ]] || e2e_fail "the read-only file changed"
    ! compgen -G "$(scores_file)*.tmp" >/dev/null || e2e_fail "a temporary file was left behind"
}

scores_windows_line_ends()
{
    e2e_make_workdir
    printf '%s\r\n' ScoreL3Name "Bo Bo" ScoreL3Score 900 ScoreL3Name Cy ScoreL3Score 800 \
        >"$(scores_file)"
    rel_play_and_quit
    expect_complete_file
    [[ $(score_line 82) == "Bo Bo" && $(score_line 84) == 900 ]] || e2e_fail "first entry lost"
    [[ $(score_line 86) == Cy && $(score_line 88) == 800 ]] || e2e_fail "second entry lost"
}

scores_fifteen_entries()
{
    e2e_make_workdir
    local i
    for ((i = 1; i <= 15; i++)); do
        printf '%s\n' ScoreL2BName "Name $i" ScoreL2BScore $((2000 - i))
    done >"$(scores_file)"
    rel_play_and_quit
    expect_complete_file
    # Section 5 starts at line 161; its ten entries are the first ten read.
    for ((i = 1; i <= 10; i++)); do
        [[ $(score_line $((160 + 4 * i - 2))) == "Name $i" ]] || e2e_fail "entry $i misplaced"
        [[ $(score_line $((160 + 4 * i))) == $((2000 - i)) ]] || e2e_fail "score $i misplaced"
    done
    grep -q '^Name 11$' "$(scores_file)" && e2e_fail "the 11th entry was written back"
    grep -q '^Name 15$' "$(scores_file)" && e2e_fail "the 15th entry was written back"
    return 0
}

e2e_init hostile-scores
rel_run_scenarios hostile-scores "$JOBS" \
    scores_missing scores_empty scores_binary scores_huge scores_directory scores_readonly \
    scores_windows_line_ends scores_fifteen_entries
