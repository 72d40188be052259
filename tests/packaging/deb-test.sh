#!/usr/bin/env bash
# Checks the three Debian packages in a folder: control fields, file list and
# owners, the ELF machine of every binary, lintian, that the amd64 one builds to the
# same bytes again, and the amd64 one installed with apt and purged: installed, its
# tool renders through /usr/lib/vst/Brevander.so as the build tree's does, the plug-in
# reproduces the golden render, lv2ls finds the bundle in /usr/lib/lv2, jalv.gtk3
# shows its window (the screen kept as DEB_DIR/jalv-installed.png) and man finds
# the page; purged, none of its files is left.
#   deb-test.sh DEB_DIR   (from the source tree's top, after make-packages.sh)
# The machine is left as it was: a brevander package installed already, or one that
# would bring other packages along, makes the test refuse instead.
set -euo pipefail
dir=$1
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
fail() { echo "FAILED: $*" >&2; exit 1; }
version=$(sed -n 's/^project(Brevander VERSION \([0-9.]*\).*/\1/p' CMakeLists.txt)-1

plugins="./usr/lib/lv2/Brevander.lv2/Brevander.ttl
./usr/lib/lv2/Brevander.lv2/brevander_lv2.so
./usr/lib/lv2/Brevander.lv2/manifest.ttl
./usr/lib/lv2/Brevander.lv2/presets.ttl
./usr/lib/vst/Brevander.so
./usr/share/doc/brevander/changelog.Debian.gz
./usr/share/doc/brevander/copyright
./usr/share/lintian/overrides/brevander"
window="./usr/lib/lv2/Brevander.lv2/BrevanderUi.ttl
./usr/lib/lv2/Brevander.lv2/brevander_lv2_ui.so"
tool="./usr/bin/brevander
./usr/share/brevander/plot_response.py
./usr/share/man/man1/brevander.1.gz"

check_package() {  # check_package ARCH ELF_MACHINE EXPECTED_FILES
  local arch=$1 machine=$2 expected=$3 deb
  deb=$dir/brevander_${version}_$arch.deb
  [ -f "$deb" ] || fail "no $deb"
  field() { dpkg-deb -f "$deb" "$1"; }
  [ "$(field Package) $(field Version) $(field Architecture)" = "brevander $version $arch" ] ||
    fail "$deb: names $(field Package) $(field Version) $(field Architecture)"
  [ "$(field Section)" = sound ] || fail "$deb: section $(field Section)"
  [ "$(field Provides)" = "lv2-plugin, vst-plugin" ] || fail "$deb: provides $(field Provides)"
  [[ $(field Depends) =~ ^libc6\ \(\>=\ 2\.[0-9]+\) ]] || fail "$deb: depends $(field Depends)"
  # The window's libraries on every architecture; the tool's on amd64.
  local needs=(libcairo2 libx11-6) needed
  [ "$arch" != amd64 ] || needs+=(libsndfile1 'libstdc++6' python3-matplotlib)
  for needed in "${needs[@]}"; do
    [[ ", $(field Depends)," == *", $needed"[\ ,]* ]] || fail "$deb: depends on no $needed: $(field Depends)"
  done

  [ "$(dpkg-deb -c "$deb" | awk '$1 !~ /^d/ { print $6 }' | LC_ALL=C sort)" = "$(echo "$expected" | LC_ALL=C sort)" ] ||
    fail "$deb holds other files: $(dpkg-deb -c "$deb")"
  [ -z "$(dpkg-deb -c "$deb" | awk '$2 != "root/root"')" ] || fail "$deb has files not owned by root"
  [ -z "$(dpkg-deb -c "$deb" | awk '$6 ~ /\.so$/ && $1 != "-rw-r--r--"')" ] || fail "$deb: a library is not 0644"

  dpkg-deb -x "$deb" "$work/$arch"
  local binaries=0 file
  while IFS= read -r file; do
    [ "$(head -c 4 "$file" | od -An -tx1 | tr -d ' ')" = 7f454c46 ] || continue
    binaries=$((binaries + 1))
    readelf -h "$file" | grep -q "Machine: *$machine\$" ||
      fail "$file is for $(readelf -h "$file" | sed -n 's/ *Machine: *//p'), not $machine"
  done < <(find "$work/$arch" -type f)
  [ "$binaries" -eq "$(echo "$expected" | grep -c '\.so$\|/bin/')" ] || fail "$deb: $binaries ELF files"

  # (lintian counts shown overrides as failures, so they are listed from the file.)
  lintian --fail-on error,warning --tag-display-limit 0 "$deb" >"$work/lintian.txt" 2>&1 ||
    fail "lintian on $deb: $(cat "$work/lintian.txt")"
  echo "$deb: $(stat -c %s "$deb") bytes, $binaries ELF files for $machine; lintian: no error or warning," \
    "overridden: $(grep -v '^#' packaging/debian/lintian-overrides | paste -sd ' ')"
}
check_package amd64 "Advanced Micro Devices X86-64" "$plugins
$window
$tool"
check_package arm64 AArch64 "$plugins
$window"
check_package armhf ARM "$plugins
$window"

