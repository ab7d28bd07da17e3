#!/usr/bin/env bash
# The test command as a machine that has never built the project meets it.
#
# A fresh Debian 12 root is made from Debian's archive with mmdebstrap (only
# the essential packages and apt), its apt sources set up as on a new machine
# (one deb822 file, a comment line naming a snapshot URL before each entry)
# and its package lists fetched. A clean clone of the current commit is put
# into it, and `bash scripts/setup.sh test` runs there as root through
# chroot, with /proc, /sys, /dev, /dev/pts, a new /dev/shm and a new /tmp
# mounted in a mount namespace of its own (so that the mounts go with it
# whatever way it ends). HOME is the root's own, empty: no library cache, no
# Wine prefix, no build folder of the host is used.
#
# Usage (as root): scripts/fresh-check.sh [options]
#   --stages "windows ..."  run only these test stages (VORLUNE_TEST_STAGES);
#                           packages and build always come first
#   --warm                  then run again from a new clone in the same root,
#                           which by then has the packages, the library cache
#                           and the Wine prefix: the warm times
#   --keep                  keep the root afterwards (default: removed)
#   --dir DIR               where the root, the logs and the summary go
#                           (default: /var/tmp/vorlune-fresh-<date>-<time>)
#
# Each stage's time and the total are printed at the end and kept in
# DIR/summary.txt beside the logs (DIR/make-root.log, DIR/cold.log,
# DIR/warm.log). The exit status is non-zero when a run failed, or when its
# log shows a command that was not found (a package setup.sh does not
# install, even where the script went on without it).
#
# Needs: mmdebstrap (installed when missing), git, unshare and chroot.
set -uo pipefail

ROOT=$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)
self=$ROOT/scripts/fresh-check.sh

log() { printf '==> fresh-check: %s\n' "$*"; }
die()
{
    printf 'fresh-check: %s\n' "$*" >&2
    exit 1
}

# ---------------------------------------------------------------------------
# Inside the mount namespace: mount, run, clean up.
#   fresh-check.sh --inside <root> <clone in the root> <stages>
# ---------------------------------------------------------------------------

