#!/usr/bin/env bash
# Hostile runs of the built program: killed mid-write, a full disk, huge and odd input, a
# read-only library. The library must always be exactly the old or exactly the new bytes.
# Usage: hostile_test.sh PROGRAM [EMULATOR]   (EMULATOR runs a Windows build under Wine)
source "$(dirname "$0")/script_lib.sh" "$@"
tmp=$(mktemp -d /tmp/sceneryreg-hostile.XXXXXX)
mounted=""
cleanup() { [ -n "$mounted" ] && umount "$mounted" 2>/dev/null; rm -rf "$tmp"; }
trap cleanup EXIT

run() { timeout 120 $emu "$prog" "$@" </dev/null >"$tmp/out" 2>"$tmp/err"; rc=$?; out=$(cat "$tmp/out"); }

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
temporaries() { find "$1" -maxdepth 1 -name '*.sceneryreg-*.tmp' | wc -l; }
# scratch NAME: a case folder with sim/ and prod/, entered; sets sim and prod as the program sees them.
scratch() { mkdir -p "$tmp/$1/sim" "$tmp/$1/prod"; cd "$tmp/$1"; sim=$(winpath "$PWD/sim") prod=$(winpath "$PWD/prod"); }

# --- killed at random moments while writing back (native: Wine does not die as one process)
if [ -z "$emu" ]; then
  scratch kill
  library 200000 old.cfg
  { cat old.cfg; section 200001 200001 "Killed Product" "$prod"; } > new.cfg
  cp old.cfg sim/scenery.cfg
  t0=$(date +%s%N); run "$sim" ADD "$prod" "Killed Product"; full_us=$(( ($(date +%s%N) - t0) / 1000 ))
  holds "uninterrupted run writes the new library" cmp -s sim/scenery.cfg new.cfg
  torn=0 piled=0 outcomes_old=0 outcomes_new=0 left=0
  for i in $(seq 1 40); do
    cp old.cfg sim/scenery.cfg; rm -f prod/scenery_beforeinstall.cfg
    "$prog" "$sim" ADD "$prod" "Killed Product" </dev/null >/dev/null 2>&1 &
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
  run "$sim" ADD "$prod" "Killed Product"
  holds "the next run cleans what a killed run left" \
    eval '[ "$(temporaries sim)" = 0 ] && cmp -s sim/scenery.cfg new.cfg'
fi

# --- the disk fills up during the write-back -----------------------------------------------
scratch full
library 20000 old.cfg      # about 2.5 MB
if mount -t tmpfs -o size=4m tmpfs "$tmp/full/sim" 2>/dev/null; then
  mounted="$tmp/full/sim"
  cp old.cfg sim/scenery.cfg
  run "$sim" ADD "$prod" "Too Big"
else
  # No mount here: a file-size limit on the child fails its writes instead.
  cp old.cfg sim/scenery.cfg
  size_kb=$(( $(stat -c %s old.cfg) / 1024 - 8 ))
  (trap '' XFSZ; ulimit -f "$size_kb"; run "$sim" ADD "$prod" "Too Big"; printf '%s' "$out" > "$tmp/out_full")
  out=$(cat "$tmp/out_full")
fi
holds "full disk: library byte-identical" cmp -s sim/scenery.cfg old.cfg
holds "full disk: the save failure is reported" eval '[[ "$out" == *"$SAVE_FAILED"* ]]'
check "full disk: no temporary left" "$(temporaries sim)"
[ -n "$mounted" ] && umount "$mounted" && mounted=""

# --- read-only library -----------------------------------------------------------------------
scratch ro
library 12 old.cfg
cp old.cfg sim/scenery.cfg
chmod a-w sim/scenery.cfg
run "$sim" ADD "$prod" "Read Only"
holds "read-only library is not replaced" cmp -s sim/scenery.cfg old.cfg
holds "read-only library: the save failure is reported" eval '[[ "$out" == *"$SAVE_FAILED"* ]]'
holds "read-only library keeps its mode" [ "$(stat -c %a sim/scenery.cfg)" = 444 ]

# --- libraries too large to address ----------------------------------------------------------
TOO_LARGE="Sorry, but your 'Scenery.cfg' file is too large for this program (over 1 GiB), your scenery library has not been changed"
scratch large
# 4 GiB, sparse, with the product's section at the start: a cut there must not lose the rest.
printf '[Area.001]\r\nlocal=%s\r\nLayer=1\r\n\r\n[Area.002]\r\n' "$prod" > sim/scenery.cfg
truncate -s 4G sim/scenery.cfg
run "$sim" REMOVE "$prod" "Large"
holds "4 GiB library: refused with its message, exit 0" eval '[ "$rc" = 0 ] && [[ "$out" == *"$TOO_LARGE"* ]]'
holds "4 GiB library: untouched, no backup" \
  eval '[ "$(stat -c %s sim/scenery.cfg)" = 4294967296 ] && [ ! -e prod/scenery_beforeinstall.cfg ]'
