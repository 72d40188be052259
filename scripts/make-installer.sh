#!/usr/bin/env bash
# Builds the Windows installer from the two Windows builds' DLLs with Debian's
# makensis:  make-installer.sh OUT_DIR   (writes Brevander-VERSION-windows-setup.exe)
set -euo pipefail
cd "$(dirname "$0")/.."
out=${1:?usage: make-installer.sh OUT_DIR}
version=$(sed -n 's/^project(Brevander VERSION \([0-9.]*\).*/\1/p' CMakeLists.txt)
mkdir -p "$out"
setup=$(realpath "$out")/Brevander-$version-windows-setup.exe
makensis -V2 -WX -DVERSION="$version" -DDLL64="$PWD/build/win64/Brevander.dll" \
  -DDLL32="$PWD/build/win32/Brevander.dll" -DOUTFILE="$setup" packaging/windows/brevander.nsi >&2
echo "$setup"
