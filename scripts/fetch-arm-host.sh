#!/usr/bin/env bash
# Unpacks Debian's ARM build of lilv's command-line LV2 host, lv2apply, with every
# ARM library it loads, into a folder that qemu-user takes as its root:
#   fetch-arm-host.sh ARCH SYSROOT [PACKAGE...]   (ARCH: arm64 or armhf)
# then: LV2_PATH=... qemu-aarch64 -L SYSROOT SYSROOT/usr/bin/lv2apply ...
# Given packages, it unpacks those instead, with the same closure: the ARM builds
# link the plug-in's window against the target's X11 and cairo unpacked this way.
# The packages are fetched with `apt-get download` and unpacked with `dpkg -x`, so
# nothing is installed: the machine only gains the architecture's package lists
# (dpkg --add-architecture and apt-get update, as root or through sudo). A folder
# made once is reused as it is; remove it to fetch again.
set -euo pipefail

usage() {
  echo "usage: $0 arm64|armhf SYSROOT [PACKAGE...]" >&2
  exit 2
}
[ $# -ge 2 ] || usage
arch=$1
sysroot=$2
shift 2
case $arch in
  arm64 | armhf) ;;
  *) usage ;;
esac
requested=("${@:-lilv-utils}")
host_package=${requested[0]}

# A folder made for the same packages is reused; one made for others is made again.
if [ -s "$sysroot/.packages" ] && [ "$(cat "$sysroot/.requested" 2>/dev/null)" = "${requested[*]}" ]; then
  echo "reusing the $arch packages in $sysroot"
  exit 0
fi

as_root=()
[ "$(id -u)" -eq 0 ] || as_root=(sudo)

# The architecture's package lists, only when they are missing.
if ! apt-cache show "$host_package:$arch" >/dev/null 2>&1; then
  if ! dpkg --print-foreign-architectures | grep -qx "$arch"; then
    echo "adding the $arch architecture to dpkg's package lists"
    "${as_root[@]}" dpkg --add-architecture "$arch"
  fi
  echo "fetching the $arch package lists"
  # A source caught mid-sync (another architecture's index, say) fails the update
  # as a whole; what this needs is checked next.
  "${as_root[@]}" apt-get update -qq || echo "warning: apt-get update failed in part; going on with the lists there are" >&2
  if ! apt-cache show "$host_package:$arch" >/dev/null 2>&1; then
    echo "error: no package $host_package:$arch in the configured sources" >&2
    exit 1
  fi
fi

# The run-time closure from the package metadata: everything they depend on,
# directly or not, that is built for the architecture. Alternatives and virtual
# names are listed by apt-cache too; only real packages of this architecture are
# kept (architecture-independent ones carry no code that qemu would load). The C
# library's headers and link files are left out: the cross toolchain brings its own,
# and a second set beside them could only be mixed up with them.
mapfile -t packages < <(
  apt-cache depends --recurse --no-recommends --no-suggests --no-conflicts --no-breaks --no-replaces \
    --no-enhances "${requested[@]/%/:$arch}" | grep -E "^[^ <].*:$arch\$" |
    grep -vE "^(libc6-dev|libc-dev-bin|linux-libc-dev|libcrypt-dev|libnsl-dev|libtirpc-dev|rpcsvc-proto):" | sort -u
)
if [ ${#packages[@]} -eq 0 ]; then
  echo "error: apt-cache resolved no $arch packages for ${requested[*]}" >&2
  exit 1
fi

work=$(mktemp -d "${sysroot%/}.part.XXXXXX")
trap 'rm -rf "$work"' EXIT
mkdir -p "$work/debs" "$work/root"
echo "fetching ${#packages[@]} $arch packages: ${packages[*]}"
# As root, apt would hand the download to its unprivileged user, who can't write
# into a root-owned build tree.
sandbox=()
[ "$(id -u)" -ne 0 ] || sandbox=(-o APT::Sandbox::User=root)
if ! (cd "$work/debs" && apt-get download -qq "${sandbox[@]}" "${packages[@]}"); then
  echo "error: apt-get couldn't download every $arch package (see above)" >&2
  exit 1
fi
for deb in "$work"/debs/*.deb; do
  dpkg-deb -x "$deb" "$work/root"
  dpkg-deb -f "$deb" Package Version Architecture | paste -sd ' ' >>"$work/root/.packages"
done
if [ "${requested[*]}" = lilv-utils ] && [ ! -x "$work/root/usr/bin/lv2apply" ]; then
  echo "error: lilv-utils:$arch unpacked without usr/bin/lv2apply" >&2
  exit 1
fi
echo "${requested[*]}" >"$work/root/.requested"

rm -rf "$sysroot"
mkdir -p "$(dirname "$sysroot")"
mv "$work/root" "$sysroot"
echo "the $arch packages are in $sysroot"
