#!/usr/bin/env bash
# The real program against hostile settings files: missing, empty, random
# bytes, 100 MB, a directory in its place, read-only, Windows line ends and
# difficulties outside the levels. Every run is ended through Escape on the
# main menu and must exit with status 0; afterwards the file holds what the
# program documents (its defaults, the values read, or, where it could not
# write, the old bytes).
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

settings_empty()
{
    e2e_make_workdir
    : >"$(settings_file)"
    rel_play_and_quit
    expect_default_file
}

settings_binary()
{
    e2e_make_workdir
    rel_noise 262144 101 >"$(settings_file)"
    rel_play_and_quit
    expect_default_file
}

settings_huge()
{
    e2e_make_workdir
    {
        printf 'Fullscreen\n0\nPadName\n'
        head -c 104857600 /dev/zero | tr '\0' 'x'
        printf '\nDifficulty\n3\nFXVolume\n60\n'
    } >"$(settings_file)"
    rel_play_and_quit
    expect_setting Fullscreen 0
    expect_setting Difficulty 3
    expect_setting FXVolume 60
    local size
    size=$(stat -c %s "$(settings_file)")
    ((size < 4096)) || e2e_fail "Settings.txt is $size bytes after the rewrite"
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

settings_readonly()
{
    e2e_make_workdir
    printf '%s\n' Fullscreen 0 Difficulty 3 Tutorial 0 PadName "Old Pad" >"$(settings_file)"
    local before
    before=$(md5sum <"$(settings_file)")
    rel_make_workdir_readonly
    rel_play_and_quit
    [[ $(md5sum <"$(settings_file)") == "$before" ]] || e2e_fail "the read-only file changed"
    ! compgen -G "$(settings_file)*.tmp" >/dev/null || e2e_fail "a temporary file was left behind"
}

settings_windows_line_ends()
{
    e2e_make_workdir
    printf '%s\r\n' Antialiasing 0 Fullscreen 0 Vsync 1 MuVolume 70 FXVolume 50 Difficulty 3 \
        PadName NoPad Tutorial 0 >"$(settings_file)"
    rel_play_and_quit
    grep -q $'\r' "$(settings_file)" && e2e_fail "the rewrite kept carriage returns"
    expect_setting Antialiasing 0
    expect_setting Difficulty 3
    expect_setting FXVolume 50
    expect_setting MuVolume 70
    expect_setting Tutorial 0
}

settings_difficulty_low()
{
    e2e_make_workdir
    printf '%s\n' Fullscreen 0 Difficulty -5 >"$(settings_file)"
    rel_play_and_quit
    expect_setting Difficulty 2
}

settings_difficulty_high()
{
    e2e_make_workdir
    printf '%s\n' Fullscreen 0 Difficulty 99 >"$(settings_file)"
    rel_play_and_quit
    expect_setting Difficulty 2
}

e2e_init hostile-settings
rel_run_scenarios hostile-settings "$JOBS" \
    settings_missing settings_empty settings_binary settings_huge settings_directory \
    settings_readonly settings_windows_line_ends settings_difficulty_low settings_difficulty_high
