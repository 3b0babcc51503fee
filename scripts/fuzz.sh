#!/usr/bin/env bash
# Fuzzes one reader of outside data with libFuzzer (clang 14) for a while.
# Usage: scripts/fuzz.sh TARGET SECONDS [libFuzzer options...]
# Targets (fuzz/CMakeLists.txt): group_index member_file restriction ical_day_query address_book
# readers_list dav_multistatus caldav_calendar.
# The checked-in seeds fuzz/corpus/TARGET are read and never written; inputs that reach new code
# go to build-fuzz/corpus/TARGET, a crashing input to build-fuzz/crashes/TARGET/. Copy a crashing
# input into fuzz/corpus/TARGET once it is fixed: the test suite replays it from then on.
set -euo pipefail
cd "$(dirname "$0")/.."
if [ $# -lt 2 ]; then
  sed -n '3,8p' "$0" | sed 's/^# \{0,1\}//'
  exit 2
fi
target=$1
seconds=$2
shift 2
scripts/install-deps.sh test
CC=clang-14 CXX=clang++-14 cmake -S . -B build-fuzz -DCMAKE_BUILD_TYPE=RelWithDebInfo \
  -DROTAVIEW_FUZZ=ON -DBUILD_TESTING=OFF >/dev/null
cmake --build build-fuzz -j2 --target "fuzz_$target"
# Absolute paths: the group file targets work in a folder of their own.
mkdir -p "build-fuzz/corpus/$target" "build-fuzz/crashes/$target"
# Unless told otherwise: an input running 10 s counts as a crash (a freeze), and calendars may
# grow long enough to nest components thousands deep (libFuzzer's own guess stops at 4 KB).
defaults=(-timeout=10)
case "$target" in
  ical_day_query | caldav_calendar) defaults+=(-max_len=65536) ;;
esac
for option in "$@"; do
  case "$option" in
    -timeout=*) defaults=("${defaults[@]/-timeout=*/}") ;;
    -max_len=*) defaults=("${defaults[@]/-max_len=*/}") ;;
  esac
done
exec "$PWD/build-fuzz/bin/fuzz_$target" -max_total_time="$seconds" \
  -artifact_prefix="$PWD/build-fuzz/crashes/$target/" ${defaults[@]} "$@" \
  "$PWD/build-fuzz/corpus/$target" "$PWD/fuzz/corpus/$target"
