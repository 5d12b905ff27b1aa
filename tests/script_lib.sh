# Sourced by the end-to-end scripts, which ctest runs as SCRIPT PROGRAM [EMULATOR] (EMULATOR
# runs a Windows build under Wine). Sets prog, emu, here, tmp (a scratch folder, removed at
# exit), SEP, the system's messages and the helpers below.
set -u
prog=$(realpath "$1") emu=${2:-} here=$(cd "$(dirname "${BASH_SOURCE[0]}")" && pwd)
tmp=$(mktemp -d /tmp/sceneryreg-test.XXXXXX)
trap 'rm -rf "$tmp"' EXIT
unset DISPLAY WAYLAND_DISPLAY
passed=0 failed=0 CRLF=$'\r\n'
NOLIB="Sorry, but I Can't find your 'Scenery.cfg' file, please add this to your scenery library"
NOLIB+=" manually$CRLF"
SYNTAX="Sorry, but this program failed, there a syntex error$CRLF"
DETAILS="Sorry, but this program failed to find your product details$CRLF"
UNCHANGED="your scenery library has not been changed"
SAVE_FAILED="Sorry, but this program could not save your 'Scenery.cfg' file, $UNCHANGED"
TOO_LARGE="Sorry, but your 'Scenery.cfg' file is too large for this program (over 1 GiB),"
TOO_LARGE+=" $UNCHANGED"

# Wine reads the arguments through the locale: UTF-8 in, whatever the caller's settings. Paths
# as the program sees them: Wine maps the Unix root to drive Z:.
if [ -n "$emu" ]; then
  export LC_ALL=C.UTF-8; SEP='\'; winpath() { local p=${1//\//\\}; printf 'Z:%s' "$p"; }
else
  SEP='/'; winpath() { printf '%s' "$1"; }
fi

check() {  # check NAME STATUS [detail]: STATUS 0 passes
  if [ "$2" = 0 ]; then passed=$((passed + 1)); else
    failed=$((failed + 1)); echo "FAIL: $1${3:+ ($3)}"; fi
}
# within SECONDS COMMAND...: COMMAND holds, tried every tenth of a second for SECONDS at most.
within() {
  local deadline=$((SECONDS + $1))
  until "${@:2}"; do ((SECONDS < deadline)) || return 1; sleep 0.1; done
}
holds() { local name=$1; shift; "$@"; check "$name" $?; }  # holds NAME COMMAND...
finish() { echo "$1: $passed passed, $failed failed"; [ "$failed" = 0 ]; }
# run ARGS...: the program in the current folder; sets out (standard output, exact) and rc.
run() {
  timeout 120 $emu "$prog" "$@" </dev/null >"$tmp/out" 2>"$tmp/err"
  rc=$?
  # Now and then Wine ends a run with 1 before it says a word; the program never exits 1.
  if [ -n "$emu" ] && [ "$rc" = 1 ] && [ ! -s "$tmp/out" ] && [ ! -s "$tmp/err" ]; then
    echo "note: Wine ended a run with 1 and no output; it runs again: $*"
    timeout 120 $emu "$prog" "$@" </dev/null >"$tmp/out" 2>"$tmp/err"
    rc=$?
  fi
  out=$(cat "$tmp/out"; printf x) && out=${out%x}
}

# section AREA LAYER TITLE FOLDER: the bytes an ADD appends.
section() {
  printf '\r\n[Area.%s]\r\nTitle=%s\r\nlocal=%s\r\nActive=TRUE\r\nLayer=%s\r\n\r\n' \
    "$1" "$3" "$4" "$2"
}
# library AREAS FILE: a library of AREAS realistic sections with CR LF line ends.
library() {
  awk -v n="$1" 'BEGIN { ORS = "\r\n"; print "[General]"; print "Title=Scenery Library"; print ""
    for (i = 1; i <= n; i++) {
      printf "[Area.%03d]\r\n", i; print "Title=Generated Scenery Region " i
      print "Local=D:\\Sim Addons\\Generated Scenery Pack " i "\\Scenery"
      print "Layer=" i; print "Active=TRUE"; print "Required=FALSE"; print ""
    } }' > "$2"
}
