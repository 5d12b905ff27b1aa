#!/usr/bin/env bash
# Times the built program against the I/O floor of the same work done with standard tools.
# Usage: bench/process_bench.sh [REPEATS]   (builds the native preset first)
# Prints a Markdown table: medians, program/floor ratio, peak memory, growth between sizes.
set -euo pipefail
cd "$(dirname "$0")/.."
repeats=${1:-5}

source bench/bench_lib.sh

# durable_copy SRC DST: what the program's atomic write amounts to, done with standard tools.
durable_copy() {
  cp "$1" "$2.tmp" && sync "$2.tmp" && mv "$2.tmp" "$2" && sync "$(dirname "$2")"
}

# Each scenario: a setup, the program's run, and the floor: the same reads and writes.
setup_fresh() { cp "$lib" "$sim/scenery.cfg"; rm -f "$prod/scenery_beforeinstall.cfg"; sync; }
setup_backed_up() { setup_fresh; cp "$lib" "$prod/scenery_beforeinstall.cfg"; sync; }

run_add() { $timer "$prog" "$sim" ADD "$prod" "Benchmark Product" </dev/null >/dev/null; }
floor_add() {
  durable_copy "$sim/scenery.cfg" "$prod/scenery_beforeinstall.cfg"
  durable_copy "$sim/scenery.cfg" "$sim/scenery.cfg"
}
run_remove() { $timer "$prog" "$sim" REMOVE "$middle_folder" "$middle_title" </dev/null >/dev/null; }
floor_remove() { durable_copy "$sim/scenery.cfg" "$sim/scenery.cfg"; }
run_refused() { $timer "$prog" "$sim" ADD "$prod" "$middle_title" </dev/null >/dev/null; }
floor_refused() { durable_copy "$sim/scenery.cfg" "$prod/scenery_beforeinstall.cfg"; }
run_hostile() { $timer "$prog" "$sim" ADD "$prod" "$hostile_title" </dev/null >/dev/null; }
floor_copy() { durable_copy "$sim/scenery.cfg" "$prod/copy.cfg"; }

# measure SETUP RUN FLOOR: sets prog_ms, floor_ms and rss_kb (peak of the program's runs).
measure() {
  local p=() f=() t0 i
  rss_kb=0
  for ((i = 0; i < repeats; i++)); do
    $1; t0=$(now); $2; p+=($(( ($(now) - t0) / 1000 )))
    $1; t0=$(now); $3; f+=($(( ($(now) - t0) / 1000 )))
  done
  # One more run under /usr/bin/time for the peak resident memory.
  $1; timer="/usr/bin/time -f %M -o $work/rss"; $2; timer=""
  rss_kb=$(tail -1 "$work/rss")
  prog_ms=$(printf '%s\n' "${p[@]}" | median)
  floor_ms=$(printf '%s\n' "${f[@]}" | median)
}

row() {  # row LABEL N
  local size mb ratio mem
  size=$(stat -c %s "$lib")
  mb=$(awk -v s="$size" 'BEGIN {printf "%.1f", s / 1048576}')
  ratio=$(awk -v a="$prog_ms" -v b="$floor_ms" 'BEGIN {printf "%.2f", a / b}')
  mem=$(awk -v k="$rss_kb" -v s="$size" 'BEGIN {printf "%.1f MB (%.2fx)", k / 1024, k * 1024 / s}')
  local growth="-"
  if [ -n "${last[$1]:-}" ]; then
    growth=$(awk -v a="$prog_ms" -v b="${last[$1]}" 'BEGIN {printf "%.1fx", a / b}')
  fi
  last[$1]=$prog_ms
  printf '| %s | %s | %s MB | %.1f | %.1f | %s | %s | %s |\n' "$1" "$2" "$mb" \
    "$(awk -v u="$prog_ms" 'BEGIN {print u / 1000}')" "$(awk -v u="$floor_ms" 'BEGIN {print u / 1000}')" \
    "$ratio" "$mem" "$growth"
}

declare -A last
timer=""
echo "| run | areas | library | program ms | floor ms | ratio | peak memory (x library) | time growth |"
echo "|---|---|---|---|---|---|---|---|"
hostile_title=""
for n in 1000 100000 1000000; do
  lib=$work/lib-$n.cfg
  "$make_library" areas "$n" "$lib"
  middle_title="Generated Scenery Region $((n / 2))"
  middle_folder="D:\\Sim Addons\\Generated Scenery Pack $((n / 2))\\Scenery"
  measure setup_fresh run_add floor_add;          row "ADD, no backup yet" "$n"
  measure setup_backed_up run_remove floor_remove; row "REMOVE, middle section" "$n"
  measure setup_fresh run_refused floor_refused;  row "ADD refused (title taken)" "$n"
done

echo
echo "| adversarial library | size | program ms | durable copy ms | ratio |"
echo "|---|---|---|---|---|"
for kind in titles headers layers; do
  lib=$work/$kind.cfg
  case $kind in
    titles) hostile_title=$("$make_library" titles 20000000 "$lib"); label="near-miss 20,000-byte title" ;;
    headers) "$make_library" headers 200000 "$lib"; hostile_title="Hostile"; label="200,000 packed [Area. headers" ;;
    layers) "$make_library" layers 200000 "$lib"; hostile_title="Hostile"; label="200,000 Layer= entries" ;;
  esac
  measure setup_backed_up run_hostile floor_copy
  printf '| %s | %.1f MB | %.1f | %.1f | %.2f |\n' "$label" \
    "$(awk -v s="$(stat -c %s "$lib")" 'BEGIN {print s / 1048576}')" \
    "$(awk -v u="$prog_ms" 'BEGIN {print u / 1000}')" "$(awk -v u="$floor_ms" 'BEGIN {print u / 1000}')" \
    "$(awk -v a="$prog_ms" -v b="$floor_ms" 'BEGIN {printf "%.2f", a / b}')"
done
