#!/usr/bin/env bash
# Installs the Debian 12 packages a job needs, and only those that are missing:
#   install-deps.sh GROUP...
# core: the Linux build and its tests (with cairo, Xlib, XTEST and Xvfb for the
# plug-in's window and its tests, and jalv, a dummy JACK server, xwininfo and
# ImageMagick's import, which show it in a real host and keep the screen);
# windows: the MinGW-w64 cross compilers and Wine (32-bit Wine through i386
# multiarch) for the Windows builds and their tests, with qemu-user for machines that run no 32-bit x86 code;
# arm: the arm64 and armhf cross compilers and qemu-user, which runs their tests
# (the target's X11 and cairo, which the plug-in's window links, are fetched into
# the build tree when the ARM builds are configured, not installed);
# fuzz: clang and its libFuzzer and sanitizer runtimes; bench: ffmpeg to compare
# the renderer with, and bc; web: emscripten for the web build, node and npm for
# its tests and its plotting library, and Chromium with its WebDriver and
# Selenium, which test the page headless; package: what builds and checks the Debian
# packages and the Windows installer (the builds' groups besides); cluster: Slurm's
# controller, node daemon and client and munge, for the one-node cluster test,
# which starts its own daemons (none is left running by the install).
# Runs as root, or through sudo when that is available.
set -euo pipefail

declare -A groups=(
  [core]="cmake make g++ binutils libgtest-dev libgmock-dev googletest libbenchmark-dev libsndfile1-dev libcli11-dev python3 python3-matplotlib ffmpeg lv2-dev liblilv-dev lilv-utils sordi serdi strace help2man libcairo2-dev libx11-dev libxtst-dev xvfb jalv jackd2 x11-utils imagemagick"
  [windows]="g++-mingw-w64-i686-posix g++-mingw-w64-x86-64-posix wine wine32:i386 wine64 qemu-user"
  [arm]="g++-aarch64-linux-gnu g++-arm-linux-gnueabihf qemu-user"
  [fuzz]="clang libclang-rt-14-dev"
  [bench]="ffmpeg bc"
  [web]="emscripten nodejs chromium chromium-driver python3-selenium"
  [package]="dpkg-dev xz-utils lintian nsis man-db"
  [cluster]="slurmctld slurmd slurm-client munge"
)

packages=()
for group in "${@:-core}"; do
  [ -n "${groups[$group]+set}" ] || { echo "unknown package group: $group" >&2; exit 2; }
  read -r -a listed <<<"${groups[$group]}"
  packages+=("${listed[@]}")
done

# Debian's nodejs needs Debian's npm beside it; some other builds of nodejs bring
# their own npm, which Debian's package would conflict with.
if [[ " ${packages[*]} " == *" nodejs "* ]] && ! command -v npm >/dev/null; then
  packages+=(npm)
fi

missing=()
for p in "${packages[@]}"; do
  dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q "install ok installed" || missing+=("$p")
done
[ ${#missing[@]} -eq 0 ] && exit 0

as_root=()
[ "$(id -u)" -eq 0 ] || as_root=(sudo)
echo "installing: ${missing[*]}"
for p in "${missing[@]}"; do
  if [[ $p == *:i386 ]] && ! dpkg --print-foreign-architectures | grep -qx i386; then
    "${as_root[@]}" dpkg --add-architecture i386
  fi
done
# Another install may hold apt's lock for a while: wait for it rather than fail.
wait_for_lock=(-o DPkg::Lock::Timeout=900)
# A mirror caught mid-sync fails an update now and then: try again, then go on with
# the lists there are, which the install itself will judge.
for attempt in 1 2 3; do
  "${as_root[@]}" apt-get "${wait_for_lock[@]}" update -qq && break
  [ "$attempt" -lt 3 ] || { echo "apt-get update failed; installing from the package lists there are" >&2; break; }
  sleep 20
done
# A package's daemons (munge's, Slurm's) are not started by its install: a machine
# that runs tests keeps no services of theirs, and the tests start their own. Where
# no policy says so already, one that refuses every start stands for this install.
policy=/usr/sbin/policy-rc.d
if [ ! -e "$policy" ]; then
  printf '#!/bin/sh\nexit 101\n' | "${as_root[@]}" tee "$policy" >/dev/null
  "${as_root[@]}" chmod 755 "$policy"
  trap '"${as_root[@]}" rm -f "$policy"' EXIT
fi
DEBIAN_FRONTEND=noninteractive "${as_root[@]}" apt-get "${wait_for_lock[@]}" install -y -qq --no-install-recommends "${missing[@]}" >/dev/null
