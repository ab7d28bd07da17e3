#!/bin/sh
# Starts vorlune installed system-wide (/usr/games/vorlune).
#
# The game reads its media, lists and font from its working directory and
# writes Settings.txt and Scores.txt there. The installed folder
# (/opt/vorlune) is read-only, so each user plays in a folder of their own:
# ${XDG_DATA_HOME:-$HOME/.local/share}/vorlune. On every start the files of
# the installed folder that the user's folder lacks are linked into it, so
# an upgrade's new media arrive by themselves while the user's settings and
# scores stay.
set -eu

self=$(readlink -f "$0")
game_dir=$(cd "$(dirname "$self")/../../opt/vorlune" 2>/dev/null && pwd) || {
    echo "vorlune: the game folder /opt/vorlune is missing; reinstall the package" >&2
    exit 1
}
if [ ! -x "$game_dir/vorlune" ]; then
    echo "vorlune: $game_dir/vorlune is missing; reinstall the package" >&2
    exit 1
fi

if [ -n "${XDG_DATA_HOME:-}" ]; then
    data_dir=$XDG_DATA_HOME/vorlune
elif [ -n "${HOME:-}" ]; then
    data_dir=$HOME/.local/share/vorlune
else
    echo "vorlune: neither HOME nor XDG_DATA_HOME is set; cannot choose a folder for settings and scores" >&2
    exit 1
fi
mkdir -p "$data_dir" || {
    echo "vorlune: cannot create $data_dir" >&2
    exit 1
}

for path in "$game_dir"/*; do
    name=${path##*/}
    case $name in
    vorlune | Settings.txt | Scores.txt) continue ;;
    esac
    if [ ! -e "$data_dir/$name" ] && [ ! -L "$data_dir/$name" ]; then
        ln -s "$path" "$data_dir/$name"
    fi
done

cd "$data_dir"
exec "$game_dir/vorlune" "$@"
