#!/usr/bin/env bash
# Peak memory of runs on a large library: the program holds one copy of the library, never a
# second one (upper-cased, edited or moved to grow). Measured as what the large library adds
# to the peak of a run on a tiny one, as a ratio of its size, so that neither the program's
# own footprint nor the machine enters. Native only: under Wine the emulator's memory would.
# Usage: memory_test.sh PROGRAM
source "$(dirname "$0")/script_lib.sh" "$@"
cd "$tmp" && mkdir sim prod
library 10 tiny.cfg && library 300000 big.cfg && size=$(stat -c %s big.cfg)

# measure LIBRARY CHANGE ACTION FOLDER TITLE: one run on a fresh copy of LIBRARY, which must
# then grow, shrink or stay (+, -, =); sets kb to the run's peak memory in KiB.
measure() {
  cp "$1" sim/scenery.cfg; rm -f prod/scenery_beforeinstall.cfg
  /usr/bin/time -f %M -o rss "$prog" "$tmp/sim" "$3" "$4" "$5" </dev/null >/dev/null 2>&1
  local change=$(( $(stat -c %s sim/scenery.cfg) - $(stat -c %s "$1") ))
  holds "$3 $5: the run did its work" [ "$( ((change > 0)) && echo + || { ((change < 0)) && echo - || echo =; })" = "$2" ]
  kb=$(tail -1 rss)
}
one_copy() {  # one_copy CHANGE ACTION FOLDER TITLE, on the big library
  measure big.cfg "$@"
  local ratio=$(awk -v k="$kb" -v b="$base" -v s="$size" 'BEGIN { printf "%.2f", (k - b) * 1024 / s }')
  echo "$2 $4: beyond a tiny library's run, $ratio times the library"
  check "$2 $4 holds one copy of the library" "$(awk -v r="$ratio" 'BEGIN { print !(r <= 1.25) }')"
}
measure tiny.cfg + ADD "$tmp/prod" "Memory Product"; base=$kb
one_copy + ADD "$tmp/prod" "Memory Product"
one_copy - REMOVE 'D:\Sim Addons\Generated Scenery Pack 150000\Scenery' "Any Title"
one_copy = ADD "$tmp/prod" "Generated Scenery Region 150000"
finish memory
