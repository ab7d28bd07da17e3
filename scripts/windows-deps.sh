#!/usr/bin/env bash
# Builds the Windows (x86-64, MinGW-w64) libraries the game needs from
# Debian's own source packages, into one prefix cached outside the checkout:
#
#   SDL2, SDL2_image (PNG through stb), SDL2_ttf (FreeType, no HarfBuzz),
#   SDL2_mixer (WAV only), FreeType (no zlib, bzip2, png, harfbuzz, brotli)
#   and GoogleTest (from the googletest package's sources, no gmock).
#
# The prefix is ${VORLUNE_CACHE:-~/.cache/vorlune}/win64-<key>, where <key> is
# a hash of the source package versions built, this script and the
# compiler's version; a finished prefix is reused as it is. The versions are
# those of the Linux packages installed (libsdl2-dev, libfreetype-dev, ...),
# as dpkg knows them, while Debian's archive still serves their sources, else
# the archive's current ones. A link win64-installed-<key of the installed
# versions> leads to the prefix, so that a cached prefix is found from dpkg's
# database alone, with neither apt nor root.
#
# Nothing but Debian's archive is used: the sources come from `apt-get
# source`. Where apt serves none, a deb-src entry for the machine's own
# archive (see scripts/debian-sources.sh; VORLUNE_DEBIAN_ARCHIVE overrides
# it) is added as /etc/apt/sources.list.d/vorlune-deb-src.sources, kept only
# when the archive then serves the sources.
#
# Usage: scripts/windows-deps.sh     prints the prefix on its last line
# Environment: JOBS  parallel build jobs (default: number of processors)
set -euo pipefail

# Each library and the installed Linux packages whose source it is built from.
LIBS=(sdl2 freetype sdl2_image sdl2_ttf sdl2_mixer)
declare -A BINARIES=(
    [sdl2]=libsdl2-dev
    [freetype]="libfreetype-dev libfreetype6"
    [sdl2_image]=libsdl2-image-dev
    [sdl2_ttf]=libsdl2-ttf-dev
    [sdl2_mixer]=libsdl2-mixer-dev
)
GTEST_SRC=/usr/src/googletest
TRIPLE=x86_64-w64-mingw32
CC_W=$TRIPLE-gcc-posix
CXX_W=$TRIPLE-g++-posix
JOBS=${JOBS:-$(nproc 2>/dev/null || echo 2)}
DEB_SRC_FILE=/etc/apt/sources.list.d/vorlune-deb-src.sources

log() { printf 'windows-deps: %s\n' "$*" >&2; }
die()
{
    printf 'windows-deps: %s\n' "$*" >&2
    exit 1
}

self=$(readlink -f "${BASH_SOURCE[0]}")
. "$(dirname "$self")/debian-sources.sh"

command -v "$CXX_W" >/dev/null || die "$CXX_W not found; as root run: apt-get install g++-mingw-w64-x86-64-posix"
command -v "$TRIPLE-windres" >/dev/null || die "$TRIPLE-windres not found; as root run: apt-get install binutils-mingw-w64-x86-64"
[[ -f $GTEST_SRC/CMakeLists.txt ]] || die "$GTEST_SRC not found; as root run: apt-get install googletest"

# --- the versions -------------------------------------------------------------
declare -A SRC WANT GOT
for lib in "${LIBS[@]}"; do
    # shellcheck disable=SC2086
    read -r SRC[$lib] WANT[$lib] < <(installed_source ${BINARIES[$lib]}) ||
        die "none of ${BINARIES[$lib]} is installed, so the version to build is unknown; run: bash scripts/setup.sh windows"
done
# Prints "<source> <version>" for each library, from the array named $1.
versions_of()
{
    local -n v=$1
    local lib
    for lib in "${LIBS[@]}"; do printf '%s %s\n' "${SRC[$lib]}" "${v[$lib]}"; done
}
# The cache key of the versions printed by $1.
key_of()
{
    {
        "$@"
        cat "$self"
        "$CXX_W" --version | head -n1
        dpkg-query -W -f='${Version}\n' googletest 2>/dev/null || true
    } | sha256sum | cut -c1-16
}
cache=${VORLUNE_CACHE:-${XDG_CACHE_HOME:-$HOME/.cache}/vorlune}
index=$cache/win64-installed-$(key_of versions_of WANT)
if [[ -f $index/.complete ]]; then
    prefix=$(readlink -f "$index")
    log "cached libraries in $prefix: $(paste -sd, "$prefix/versions" | sed 's/,/, /g')"
    printf '%s\n' "$prefix"
    exit 0
fi

