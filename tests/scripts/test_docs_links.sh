#!/usr/bin/env bash
# README.md and docs/*.md point only at what is there:
# - every relative link and picture names a file or folder of the source
#   tree (inside it), and a "#section" names a heading of the page linked;
# - every `scripts/NAME` they mention exists, and each `setup.sh WORD` is a
#   command setup.sh takes;
# - the README gives the test command that .ci/run runs and the command
#   that builds the Windows zip, and stays short (150 lines at most).
# Plain shell, sed and awk: no git (the source release has none).
set -u

src=${VORLUNE_SOURCE_DIR:-$(cd "$(dirname "${BASH_SOURCE[0]}")/../.." && pwd)}
src=$(cd "$src" && pwd -P)
failures=0
checks=0
fail()
{
    echo "FAIL: $*"
    failures=$((failures + 1))
}

# The page's text without fenced code blocks and inline code spans, so
# that examples are not taken for links. Link texts keep their brackets.
prose()
{
    # shellcheck disable=SC2016 # the backquotes are Markdown's, not the shell's
    awk '/^ *```/ { fence = !fence; next } !fence' "$1" | sed 's/`[^`]*`//g'
}

# GitHub's anchors of the page's headings, one a line: lower case, spaces
# to hyphens, everything but letters, digits, hyphens and underscores gone.
anchors()
{
    awk '/^ *```/ { fence = !fence; next } !fence && /^#+ / { sub(/^#+ +/, ""); print }' "$1" |
        tr '[:upper:]' '[:lower:]' | sed 's/[^a-z0-9 _-]//g; s/ /-/g'
}

pages=("$src/README.md")
for page in "$src"/docs/*.md; do
    [[ -e $page ]] && pages+=("$page")
done
[[ -f $src/README.md ]] || fail "no README.md in $src"

for page in "${pages[@]}"; do
    name=${page#"$src"/}
    dir=$(dirname "$page")
    # Targets of [text](target), ![alt](target), [ref]: target and src="...".
    text=$(prose "$page")
    mapfile -t targets < <(
        grep -o '](\([^()]\|([^()]*)\)*)' <<<"$text" | sed 's/^](//; s/)$//; s/ \{1,\}".*"$//'
        sed -n 's/^ *\[[^]]*\]: *\([^ ]*\).*/\1/p' <<<"$text"
        grep -o 'src="[^"]*"' <<<"$text" | sed 's/^src="//; s/"$//'
    )
    for target in "${targets[@]}"; do
        target=${target#<}
        target=${target%>}
        case $target in
        '' | http://* | https://* | mailto:*) continue ;;
        esac
        checks=$((checks + 1))
        path=${target%%#*}
        anchor=
        [[ $target == *#* ]] && anchor=${target#*#}
        if [[ -z $path ]]; then
            file=$page
        else
            [[ $path != /* ]] || {
                fail "$name: $target is an absolute path"
                continue
            }
            file=$(realpath -m -- "$dir/$path")
            case $file in
            "$src" | "$src"/*) ;;
            *)
                fail "$name: $target leads out of the source tree"
                continue
                ;;
            esac
            [[ -e $file ]] || {
                fail "$name: $target names no file (${file#"$src"/})"
                continue
            }
        fi
        if [[ -n $anchor ]]; then
            if [[ $file != *.md ]]; then
                fail "$name: $target has a section, but ${file#"$src"/} is no Markdown page"
            elif ! anchors "$file" | grep -qxF -- "$anchor"; then
                fail "$name: $target names no heading of ${file#"$src"/}"
            fi
        fi
    done

    # Scripts the page names, and the commands of setup.sh it gives.
    mapfile -t scripts < <(grep -o 'scripts/[A-Za-z0-9_.-]*\.sh' "$page" | sort -u)
    for script in "${scripts[@]}"; do
        checks=$((checks + 1))
        # tests/scripts/... is a test, found from the source tree's root.
        [[ -f $src/$script || -f $src/tests/$script ]] || fail "$name: $script does not exist"
    done
    mapfile -t words < <(grep -o 'scripts/setup\.sh [a-z]\+' "$page" | sed 's/.* //' | sort -u)
    for word in "${words[@]}"; do
        checks=$((checks + 1))
        grep -qE "^ *$word\) " "$src/scripts/setup.sh" || fail "$name: setup.sh has no command '$word'"
    done
done

# The README's own promises: the test command CI runs, the Windows build.
readme=$src/README.md
ci_command=$(grep -o 'scripts/setup\.sh"\{0,1\} \{1,\}[a-z]\{1,\}' "$src/.ci/run" | sed 's/"//; s/  */ /')
[[ -n $ci_command ]] || fail ".ci/run runs no scripts/setup.sh command"
for command in "bash ${ci_command:-scripts/setup.sh test}" "bash scripts/setup.sh windows" "bash scripts/setup.sh play"; do
    checks=$((checks + 1))
    grep -qF -- "$command" "$readme" || fail "README.md does not give \"$command\""
done
lines=$(wc -l <"$readme")
checks=$((checks + 1))
((lines <= 150)) || fail "README.md has $lines lines, more than 150: move details to docs/"

echo "$((checks - failures)) passed, $failures failed"
((failures == 0))
