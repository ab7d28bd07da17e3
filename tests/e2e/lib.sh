#!/usr/bin/env bash
# End-to-end harness: runs the real vorlune program on a private Xvfb
# display, sends it keys, takes screenshots and cleans up after itself.
#
# Source this file from a test script, then:
#   e2e_init NAME          artifacts dir, temp dir, cleanup trap
#   e2e_make_workdir       copy of the run directory with a windowed Settings.txt
#   e2e_start_xvfb         private X server (sets E2E_DISPLAY)
#   e2e_start_weston       Wayland compositor on it; later games are Wayland clients
#   e2e_stop_weston        ends it (and the game)
#   e2e_no_display         later games start with no display at all
#   e2e_start_game SECS    ./vorlune in the work dir, killed after SECS
#   e2e_wait_output TEXT SECS / e2e_wait_window SECS / e2e_key KEY...
#   e2e_screenshot NAME / e2e_colour_count FILE / e2e_wait_exit SECS
#   e2e_start_pulse / e2e_hear_music NAME SECS WHERE / e2e_stop_pulse
#                          private PulseAudio server, recorded through a null sink
# Every process started here is ended by the EXIT trap, also on failure.
#
# Environment (set by CTest; defaults fit a run from the source tree):
#   VORLUNE_BUILD_DIR  build directory (default <source>/build)
#   VORLUNE_RUN_DIR    working directory of the game (default <build>/run)

# shellcheck disable=SC2034 # the E2E_* results are read by the test scripts
set -u -o pipefail

E2E_SOURCE_DIR=${VORLUNE_SOURCE_DIR:-$(cd "$(dirname "${BASH_SOURCE[0]}")/../.." && pwd)}
E2E_BUILD_DIR=${VORLUNE_BUILD_DIR:-$E2E_SOURCE_DIR/build}
E2E_RUN_DIR=${VORLUNE_RUN_DIR:-$E2E_BUILD_DIR/run}
# The command that starts the game in its work directory, and SDL's video
# driver for it (the Windows program runs under Wine with its own driver).
read -r -a E2E_PROGRAM <<<"${VORLUNE_E2E_PROGRAM:-./vorlune}"
E2E_VIDEO_DRIVER=${VORLUNE_E2E_VIDEO_DRIVER:-x11}
# SDL's audio driver for the game: dummy, so that no run depends on a sound
# device; a test that sets it empty leaves SDL to pick one, as on a player's
# machine (the sound-server checks).
E2E_AUDIO_DRIVER=dummy

E2E_NAME=""
E2E_ARTIFACTS=""
E2E_TMP=""
E2E_WORKDIR=""
E2E_DISPLAY=""
E2E_XVFB_PID=""
E2E_GAME_PID=""
E2E_GAME_LOG=""
E2E_GAME_STATUS=""
E2E_WINDOW=""
E2E_RUNS=0
E2E_PULSE_PID=""
# Where games started by e2e_start_game are shown: x11 (the Xvfb display,
# with SDL's video driver and the audio driver of E2E_AUDIO_DRIVER named),
# wayland (e2e_start_weston) or none (e2e_no_display). The last two leave SDL
# to choose its drivers, as on a player's machine.
E2E_PLATFORM=x11
E2E_RUNTIME_DIR=""
E2E_WAYLAND_DISPLAY=""
E2E_WESTON_PID=""
E2E_WESTON_WINDOW=""

e2e_log() { printf '[%s] %s\n' "$E2E_NAME" "$*"; }

# Prints the message and the tail of the game's output, then fails the test.
e2e_fail()
{
    printf '[%s] FAIL: %s\n' "$E2E_NAME" "$*" >&2
    if [[ -n $E2E_GAME_LOG && -s $E2E_GAME_LOG ]]; then
        printf '[%s] last lines of the game output:\n' "$E2E_NAME" >&2
        tail -n 20 "$E2E_GAME_LOG" | sed 's/^/    /' >&2
    fi
    exit 1
}

