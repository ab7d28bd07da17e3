#!/usr/bin/env bash
# Packages: builds the .deb and the .tar.gz with CPack from the build tree.
#   - .deb: Debian's own checkers pass it (lintian with no error, warning or
#     informational tag, desktop-file-validate, appstreamcli validate). It is
#     installed with dpkg into a throw-away root and started through its
#     launcher by an unprivileged player: the window shows the game's icon,
#     Settings.txt and Scores.txt land in the player's folder, and a second
#     install (an upgrade) keeps them and mends links an older layout left.
#   - .tar.gz: the folder runs as it is from its own directory.
#   - One identity: the version (CMakeLists.txt), the release date
#     (VORLUNE_RELEASE_DATE there) and the copyright line (LICENSE) stand
#     alike in the package names, the .deb's fields, copyright file,
#     changelog, manual page and AppStream metadata, CPack's vendor and the
#     game's credits; the licence notes ship LICENSE itself.
#   - The source release, vorlune-<version>.tar.gz: it holds exactly the
#     files git tracks, and unpacked where no git work tree is above it, it
#     configures, builds the unit suites (git unreachable: the build must
#     not need it) and passes them.
# Each run must reach its window and end cleanly through the keyboard.
# shellcheck source=tests/e2e/lib.sh
source "$(dirname "${BASH_SOURCE[0]}")/lib.sh"

RUN_LIMIT=60
PLAYER_UID=65534 # nobody: as root every permission check would pass

e2e_init package
for tool in cpack dpkg dpkg-deb lintian desktop-file-validate appstreamcli xprop identify setpriv; do
    command -v "$tool" >/dev/null 2>&1 ||
        e2e_fail "$tool not found (install: lintian desktop-file-utils appstream x11-utils imagemagick)"
done
[[ -f $E2E_BUILD_DIR/CPackConfig.cmake ]] || e2e_fail "no CPackConfig.cmake in $E2E_BUILD_DIR"

# The identity as the sources set it, read here independently of CMake.
src=$E2E_SOURCE_DIR
version=$(sed -n 's/^project(vorlune VERSION \([0-9.]*\)[ )].*/\1/p' "$src/CMakeLists.txt")
release_date=$(sed -n 's/^set(VORLUNE_RELEASE_DATE \([0-9-]*\))$/\1/p' "$src/CMakeLists.txt")
[[ $version =~ ^[0-9]+\.[0-9]+\.[0-9]+$ && $release_date =~ ^[0-9]{4}-[0-9]{2}-[0-9]{2}$ ]] ||
    e2e_fail "CMakeLists.txt sets no version ('$version') or release date ('$release_date')"
[[ $(head -n 1 "$src/LICENSE") == "zlib License" ]] || e2e_fail "LICENSE does not name the zlib licence"
copyright=$(grep '^Copyright' "$src/LICENSE")
[[ $copyright != *$'\n'* && $copyright =~ ^Copyright\ \(c\)\ ([0-9][-0-9,\ ]*[0-9])\ (.+)$ ]] ||
    e2e_fail "LICENSE holds no single line 'Copyright (c) <years> <holder>': $copyright"
years=${BASH_REMATCH[1]}
holder=${BASH_REMATCH[2]}
# LICENSE after its copyright line and the empty line below it.
licence_terms=$(sed -n '/^Copyright/,$p' "$src/LICENSE" | tail -n +3)
[[ $licence_terms == "This software is provided 'as-is'"* ]] || e2e_fail "LICENSE's terms are not the zlib licence"
e2e_log "identity: vorlune $version of $release_date, $copyright"

# --- the icons the build made -------------------------------------------------
# The Windows icon holds every size, each a picture of its own size.
ico_sizes=$(identify -format '%wx%h ' "$E2E_BUILD_DIR/icons/vorlune.ico" 2>/dev/null)
[[ $ico_sizes == "16x16 32x32 48x48 64x64 128x128 256x256 " ]] ||
    e2e_fail "vorlune.ico holds '$ico_sizes', not the six sizes"

# --- build the packages -------------------------------------------------------
pkg_dir=$E2E_TMP/packages
(cd "$E2E_BUILD_DIR" && cpack -G "DEB;TGZ" -B "$pkg_dir") >"$E2E_ARTIFACTS/cpack.log" 2>&1 ||
    e2e_fail "cpack failed: $(tail -n 20 "$E2E_ARTIFACTS/cpack.log")"
