# Sourced by the benchmarks: builds the native preset's program and library generator, and
# makes a scratch simulator and product folder that go away on exit.
cmake --preset native >/dev/null
cmake --build --preset native --target sceneryreg make_library -j2 >/dev/null
prog=$PWD/build/native/src/main/sceneryreg
make_library=$PWD/build/native/bench/make_library

work=$(mktemp -d "${BENCH_DIR:-$PWD/build}/bench.XXXXXX")
trap 'rm -rf "$work"' EXIT
unset DISPLAY WAYLAND_DISPLAY
sim=$work/sim prod=$work/prod
mkdir -p "$sim" "$prod"

now() { date +%s%N; }
median() { sort -n | awk '{a[NR]=$1} END {print (NR%2) ? a[(NR+1)/2] : (a[NR/2]+a[NR/2+1])/2}'; }
