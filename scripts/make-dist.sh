#!/usr/bin/env bash
# Packages the plug-in files, already built by their presets, into dist/: one
# folder and one archive per platform, each with the VST 2 file and the text that
# says where to put it; the Linux ones also hold the LV2 bundle. The web build's
# site becomes one more archive. Then the Debian packages and the Windows
# installer, and SHA256SUMS over every archive, package and installer.
set -euo pipefail
cd "$(dirname "$0")/.."

version=$(sed -n 's/^project(Brevander VERSION \([0-9.]*\).*/\1/p' CMakeLists.txt)
rm -rf dist
mkdir -p dist

package() {  # package PLATFORM BUILT-FILE ARCHIVE-FORMAT [BUILT-FOLDER...]
  local platform=$1 file=$2 format=$3
  shift 3
  local folder="dist/$platform" name="Brevander-$version-$platform"
  mkdir -p "$folder" "dist/staging/$name"
  cp "$file" "$folder/"
  cp "$file" "dist/staging/$name/"
  for extra in "$@"; do
    cp -R "$extra" "$folder/"
    cp -R "$extra" "dist/staging/$name/"
  done
  if [ "$format" = zip ]; then
    # Windows line ends, for any text editor there.
    sed 's/$/\r/' "packaging/$platform.txt" >"dist/staging/$name/README.txt"
    (cd dist/staging && cmake -E tar cf "../$name.zip" --format=zip "$name")
  else
    cp "packaging/$platform.txt" "dist/staging/$name/README.txt"
    (cd dist/staging && cmake -E tar czf "../$name.tar.gz" "$name")
  fi
}

package windows-x86 build/win32/Brevander.dll zip
package windows-x64 build/win64/Brevander.dll zip
package linux-x86_64 build/linux/Brevander.so gnutar build/linux/lv2/Brevander.lv2
package linux-arm64 build/linux-arm64/Brevander.so gnutar build/linux-arm64/lv2/Brevander.lv2
package linux-armhf build/linux-armhf/Brevander.so gnutar build/linux-armhf/lv2/Brevander.lv2

# The web page: the static site, ready for any static host, with its README.txt.
web="Brevander-$version-web"
mkdir -p "dist/web" "dist/staging/$web"
# The web build keeps the folder to the site's file list (web/site-prune.cmake).
cp -R build/web/site/. "dist/web/"
cp -R build/web/site/. "dist/staging/$web/"
sed 's/$/\r/' packaging/web.txt >"dist/staging/$web/README.txt"
(cd dist/staging && cmake -E tar cf "../$web.zip" --format=zip "$web")
rm -rf dist/staging

scripts/make-packages.sh dist >/dev/null
(cd dist && find . -maxdepth 1 -type f \( -name '*.zip' -o -name '*.tar.gz' -o -name '*.deb' -o -name '*.exe' \) -printf '%P\n' |
  LC_ALL=C sort | xargs sha256sum >SHA256SUMS)
find dist -type f | sort
