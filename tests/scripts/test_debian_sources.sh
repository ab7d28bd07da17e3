#!/usr/bin/env bash
# scripts/debian-sources.sh on crafted apt and dpkg configurations (no
# network, no root): Debian's main archive is found in deb822 files with
# comment lines, several entries, sources.list one-liners, disabled files,
# security and third-party entries, both from the files alone and from what
# apt knows of each entry's origin, and the key an entry names; the source
# versions of installed packages come from dpkg's database, and the one
# fetched is the installed one while the archive serves it, else the newest.
set -u

src=${VORLUNE_SOURCE_DIR:-$(cd "$(dirname "${BASH_SOURCE[0]}")/../.." && pwd)}
for tool in apt-get apt-cache apt-config dpkg-query; do
    command -v "$tool" >/dev/null || {
        echo "SKIP: $tool not found (not a Debian machine)"
        exit 77
    }
done
unset VORLUNE_DEBIAN_ARCHIVE
# shellcheck source=../../scripts/debian-sources.sh
. "$src/scripts/debian-sources.sh"

work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
failures=0
check()
{
    local what=$1 want=$2 got=$3
    if [[ $got == "$want" ]]; then
        echo "ok: $what"
    else
        echo "FAIL: $what: wanted '$want', got '$got'"
        failures=$((failures + 1))
    fi
}

