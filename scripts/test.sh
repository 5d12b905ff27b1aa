#!/usr/bin/env bash
# Installs what is missing, then builds the native and the Windows targets and runs every test.
# Every stage runs even when one before it failed, and the run ends with one line per stage,
# naming what failed; the exit code is 0 only when every stage passed.
set -uo pipefail
cd "$(dirname "$0")/.."

bash scripts/install-deps.sh || exit 1

export WINEDEBUG=-all
export WINEPREFIX="${WINEPREFIX:-$HOME/.wine-sceneryreg}"
# The prefix is made once, before tests start Wine in parallel.
[ -f "$WINEPREFIX/system.reg" ] || wineboot --init </dev/null >/dev/null 2>&1
# One server for the whole run, and Wine's own services started here, by a program with no
# output: services that a test's first Wine program starts keep that test's output open as long
# as they run, and ctest waits for it. A server still running (wineboot's) cannot be made to
# persist, so it is let go first.
wineserver -k >/dev/null 2>&1
{ wineserver -w && wineserver -p && wine cmd /c exit; } </dev/null >/dev/null 2>&1
trap 'wineserver -k >/dev/null 2>&1 || true' EXIT

jobs=$(nproc) logs=build/logs summary=() failed=0
mkdir -p "$logs"
# verdict STAGE OK TEXT: one line of the summary; OK 0 passes.
verdict() {
  summary+=("$(printf '%-9s %s %s' "$1:" "$([ "$2" = 0 ] && echo ok || echo FAILED)" "$3")")
  [ "$2" = 0 ] || failed=$((failed + 1))
}

echo "== fuzz"
bash scripts/fuzz.sh 2>&1 | tee "$logs/fuzz.log"
ok=$?
runs=$(sed -n 's/^stat::number_of_executed_units: *//p' "$logs/fuzz.log" | tail -1)
findings=$(find build/fuzz -maxdepth 1 -name 'crash-*' -o -maxdepth 1 -name 'leak-*' \
  -o -maxdepth 1 -name 'timeout-*' -o -maxdepth 1 -name 'oom-*' | wc -l)
verdict fuzz "$ok" "${runs:-no} runs, $findings findings"

echo "== format"
unformatted=$(git ls-files 'src/*.cpp' 'src/*.h' 'tests/*.cpp' 'tests/*.h' |
  xargs clang-format --dry-run --Werror 2>&1 | sed -n 's/^\([^:]*\):[0-9]*:[0-9]*: error.*/\1/p' |
  sort -u | tr '\n' ' ')
verdict format "$([ -z "$unformatted" ]; echo $?)" \
  "${unformatted:+not laid out: }${unformatted:-clang-format}"

# sanitize: the unit tests again under AddressSanitizer and UndefinedBehaviorSanitizer.
for preset in native sanitize windows; do
  echo "== $preset"
  log=$logs/$preset.log
  if ! { cmake --preset "$preset" >/dev/null && cmake --build --preset "$preset" -j"$jobs"; }; then
    verdict "$preset" 1 "build failed"
    continue
  fi
  ctest --preset "$preset" -j"$jobs" </dev/null 2>&1 | tee "$log"
  ok=$?
  counts=$(sed -n 's/.*tests passed, \([0-9]*\) tests* failed out of \([0-9]*\)$/\1 \2/p' \
    "$log")
  read -r bad total <<<"${counts:-0 0}"
  names=$(sed -n '/following tests FAILED/,$ s/^[[:space:]]*[0-9]* - \([^ ]*\) .*/\1/p' "$log" |
    tr '\n' ' ')
  [ "$total" -gt 0 ] || ok=1
  verdict "$preset" "$ok" "$((total - bad))/$total${names:+, failing: $names}"
done

# The release archive: built twice and compared, signed with a throwaway certificate.
echo "== release"
bash scripts/release_test.sh 2>&1 | tee "$logs/release.log"
ok=$?
verdict release "$ok" \
  "$(grep -h -e '^release:' -e '^FAIL:' "$logs/release.log" | tail -1 | sed 's/^release: //')"

echo
echo "== summary"
printf '%s\n' "${summary[@]}"
echo "stages: $(( ${#summary[@]} - failed )) passed, $failed failed"
[ "$failed" = 0 ]
