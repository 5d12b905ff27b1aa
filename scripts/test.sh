#!/usr/bin/env bash
# Installs what is missing, then builds the native and the Windows targets and runs every test.
set -euo pipefail
cd "$(dirname "$0")/.."

bash scripts/install-deps.sh

export WINEDEBUG=-all
export WINEPREFIX="${WINEPREFIX:-$HOME/.wine-sceneryreg}"
# The prefix is made once, before tests start Wine in parallel.
[ -f "$WINEPREFIX/system.reg" ] || wineboot --init </dev/null >/dev/null 2>&1
trap 'wineserver -k >/dev/null 2>&1 || true' EXIT

jobs=$(nproc)
echo "== fuzz"
bash scripts/fuzz.sh 60

echo "== format"
git ls-files 'src/*.cpp' 'src/*.h' 'tests/*.cpp' 'tests/*.h' | xargs clang-format --dry-run --Werror

# sanitize: the unit tests again under AddressSanitizer and UndefinedBehaviorSanitizer.
for preset in native sanitize windows; do
  echo "== $preset"
  cmake --preset "$preset" >/dev/null
  cmake --build --preset "$preset" -j"$jobs"
  ctest --preset "$preset" -j"$jobs" </dev/null
done

# The release archive: built twice and compared, signed with a throwaway certificate.
echo "== release"
bash scripts/release_test.sh
