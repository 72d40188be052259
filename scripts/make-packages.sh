#!/usr/bin/env bash
# Makes what a user installs from, out of the platforms' builds: the Debian
# packages for amd64, arm64 and armhf and the Windows installer, into OUT_DIR:
#   make-packages.sh OUT_DIR
set -euo pipefail
cd "$(dirname "$0")/.."
out=${1:?usage: make-packages.sh OUT_DIR}
for arch in amd64 arm64 armhf; do
  scripts/make-deb.sh "$arch" "$out"
done
scripts/make-installer.sh "$out"
