#!/usr/bin/env bash
# System-call trace of real score writes: the score writer makes Scores.txt
# and replaces it twice under `strace -f -y`. For every rename* call the
# trace must show, before it, the renamed file's data synced (fsync or
# fdatasync, after the last write to it) and, after it, a sync of the folder
# the file was renamed into; every sync must succeed.
#
# Usage: trace_score_write.sh SCORE_WRITER
set -u -o pipefail

writer=${1:?usage: trace_score_write.sh SCORE_WRITER}
fail()
{
    printf 'trace_score_write: FAIL: %s\n' "$*" >&2
    exit 1
}
command -v strace >/dev/null 2>&1 ||
    fail "strace is missing (Debian package strace; bash scripts/setup.sh test installs it)"
[[ -x $writer ]] || fail "no score writer at $writer (build vorlune_score_writer first)"

work=$(mktemp -d "${TMPDIR:-/tmp}/vorlune-trace.XXXXXX") || fail "mktemp failed"
trap 'rm -rf -- "$work"' EXIT
work=$(cd "$work" && pwd -P)
mkdir "$work/scores" || fail "cannot create $work/scores"

writes=3
# LeakSanitizer cannot work under ptrace: a writer built with
# AddressSanitizer (scripts/sanitize.sh runs this check too) skips it here.
export ASAN_OPTIONS=${ASAN_OPTIONS:+$ASAN_OPTIONS:}detect_leaks=0
strace -f -y -qq -o "$work/trace" \
    -e trace=write,pwrite64,writev,pwritev,pwritev2,fsync,fdatasync,rename,renameat,renameat2 \
    "$writer" "$work/scores" "$writes" >/dev/null ||
    fail "the score writer failed under strace (status $?)"
[[ -s $work/scores/Scores.txt ]] || fail "no Scores.txt written"

# The writer works in its folder, so relative names are relative to it.
awk -v cwd="$work/scores" -v wanted="$writes" '
function norm(path) {
    if (substr(path, 1, 1) != "/") path = cwd "/" path
    while (sub(/\/\.\//, "/", path)) {}
    return path
}
function dirname(path) { sub(/\/[^\/]*$/, "", path); return path }
# The path strace -y shows after the first file descriptor of the call.
function fdpath(line,    start, rest) {
    start = index(line, "<")
    if (start == 0) return ""
    rest = substr(line, start + 1)
    return substr(rest, 1, index(rest, ">") - 1)
}
function result(line) { n = split(line, parts, " = "); return parts[n] + 0 }
# Quoted argument number k (1 based) of the call.
function quoted(line, k,    i, rest, q) {
    rest = line
    for (i = 1; i <= k; i++) {
        q = index(rest, "\"")
        if (q == 0) return ""
        rest = substr(rest, q + 1)
        q = index(rest, "\"")
        if (i == k) return substr(rest, 1, q - 1)
        rest = substr(rest, q + 1)
    }
}
{
    # A call cut in two by a call of another thread is joined again.
    pid = ""
    if (match($0, /^[0-9]+ +/)) { pid = substr($0, 1, RLENGTH); sub(/ +$/, "", pid); $0 = substr($0, RLENGTH + 1) }
    if (index($0, " <unfinished ...>")) { sub(/ <unfinished \.\.\.>$/, ""); cut[pid] = $0; next }
    if (match($0, /^<\.\.\. [a-z0-9_]+ resumed>/)) { $0 = cut[pid] substr($0, RLENGTH + 1); delete cut[pid] }
    call = substr($0, 1, index($0, "(") - 1)
    lines[NR] = $0
}
call ~ /^p?writev?(64|2)?$/ { lastwrite[fdpath($0)] = NR; next }
call == "fsync" || call == "fdatasync" {
    path = fdpath($0)
    if (result($0) != 0) { printf "line %d: the sync failed: %s\n", NR, $0; bad = 1 }
    synced[path] = NR
    if (path in folderwanted) delete folderwanted[path]
    next
}
call ~ /^rename/ {
    renames++
    from = quoted($0, 1); to = quoted($0, 2)
    if (call != "rename") {
        # renameat(olddirfd<dir>, "from", newdirfd<dir>, "to"[, flags])
        split($0, dirs, "<")
        if (substr(from, 1, 1) != "/") from = substr(dirs[2], 1, index(dirs[2], ">") - 1) "/" from
        if (substr(to, 1, 1) != "/") to = substr(dirs[3], 1, index(dirs[3], ">") - 1) "/" to
    }
    from = norm(from); to = norm(to)
    if (result($0) != 0) { printf "line %d: the rename failed: %s\n", NR, $0; bad = 1 }
    if (!(from in lastwrite)) { printf "line %d: %s renamed, never written\n", NR, from; bad = 1 }
    else if (!(from in synced) || synced[from] < lastwrite[from]) {
        printf "line %d: %s renamed without its data synced after the last write\n", NR, from; bad = 1
    }
    for (f in folderwanted) {
        printf "line %d: another rename before the folder %s was synced\n", NR, f; bad = 1
    }
    folderwanted[dirname(to)] = NR
    printf "rename %d: %s -> %s; data synced at line %d, last written at line %d\n",
        renames, from, to, synced[from], lastwrite[from]
}
END {
    for (f in folderwanted) { printf "the folder %s was not synced after the rename at line %d\n", f, folderwanted[f]; bad = 1 }
    if (renames != wanted) { printf "%d rename calls for %d writes\n", renames, wanted; bad = 1 }
    if (bad) {
        print "--- trace ---"
        for (i = 1; i <= NR; i++) print lines[i]
        exit 1
    }
    printf "%d renames: each one after its data were synced, each folder synced after it\n", renames
}' "$work/trace" || fail "the trace does not show the syncs around every rename"
echo "trace_score_write: PASS"
