#!/usr/bin/env bash
# Hostile runs: killed mid-write, a full disk, libraries too large or endless, metadata and links
# to keep, odd input; the library is always exactly the old or the new bytes.
source "$(dirname "$0")/script_lib.sh" "$@"
trap 'umount "$tmp/sim" 2>/dev/null; rm -rf "$tmp"' EXIT
cd "$tmp" && mkdir sim prod
sim=$(winpath "$tmp/sim") prod=$(winpath "$tmp/prod")
temporaries() { find sim prod -name '*.sceneryreg-*.tmp' | wc -l; }
# private MODE FILE...: each FILE has MODE; under Wine, which maps the DACL a file is created with
# to the owner's and the group's bits alike, others get none of MODE's absent bits.
private() {
  local f; for f in "${@:2}"; do local m=$(stat -c %a "$f"); [ "$m" = "$1" ] ||
    { [ -n "$emu" ] && (( (8#$m & ~8#$1 & 8#007) == 0 )); } || return; done
}
library 20000 old.cfg  # about 2.5 MB

# Killed while it writes (and holds the lock), then at random moments: the old or the new
# library, an exact backup or none, at most one temporary, which the next run removes at once.
for k in $(seq 40); do cat old.cfg; done > big.cfg
cp big.cfg sim/scenery.cfg
$emu "$prog" "$sim" ADD "$prod" Killed </dev/null >/dev/null 2>&1 & pid=$!
until compgen -G 'sim/*.sceneryreg-*.tmp' >/dev/null || ! kill -0 $pid 2>/dev/null; do :; done
kill -9 "$pid" 2>/dev/null; wait "$pid" 2>/dev/null
holds "one run was killed while it wrote" \
  eval '[ "$(temporaries)" = 1 ] && cmp -s sim/scenery.cfg big.cfg'
rm -f big.cfg
{ cat old.cfg; section 20001 20001 Killed "$prod"; } > new.cfg
t0=$(date +%s%N); cp old.cfg sim/scenery.cfg; run "$sim" ADD "$prod" Killed
full_us=$(( ($(date +%s%N) - t0) / 1000 )) bad=0
for i in $(seq 30); do
  cp old.cfg sim/scenery.cfg; rm -f prod/scenery_beforeinstall.cfg
  $emu "$prog" "$sim" ADD "$prod" Killed </dev/null >/dev/null 2>&1 & pid=$!
  sleep "$(awk -v us="$full_us" -v r="$RANDOM" \
    'BEGIN { printf "%.6f", us * 1.2 * r / 32768 / 1e6 }')"
  kill -9 "$pid" 2>/dev/null; wait "$pid" 2>/dev/null
  { cmp -s sim/scenery.cfg old.cfg || cmp -s sim/scenery.cfg new.cfg; } &&
    [ "$(temporaries)" -le 2 ] &&
    { [ ! -e prod/scenery_beforeinstall.cfg ] || cmp -s prod/scenery_beforeinstall.cfg old.cfg; } ||
    bad=$((bad + 1))
done
check "a killed run leaves the old or the new bytes, and a temporary at most" "$bad" "$bad of 30"
# Under Wine another program may cut the library short under the run's view: unless the cut came
# before the read, or after the save, the run fails and leaves the cut library as it is.
if [ -n "$emu" ]; then
  for k in $(seq 8); do cat old.cfg; done > big.cfg && rm -f sim/*-lock
  cp big.cfg sim/scenery.cfg
  $emu "$prog" --unattended "$sim" ADD "$prod" Cut </dev/null >cut.out 2>/dev/null & pid=$!
  until [ -e sim/scenery.cfg.sceneryreg-lock ] || ! kill -0 $pid 2>/dev/null; do :; done
  truncate -s 1000 sim/scenery.cfg; wait $pid; rc=$?
  holds "a library cut short during the run" eval '{ [ $rc = 17 ] &&
    cmp -s sim/scenery.cfg <(head -c 1000 big.cfg); } || grep -q added cut.out'
fi
cp old.cfg sim/scenery.cfg; run "$sim" ADD "$prod" Killed
holds "the next run gets the lock and cleans up" \
  eval '[ "$(temporaries)" = 0 ] && cmp -s sim/scenery.cfg new.cfg'

# The disk fills up during the write-back: a 4 MB file system, or else a file-size limit.
cp old.cfg sim/scenery.cfg; rm -f prod/scenery_beforeinstall.cfg
if mount -t tmpfs -o size=4m tmpfs sim 2>/dev/null; then
  cp old.cfg sim/scenery.cfg; run "$sim" ADD "$prod" "Too Big"
else
  (trap '' XFSZ; ulimit -f $(( $(stat -c %s old.cfg) / 1024 - 8 ))
   run "$sim" ADD "$prod" "Too Big"; printf %s "$out" > full.out)
  out=$(cat full.out)
fi
holds "full disk: library unchanged, the failure reported, no temporary" \
  eval 'cmp -s sim/scenery.cfg old.cfg && [[ "$out" == *"$SAVE_FAILED"* ]] &&
    [ "$(temporaries)" = 0 ]'
umount sim 2>/dev/null

# Past the size limit: a sparse 4 GiB library with the product at the start, and a link to an
# endless device, are refused with their message and exit 0, untouched and with no backup.
rm -f sim/scenery.cfg prod/scenery_beforeinstall.cfg
printf '[Area.001]\r\nlocal=%s\r\nLayer=1\r\n\r\n[Area.002]\r\n' "$prod" > sim/scenery.cfg
truncate -s 4G sim/scenery.cfg
run "$sim" REMOVE "$prod" Large
holds "4 GiB library: refused, untouched" eval '[ "$rc" = 0 ] && [[ "$out" == *"$TOO_LARGE"* ]] &&
  [ "$(stat -c %s sim/scenery.cfg)" = 4294967296 ] && [ ! -e prod/scenery_beforeinstall.cfg ]'
rm -f sim/scenery.cfg
if [ -z "$emu" ]; then
  ln -s /dev/zero sim/scenery.cfg && run "$sim" REMOVE "$prod" Endless
  holds "endless library: refused" eval '[ "$rc" = 0 ] && [[ "$out" == *"$TOO_LARGE"* ]]'
  rm -f sim/scenery.cfg
fi

# What the user set on the library survives its replacement: as root, owner, group, mode, ACL and
# attributes; under Wine the hidden attribute and the mode bits, a backup never more open.
rm -f prod/scenery_beforeinstall.cfg && library 12 sim/scenery.cfg
if [ -n "$emu" ]; then
  setfattr -n user.DOSATTRIB -v '"0x2"' sim/scenery.cfg && chmod 600 sim/scenery.cfg
  run "$sim" ADD "$prod" Kept
  holds "metadata: the hidden attribute and mode 600 are kept" eval '
    grep -q Title=Kept sim/scenery.cfg &&
    [ "$(getfattr --only-values -n user.DOSATTRIB sim/scenery.cfg)" = 0x2 ] &&
    private 600 sim/scenery.cfg prod/scenery_beforeinstall.cfg'
  rm prod/scenery_beforeinstall.cfg && chmod 400 sim/scenery.cfg && run "$sim" REMOVE "$prod" Kept
  holds "metadata: the backup of a read-only library is no more open" eval '
    private 400 prod/scenery_beforeinstall.cfg'
  chmod 644 sim/scenery.cfg && rm prod/scenery_beforeinstall.cfg && run "$sim" REMOVE "$prod" Kept
  holds "metadata: mode 644 is kept" eval '! grep -q Title=Kept sim/scenery.cfg &&
    [ "$(stat -c %a sim/scenery.cfg prod/scenery_beforeinstall.cfg | tr "\n" " ")" = "644 644 " ]'
elif [ "$(id -u)" = 0 ]; then
  chown 65534:65534 sim/scenery.cfg && chmod 640 sim/scenery.cfg
  setfacl -m u:65534:rw,g:0:r sim/scenery.cfg
  setfattr -n user.origin -v installer sim/scenery.cfg
  before=$(getfacl -c sim/scenery.cfg; stat -c '%u:%g %a' sim/scenery.cfg)
  run "$sim" ADD "$prod" Kept
  holds "metadata: owner, group, mode, ACL and attributes kept" \
    eval 'grep -q Title=Kept sim/scenery.cfg &&
    [ "$(getfacl -c sim/scenery.cfg; stat -c "%u:%g %a" sim/scenery.cfg)" = "$before" ] &&
    [ "$(getfattr --only-values -n user.origin sim/scenery.cfg)" = installer ]'
  # A member of the library's group who does not own it keeps the group, at least.
  chmod 755 "$tmp" && mkdir -m 775 group && chgrp 4242 group && library 12 group/scenery.cfg
  chgrp 4242 group/scenery.cfg && chmod 664 group/scenery.cfg && chmod 777 prod
  setpriv --reuid=65534 --regid=65534 --groups=4242 "$prog" "$tmp/group" ADD "$prod" Grouped \
    </dev/null >/dev/null
  holds "metadata: a group member keeps the group" eval 'grep -q Title=Grouped group/scenery.cfg &&
    [ "$(stat -c "%u:%g %a" group/scenery.cfg)" = "65534:4242 664" ]'
  # The library's own ACL, or none, whatever the folder's default ACL would give a new file.
  mkdir acl && setfacl -d -m g::-,u:1002:rw acl && library 12 acl/scenery.cfg
  setfacl -b acl/scenery.cfg && chgrp 1003 acl/scenery.cfg && chmod 664 acl/scenery.cfg
  run "$tmp/acl" ADD "$prod" Defaults
  holds "metadata: no ACL from the folder's defaults" \
    eval 'grep -q Title=Defaults acl/scenery.cfg &&
    [ "$(getfacl -cp acl/scenery.cfg | grep -c :)" = 3 ] &&
    [ "$(stat -c "%g %a" acl/scenery.cfg)" = "1003 664" ]'
  # A user the ACL lets write another's private library leaves its owner every right, and
  # removes the leftover of a dead root run, which it may not open for writing.
  mkdir -m 777 owned && library 12 owned/scenery.cfg && chown 1000:1000 owned/scenery.cfg
  chmod 600 owned/scenery.cfg && setfacl -m u:1001:rw owned/scenery.cfg
  echo half > owned/scenery.cfg.sceneryreg-4999999-0.tmp && chmod 600 owned/*.tmp
  setpriv --reuid=1001 --regid=1001 --clear-groups "$prog" "$tmp/owned" ADD "$prod" Shared \
    </dev/null >/dev/null
  holds "owner keeps their rights; a root leftover goes" \
    eval 'grep -q Title=Shared owned/scenery.cfg &&
    setpriv --reuid=1000 --regid=1000 --clear-groups \
      test -r owned/scenery.cfg -a -w owned/scenery.cfg &&
    [ "$(ls owned)" = scenery.cfg ]'
  # An owner outside the library's group hands the group's rights to a named entry; whom the
  # mask held to reading stays there, as does a member of the run's group who read as another.
  mkdir -m 777 masked && library 12 masked/scenery.cfg && chown 1000:4243 masked/scenery.cfg
  setfacl -n -m u:1002:rw,g::rw,m::r masked/scenery.cfg
  setpriv --reuid=1000 --regid=1000 --clear-groups "$prog" "$tmp/masked" ADD "$prod" Masked \
    </dev/null >/dev/null
  reads() { setpriv "$@" test -r masked/scenery.cfg -a ! -w masked/scenery.cfg; }
  holds "ACL: no named entry gains a right" eval 'grep -q Title=Masked masked/scenery.cfg &&
    reads --reuid=1002 --regid=1002 --clear-groups && reads --reuid=1005 --regid=1000 \
      --clear-groups && reads --reuid=1003 --regid=1003 --groups=4243'
else
  echo "skipped: owner, group, ACL and other users need root (setpriv)"
fi

# A link to the library stays a link (also chained and absolute), its target gets the new library,
# the backup as private; Wine shows a Unix link as a plain file. A link at the backup's name
# counts as a backup, and nothing is written where it leads.
mkdir store && library 12 store/real.cfg && chmod 600 store/real.cfg
ln -s "$tmp/store/real.cfg" sim/hop.cfg
rm -f sim/scenery.cfg prod/scenery_beforeinstall.cfg && ln -s hop.cfg sim/scenery.cfg
run "$sim" ADD "$prod" Linked
[ -n "$emu" ] || holds "linked library: links kept, target replaced, backup as private" eval '
  [ "$(ls store sim | grep -v sceneryreg-lock | tr "\n" " ")" = \
    "sim: hop.cfg scenery.cfg  store: real.cfg " ] &&
  grep -q Title=Linked store/real.cfg && [ "$(readlink sim/scenery.cfg)" = hop.cfg ] &&
  private 600 prod/scenery_beforeinstall.cfg'
rm prod/scenery_beforeinstall.cfg && ln -s ../planted prod/scenery_beforeinstall.cfg
run "$sim" REMOVE "$prod" Linked && run "$sim" ADD "$prod" Linked
holds "a link at the backup's name is not followed" eval '[[ "$out" != *Backup* ]] &&
  [ ! -e planted ]'
rm sim/* prod/*

# odd NAME LIBRARY TITLE AREA: ADD appends section AREA to LIBRARY, and REMOVE takes it out.
odd() {
  cp "$2" sim/scenery.cfg; rm -f prod/scenery_beforeinstall.cfg
  run "$sim" ADD "$prod" "$3"
  holds "$1: added" cmp -s sim/scenery.cfg <(cat "$2"; section "$4" "$((10#$4))" "$3" "$prod")
  holds "$1: backup exact" cmp -s prod/scenery_beforeinstall.cfg "$2"
  run "$sim" REMOVE "$prod" "$3"
  holds "$1: removed" cmp -s sim/scenery.cfg <(cat "$2"; printf '\r\n\r\n')
}
library 12 small.cfg
# The Windows command line holds at most 32767 characters in all.
long=$([ -n "$emu" ] && echo 16000 || echo 32768)
odd "long title" small.cfg "$(head -c "$long" /dev/zero | tr '\0' T)" 013
# Wine turns arguments into Unicode through the host's locale, so raw bytes arrive only natively.
high=$(printf "$(printf '\\%03o' $(seq 128 255))")
[ -n "$emu" ] || odd "title with bytes 128 to 255" small.cfg "Caf$high" 013
{ printf '[Area.001]Layer=1'; head -c 10485760 /dev/zero | tr '\0' x; } > oneline.cfg
odd "10 MB without a line end" oneline.cfg "One Line" 002

# A 20,000-byte title that stands everywhere in 20 MB but as a whole value only at the end:
# every occurrence must be passed over in one sweep, not searched again from scratch.
{ yes 'Title=' | tr -d '\n' | head -c 19999998; printf '\r\n[Area.001]\r\nLayer=1\r\n'; } \
  > everywhere.cfg
cp everywhere.cfg sim/scenery.cfg
run "$sim" ADD "$prod" "$(yes 'Title=' | tr -d '\n' | head -c 19998)"
holds "title standing everywhere: found taken, library unchanged" eval '[ "$rc" = 0 ] &&
  [[ "$out" == *"found using the same name"* ]] && cmp -s everywhere.cfg sim/scenery.cfg'

finish hostile
