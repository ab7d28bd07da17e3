#!/usr/bin/env bash
# Runs the benchmarks and prints each figure as a share of its budget: the
# 6 ms logic tick for the logic pass and for a score write (the logic thread
# makes it), the 16 ms frame for everything the graphics thread does. The
# loops' real periods are measured in the same run. A score write goes to
# the disk of the build folder (or $VORLUNE_BENCH_WRITE_DIR).
# Nothing here fails on a slow machine: the table only reports.
#
# Usage: scripts/bench.sh [build dir]    (default: build-bench, configured
#        and built here as Release; an existing build dir is reused)
# Environment: VORLUNE_BENCH_ARGS  extra arguments for vorlune_bench
set -eu -o pipefail

root=$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)
build=${1:-$root/build-bench}
json=$(mktemp)
trap 'rm -f "$json"' EXIT

if [ ! -f "$build/CMakeCache.txt" ]; then
    cmake -S "$root" -B "$build" -DCMAKE_BUILD_TYPE=Release -DVORLUNE_BUILD_TESTS=OFF >/dev/null
fi
cmake --build "$build" -j2 --target vorlune_bench >/dev/null
bench=$build/benchmarks/vorlune_bench
[ -x "$bench" ] || { echo "bench.sh: $bench was not built (is libbenchmark-dev installed?)" >&2; exit 1; }

# shellcheck disable=SC2086 # extra arguments are split on purpose
SDL_VIDEODRIVER=dummy SDL_AUDIODRIVER=dummy VORLUNE_RUN_DIR=$build/run \
    "$bench" --benchmark_repetitions=3 --benchmark_report_aggregates_only=true \
    --benchmark_min_time=0.3 --benchmark_format=json ${VORLUNE_BENCH_ARGS:-} >"$json"

python3 - "$json" <<'PY'
import json, sys

data = json.load(open(sys.argv[1]))
rows = {}
for b in data["benchmarks"]:
    if b.get("aggregate_name") != "median":
        continue
    name = b["run_name"].replace("/manual_time", "").replace("/real_time", "")
    scale = {"ns": 1e-6, "us": 1e-3, "ms": 1.0, "s": 1e3}[b["time_unit"]]
    rows[name] = (b["real_time"] * scale, b["cpu_time"] * scale, b)

def label(name):
    base, _, arg = name.partition("/")
    titles = {
        "BM_LogicPass": ("logic pass (advance + shot)", "squares", 6.0),
        "BM_FrameSnapshot": ("frame snapshot under the lock", "squares", 16.0),
        "BM_DrawFrame": ("draw 1920x1080 frame (software)", "squares", 16.0),
        "BM_DrawLargeSquares": ("draw frame of 5 squares (software), side", "px", 16.0),
        "BM_DrawFullFieldSquare": ("draw frame of 1 square over the whole field (software), side", "px", 16.0),
        "BM_MenuFrame": ("steady main-menu frame", "", 16.0),
        "BM_CalcMeUnchanged": ("TextBox::CalcMe, unchanged box", "", 16.0),
        "BM_CalcMeChanged": ("TextBox::CalcMe, changed box", "", 16.0),
        "BM_LogicPeriod": ("logic tick period (pacer)", "", 6.0),
        "BM_FramePeriod": ("frame period (pacer)", "", 16.0),
        "BM_ScoreWrite": ("score write (SaveScores, synced)", "", 6.0),
    }
    title, unit, budget = titles.get(base, (base, "", 16.0))
    if base == "BM_DrawLargeSquares":
        side, _, hidden = arg.partition("/")
        how = ", hidden ones left out" if hidden == "1" else ", everything drawn"
        sizes = {"0": "10^2 to 10^6 px a side", "-1": "10^6 down to 10^2 px a side"}
        return f"draw frame of 5 squares (software), {sizes.get(side, side + ' px a side')}{how}", budget
    if arg:
        title += f", {arg} {unit}" if unit != "px" else f" {arg} px"
    return title, budget

ctx = data["context"]
load = ctx.get("load_avg", [])
print(f"vorlune benchmarks: {ctx.get('num_cpus')} CPUs at {ctx.get('mhz_per_cpu')} MHz, "
      f"load average {', '.join(f'{x:.2f}' for x in load) if load else 'n/a'}; "
      "median of 3 repetitions")
print()
print("| Measurement | Wall time | CPU time | Budget | Share of budget |")
print("|---|---:|---:|---:|---:|")

def fmt(ms):
    if ms >= 1.0:
        return f"{ms:.2f} ms"
    if ms >= 0.001:
        return f"{ms * 1000:.2f} µs"
    return f"{ms * 1e6:.1f} ns"

for name, (real, cpu, b) in rows.items():
    title, budget = label(name)
    extra = ""
    if "text_renders_per_frame" in b:
        extra = f" ({b['text_renders_per_frame']:g} text renderings per frame)"
    if "drawn" in b:
        extra += f" ({b['drawn']:g} objects drawn)"
    if b.get("label"):
        extra += f" ({b['label']})"
    if name.startswith(("BM_LogicPeriod", "BM_FramePeriod")):
        print(f"| {title} | {fmt(real)} | {fmt(cpu)} | {budget:g} ms | "
              f"{100 * real / budget:.1f} % (period){extra} |")
    else:
        print(f"| {title}{extra} | {fmt(real)} | {fmt(cpu)} | {budget:g} ms | "
              f"{100 * real / budget:.3g} % |")
PY
