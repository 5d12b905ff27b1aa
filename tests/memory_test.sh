#!/usr/bin/env bash
# Peak memory of runs on a large library: the program holds one copy of the library, never a
# second one (upper-cased, edited or moved to grow). Measured as what the large library adds
# to the peak of a run on a tiny one, as a ratio of its size, so that neither the program's
# own footprint nor the machine enters. Native only: under Wine the emulator's memory would.
# Usage: memory_test.sh PROGRAM
source "$(dirname "$0")/script_lib.sh" "$@"
tmp=$(mktemp -d /tmp/sceneryreg-memory.XXXXXX)
trap 'rm -rf "$tmp"' EXIT
cd "$tmp" && mkdir sim prod

library() {  # library AREAS FILE: realistic sections with CR LF line ends, about 120 bytes each
  awk -v n="$1" -v packs="$tmp/packs" 'BEGIN { ORS = "\r\n"; print "[General]"; print ""
    for (i = 1; i <= n; i++) {
      printf "[Area.%03d]\r\n", i; print "Title=Generated Scenery Region " i
      print "Local=" packs "/Pack " i; print "Layer=" i; print "Active=TRUE"; print ""
    } }' > "$2"
}

# measure NAME SIZE-CHANGE ACTION FOLDER TITLE: one run on a fresh copy of $lib, whose size
# must then grow, shrink or stay (+, -, =); sets kb to the run's peak memory in KiB.
measure() {
  cp "$lib" sim/scenery.cfg; rm -f prod/scenery_beforeinstall.cfg
  /usr/bin/time -f %M -o rss "$prog" "$tmp/sim" "$3" "$4" "$5" </dev/null >/dev/null 2>&1
  kb=$(tail -1 rss)
  local change sign=
  change=$(( $(stat -c %s sim/scenery.cfg) - $(stat -c %s "$lib") ))
  ((change > 0)) && sign=+; ((change < 0)) && sign=-
  holds "$1: the run did its work" [ "${sign:-=}" = "$2" ]
  [ "$lib" = big.cfg ] || return 0
  local ratio
  ratio=$(awk -v k="$kb" -v b="$base_kb" -v s="$size" 'BEGIN { printf "%.2f", (k - b) * 1024 / s }')
  echo "$1: peak $((kb / 1024)) MiB, beyond a tiny library's run $ratio times the library"
  check "$1 holds one copy of the library" "$(awk -v r="$ratio" 'BEGIN { print !(r <= 1.25) }')"
}

lib=tiny.cfg; library 10 "$lib"
measure "tiny ADD" + ADD "$tmp/prod" "Memory Product"; base_kb=$kb
lib=big.cfg; library 400000 "$lib"; size=$(stat -c %s "$lib")
measure "ADD with a backup" + ADD "$tmp/prod" "Memory Product"
measure "REMOVE" - REMOVE "$tmp/packs/Pack 200000" "Any Title"
measure "refused ADD" = ADD "$tmp/prod" "Generated Scenery Region 200000"

finish memory
