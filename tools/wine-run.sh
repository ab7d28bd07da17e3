#!/usr/bin/env bash
# Runs a program of the Windows cross build under Wine, with the given
# directories on its DLL search path. The Windows build uses it as its
# CMAKE_CROSSCOMPILING_EMULATOR (media generator, unit tests).
#
#   wine-run.sh [DLL directory...] -- program.exe [arguments...]
#
# Wine's prefix is kept in ${VORLUNE_WINEPREFIX:-<cache>/wine64}, where <cache>
# is ${VORLUNE_CACHE:-~/.cache/vorlune} as for the Windows libraries, and
# made once (under a lock, as tests may start side by side). Wine's own
# messages are off unless WINEDEBUG is set.
set -u

dirs=()
while (($#)) && [[ $1 != -- ]]; do
    dirs+=("$1")
    shift
done
if (($# < 2)); then
    echo "usage: wine-run.sh [DLL directory...] -- program.exe [arguments...]" >&2
    exit 2
fi
shift

wine=${VORLUNE_WINE:-wine}
if ! command -v "$wine" >/dev/null 2>&1; then
    echo "wine-run: $wine not found (Debian: wine and wine64)" >&2
    exit 2
fi

cache=${VORLUNE_CACHE:-${XDG_CACHE_HOME:-$HOME/.cache}/vorlune}
export WINEPREFIX=${VORLUNE_WINEPREFIX:-$cache/wine64}
export WINEARCH=win64
export WINEDEBUG=${WINEDEBUG:--all}
# No installer dialogs for Wine's .NET and HTML engines, which nothing here uses.
export WINEDLLOVERRIDES=${WINEDLLOVERRIDES:-mscoree,mshtml=}

# Wine maps the Unix root to drive Z:.
winpath=
for d in "${dirs[@]}"; do
    d=$(cd "$d" 2>/dev/null && pwd) || continue
    winpath+="${winpath:+;}Z:${d//\//\\}"
done
export WINEPATH="$winpath${WINEPATH:+;$WINEPATH}"

if [[ ! -f $WINEPREFIX/system.reg ]]; then
    mkdir -p "$(dirname "$WINEPREFIX")"
    (
        flock 9
        if [[ ! -f $WINEPREFIX/system.reg ]]; then
            echo "wine-run: creating the Wine prefix $WINEPREFIX" >&2
            "$wine" wineboot --init >/dev/null 2>&1
            wineserver -w 2>/dev/null || true
        fi
    ) 9>"$WINEPREFIX.lock"
fi

exec "$wine" "$@"
