#!/usr/bin/env bash
# Installs the Debian packages Rotaview needs to build, run and test. Run as root.
# Usage: scripts/install-deps.sh [run|test]
set -euo pipefail
mode=${1:-test}
packages=(build-essential cmake pkg-config qt6-base-dev libical-dev libcurl4-openssl-dev)
if [ "$mode" = test ]; then
  packages+=(radicale apache2-utils python3-odf unzip clang-14 libclang-rt-14-dev)
  # pdftotext reads the printout's PDF back
  packages+=(poppler-utils)
else
  packages+=(xauth)
fi
missing=()
for p in "${packages[@]}"; do
  dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q 'install ok installed' || missing+=("$p")
done
if [ ${#missing[@]} -gt 0 ]; then
  echo "Installing: ${missing[*]}"
  export DEBIAN_FRONTEND=noninteractive
  apt-get update -qq
  apt-get install -y -qq --no-install-recommends "${missing[@]}"
fi