# Ends the processes (by id) whose root is the fresh root: daemons a run
# leaves behind (Wine's server, say) would hold its mounts.
end_processes_in()
{
    local root=$1 round p pids
    for round in TERM KILL; do
        pids=()
        for p in /proc/[0-9]*; do
            [[ $(readlink "$p/root" 2>/dev/null) == "$root" ]] && pids+=("${p#/proc/}")
        done
        ((${#pids[@]})) || return 0
        kill -s "$round" "${pids[@]}" 2>/dev/null
        sleep 2
    done
}

mounted=()
unmount_all()
{
    local m
    end_processes_in "$root"
    for ((m = ${#mounted[@]} - 1; m >= 0; m--)); do
        umount "${mounted[m]}" 2>/dev/null || umount -l "${mounted[m]}"
    done
    mounted=()
}
mnt()
{
    mount "$@" || die "could not mount ${*: -1}"
    mounted+=("${*: -1}")
}
inside()
{
    root=$1
    local clone=$2 stages=$3 status=0
    trap unmount_all EXIT
    trap 'exit 130' INT TERM HUP
    mnt -t proc proc "$root/proc"
    mnt -t sysfs -o ro sysfs "$root/sys"
    mnt --bind /dev "$root/dev"
    mnt --bind /dev/pts "$root/dev/pts"
    mnt -t tmpfs -o mode=1777,nosuid,nodev shm "$root/dev/shm"
    mnt -t tmpfs -o mode=1777 tmp "$root/tmp"

    # shellcheck disable=SC2016 # $1 is the inner shell's
    chroot "$root" /usr/bin/env -i HOME=/root USER=root LOGNAME=root SHELL=/bin/bash \
        PATH=/usr/local/sbin:/usr/local/bin:/usr/sbin:/usr/bin:/sbin:/bin \
        LANG=C.UTF-8 TERM=dumb CI=true VORLUNE_TEST_STAGES="$stages" \
        /bin/bash -c 'cd "$1" && exec bash scripts/setup.sh test' fresh-check "$clone" \
        </dev/null || status=$?
    return "$status"
}

if [[ ${1:-} == --inside ]]; then
    shift
    inside "$@"
    exit
fi

# ---------------------------------------------------------------------------
# Outside: the root, the clone, the runs, the summary.
# ---------------------------------------------------------------------------

stages=
warm=
keep=
dir=/var/tmp/vorlune-fresh-$(date +%Y%m%d-%H%M%S)
while (($#)); do
    case $1 in
    --stages)
        stages=${2:-}
        shift
        ;;
    --warm) warm=1 ;;
    --keep) keep=1 ;;
    --dir)
        dir=${2:-}
        shift
        ;;
    -h | --help)
        sed -n '2,/^set -uo/p' "$self" | sed '$d; s/^# \{0,1\}//'
        exit 0
        ;;
    *) die "unknown option $1 (see --help)" ;;
    esac
    shift
done

((EUID == 0)) || die "needs root (it makes a Debian root, mounts and chroots); run: sudo bash scripts/fresh-check.sh"
for tool in git unshare chroot mount; do
    command -v "$tool" >/dev/null || die "$tool not found; as root run: apt-get install ${tool/unshare/util-linux}"
done
if ! command -v mmdebstrap >/dev/null; then
    log "needs the Debian package mmdebstrap; installing it"
    DEBIAN_FRONTEND=noninteractive apt-get install -y mmdebstrap ||
        die "could not install mmdebstrap; run: apt-get update && apt-get install -y mmdebstrap"
fi

commit=$(git -C "$ROOT" rev-parse HEAD) || die "$ROOT is no git checkout"
if [[ -n $(git -C "$ROOT" status --porcelain) ]]; then
    log "uncommitted changes in $ROOT are not part of the check (commit $commit is)"
fi
. "$ROOT/scripts/debian-sources.sh"
archive=$(debian_archive_uri bookworm)

[[ ! -e $dir ]] || die "$dir exists already"
mkdir -p "$dir" || die "could not make $dir"
dir=$(cd "$dir" && pwd)
root=$dir/root
summary=$dir/summary.txt

finish()
{
    end_processes_in "$root"
    if [[ -d $root && -z $keep ]]; then
        if grep -q " ${root}[/ ]" /proc/self/mountinfo; then
            log "something is still mounted in $root: left in place"
        else
            rm -rf --one-file-system "$root"
        fi
    fi
}
trap finish EXIT
trap 'exit 130' INT TERM HUP

say() { printf '%s\n' "$*" | tee -a "$summary"; }
loadavg() { cut -d' ' -f1-3 /proc/loadavg; }

say "fresh check of commit $commit (stages: ${stages:-all}), archive $archive"
say "started $(date -u '+%Y-%m-%d %H:%M UTC'), load average $(loadavg), $(nproc) processors"

# --- the fresh root ------------------------------------------------------------
t=$SECONDS
log "making a fresh Debian 12 root in $root (log: $dir/make-root.log)"
mmdebstrap --variant=apt --mode=root --format=directory bookworm "$root" "$archive" \
    >"$dir/make-root.log" 2>&1 || {
    tail -n 20 "$dir/make-root.log" >&2
    die "mmdebstrap could not make the root (log: $dir/make-root.log)"
}
# The apt sources of a new machine: deb822, a snapshot URL in a comment.
snapshot=$(date -u +%Y%m%dT000000Z)
security=${archive%/debian}/debian-security
[[ $security != "$archive/debian-security" ]] || security=http://deb.debian.org/debian-security
rm -f "$root/etc/apt/sources.list"
cat >"$root/etc/apt/sources.list.d/debian.sources" <<EOF
Types: deb
# http://snapshot.debian.org/archive/debian/$snapshot
URIs: $archive
Suites: bookworm bookworm-updates
Components: main
Signed-By: /usr/share/keyrings/debian-archive-keyring.gpg

Types: deb
# http://snapshot.debian.org/archive/debian-security/$snapshot
URIs: $security
Suites: bookworm-security
Components: main
Signed-By: /usr/share/keyrings/debian-archive-keyring.gpg
EOF
cp /etc/resolv.conf "$root/etc/resolv.conf" 2>/dev/null || true
chroot "$root" apt-get update -q >>"$dir/make-root.log" 2>&1 ||
    die "apt-get update failed in the fresh root (log: $dir/make-root.log)"
say "fresh root: $((SECONDS - t)) s"

# --- the runs ------------------------------------------------------------------
overall=0
# run <label>: a clean clone of the commit, then the test command.
run()
{
    local label=$1 clone=/root/vorlune-$1 t status times
    git clone -q --no-hardlinks "$ROOT" "$root$clone" &&
        git -C "$root$clone" checkout -q --detach "$commit" ||
        die "could not clone $ROOT into $root$clone"
    log "$label run: bash scripts/setup.sh test in $clone (log: $dir/$label.log)"
    say "$label run: started with load average $(loadavg)"
    t=$SECONDS
    status=0
    unshare --mount --propagation private -- bash "$self" --inside "$root" "$clone" "$stages" 2>&1 |
        tee "$dir/$label.log" || status=$?
    times=$(sed -n -E 's/^==> (Test stage|Stage) ([a-z_-]+) took ([0-9]+) s$/\2 \3 s/p' "$dir/$label.log" |
        paste -sd, | sed 's/,/, /g')
    say "$label run: ${times:-no stage finished}; total $((SECONDS - t)) s; status $status; load average at the end $(loadavg)"
    # A command a script calls but no package installed, even where the
    # script went on without it, fails the check.
    local missing
    missing=$(grep -E '(: command not found|^[^ ]+: [0-9]+: [^ ]+: not found)$' "$dir/$label.log" | sort -u)
    if [[ -n $missing ]]; then
        say "$label run: commands not found (a package missing from scripts/setup.sh?):"
        printf '%s\n' "$missing" | sed 's/^/    /' | tee -a "$summary"
        ((status != 0)) || status=1
    fi
    # The parts of the stages that time themselves.
    grep -E '(took|built in) [0-9]+ s$' "$dir/$label.log" | grep -v -E '^==> (Test stage|Stage) ' |
        sed 's/^/    /' | tee -a "$summary"
    ((status == 0)) || overall=$status
}
run cold
[[ -z $warm ]] || run warm

say "finished $(date -u '+%Y-%m-%d %H:%M UTC')"
log "summary in $summary"
exit "$overall"
