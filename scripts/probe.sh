#!/usr/bin/env bash
# Runs the real program under Xvfb once on each drawing path and reports what
# it costs, side by side: processor use of the whole process on the main menu
# and in play, the periods of the logic pass and of the frame (median and 99th
# percentile), peak resident memory, the time from start to the first
# presented frame, and where the memory goes (/proc/<pid>/smaps at the end of
# play). Resident memory is also sampled four times a second over the whole
# session (VmRSS and VmHWM, by a sampler in the background), so a spike
# shows even where it has passed by the end of play.
#
# Play is a real game: Tutorial off, both guns firing (left Shift and right
# Ctrl held), both crosshairs sweeping, so the field fills with squares.
#
# The periods and the drawing path come from the program itself, built with
# -DVORLUNE_TIMING=ON: only such builds print them and let VORLUNE_DRAWING_PATH
# (accelerated or software) force the path; the shipped program chooses by
# itself and prints nothing of this. Processor use and memory come from
# /proc/<pid>/stat, status and smaps.
#
# Usage: scripts/probe.sh [timing build dir]   (default: build-timing, configured
#        and built here)
# The late game follows, on the software path: a game with four seconds of
# fire (left Shift) while the left crosshair sweeps W, D, S, A, after which
# the squares are left alone to grow over the field, until the game is over.
# It reports the whole process's processor use in 5-second windows, each
# with the share of the field that squares cover in a grab taken at the
# window's end (pixels not of the background colour).
#
# Environment: PROBE_MENU_SECS (20), PROBE_PLAY_SECS (20), PROBE_PATHS
#        ("accelerated software"; on Wayland "accelerated texture"; empty for
#        the late game alone), PROBE_LATE_PATHS ("software"; empty on
#        Wayland; empty to leave out the late game), PROBE_LATE_SECS (45: how
#        long the squares are left alone),
#        PROBE_WAYLAND=1: the game runs as a native Wayland client of weston
#        nested on Xvfb (tests/e2e/lib.sh), full screen, SDL left to choose
#        its drivers; paths forced as above. With it E2E_WESTON_SCALE (1)
#        scales weston's output as on a high-DPI screen, E2E_SCREEN_SIZE
#        (1920x1080) sets its pixels, and VORLUNE_HIGH_DPI=1|0 makes the
#        game ask for high-DPI drawing or not, whatever it would choose.
set -u -o pipefail

root=$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)
build=${1:-$root/build-timing}
menu_secs=${PROBE_MENU_SECS:-20}
play_secs=${PROBE_PLAY_SECS:-20}
wayland=${PROBE_WAYLAND:-0}
late_secs=${PROBE_LATE_SECS:-45}
if [ "$wayland" = 1 ]; then
    read -r -a paths <<<"${PROBE_PATHS-accelerated texture}"
    read -r -a late_paths <<<"${PROBE_LATE_PATHS-}"
else
    read -r -a paths <<<"${PROBE_PATHS-accelerated software}"
    read -r -a late_paths <<<"${PROBE_LATE_PATHS-software}"
fi

if [ ! -f "$build/CMakeCache.txt" ]; then
    cmake -S "$root" -B "$build" -DCMAKE_BUILD_TYPE=Release -DVORLUNE_TIMING=ON \
        -DVORLUNE_BUILD_TESTS=OFF -DVORLUNE_BUILD_BENCHMARKS=OFF >/dev/null || exit 1
fi
if ! grep -q '^VORLUNE_TIMING:BOOL=ON' "$build/CMakeCache.txt"; then
    echo "probe.sh: $build is not a timing build (configure it with -DVORLUNE_TIMING=ON)" >&2
    exit 1
fi
cmake --build "$build" -j2 --target vorlune >/dev/null || exit 1

export VORLUNE_BUILD_DIR=$build VORLUNE_RUN_DIR=$build/run VORLUNE_SOURCE_DIR=$root
# shellcheck source=tests/e2e/lib.sh
source "$root/tests/e2e/lib.sh"
# shellcheck source=tests/e2e/reliability_lib.sh
source "$root/tests/e2e/reliability_lib.sh"
e2e_init probe
e2e_start_xvfb
[ "$wayland" = 1 ] && e2e_start_weston

