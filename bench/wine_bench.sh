#!/usr/bin/env bash
# The shipped Windows build under Wine against the native build, in the same run on the same
# library of a million areas: ADD with no backup yet, each run timed, then once more for the
# peak resident memory. Wine's own share is the peak of a run that reads nothing (--version).
# Usage: bench/wine_bench.sh [REPEATS] [AREAS]   (builds the native and release presets first)
# Prints a Markdown table: median and range of the times, peak memory net of Wine's, and both
# as ratios (time to the native build's, memory to the library's size).
set -euo pipefail
cd "$(dirname "$0")/.."
repeats=${1:-3} areas=${2:-1000000}

cmake --preset native >/dev/null && cmake --preset release >/dev/null
cmake --build --preset native --target sceneryreg make_library -j2 >/dev/null
cmake --build --preset release --target sceneryreg -j2 >/dev/null
native=$PWD/build/native/src/main/sceneryreg
shipped=$PWD/build/release/src/main/sceneryreg.exe
export WINEDEBUG=-all WINEPREFIX=${WINEPREFIX:-$HOME/.wine-sceneryreg}

work=$(mktemp -d "${BENCH_DIR:-$PWD/build}/bench.XXXXXX")
trap 'rm -rf "$work"' EXIT
unset DISPLAY WAYLAND_DISPLAY
mkdir -p "$work/sim" "$work/prod"
lib=$work/lib.cfg
"$PWD/build/native/bench/make_library" areas "$areas" "$lib"
size=$(stat -c %s "$lib")

now() { date +%s%N; }
setup() { cp "$lib" "$work/sim/scenery.cfg"; rm -f "$work/prod/scenery_beforeinstall.cfg"; sync; }
median() { sort -n | awk '{a[NR]=$1} END {print (NR%2) ? a[(NR+1)/2] : (a[NR/2]+a[NR/2+1])/2}'; }

# measure NAME COMMAND...: sets ms (median), range and kb (peak resident memory) of COMMAND's
# ADD runs.
measure() {
  local t=() t0 i
  shift
  for ((i = 0; i < repeats; i++)); do
    setup; t0=$(now)
    "$@" "$work/sim" ADD "$work/prod" "Benchmark Product" </dev/null >/dev/null
    t+=($(( ($(now) - t0) / 1000000 )))
  done
  ms=$(printf '%s\n' "${t[@]}" | median)
  range="$(printf '%s\n' "${t[@]}" | sort -n | head -1)-$(printf '%s\n' "${t[@]}" | sort -n | tail -1)"
  setup
  /usr/bin/time -f %M -o "$work/rss" "$@" "$work/sim" ADD "$work/prod" "Benchmark Product" \
    </dev/null >/dev/null
  kb=$(tail -1 "$work/rss")
}

# Also starts the prefix's server, if none runs, outside the timings.
/usr/bin/time -f %M -o "$work/rss" wine "$shipped" --version >/dev/null
wine_kb=$(tail -1 "$work/rss")
measure native "$native" --unattended
native_ms=$ms native_range=$range native_kb=$kb
measure shipped wine "$shipped" --unattended
grep -q "Title=Benchmark Product" "$work/sim/scenery.cfg"  # the runs did the work

mb() { awk -v k="$1" 'BEGIN {printf "%.1f", k / 1024}'; }
x_lib() { awk -v k="$1" -v s="$size" 'BEGIN {printf "%.2f", k * 1024 / s}'; }
echo "library: $areas areas, $(awk -v s="$size" 'BEGIN {printf "%.1f", s / 1048576}') MB;" \
  "Wine alone: $(mb "$wine_kb") MB"
echo
echo "| build | ms (median) | ms (range) | x native | peak MB | net of Wine MB | x library |"
echo "|---|---|---|---|---|---|---|"
echo "| native | $native_ms | $native_range | 1.00 | $(mb "$native_kb") | $(mb "$native_kb") |" \
  "$(x_lib "$native_kb") |"
echo "| shipped, Wine | $ms | $range |" \
  "$(awk -v a="$ms" -v b="$native_ms" 'BEGIN {printf "%.2f", a / b}') | $(mb "$kb") |" \
  "$(mb $((kb - wine_kb))) | $(x_lib $((kb - wine_kb))) |"
