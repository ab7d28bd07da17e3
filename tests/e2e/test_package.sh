#!/usr/bin/env bash
# Packages: builds the .deb and the .tar.gz with CPack from the build tree,
# unpacks each into a temporary root and starts the unpacked game under Xvfb.
#   - .deb (dpkg-deb -x): the launcher /usr/games/vorlune runs the game from
#     /opt/vorlune in the user's own folder ~/.local/share/vorlune, where
#     Settings.txt and Scores.txt are written; the game folder stays as shipped.
#   - .tar.gz: the folder runs as it is from its own directory.
# Each run must reach its window and end cleanly through the keyboard.
# shellcheck source=tests/e2e/lib.sh
source "$(dirname "${BASH_SOURCE[0]}")/lib.sh"

RUN_LIMIT=60

e2e_init package
command -v cpack >/dev/null 2>&1 || e2e_fail "cpack not found"
command -v dpkg-deb >/dev/null 2>&1 || e2e_fail "dpkg-deb not found"
[[ -f $E2E_BUILD_DIR/CPackConfig.cmake ]] || e2e_fail "no CPackConfig.cmake in $E2E_BUILD_DIR"

# --- build the packages -------------------------------------------------------
pkg_dir=$E2E_TMP/packages
(cd "$E2E_BUILD_DIR" && cpack -G "DEB;TGZ" -B "$pkg_dir") >"$E2E_ARTIFACTS/cpack.log" 2>&1 ||
    e2e_fail "cpack failed: $(tail -n 20 "$E2E_ARTIFACTS/cpack.log")"
