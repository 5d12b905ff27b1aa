#!/usr/bin/env bash
# The runs that only read the library: --dry-run against the real run it stands for, LIST and
# CHECK as data rows, odd libraries and wrong arguments. None may write anything anywhere.
source "$(dirname "$0")/script_lib.sh" "$@"
cd "$tmp" && mkdir -p sim prod
printf -v PL 'current Path is:%s%s\r\n' "$(winpath "$tmp")" "$SEP"
sim=$(winpath "$tmp/sim") prod=$(winpath "$tmp/prod") NOTHING=$'Dry run: nothing was written.\r\n'
tree() { find sim prod -printf '%p %s %T@\n' | sort; }

cp "$here/../examples/scenery.cfg" sample.cfg
{ cat sample.cfg; section 013 13 Demo "$prod"; } > added.cfg
head -c -2 sample.cfg > unended.cfg                  # no line end after the last line
tr '\n' '\r' < sample.cfg | tr -s '\r' > cr.cfg      # lone CR line ends
harbour='D:\Sim Addons\Harbour Town'

# dry NAME START ARGS...: --dry-run on START (+: a backup there already) writes nothing, prints
# the real run's output, diff -u of the library and the closing line, exits as the real run does,
# and its diff, applied with patch, gives what the real run writes.
dry() {
  local name=$1 start=$2 real_out real_rc before
  shift 2
  rm -rf sim/* prod/* && cp "${start%+}" sim/scenery.cfg
  [[ $start != *+ ]] || cp sample.cfg prod/scenery_beforeinstall.cfg
  before=$(tree)
  run --dry-run "$@"
  local dry_out=$out dry_rc=$rc
  holds "$name: nothing written" [ "$(tree)" = "$before" ]
  run --unattended "$@"
  real_out=$out real_rc=$rc
  local diff
  diff=$(diff -u --label a/scenery.cfg --label b/scenery.cfg "${start%+}" sim/scenery.cfg; printf x)
  check "$name: as the real run, then diff -u" \
    "$([ "$dry_out" == "$real_out${diff%x}$NOTHING" ] && [ "$dry_rc" = "$real_rc" ]; echo $?)" \
    "exit $dry_rc, real $real_rc; printed $(printf %q "$dry_out")"
  cp "${start%+}" patched.cfg
  printf %s "$dry_out" | patch -s patched.cfg >/dev/null 2>&1
  holds "$name: the diff patches in what the run wrote" cmp -s patched.cfg sim/scenery.cfg
}
dry "add"                         sample.cfg   "$sim" ADD "$prod" Demo
dry "add, backup there already"   sample.cfg+  "$sim" add "$prod" Demo
dry "add, both switches"          sample.cfg   --unattended "$sim" ADD "$prod" Demo
dry "add to a last line unended"  unended.cfg  "$sim" ADD "$prod" Demo
dry "add to CR line ends"         cr.cfg       "$sim" ADD "$prod" Demo
dry "remove the last section"     added.cfg    "$sim" REMOVE "$prod" Demo
dry "remove from the middle"      sample.cfg   "$sim" Remove "$harbour" x
dry "already registered"          added.cfg    "$sim" ADD "$prod" Demo
dry "title taken"                 added.cfg    "$sim" ADD "$sim" Demo
dry "wrong action"                sample.cfg   "$sim" MOVE "$prod" Demo
dry "no library"                  sample.cfg   "$sim/none" ADD "$prod" Demo

# listed NAME CODE LIBRARY OUTPUT [ARGS...]: LIST (or ARGS) on LIBRARY (none: no file; folder:
# a folder) prints OUTPUT, exits CODE, writes nothing and gives a reason when it fails.
listed() {
  local name=$1 code=$2 start=$3 want=$4 before
  shift 4
  rm -rf sim/scenery.cfg && case $start in none) ;; folder) mkdir sim/scenery.cfg ;;
    fifo) mkfifo sim/scenery.cfg ;; *) cp "$start" sim/scenery.cfg ;; esac
  before=$(tree)
  [ $# -gt 0 ] || set -- "$sim" LIST
  run "$@"
  check "$name" "$([ "$out" == "$want" ] && [ "$rc" = "$code" ] && [ "$(tree)" = "$before" ] &&
    { [[ $code != 1[567] ]] || [ -s "$tmp/err" ]; }; echo $?)" \
    "exit $rc; printed $(printf %q "$out"); $(head -c 300 "$tmp/err")"
}
H=$'area\tlayer\tactive\ttitle\tfolder\r\n'
printf '[General]\r\nTitle=x\r\n[Area.007]\r\nTitle=Alps\tNorth\r\nlocal=C:\\Alps\r\n%b' \
  'active=TRUE\r\nLayer=3\r\n[area.8]\r\nLayer=9' > small.cfg
rows=$'007\t3\tTRUE\tAlps%09North\tC:\\Alps\r\n8\t9\t\t\t\r\n'
printf '\xff\xfe[\0A\0r\0e\0a\0.\x001\0]\0' > utf16.cfg
truncate -s 1100M huge.cfg
library 5000 big.cfg  # read in several pieces, the last section held over each time
big=$(awk 'BEGIN { for (i = 1; i <= 5000; i++) printf "%03d\t%d\tTRUE\tGenerated Scenery " \
  "Region %d\tD:\\Sim Addons\\Generated Scenery Pack %d\\Scenery\r\n", i, i, i, i }'; echo x)
big=${big%x}
#      name                     code library    output
listed "LIST"                   0  small.cfg    "$H$rows"
listed "LIST of many sections"  0  big.cfg      "$H$big"
listed "LIST of UTF-16"         17 utf16.cfg    ""
listed "LIST over 1 GiB"        17 huge.cfg     ""
listed "LIST, no library"       15 none         ""
listed "LIST, a folder"         15 folder       ""
listed "LIST, a FIFO"           17 fifo         ""
usage=$(timeout 60 $emu "$prog" --help; printf x) && usage=${usage%x}
listed "LIST with more"         16 small.cfg    "$usage"  "$sim" LIST x
listed "CHECK with a product"   16 small.cfg    "$usage"  "$sim" CHECK "$prod" Demo
listed "dry LIST"               16 small.cfg    "$usage"  --dry-run "$sim" LIST
listed "unknown switch"         16 small.cfg    "$usage"  --quiet "$sim" LIST

# CHECK: a folder is looked for from the simulator folder unless absolute.
mkdir -p sim/there prod/abs
printf '[Area.001]\r\nlocal=there\r\nLayer=1\r\n[Area.02]\r\nlocal=%s\r\nLayer=2\r\n' \
  "$(winpath "$tmp/prod/abs")" > clean.cfg
{ cat clean.cfg; printf '[Area.3]\r\nlocal=gone\r\nLayer=3\r\n[Area.4]\r\nLOCAL=There\\\r\n'; } \
  > faulty.cfg
want=$'line 7: folder \'gone\' does not exist\r\n'
want+=$'line 10: the section has no layer entry (Layer=)\r\n'
want+=$'line 10: folder \'There\\\' is also registered on line 1\r\n'
[ -n "$emu" ] || want+=$'line 10: folder \'There\\\' does not exist\r\n'
count=$([ -n "$emu" ] && echo 3 || echo 4)
listed "CHECK, clean"           0  clean.cfg    $'No findings in 2 area sections\r\n' "$sim" CHECK
listed "CHECK, findings"        18 faulty.cfg   "${want}$count findings in 4 area sections"$'\r\n' \
  "$sim" check
listed "CHECK over 1 GiB"       17 huge.cfg     "" "$sim" CHECK
listed "CHECK, no library"      15 none         "" "$sim" CHECK
listed "CHECK, a FIFO"          17 fifo         "" "$sim" CHECK
finish inspect
