#!/usr/bin/env bash
# Builds the Debian package of one Linux build, without a Debian source package:
# a staged tree, Depends from dpkg-shlibdeps, and dpkg-deb with root-owned files.
#   make-deb.sh amd64|arm64|armhf OUT_DIR
# amd64 packs build/linux (the plug-ins, the tool, its plotting script and its
# manual); arm64 and armhf pack the plug-ins of build/linux-arm64 and
# build/linux-armhf. The same commit gives the same bytes: every time stamp is
# SOURCE_DATE_EPOCH, by default the last commit's time, and xz runs on one thread,
# since its output depends on how many it uses.
set -euo pipefail
cd "$(dirname "$0")/.."

arch=${1:-} out=${2:-}
case $arch in
  amd64) build=build/linux strip=strip ;;
  arm64) build=build/linux-arm64 strip=aarch64-linux-gnu-strip ;;
  armhf) build=build/linux-armhf strip=arm-linux-gnueabihf-strip ;;
  *) echo "usage: $0 amd64|arm64|armhf OUT_DIR" >&2; exit 2 ;;
esac
[ -n "$out" ] || { echo "usage: $0 amd64|arm64|armhf OUT_DIR" >&2; exit 2; }
with_tool=
[ "$arch" != amd64 ] || with_tool=1

version=$(sed -n 's/^project(Brevander VERSION \([0-9.]*\).*/\1/p' CMakeLists.txt)-1
epoch=${SOURCE_DATE_EPOCH:-$(git log -1 --format=%ct)}
export SOURCE_DATE_EPOCH=$epoch

# Run-time libraries of a foreign architecture with their control files, each
# unpacked into DIR/PACKAGE, where dpkg-shlibdeps -S finds its symbols file. The
# architecture's package lists are added first where they are missing, as for the
# ARM builds' LV2 host (scripts/fetch-arm-host.sh).
fetch_libraries() {  # fetch_libraries DIR PACKAGE...
  local dir=$1 as_root=() sandbox=() p
  shift
  [ "$(id -u)" -eq 0 ] || as_root=(sudo)
  # As root, apt hands the download to its own user, who can't write here.
  [ "$(id -u)" -ne 0 ] || sandbox=(-o APT::Sandbox::User=root)
  if ! apt-cache show "libc6:$arch" >/dev/null 2>&1; then
    dpkg --print-foreign-architectures | grep -qx "$arch" || "${as_root[@]}" dpkg --add-architecture "$arch"
    # A source caught mid-sync (another architecture's index, say) fails the update
    # as a whole; what this needs is checked next.
    "${as_root[@]}" apt-get update -qq || echo "warning: apt-get update failed in part; going on with the lists there are" >&2
  fi
  (cd "$stage" && apt-get download -qq "${sandbox[@]}" "${@/%/:$arch}") ||
    { echo "make-deb.sh: apt-get download ${*/%/:$arch} failed" >&2; exit 1; }
  for p; do
    mkdir -p "$dir/$p/DEBIAN"
    dpkg-deb -x "$stage/${p}_"*.deb "$dir/$p"
    dpkg-deb -e "$stage/${p}_"*.deb "$dir/$p/DEBIAN"
  done
}

stage=$(mktemp -d)
trap 'rm -rf "$stage"' EXIT
# dpkg-shlibdeps wants a debian/ folder with a control file naming the package.
mkdir -p "$stage/debian"
printf 'Source: brevander\n\nPackage: brevander\nArchitecture: any\n' >"$stage/debian/control"
root=$stage/debian/brevander
doc=$root/usr/share/doc/brevander
umask 022
install -d "$root/usr/lib/vst" "$root/usr/lib/lv2/Brevander.lv2" "$doc"
install -m 0644 "$build/Brevander.so" "$root/usr/lib/vst/"
install -m 0644 "$build"/lv2/Brevander.lv2/{manifest.ttl,Brevander.ttl,presets.ttl,brevander_lv2.so} "$root/usr/lib/lv2/Brevander.lv2/"
binaries=("$root/usr/lib/vst/Brevander.so" "$root/usr/lib/lv2/Brevander.lv2/brevander_lv2.so")
# The window, which every build makes unless configured without it: its manifest names it.
with_window=
if [ -f "$build/lv2/Brevander.lv2/brevander_lv2_ui.so" ]; then
  with_window=1
  install -m 0644 "$build"/lv2/Brevander.lv2/{BrevanderUi.ttl,brevander_lv2_ui.so} "$root/usr/lib/lv2/Brevander.lv2/"
  binaries+=("$root/usr/lib/lv2/Brevander.lv2/brevander_lv2_ui.so")
