#!/usr/bin/env bash
# Runs a command on this machine with 32-bit x86 programs able to run, and says how:
#   x86-32.sh probe       prints native, qemu (already set up by the system) or none
#   x86-32.sh run CMD...  runs CMD, then prints one line saying how its 32-bit code ran
#                         (and appends it to the file BREVANDER_X86_32_REPORT names, if any;
#                         BREVANDER_X86_32_WHAT names CMD there, by default the win32 suites)
# Some machines' processors or kernels refuse 32-bit x86 programs ("Exec format
# error") although the kernel's configuration says otherwise, so the answer comes
# from starting a 32-bit program, Wine's 32-bit loader, and looking at what it says.
# Where none runs, `run` registers Debian's qemu-i386 with binfmt_misc for i386 ELF
# files, for CMD's run only: the entry is removed when CMD ends, fails or is
# interrupted. BREVANDER_X86_32=native or qemu chooses instead of probing (qemu
# tries the emulated route on a machine that runs 32-bit code itself).
set -euo pipefail

loader32=/usr/lib/wine/wine
binfmt=/proc/sys/fs/binfmt_misc
entry_prefix=brevander-i386-
# qemu 7.2 puts its own mappings where 32-bit Wine needs its shared user data page
# (0x7ffe0000) unless the guest's address space is reserved up front; 0xffff0000
# works too but is slower, 0x80000000 does not.
reserved_va=0xc0000000

as_root=()
[ "$(id -u)" -eq 0 ] || as_root=(sudo -n)

runs_32bit_code() {
  local said
  said=$("$loader32" --version 2>/dev/null) || return 1
  [[ $said == wine-* ]]
}

# An enabled binfmt entry that sends i386 ELF files to qemu-i386, set up by the
# system (qemu-user-binfmt) or by this script.
system_qemu_entry() {
  local e
  [ -e "$binfmt/status" ] || return 1
  for e in "$binfmt"/*; do
    [ -f "$e" ] && [ "${e##*/}" != status ] && [ "${e##*/}" != register ] || continue
    grep -qx enabled "$e" && grep -q '^interpreter .*qemu-i386' "$e" && return 0
  done
  return 1
}

probe() {
  if runs_32bit_code; then
    if system_qemu_entry; then echo qemu; else echo native; fi
  else
    echo none
  fi
}

# Entries that an earlier run left behind when it was killed outright.
remove_stale_entries() {
  local e pid
  for e in "$binfmt/$entry_prefix"*; do
    [ -f "$e" ] || continue
    pid=${e##*"$entry_prefix"}
    kill -0 "$pid" 2>/dev/null || echo -1 | "${as_root[@]}" tee "$e" >/dev/null
  done
}

entry=
mounted_here=
cleanup() {
  if [ -n "$entry" ] && [ -f "$binfmt/$entry" ]; then
    echo -1 | "${as_root[@]}" tee "$binfmt/$entry" >/dev/null || true
  fi
  if [ -n "$mounted_here" ] && [ "$(ls "$binfmt" | grep -cvx 'register\|status')" -eq 0 ]; then
    "${as_root[@]}" umount "$binfmt" || true
  fi
}

register_qemu() {
  command -v qemu-i386 >/dev/null || { echo "x86-32.sh: qemu-i386 is missing (Debian's qemu-user)" >&2; return 1; }
  if [ ! -e "$binfmt/register" ]; then
    "${as_root[@]}" mount -t binfmt_misc binfmt_misc "$binfmt" ||
      { echo "x86-32.sh: cannot mount binfmt_misc (needs root)" >&2; return 1; }
    mounted_here=1
  fi
  remove_stale_entries
  entry=$entry_prefix$$
  # i386 executables and shared objects; F opens the interpreter now, so it is
  # found in any mount namespace the programs run in.
  local magic='\x7fELF\x01\x01\x01\x00\x00\x00\x00\x00\x00\x00\x00\x00\x02\x00\x03\x00'
  local mask='\xff\xff\xff\xff\xff\xfe\xfe\x00\xff\xff\xff\xff\xff\xff\xff\xff\xfe\xff\xff\xff'
  printf '%s' ":$entry:M::$magic:$mask:$(command -v qemu-i386):F" | "${as_root[@]}" tee "$binfmt/register" >/dev/null ||
    { entry=; echo "x86-32.sh: cannot register qemu-i386 with binfmt_misc" >&2; return 1; }
}

case ${1:-} in
  probe)
    probe
    ;;
  run)
    shift
    mode=${BREVANDER_X86_32:-$(probe)}
    trap cleanup EXIT
    trap 'exit 130' INT
    trap 'exit 143' TERM
    trap 'exit 129' HUP
    case $mode in
      native) how="natively under 32-bit Wine" ;;
      qemu | none)
        if [ "$mode" = none ]; then
          register_qemu
          how="under 32-bit Wine on qemu-i386, as this machine runs no 32-bit x86 code (binfmt_misc entry for this run only)"
        elif [ -n "${BREVANDER_X86_32:-}" ]; then
          register_qemu
          how="under 32-bit Wine on qemu-i386, as BREVANDER_X86_32=qemu asks (binfmt_misc entry for this run only)"
        else
          how="under 32-bit Wine on qemu-i386, through the system's own binfmt_misc entry"
        fi
        export QEMU_RESERVED_VA=$reserved_va
        runs_32bit_code || { echo "x86-32.sh: 32-bit Wine does not start under qemu-i386 either" >&2; exit 1; }
        ;;
      *) echo "x86-32.sh: BREVANDER_X86_32 must be native or qemu, not '$mode'" >&2; exit 2 ;;
    esac
    status=0
    "$@" || status=$?
    line="32-bit x86: ${BREVANDER_X86_32_WHAT:-the win32 suites} ran $how, whole: no case was thinned or skipped."
    echo "$line"
    [ -z "${BREVANDER_X86_32_REPORT:-}" ] || echo "$line" >>"$BREVANDER_X86_32_REPORT"
    exit $status
    ;;
  *)
    echo "usage: x86-32.sh probe | run COMMAND..." >&2
    exit 2
    ;;
esac
