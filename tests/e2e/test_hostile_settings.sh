#!/usr/bin/env bash
# The real program against a missing settings file and a directory in its
# place. Every run is ended through Escape on the main menu and must exit
# with status 0; afterwards the program has written its defaults, or left
# the directory as it was. How the file reads when it is empty, random bytes,
# 100 MB, read-only, has Windows line ends or difficulties outside the levels
# is the unit tests' part (tests/persist: SettingsTest, ReaderMemoryTest,
# AtomicWriteTest), which need no program start for each case.
# shellcheck source=tests/e2e/lib.sh
source "$(dirname "${BASH_SOURCE[0]}")/lib.sh"
# shellcheck source=tests/e2e/reliability_lib.sh
source "$(dirname "${BASH_SOURCE[0]}")/reliability_lib.sh"

JOBS=${VORLUNE_E2E_JOBS:-3}

settings_file() { echo "$E2E_WORKDIR/Settings.txt"; }

expect_setting()
{
    local got
    got=$(e2e_setting "$1")
    [[ $got == "$2" ]] || e2e_fail "\"$1\" reads \"$got\" after the run, expected \"$2\""
}

# The file the program writes when it had nothing usable to read.
expect_default_file()
{
    local file
    file=$(settings_file)
    [[ -f $file ]] || e2e_fail "no Settings.txt written"
    (($(rel_lines "$file") == 30)) || e2e_fail "Settings.txt has $(rel_lines "$file") lines, not 30"
    expect_setting Antialiasing 1
    expect_setting Fullscreen 1
    expect_setting Difficulty 2
    expect_setting MuVolume 120
    expect_setting PadName NoPad
    expect_setting Tutorial 1
}

settings_missing()
{
    e2e_make_workdir
    rm -f "$(settings_file)"
    rel_play_and_quit
    expect_default_file
}

settings_directory()
{
    e2e_make_workdir
    rm -f "$(settings_file)"
    mkdir "$(settings_file)"
    : >"$(settings_file)/inside"
    rel_play_and_quit
    [[ -d $(settings_file) && -f $(settings_file)/inside ]] || e2e_fail "the directory was replaced"
    ! compgen -G "$(settings_file)*.tmp" >/dev/null || e2e_fail "a temporary file was left behind"
}

e2e_init hostile-settings
rel_run_scenarios hostile-settings "$JOBS" settings_missing settings_directory