deb=$pkg_dir/vorlune_${version}_amd64.deb
tgz=$pkg_dir/vorlune-$version-Linux.tar.gz
[[ -f $deb && -f $tgz ]] || e2e_fail "cpack made not $(basename "$deb") and $(basename "$tgz") but: $(ls "$pkg_dir")"
e2e_log "packages: $(basename "$deb") $(basename "$tgz")"

# The files a game folder must hold, and those it must not ship.
check_game_folder()
{
    local dir=$1 f
    for f in NegativeSpace.ttf Liste.txt Sounds.txt Music.txt media/icon.png licenses/README.txt; do
        [[ -e $dir/$f ]] || e2e_fail "$dir lacks $f"
    done
    cmp -s "$src/LICENSE" "$dir/licenses/vorlune.txt" || e2e_fail "$dir/licenses/vorlune.txt is not LICENSE"
    grep -q 'vorlune\.txt' "$dir/licenses/README.txt" || e2e_fail "$dir/licenses/README.txt does not name vorlune.txt"
    for f in Settings.txt Scores.txt media.stamp; do
        [[ ! -e $dir/$f ]] || e2e_fail "$dir ships $f"
    done
    # Every file the lists name is there.
    while IFS= read -r f; do
        f=${f%$'\r'}
        [[ -z $f || -e $dir/$f ]] || e2e_fail "$dir lacks $f, named in its lists"
    done < <(cat "$dir/Liste.txt" "$dir/Sounds.txt" "$dir/Music.txt")
}

# Starts COMMAND in DIR with HOME set, like e2e_start_game; AS names the
# player: "root" or "player" (the unprivileged PLAYER_UID).
start_command()
{
    local dir=$1 home=$2 as=$3
    shift 3
    local -a run_as=()
    [[ $as == player ]] && run_as=(setpriv --reuid="$PLAYER_UID" --regid="$PLAYER_UID" --clear-groups)
    E2E_RUNS=$((E2E_RUNS + 1))
    E2E_GAME_LOG=$E2E_ARTIFACTS/game-$E2E_RUNS.log
    E2E_GAME_STATUS=""
    E2E_WINDOW=""
    (
        cd "$dir" || exit 125
        unset XDG_DATA_HOME
        export HOME=$home DISPLAY=$E2E_DISPLAY SDL_VIDEODRIVER=x11 SDL_AUDIODRIVER=dummy
        exec timeout -k 5 "$RUN_LIMIT" "${run_as[@]}" "$@"
    ) </dev/null >"$E2E_GAME_LOG" 2>&1 &
    E2E_GAME_PID=$!
}