debs=("$pkg_dir"/*.deb)
tgzs=("$pkg_dir"/*.tar.gz)
[[ -f ${debs[0]} ]] || e2e_fail "cpack made no .deb"
[[ -f ${tgzs[0]} ]] || e2e_fail "cpack made no .tar.gz"
e2e_log "packages: $(basename "${debs[0]}") $(basename "${tgzs[0]}")"

# The files a game folder must hold, and those it must not ship.
check_game_folder()
{
    local dir=$1 f
    for f in vorlune NegativeSpace.ttf Liste.txt Sounds.txt Music.txt licenses/README.txt; do
        [[ -e $dir/$f ]] || e2e_fail "$dir lacks $f"
    done
    [[ -x $dir/vorlune ]] || e2e_fail "$dir/vorlune is not executable"
    for f in Settings.txt Scores.txt media.stamp; do
        [[ ! -e $dir/$f ]] || e2e_fail "$dir ships $f"
    done
    # Every file the lists name is there.
    while IFS= read -r f; do
        f=${f%$'\r'}
        [[ -z $f || -e $dir/$f ]] || e2e_fail "$dir lacks $f, named in its lists"
    done < <(cat "$dir/Liste.txt" "$dir/Sounds.txt" "$dir/Music.txt")
}

# Starts COMMAND in DIR with the given extra environment, like e2e_start_game.
start_command()
{
    local dir=$1 home=$2
    shift 2
    E2E_RUNS=$((E2E_RUNS + 1))
    E2E_GAME_LOG=$E2E_ARTIFACTS/game-$E2E_RUNS.log
    E2E_GAME_STATUS=""
    E2E_WINDOW=""
    (
        cd "$dir" || exit 125
        unset XDG_DATA_HOME
        export HOME=$home DISPLAY=$E2E_DISPLAY SDL_VIDEODRIVER=x11 SDL_AUDIODRIVER=dummy
        exec timeout -k 5 "$RUN_LIMIT" "$@"
    ) </dev/null >"$E2E_GAME_LOG" 2>&1 &
    E2E_GAME_PID=$!
}

# Waits for the window, then releases Escape about once a second until the
# program ends (the first release ends the keyboard notice, a later one the
# program); it must end with status 0.
run_until_exit()
{
    local what=$1 started
    e2e_wait_output "Kein Gamepad!" 20
    e2e_wait_window 20
    e2e_log "$what: window $E2E_WINDOW is up"
    sleep 0.5
    started=$SECONDS
    while e2e_game_running && ((SECONDS - started < RUN_LIMIT - 10)); do
        e2e_key Escape
        sleep 1
    done
    e2e_wait_exit 10
    case $E2E_GAME_STATUS in
    0) e2e_log "$what: ended with status 0" ;;
    124 | 137) e2e_fail "$what: hung (killed after $RUN_LIMIT s)" ;;
    *) e2e_fail "$what: ended with status $E2E_GAME_STATUS" ;;
    esac
}

e2e_start_xvfb

# --- the .deb ---------------------------------------------------------------
root=$E2E_TMP/root
mkdir -p "$root"
dpkg-deb -x "${debs[0]}" "$root" || e2e_fail "dpkg-deb -x failed"
launcher=$root/usr/games/vorlune
[[ -x $launcher ]] || e2e_fail "the .deb has no launcher /usr/games/vorlune"
[[ -f $root/usr/share/applications/vorlune.desktop ]] || e2e_fail "the .deb has no desktop entry"
check_game_folder "$root/opt/vorlune"
depends=$(dpkg-deb -f "${debs[0]}" Depends)
for lib in libsdl2-2.0-0 libsdl2-image-2.0-0 libsdl2-ttf-2.0-0 libsdl2-mixer-2.0-0; do
    grep -q "$lib" <<<"$depends" || e2e_fail "the .deb does not depend on $lib"
done
chmod -R a-w "$root/opt/vorlune" # as installed: not writable by the player

home=$E2E_TMP/home
user_dir=$home/.local/share/vorlune
mkdir -p "$user_dir"
# The player's own settings (windowed: no window manager here) must be kept.
e2e_write_settings "$user_dir/Settings.txt"
start_command "$E2E_TMP" "$home" "$launcher"
run_until_exit ".deb launcher"
[[ -f $user_dir/Scores.txt ]] || e2e_fail "no Scores.txt in the player's folder $user_dir"
[[ -L $user_dir/Liste.txt && -e $user_dir/Liste.txt ]] || e2e_fail "Liste.txt is not linked into $user_dir"
[[ -e $user_dir/media ]] || e2e_fail "media are not linked into $user_dir"
grep -qx 'Fullscreen' "$user_dir/Settings.txt" || e2e_fail "the player's Settings.txt was lost"
[[ $(awk 'prev == "Fullscreen" { print; exit } { prev = $0 }' "$user_dir/Settings.txt") == 0 ]] ||
    e2e_fail "the player's windowed setting was not kept"
for f in Settings.txt Scores.txt; do
    [[ ! -e $root/opt/vorlune/$f ]] || e2e_fail "the game wrote $f into its installed folder"
done
chmod -R u+w "$root/opt/vorlune"

# A second start reuses the folder (links already there, scores kept).
start_command "$E2E_TMP" "$home" "$launcher"
run_until_exit ".deb launcher, second start"

# --- the .tar.gz ------------------------------------------------------------
tar_root=$E2E_TMP/tar
mkdir -p "$tar_root"
tar -xzf "${tgzs[0]}" -C "$tar_root" || e2e_fail "cannot unpack ${tgzs[0]}"
folders=("$tar_root"/*/)
[[ ${#folders[@]} -eq 1 && -d ${folders[0]} ]] || e2e_fail "the .tar.gz does not hold exactly one folder"
folder=${folders[0]%/}
check_game_folder "$folder"
[[ ! -e $folder/usr && ! -e $folder/opt ]] || e2e_fail "the .tar.gz holds system paths"
e2e_write_settings "$folder/Settings.txt"
start_command "$folder" "$home" ./vorlune
run_until_exit ".tar.gz folder"
[[ -f $folder/Scores.txt ]] || e2e_fail "the unpacked folder has no Scores.txt after a run"

e2e_log "PASS"
