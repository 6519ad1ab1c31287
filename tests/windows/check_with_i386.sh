#!/bin/sh
# scripts/with-i386 gives 32-bit programs to the command it runs and to
# nothing else: inside, the 32-bit probe runs; outside, the machine answers
# as before and its binfmt_misc handlers are the ones it had.
# usage: check_with_i386.sh SCRIPTS_DIR
scripts=$1
handlers() { ls /proc/sys/fs/binfmt_misc 2>&1; }
native() { "$scripts/runs-32bit.sh" >/dev/null && echo runs || echo "does not run"; }

handlers_before=$(handlers)
native_before=$(native)
if ! "$scripts/with-i386" "$scripts/runs-32bit.sh"; then
  echo "FAIL: a 32-bit program does not run inside with-i386"
  exit 1
fi
status=0
if [ "$(native)" != "$native_before" ]; then
  echo "FAIL: outside with-i386, 32-bit code $native_before before and $(native) after"
  status=1
fi
if [ "$(handlers)" != "$handlers_before" ]; then
  printf 'FAIL: the binfmt_misc handlers changed:\nbefore: %s\nafter: %s\n' "$handlers_before" "$(handlers)"
  status=1
fi
[ $status -eq 0 ] && echo "PASS: 32-bit code ran inside; outside it $native_before, as before"
exit $status
