#!/usr/bin/env bash
# Vorlune: one entry point to set up, build, play and test on Debian.
#
#   bash scripts/setup.sh play    install what is missing, build, start the game
#   bash scripts/setup.sh test    install what is missing, build, run all tests
#   bash scripts/setup.sh build   install what is missing and build only
#   bash scripts/setup.sh windows install what is missing, build the Windows
#                                 libraries (cached), game, tests and zip in
#                                 build-windows/, and check them under Wine
#
# Packages are installed with apt-get (as root, or through sudo). The build
# goes to build/ in the source tree; the game runs in build/run, where its
# media, lists, font and licence notes are generated.
#
# Environment: JOBS  parallel build jobs (default: number of processors)
#              VORLUNE_TEST_STAGES  the test stages to run, by name (for
#                  example "windows"; default: all of them, in order)
set -euo pipefail

ROOT=$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)
BUILD_DIR=$ROOT/build
BUILD_TYPE=RelWithDebInfo
JOBS=${JOBS:-$(nproc 2>/dev/null || echo 2)}

# Needed to build and play.
PLAY_PACKAGES=(
    build-essential cmake pkg-config
    libsdl2-dev libsdl2-image-dev libsdl2-ttf-dev libsdl2-mixer-dev
    libgtest-dev fonts-yanone-kaffeesatz
)
# Needed in addition by the end-to-end tests (X server, key input,
# screenshots; Mesa's software OpenGL for the game's window).
TEST_PACKAGES=(
    xvfb xauth xdotool x11-apps imagemagick libgl1-mesa-dri
    # Reads menu labels and names off end-to-end screenshots.
    tesseract-ocr
    # Wayland compositor for the native Wayland run (nested on Xvfb).
    weston
    # libFuzzer targets of the file readers.
    clang libclang-rt-14-dev
    # Benchmarks (built, not run, by the tests) and the Windows compile check.
    libbenchmark-dev g++-mingw-w64-x86-64-posix
    # Debian's checkers of the .deb, its desktop entry and AppStream
    # metadata; xprop reads the window's icon; git lists the files the
    # source release must hold.
    lintian appstream desktop-file-utils x11-utils git
    # A private sound server, its recorder, and the system-call trace of a
    # score write.
    pulseaudio pulseaudio-utils strace
)
# The Windows build and its checks (scripts/windows.sh): the cross compiler,
# Debian's source packages of the libraries (dpkg-dev unpacks them),
# GoogleTest's sources, Wine, and the end-to-end tools (a sound server too).
WINDOWS_PACKAGES=(
    g++-mingw-w64-x86-64-posix dpkg-dev googletest wine wine64
    xvfb xauth xdotool x11-apps x11-utils imagemagick pulseaudio pulseaudio-utils
)

log() { printf '==> %s\n' "$*"; }
die()
{
    printf 'setup.sh: %s\n' "$*" >&2
    exit 1
}

# ---------------------------------------------------------------------------
# Stage: packages
# ---------------------------------------------------------------------------

# Prints the packages of the arguments that are not installed.
missing_packages()
{
    local pkg
    for pkg in "$@"; do
        if ! dpkg-query -W -f='${Status}\n' "$pkg" 2>/dev/null | grep -q ' installed$'; then
            printf '%s\n' "$pkg"
        fi
    done
}

