#!/usr/bin/env bash
# The real program against a missing score file and a directory in its
# place. Every run is ended through Escape and must exit with status 0; the
# start-up rewrite then leaves the complete file of 240 lines, or the
# directory as it was. How the file reads when it is empty, random bytes,
# 100 MB, read-only, has Windows line ends or too many entries is the unit
# tests' part (tests/persist: ScoresTest, ReaderMemoryTest, AtomicWriteTest),
# which need no program start for each case.
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

scores_directory()
{
    e2e_make_workdir
    mkdir "$(scores_file)"
    : >"$(scores_file)/inside"
    rel_play_and_quit
    [[ -d $(scores_file) && -f $(scores_file)/inside ]] || e2e_fail "the directory was replaced"
    ! compgen -G "$(scores_file)*.tmp" >/dev/null || e2e_fail "a temporary file was left behind"
}

e2e_init hostile-scores
rel_run_scenarios hostile-scores "$JOBS" scores_missing scores_directory
