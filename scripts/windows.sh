#!/usr/bin/env bash
# The Windows build, made and checked on Debian:
#
#   1. the Windows libraries from Debian's source packages (cached; see
#      scripts/windows-deps.sh);
#   2. the game, its unit tests and its media cross-built with MinGW-w64 into
#      build-windows/, the media generator run under Wine;
#   3. the unit suites under Wine (one Wine start per suite), and the media
#      compared byte for byte with what the Linux generator writes;
#   4. the zip (build-windows/vorlune-<version>-win64.zip): unpacked, the
#      game in it is driven under Wine on Xvfb (tests/e2e/windows_zip.sh).
#
# Usage: scripts/windows.sh      (bash scripts/setup.sh windows installs the
#                                 Debian packages first, then runs this)
# Environment: JOBS  parallel build jobs (default: number of processors)
#              VORLUNE_WINDOWS_BUILD_DIR  (default <source>/build-windows)
set -uo pipefail

ROOT=$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)
BUILD=${VORLUNE_WINDOWS_BUILD_DIR:-$ROOT/build-windows}
LINUX_BUILD=$ROOT/build
JOBS=${JOBS:-$(nproc 2>/dev/null || echo 2)}

log() { printf '==> windows: %s\n' "$*"; }
die()
{
    printf 'windows: %s\n' "$*" >&2
    exit 1
}
timed()
{
    local what=$1 t=$SECONDS
    shift
    "$@" || return
    log "$what took $((SECONDS - t)) s"
}

start=$SECONDS
prefix=$(bash "$ROOT/scripts/windows-deps.sh" | tail -n 1) && [[ -d $prefix ]] ||
    die "the Windows libraries could not be built"
log "libraries in $prefix ($((SECONDS - start)) s)"

font=/usr/share/fonts/opentype/yanone-kaffeesatz/YanoneKaffeesatz-Regular.otf
configure()
{
    mkdir -p "$BUILD" || return
    cmake -S "$ROOT" -B "$BUILD" -DCMAKE_TOOLCHAIN_FILE="$prefix/mingw-w64.cmake" \
        -DCMAKE_PREFIX_PATH="$prefix" -DCMAKE_BUILD_TYPE=Release -DVORLUNE_FONT="$font" \
        >"$BUILD/configure.log" 2>&1 || {
        cat "$BUILD/configure.log" >&2
        return 1
    }
    # How each library was found, and how the build runs its programs.
    grep -E '^-- vorlune:|Warning' "$BUILD/configure.log" || true
}
timed "configuring" configure || die "configuring the Windows build failed (log: $BUILD/configure.log)"
timed "building" cmake --build "$BUILD" -j "$JOBS" || die "the Windows build failed"

status=0
fail()
{
    printf 'windows: FAILED: %s\n' "$*" >&2
    status=1
}

# --- unit suites under Wine ---------------------------------------------------
log "unit suites and the media generator's repeatability under Wine"
timed "the unit suites" ctest --test-dir "$BUILD" --output-on-failure -j 2 || fail "unit suites under Wine"

# --- the media equal the Linux build's ----------------------------------------
# The Linux generator of the build beside this one (built here if needed).
if [[ ! -f $LINUX_BUILD/CMakeCache.txt ]]; then
    cmake -S "$ROOT" -B "$LINUX_BUILD" >/dev/null || die "configuring $LINUX_BUILD failed"
fi
cmake --build "$LINUX_BUILD" --target vorlune_mediagen -j "$JOBS" >/dev/null ||
    die "building the Linux media generator failed"
scratch=$(mktemp -d)
trap 'rm -rf "$scratch"' EXIT
"$LINUX_BUILD/vorlune_mediagen" "$scratch/run" "$scratch/icons" >/dev/null ||
    die "the Linux media generator failed"
count=0
while IFS= read -r -d '' f; do
    rel=${f#"$scratch"/}
    count=$((count + 1))
    cmp -s "$f" "$BUILD/$rel" || fail "$rel differs between the Linux and the Windows generator"
done < <(find "$scratch" -type f -print0)
((count >= 9)) || fail "the Linux generator wrote only $count files"
log "$count media files of the Windows generator equal the Linux generator's"

# --- the zip ---------------------------------------------------------------
rm -f "$BUILD"/vorlune-*-win64.zip
(cd "$BUILD" && cpack -G ZIP >"$BUILD/cpack.log" 2>&1) || {
    cat "$BUILD/cpack.log" >&2
    die "cpack -G ZIP failed"
}
zip=$(ls "$BUILD"/vorlune-*-win64.zip 2>/dev/null | head -n 1)
[[ -f $zip ]] || die "no vorlune-<version>-win64.zip in $BUILD"
log "$(basename "$zip"): $(($(stat -c %s "$zip") / 1024)) KiB; DLLs in it:" \
    "$(cmake -E tar tf "$zip" | grep -i '\.dll$' | sed 's|.*/||' | sort | tr '\n' ' ')"

# --- the zip's game under Wine on Xvfb ----------------------------------------
VORLUNE_SOURCE_DIR=$ROOT VORLUNE_BUILD_DIR=$BUILD VORLUNE_WINDOWS_ZIP=$zip \
    timed "the game from the zip under Wine" bash "$ROOT/tests/e2e/windows_zip.sh" ||
    fail "the game from the zip under Wine"

log "done in $((SECONDS - start)) s"
exit $status