# Fails naming the tools not found and the packages that bring them:
# e2e_need_tools "PACKAGES" TOOL...
e2e_need_tools()
{
    local packages=$1 tool missing=()
    shift
    for tool in "$@"; do
        command -v "$tool" >/dev/null 2>&1 || missing+=("$tool")
    done
    ((${#missing[@]} == 0)) || e2e_fail "missing tools: ${missing[*]} (install: $packages)"
}

e2e_require_tools()
{
    e2e_need_tools "xvfb xdotool x11-apps imagemagick" Xvfb xdotool xwd convert timeout
    local program=${E2E_PROGRAM[${#E2E_PROGRAM[@]} - 1]}
    [[ -f $E2E_RUN_DIR/${program#./} ]] || e2e_fail "no program at $E2E_RUN_DIR/${program#./} (build first)"
}

# Sends TERM to a process started here and waits up to SECS seconds; then
# KILL, with CHILDREN set first to its direct children (the game under
# timeout(1)), so that each dead process is reaped by its own parent.
e2e_stop_pid()
{
    local pid=$1 secs=${2:-3} children=${3:-} i
    [[ -n $pid ]] || return 0
    if kill -0 "$pid" 2>/dev/null; then
        kill -TERM "$pid" 2>/dev/null
        for ((i = 0; i < secs * 10; i++)); do
            kill -0 "$pid" 2>/dev/null || break
            sleep 0.1
        done
        if kill -0 "$pid" 2>/dev/null; then
            if [[ -n $children ]]; then
                pkill -KILL -P "$pid" 2>/dev/null
                sleep 0.5
            fi
            kill -KILL "$pid" 2>/dev/null
        fi
    fi
    { wait "$pid"; } 2>/dev/null
    return 0
}

e2e_cleanup()
{
    local status=$?
    trap - EXIT INT TERM
    e2e_stop_game
    e2e_stop_pulse
    e2e_stop_pid "$E2E_WESTON_PID"
    E2E_WESTON_PID=""
    e2e_stop_pid "$E2E_XVFB_PID"
    E2E_XVFB_PID=""
    if [[ -n $E2E_TMP && -d $E2E_TMP ]]; then
        rm -rf -- "$E2E_TMP"
    fi
    exit "$status"
}

# Sets up the artifacts directory (build/e2e-artifacts/NAME), a private
# temporary directory and the cleanup trap.
e2e_init()
{
    E2E_NAME=$1
    E2E_ARTIFACTS=$E2E_BUILD_DIR/e2e-artifacts/$E2E_NAME
    rm -rf -- "$E2E_ARTIFACTS"
    mkdir -p -- "$E2E_ARTIFACTS" || e2e_fail "cannot create $E2E_ARTIFACTS"
    E2E_TMP=$(mktemp -d "${TMPDIR:-/tmp}/vorlune-e2e.XXXXXX") || e2e_fail "mktemp failed"
    trap e2e_cleanup EXIT
    trap 'exit 130' INT
    trap 'exit 143' TERM
    e2e_require_tools
}

# Writes a settings file in the game's key line / value line layout.
# Windowed, because full screen needs a window manager.
e2e_write_settings()
{
    local file=$1
    printf '%s\n' \
        Antialiasing 1 Fullscreen 0 Vsync 1 MuVolume 120 FXVolume 120 Difficulty 2 \
        PadName NoPad Tutorial 1 Ax1 0 Ax2 0 Ax3 0 Ax4 0 B1 0 B2 0 B3 0 >"$file"
}

# Value line after the key line KEY of the work directory's Settings.txt.
e2e_setting()
{
    awk -v key="$1" 'prev == key { value = $0; found = 1 } { prev = $0 } END { if (found) print value }' \
        "$E2E_WORKDIR/Settings.txt" 2>/dev/null
}

# Copies the run directory (program, media, lists, font) into the temp
# directory, without any settings or scores of earlier runs.
e2e_make_workdir()
{
    E2E_WORKDIR=$E2E_TMP/run
    cp -a -- "$E2E_RUN_DIR" "$E2E_WORKDIR" || e2e_fail "cannot copy $E2E_RUN_DIR"
    rm -f -- "$E2E_WORKDIR/Settings.txt" "$E2E_WORKDIR/Scores.txt"
    e2e_write_settings "$E2E_WORKDIR/Settings.txt"
}

# Starts Xvfb on a free display; -displayfd reports the number once the
# server accepts connections. Its screen is 1920 x 1080, or E2E_SCREEN_SIZE
# (WxH; the probe's), which the screen checks here do not expect.
e2e_start_xvfb()
{
    local fdfile=$E2E_TMP/xvfb.display size=${E2E_SCREEN_SIZE:-1920x1080} i
    [[ $size =~ ^[1-9][0-9]*x[1-9][0-9]*$ ]] || e2e_fail "E2E_SCREEN_SIZE must be WxH, not \"$size\""
    : >"$fdfile"
    Xvfb -displayfd 3 -screen 0 "${size}x24" -nolisten tcp -noreset \
        3>"$fdfile" >"$E2E_ARTIFACTS/xvfb.log" 2>&1 &
    E2E_XVFB_PID=$!
    for ((i = 0; i < 200; i++)); do
        if [[ -s $fdfile ]] && grep -q '[0-9]' "$fdfile"; then
            E2E_DISPLAY=:$(tr -dc '0-9' <"$fdfile")
            e2e_log "Xvfb ready on $E2E_DISPLAY"
            return 0
        fi
        kill -0 "$E2E_XVFB_PID" 2>/dev/null || e2e_fail "Xvfb exited: $(cat "$E2E_ARTIFACTS/xvfb.log")"
        sleep 0.05
    done
    e2e_fail "Xvfb did not report a display within 10 s"
}

# Starts the game in the work directory in the background, stopped after
# SECS seconds (exit status 124, or 137 when it had to be killed). Output goes to an artifacts log.
e2e_start_game()
{
    local secs=$1
    E2E_RUNS=$((E2E_RUNS + 1))
    E2E_GAME_LOG=$E2E_ARTIFACTS/game-$E2E_RUNS.log
    E2E_GAME_STATUS=""
    E2E_WINDOW=""
    (
        cd "$E2E_WORKDIR" || exit 125
        case $E2E_PLATFORM in
        x11)
            export DISPLAY=$E2E_DISPLAY SDL_VIDEODRIVER=$E2E_VIDEO_DRIVER
            if [[ -n $E2E_AUDIO_DRIVER ]]; then
                export SDL_AUDIODRIVER=$E2E_AUDIO_DRIVER
            else
                unset SDL_AUDIODRIVER
            fi
            ;;
        wayland)
            unset DISPLAY SDL_VIDEODRIVER SDL_AUDIODRIVER
            export WAYLAND_DISPLAY=$E2E_WAYLAND_DISPLAY XDG_RUNTIME_DIR=$E2E_RUNTIME_DIR
            ;;
        none)
            unset DISPLAY WAYLAND_DISPLAY SDL_VIDEODRIVER SDL_AUDIODRIVER
            export XDG_RUNTIME_DIR=$E2E_RUNTIME_DIR
            ;;
        esac
        # --foreground: timeout stays the game's parent and reaps it, also
        # when it has to kill it.
        exec timeout --foreground -k 2 "$secs" "${E2E_PROGRAM[@]}"
    ) </dev/null >"$E2E_GAME_LOG" 2>&1 &
    E2E_GAME_PID=$!
    # On Wayland keys go to weston's X window, whose seat passes them on to
    # the game.
    [[ $E2E_PLATFORM != wayland ]] || E2E_WINDOW=$E2E_WESTON_WINDOW
}

# A private XDG_RUNTIME_DIR for the compositor and the game (mode 0700, as
# libwayland wants it): without WAYLAND_DISPLAY a client looks there for
# "wayland-0", so an empty one also keeps a session's compositor away.
e2e_make_runtime_dir()
{
    E2E_RUNTIME_DIR=$E2E_TMP/runtime
    if ! mkdir -p -- "$E2E_RUNTIME_DIR" || ! chmod 700 -- "$E2E_RUNTIME_DIR"; then
        e2e_fail "cannot create $E2E_RUNTIME_DIR"
    fi
}

# Starts weston on the Xvfb display: its X11 backend shows one output as
# large as the screen (1920 x 1080 pixels) in an X window and takes the keys
# sent to that window as its seat's, and pixman draws it without any GPU.
# Games started afterwards run as native Wayland clients: DISPLAY,
# SDL_VIDEODRIVER and SDL_AUDIODRIVER unset, WAYLAND_DISPLAY set.
#
# E2E_WESTON_SCALE (1 when unset or empty; 1 to 4) is the output's scale,
# as on a high-DPI screen: the output keeps its pixels, so that screenshots
# look alike, and clients see 1920 / scale x 1080 / scale.
e2e_start_weston()
{
    local i scale=${E2E_WESTON_SCALE:-1} size=${E2E_SCREEN_SIZE:-1920x1080}
    e2e_need_tools weston weston
    [[ -n $E2E_DISPLAY ]] || e2e_fail "e2e_start_weston before e2e_start_xvfb"
    [[ $scale =~ ^[1-4]$ ]] || e2e_fail "E2E_WESTON_SCALE must be 1 to 4, not \"$scale\""
    e2e_make_runtime_dir
    E2E_WAYLAND_DISPLAY=vorlune-e2e
    # No idle time: the desktop shell would lock the screen after 5 minutes.
    # Weston's size is the output's in its own coordinates: pixels / scale.
    DISPLAY=$E2E_DISPLAY XDG_RUNTIME_DIR=$E2E_RUNTIME_DIR weston --no-config \
        --backend=x11-backend.so --use-pixman --width=$((${size%x*} / scale)) \
        --height=$((${size#*x} / scale)) --scale="$scale" --idle-time=0 \
        --socket="$E2E_WAYLAND_DISPLAY" </dev/null >"$E2E_ARTIFACTS/weston.log" 2>&1 &
    E2E_WESTON_PID=$!
    for ((i = 0; i < 200; i++)); do
        if [[ -S $E2E_RUNTIME_DIR/$E2E_WAYLAND_DISPLAY ]]; then
            E2E_WESTON_WINDOW=$(DISPLAY=$E2E_DISPLAY timeout 5 xdotool search --class \
                '^Weston Compositor$' 2>/dev/null | head -n 1)
            if [[ -n $E2E_WESTON_WINDOW ]]; then
                # The keyboard focus goes to weston's window now, before any
                # client is there. Weston's X11 backend passes the focus out
                # that comes with that change on to its client at once, but
                # now and then misses the focus in that follows (protocol
                # log: wl_keyboard.leave and no enter), and the game gets no
                # more keys. Focusing the window again later changes nothing.
                DISPLAY=$E2E_DISPLAY timeout 5 xdotool windowfocus --sync "$E2E_WESTON_WINDOW" ||
                    e2e_fail "cannot give weston's window the keyboard focus"
                E2E_PLATFORM=wayland
                e2e_log "weston ready on $E2E_WAYLAND_DISPLAY at scale $scale (X window $E2E_WESTON_WINDOW)"
                return 0
            fi
        fi
        kill -0 "$E2E_WESTON_PID" 2>/dev/null ||
            e2e_fail "weston exited: $(tail -n 5 "$E2E_ARTIFACTS/weston.log")"
        sleep 0.05
    done
    e2e_fail "weston did not open its socket and window within 10 s"
}

# Ends weston (and with it any game still on it), so that e2e_start_weston
# can start it again, at another scale say.
e2e_stop_weston()
{
    e2e_stop_game
    e2e_stop_pid "$E2E_WESTON_PID"
    E2E_WESTON_PID=""
    E2E_PLATFORM=x11
}

# Games started afterwards find no display at all: DISPLAY, WAYLAND_DISPLAY,
# SDL_VIDEODRIVER and SDL_AUDIODRIVER unset, an empty XDG_RUNTIME_DIR, as in
# an SSH session or on a text console without a KMS device.
e2e_no_display()
{
    e2e_make_runtime_dir
    E2E_PLATFORM=none
}

e2e_game_running() { [[ -n $E2E_GAME_PID ]] && kill -0 "$E2E_GAME_PID" 2>/dev/null; }

# Starts a private PulseAudio server with one null sink, "cap", whose
# monitor e2e_hear_music records, and points the game and the recorder at
# it (PULSE_SERVER, and a private XDG_RUNTIME_DIR where it puts its socket).
# Its home is private too, and clients need no cookie.
e2e_start_pulse()
{
    local runtime=$E2E_TMP/pulse-runtime i
    e2e_need_tools "pulseaudio pulseaudio-utils" pulseaudio parec pactl od
    mkdir -p -m 700 "$runtime" "$E2E_TMP/pulse-home" || e2e_fail "cannot create $runtime"
    HOME=$E2E_TMP/pulse-home XDG_CONFIG_HOME=$E2E_TMP/pulse-home XDG_RUNTIME_DIR=$runtime \
        pulseaudio -n --daemonize=no --exit-idle-time=-1 --log-target=stderr \
        --load="module-null-sink sink_name=cap" \
        --load="module-native-protocol-unix auth-anonymous=1" \
        </dev/null >"$E2E_ARTIFACTS/pulseaudio.log" 2>&1 &
    E2E_PULSE_PID=$!
    export XDG_RUNTIME_DIR=$runtime PULSE_SERVER=unix:$runtime/pulse/native
    for ((i = 0; i < 100; i++)); do
        timeout 5 pactl info >/dev/null 2>&1 && {
            e2e_log "PulseAudio ready at $PULSE_SERVER"
            return 0
        }
        kill -0 "$E2E_PULSE_PID" 2>/dev/null ||
            e2e_fail "PulseAudio exited: $(tail -n 5 "$E2E_ARTIFACTS/pulseaudio.log")"
        sleep 0.1
    done
    e2e_fail "PulseAudio did not answer within 10 s"
}

# Stops the server (TERM: it closes its clients' connections and exits).
e2e_stop_pulse()
{
    e2e_stop_pid "$E2E_PULSE_PID"
    E2E_PULSE_PID=""
}

# Records SECS seconds of the null sink's monitor into NAME.raw in the
# artifacts (16-bit stereo at 44100 Hz) and fails unless the game's music is
# heard: at least half the time's samples recorded, the loudest above 10 %
# of full scale and a fifth of them above 1 % (silence records as zeros).
# WHERE names the screen in the messages.
e2e_hear_music()
{
    local name=$1 secs=$2 where=$3 out=$E2E_ARTIFACTS/$1.raw samples peak loud
    timeout "$secs" parec -d cap.monitor --raw --format=s16le --rate=44100 --channels=2 \
        >"$out" 2>"$E2E_ARTIFACTS/$name.log"
    read -r samples peak loud < <(od -An -v -td2 -w32 "$out" | awk '
        { for (i = 1; i <= NF; i++) { v = $i < 0 ? -$i : $i; n++; if (v > peak) peak = v; if (v > 327) loud++ } }
        END { printf "%d %d %d\n", n, peak, loud }')
    e2e_log "$where: $samples samples recorded, loudest $peak, $loud above 1 % of full scale"
    ((samples >= 44100 * secs && peak > 3277 && loud * 5 > samples)) ||
        e2e_fail "no music heard from the $where (loudest sample $peak, $loud of $samples loud)"
}

# timeout(1) passes the TERM on to the game, which ignores quit requests,
# and sends it KILL 2 s later.
e2e_stop_game()
{
    e2e_stop_pid "$E2E_GAME_PID" 6 children
    E2E_GAME_PID=""
}

# Waits until the game has printed a line containing TEXT.
e2e_wait_output()
{
    local text=$1 secs=$2 i
    for ((i = 0; i < secs * 10; i++)); do
        grep -qF -- "$text" "$E2E_GAME_LOG" 2>/dev/null && return 0
        e2e_game_running || break
        sleep 0.1
    done
    grep -qF -- "$text" "$E2E_GAME_LOG" 2>/dev/null && return 0
    e2e_fail "no output line with \"$text\" within ${secs} s"
}

# Waits for the window titled exactly "Vorlune"; sets E2E_WINDOW.
e2e_wait_window()
{
    local secs=$1 i id
    for ((i = 0; i < secs * 10; i++)); do
        id=$(DISPLAY=$E2E_DISPLAY timeout 5 xdotool search --name '^Vorlune$' 2>/dev/null | head -n 1)
        if [[ -n $id ]]; then
            E2E_WINDOW=$id
            return 0
        fi
        e2e_game_running || e2e_fail "the program ended before it opened its window"
        sleep 0.1
    done
    e2e_fail "no window titled Vorlune within ${secs} s"
}

# Gives the game window the keyboard focus and sends keys through the XTEST
# extension, like a real keyboard. Keys are xdotool names; right Ctrl must
# be given as its keycode 105 (the name Control_R types the left Ctrl).
e2e_key()
{
    [[ -n $E2E_WINDOW ]] || e2e_fail "e2e_key before the window was found"
    DISPLAY=$E2E_DISPLAY timeout 5 xdotool windowfocus "$E2E_WINDOW" 2>/dev/null
    DISPLAY=$E2E_DISPLAY timeout 5 xdotool key --delay 60 "$@" ||
        e2e_fail "xdotool could not send keys $*"
}

# Screenshot of the whole display into the artifacts as NAME.png.
e2e_screenshot()
{
    local out=$E2E_ARTIFACTS/$1.png
    DISPLAY=$E2E_DISPLAY timeout 20 xwd -root -silent -display "$E2E_DISPLAY" |
        timeout 20 convert xwd:- "png:$out" || e2e_fail "screenshot $1 failed"
    printf '%s\n' "$out"
}

# Number of distinct colours in an image.
e2e_colour_count() { convert "$1" -format '%k' info: 2>/dev/null; }

# Share (0 to 1) of the pixels of an image, sampled at a quarter of its
# size, for which the ImageMagick -fx expression EXPR holds; without EXPR
# the mean brightness.
e2e_share()
{
    local file=$1 expr=${2:-}
    if [[ -n $expr ]]; then
        convert "$file" -sample 25% -fx "$expr" -format '%[fx:mean]' info: 2>/dev/null
    else
        convert "$file" -format '%[fx:mean]' info: 2>/dev/null
    fi
}

# Takes screenshots NAME-1, NAME-2, ... every half second until the share of
# pixels for EXPR (see e2e_share) lies between LOW and HIGH, for at most
# SECS seconds. Fails with WHAT otherwise.
e2e_wait_screen()
{
    local name=$1 expr=$2 low=$3 high=$4 secs=$5 what=$6 i shot share
    for ((i = 1; i <= secs * 2; i++)); do
        shot=$(e2e_screenshot "$name-$i")
        share=$(e2e_share "$shot" "$expr")
        if awk -v s="$share" -v lo="$low" -v hi="$high" 'BEGIN { exit !(s >= lo && s <= hi) }'; then
            e2e_log "$what ($name-$i.png, share $share)"
            return 0
        fi
        e2e_game_running || e2e_fail "the program ended while waiting for: $what"
        sleep 0.5
    done
    e2e_fail "not seen within ${secs} s: $what (last share $share)"
}

# Waits for the game to end by itself; sets E2E_GAME_STATUS (124 = killed
# by its time limit).
e2e_wait_exit()
{
    local secs=$1 i
    for ((i = 0; i < secs * 10; i++)); do
        e2e_game_running || break
        sleep 0.1
    done
    if e2e_game_running; then
        e2e_stop_game
        e2e_fail "the program did not end within ${secs} s"
    fi
    wait "$E2E_GAME_PID"
    E2E_GAME_STATUS=$?
    E2E_GAME_PID=""
}

# ---------------------------------------------------------------------------
# Helpers for the menu and high-score tests.

# Sets the value line after the key line KEY of the work directory's
# Settings.txt to VALUE (the key must be there: e2e_make_workdir writes all).
e2e_set_setting()
{
    local key=$1 value=$2 file=$E2E_WORKDIR/Settings.txt
    grep -qx -- "$key" "$file" || e2e_fail "no key line $key in $file"
    if ! awk -v key="$key" -v value="$value" \
        'prev == key { $0 = value } { print; prev = $0 }' "$file" >"$file.new"; then
        e2e_fail "cannot write $file.new"
    fi
    mv -- "$file.new" "$file" || e2e_fail "cannot replace $file"
}

# Presses and releases each key in turn, holding it for 150 ms. The game
# polls the keyboard state for the menus, so a key must stay down across at
# least one pass of the main loop (16 ms) and of the logic thread to count;
# a quick press and release in one event batch could go unseen.
e2e_tap()
{
    local key
    [[ -n $E2E_WINDOW ]] || e2e_fail "e2e_tap before the window was found"
    DISPLAY=$E2E_DISPLAY timeout 5 xdotool windowfocus "$E2E_WINDOW" 2>/dev/null
    for key; do
        DISPLAY=$E2E_DISPLAY timeout 5 xdotool keydown "$key" ||
            e2e_fail "xdotool could not press $key"
        sleep 0.15
        DISPLAY=$E2E_DISPLAY timeout 5 xdotool keyup "$key" ||
            e2e_fail "xdotool could not release $key"
        sleep 0.15
    done
}

# Presses (e2e_hold) or releases (e2e_release) all the keys given and
# leaves them so; keys are xdotool names, right Ctrl is keycode 105.
e2e_hold()
{
    [[ -n $E2E_WINDOW ]] || e2e_fail "e2e_hold before the window was found"
    local args=() key
    for key; do args+=(keydown "$key"); done
    DISPLAY=$E2E_DISPLAY timeout 5 xdotool windowfocus "$E2E_WINDOW" 2>/dev/null
    DISPLAY=$E2E_DISPLAY timeout 5 xdotool "${args[@]}" || e2e_fail "xdotool could not press $*"
}
e2e_release()
{
    local args=() key
    for key; do args+=(keyup "$key"); done
    DISPLAY=$E2E_DISPLAY timeout 5 xdotool "${args[@]}" 2>/dev/null
    return 0
}

# Grabs the display into the temporary directory as NAME.xwd (fast, not
# kept), with a copy sampled at a quarter of the size beside it (NAME.ppm)
# for quick pixel counts, and prints the path of the .xwd file. e2e_keep
# turns a grab into an artifact PNG.
e2e_grab()
{
    local out=$E2E_TMP/$1.xwd try
    # xwd walks the window tree, and a window that goes away meanwhile (Wine
    # makes and drops short-lived ones) fails it with BadWindow: try again.
    for try in 1 2 3; do
        DISPLAY=$E2E_DISPLAY timeout 20 xwd -root -silent -display "$E2E_DISPLAY" >"$out" 2>"$out.err" &&
            break
        ((try < 3)) || e2e_fail "grab $1 failed: $(cat "$out.err")"
        sleep 0.1
    done
    timeout 20 convert "xwd:$out" -sample 25% "ppm:${out%.xwd}.ppm" || e2e_fail "grab $1 unreadable"
    printf '%s\n' "$out"
}
e2e_keep()
{
    local out=$E2E_ARTIFACTS/$2.png
    timeout 20 convert "xwd:$1" "png:$out" || e2e_fail "cannot save $2"
    printf '%s\n' "$out"
}

# Half-size copy NAME-small.png of a kept screenshot, with a reduced
# palette to keep it small; with VORLUNE_E2E_UPDATE_DOCS=1 it is also
# written to docs/screenshots/NAME.png, the pictures of the README.
e2e_publish()
{
    local src=$1 name=$2 dir=$E2E_SOURCE_DIR/docs/screenshots
    convert "$src" -resize 50% -colors 128 "png8:$E2E_ARTIFACTS/$name-small.png" ||
        e2e_fail "cannot shrink $src"
    if [[ ${VORLUNE_E2E_UPDATE_DOCS:-0} == 1 ]]; then
        mkdir -p -- "$dir" || e2e_fail "cannot create $dir"
        cp -- "$E2E_ARTIFACTS/$name-small.png" "$dir/$name.png" || e2e_fail "cannot write $dir/$name.png"
        e2e_log "updated docs/screenshots/$name.png"
    fi
}

# Image reference for ImageMagick: grabs are xwd files, whose suffix it
# does not know.
e2e_image_ref() { if [[ $1 == *.xwd ]]; then printf 'xwd:%s\n' "$1"; else printf '%s\n' "$1"; fi; }

# Shares (0 to 1) of the pixels in regions of an image for which -fx
# expressions hold, printed on one line: e2e_region_shares FILE GEOMETRY
# EXPR [GEOMETRY EXPR]... with GEOMETRY as WxH+X+Y of the 1920x1080 screen.
# For a grab the quarter-size copy is counted (-fx is slow on full size).
e2e_region_shares()
{
    local file=$1 small=0 geometry w h x y
    local -a ops=()
    shift
    if [[ $file == *.xwd && -f ${file%.xwd}.ppm ]]; then
        file=${file%.xwd}.ppm small=1
    fi
    while (($# >= 2)); do
        geometry=$1
        if ((small)) && [[ $geometry =~ ^([0-9]+)x([0-9]+)\+([0-9]+)\+([0-9]+)$ ]]; then
            w=$((BASH_REMATCH[1] / 4)) h=$((BASH_REMATCH[2] / 4))
            x=$((BASH_REMATCH[3] / 4)) y=$((BASH_REMATCH[4] / 4))
            geometry=${w}x$h+$x+$y
        fi
        ops+=('(' +clone -crop "$geometry" +repage -fx "$2" -format '%[fx:mean] ' -write info: +delete ')')
        shift 2
    done
    convert "$(e2e_image_ref "$file")" "${ops[@]}" null: 2>/dev/null || printf 'error'
    printf '\n'
}

# Share of the pixels in one region (see e2e_region_shares); 0 when the
# image cannot be read.
e2e_region_share()
{
    local share
    share=$(e2e_region_shares "$@")
    share=${share%% *}
    [[ $share =~ ^[0-9.e+-]+$ ]] || share=0
    printf '%s\n' "$share"
}

# True when the number A is greater than the number B.
e2e_greater() { awk -v a="$1" -v b="$2" 'BEGIN { exit !(a > b) }'; }

# -fx expressions for the colours of the screens: the red highlight, black
# (dark) text and backdrop, the blue credits, white background and text.
E2E_RED='r>0.7&&g<0.3&&b<0.3'
E2E_DARK='r<0.3&&g<0.3&&b<0.3'
E2E_BLUE='b>0.7&&r<0.3&&g<0.3'
E2E_WHITE='r>0.95&&g>0.95&&b>0.95'

# Region of menu entry N (1 based): entries are drawn every 100 pixels from
# y 300 at x 700 in the 96 point font, whose letters fill about y+20 to y+95.
e2e_entry_band() { printf '600x70+700+%d\n' $((300 + 100 * ($1 - 1) + 22)); }

# Prints which start-up or menu screen a grab shows: notice (keyboard
# notice, text from x 450), warning (text from x 100), title (blue
# credits), menu (a red entry at x 700) or other. All of them have a
# white top edge; before its first frame the window is black.
e2e_screen()
{
    local top credits band1 band2 band3 strip notice
    read -r top credits band1 band2 band3 strip notice < <(e2e_region_shares "$1" \
        1920x60+0+0 "$E2E_WHITE" 1800x250+100+800 "$E2E_BLUE" \
        "$(e2e_entry_band 1)" "$E2E_RED" "$(e2e_entry_band 2)" "$E2E_RED" \
        "$(e2e_entry_band 3)" "$E2E_RED" 300x800+100+200 "$E2E_DARK" \
        900x500+450+100 "$E2E_DARK")
    if [[ -z $notice ]] || ! e2e_greater "$top" 0.9; then
        echo other
    elif e2e_greater "$credits" 0.01; then
        echo title
    elif e2e_greater "$band1" 0.03 || e2e_greater "$band2" 0.03 || e2e_greater "$band3" 0.03; then
        echo menu
    elif e2e_greater "$strip" 0.03; then
        echo warning
    elif e2e_greater "$notice" 0.02; then
        echo notice
    else
        echo other
    fi
}

# Grabs the display every 0.3 s until the tutorial's dark backdrop covers
# the field, for at most SECS seconds; keeps that grab as tutorial.png and
# sets E2E_GRAB to it.
e2e_wait_tutorial_backdrop()
{
    local secs=$1 start=$SECONDS dark
    while :; do
        E2E_GRAB=$(e2e_grab tutorial)
        dark=$(e2e_region_share "$E2E_GRAB" 1920x1080+0+0 "$E2E_DARK")
        e2e_greater "$dark" 0.8 && break
        ((SECONDS - start < secs)) ||
            e2e_fail "no tutorial backdrop after \"Start Game\" (dark share $dark)"
        sleep 0.3
    done
    e2e_keep "$E2E_GRAB" tutorial >/dev/null
    e2e_log "tutorial backdrop over the field (dark share $dark)"
}

# Plays with both guns firing (left Shift, right Ctrl as keycode 105) so
# that squares breed, grabbing the display every 0.5 s for at most 60 s, and
# keeps the frame without the tutorial backdrop that shows the most squares,
# until one shows a share of ENOUGH. Fails unless one shows more than MIN.
# Sets E2E_GRAB to the kept play.png.
e2e_play_until_squares()
{
    local enough=$1 min=$2 start=$SECONDS best=0 dark squares
    e2e_hold Shift_L 105
    while ((SECONDS - start < 60)); do
        E2E_GRAB=$(e2e_grab play)
        dark=$(e2e_region_share "$E2E_GRAB" 1920x1080+0+0 "$E2E_DARK")
        squares=$(e2e_region_share "$E2E_GRAB" 1920x1080+0+0 'r>g+0.3')
        if e2e_greater 0.2 "$dark" && e2e_greater "$squares" "$best"; then
            best=$squares
            cp -- "$E2E_GRAB" "$E2E_TMP/best-play.xwd"
            e2e_greater "$best" "$enough" && break
        fi
        e2e_game_running || e2e_fail "the program ended during play"
        sleep 0.5
    done
    e2e_release Shift_L 105
    e2e_greater "$best" "$min" || e2e_fail "no frame with squares within 60 s of play (best share $best)"
    E2E_GRAB=$(e2e_keep "$E2E_TMP/best-play.xwd" play)
    e2e_log "squares on the field (share $best) after $((SECONDS - start)) s"
}

# Grabs the display every 0.3 s until e2e_screen reports WANTED, for at
# most SECS seconds; fails at once on a screen in the space separated list
# FORBIDDEN. Sets E2E_GRAB to the matching grab.
E2E_GRAB=""
e2e_wait_for_screen()
{
    local wanted=$1 secs=$2 forbidden=${3:-} start=$SECONDS screen="" i=0
    while ((SECONDS - start < secs)); do
        i=$((i + 1))
        E2E_GRAB=$(e2e_grab "screen-$wanted-$i")
        screen=$(e2e_screen "$E2E_GRAB")
        if [[ $screen == "$wanted" ]]; then
            e2e_log "$wanted screen after $((SECONDS - start)) s"
            return 0
        fi
        if [[ " $forbidden " == *" $screen "* ]]; then
            e2e_keep "$E2E_GRAB" "unexpected-$screen" >/dev/null
            e2e_fail "saw the $screen screen while waiting for the $wanted screen"
        fi
        e2e_game_running || e2e_fail "the program ended while waiting for the $wanted screen"
        sleep 0.3
    done
    e2e_keep "$E2E_GRAB" "timeout-$wanted" >/dev/null
    e2e_fail "no $wanted screen within $secs s (last seen: $screen)"
}

# True when in GRAB entry WANT of a menu with COUNT entries is red and no
# other is; prints the red shares of the entries.
e2e_highlight_is()
{
    local grab=$1 want=$2 count=$3 n red ok=0 shares=""
    for ((n = 1; n <= count; n++)); do
        red=$(e2e_region_share "$grab" "$(e2e_entry_band "$n")" "$E2E_RED")
        shares+=" $red"
        if ((n == want)); then
            e2e_greater "$red" 0.03 || ok=1
        else
            e2e_greater "$red" 0.002 && ok=1
        fi
    done
    printf '%s\n' "${shares# }"
    return $ok
}

# Waits up to SECS seconds (default 5) until the red highlight is on entry
# WANT of a menu with COUNT entries and on no other; WHAT names the screen
# in the messages. Sets E2E_GRAB.
e2e_wait_highlight()
{
    local want=$1 count=$2 what=$3 secs=${4:-5} start=$SECONDS i=0 shares
    while :; do
        i=$((i + 1))
        E2E_GRAB=$(e2e_grab "highlight-$i")
        if shares=$(e2e_highlight_is "$E2E_GRAB" "$want" "$count"); then
            e2e_log "$what: red highlight on entry $want of $count"
            return 0
        fi
        e2e_game_running || e2e_fail "the program ended while waiting for: $what"
        ((SECONDS - start < secs)) || break
        sleep 0.2
    done
    e2e_keep "$E2E_GRAB" "timeout-highlight" >/dev/null
    e2e_fail "$what: the highlight is not on entry $want of $count (red shares: $shares)"
}

# From the options menu with the highlight on its first entry: W wraps the
# highlight to "Back", which writes the settings and returns to the main
# menu; Settings.txt must then hold VALUE after the key line KEY.
e2e_options_back_saves()
{
    local key=$1 value=$2 i
    e2e_tap w
    e2e_wait_highlight 6 6 "options menu after W"
    e2e_tap Shift_L
    e2e_wait_highlight 1 3 "main menu after Back"
    for ((i = 0; i < 30; i++)); do
        [[ $(e2e_setting "$key") == "$value" ]] && break
        sleep 0.1
    done
    [[ $(e2e_setting "$key") == "$value" ]] ||
        e2e_fail "\"Back\" did not save $key $value (Settings.txt has \"$(e2e_setting "$key")\")"
    e2e_log "\"Back\" saved $key $value to Settings.txt"
}

# Escape on the main menu: the program must end with status 0.
e2e_escape_quits()
{
    e2e_tap Escape
    e2e_wait_exit 15
    [[ $E2E_GAME_STATUS == 0 ]] ||
        e2e_fail "Escape on the main menu ended the program with status $E2E_GAME_STATUS"
    e2e_log "Escape on the main menu ended the program with status 0"
}

# From the start of the program to the main menu: waits for the keyboard
# notice, ends it with a key, waits for the warning and sends a key, which
# the warning takes once its first 500 logic ticks are over.
e2e_skip_to_menu()
{
    e2e_wait_for_screen notice 30 "warning title menu"
    e2e_tap Return
    e2e_wait_for_screen warning 15 "title menu"
    e2e_tap Return
    e2e_wait_for_screen menu 30 "title"
}

# Fails unless tesseract and its English data are installed (Debian
# package tesseract-ocr).
e2e_require_ocr()
{
    command -v tesseract >/dev/null 2>&1 || e2e_fail "missing tool: tesseract (install: tesseract-ocr)"
    tesseract --list-langs 2>/dev/null | grep -qx eng ||
        e2e_fail "tesseract has no English data (install: tesseract-ocr-eng)"
}

# Text that tesseract reads in an image, or in its region GEOMETRY (cut
# out with a white margin, which helps it with large screen text). With
# CHANNEL "red" only the red channel is read: black text on a red
# background then shows as black on white. SCALE (an ImageMagick size such
# as 50%) resizes the region first: tesseract reads a few letters of the
# game font at full size less surely.
e2e_ocr()
{
    local file=$1 geometry=${2:-} channel=${3:-} scale=${4:-} png=$E2E_TMP/ocr.png
    local -a ops=()
    [[ -n $geometry ]] && ops+=(-crop "$geometry" +repage)
    [[ $channel == red ]] && ops+=(-channel R -separate)
    [[ -n $scale ]] && ops+=(-resize "$scale")
    convert "$(e2e_image_ref "$file")" "${ops[@]}" -bordercolor white -border 20 "png:$png" 2>/dev/null ||
        e2e_fail "cannot prepare $file for OCR"
    timeout 60 tesseract "$png" - --psm 6 2>/dev/null
}