# --- the sources --------------------------------------------------------------
# True when apt serves some source of every library.
have_sources()
{
    local lib
    for lib in "${LIBS[@]}"; do
        served_source_version "${SRC[$lib]}" "" >/dev/null || return 1
    done
}
# True when apt reads its configuration without error.
apt_reads_sources() { apt-get indextargets >/dev/null 2>&1; }
write_deb_src()
{
    local uri=$1 signed_by=$2
    {
        printf 'Types: deb-src\nURIs: %s\nSuites: %s %s-updates\nComponents: main\n' \
            "$uri" "$codename" "$codename"
        [[ -z $signed_by ]] || printf 'Signed-By: %s\n' "$signed_by"
    } >"$DEB_SRC_FILE"
}
add_deb_src()
{
    local uri updlog
    uri=$(debian_archive_uri "$codename")
    log "adding $DEB_SRC_FILE ($uri $codename)"
    # apt refuses a source whose key differs from its binary entry's: the
    # entry's own key (a file, not a key written inline), else Debian's.
    local key keys=()
    key=$(signed_by_of "$uri")
    [[ -z $key || $key == *BEGIN* ]] || keys+=("$key")
    keys+=(/usr/share/keyrings/debian-archive-keyring.gpg "")
    for key in "${keys[@]}"; do
        write_deb_src "$uri" "$key"
        apt_reads_sources && break
    done
    apt_reads_sources || {
        rm -f "$DEB_SRC_FILE"
        die "apt could not read its sources with a deb-src entry for $uri, so removed $DEB_SRC_FILE again. Add a deb-src line for Debian's archive to /etc/apt/sources.list by hand, then run: apt-get update"
    }
    # Only the new entry is fetched; the other lists stay as they are.
    updlog=$(mktemp)
    DEBIAN_FRONTEND=noninteractive apt-get update -q --error-on=any \
        -o Dir::Etc::sourcelist="$DEB_SRC_FILE" -o Dir::Etc::sourceparts=- \
        -o APT::Get::List-Cleanup=0 >"$updlog" 2>&1 || true
    if ! have_sources; then
        rm -f "$DEB_SRC_FILE"
        grep '^E:' "$updlog" | head -n 5 >&2 || true
        rm -f "$updlog"
        die "the archive $uri serves no source packages (is it reachable?), so removed $DEB_SRC_FILE again. With a reachable Debian archive, as root run: VORLUNE_DEBIAN_ARCHIVE=http://deb.debian.org/debian bash scripts/windows-deps.sh"
    fi
    rm -f "$updlog"
}
codename=$(debian_codename)
if ! have_sources; then
    ((EUID == 0)) || die "apt serves no source packages of the libraries (no deb-src entry for Debian's archive); as root run: bash scripts/windows-deps.sh"
    add_deb_src
fi
for lib in "${LIBS[@]}"; do
    GOT[$lib]=$(served_source_version "${SRC[$lib]}" "${WANT[$lib]}") ||
        die "Debian's archive serves no source package ${SRC[$lib]}; as root run: apt-get update"
    [[ ${GOT[$lib]} == "${WANT[$lib]}" ]] ||
        log "the archive no longer serves ${SRC[$lib]} ${WANT[$lib]} (installed); taking its current ${GOT[$lib]}"
done
key=$(key_of versions_of GOT)
prefix=$cache/win64-$key
if [[ -f $prefix/.complete ]]; then
    ln -sfn "$(basename "$prefix")" "$index"
    log "cached libraries in $prefix: $(paste -sd, "$prefix/versions" | sed 's/,/, /g')"
    printf '%s\n' "$prefix"
    exit 0
fi
log "building the Windows libraries into $prefix: $(versions_of GOT | paste -sd, | sed 's/,/, /g')"
start=$SECONDS

work=$cache/work-$key
rm -rf "$work" "$prefix"
mkdir -p "$work/src" "$prefix"
mapfile -t wanted < <(versions_of GOT | tr ' ' =)
(cd "$work/src" && apt-get source -q --only-source "${wanted[@]}" >"$work/apt-source.log" 2>&1) ||
    die "apt-get source failed (see $work/apt-source.log)"
srcdir()
{
    local d
    d=$(find "$work/src" -maxdepth 1 -type d -name "${SRC[$1]}-[0-9]*" | head -n1)
    [[ -n $d ]] || die "no unpacked source of ${SRC[$1]} in $work/src"
    printf '%s\n' "$d"
}

# With the stb backend, SDL2_image needs neither libpng nor libjpeg, but the
# installed package configuration still looks for them, so that a consumer's
# find_package(SDL2_image CONFIG) fails. Skip those look-ups then.
sed -i -E 's/^if\(SDL2IMAGE_(JPG|PNG) AND NOT SDL2IMAGE_VENDORED/if(SDL2IMAGE_\1 AND NOT SDL2IMAGE_BACKEND_STB AND NOT SDL2IMAGE_VENDORED/' \
    "$(srcdir sdl2_image)/SDL2_imageConfig.cmake.in"
grep -q 'SDL2IMAGE_PNG AND NOT SDL2IMAGE_BACKEND_STB' "$(srcdir sdl2_image)/SDL2_imageConfig.cmake.in" ||
    die "could not patch SDL2_imageConfig.cmake.in"

