#!/bin/sh
# Starts vorlune installed system-wide (/usr/games/vorlune).
#
# The game reads its media, lists and font from its working directory and
# writes Settings.txt and Scores.txt there. The installed data
# (/usr/share/games/vorlune) is read-only, so each player plays in a folder
# of their own: ${XDG_DATA_HOME:-$HOME/.local/share}/vorlune. On every start
# the shared files are linked into it: links that are missing, or that point
# where nothing is any more (an older release's layout), are made anew, so
# an upgrade's new media arrive by themselves while the player's own files,
# settings and scores included, stay as they are.
set -eu

self=$(readlink -f "$0")
prefix=$(cd "$(dirname "$self")/.." && pwd)
data_dir=$prefix/share/games/vorlune
program=$prefix/lib/games/vorlune/vorlune
if [ ! -d "$data_dir" ] || [ ! -x "$program" ]; then
    echo "vorlune: the game's files in $prefix are incomplete; reinstall the package" >&2
    exit 1
fi

if [ -n "${XDG_DATA_HOME:-}" ]; then
    play_dir=$XDG_DATA_HOME/vorlune
elif [ -n "${HOME:-}" ]; then
    play_dir=$HOME/.local/share/vorlune
else
    echo "vorlune: neither HOME nor XDG_DATA_HOME is set; cannot choose a folder for settings and scores" >&2
    exit 1
fi
mkdir -p "$play_dir" || {
    echo "vorlune: cannot create $play_dir" >&2
    exit 1
}

for path in "$data_dir"/*; do
    name=${path##*/}
    case $name in
    Settings.txt | Scores.txt) continue ;;
    esac
    link=$play_dir/$name
    if [ -L "$link" ] && [ ! -e "$link" ]; then
        rm -f "$link"
    fi
    if [ ! -e "$link" ] && [ ! -L "$link" ]; then
        ln -s "$path" "$link"
    fi
done

cd "$play_dir"
exec "$program" "$@"
