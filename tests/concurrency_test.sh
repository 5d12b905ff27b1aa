#!/usr/bin/env bash
# Twenty copies of the program, started together, each ADD their own product to one library.
# Every addition must survive with an area number of its own, and the bytes that were there
# before must stay as they were.
# Usage: concurrency_test.sh PROGRAM [EMULATOR]   (EMULATOR runs a Windows build under Wine)
source "$(dirname "$0")/script_lib.sh" "$@"
runs=20
tmp=$(mktemp -d /tmp/sceneryreg-concurrency.XXXXXX)
trap 'rm -rf "$tmp"' EXIT

fail() { echo "FAIL: $*"; exit 1; }

mkdir "$tmp/sim"
printf '[General]\r\nTitle=Library\r\n\r\n[Area.001]\r\nTitle=Base\r\nlocal=C:\\Base\r\nActive=TRUE\r\nLayer=1\r\n' \
  >"$tmp/sim/scenery.cfg"
cp "$tmp/sim/scenery.cfg" "$tmp/original.cfg"

for i in $(seq 1 $runs); do
  mkdir "$tmp/p$i"
  (timeout 120 $emu "$prog" "$(winpath "$tmp/sim")" ADD "$(winpath "$tmp/p$i")" "Product $i" \
     </dev/null >"$tmp/out$i" 2>"$tmp/err$i"; echo $? >"$tmp/rc$i") &
done
wait

for i in $(seq 1 $runs); do
  [ "$(cat "$tmp/rc$i")" = 0 ] || fail "run $i ended with $(cat "$tmp/rc$i")"
  grep -q 'Scenery AREA added:' "$tmp/out$i" || fail "run $i did not report its addition: $(head -c 300 "$tmp/out$i")"
done

library="$tmp/sim/scenery.cfg"
size=$(stat -c %s "$tmp/original.cfg")
cmp -s -n "$size" "$library" "$tmp/original.cfg" || fail "the original bytes changed"
tail -c +$((size + 1)) "$library" >"$tmp/added"
lf=$(tr -cd '\n' <"$tmp/added" | wc -c)
crlf=$(grep -c $'\r$' "$tmp/added")
[ "$lf" = "$crlf" ] || fail "appended text has line ends other than CR LF"
mapfile -t lines < <(tr -d '\r' <"$tmp/added")
[ "${#lines[@]}" = $((7 * runs)) ] || fail "expected $runs sections of 7 lines, got ${#lines[@]} lines"

declare -A areas products layers
for ((k = 0; k < runs; k++)); do
  l=("${lines[@]:7*k:7}")
  [[ ${l[0]} == "" && ${l[1]} =~ ^\[Area\.([0-9]{3,})\]$ ]] || fail "section $k: ${l[*]}"
  area=$((10#${BASH_REMATCH[1]}))
  [[ ${l[2]} =~ ^Title=Product\ ([0-9]+)$ ]] || fail "section $k title: ${l[2]}"
  n=${BASH_REMATCH[1]}
  [ "${l[3]}" = "local=$(winpath "$tmp/p$n")" ] || fail "section $k folder: ${l[3]}"
  [[ ${l[4]} == "Active=TRUE" && ${l[5]} =~ ^Layer=([0-9]+)$ && ${l[6]} == "" ]] ||
    fail "section $k: ${l[*]}"
  layer=${BASH_REMATCH[1]}
  [ -z "${areas[$area]:-}" ] || fail "area number $area given twice"
  [ -z "${products[$n]:-}" ] || fail "product $n added twice"
  areas[$area]=1 products[$n]=1 layers[$layer]=1
  # Runs one after another: the k-th addition takes the numbers after the base area's.
  [ "$area" = $((k + 2)) ] && [ "$layer" = $((k + 2)) ] || fail "section $k numbered $area/$layer"
done
[ "${#products[@]}" = $runs ] || fail "not every product was added"

echo "$runs parallel ADD runs: all sections present, area numbers distinct"
