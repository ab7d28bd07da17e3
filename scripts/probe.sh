#!/usr/bin/env bash
# Runs the real program under Xvfb and reports what it costs: processor use of
# the whole process on the main menu and during play, the periods of the
# logic pass and of the frame (median and 99th percentile), peak resident
# memory and the time from start to the first presented frame.
#
# The periods come from the program itself, built with -DVORLUNE_TIMING=ON
# (the shipped program prints nothing of this); processor use and memory from
# /proc/<pid>/stat and /proc/<pid>/status.
#
# Usage: scripts/probe.sh [timing build dir]   (default: build-timing, configured
#        and built here)
# Environment: PROBE_MENU_SECS (20), PROBE_PLAY_SECS (20); any SDL_* variable,
#        e.g. SDL_RENDER_DRIVER=software to compare renderers.
set -u -o pipefail

root=$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)
build=${1:-$root/build-timing}
menu_secs=${PROBE_MENU_SECS:-20}
play_secs=${PROBE_PLAY_SECS:-20}

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
e2e_init probe
e2e_make_workdir
e2e_start_xvfb

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

launch=$(now)
e2e_start_game $((menu_secs + play_secs + 90))
game_pid=""
for ((i = 0; i < 50; i++)); do
    game_pid=$(cat "/proc/$E2E_GAME_PID/task/$E2E_GAME_PID/children" 2>/dev/null | awk '{ print $1 }')
    [ -n "$game_pid" ] && break
    sleep 0.1
done
[ -n "$game_pid" ] || e2e_fail "cannot find the game's process"
e2e_wait_window 20
e2e_wait_output "timing: first frame presented" 20

# Keyboard notice, then the start-up screens: a key release skips each (the
# warning screen reads no input for its first 500 ticks).
e2e_key Return
sleep 4.5
e2e_key Return
sleep 2

menu_start=$(elapsed_since "$launch")
c0=$(cpu_ticks "$game_pid")
thread_ticks "$game_pid" >"$E2E_TMP/menu-threads-0"
sleep "$menu_secs"
c1=$(cpu_ticks "$game_pid")
thread_ticks "$game_pid" >"$E2E_TMP/menu-threads-1"
menu_end=$(elapsed_since "$launch")

# Start Game (left Shift selects), then play: fire with left Shift held and
# sweep the left crosshair with the movement keys.
e2e_key Shift_L
sleep 1
play_start=$(elapsed_since "$launch")
c2=$(cpu_ticks "$game_pid")
thread_ticks "$game_pid" >"$E2E_TMP/play-threads-0"
DISPLAY=$E2E_DISPLAY xdotool keydown Shift_L
keys=(d s a w)
for ((s = 0; s < play_secs; s++)); do
    k=${keys[s % 4]}
    DISPLAY=$E2E_DISPLAY xdotool keydown "$k"
    sleep 1
    DISPLAY=$E2E_DISPLAY xdotool keyup "$k"
done
DISPLAY=$E2E_DISPLAY xdotool keyup Shift_L
c3=$(cpu_ticks "$game_pid")
thread_ticks "$game_pid" >"$E2E_TMP/play-threads-1"
play_end=$(elapsed_since "$launch")
hwm=$(awk '/^VmHWM/ { print $2, $3 }' "/proc/$game_pid/status")
threads=$(awk '/^Threads/ { print $2 }' "/proc/$game_pid/status")

# Leave: Escape ends play, Return confirms a name entry if the game ended with
# a high score, Escape on the main menu ends the program.
for ((i = 0; i < 20; i++)); do
    e2e_game_running || break
    e2e_key Escape
    sleep 1
    e2e_game_running || break
    e2e_key Return
    sleep 0.5
done
e2e_wait_exit 15
[ "$E2E_GAME_STATUS" = 0 ] || e2e_fail "the program ended with status $E2E_GAME_STATUS"

python3 - "$E2E_GAME_LOG" "$clk_tck" "$menu_start" "$menu_end" "$play_start" "$play_end" \
    "$c0" "$c1" "$c2" "$c3" "$hwm" "$threads" "${SDL_RENDER_DRIVER:-default}" "$E2E_TMP" <<'PY'
import re, statistics, sys

log, tck, m0, m1, p0, p1, c0, c1, c2, c3, hwm, threads, driver, tmp = sys.argv[1:]
tck = float(tck)
m0, m1, p0, p1 = map(float, (m0, m1, p0, p1))
c0, c1, c2, c3 = map(float, (c0, c1, c2, c3))
text = open(log).read()

