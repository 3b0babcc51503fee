#!/usr/bin/env bash
# Installs what Rotaview needs, builds it and starts it.
set -euo pipefail
cd "$(dirname "$0")/.."
scripts/install-deps.sh run
cmake -S . -B build -DCMAKE_BUILD_TYPE=RelWithDebInfo
cmake --build build -j2 --target rotaview
exec build/bin/rotaview "$@"