# A fresh apt configuration: <dir>/sources.list, <dir>/parts, <dir>/lists.
new_config()
{
    cfg=$work/$1
    mkdir -p "$cfg/parts" "$cfg/lists/partial" "$cfg/cache"
    # shellcheck disable=SC2034 # read by scripts/debian-sources.sh
    DEBIAN_APT_OPTS=(-o Dir::Etc::sourcelist="$cfg/sources.list" -o Dir::Etc::sourceparts="$cfg/parts"
        -o Dir::State::Lists="$cfg/lists" -o Dir::Cache="$cfg/cache")
}
# What `apt-get update` leaves for one entry: its Release file (origin and
# label) and an empty index, so that apt lists the entry with its origin.
fetched()
{
    local site=$1 suite=$2 origin=$3 label=$4 base
    base=$cfg/lists/${site//\//_}_dists_${suite}
    printf 'Origin: %s\nLabel: %s\nCodename: %s\n' "$origin" "$label" "$suite" >"${base}_InRelease"
    : >"${base}_main_binary-amd64_Packages"
}
fresh_machine_sources()
{
    cat >"$cfg/parts/debian.sources" <<'EOF'
Types: deb
# http://snapshot.debian.org/archive/debian/20250520T000000Z
URIs: http://mirror.example/debian
Suites: bookworm bookworm-updates
Components: main
Signed-By: /usr/share/keyrings/debian-archive-keyring.gpg

Types: deb
# http://snapshot.debian.org/archive/debian-security/20250520T000000Z
URIs: http://mirror.example/debian-security
Suites: bookworm-security
Components: main
Signed-By: /usr/share/keyrings/debian-archive-keyring.gpg
EOF
}

# --- the archive ------------------------------------------------------------

# A new machine before apt has fetched anything: comment lines name an
# unreachable snapshot before each URIs line.
new_config fresh
fresh_machine_sources
check "fresh machine, from the files" http://mirror.example/debian "$(debian_archive_uri bookworm)"
check "fresh machine, the archive's key" /usr/share/keyrings/debian-archive-keyring.gpg \
    "$(signed_by_of http://mirror.example/debian/)"

# The same once fetched, the security entry listed first by apt.
new_config fetched
fresh_machine_sources
fetched mirror.example/debian-security bookworm-security Debian Debian-Security
fetched mirror.example/debian bookworm Debian Debian
check "fresh machine, from apt" http://mirror.example/debian "$(debian_archive_uri bookworm)"

# Only the security entry fetched so far: the archive still comes from the
# files, never the security updates'.
new_config security
fresh_machine_sources
fetched mirror.example/debian-security bookworm-security Debian Debian-Security
check "only security fetched" http://mirror.example/debian "$(debian_archive_uri bookworm)"

# apt's knowledge of origins wins over the look of a URI: a third-party
# repository that looks like Debian's comes first in sources.list.
new_config origins
printf 'deb http://apt.example.org/debian bookworm main\n' >"$cfg/sources.list"
fresh_machine_sources
fetched apt.example.org/debian bookworm Example Example
fetched mirror.example/debian bookworm Debian Debian
check "third party with Debian's look, from apt" http://mirror.example/debian "$(debian_archive_uri bookworm)"

# sources.list one-liners only: comments, options, security, deb-src, a
# third-party key or path, trailing comments and a trailing slash.
new_config oneline
cat >"$cfg/sources.list" <<'EOF'
# deb http://old.example/debian bookworm main
deb http://repo.example.com/apt bookworm main
deb [arch=amd64 signed-by=/usr/share/keyrings/other.gpg] https://third.example/debian bookworm main
deb http://security.example/debian-security bookworm-security main
deb-src http://src.example/debian bookworm main
deb http://ftp.example.org/pub/debian bookworm contrib
deb http://contrib.example/debian bookworm contrib # not main
  deb [ arch=amd64 ] http://ftp.example.org/debian/ bookworm main contrib # the mirror
EOF
check "one-line entries" http://ftp.example.org/debian "$(debian_archive_uri bookworm)"
check "one-line entries, a third party's key" /usr/share/keyrings/other.gpg "$(signed_by_of https://third.example/debian)"
check "one-line entries, no key named" "" "$(signed_by_of http://ftp.example.org/debian)"

# deb822 files only, several entries: a third-party repository, a disabled
# entry, a deb-src one, another release, an inline third-party key, then
# the archive with two URIs.
new_config deb822
cat >"$cfg/parts/nodesource.sources" <<'EOF'
Types: deb
URIs: https://deb.example.com/node_20.x
Suites: nodistro
Components: main
Signed-By: /usr/share/keyrings/nodesource.gpg
EOF
cat >"$cfg/parts/debian.sources" <<'EOF'
# The machine's archive.
Types: deb
URIs: http://off.example/debian
Suites: bookworm
Components: main
Enabled: no

Types: deb-src
URIs: http://src.example/debian
Suites: bookworm
Components: main

Types: deb
URIs: http://old.example/debian
Suites: bullseye
Components: main

types: deb
uris: http://inline.example/debian
suites: bookworm
components: main
signed-by:
 -----BEGIN PGP PUBLIC KEY BLOCK-----
 .
 mQINBF...
 -----END PGP PUBLIC KEY BLOCK-----

Types: deb deb-src
URIs: http://one.example/debian/ http://two.example/debian
# URIs: http://commented.example/debian
Suites: bookworm bookworm-updates
Components: main non-free-firmware
EOF
check "several deb822 entries" http://one.example/debian "$(debian_archive_uri bookworm)"
check "several deb822 entries, another release" http://old.example/debian "$(debian_archive_uri bullseye)"

# Only disabled files: Debian's standard archive.
new_config disabled
fresh_machine_sources
mv "$cfg/parts/debian.sources" "$cfg/parts/debian.sources.disabled-by-farm"
printf 'deb https://packages.example.com/apt cloud-sdk-bookworm main\n' >"$cfg/parts/cloud.list.disabled-by-farm"
printf 'deb http://disabled.example/debian bookworm main\n' >"$cfg/parts/debian.list.disabled-by-farm"
check "only disabled files" http://deb.debian.org/debian "$(debian_archive_uri bookworm)"

check "VORLUNE_DEBIAN_ARCHIVE overrides" http://given.example/debian \
    "$(VORLUNE_DEBIAN_ARCHIVE=http://given.example/debian/ debian_archive_uri bookworm)"

# --- the versions -----------------------------------------------------------

# dpkg's database: libfreetype-dev removed (its configuration kept),
# libfreetype6 a binary rebuild of freetype; libsdl2-dev of the same name
# as its source is not.
admin=$work/dpkg
mkdir -p "$admin/info" "$admin/updates"
: >"$admin/available"
cat >"$admin/status" <<'EOF'
Package: libfreetype-dev
Status: deinstall ok config-files
Architecture: amd64
Maintainer: X <x@example.org>
Source: freetype
Version: 2.12.1+dfsg-5+deb12u4
Description: x

Package: libfreetype6
Status: install ok installed
Architecture: amd64
Maintainer: X <x@example.org>
Source: freetype (2.12.1+dfsg-5+deb12u3)
Version: 2.12.1+dfsg-5+deb12u3+b1
Description: x

Package: libsdl2-dev
Status: install ok installed
Architecture: amd64
Maintainer: X <x@example.org>
Source: libsdl2
Version: 2.26.5+dfsg-1
Description: x
EOF
check "installed source, second package" "freetype 2.12.1+dfsg-5+deb12u3" \
    "$(DPKG_ADMINDIR=$admin installed_source libfreetype-dev libfreetype6)"
check "installed source, first package" "libsdl2 2.26.5+dfsg-1" \
    "$(DPKG_ADMINDIR=$admin installed_source libsdl2-dev libfreetype6)"
check "installed source, none installed" "failed" \
    "$(DPKG_ADMINDIR=$admin installed_source libfreetype-dev nosuch-package || echo failed)"

# The archive serves two revisions of libsdl2 (the newer second, and older
# by plain string order) and nothing of freetype.
new_config served
fresh_machine_sources
printf 'Types: deb-src\nURIs: http://mirror.example/debian\nSuites: bookworm\nComponents: main\nSigned-By: /usr/share/keyrings/debian-archive-keyring.gpg\n' \
    >"$cfg/parts/deb-src.sources"
for v in 2.26.5+dfsg-9 2.26.5+dfsg-10; do
    printf 'Package: libsdl2\nBinary: libsdl2-dev\nVersion: %s\nMaintainer: X <x@example.org>\nArchitecture: any\nFormat: 3.0 (quilt)\nDirectory: pool/main/libs/libsdl2\nFiles:\n 0123456789abcdef0123456789abcdef 10 libsdl2_%s.dsc\n\n' "$v" "$v"
done >"$cfg/lists/mirror.example_debian_dists_bookworm_main_source_Sources"
check "served: the installed revision" 2.26.5+dfsg-9 "$(served_source_version libsdl2 2.26.5+dfsg-9)"
check "served: gone, so the newest" 2.26.5+dfsg-10 "$(served_source_version libsdl2 2.26.5+dfsg-1)"
check "served: nothing" failed "$(served_source_version freetype 2.12.1+dfsg-5 || echo failed)"

total=$(grep -c '^check "' "${BASH_SOURCE[0]}")
echo "$((total - failures)) passed, $failures failed"
((failures == 0))