scripts/make-deb.sh amd64 "$work/again" >/dev/null
cmp "$dir/brevander_${version}_amd64.deb" "$work/again/brevander_${version}_amd64.deb" ||
  fail "the amd64 package built again differs"

# Installed for real, since hosts, lv2ls and man look in the system's folders.
deb=$(realpath "$dir/brevander_${version}_amd64.deb")
state=$(dpkg-query -W -f='${db:Status-Status}' brevander 2>/dev/null || true)
[ -z "$state" ] || [ "$state" = not-installed ] ||
  fail "a brevander package is on this machine ($state); remove it to run this test"
as_root=()
[ "$(id -u)" -eq 0 ] || as_root=(sudo -n)
apt_get() {
  flock /tmp/brevander-apt.lock "${as_root[@]}" env DEBIAN_FRONTEND=noninteractive apt-get -y -qq "$@" \
    >"$work/apt.txt" 2>&1 || fail "apt-get $*: $(cat "$work/apt.txt")"
}
planned=$(apt-get -s install --no-install-recommends "$deb" 2>/dev/null | grep '^Inst ' | awk '{ print $2 }')
[ "$planned" = brevander ] || fail "installing the package would also install: $(echo "$planned" | grep -vx brevander | paste -sd ' '); install them first"
paths=$(dpkg-deb -c "$deb" | awk '{ sub(/^\./, "", $6); sub(/\/$/, "", $6); print $6 }' | grep .)
while IFS= read -r p; do [ -e "$p" ] || echo "$p"; done <<<"$paths" >"$work/new-paths"

installed_checks() {
  unset BREVANDER_PLUGIN BREVANDER_PLOT_SCRIPT LV2_PATH
  [ "$(command -v brevander)" = /usr/bin/brevander ] || fail "brevander on PATH is $(command -v brevander)"
  build/linux/brevander demo --out-dir "$work/demo" >/dev/null
  brevander render "$work/demo/in.wav" "$work/installed.wav" --set "Mic Spacing=30" >/dev/null
  build/linux/brevander render "$work/demo/in.wav" "$work/built.wav" --set "Mic Spacing=30" >/dev/null
  cmp "$work/installed.wav" "$work/built.wav" || fail "the installed tool renders other bytes than the build tree's"
  BREVANDER_PLUGIN=/usr/lib/vst/Brevander.so build/linux/tests/brevander_write_golden "$work/golden.f32" >/dev/null
  cmp "$work/golden.f32" tests/golden/render.f32 || fail "/usr/lib/vst/Brevander.so misses the golden render"
  brevander response --out "$work/response.png" >/dev/null || fail "the installed tool's response command failed"
  LV2_PATH=/usr/lib/lv2 lv2ls | grep -qx urn:brevander:shuffler || fail "lv2ls finds no urn:brevander:shuffler in /usr/lib/lv2"
  # jalv.gtk3 embeds the installed window; its screen is kept beside the packages.
  bash tests/lv2/ui/jalv-window-test.sh /usr/lib/lv2 "$(realpath "$dir")/jalv-installed.png" >/dev/null ||
    fail "jalv.gtk3 did not show the installed window"
  [ "$(man -w brevander)" = /usr/share/man/man1/brevander.1.gz ] || fail "man -w brevander gives '$(man -w brevander 2>&1)'"
}

installed=
purge() { [ -z "$installed" ] || apt_get purge brevander; installed=; }
trap 'purge; rm -rf "$work"' EXIT
installed=1
apt_get install --no-install-recommends "$deb"
installed_checks
purge
left=$(while IFS= read -r p; do [ ! -e "$p" ] || echo "$p"; done <"$work/new-paths")
[ -z "$left" ] || fail "purged, the package left: $left"
echo "amd64 package: built twice to the same bytes; installed, renders the build tree's and the golden bytes, lv2ls, jalv.gtk3 (its window: $dir/jalv-installed.png) and man find it; purged, nothing left"
