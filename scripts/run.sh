#!/usr/bin/env bash
# Installs what Rotaview needs, builds it and starts it in a workspace folder (its working
# directory, which holds the group files and calendar-service.ini): the folder named by
# ROTAVIEW_WORKSPACE, or else the demo workspace ./demo, made on first use: 12 people in two
# groups with calendars around today. An existing workspace is never written to; delete ./demo
# to get a fresh one.
set -euo pipefail
cd "$(dirname "$0")/.."
root=$PWD
scripts/install-deps.sh run
cmake -S . -B build -DCMAKE_BUILD_TYPE=RelWithDebInfo
cmake --build build -j2 --target rotaview rotaview-demo-store
workspace=${ROTAVIEW_WORKSPACE:-$root/demo}
if [ -z "${ROTAVIEW_WORKSPACE:-}" ] && { [ ! -e "$workspace" ] || [ -z "$(ls -A "$workspace")" ]; }; then
  build/bin/rotaview-demo-store --default-group Design "$workspace"
fi
cd "$workspace"
exec "$root/build/bin/rotaview" "$@"
