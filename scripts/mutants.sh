#!/usr/bin/env bash
# Mutation check: applies, one at a time, the small deliberate faults listed in
# tests/mutants/mutants.txt, rebuilds, runs the tests that cover the mutant's folder, and prints
# whether the tests caught (killed) it. A fault that no test notices is a test the suite lacks.
#
# Usage: scripts/mutants.sh [NAME-REGEX]     (only the mutants whose name matches)
#
# Each mutant in the list is a block:
#   name: days-four-hours-inclusive
#   file: src/days/day_occupancy.cpp
#   from: if (hours <= 4.0)
#   to:   if (hours < 4.0)
#   tests: days_|board_
# `from` must occur exactly once in the file (the text is matched as it stands, blanks included;
# \n in from/to stands for a line break). `tests` is a ctest -R regular expression. A mutant whose
# `from` is no longer in the file is reported as "gone" (the code moved on: update the list).
# Builds go to build-mutants/ (or the folder ROTAVIEW_MUTANTS_BUILD names, such as an existing
# build/); the source tree is put back after every mutant, also on Ctrl-C.
set -euo pipefail
cd "$(dirname "$0")/.."
root=$PWD
list=tests/mutants/mutants.txt
only=${1:-}
build=${ROTAVIEW_MUTANTS_BUILD:-$root/build-mutants}
case $build in /*) ;; *) build=$root/$build ;; esac

cmake -S . -B "$build" -DCMAKE_BUILD_TYPE=RelWithDebInfo >/dev/null
cmake --build "$build" -j2 >/dev/null
# A test that fails without any mutant would count every mutant of its folder as killed.
if ! (cd "$build" && QT_QPA_PLATFORM=offscreen ctest -j2 >/dev/null 2>&1); then
    echo "The tests fail on the unchanged sources; mend them first:" >&2
    (cd "$build" && ctest --rerun-failed 2>&1 | grep -E 'Failed|Timeout' >&2) || true
    exit 1
fi

backup=""
target=""
restore() {
    if [ -n "$backup" ] && [ -f "$backup" ]; then
        # A fresh time, not the original's: the build must see the file changed back, or the
        # object compiled from the mutant stays in every later build.
        cp "$backup" "$target"
        rm -f "$backup"
        backup=""
    fi
}
trap restore EXIT INT TERM

# Replaces the one occurrence of FROM by TO in FILE; exit status 3 when FROM is not there once.
apply() {
    python3 - "$1" "$2" "$3" <<'EOF'
import sys
path, old, new = sys.argv[1], sys.argv[2].replace('\\n', '\n'), sys.argv[3].replace('\\n', '\n')
text = open(path, encoding='utf-8').read()
if text.count(old) != 1:
    sys.exit(3)
open(path, 'w', encoding='utf-8').write(text.replace(old, new))
EOF
}

# The build targets of the tests a regular expression selects, as --target options; nothing (the
# whole build) when one of them runs something other than a program of the build.
targets_of() {
    (cd "$build" && ctest --show-only=json-v1 -R "$1") | python3 -c '
import json, os, sys
build = sys.argv[1]
commands = [t["command"] for t in json.load(sys.stdin)["tests"] if t.get("command")]
if all(c[0].startswith(build + "/") for c in commands):
    print(" ".join("--target " + os.path.basename(c[0]) for c in commands))
' "$build"
}

killed=0 survived=0 gone=0 broken=0 total=0
survivors=()
run_mutant() {
    local name=$1 file=$2 from=$3 to=$4 tests=$5
    [ -n "$only" ] && ! [[ $name =~ $only ]] && return 0
    total=$((total + 1))
    target=$file
    backup=$(mktemp)
    cp -p "$file" "$backup"
    local status
    if ! apply "$file" "$from" "$to"; then
        status=gone
        gone=$((gone + 1))
    elif ! cmake --build "$build" -j2 $(targets_of "$tests") >/dev/null 2>&1; then
        # A fault the compiler refuses is no test's merit: the list needs a better mutant.
        status=broken
        broken=$((broken + 1))
    elif (cd "$build" && QT_QPA_PLATFORM=offscreen ctest -j2 -R "$tests" >/dev/null 2>&1); then
        status=SURVIVED
        survived=$((survived + 1))
        survivors+=("$name")
    else
        status=killed
        killed=$((killed + 1))
    fi
    restore
    printf '%-9s %-44s %s\n' "$status" "$name" "$file"
}

# The text after "key:", without the blanks that align it.
field() {
    local value=${1#*:}
    printf '%s' "${value#"${value%%[![:space:]]*}"}"
}

name="" file="" from="" to="" tests=""
flush() {
    if [ -n "$name" ]; then
        run_mutant "$name" "$file" "$from" "$to" "$tests"
    fi
    name="" file="" from="" to="" tests=""
}
while IFS= read -r line || [ -n "$line" ]; do
    case $line in
    '#'* | '') continue ;;
    name:*) flush; name=$(field "$line") ;;
    file:*) file=$(field "$line") ;;
    from:*) from=$(field "$line") ;;
    to:*) to=$(field "$line") ;;
    tests:*) tests=$(field "$line") ;;
    esac
done <"$list"
flush

# Leave the build folder matching the untouched sources.
cmake --build "$build" -j2 >/dev/null 2>&1 || true
echo
echo "mutants: $total  killed: $killed  survived: $survived  gone: $gone  not compiling: $broken"
if [ ${#survivors[@]} -gt 0 ]; then
    echo "survivors: ${survivors[*]}"
fi