first = re.search(r"timing: first frame presented ([\d.]+) ms", text)
win = re.compile(r"timing: (logic|frame) t=([\d.]+) s n=(\d+) median=([\d.]+) ms "
                 r"p99=([\d.]+) ms max=([\d.]+) ms min=([\d.]+) ms p1=([\d.]+) ms"
                 r"(?: text_renders=(\d+))?")
# (loop, end time, count, median, p99, max, text renderings, min, p1)
windows = [(m[1], float(m[2]), int(m[3]), float(m[4]), float(m[5]), float(m[6]),
            int(m[9]) if m[9] else 0, float(m[7]), float(m[8])) for m in win.finditer(text)]
totals = {m[1]: (int(m[2]), float(m[3]), float(m[4]), float(m[5]), float(m[6]), float(m[7]))
          for m in re.finditer(r"timing: (logic|frame) total n=(\d+) median=([\d.]+) ms "
                               r"p99=([\d.]+) ms max=([\d.]+) ms min=([\d.]+) ms p1=([\d.]+) ms",
                               text)}
renders = re.search(r"text renderings after the first frame (\d+), in (\d+) frames", text)

def phase(loop, start, end):
    # Five-second windows that lie wholly inside the phase.
    sel = [w for w in windows if w[0] == loop and w[1] - 5.5 >= start and w[1] <= end + 0.5]
    if not sel:
        return "n/a", "n/a", 0, 0, "n/a"
    med = statistics.median(w[3] for w in sel)
    p99 = max(w[4] for w in sel)
    p1 = min(w[8] for w in sel)
    return (f"{med:.3f} ms", f"{p99:.3f} ms", sum(w[2] for w in sel), sum(w[6] for w in sel),
            f"{p1:.3f} ms")

menu_cpu = 100 * (c1 - c0) / tck / (m1 - m0)
play_cpu = 100 * (c3 - c2) / tck / (p1 - p0)
print(f"vorlune probe under Xvfb (renderer: {driver}); menu {m1 - m0:.0f} s, play {p1 - p0:.0f} s")
print()
print("| Measurement | Menu | Play | Whole run |")
print("|---|---:|---:|---:|")
print(f"| CPU of the process (% of one core) | {menu_cpu:.1f} % | {play_cpu:.1f} % | |")
for loop, name in (("logic", "logic pass period"), ("frame", "frame period")):
    mm, mp, mn, mt, m1p = phase(loop, m0, m1)
    pm, pp, pn, pt, p1p = phase(loop, p0, p1)
    t = totals.get(loop)
    whole_med = f"{t[1]:.3f} ms" if t else "n/a"
    whole_p99 = f"{t[2]:.3f} ms" if t else "n/a"
    whole_p1 = f"{t[5]:.3f} ms (min {t[4]:.3f})" if t else "n/a"
    print(f"| {name}, 1st percentile | {m1p} | {p1p} | {whole_p1} |")
    print(f"| {name}, median | {mm} | {pm} | {whole_med} |")
    print(f"| {name}, 99th percentile | {mp} | {pp} | {whole_p99} |")
    if loop == "frame":
        print(f"| text renderings in steady frames | {mt} in {mn} frames | {pt} in {pn} frames | "
              f"{renders[1] + ' in ' + renders[2] + ' frames' if renders else 'n/a'} |")
def thread_share(phase, secs):
    def load(i):
        out = {}
        for line in open(f"{tmp}/{phase}-threads-{i}"):
            name, ticks = line.split()
            out[name] = float(ticks)
        return out
    a, b = load(0), load(1)
    return {n: 100 * (b[n] - a.get(n, 0)) / tck / secs for n in b}

menu_threads = thread_share("menu", m1 - m0)
play_threads = thread_share("play", p1 - p0)
# Mesa's software rasteriser threads (llvmpipe) draw for the X server that has
# no GPU; the rest is the game's own work.
def own(shares):
    return sum(v for n, v in shares.items() if not n.startswith("llvmpipe"))
print(f"| CPU of the game's own threads (all but llvmpipe) | {own(menu_threads):.1f} % | "
      f"{own(play_threads):.1f} % | |")
for name in sorted(set(menu_threads) | set(play_threads),
                   key=lambda n: -menu_threads.get(n, 0) - play_threads.get(n, 0)):
    mt, pt = menu_threads.get(name, 0), play_threads.get(name, 0)
    if mt >= 0.05 or pt >= 0.05:
        print(f"| &nbsp;&nbsp;thread {name} | {mt:.1f} % | {pt:.1f} % | |")
print(f"| peak resident memory (VmHWM) | | | {hwm} |")
print(f"| threads | | | {threads} |")
print(f"| start to first presented frame | | | {first[1] + ' ms' if first else 'n/a'} |")
PY
e2e_log "game output: $E2E_GAME_LOG"
