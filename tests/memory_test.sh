#!/usr/bin/env bash
# Peak memory of runs on a large library: the program holds one copy of the library, never a
# second one (upper-cased, edited or moved to grow). Measured as what a large library adds to
# the peak of a run on a tiny one, as a ratio of its size, so the program's own footprint and
# the machine do not enter. Native only: under Wine the emulator's memory swamps the figure.
# Usage: memory_test.sh PROGRAM
source "$(dirname "$0")/script_lib.sh" "$@"
tmp=$(mktemp -d /tmp/sceneryreg-memory.XXXXXX)
trap 'rm -rf "$tmp"' EXIT
cd "$tmp" && mkdir sim prod

# library AREAS FILE: AREAS realistic sections with CR LF line ends, about 120 bytes each.
library() {
  awk -v n="$1" -v packs="$tmp/packs" 'BEGIN { ORS = "\r\n"
    print "[General]"; print "Title=Scenery Library"; print ""
    for (i = 1; i <= n; i++) {
      printf "[Area.%03d]\r\n", i; print "Title=Generated Scenery Region " i
      print "Local=" packs "/Pack " i; print "Layer=" i; print "Active=TRUE"; print ""
    } }' > "$2"
}

# measure NAME CHANGE ACTION FOLDER TITLE: one run on a fresh copy of $lib, which must grow,
# shrink or keep its size as CHANGE (+, - or =) says; sets kb to its peak memory in KiB.
measure() {
  cp "$lib" sim/scenery.cfg; rm -f prod/scenery_beforeinstall.cfg
  /usr/bin/time -f %M -o rss "$prog" "$tmp/sim" "$3" "$4" "$5" </dev/null >/dev/null 2>&1
  kb=$(tail -1 rss)
  local before after
  before=$(stat -c %s "$lib") after=$(stat -c %s sim/scenery.cfg)
  [ "$before" -lt "$after" ] && changed=+ || { [ "$before" -gt "$after" ] && changed=- || changed==; }
  check "$1: the run did its work" "$([ "$changed" = "$2" ]; echo $?)" "size $before to $after"
}

lib=tiny.cfg; library 10 "$lib"
measure "tiny ADD" + ADD "$tmp/prod" "Memory Product"; base_kb=$kb

lib=big.cfg; library 400000 "$lib"
size=$(stat -c %s "$lib")
one_copy() {  # one_copy NAME: the last run's peak beyond the tiny run's, against the library
  local ratio
  ratio=$(awk -v k="$kb" -v b="$base_kb" -v s="$size" 'BEGIN { printf "%.2f", (k - b) * 1024 / s }')
  echo "$1: peak $((kb / 1024)) MiB, beyond a tiny library's run $ratio times the $((size / 1048576)) MiB library"
  check "$1 holds one copy of the library" "$(awk -v r="$ratio" 'BEGIN { print !(r <= 1.25) }')" "$ratio"
}
measure "ADD with a backup" + ADD "$tmp/prod" "Memory Product"; one_copy "ADD with a backup"
measure "REMOVE" - REMOVE "$tmp/packs/Pack 200000" "Any Title"; one_copy "REMOVE"
measure "refused ADD" = ADD "$tmp/prod" "Generated Scenery Region 200000"; one_copy "refused ADD"

finish memory
