#!/usr/bin/env bash
# Builds the Windows (x86-64, MinGW-w64) libraries the game needs from
# Debian's own source packages, into one prefix cached outside the checkout:
#
#   SDL2, SDL2_image (PNG through stb), SDL2_ttf (FreeType, no HarfBuzz),
#   SDL2_mixer (WAV only), FreeType (no zlib, bzip2, png, harfbuzz, brotli)
#   and GoogleTest (from the googletest package's sources, no gmock).
#
# The prefix is ${VORLUNE_CACHE:-~/.cache/vorlune}/win64-<key>, where <key> is
# a hash of the source package versions below, this script and the compiler's
# version; a finished prefix is reused as it is. Nothing but Debian's archive
# is used: the sources come from `apt-get source` (a deb-src entry for the
# machine's own archive is added when there is none).
#
# Usage: scripts/windows-deps.sh     prints the prefix on its last line
# Environment: JOBS  parallel build jobs (default: number of processors)
set -euo pipefail

SOURCES=(
    libsdl2=2.26.5+dfsg-1
    freetype=2.12.1+dfsg-5+deb12u4
    libsdl2-image=2.6.3+dfsg-1
    libsdl2-ttf=2.20.1+dfsg-2
    libsdl2-mixer=2.6.2+dfsg-2
)
GTEST_SRC=/usr/src/googletest
TRIPLE=x86_64-w64-mingw32
CC_W=$TRIPLE-gcc-posix
CXX_W=$TRIPLE-g++-posix
JOBS=${JOBS:-$(nproc 2>/dev/null || echo 2)}

log() { printf 'windows-deps: %s\n' "$*" >&2; }
die()
{
    printf 'windows-deps: %s\n' "$*" >&2
    exit 1
}

command -v "$CXX_W" >/dev/null || die "$CXX_W not found (Debian: g++-mingw-w64-x86-64-posix)"
command -v "$TRIPLE-windres" >/dev/null || die "$TRIPLE-windres not found (Debian: binutils-mingw-w64-x86-64)"
[[ -f $GTEST_SRC/CMakeLists.txt ]] || die "$GTEST_SRC not found (Debian: googletest)"

self=$(readlink -f "${BASH_SOURCE[0]}")
key=$({
    printf '%s\n' "${SOURCES[@]}"
    cat "$self"
    "$CXX_W" --version | head -n1
    dpkg-query -W -f='${Version}\n' googletest 2>/dev/null || true
} | sha256sum | cut -c1-16)
cache=${VORLUNE_CACHE:-${XDG_CACHE_HOME:-$HOME/.cache}/vorlune}
prefix=$cache/win64-$key
if [[ -f $prefix/.complete ]]; then
    log "cached libraries in $prefix"
    printf '%s\n' "$prefix"
    exit 0
fi
log "building the Windows libraries into $prefix (cache key $key)"
start=$SECONDS

# --- the sources ------------------------------------------------------------
have_deb_src()
{
    apt-cache showsrc "${SOURCES[0]%%=*}" 2>/dev/null | grep -qx "Version: ${SOURCES[0]#*=}"
}
if ! have_deb_src; then
    ((EUID == 0)) || die "no deb-src entry for Debian's archive; as root, add one and run apt-get update"
    # The archive of the machine's own binary entries, for source packages.
    uri=$(grep -h -m1 -o -E 'https?://[^ ]*/debian/?' /etc/apt/sources.list.d/*.sources /etc/apt/sources.list 2>/dev/null |
        grep -v -- '-security' | head -n1 || true)
    uri=${uri:-http://deb.debian.org/debian}
    log "adding /etc/apt/sources.list.d/vorlune-deb-src.sources ($uri bookworm)"
    cat >/etc/apt/sources.list.d/vorlune-deb-src.sources <<EOF
Types: deb-src
URIs: $uri
Suites: bookworm bookworm-updates
Components: main
Signed-By: /usr/share/keyrings/debian-archive-keyring.gpg
EOF
    DEBIAN_FRONTEND=noninteractive apt-get update -q >&2 || die "apt-get update failed"
    have_deb_src || die "Debian's archive has no source package ${SOURCES[0]}"
fi

work=$cache/work-$key
rm -rf "$work" "$prefix"
mkdir -p "$work/src" "$prefix"
(cd "$work/src" && apt-get source -q "${SOURCES[@]}" >"$work/apt-source.log" 2>&1) ||
    die "apt-get source failed (see $work/apt-source.log)"
srcdir()
{
    local d
    d=$(find "$work/src" -maxdepth 1 -type d -name "$1-[0-9]*" | head -n1)
    [[ -n $d ]] || die "no unpacked source of $1 in $work/src"
    printf '%s\n' "$d"
}

# With the stb backend, SDL2_image needs neither libpng nor libjpeg, but the
# installed package configuration still looks for them, so that a consumer's
# find_package(SDL2_image CONFIG) fails. Skip those look-ups then.
sed -i -E 's/^if\(SDL2IMAGE_(JPG|PNG) AND NOT SDL2IMAGE_VENDORED/if(SDL2IMAGE_\1 AND NOT SDL2IMAGE_BACKEND_STB AND NOT SDL2IMAGE_VENDORED/' \
    "$(srcdir libsdl2-image)/SDL2_imageConfig.cmake.in"
grep -q 'SDL2IMAGE_PNG AND NOT SDL2IMAGE_BACKEND_STB' "$(srcdir libsdl2-image)/SDL2_imageConfig.cmake.in" ||
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

cmake_build sdl2 "$(srcdir libsdl2)" -DSDL_SHARED=ON -DSDL_STATIC=OFF -DSDL_TEST=OFF
cmake_build freetype "$(srcdir freetype)" -DBUILD_SHARED_LIBS=ON \
    -DFT_DISABLE_ZLIB=ON -DFT_DISABLE_BZIP2=ON -DFT_DISABLE_PNG=ON \
    -DFT_DISABLE_HARFBUZZ=ON -DFT_DISABLE_BROTLI=ON
cmake_build sdl2_image "$(srcdir libsdl2-image)" -DBUILD_SHARED_LIBS=ON \
    -DSDL2IMAGE_VENDORED=OFF -DSDL2IMAGE_BACKEND_STB=ON -DSDL2IMAGE_SAMPLES=OFF \
    -DSDL2IMAGE_DEPS_SHARED=OFF -DSDL2IMAGE_AVIF=OFF -DSDL2IMAGE_JXL=OFF \
    -DSDL2IMAGE_TIF=OFF -DSDL2IMAGE_WEBP=OFF
cmake_build sdl2_ttf "$(srcdir libsdl2-ttf)" -DBUILD_SHARED_LIBS=ON \
    -DSDL2TTF_VENDORED=OFF -DSDL2TTF_HARFBUZZ=OFF -DSDL2TTF_SAMPLES=OFF
cmake_build sdl2_mixer "$(srcdir libsdl2-mixer)" -DBUILD_SHARED_LIBS=ON \
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
touch "$prefix/.complete"
log "Windows libraries built in $((SECONDS - start)) s"
printf '%s\n' "$prefix"
