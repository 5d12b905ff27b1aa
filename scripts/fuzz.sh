#!/usr/bin/env bash
# Builds the library edit's fuzz target with clang, AddressSanitizer and UndefinedBehavior-
# Sanitizer, and runs it for a fixed number of inputs from a fixed seed and fresh seed corpus:
# the same tree always tries the same inputs, so a finding is the tree's, never the machine's
# speed or an earlier run's corpus. Exits non-zero when it finds anything.
# Usage: scripts/fuzz.sh [runs [seed]]   (default 100000 runs, seed 1)
set -euo pipefail
cd "$(dirname "$0")/.."

runs="${1:-100000}" seed="${2:-1}"
build=build/fuzz
# The library code is instrumented too, and every sanitizer finding aborts the run.
flags="-fsanitize=address,undefined,fuzzer-no-link -fno-sanitize-recover=all -fno-omit-frame-pointer"

cmake --preset fuzz -B "$build" -DCMAKE_CXX_FLAGS="$flags" >/dev/null
cmake --build "$build" -j2 --target editor_fuzz

# Seeds: flags byte, title, NUL, folder, NUL, library.
corpus="$build/editor_corpus"
rm -rf "$corpus" "$build"/crash-* "$build"/leak-* "$build"/timeout-* "$build"/oom-*
mkdir -p "$corpus"
printf '\0Alps\0C:\\Scenery\\Alps\0[Area.012]\r\nTitle=Lakes\r\nlocal=C:\\Lakes\r\nLayer=14\r\n' \
  >"$corpus/add"
printf '\1Harbour\0D:\\Addons\\Harbour\0[Area.001]\r\nlocal=D:\\Addons\\Harbour2\r\nLayer=2\r\n\r\n[AREA.2]\nlocal=d:\\addons\\harbour\\\nlayer=3\n\n[area.3]\n' \
  >"$corpus/remove"
printf '\4Alps\0C:\\Alps\0\xef\xbb\xbf[Area.1e99]\r\nTitle=Alps North\r\nBaseLayer=2.5\r\n[Area.214748e4]\r\n' \
  >"$corpus/numbers"

# A loaded machine makes an input slow, not wrong: only a hang counts as a finding.
"$build/tests/editor_fuzz" -runs="$runs" -seed="$seed" -timeout=120 -print_final_stats=1 \
  -artifact_prefix="$build/" "$corpus"
