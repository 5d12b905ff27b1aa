#!/usr/bin/env bash
# Peak memory: a run holds one copy of the library, never a second (upper-cased, edited, moved to
# grow), measured as what a large library adds to a tiny one's peak, against its size. Native
# only: under Wine the emulator's memory would enter.
source "$(dirname "$0")/script_lib.sh" "$@"
cd "$tmp" && mkdir sim prod
library 10 tiny.cfg && library 300000 big.cfg && size=$(stat -c %s big.cfg)

# one_copy CODE ACTION FOLDER TITLE: an unattended run on a copy of $lib exits CODE and, on the
# big library, adds to the tiny library's peak no more than the library's size and a quarter.
one_copy() {
  cp "$lib" sim/scenery.cfg; rm -f prod/scenery_beforeinstall.cfg
  /usr/bin/time -f %M -o rss "$prog" --unattended "$tmp/sim" "${@:2}" </dev/null >/dev/null 2>&1
  check "$2 $4: exit $1" "$([ $? = "$1" ]; echo $?)"
  kb=$(tail -1 rss) && [ "$lib" = big.cfg ] || return 0
  local ratio
  ratio=$(awk -v k="$kb" -v b="$base" -v s="$size" 'BEGIN { printf "%.2f", (k - b) * 1024 / s }')
  echo "$2 $4: beyond a tiny library's run, $ratio times the library"
  check "$2 $4 holds one copy of the library" "$(awk -v r="$ratio" 'BEGIN { print !(r <= 1.25) }')"
}
lib=tiny.cfg && one_copy 0 ADD "$tmp/prod" "Memory Product" && base=$kb lib=big.cfg
one_copy 0 ADD "$tmp/prod" "Memory Product"
one_copy 0 REMOVE 'D:\Sim Addons\Generated Scenery Pack 150000\Scenery' "Any Title"
one_copy 12 ADD "$tmp/prod" "Generated Scenery Region 150000"
finish memory
