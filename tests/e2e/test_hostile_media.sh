#!/usr/bin/env bash
# The real program against hostile media: lists naming missing, corrupt or
# unreadable files, lists of random bytes, no lists at all, no font, and an
# audio device that cannot be opened. Every run is ended through Escape and
# must exit with status 0. (Lists longer than their tables: the unit test
# AudioTest.ListLinesPastTheLastSlotAreIgnored, for all three lists.)
# shellcheck source=tests/e2e/lib.sh
source "$(dirname "${BASH_SOURCE[0]}")/lib.sh"
# shellcheck source=tests/e2e/reliability_lib.sh
source "$(dirname "${BASH_SOURCE[0]}")/reliability_lib.sh"

JOBS=${VORLUNE_E2E_JOBS:-3}

# Number of output lines that contain TEXT.
output_count() { grep -cF -- "$1" "$E2E_GAME_LOG"; }

# Lists that name files which are not there, an empty line, a directory and
# a path with trailing blanks.
lists_naming_missing_files()
{
    e2e_make_workdir
    local list
    for list in Liste.txt Sounds.txt Music.txt; do
        printf '%s\n' "no/such/file" "" "media" "media/crosshair.png  " >"$E2E_WORKDIR/$list"
    done
    # A missing window icon is skipped without a word.
    rm -f "$E2E_WORKDIR/media/icon.png"
    rel_play_and_quit
    local reported
    reported=$(output_count "Unable to load image")
    ((reported == 4)) || e2e_fail "$reported image failures reported, expected 4"
}

# Lists that name corrupt files: random bytes, cut-off pictures and sounds,
# an empty file, and a file of one format named like another; the window
# icon is cut off too.
lists_naming_corrupt_files()
{
    e2e_make_workdir
    local dir=$E2E_WORKDIR/media
    rel_noise 5000 101 >"$dir/noise.png"
    rel_noise 5000 102 >"$dir/noise.wav"
    head -c 100 "$dir/crosshair.png" >"$dir/cut.png"
    head -c 100 "$dir/gun.wav" >"$dir/cut.wav"
    : >"$dir/empty.png"
    : >"$dir/empty.wav"
    cp "$dir/gun.wav" "$dir/sound.png"
    cp "$dir/crosshair.png" "$dir/picture.wav"
    head -c 300 "$dir/icon.png" >"$dir/icon.png.cut" && mv "$dir/icon.png.cut" "$dir/icon.png"
    printf '%s\n' media/noise.png media/cut.png media/empty.png media/sound.png \
        media/square_fresh.png >"$E2E_WORKDIR/Liste.txt"
    printf '%s\n' media/noise.wav media/cut.wav media/empty.wav media/picture.wav >"$E2E_WORKDIR/Sounds.txt"
    printf '%s\n' media/noise.wav media/cut.wav media/empty.wav media/picture.wav >"$E2E_WORKDIR/Music.txt"
    rel_play_and_quit
    local reported
    reported=$(output_count "Unable to load image")
    ((reported == 4)) || e2e_fail "$reported image failures reported, expected 4"
}

lists_of_random_bytes()
{
    e2e_make_workdir
    local list
    for list in Liste.txt Sounds.txt Music.txt; do
        rel_noise 65536 103 >"$E2E_WORKDIR/$list"
    done
    rel_play_and_quit
}

lists_absent()
{
    e2e_make_workdir
    rm -f "$E2E_WORKDIR/Liste.txt" "$E2E_WORKDIR/Sounds.txt" "$E2E_WORKDIR/Music.txt"
    rel_play_and_quit
    grep -q "Unable to load image" "$E2E_GAME_LOG" && e2e_fail "an image was tried without a list"
    return 0
}

font_missing()
{
    e2e_make_workdir
    rm -f "$E2E_WORKDIR/NegativeSpace.ttf"
    rel_play_and_quit
}

audio_driver_missing()
{
    e2e_make_workdir
    rel_play_and_quit SDL_AUDIODRIVER=no-such-driver
    grep -q "Ton-Wiedergabe nicht möglich :(: " "$E2E_GAME_LOG" ||
        e2e_fail "no report of the failed audio device"
}

audio_device_unwritable()
{
    e2e_make_workdir
    # The disk driver writes the sound into a file; this one cannot be made.
    rel_play_and_quit SDL_AUDIODRIVER=disk SDL_DISKAUDIOFILE=/nonexistent/dir/sound.raw
    grep -q "Ton-Wiedergabe nicht möglich :(: " "$E2E_GAME_LOG" ||
        e2e_fail "no report of the failed audio device"
}

e2e_init hostile-media
rel_run_scenarios hostile-media "$JOBS" \
    lists_naming_missing_files lists_naming_corrupt_files lists_of_random_bytes lists_absent \
    font_missing audio_driver_missing audio_device_unwritable