# --- the cross toolchain ----------------------------------------------------
toolchain=$prefix/mingw-w64.cmake
cat >"$toolchain" <<EOF
# MinGW-w64 cross toolchain (Debian's posix-thread compilers).
set(CMAKE_SYSTEM_NAME Windows)
set(CMAKE_SYSTEM_PROCESSOR x86_64)
set(CMAKE_C_COMPILER $CC_W)
set(CMAKE_CXX_COMPILER $CXX_W)
set(CMAKE_RC_COMPILER $TRIPLE-windres)
set(CMAKE_FIND_ROOT_PATH /usr/$TRIPLE \${CMAKE_CURRENT_LIST_DIR})
set(CMAKE_FIND_ROOT_PATH_MODE_PROGRAM NEVER)
set(CMAKE_FIND_ROOT_PATH_MODE_LIBRARY ONLY)
set(CMAKE_FIND_ROOT_PATH_MODE_INCLUDE ONLY)
set(CMAKE_FIND_ROOT_PATH_MODE_PACKAGE ONLY)
EOF

# cmake_build <name> <source dir> [cmake options...]
cmake_build()
{
    local name=$1 src=$2
    shift 2
    local b=$work/build-$name t=$SECONDS
    log "building $name"
    {
        cmake -S "$src" -B "$b" -DCMAKE_TOOLCHAIN_FILE="$toolchain" \
            -DCMAKE_BUILD_TYPE=Release -DCMAKE_INSTALL_PREFIX="$prefix" \
            -DCMAKE_PREFIX_PATH="$prefix" -DCMAKE_SHARED_LINKER_FLAGS=-s "$@" &&
            cmake --build "$b" -j "$JOBS" && cmake --install "$b"
    } >"$work/$name.log" 2>&1 || {
        tail -n 30 "$work/$name.log" >&2
        die "building $name failed (log: $work/$name.log)"
    }
    log "built $name in $((SECONDS - t)) s"
}

cmake_build sdl2 "$(srcdir sdl2)" -DSDL_SHARED=ON -DSDL_STATIC=OFF -DSDL_TEST=OFF
cmake_build freetype "$(srcdir freetype)" -DBUILD_SHARED_LIBS=ON \
    -DFT_DISABLE_ZLIB=ON -DFT_DISABLE_BZIP2=ON -DFT_DISABLE_PNG=ON \
    -DFT_DISABLE_HARFBUZZ=ON -DFT_DISABLE_BROTLI=ON
cmake_build sdl2_image "$(srcdir sdl2_image)" -DBUILD_SHARED_LIBS=ON \
    -DSDL2IMAGE_VENDORED=OFF -DSDL2IMAGE_BACKEND_STB=ON -DSDL2IMAGE_SAMPLES=OFF \
    -DSDL2IMAGE_DEPS_SHARED=OFF -DSDL2IMAGE_AVIF=OFF -DSDL2IMAGE_JXL=OFF \
    -DSDL2IMAGE_TIF=OFF -DSDL2IMAGE_WEBP=OFF
cmake_build sdl2_ttf "$(srcdir sdl2_ttf)" -DBUILD_SHARED_LIBS=ON \
    -DSDL2TTF_VENDORED=OFF -DSDL2TTF_HARFBUZZ=OFF -DSDL2TTF_SAMPLES=OFF
cmake_build sdl2_mixer "$(srcdir sdl2_mixer)" -DBUILD_SHARED_LIBS=ON \
    -DSDL2MIXER_VENDORED=OFF -DSDL2MIXER_SAMPLES=OFF -DSDL2MIXER_CMD=OFF \
    -DSDL2MIXER_FLAC=OFF -DSDL2MIXER_MOD=OFF -DSDL2MIXER_MP3=OFF -DSDL2MIXER_MIDI=OFF \
    -DSDL2MIXER_OPUS=OFF -DSDL2MIXER_VORBIS=OFF -DSDL2MIXER_WAVE=ON
cmake_build gtest "$GTEST_SRC" -DBUILD_GMOCK=OFF -DINSTALL_GTEST=ON -Dgtest_force_shared_crt=ON

# CMake's install(RUNTIME_DEPENDENCY_SET) looks DLLs up by the lower-case
# names Windows reports (sdl2.dll); give the mixed-case DLLs such names too.
for dll in "$prefix"/bin/*.dll; do
    lower=$(basename "$dll" | tr '[:upper:]' '[:lower:]')
    [[ -e $prefix/bin/$lower ]] || ln -s "$(basename "$dll")" "$prefix/bin/$lower"
done

rm -rf "$work"
versions_of GOT >"$prefix/versions"
touch "$prefix/.complete"
ln -sfn "$(basename "$prefix")" "$index"
log "Windows libraries built in $((SECONDS - start)) s"
printf '%s\n' "$prefix"
