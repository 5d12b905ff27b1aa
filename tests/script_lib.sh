# Sourced by the end-to-end scripts with their arguments: PROGRAM [EMULATOR] (EMULATOR runs a
# Windows build under Wine). Sets prog, emu, here, SEP, CRLF and the helpers below.
set -u
prog=$(realpath "$1")
emu=${2:-}
here=$(cd "$(dirname "${BASH_SOURCE[0]}")" && pwd)
unset DISPLAY WAYLAND_DISPLAY
passed=0 failed=0
CRLF=$'\r\n'
SAVE_FAILED="Sorry, but this program could not save your 'Scenery.cfg' file, your scenery library has not been changed"

# Wine reads the arguments through the locale: UTF-8 in, whatever the caller's settings.
[ -n "$emu" ] && export LC_ALL=C.UTF-8
# Paths as the program sees them: Wine maps the Unix root to drive Z:.
if [ -n "$emu" ]; then SEP='\'; winpath() { local p=${1//\//\\}; printf 'Z:%s' "$p"; }
else SEP='/'; winpath() { printf '%s' "$1"; }; fi

check() {  # check NAME CONDITION-RESULT(0/1) [detail]
  if [ "$2" = 0 ]; then passed=$((passed + 1)); else
    failed=$((failed + 1)); echo "FAIL: $1${3:+ ($3)}"; fi
}
holds() { local name=$1; shift; "$@"; check "$name" $?; }  # holds NAME COMMAND...
finish() { echo "$1: $passed passed, $failed failed"; [ "$failed" = 0 ]; }

# section AREA LAYER TITLE FOLDER: the bytes an ADD appends.
section() {
  printf '\r\n[Area.%s]\r\nTitle=%s\r\nlocal=%s\r\nActive=TRUE\r\nLayer=%s\r\n\r\n' "$1" "$3" "$4" "$2"
}