clk_tck=$(getconf CLK_TCK)
now() { date +%s.%N; }
# utime + stime of a process, in clock ticks.
cpu_ticks() { awk '{ sub(/^.*\) /, ""); print $12 + $13 }' "/proc/$1/stat"; }
# The same per thread, as "name ticks" lines (threads of one name summed).
thread_ticks()
{
    local f
    for f in /proc/"$1"/task/*/stat; do
        awk '{ match($0, /\(.*\)/); name = substr($0, RSTART + 1, RLENGTH - 2);
               sub(/[0-9]+$/, "", name); sub(/-$/, "-*", name); gsub(/ /, "_", name);
               sub(/^.*\) /, ""); print name, $12 + $13 }' "$f" 2>/dev/null
    done | awk '{ t[$1] += $2 } END { for (n in t) print n, t[n] }'
}
elapsed_since() { awk -v a="$1" -v b="$(now)" 'BEGIN { printf "%.2f", b - a }'; }
xdo() { DISPLAY=$E2E_DISPLAY timeout 5 xdotool "$@"; }

# The game's own process (a child of the timeout that e2e_start_game runs).
find_game_pid()
{
    local i pid=""
    for ((i = 0; i < 50; i++)); do
        pid=$(cat "/proc/$E2E_GAME_PID/task/$E2E_GAME_PID/children" 2>/dev/null | awk '{ print $1 }')
        [ -n "$pid" ] && break
        sleep 0.1
    done
    [ -n "$pid" ] || e2e_fail "cannot find the game's process"
    printf '%s\n' "$pid"
}

# Leaves the game: Escape ends play, Return confirms a name entry if the
# game ended with a high score, Escape on the main menu ends the program.
leave_game()
{
    local i
    for ((i = 0; i < 20; i++)); do
        e2e_game_running || break
        e2e_key Escape
        sleep 1
        e2e_game_running || break
        e2e_key Return
        sleep 0.5
    done
    e2e_wait_exit 15
}

# One session on drawing path $1; leaves its figures in $E2E_TMP/$1.* and
# the game's output in $E2E_TMP/$1.log.
probe_session()
{
    local path=$1 out=$E2E_TMP/$1 launch game_pid s
    rm -rf -- "$E2E_TMP/run" # a fresh copy, without the scores of the session before
    e2e_make_workdir
    e2e_set_setting Tutorial 0
    [ "$wayland" = 1 ] && e2e_set_setting Fullscreen 1
    launch=$(now)
    VORLUNE_DRAWING_PATH=$path e2e_start_game $((menu_secs + play_secs + 90))
    game_pid=$(find_game_pid) || exit 1
    rel_rss_start "$game_pid" "$out.rss"
    [ "$wayland" = 1 ] || e2e_wait_window 20
    e2e_wait_output "timing: first frame presented" 20

    # Keyboard notice, then the start-up screens: a key release skips each
    # (the warning screen reads no input for its first 500 ticks).
    e2e_key Return
    sleep 4.5
    e2e_key Return
    sleep 2

    elapsed_since "$launch" >"$out.menu_start"
    cpu_ticks "$game_pid" >"$out.c0"
    thread_ticks "$game_pid" >"$out.menu-threads-0"
    sleep "$menu_secs"
    cpu_ticks "$game_pid" >"$out.c1"
    thread_ticks "$game_pid" >"$out.menu-threads-1"
    elapsed_since "$launch" >"$out.menu_end"

    # Start Game (left Shift selects), then play: both guns fire (left Shift,
    # right Ctrl as keycode 105) while both crosshairs sweep.
    e2e_key Shift_L
    sleep 1
    elapsed_since "$launch" >"$out.play_start"
    cpu_ticks "$game_pid" >"$out.c2"
    thread_ticks "$game_pid" >"$out.play-threads-0"
    xdo windowfocus "$E2E_WINDOW" 2>/dev/null
    xdo keydown Shift_L keydown 105
    local left=(d s a w) right=(Left Up Right Down)
    for ((s = 0; s < play_secs; s++)); do
        xdo keydown "${left[s % 4]}" keydown "${right[s % 4]}"
        sleep 1
        xdo keyup "${left[s % 4]}" keyup "${right[s % 4]}"
    done
    cpu_ticks "$game_pid" >"$out.c3"
    thread_ticks "$game_pid" >"$out.play-threads-1"
    elapsed_since "$launch" >"$out.play_end"
    # The screenshot makes the X server and xwd busy for a moment: take it
    # after the measured play, outside every five-second window counted.
    sleep 1
    e2e_keep "$(e2e_grab "$path-play")" "$path-play" >/dev/null
    xdo keyup Shift_L keyup 105
    awk '/^VmHWM/ { print $2 }' "/proc/$game_pid/status" >"$out.hwm"
    awk '/^Threads/ { print $2 }' "/proc/$game_pid/status" >"$out.threads"
    cp "/proc/$game_pid/smaps" "$out.smaps" 2>/dev/null

    leave_game
    rel_rss_stop
    rel_rss_peak_mb "$out.rss" >"$out.rss_peak"
    [ "$E2E_GAME_STATUS" = 0 ] || e2e_fail "the program ended with status $E2E_GAME_STATUS"
    cp "$E2E_GAME_LOG" "$out.log"
}

# Pixels that squares (or a crosshair's dark outline) cover: the background
# is (255, g, g), the squares' pictures are never that bright in red.
late_covered='r<0.999||abs(g-b)>0.002'

# The late game on drawing path $1: "seconds cpu% covered" lines, one per
# 5-second window, in $E2E_TMP/late-$1.windows.
late_session()
{
    local path=$1 out=$E2E_TMP/late-$1 game_pid key i c0 c1 t0 t1 wait grab share launch
    rm -rf -- "$E2E_TMP/run"
    e2e_make_workdir
    e2e_set_setting Tutorial 0
    launch=$(now)
    VORLUNE_DRAWING_PATH=$path e2e_start_game $((late_secs + 90))
    game_pid=$(find_game_pid) || exit 1
    e2e_wait_window 20
    e2e_wait_output "timing: first frame presented" 20
    e2e_key Return
    sleep 4.5
    e2e_key Return
    sleep 2
    e2e_key Shift_L # Start Game
    sleep 1
    xdo windowfocus "$E2E_WINDOW" 2>/dev/null
    xdo keydown Shift_L
    for key in d s a w; do
        xdo keydown "$key"
        sleep 1
        xdo keyup "$key"
    done
    xdo keyup Shift_L
    : >"$out.windows"
    t0=$(now)
    c0=$(cpu_ticks "$game_pid")
    for ((i = 1; i * 5 <= late_secs; i++)); do
        wait=$(awk -v a="$t0" -v b="$(now)" 'BEGIN { w = a + 5 - b; printf "%.3f", (w > 0 ? w : 0) }')
        sleep "$wait"
        c1=$(cpu_ticks "$game_pid")
        t1=$(now)
        # The grab's own work falls into the next window, of other processes.
        grab=$(e2e_grab "late-$path-$i")
        share=$(e2e_region_share "$grab" 1920x1080+0+0 "$late_covered")
        awk -v s=$((i * 5)) -v c="$((c1 - c0))" -v tck="$clk_tck" -v a="$t0" -v b="$t1" -v f="$share" \
            -v l="$launch" 'BEGIN { printf "%d %.1f %.1f %.2f\n", s, 100 * c / tck / (b - a), 100 * f, b - l }' \
            >>"$out.windows"
        ((i % 3 == 0)) && e2e_keep "$grab" "late-$path-$((i * 5))s" >/dev/null
        t0=$t1
        c0=$c1
    done
    leave_game
    [ "$E2E_GAME_STATUS" = 0 ] || e2e_fail "the program ended with status $E2E_GAME_STATUS"
    cp "$E2E_GAME_LOG" "$out.log"
}

for path in "${paths[@]}"; do
    e2e_log "session on the $path drawing path"
    probe_session "$path"
done
for path in "${late_paths[@]}"; do
    e2e_log "late game on the $path drawing path"
    late_session "$path"
done

screen="${E2E_SCREEN_SIZE:-1920x1080}, scale ${E2E_WESTON_SCALE:-1}"
((${#paths[@]} == 0)) || python3 - "$clk_tck" "$E2E_TMP" "$(cut -d' ' -f1-3 /proc/loadavg)" "$wayland" "$screen" "${paths[@]}" <<'PY'
import re, statistics, sys

tck, tmp, load, wayland = float(sys.argv[1]), sys.argv[2], sys.argv[3], sys.argv[4] == "1"
screen = sys.argv[5]
paths = sys.argv[6:]
shm = ("shared memory (window buffers shared with weston)" if wayland
       else "shared memory (window image for the X server, MIT-SHM)")
win = re.compile(r"timing: (logic|frame) t=([\d.]+) s n=(\d+) median=([\d.]+) ms "
                 r"p99=([\d.]+) ms max=([\d.]+) ms min=([\d.]+) ms p1=([\d.]+) ms")

def read(path, name):
    return open(f"{tmp}/{path}.{name}").read()

def threads(path, phase, secs):
    def load_ticks(i):
        out = {}
        for line in read(path, f"{phase}-threads-{i}").split("\n"):
            if line.strip():
                n, t = line.split()
                out[n] = float(t)
        return out
    a, b = load_ticks(0), load_ticks(1)
    return {n: 100 * (b[n] - a.get(n, 0)) / tck / secs for n in b}

def smaps(path):
    # Resident kB per mapping, grouped by what is mapped.
    groups, name, total = {}, None, 0
    try:
        lines = read(path, "smaps").split("\n")
    except OSError:
        return {}, 0
    for line in lines:
        if re.match(r"^[0-9a-f]+-[0-9a-f]+ ", line):
            parts = line.split(None, 5)
            name = parts[5].strip() if len(parts) > 5 else "[anonymous]"
            if name.startswith("/"):
                base = name.rsplit("/", 1)[1]
                if base.startswith("SYSV") or "(deleted)" in name:
                    name = shm
                else:
                    name = re.sub(r"\.so[.\d]*$", ".so", base)
            elif name.startswith("/SYSV") or name.startswith("SYSV"):
                name = shm
        elif line.startswith("Rss:") and name is not None:
            kb = int(line.split()[1])
            groups[name] = groups.get(name, 0) + kb
            total += kb
    return groups, total

res = {}
for p in paths:
    t = {k: float(read(p, k)) for k in ("menu_start", "menu_end", "play_start", "play_end",
                                         "c0", "c1", "c2", "c3", "hwm", "threads",
                                         "rss_peak")}
    log = read(p, "log")
    w = [(m[1], float(m[2]), int(m[3]), float(m[4]), float(m[5])) for m in win.finditer(log)]
    def phase(loop, start, end):
        sel = [x for x in w if x[0] == loop and x[1] - 5.5 >= start and x[1] <= end + 0.5]
        if not sel:
            return "n/a"
        return (f"{statistics.median(x[3] for x in sel):.2f} / "
                f"{max(x[4] for x in sel):.2f} ms")
    def frame_rate(start, end):
        sel = [x for x in w if x[0] == "frame" and x[1] - 5.5 >= start and x[1] <= end + 0.5]
        return sum(x[2] for x in sel) / (5 * len(sel)) if sel else 0
    first = re.search(r"timing: first frame presented ([\d.]+) ms", log)
    chosen = re.search(r"timing: drawing path (.*)", log)
    sizes = re.search(r"timing: window (\d+x\d+), renderer output (\d+x\d+) pixels, high DPI (.*)", log)
    msecs, psecs = t["menu_end"] - t["menu_start"], t["play_end"] - t["play_start"]
    own = lambda shares: sum(v for n, v in shares.items() if not n.startswith("llvmpipe"))
    res[p] = {
        "path": chosen[1] if chosen else "n/a",
        "sizes": f"{sizes[1]} / {sizes[2]} ({sizes[3]})" if sizes else "n/a",
        "play": 100 * (t["c3"] - t["c2"]) / tck / psecs,
        "menu": 100 * (t["c1"] - t["c0"]) / tck / msecs,
        "fps_play": frame_rate(t["play_start"], t["play_end"]),
        "play_own": own(threads(p, "play", psecs)),
        "menu_own": own(threads(p, "menu", msecs)),
        "logic_play": phase("logic", t["play_start"], t["play_end"]),
        "logic_menu": phase("logic", t["menu_start"], t["menu_end"]),
        "frame_play": phase("frame", t["play_start"], t["play_end"]),
        "frame_menu": phase("frame", t["menu_start"], t["menu_end"]),
        "hwm": t["hwm"] / 1024,
        "rss_peak": t["rss_peak"],
        "threads": int(t["threads"]),
        "first": f"{float(first[1]):.0f} ms" if first else "n/a",
        "smaps": smaps(p),
    }

print(f"vorlune probe {f'on weston (Wayland, output {screen}) nested on Xvfb' if wayland else 'under Xvfb'}, "
      f"one session per drawing path; load average at the end: {load}")
print()
print("| Measurement | " + " | ".join(paths) + " |")
print("|---|" + "---:|" * len(paths))
rows = [
    ("drawing path as reported", lambda r: r["path"].split(" (")[0]),
    ("window / renderer output, pixels (high DPI)", lambda r: r["sizes"]),
    ("CPU of the whole process in play (% of one core)", lambda r: f"{r['play']:.1f} %"),
    ("CPU of the game's own threads in play (all but llvmpipe)", lambda r: f"{r['play_own']:.1f} %"),
    # Less dependent on the machine's load than the share of a core: a busy
    # machine gives llvmpipe less time, and the game draws fewer frames.
    ("frames in play per second; CPU time per frame",
     lambda r: f"{r['fps_play']:.1f}; {10 * r['play'] / r['fps_play']:.1f} ms"
     if r["fps_play"] > 0 else "n/a"),
    ("CPU of the whole process on the menu", lambda r: f"{r['menu']:.1f} %"),
    ("logic pass period in play, median / p99", lambda r: r["logic_play"]),
    ("logic pass period on the menu, median / p99", lambda r: r["logic_menu"]),
    ("frame period in play, median / p99", lambda r: r["frame_play"]),
    ("frame period on the menu, median / p99", lambda r: r["frame_menu"]),
    ("peak resident memory (VmHWM)", lambda r: f"{r['hwm']:.0f} MB"),
    ("peak resident memory over the session, sampled 4/s", lambda r: f"{r['rss_peak']:.0f} MB"),
    ("threads", lambda r: str(r["threads"])),
    ("start to first presented frame", lambda r: r["first"]),
]
for name, f in rows:
    print(f"| {name} | " + " | ".join(f(res[p]) for p in paths) + " |")
for p in paths:
    if p != "accelerated" and "accelerated" in res and res["accelerated"]["play"] > 0:
        print()
        print(f"The {p} path's CPU in play: {res[p]['play'] / res['accelerated']['play']:.2f} "
              f"of the accelerated path's.")
for p in paths:
    groups, total = res[p]["smaps"]
    if not groups:
        continue
    print()
    print(f"Resident memory at the end of play, {p} path ({total / 1024:.0f} MB in all), "
          f"largest parts:")
    print()
    print("| Mapping | Resident |")
    print("|---|---:|")
    ranked = sorted(groups.items(), key=lambda kv: -kv[1])
    for name, kb in ranked[:14]:
        print(f"| {name} | {kb / 1024:.1f} MB |")
    rest = sum(kb for _, kb in ranked[14:])
    print(f"| {len(ranked) - 14} further mappings | {rest / 1024:.1f} MB |")
PY
for path in "${late_paths[@]}"; do
    python3 - "$E2E_TMP/late-$path" "$path" "$(cut -d' ' -f1-3 /proc/loadavg)" <<'PY'
import re, sys

out, path, load = sys.argv[1:]
rows = [line.split() for line in open(out + ".windows") if line.strip()]
# The game's own 5-second windows of frame periods (timing build), each
# matched to the probe's window whose end lies nearest.
frames = [(float(m[1]), int(m[2]), float(m[3])) for m in re.finditer(
    r"timing: frame t=([\d.]+) s n=(\d+) median=([\d.]+) ms", open(out + ".log").read())]
print()
print(f"Late game on the {path} path: four seconds of fire, then the squares left alone;")
print("processor use of the whole process per 5-second window, share of the field covered")
print("by squares at the window's end, and the frames of the game's own 5-second window")
print("ending nearest: their number, median period, and the process's CPU time per frame")
print(f"(this window's CPU over those frames; load average at the end: {load}).")
print()
print("| Seconds after the fire | CPU (% of one core) | Field covered | Frames, median period | CPU per frame |")
print("|---:|---:|---:|---:|---:|")
busiest, covered = 0.0, 0
for secs, cpu, share, end in rows:
    near = min(frames, key=lambda f: abs(f[0] - float(end)), default=None)
    period = f"{near[1]}, {near[2]:.1f} ms" if near else "n/a"
    per = f"{float(cpu) * 50 / near[1]:.1f} ms" if near and near[1] else "n/a"
    print(f"| {secs} s | {float(cpu):.1f} % | {float(share):.1f} % | {period} | {per} |")
    if float(share) >= 99:
        covered += 1
        busiest = max(busiest, float(cpu))
print()
if covered:
    print(f"Windows with the field covered: {covered}, the busiest at {busiest:.1f} % of a core.")
else:
    print("No window ended with the field covered.")
PY
done
e2e_log "game output and screenshots: $E2E_ARTIFACTS"
