#!/usr/bin/env bash
# Installs what the tests need, builds Rotaview and runs every test, then the same tests again
# built with AddressSanitizer and UndefinedBehaviorSanitizer.
set -euo pipefail
cd "$(dirname "$0")/.."
scripts/install-deps.sh test
cmake -S . -B build -DCMAKE_BUILD_TYPE=RelWithDebInfo
cmake --build build -j2
(cd build && ctest --output-on-failure -j2)
cmake -S . -B build-asan -DCMAKE_BUILD_TYPE=RelWithDebInfo -DROTAVIEW_SANITIZE=ON
cmake --build build-asan -j2
cd build-asan
ASAN_OPTIONS=detect_leaks=1 UBSAN_OPTIONS=halt_on_error=1:print_stacktrace=1 \
  ctest --output-on-failure -j2