fi
if [ -n "$with_tool" ]; then
  install -d "$root/usr/bin" "$root/usr/share/brevander" "$root/usr/share/man/man1"
  install -m 0755 "$build/brevander" "$root/usr/bin/"
  install -m 0644 "$build/plot_response.py" "$root/usr/share/brevander/"
  gzip -9n <"$build/brevander.1" >"$root/usr/share/man/man1/brevander.1.gz"
  binaries+=("$root/usr/bin/brevander")
fi
# As dh_strip strips: no comment or note sections and no symbol the loader doesn't
# need (the plug-ins are linked without a symbol table already; the tool is not).
"$strip" --remove-section=.comment --remove-section=.note --strip-unneeded "${binaries[@]}"
install -m 0644 packaging/debian/copyright "$doc/"
install -D -m 0644 packaging/debian/lintian-overrides "$root/usr/share/lintian/overrides/brevander"
gzip -9n <packaging/debian/changelog >"$doc/changelog.Debian.gz"

# The libraries the files need, as their packages' symbols files say. For ARM those
# are libc6 of that architecture, and libx11-6 and libcairo2 for the window,
# fetched (not installed) and unpacked beside the package with their control files,
# where dpkg-shlibdeps looks first.
shlibs=()
if [ "$arch" != amd64 ]; then
  libraries=(libc6)
  [ -z "$with_window" ] || libraries+=(libx11-6 libcairo2)
  fetch_libraries "$stage/debian" "${libraries[@]}"
  shlibs=("${libraries[@]/#/-Sdebian/}")
fi
depends=$(cd "$stage" && DEB_HOST_ARCH=$arch dpkg-shlibdeps -O "${shlibs[@]}" "${binaries[@]#"$stage"/}" 2>"$stage/shlibdeps.err") ||
  { cat "$stage/shlibdeps.err" >&2; exit 1; }
depends=${depends#shlibs:Depends=}
# The response command runs the plotting script with Debian's python3 and matplotlib.
[ -z "$with_tool" ] || depends+=", python3, python3-matplotlib"

if [ -n "$with_tool" ]; then
  paragraph=" .
 It also installs the command-line tool brevander, which renders audio files
 through the plug-in, lists its parameters and plots its response, with its
 manual page brevander(1)."
elif [ -n "$with_window" ]; then
  paragraph=" .
 On this architecture the package holds the two plug-ins and the LV2
 plug-in's window: the command-line tool brevander is not packaged for it."
else
  paragraph=" .
 On this architecture the package holds the two plug-ins only: the
 command-line tool brevander is not packaged for it."
fi

# As dpkg-gencontrol counts it: KiB per file, rounded up, and one per folder.
size=$(find "$root" -path "$root/DEBIAN" -prune -o \( -type f -printf '%s\n' -o -printf '1024\n' \) |
  awk '{ kib += int(($1 + 1023) / 1024) } END { print kib }')

install -d "$root/DEBIAN"
(cd "$root" && find usr -type f | LC_ALL=C sort | xargs md5sum) >"$root/DEBIAN/md5sums"
sed -e "s/@VERSION@/$version/" -e "s/@ARCH@/$arch/" -e "s/@INSTALLED_SIZE@/$size/" \
  -e "s/@DEPENDS@/$depends/" packaging/debian/control.in |
  awk -v p="$paragraph" '$0 == "@TOOL_PARAGRAPH@" { print p; next } { print }' >"$root/DEBIAN/control"
chmod 0644 "$root/DEBIAN/control" "$root/DEBIAN/md5sums"

find "$root" -exec touch -h -d "@$epoch" {} +
mkdir -p "$out"
deb="$out/brevander_${version}_$arch.deb"
dpkg-deb --root-owner-group -Zxz --threads-max=1 --build "$root" "$deb" >/dev/null
echo "$deb"