install_packages()
{
    if ! command -v dpkg-query >/dev/null 2>&1 || ! command -v apt-get >/dev/null 2>&1; then
        log "No Debian package tools here; please make sure these are installed: $*"
        return 0
    fi
    local missing
    mapfile -t missing < <(missing_packages "$@")
    if ((${#missing[@]} == 0)); then
        log "All needed packages are installed"
        return 0
    fi
    log "Installing missing packages: ${missing[*]}"

    local -a as_root=()
    if ((EUID != 0)); then
        if command -v sudo >/dev/null 2>&1 && { sudo -n true 2>/dev/null || [[ -t 0 ]]; }; then
            as_root=(sudo)
        else
            die "these Debian packages are missing: ${missing[*]}
Install them as root and run this script again:
    apt-get update && apt-get install -y ${missing[*]}"
        fi
    fi
    "${as_root[@]}" env DEBIAN_FRONTEND=noninteractive apt-get update ||
        die "apt-get update failed"
    "${as_root[@]}" env DEBIAN_FRONTEND=noninteractive apt-get install -y "${missing[@]}" ||
        die "could not install: ${missing[*]} (apt's messages above tell what it could not fetch).
Once Debian's archive is reachable, run as root:
    apt-get update && apt-get install -y ${missing[*]}"
}

# ---------------------------------------------------------------------------
# Stage: build
# ---------------------------------------------------------------------------

configure_and_build()
{
    log "Configuring $BUILD_DIR ($BUILD_TYPE)"
    cmake -S "$ROOT" -B "$BUILD_DIR" -DCMAKE_BUILD_TYPE="$BUILD_TYPE" ||
        die "configuring the build failed"
    log "Building with $JOBS jobs"
    cmake --build "$BUILD_DIR" -j "$JOBS" || die "the build failed"
}

# ---------------------------------------------------------------------------
# Test stages. Each is a function that returns non-zero on failure; they run
# in the order of TEST_STAGES, and every stage runs even after a failure so
# that one run reports everything. Further stages (sanitizer builds,
# fuzzing, cross checks) are added as test_stage_* functions listed here.
# ---------------------------------------------------------------------------

# Unit tests of every subsystem and the end-to-end tests (run serially).
test_stage_ctest()
{
    ctest --test-dir "$BUILD_DIR" --output-on-failure -j2
}

# Every source compiled for Windows as strictly as MSVC would; then the
# Windows build: libraries, game, unit suites under Wine, zip, and the game
# from the zip under Wine.
test_stage_windows()
{
    local status=0
    bash "$ROOT/scripts/windows-check.sh" || status=$?
    bash "$ROOT/scripts/windows.sh" || status=$?
    return "$status"
}

# The unit suites, a soak of the pad path and sessions of the real program
# under ThreadSanitizer and AddressSanitizer/UndefinedBehaviorSanitizer.
test_stage_sanitize()
{
    bash "$ROOT/scripts/sanitize.sh"
}

# A short fuzzing run of each file reader.
test_stage_fuzz()
{
    bash "$ROOT/scripts/fuzz.sh"
}

TEST_STAGES=(test_stage_ctest test_stage_windows test_stage_sanitize test_stage_fuzz)

# The stages VORLUNE_TEST_STAGES names, in the order of TEST_STAGES; an
# unknown name is an error, so that a typo never passes as "nothing failed".
select_test_stages()
{
    [[ -n ${VORLUNE_TEST_STAGES:-} ]] || return 0
    local name stage found selected=()
    for name in $VORLUNE_TEST_STAGES; do
        found=
        for stage in "${TEST_STAGES[@]}"; do
            [[ $stage == "test_stage_$name" ]] && found=1
        done
        [[ -n $found ]] || die "VORLUNE_TEST_STAGES names no stage '$name'; the stages are: ${TEST_STAGES[*]//test_stage_/}"
    done
    for stage in "${TEST_STAGES[@]}"; do
        for name in $VORLUNE_TEST_STAGES; do
            [[ $stage == "test_stage_$name" ]] && selected+=("$stage") && break
        done
    done
    ((${#selected[@]})) || die "VORLUNE_TEST_STAGES is set but names no stage"
    TEST_STAGES=("${selected[@]}")
    log "Test stages chosen by VORLUNE_TEST_STAGES: ${TEST_STAGES[*]//test_stage_/}"
}

# Returns 0 when every stage passed, else the status of the first failure.
run_test_stages()
{
    local stage status result=0 failed=() t
    for stage in "${TEST_STAGES[@]}"; do
        log "Test stage: ${stage#test_stage_}"
        status=0
        t=$SECONDS
        "$stage" || status=$?
        log "Test stage ${stage#test_stage_} took $((SECONDS - t)) s"
        if ((status != 0)); then
            failed+=("${stage#test_stage_}")
            ((result != 0)) || result=$status
            log "Test stage ${stage#test_stage_} FAILED (status $status)"
        fi
    done
    if ((${#failed[@]})); then
        log "Failed test stages: ${failed[*]}"
    elif [[ -n ${VORLUNE_TEST_STAGES:-} ]]; then
        log "The chosen test stages passed (${TEST_STAGES[*]//test_stage_/}); the others did not run"
    else
        log "All test stages passed"
    fi
    return "$result"
}

# ---------------------------------------------------------------------------
# Commands
# ---------------------------------------------------------------------------

cmd_build()
{
    install_packages "${PLAY_PACKAGES[@]}"
    configure_and_build
}

cmd_play()
{
    cmd_build
    log "Starting Vorlune in $BUILD_DIR/run"
    cd "$BUILD_DIR/run"
    exec ./vorlune
}

cmd_windows()
{
    install_packages "${PLAY_PACKAGES[@]}" "${WINDOWS_PACKAGES[@]}"
    bash "$ROOT/scripts/windows.sh"
}

cmd_test()
{
    select_test_stages
    local t=$SECONDS
    install_packages "${PLAY_PACKAGES[@]}" "${TEST_PACKAGES[@]}" "${WINDOWS_PACKAGES[@]}"
    log "Stage packages took $((SECONDS - t)) s"
    t=$SECONDS
    configure_and_build
    log "Stage build took $((SECONDS - t)) s"
    run_test_stages
}

usage()
{
    cat <<EOF
Usage: bash scripts/setup.sh play|test|build|windows
  play   install missing Debian packages, build, and start the game
  test   install missing Debian packages (test tools included), build,
         and run every test stage; the exit status tells the result
  build  install missing Debian packages and build only
  windows  install missing Debian packages, build the Windows libraries
         (cached in ~/.cache/vorlune), the Windows game, tests and zip in
         build-windows/, and run the checks under Wine
EOF
}

main()
{
    case ${1:-} in
    play) cmd_play ;;
    test) cmd_test ;;
    build) cmd_build ;;
    windows) cmd_windows ;;
    -h | --help | help)
        usage
        ;;
    *)
        usage >&2
        exit 2
        ;;
    esac
}

main "$@"
