#!/usr/bin/env bash
# Where this machine gets Debian's packages, and which source packages match
# the libraries installed; sourced by scripts/windows-deps.sh and the tests.
#
#   debian_archive_uri [codename]
#       prints the URI of Debian's main archive as this machine's apt
#       configuration names it: asked of apt first (`apt-get indextargets`,
#       which knows each entry's origin once `apt-get update` has run), else
#       read from the deb822 `.sources` files and the one-line `deb` entries
#       apt reads, else http://deb.debian.org/debian. Security updates,
#       other origins and entries apt ignores (disabled, or in files apt does
#       not read) never count. VORLUNE_DEBIAN_ARCHIVE overrides it all.
#   signed_by_of <uri>
#       prints the key (Signed-By) the first deb entry for the URI names.
#   installed_source <binary package...>
#       prints "<source package> <source version>" of the first of the
#       binary packages that is installed (from dpkg's database; no apt).
#   served_source_version <source package> <wanted version>
#       prints the wanted version when apt can fetch its source, else the
#       newest version apt can fetch; fails when it can fetch none.
#
# DEBIAN_APT_OPTS (an array of apt `-o` options) points all of them at another
# apt configuration, as the tests do; DPKG_ADMINDIR does so for dpkg.
#
# Run as a program, it prints the archive URI.

DEBIAN_DEFAULT_ARCHIVE=http://deb.debian.org/debian
[[ -v DEBIAN_APT_OPTS ]] || DEBIAN_APT_OPTS=()

# The release codename of this machine (bookworm on Debian 12).
debian_codename()
{
    local codename=
    if [[ -r /etc/os-release ]]; then
        codename=$(. /etc/os-release && printf '%s' "${VERSION_CODENAME:-}")
    fi
    printf '%s\n' "${codename:-bookworm}"
}

# Debian's main archive as apt knows it from the Release files it fetched:
# origin Debian and label Debian (security updates are labelled
# Debian-Security), the release itself before its -updates.
_archive_from_apt()
{
    local codename=$1
    command -v apt-get >/dev/null 2>&1 || return 1
    apt-get "${DEBIAN_APT_OPTS[@]}" indextargets \
        --format '$(TARGET_OF) $(ORIGIN) $(LABEL) $(RELEASE) $(REPO_URI)' 2>/dev/null |
        awk -v codename="$codename" '
            $1 == "deb" && $2 == "Debian" && $3 == "Debian" {
                rank = ($4 == codename) ? 0 : ($4 == codename "-updates") ? 1 : 2
                if (!(rank in best)) best[rank] = $5
            }
            END { for (r = 0; r <= 2; r++) if (r in best) { print best[r]; exit } }'
}

