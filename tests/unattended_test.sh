#!/usr/bin/env bash
# Unattended runs as an installer makes them: every outcome with its exact transcript, exit
# code and library afterwards; no key wait even where a terminal could answer one; --version.
# Usage: unattended_test.sh PROGRAM [EMULATOR]   (EMULATOR runs a Windows build under Wine)
source "$(dirname "$0")/script_lib.sh" "$@"
tmp=$(mktemp -d /tmp/sceneryreg-unattended.XXXXXX)
trap 'rm -rf "$tmp"' EXIT

mkdir -p "$tmp/sim" "$tmp/product dir"
cd "$tmp"
printf -v PL 'current Path is:%s%s\r\n' "$(winpath "$tmp")" "$SEP"
sim=$(winpath "$tmp/sim") product=$(winpath "$tmp/product dir") other=$(winpath "$tmp/other")
title="Demo Harbour"

# The libraries the rows start from and end with.
cp "$here/../examples/scenery.cfg" sample.cfg
{ cat sample.cfg; section 013 13 "$title" "$product"; } > added.cfg
{ cat sample.cfg; printf '\r\n\r\n'; } > removed.cfg
printf '[Area.001]\r\nTitle=No Layer\r\nlocal=D:\\x\r\n' > nolayer.cfg
printf 'local=%s\r\n[Area.001]\r\nLayer=1\r\n' "$product" > stray.cfg  # before any header

REPORT="Scenery AREA added:${CRLF}${CRLF}AREA=13${CRLF}Title=$title${CRLF}localv=$product${CRLF}"
REPORT+="Active=TRUE${CRLF}Layer=13${CRLF}${CRLF}If you wish to move this Layer, please use the FS "
REPORT+=$'scenery library\n\r\n\r'"Backup made of 'scenery.cfg' at $product${SEP}scenery_beforeinstall.cfg"
REPORT+="${CRLF}${CRLF}PRESS ANY KEY${CRLF}"
HEAD="Adding your Product to your FS scenery Library:${CRLF}${CRLF}${CRLF}${CRLF}Caution another product"
FOLDER="$HEAD found using the same product location: ${CRLF}${CRLF}'$product'${CRLF}${CRLF}"
FOLDER+="Your scenery library has not been changed, because of this.${CRLF}${CRLF}"
TITLE="$HEAD found using the same name: ${CRLF}${CRLF}'$title'${CRLF}${CRLF}But it is using another "
TITLE+="directory location${CRLF}Your scenery library has not been changed, because of this.${CRLF}${CRLF}"
NOLIB="Sorry, but I Can't find your 'Scenery.cfg' file, please add this to your scenery library manually$CRLF"
SYNTAX="Sorry, but this program failed, there a syntex error$CRLF"
DETAILS="Sorry, but this program failed to find your product details$CRLF"

# row NAME CODE START END OUTPUT ARGS...: with the library START (none: no library), the
# program run with ARGS prints the path line and OUTPUT, exits with CODE and leaves END.
row() {
  local name=$1 code=$2 start=$3 end=$4 want=$PL$5
  shift 5
  rm -rf sim/scenery.cfg "product dir/scenery_beforeinstall.cfg"
  [ "$start" = none ] || cp "$start" sim/scenery.cfg
  timeout 60 $emu "$prog" "$@" </dev/null >out 2>err
  local rc=$? out
  out=$(cat out; printf x); out=${out%x}
  if [ "$out" == "$want" ] && [ "$rc" = "$code" ]; then check "$name" 0; else
    check "$name" 1 "exit $rc, expected $code"
    printf 'expected: %q\n  actual: %q\n' "$want" "$out"
    [ -s err ] && sed 's/^/  stderr: /' err | head -5
  fi
  [ "$end" = none ] || holds "$name: library afterwards" cmp -s sim/scenery.cfg "$end"
}

U=--unattended
#   name                          code start       end         output       arguments
row "added"                       0  sample.cfg  added.cfg   "$REPORT"    $U "$sim" add "$product" "$title"
row "removed"                     0  added.cfg   removed.cfg ""           $U "$sim" Remove "$product" "$title"
row "already registered"          10 added.cfg   added.cfg   ""           $U "$sim" ADD "$product" "$title"
row "folder under another title"  11 added.cfg   added.cfg   "$FOLDER"    $U "$sim" ADD "$product" Other
row "title with another folder"   12 added.cfg   added.cfg   "$TITLE"     $U "$sim" ADD "$other" "$title"
row "nothing to remove"           13 sample.cfg  sample.cfg  ""           $U "$sim" REMOVE "$product" "$title"
row "no layer: not added"         14 nolayer.cfg nolayer.cfg ""           $U "$sim" ADD "$product" "$title"
row "no section to cut"           14 stray.cfg   stray.cfg   ""           $U "$sim" REMOVE "$product" "$title"
row "library not found"           15 none        none        "$NOLIB"     $U "$sim" ADD "$product" "$title"
row "wrong action"                16 sample.cfg  sample.cfg  "$SYNTAX"    $U "$sim" MOVE "$product" "$title"
row "empty title"                 16 sample.cfg  sample.cfg  "$DETAILS"   $U "$sim" ADD "$product" ""
row "wrong action, no library"    16 none        none        "$NOLIB$SYNTAX" $U "$sim" BAD "$product" "$title"
row "nothing after the switch"    16 none        none        "$NOLIB$DETAILS" $U
# Only the exact word switches: otherwise it is the simulator folder, and the exit code 0.
row "switch in another case"      0  none        none        "$NOLIB$SYNTAX" --Unattended "$sim" ADD "$product" "$title"

cp sample.cfg readonly.cfg && chmod a-w readonly.cfg
row "read-only library"           17 readonly.cfg sample.cfg "$SAVE_FAILED$CRLF" $U "$sim" ADD "$product" "$title"

# A terminal on standard input that never types: any key wait would hang until the timeout.
cp added.cfg sim/scenery.cfg
mkfifo keys
timeout 30 script -qec "$emu '$prog' $U '$sim' ADD '$product' Other" /dev/null <>keys >/dev/null
check "a caution on a terminal does not wait" "$([ $? = 11 ]; echo $?)"

timeout 60 $emu "$prog" --version </dev/null >out
check "--version exits 0" $?
version=$(sed -n 's/^#define SCENERYREG_VERSION_TEXT "\(.*\)"$/\1/p' "$here/../src/main/version.h")
holds "--version prints the version" cmp -s out <(printf 'sceneryreg %s\r\n' "$version")
timeout 60 $emu "$prog" --help </dev/null >out
holds "--help lists every exit code" \
  bash -c 'for c in 0 10 11 12 13 14 15 16 17; do grep -q "^ *$c  " out || exit 1; done'

finish unattended
