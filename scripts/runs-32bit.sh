#!/usr/bin/env bash
# Tells whether this machine executes 32-bit x86 programs (a kernel with
# IA-32 emulation), which the 32-bit Wine loader needs. Runs a 96-byte
# i386 ELF program, written here byte by byte, that exits with status 42.
# Exit status 0: it ran. Otherwise prints why not in one line and exits 1.
# Never hangs: the program gets 10 seconds.
set -u

probe=$(mktemp)
trap 'rm -f "$probe"' EXIT
# ELF header, one loadable segment at 0x08048000, then the code:
# mov eax, 1 (exit); mov ebx, 42; int 0x80.
printf '\x7fELF\x01\x01\x01\x00\x00\x00\x00\x00\x00\x00\x00\x00'                   >"$probe"
printf '\x02\x00\x03\x00\x01\x00\x00\x00\x54\x80\x04\x08\x34\x00\x00\x00'           >>"$probe"
printf '\x00\x00\x00\x00\x00\x00\x00\x00\x34\x00\x20\x00\x01\x00\x00\x00'           >>"$probe"
printf '\x00\x00\x00\x00'                                                           >>"$probe"
printf '\x01\x00\x00\x00\x00\x00\x00\x00\x00\x80\x04\x08\x00\x80\x04\x08'           >>"$probe"
printf '\x60\x00\x00\x00\x60\x00\x00\x00\x05\x00\x00\x00\x00\x10\x00\x00'           >>"$probe"
printf '\xb8\x01\x00\x00\x00\xbb\x2a\x00\x00\x00\xcd\x80'                           >>"$probe"
chmod +x "$probe"

if [ "$(uname -m)" != x86_64 ] && [ "$(uname -m)" != i686 ]; then
  echo "this is not an x86 machine ($(uname -m))"
  exit 1
fi
# Through bash, which reports a refused binary instead of reading it as a
# shell script (as sh does after an exec format error).
error=$(timeout 10 bash -c '"$0"' "$probe" 2>&1)
status=$?
[ $status -eq 42 ] && exit 0
if [ -n "$error" ]; then
  reason=${error##*: }
else
  reason="exit status $status"
fi
echo "this machine does not execute 32-bit x86 programs: $reason (a kernel without IA-32 emulation)"
exit 1