rm -f sim/scenery.cfg
if [ -z "$emu" ]; then
  ln -s /dev/zero sim/scenery.cfg
  run "$sim" ADD "$prod" "Endless"
  holds "endless library: refused with its message, exit 0" eval '[ "$rc" = 0 ] && [[ "$out" == *"$TOO_LARGE"* ]]'
  rm -f sim/scenery.cfg
fi

# --- what the user set on the library survives its replacement (as root, natively) -----------
if [ -z "$emu" ] && [ "$(id -u)" = 0 ]; then
  scratch metadata
  library 12 sim/scenery.cfg
  chown 65534:65534 sim/scenery.cfg
  chmod 640 sim/scenery.cfg
  if setfacl -m u:65534:rw,g:0:r sim/scenery.cfg 2>/dev/null &&
     setfattr -n user.origin -v installer sim/scenery.cfg 2>/dev/null; then
    acl_before=$(getfacl -c sim/scenery.cfg 2>/dev/null) stat_before=$(stat -c '%u:%g %a' sim/scenery.cfg)
    run "$sim" ADD "$prod" "Kept"
    check "metadata: the run added its section" "$(grep -c 'Title=Kept' sim/scenery.cfg | grep -qx 1; echo $?)"
    holds "metadata: owner, group and mode are kept" [ "$(stat -c '%u:%g %a' sim/scenery.cfg)" = "$stat_before" ]
    holds "metadata: the ACL is kept" [ "$(getfacl -c sim/scenery.cfg 2>/dev/null)" = "$acl_before" ]
    holds "metadata: extended attributes are kept" \
      [ "$(getfattr --only-values -n user.origin sim/scenery.cfg 2>/dev/null)" = installer ]
  else
    echo "SKIP: metadata (no ACL or extended attribute support here)"
  fi
fi

# --- odd input ---------------------------------------------------------------------------------
scratch odd
library 12 old.cfg
cp old.cfg sim/scenery.cfg
# The Windows command line holds at most 32767 characters in all.
[ -n "$emu" ] && long_len=16000 || long_len=32768
long_title=$(head -c "$long_len" /dev/zero | tr '\0' 'T')
run "$sim" ADD "$prod" "$long_title"
check "long title: exit 0" "$rc"
{ cat old.cfg; section 013 13 "$long_title" "$prod"; } > expected.cfg
holds "long title is written whole" cmp -s expected.cfg sim/scenery.cfg
run "$sim" REMOVE "$prod" "$long_title"
{ cat old.cfg; printf '\r\n\r\n'; } > expected.cfg
holds "long title's section can be removed again" cmp -s expected.cfg sim/scenery.cfg

# Wine turns arguments into Unicode through the host's locale, so raw bytes arrive only natively.
if [ -z "$emu" ]; then
  cp old.cfg sim/scenery.cfg; rm -f prod/scenery_beforeinstall.cfg
  high=$(printf "$(printf '\\%03o' $(seq 128 255))")
  run "$sim" ADD "$prod" "Caf$high"
  { cat old.cfg; section 013 13 "Caf$high" "$prod"; } > expected.cfg
  holds "title with bytes 128 to 255 is written byte for byte" cmp -s expected.cfg sim/scenery.cfg
fi

head -c 1048576 /dev/urandom > random.cfg
cp random.cfg sim/scenery.cfg; rm -f prod/scenery_beforeinstall.cfg
run "$sim" ADD "$prod" "Random"
check "random library: exit 0" "$rc" "$(head -c 300 "$tmp/err")"
holds "random library: its bytes are kept as a prefix" cmp -s -n 1048576 random.cfg sim/scenery.cfg
holds "random library: backup is exact" cmp -s random.cfg prod/scenery_beforeinstall.cfg

{ printf '[Area.001]Layer=1'; head -c 10485760 /dev/zero | tr '\0' 'x'; } > oneline.cfg
cp oneline.cfg sim/scenery.cfg
run "$sim" ADD "$prod" "One Line"
{ cat oneline.cfg; section 002 2 "One Line" "$prod"; } > expected.cfg
holds "10 MB without a line end: the section is appended" cmp -s expected.cfg sim/scenery.cfg

# A 20,000-byte title that stands everywhere in 20 MB but as a whole value only at the end:
# every occurrence must be passed over in one sweep, not searched again from scratch.
{ yes 'Title=' | tr -d '\n' | head -c 19999998; printf '\r\n[Area.001]\r\nLayer=1\r\n'; } > everywhere.cfg
cp everywhere.cfg sim/scenery.cfg
run "$sim" ADD "$prod" "$(yes 'Title=' | tr -d '\n' | head -c 19998)"
holds "title standing everywhere: finishes and is found taken" \
  eval '[ "$rc" = 0 ] && [[ "$out" == *"Caution another product found using the same name"* ]]'
holds "title standing everywhere: library unchanged" cmp -s everywhere.cfg sim/scenery.cfg

finish hostile