# The files apt reads: the sources.list file and the *.list and *.sources
# files of its parts folder (anything else there, *.disabled for one, apt
# ignores, and so does this).
_apt_source_files()
{
    local list=/etc/apt/sources.list parts=/etc/apt/sources.list.d/ shell
    if command -v apt-config >/dev/null 2>&1 &&
        shell=$(apt-config "${DEBIAN_APT_OPTS[@]}" shell list Dir::Etc::sourcelist/f parts Dir::Etc::sourceparts/d 2>/dev/null); then
        eval "$shell"
    fi
    [[ -f $list ]] && printf '%s\n' "$list"
    local f
    for f in "${parts%/}"/*.list "${parts%/}"/*.sources; do
        [[ -f $f ]] && printf '%s\n' "$f"
    done
    return 0
}

# Runs the entry reader below over every file apt reads, with the given awk
# settings (-v name=value).
_each_source_entry()
{
    local f
    local -a files=()
    mapfile -t files < <(_apt_source_files)
    for f in "${files[@]}"; do
        case $f in
        *.sources) awk "$@" -v format=deb822 "$_DEBIAN_SOURCES_AWK" "$f" ;;
        *) awk "$@" -v format=oneline "$_DEBIAN_SOURCES_AWK" "$f" ;;
        esac
    done
}

# Debian's main archive read from the source files themselves, for a machine
# whose apt has fetched nothing yet. An entry counts when it is enabled, of
# type deb, for the release (or its -updates) with component main, not for
# security updates, and signed by Debian's archive key or by nothing named
# (other keys mean other origins). A URI ending in /debian goes first.
_archive_from_files()
{
    _each_source_entry -v codename="$1" | sort -s -n -k1,1 | awk 'NR == 1 { print $2 }'
}

# The Signed-By value of the first enabled deb entry for a URI (empty when
# it names none): a deb-src entry for the same URI and release must name the
# same key, or apt refuses to read its sources.
signed_by_of()
{
    _each_source_entry -v want="${1%/}" | head -n 1
}

# Prints "<rank> <uri>" for each entry of Debian's main archive in one file,
# or, given want=<uri>, the Signed-By value of each deb entry for that URI.
_DEBIAN_SOURCES_AWK='
function has(list, word,    n, i, a) {
    n = split(list, a, /[ \t]+/)
    for (i = 1; i <= n; i++) if (a[i] == word) return 1
    return 0
}
function emit(types, uris, suites, comps, signedby, enabled,    n, i, a, uri) {
    if (tolower(enabled) == "no" || tolower(enabled) == "false") return
    if (!has(types, "deb")) return
    if (want != "") {               # the key of the entries of one URI
        n = split(uris, a, /[ \t]+/)
        for (i = 1; i <= n; i++) {
            uri = a[i]
            sub(/\/+$/, "", uri)
            if (uri == want) print signedby
        }
        return
    }
    if (!has(suites, codename) && !has(suites, codename "-updates")) return
    if (!has(comps, "main")) return
    if (signedby != "" && signedby !~ /debian-archive-keyring/) return
    n = split(uris, a, /[ \t]+/)
    for (i = 1; i <= n; i++) {
        uri = a[i]
        if (uri == "" || uri ~ /security/) continue
        sub(/\/+$/, "", uri)
        print ((uri ~ /\/debian$/) ? 0 : 1), uri
    }
}
function flush() {
    if (seen) emit(f["types"], f["uris"], f["suites"], f["components"], f["signed-by"], f["enabled"])
    delete f
    seen = 0
    last = ""
}
format == "deb822" {
    sub(/\r$/, "")
    if ($0 ~ /^#/) next
    if ($0 ~ /^[ \t]*$/) { flush(); next }
    if ($0 ~ /^[ \t]/) {            # a continued field (an inline key, say)
        if (last != "") f[last] = f[last] " " $0
        next
    }
    i = index($0, ":")
    if (i == 0) next
    last = tolower(substr($0, 1, i - 1))
    value = substr($0, i + 1)
    gsub(/^[ \t]+|[ \t]+$/, "", value)
    f[last] = value
    seen = 1
    next
}
format == "oneline" {
    line = $0
    sub(/\r$/, "", line)
    sub(/#.*/, "", line)
    signedby = ""
    if (match(line, /\[[^]]*\]/)) {
        opts = substr(line, RSTART + 1, RLENGTH - 2)
        line = substr(line, 1, RSTART - 1) " " substr(line, RSTART + RLENGTH)
        if (match(opts, /signed-by=[^ \t]+/)) signedby = substr(opts, RSTART + 10, RLENGTH - 10)
    }
    n = split(line, w, /[ \t]+/)
    j = 0
    for (i = 1; i <= n; i++) if (w[i] != "") word[++j] = w[i]
    if (j < 4) next
    comps = ""
    for (i = 4; i <= j; i++) comps = comps " " word[i]
    emit(word[1], word[2], word[3], comps, signedby, "yes")
    next
}
END { if (format == "deb822") flush() }
'

debian_archive_uri()
{
    local codename=${1:-$(debian_codename)} uri
    if [[ -n ${VORLUNE_DEBIAN_ARCHIVE:-} ]]; then
        printf '%s\n' "${VORLUNE_DEBIAN_ARCHIVE%/}"
        return 0
    fi
    uri=$(_archive_from_apt "$codename")
    [[ -n $uri ]] || uri=$(_archive_from_files "$codename")
    uri=${uri:-$DEBIAN_DEFAULT_ARCHIVE}
    printf '%s\n' "${uri%/}"
}

installed_source()
{
    local pkg line
    for pkg in "$@"; do
        line=$(dpkg-query -W -f='${db:Status-Status} ${source:Package} ${source:Version}\n' "$pkg" 2>/dev/null) ||
            continue
        if [[ $line == installed\ * ]]; then
            printf '%s\n' "${line#installed }"
            return 0
        fi
    done
    return 1
}

served_source_version()
{
    local src=$1 wanted=$2 v newest=
    local -a served=()
    mapfile -t served < <(apt-cache "${DEBIAN_APT_OPTS[@]}" showsrc --only-source "$src" 2>/dev/null |
        sed -n 's/^Version: //p')
    for v in "${served[@]}"; do
        if [[ $v == "$wanted" ]]; then
            printf '%s\n' "$v"
            return 0
        fi
        if [[ -z $newest ]] || dpkg --compare-versions "$v" gt "$newest"; then
            newest=$v
        fi
    done
    [[ -n $newest ]] || return 1
    printf '%s\n' "$newest"
}

if [[ ${BASH_SOURCE[0]} == "$0" ]]; then
    debian_archive_uri "$@"
fi
