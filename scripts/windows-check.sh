#!/usr/bin/env bash
# Compiles every source file of the game for Windows with Debian's MinGW-w64
# cross compiler (package g++-mingw-w64-x86-64-posix), so that a Windows break
# shows up on Linux before anything is linked: a full compile (-fsyntax-only)
# of src/**/*.cpp, the build tools in tools/, and the sources of tests/,
# benchmarks/ and fuzz/ (against GoogleTest's and Google Benchmark's headers).
#
# It is stricter than MinGW itself, to stand in for MSVC:
#   - tools/wincheck/posix holds #error stubs for POSIX-only headers
#     (unistd.h, dirent.h, sys/time.h, ...), first on the include path;
#   - tools/wincheck/prelude.h poisons POSIX functions MinGW declares but MSVC
#     lacks (localtime_r, setenv, clock_gettime, ...);
#   - tools/wincheck/include replaces Debian's Linux-only SDL configuration;
#   - warnings are errors, with -Wpedantic and -Wvla, and and/or/not are no
#     keywords (-fno-operator-names), as with MSVC's defaults;
#   - the game's own files must be opened in text mode (no binary flag).
#
# Usage: scripts/windows-check.sh [source files...]   (default: all of them)
# Exits non-zero on any error.
set -u

root=$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)
cd "$root" || exit 2

cxx=${VORLUNE_MINGW_CXX:-x86_64-w64-mingw32-g++-posix}
if ! command -v "$cxx" >/dev/null 2>&1; then
    echo "windows-check: $cxx not found; install the Debian package g++-mingw-w64-x86-64-posix" >&2
    exit 2
fi
sdl_include=/usr/include/SDL2
for h in SDL.h SDL_image.h SDL_mixer.h SDL_ttf.h; do
    if [ ! -f "$sdl_include/$h" ]; then
        echo "windows-check: $sdl_include/$h not found; install libsdl2-dev, libsdl2-image-dev, libsdl2-mixer-dev and libsdl2-ttf-dev" >&2
        exit 2
    fi
done

if [ $# -gt 0 ]; then
    files=("$@")
else
    mapfile -t files < <(find src tools tests benchmarks fuzz -maxdepth 3 -name '*.cpp' \
        -not -path 'tools/wincheck/*' | sort)
fi
if [ ${#files[@]} -eq 0 ]; then
    echo "windows-check: no source files found" >&2
    exit 2
fi

work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
log=$work/log

# The test and benchmark libraries' headers, without the rest of /usr/include.
mkdir -p "$work/include"
for h in /usr/src/googletest/googletest/include/gtest /usr/include/gtest /usr/include/benchmark; do
    if [ -d "$h" ] && [ ! -e "$work/include/$(basename "$h")" ]; then
        ln -s "$h" "$work/include/$(basename "$h")"
    fi
done

common=(-std=c++17 -Wall -Wextra -Wpedantic -Wvla -fno-operator-names -Werror
    -Itools/wincheck/posix -isystem tools/wincheck/include -isystem "$sdl_include"
    -isystem "$work/include" -Isrc -Itests -Ifuzz
    -DVORLUNE_TEST_RUN_DIR='"run"' -DVORLUNE_TEST_SOURCE_DIR='"."' -DVORLUNE_SCORE_WRITER='"w.exe"' -DVORLUNE_BENCH_RUN_DIR='"run"' -DVORLUNE_BENCH_WRITE_DIR='"bench-scores"')

# The prelude is compiled once into a precompiled header beside a copy of it.
cp tools/wincheck/prelude.h "$work/prelude.h"
if ! "$cxx" "${common[@]}" -x c++-header "$work/prelude.h" -o "$work/prelude.h.gch"; then
    echo "windows-check: the prelude (standard library and SDL headers) does not compile" >&2
    exit 1
fi
flags=("${common[@]}" -fsyntax-only -include "$work/prelude.h")

# Files with a timing build variant are checked in both variants.
jobs=()
for f in "${files[@]}"; do
    jobs+=("$f")
    if grep -q 'ifdef VORLUNE_TIMING' "$f" 2>/dev/null; then
        jobs+=("-DVORLUNE_TIMING $f")
    fi
done

# Two at a time: the machine's cores are shared.
printf '%s\n' "${jobs[@]}" | xargs -P 2 -I{} sh -c '
    if out=$("$0" "$@" {} 2>&1); then
        echo "ok   {}"
    else
        echo "FAIL {}"
        printf "%s\n" "$out"
    fi' "$cxx" "${flags[@]}" >"$log"

status=0
sort -s -k2,2 "$log" | grep -E '^(ok|FAIL) ' || true
if grep -q '^FAIL ' "$log"; then
    echo
    grep -v -E '^ok   ' "$log"
    status=1
fi

# The program's files are text files and must be opened in text mode, which
# turns CR LF into LF on Windows.
binary=$(grep -n -E 'ios(_base)?::binary|fopen\([^)]*"[rwa]\+?b' -r src || true)
if [ -n "$binary" ]; then
    echo
    echo "windows-check: files opened in binary mode in src/ (the game's files are text):"
    echo "$binary"
    status=1
fi

count=${#files[@]}
if [ $status -eq 0 ]; then
    echo "windows-check: $count files compile for Windows"
else
    echo "windows-check: FAILED"
fi
exit $status
