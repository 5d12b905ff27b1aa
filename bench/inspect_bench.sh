#!/usr/bin/env bash
# Times the read-only runs: LIST against reading the library once (cat to /dev/null), with its
# peak memory; --dry-run against the real run it stands for; CHECK's growth with the library.
# Usage: bench/inspect_bench.sh [REPEATS]   (builds the native preset first)
set -euo pipefail
cd "$(dirname "$0")/.."
repeats=${1:-5}

source bench/bench_lib.sh

ms() { awk -v u="$1" 'BEGIN {printf "%.1f", u / 1000}'; }
ratio() { awk -v a="$1" -v b="$2" 'BEGIN {printf "%.2f", a / b}'; }

# times SETUP COMMAND...: the median microseconds of COMMAND over the repeats, SETUP before each.
times() {
  local setup=$1 t0 i all=()
  shift
  for ((i = 0; i < repeats; i++)); do
    $setup; t0=$(now); "$@" </dev/null >/dev/null 2>&1 || true; all+=($(( ($(now) - t0) / 1000 )))
  done
  printf '%s\n' "${all[@]}" | median
}
# cpu_times SETUP COMMAND...: the median processor microseconds (user and system) of COMMAND.
cpu_times() {
  local setup=$1 i all=() TIMEFORMAT='%3U %3S'
  shift
  for ((i = 0; i < repeats; i++)); do
    $setup; { time "$@" </dev/null >/dev/null 2>&1 || true; } 2>"$work/cpu"
    all+=($(awk '{printf "%d", ($1 + $2) * 1000000}' "$work/cpu"))
  done
  printf '%s\n' "${all[@]}" | median
}
peak_kb() {
  /usr/bin/time -f %M -o "$work/rss" "$@" </dev/null >/dev/null 2>&1 || true
  tail -1 "$work/rss"
}

fresh() { cp "$lib" "$sim/scenery.cfg"; rm -f "$prod/scenery_beforeinstall.cfg"; }
warm() { cat "$sim/scenery.cfg" >/dev/null; }

echo -n "| areas | library | cat ms | LIST ms | LIST/cat | cat cpu ms | LIST cpu ms "
echo -n "| LIST peak (x library) | ADD ms | dry ADD ms | REMOVE ms | dry REMOVE ms | CHECK ms "
echo "| CHECK growth |"
echo "|---|---|---|---|---|---|---|---|---|---|---|---|---|---|"
last_check=""
for n in 100000 1000000; do
  lib=$work/lib-$n.cfg
  "$make_library" areas "$n" "$lib"
  fresh
  size=$(stat -c %s "$lib")
  middle_folder="D:\\Sim Addons\\Generated Scenery Pack $((n / 2))\\Scenery"
  # LIST and cat alternate, both on a library in the page cache.
  cat_us=$(times warm cat "$sim/scenery.cfg")
  list_us=$(times warm "$prog" "$sim" LIST)
  cat_cpu_us=$(cpu_times warm cat "$sim/scenery.cfg")
  list_cpu_us=$(cpu_times warm "$prog" "$sim" LIST)
  rss=$(peak_kb "$prog" "$sim" LIST)
  add_us=$(times fresh "$prog" "$sim" ADD "$prod" "Benchmark Product")
  dry_add_us=$(times fresh "$prog" --dry-run "$sim" ADD "$prod" "Benchmark Product")
  remove_us=$(times fresh "$prog" "$sim" REMOVE "$middle_folder" x)
  dry_remove_us=$(times fresh "$prog" --dry-run "$sim" REMOVE "$middle_folder" x)
  check_us=$(times warm "$prog" "$sim" CHECK)
  growth=$([ -n "$last_check" ] && echo "$(ratio "$check_us" "$last_check")x" || echo -)
  last_check=$check_us
  printf '| %s | %.1f MB | %s | %s | %s | %s | %s | %s | %s | %s | %s | %s | %s | %s |\n' "$n" \
    "$(awk -v s="$size" 'BEGIN {print s / 1048576}')" "$(ms "$cat_us")" "$(ms "$list_us")" \
    "$(ratio "$list_us" "$cat_us")" "$(ms "$cat_cpu_us")" "$(ms "$list_cpu_us")" \
    "$(awk -v k="$rss" -v s="$size" 'BEGIN {printf "%.1f MB (%.2fx)", k / 1024, k * 1024 / s}')" \
    "$(ms "$add_us")" "$(ms "$dry_add_us")" "$(ms "$remove_us")" "$(ms "$dry_remove_us")" \
    "$(ms "$check_us")" "$growth"
done
