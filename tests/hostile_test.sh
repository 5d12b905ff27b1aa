#!/usr/bin/env bash
# Hostile runs of the built program: killed mid-write, a full disk, huge and odd input, a
# read-only library. The library must always be exactly the old or exactly the new bytes.
# Usage: hostile_test.sh PROGRAM [EMULATOR]   (EMULATOR runs a Windows build under Wine)
set -u
prog=$(realpath "$1")
emu=${2:-}
unset DISPLAY WAYLAND_DISPLAY
tmp=$(mktemp -d /tmp/sceneryreg-hostile.XXXXXX)
mounted=""
cleanup() { [ -n "$mounted" ] && umount "$mounted" 2>/dev/null; rm -rf "$tmp"; }
trap cleanup EXIT
passed=0 failed=0
CRLF=$'\r\n'
SAVE_FAILED="Sorry, but this program could not save your 'Scenery.cfg' file, your scenery library has not been changed"

if [ -n "$emu" ]; then winpath() { local p=${1//\//\\}; printf 'Z:%s' "$p"; }
else winpath() { printf '%s' "$1"; }; fi

check() {
  if [ "$2" = 0 ]; then passed=$((passed + 1)); else failed=$((failed + 1)); echo "FAIL: $1${3:+ ($3)}"; fi
}
run() {  # run ARGS...: sets rc and out
  timeout 120 $emu "$prog" "$@" </dev/null >"$tmp/out" 2>"$tmp/err"; rc=$?
  out=$(cat "$tmp/out")
}

# library AREAS FILE: a library of AREAS realistic sections with CR LF line ends.
library() {
  awk -v n="$1" 'BEGIN { ORS = "\r\n"
    print "[General]"; print "Title=Scenery Library"; print ""
    for (i = 1; i <= n; i++) {
      printf "[Area.%03d]\r\n", i
      print "Title=Generated Scenery Region " i
      print "Local=D:\\Sim Addons\\Generated Scenery Pack " i "\\Scenery"
      print "Layer=" i; print "Active=TRUE"; print "Required=FALSE"; print ""
    } }' > "$2"
}
section() {
  printf '\r\n[Area.%s]\r\nTitle=%s\r\nlocal=%s\r\nActive=TRUE\r\nLayer=%s\r\n\r\n' "$1" "$3" "$4" "$2"
}
temporaries() { find "$1" -maxdepth 1 -name '*.sceneryreg-*' | wc -l; }

# --- killed at random moments while writing back (native: Wine does not die as one process)
if [ -z "$emu" ]; then
  mkdir -p "$tmp/kill/sim" "$tmp/kill/prod"
  cd "$tmp/kill"
  library 200000 old.cfg
  { cat old.cfg; section 200001 200001 "Killed Product" "$tmp/kill/prod"; } > new.cfg
  cp old.cfg sim/scenery.cfg
  t0=$(date +%s%N); run "$tmp/kill/sim" ADD "$tmp/kill/prod" "Killed Product"; full_us=$(( ($(date +%s%N) - t0) / 1000 ))
  check "uninterrupted run writes the new library" "$(cmp -s sim/scenery.cfg new.cfg; echo $?)"
  torn=0 piled=0 outcomes_old=0 outcomes_new=0 left=0
  for i in $(seq 1 40); do
    cp old.cfg sim/scenery.cfg; rm -f prod/scenery_beforeinstall.cfg
    "$prog" "$tmp/kill/sim" ADD "$tmp/kill/prod" "Killed Product" </dev/null >/dev/null 2>&1 &
    pid=$!
    sleep "$(awk -v us="$full_us" -v r="$RANDOM" 'BEGIN { printf "%.6f", us * 1.1 * r / 32768 / 1e6 }')"
    kill -9 "$pid" 2>/dev/null; wait "$pid" 2>/dev/null
    if cmp -s sim/scenery.cfg old.cfg; then outcomes_old=$((outcomes_old + 1))
    elif cmp -s sim/scenery.cfg new.cfg; then outcomes_new=$((outcomes_new + 1))
    else torn=$((torn + 1)); fi
    if [ -e prod/scenery_beforeinstall.cfg ] && ! cmp -s prod/scenery_beforeinstall.cfg old.cfg; then torn=$((torn + 1)); fi
    [ "$(temporaries sim)" -le 1 ] && [ "$(temporaries prod)" -le 1 ] || piled=$((piled + 1))
    [ "$(temporaries sim)" = 1 ] && left=$((left + 1))
  done
  echo "killed 40 runs: $outcomes_old left the old library, $outcomes_new the new one, $left a temporary"
  check "a killed run leaves the old or the new bytes, never a mix" "$torn" "$torn torn"
  check "temporaries never pile up" "$piled"
  cp old.cfg sim/scenery.cfg
  run "$tmp/kill/sim" ADD "$tmp/kill/prod" "Killed Product"
  check "the next run cleans what a killed run left" \
    "$([ "$(temporaries sim)" = 0 ] && cmp -s sim/scenery.cfg new.cfg; echo $?)"
fi

# --- the disk fills up during the write-back -----------------------------------------------
mkdir -p "$tmp/full/prod" "$tmp/full/sim"
library 20000 "$tmp/full/old.cfg"      # about 2.5 MB
if mount -t tmpfs -o size=4m tmpfs "$tmp/full/sim" 2>/dev/null; then
  mounted="$tmp/full/sim"
  cp "$tmp/full/old.cfg" "$tmp/full/sim/scenery.cfg"
  cd "$tmp/full"
  run "$(winpath "$tmp/full/sim")" ADD "$(winpath "$tmp/full/prod")" "Too Big"
else
  # No mount here: a file-size limit on the child fails its writes instead.
  cp "$tmp/full/old.cfg" "$tmp/full/sim/scenery.cfg"
  cd "$tmp/full"
  size_kb=$(( $(stat -c %s old.cfg) / 1024 - 8 ))
  (trap '' XFSZ; ulimit -f "$size_kb"
   exec timeout 120 $emu "$prog" "$(winpath "$tmp/full/sim")" ADD "$(winpath "$tmp/full/prod")" "Too Big" \
     </dev/null >"$tmp/out" 2>"$tmp/err"); rc=$?; out=$(cat "$tmp/out")
fi
check "full disk: library byte-identical" "$(cmp -s "$tmp/full/sim/scenery.cfg" "$tmp/full/old.cfg"; echo $?)"
check "full disk: the save failure is reported" "$([[ "$out" == *"$SAVE_FAILED"* ]]; echo $?)"
check "full disk: no temporary left" "$(temporaries "$tmp/full/sim")"
[ -n "$mounted" ] && umount "$mounted" && mounted=""

# --- read-only library -----------------------------------------------------------------------
mkdir -p "$tmp/ro/sim" "$tmp/ro/prod"
cd "$tmp/ro"
library 12 old.cfg
cp old.cfg sim/scenery.cfg
chmod a-w sim/scenery.cfg
run "$(winpath "$tmp/ro/sim")" ADD "$(winpath "$tmp/ro/prod")" "Read Only"
check "read-only library is not replaced" "$(cmp -s sim/scenery.cfg old.cfg; echo $?)"
check "read-only library: the save failure is reported" "$([[ "$out" == *"$SAVE_FAILED"* ]]; echo $?)"
check "read-only library keeps its mode" "$([ "$(stat -c %a sim/scenery.cfg)" = 444 ]; echo $?)"

# --- odd input ---------------------------------------------------------------------------------
mkdir -p "$tmp/odd/sim" "$tmp/odd/prod"
cd "$tmp/odd"
sim=$(winpath "$tmp/odd/sim") prod=$(winpath "$tmp/odd/prod")

library 12 old.cfg
cp old.cfg sim/scenery.cfg
# The Windows command line holds at most 32767 characters in all.
[ -n "$emu" ] && long_len=16000 || long_len=32768
long_title=$(head -c "$long_len" /dev/zero | tr '\0' 'T')
run "$sim" ADD "$prod" "$long_title"
check "long title: exit 0" "$rc"
check "long title is written whole" \
  "$({ cat old.cfg; section 013 13 "$long_title" "$prod"; } | cmp -s - sim/scenery.cfg; echo $?)"
run "$sim" REMOVE "$prod" "$long_title"
check "long title's section can be removed again" \
  "$({ cat old.cfg; printf '\r\n\r\n'; } | cmp -s - sim/scenery.cfg; echo $?)"

# Wine turns arguments into Unicode through the host's locale, so raw bytes arrive only natively.
if [ -z "$emu" ]; then
  cp old.cfg sim/scenery.cfg; rm -f prod/scenery_beforeinstall.cfg
  high=$(printf "$(printf '\\%03o' $(seq 128 255))")
  run "$sim" ADD "$prod" "Caf$high"
  check "title with bytes 128 to 255 is written byte for byte" \
    "$({ cat old.cfg; section 013 13 "Caf$high" "$prod"; } | cmp -s - sim/scenery.cfg; echo $?)"
fi

head -c 1048576 /dev/urandom > random.cfg
cp random.cfg sim/scenery.cfg; rm -f prod/scenery_beforeinstall.cfg
run "$sim" ADD "$prod" "Random"
check "random library: exit 0" "$rc" "$(head -c 300 "$tmp/err")"
check "random library: its bytes are kept as a prefix" \
  "$(cmp -s -n 1048576 random.cfg sim/scenery.cfg; echo $?)"
check "random library: backup is exact" "$(cmp -s random.cfg prod/scenery_beforeinstall.cfg; echo $?)"

{ printf '[Area.001]Layer=1'; head -c 10485760 /dev/zero | tr '\0' 'x'; } > oneline.cfg
cp oneline.cfg sim/scenery.cfg
run "$sim" ADD "$prod" "One Line"
check "10 MB without a line end: the section is appended" \
  "$({ cat oneline.cfg; section 002 2 "One Line" "$prod"; } | cmp -s - sim/scenery.cfg; echo $?)"

# A 20,000-byte title that stands everywhere in 20 MB but as a whole value only at the end:
# every occurrence must be passed over in one sweep, not searched again from scratch.
{ yes 'Title=' | tr -d '\n' | head -c 19999998; printf '\r\n[Area.001]\r\nLayer=1\r\n'; } > everywhere.cfg
cp everywhere.cfg sim/scenery.cfg
everywhere_title=$(yes 'Title=' | tr -d '\n' | head -c 19998)
run "$sim" ADD "$prod" "$everywhere_title"
check "title standing everywhere: finishes and is found taken" \
  "$([ "$rc" = 0 ] && [[ "$out" == *"Caution another product found using the same name"* ]]; echo $?)"
check "title standing everywhere: library unchanged" "$(cmp -s everywhere.cfg sim/scenery.cfg; echo $?)"

echo "hostile: $passed passed, $failed failed"
[ "$failed" = 0 ]
