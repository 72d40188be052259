#!/usr/bin/env bash
# Runs the Windows installer silently under Wine, in a fresh 64-bit prefix where
# both components are offered:  installer-test.sh SETUP DLL64 DLL32
# The first install puts each DLL, byte for byte, into Common Files\VST2 under its
# Program Files folder and writes the uninstall entry; the second, with
# VSTPluginsPath set in both registry views, moves them into those folders; the
# uninstaller then removes both and the entry, and leaves a foreign file beside
# each DLL alone. The installer is a 32-bit program: where this machine runs no
# 32-bit x86 code, run this through scripts/x86-32.sh run.
set -euo pipefail
setup=$(realpath "$1") dll64=$2 dll32=$3
work=$(mktemp -d)
export WINEPREFIX=$work/prefix WINEARCH=win64 WINEDEBUG=-all
# No Mono or Gecko installer dialogs when the prefix is made, and no menu entries.
export WINEDLLOVERRIDES="mscoree,mshtml=,winemenubuilder.exe=d"
unset DISPLAY
trap 'wineserver -k 2>/dev/null || true; rm -rf "$work"' EXIT
fail() { echo "FAILED: $*" >&2; exit 1; }
wine64=/usr/lib/wine/wine64 wine32=/usr/lib/wine/wine
c=$WINEPREFIX/drive_c
key='HKLM\Software\Microsoft\Windows\CurrentVersion\Uninstall\Brevander'

# Each step waits for every process it started, the uninstaller's copy of itself too.
quietly() { "$@" </dev/null >"$work/out.txt" 2>&1 || fail "$* exited $?: $(cat "$work/out.txt")"; wineserver -w; }
same() { cmp -s "$1" "$2" || fail "${2#"$c"/} is not the built $(basename "$(dirname "$1")")/$(basename "$1")"; }

"$wine64" wineboot --init </dev/null >/dev/null 2>&1 || true
wineserver -w
quietly "$wine32" "$setup" /S
same "$dll64" "$c/Program Files/Common Files/VST2/Brevander.dll"
same "$dll32" "$c/Program Files (x86)/Common Files/VST2/Brevander.dll"
quietly "$wine64" reg query "$key"
for value in "DisplayName.*Brevander" "DisplayVersion.*1\.0\.0" "Publisher.*Brevander" \
  "EstimatedSize.*REG_DWORD.*0x[1-9a-f]" "UninstallString.*uninstall\.exe"; do
  grep -q "$value" "$work/out.txt" || fail "the uninstall entry has no $value: $(cat "$work/out.txt")"
done

printf 'Windows Registry Editor Version 5.00\r\n\r\n[HKEY_LOCAL_MACHINE\\SOFTWARE\\VST]\r\n"VSTPluginsPath"="C:\\\\Audio\\\\VST64"\r\n\r\n[HKEY_LOCAL_MACHINE\\SOFTWARE\\Wow6432Node\\VST]\r\n"VSTPluginsPath"="C:\\\\Audio\\\\VST32"\r\n' >"$c/vst.reg"
quietly "$wine64" reg import 'C:\vst.reg'
quietly "$wine32" "$setup" /S
same "$dll64" "$c/Audio/VST64/Brevander.dll"
same "$dll32" "$c/Audio/VST32/Brevander.dll"
[ ! -e "$c/Program Files/Common Files/VST2" ] && [ ! -e "$c/Program Files (x86)/Common Files/VST2" ] ||
  fail "the install into VSTPluginsPath left the last install's files or folders behind"

echo other >"$c/Audio/VST64/Other.dll"
echo other >"$c/Audio/VST32/Other.dll"
quietly "$wine32" "$c/Program Files/Brevander/uninstall.exe" /S
[ ! -e "$c/Audio/VST64/Brevander.dll" ] && [ ! -e "$c/Audio/VST32/Brevander.dll" ] ||
  fail "the uninstaller left a Brevander.dll"
[ "$(cat "$c/Audio/VST64/Other.dll" "$c/Audio/VST32/Other.dll")" = "$(printf 'other\nother')" ] ||
  fail "the uninstaller touched a foreign file"
[ ! -e "$c/Program Files/Brevander" ] || fail "the uninstaller left $(ls "$c/Program Files/Brevander")"
! "$wine64" reg query "$key" </dev/null >/dev/null 2>&1 || fail "the uninstall entry is still there"
echo "installer: $(stat -c %s "$setup") bytes; silent install, install into VSTPluginsPath and uninstall all as expected"
