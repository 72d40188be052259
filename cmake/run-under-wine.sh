#!/usr/bin/env bash
# Runs a Windows program under Wine: run-under-wine.sh PREFIX ARCH PROGRAM [ARGS...]
# The prefix is created on first use, once, even when tests start in parallel.
# Wine's debug channels are silenced; the program's output and exit status pass through.
set -euo pipefail
prefix=$(realpath -m "$1") arch=$2
shift 2

# Debian's `wine` launcher takes the 32-bit loader whenever wine32 is installed, and
# that loader can't start on a machine that runs no 32-bit x86 code; so each
# architecture gets its own loader, and a 64-bit program never needs 32-bit code.
if [ "$arch" = win64 ]; then
  loader=/usr/lib/wine/wine64
else
  loader=/usr/lib/wine/wine
  if ! "$loader" --version >/dev/null 2>&1; then
    echo "run-under-wine.sh: this machine does not run 32-bit x86 programs; run the win32 suites through" \
      "scripts/x86-32.sh run ctest --preset win32 (as make test-win32 does)" >&2
    exit 1
  fi
fi
[ -x "$loader" ] || loader=$(command -v wine)

# Where 32-bit code runs on qemu-i386 (scripts/x86-32.sh sets that up), every
# 32-bit process costs some 40 seconds of emulated start-up. So the 32-bit programs
# then run in a 64-bit prefix of their own, whose Wine services are 64-bit and
# native, and its server stays up between the suites instead of starting them again.
booter=$loader
persist=
if [ "$arch" = win32 ] && [ -n "${QEMU_RESERVED_VA:-}" ]; then
  prefix=$prefix-wow64 arch=win64 booter=/usr/lib/wine/wine64 persist=-p30
fi

export WINEPREFIX=$prefix WINEARCH=$arch WINEDEBUG=-all
# No Mono or Gecko installer dialogs when the prefix is created, and no menu entries.
export WINEDLLOVERRIDES="mscoree,mshtml=,winemenubuilder.exe=d"
unset DISPLAY

mkdir -p "$(dirname "$prefix")"
(
  flock 9
  if [ ! -f "$prefix/system.reg" ]; then
    "$booter" wineboot --init >/dev/null 2>&1 || true
    wineserver --wait || true
  fi
  # Its own output must not hold the test's pipes open after the program ends.
  [ -z "$persist" ] || wineserver "$persist" </dev/null >/dev/null 2>&1 || true
) 9>"$prefix.lock"

exec "$loader" "$@"