# Waits for the window and checks it carries the game's 64 px icon; then
# releases Escape about once a second until the program ends (the first
# release ends the keyboard notice, a later one the program); it must end
# with status 0.
run_until_exit()
{
    local what=$1 started icon
    e2e_wait_output "Kein Gamepad!" 20
    e2e_wait_window 20
    e2e_log "$what: window $E2E_WINDOW is up"
    icon=$(DISPLAY=$E2E_DISPLAY timeout 5 xprop -id "$E2E_WINDOW" _NET_WM_ICON | head -n 1)
    [[ $icon == *"Icon (64 x 64)"* ]] || e2e_fail "$what: the window has no 64 px icon: $icon"
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

# --- Debian's checkers --------------------------------------------------------
# lintian runs as an ordinary user; every tag it shows, informational ones
# included, fails (the package overrides those it must keep, with reasons).
# It starts in its own home: that user may not enter the build folder (a
# clone in root's home, say).
chmod 711 "$E2E_TMP"
lintian_home=$E2E_TMP/lintian-home
mkdir -p "$lintian_home"
chown "$PLAYER_UID:$PLAYER_UID" "$lintian_home"
chmod a+r "$deb"
(cd "$lintian_home" && setpriv --reuid="$PLAYER_UID" --regid="$PLAYER_UID" --clear-groups \
    env HOME="$lintian_home" TMPDIR="$lintian_home" \
    lintian --fail-on error,warning,info --display-info --tag-display-limit 0 "$deb") \
    >"$E2E_ARTIFACTS/lintian.log" 2>&1 || e2e_fail "lintian: $(head -n 20 "$E2E_ARTIFACTS/lintian.log")"
[[ ! -s $E2E_ARTIFACTS/lintian.log ]] || e2e_fail "lintian: $(head -n 20 "$E2E_ARTIFACTS/lintian.log")"
e2e_log "lintian passed"

root=$E2E_TMP/root
admin=$root/var/lib/dpkg
install_deb()
{
    dpkg --root="$root" --admindir="$admin" --force-depends --force-not-root -i "$deb" \
        >>"$E2E_ARTIFACTS/dpkg.log" 2>&1 || e2e_fail "dpkg -i failed: $(tail -n 10 "$E2E_ARTIFACTS/dpkg.log")"
}
mkdir -p "$admin/info" "$admin/updates"
touch "$admin/status"
install_deb

desktop=$root/usr/share/applications/vorlune.desktop
metainfo=("$root"/usr/share/metainfo/*.metainfo.xml)
[[ -f $desktop ]] || e2e_fail "the .deb has no desktop entry"
[[ -f ${metainfo[0]} ]] || e2e_fail "the .deb has no AppStream metadata"
desktop-file-validate "$desktop" >"$E2E_ARTIFACTS/desktop-file-validate.log" 2>&1 ||
    e2e_fail "desktop-file-validate: $(cat "$E2E_ARTIFACTS/desktop-file-validate.log")"
[[ ! -s $E2E_ARTIFACTS/desktop-file-validate.log ]] ||
    e2e_fail "desktop-file-validate: $(cat "$E2E_ARTIFACTS/desktop-file-validate.log")"
appstreamcli validate --no-net --pedantic "${metainfo[0]}" >"$E2E_ARTIFACTS/appstream.log" 2>&1 ||
    e2e_fail "appstreamcli validate: $(cat "$E2E_ARTIFACTS/appstream.log")"

# --- one identity everywhere ----------------------------------------------
# Fails with WHAT unless the text GOT equals WANTED.
same()
{
    [[ $2 == "$3" ]] || e2e_fail "$1 is '$2', not '$3'"
}
doc=$root/usr/share/doc/vorlune
same "the .deb's version" "$(dpkg-deb -f "$deb" Version)" "$version"
same "the .deb's maintainer" "$(dpkg-deb -f "$deb" Maintainer | sed 's/ <.*//')" "$holder"
same "CPack's vendor" "$(sed -n 's/^set(CPACK_PACKAGE_VENDOR "\(.*\)")$/\1/p' "$E2E_BUILD_DIR/CPackConfig.cmake")" \
    "$holder"
same "the AppStream release" "$(grep -o '<release [^>]*>' "${metainfo[0]}")" \
    "<release version=\"$version\" date=\"$release_date\">"
same "the AppStream developer" "$(sed -n 's|.*<developer_name>\(.*\)</developer_name>.*|\1|p' "${metainfo[0]}")" \
    "$holder"
same "the manual page's title line" "$(zcat "$root/usr/share/man/man6/vorlune.6.gz" | head -n 1)" \
    ".TH VORLUNE 6 \"$release_date\" \"vorlune $version\" \"Games\""
changelog=$(zcat "$doc/changelog.gz")
same "the changelog's first line" "$(head -n 1 <<<"$changelog")" "vorlune ($version) unstable; urgency=medium"
trailer=$(grep '^ -- ' <<<"$changelog" | head -n 1)
[[ $trailer == " -- $holder <"*">  "* ]] || e2e_fail "the changelog is signed '$trailer', not by $holder"
same "the changelog's date" "$(date -u -d "${trailer#*>  }" +%F)" "$release_date"
same "the copyright file's contact" "$(sed -n 's/^Upstream-Contact: //p' "$doc/copyright")" "$holder"
same "the copyright of the game's files" "$(grep -A1 -x 'Files: \*' "$doc/copyright" | tail -n 1)" \
    "Copyright: $years $holder"
# The zlib terms of the copyright file (the stand-alone "License: Zlib"
# paragraph) are LICENSE's, in Debian's layout.
same "the copyright file's zlib terms" \
    "$(awk '/^License: Zlib$/ { p = 1; next } p && /^ / { print; next } { p = 0 }' "$doc/copyright" |
        sed 's/^ //; s/^\.$//')" "$licence_terms"
grep -aqiF "made by $holder, $years" "$root/usr/lib/games/vorlune/vorlune" ||
    e2e_fail "the game's credits do not name $holder, $years"
e2e_log "the version, release date and copyright line agree everywhere"
grep -qx 'Icon=vorlune' "$desktop" || e2e_fail "the desktop entry names no icon"
for size in 16 32 48 64 128 256; do
    [[ -f $root/usr/share/icons/hicolor/${size}x$size/apps/vorlune.png ]] || e2e_fail "no $size px icon"
done

# --- the installed game, played by an unprivileged player ---------------------
launcher=$root/usr/games/vorlune
data=$root/usr/share/games/vorlune
[[ -x $launcher ]] || e2e_fail "the .deb has no launcher /usr/games/vorlune"
[[ -x $root/usr/lib/games/vorlune/vorlune ]] || e2e_fail "the .deb has no program in /usr/lib/games/vorlune"
[[ ! -e $root/opt ]] || e2e_fail "the .deb installs into /opt"
# The font is a link into fonts-yanone-kaffeesatz, a dependency: the throw-away
# root takes it from this system.
font=$(realpath -m "/usr/share/games/vorlune/$(readlink "$data/NegativeSpace.ttf")")
[[ $font == /usr/share/fonts/* && -f $font ]] || e2e_fail "the font link points to $font"
mkdir -p "$root${font%/*}"
ln -s "$font" "$root$font"
check_game_folder "$data"
depends=$(dpkg-deb -f "$deb" Depends)
for lib in libsdl2-2.0-0 libsdl2-image-2.0-0 libsdl2-ttf-2.0-0 libsdl2-mixer-2.0-0 fonts-yanone-kaffeesatz; do
    grep -q "$lib" <<<"$depends" || e2e_fail "the .deb does not depend on $lib"
done

e2e_start_xvfb
home=$E2E_TMP/home
user_dir=$home/.local/share/vorlune
mkdir -p "$user_dir"
# The player's own settings (windowed: no window manager here) must be kept.
e2e_write_settings "$user_dir/Settings.txt"
chown -R "$PLAYER_UID:$PLAYER_UID" "$home"
start_command "$E2E_TMP" "$home" player "$launcher"
run_until_exit ".deb launcher"

# Checks the player's folder after a run: their own files are kept, the
# shared ones linked, nothing written into the shared data.
check_player_folder()
{
    local f
    for f in Settings.txt Scores.txt; do
        [[ -f $user_dir/$f && ! -L $user_dir/$f ]] || e2e_fail "no $f of the player's own in $user_dir"
        [[ $(stat -c %u "$user_dir/$f") == "$PLAYER_UID" ]] || e2e_fail "$f is not the player's"
        [[ ! -e $data/$f ]] || e2e_fail "the game wrote $f into its shared data"
    done
    [[ $(awk 'prev == "Fullscreen" { print; exit } { prev = $0 }' "$user_dir/Settings.txt") == 0 ]] ||
        e2e_fail "the player's windowed setting was not kept"
    for f in Liste.txt media NegativeSpace.ttf; do
        [[ -L $user_dir/$f && -e $user_dir/$f ]] || e2e_fail "$f is not linked into $user_dir"
    done
}
check_player_folder

# A second install (upgrade) and start keep the player's files. A link that
# an older layout left pointing nowhere is made anew.
printf '%s\n' 'Level 1' 'AAA' 123 >>"$user_dir/Scores.txt"
scores_before=$(md5sum <"$user_dir/Scores.txt")
rm "$user_dir/Liste.txt"
ln -s /opt/vorlune/Liste.txt "$user_dir/Liste.txt"
install_deb
[[ $(md5sum <"$user_dir/Scores.txt") == "$scores_before" ]] || e2e_fail "the upgrade changed Scores.txt"
start_command "$E2E_TMP" "$home" player "$launcher"
run_until_exit ".deb launcher after the upgrade"
check_player_folder
[[ $(readlink "$user_dir/Liste.txt") == "$data/Liste.txt" ]] ||
    e2e_fail "the stale link Liste.txt was not mended"
grep -q "Unable to load image" "$E2E_GAME_LOG" && e2e_fail "pictures went missing after the upgrade"

# --- the .tar.gz ------------------------------------------------------------
tar_root=$E2E_TMP/tar
mkdir -p "$tar_root"
tar -xzf "$tgz" -C "$tar_root" || e2e_fail "cannot unpack $tgz"
folders=("$tar_root"/*/)
[[ ${#folders[@]} -eq 1 && -d ${folders[0]} ]] || e2e_fail "the .tar.gz does not hold exactly one folder"
folder=${folders[0]%/}
check_game_folder "$folder"
[[ -x $folder/vorlune && -f $folder/NegativeSpace.ttf && ! -L $folder/NegativeSpace.ttf ]] ||
    e2e_fail "the .tar.gz folder lacks its program or its own font"
[[ ! -e $folder/usr && ! -e $folder/opt ]] || e2e_fail "the .tar.gz holds system paths"
e2e_write_settings "$folder/Settings.txt"
start_command "$folder" "$home" root ./vorlune
run_until_exit ".tar.gz folder"
[[ -f $folder/Scores.txt ]] || e2e_fail "the unpacked folder has no Scores.txt after a run"

# --- the source release -------------------------------------------------------
[[ ! -e $src/.git ]] || command -v git >/dev/null 2>&1 || e2e_fail "git not found (install: git)"
if ! git -C "$src" rev-parse --is-inside-work-tree >/dev/null 2>&1; then
    e2e_log "$src is no git work tree: the source release is made from one, not checked here"
    e2e_log "PASS"
    exit 0
fi
# Made in a folder named build-..., as `--target package_source` makes it in
# build/: ignore patterns that match absolute paths would leave it empty.
(cd "$E2E_BUILD_DIR" && cpack --config CPackSourceConfig.cmake -B "$pkg_dir/build-source") \
    >"$E2E_ARTIFACTS/cpack-source.log" 2>&1 ||
    e2e_fail "the source release failed: $(tail -n 20 "$E2E_ARTIFACTS/cpack-source.log")"
source_tgz=$pkg_dir/build-source/vorlune-$version.tar.gz
[[ -f $source_tgz ]] || e2e_fail "no $(basename "$source_tgz") but: $(ls "$pkg_dir/build-source")"
tar -tzf "$source_tgz" | grep -v '/$' | sed "s|^vorlune-$version/||" | sort >"$E2E_ARTIFACTS/source-files.txt"
git -C "$src" ls-files | sort >"$E2E_ARTIFACTS/git-files.txt"
diff "$E2E_ARTIFACTS/git-files.txt" "$E2E_ARTIFACTS/source-files.txt" >"$E2E_ARTIFACTS/source-files.diff" ||
    e2e_fail "the source release holds other files than git tracks (< tracked only, > packed only):
$(head -n 20 "$E2E_ARTIFACTS/source-files.diff")"
e2e_log "$(basename "$source_tgz"): $(wc -l <"$E2E_ARTIFACTS/source-files.txt") files, those git tracks"

# Unpacked where no .git is above it, built with a git that only records
# its calls: the unit suites only, configured as Debian's helper does
# (build type None) with -O2 and no debug information, which compiles a
# fifth faster than RelWithDebInfo; unoptimised code would save a little
# more but run the suites' huge-file cases four times as long.
source_root=$E2E_TMP/source
mkdir -p "$source_root/no-git"
tar -xzf "$source_tgz" -C "$source_root" || e2e_fail "cannot unpack $source_tgz"
dir=$source_root
while [[ ! -e $dir/.git ]]; do
    [[ $dir != / ]] || break
    dir=$(dirname "$dir")
done
[[ ! -e $dir/.git ]] || e2e_fail "$source_root lies in a git work tree ($dir): set TMPDIR elsewhere"
printf '#!/bin/sh\necho "git $*" >>"%s"\nexit 128\n' "$source_root/git-calls.log" >"$source_root/no-git/git"
chmod +x "$source_root/no-git/git"
source_tree=$source_root/vorlune-$version
started=$SECONDS
(
    export PATH=$source_root/no-git:$PATH
    cmake -S "$source_tree" -B "$source_tree/build" -G "Unix Makefiles" -DCMAKE_BUILD_TYPE=None \
        -DCMAKE_C_FLAGS=-O2 -DCMAKE_CXX_FLAGS=-O2 || exit
    mapfile -t suites < <(cmake --build "$source_tree/build" --target help |
        sed -n 's/^\.\.\. \(vorlune_[a-z]*_tests\)$/\1/p')
    ((${#suites[@]})) || exit
    echo "unit suites: ${suites[*]}"
    cmake --build "$source_tree/build" -j 2 --target "${suites[@]}" || exit
    echo "configured and built in $((SECONDS - started)) s"
    ctest --test-dir "$source_tree/build" -LE e2e -j 2 --output-on-failure || exit
    echo "processor time (user, system) of the shell, then of the build and tests:"
    times
) >"$E2E_ARTIFACTS/source-build.log" 2>&1 ||
    e2e_fail "the source release does not build or pass its unit suites: $(tail -n 30 "$E2E_ARTIFACTS/source-build.log")"
[[ ! -e $source_root/git-calls.log ]] ||
    e2e_fail "the build of the source release called git: $(head -n 5 "$source_root/git-calls.log")"
e2e_log "the source release configures, builds and passes its unit suites in $((SECONDS - started)) s:" \
    "$(grep 'tests passed' "$E2E_ARTIFACTS/source-build.log")"

e2e_log "PASS"
