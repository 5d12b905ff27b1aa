#!/usr/bin/env bash
# End-to-end runs of the built program in scratch folders, with standard input not a terminal
# and no display, checking the exact console transcript, the exit code and the files left.
# Usage: program_test.sh PROGRAM [EMULATOR]   (EMULATOR runs a Windows build under Wine)
set -u
prog=$(realpath "$1")
emu=${2:-}
here=$(cd "$(dirname "$0")" && pwd)
sample="$here/../examples/scenery.cfg"
unset DISPLAY WAYLAND_DISPLAY

tmp=$(mktemp -d /tmp/sceneryreg-e2e.XXXXXX)
trap 'rm -rf "$tmp"' EXIT
passed=0 failed=0
CRLF=$'\r\n'

# Paths as the program sees them: Wine maps the Unix root to drive Z:.
if [ -n "$emu" ]; then
  SEP='\'
  winpath() { local p=${1//\//\\}; printf 'Z:%s' "$p"; }
else
  SEP='/'
  winpath() { printf '%s' "$1"; }
fi

# run ARGS...: runs the program in the current folder; sets $out (stdout bytes) and $rc.
run() {
  timeout 60 $emu "$prog" "$@" </dev/null >"$tmp/out" 2>"$tmp/err"
  rc=$?
  out=$(cat "$tmp/out"; printf x); out=${out%x}
}

check() {  # check NAME CONDITION-RESULT(0/1) [detail]
  if [ "$2" = 0 ]; then passed=$((passed + 1)); else
    failed=$((failed + 1)); echo "FAIL: $1${3:+ ($3)}"; fi
}

expect_out() {  # expect_out NAME EXPECTED
  if [ "$out" == "$2" ] && [ "$rc" = 0 ]; then check "$1" 0; else
    check "$1" 1 "exit $rc"
    printf 'expected: %q\n  actual: %q\n' "$2" "$out"
    [ -s "$tmp/err" ] && sed 's/^/  stderr: /' "$tmp/err" | head -5
  fi
}

same_file() { cmp -s "$1" "$2"; echo $?; }

# The first line of every run, for the current folder. (Kept in a variable: command
# substitution would drop its line end.)
path_line() { printf -v PL 'current Path is:%s%s\r\n' "$(winpath "$PWD")" "$SEP"; }

NOLIB="Sorry, but I Can't find your 'Scenery.cfg' file, please add this to your scenery library manually$CRLF"
SYNTAX="Sorry, but this program failed, there a syntex error$CRLF"
DETAILS="Sorry, but this program failed to find your product details$CRLF"

# report AREA LAYER TITLE FOLDER WITH_BACKUP: sets REPORT to the ADD report as the window
# fallback prints it.
report() {
  local r="Scenery AREA added:${CRLF}${CRLF}AREA=$1${CRLF}Title=$3${CRLF}localv=$4${CRLF}"
  r+="Active=TRUE${CRLF}Layer=$2${CRLF}${CRLF}If you wish to move this Layer, please use the FS scenery library"
  if [ "$5" = yes ]; then r+=$'\n\r\n\r'"Backup made of 'scenery.cfg' at $4${SEP}scenery_beforeinstall.cfg"; fi
  REPORT="$r${CRLF}${CRLF}PRESS ANY KEY${CRLF}"
}

# section AREA LAYER TITLE FOLDER: the bytes an ADD appends.
section() {
  printf '\r\n[Area.%s]\r\nTitle=%s\r\nlocal=%s\r\nActive=TRUE\r\nLayer=%s\r\n\r\n' "$1" "$3" "$4" "$2"
}

fresh() {  # fresh NAME: a scratch case folder with a simulator library and a product folder
  case_dir="$tmp/$1"
  mkdir -p "$case_dir/sim" "$case_dir/product dir"
  cp "$sample" "$case_dir/sim/scenery.cfg"
  cd "$case_dir"
  path_line
  sim=$(winpath "$case_dir/sim")
  product=$(winpath "$case_dir/product dir")
}

# --- argument errors: every failing check, alone and together ---------------------------------
fresh no_arguments
run
expect_out "no arguments" "$PL$NOLIB$DETAILS"

fresh bad_action
run "$sim" MOVE "$product" "Demo"
expect_out "unknown action" "$PL$SYNTAX"
check "unknown action leaves library" "$(same_file sim/scenery.cfg "$sample")"
check "unknown action makes no backup" "$([ ! -e "product dir/scenery_beforeinstall.cfg" ]; echo $?)"

run "$sim" "ADD " "$product" "Demo"
expect_out "action with a trailing blank" "$PL$SYNTAX"

run "$sim" ADD "$product" ""
expect_out "empty title" "$PL$DETAILS"
run "$sim" ADD "" "Demo"
expect_out "empty folder" "$PL$DETAILS"
run "$sim" MOVE "$product" ""
expect_out "bad action and empty title: details message wins" "$PL$DETAILS"
run "$sim" ADD "$product" $'Demo\r\n[Area.999]'
expect_out "title with a line break" "$PL$DETAILS"
run "$sim" ADD $'x\ny' "Demo"
expect_out "folder with a line break" "$PL$DETAILS"
check "refused runs leave library" "$(same_file sim/scenery.cfg "$sample")"

fresh missing_library
rm sim/scenery.cfg
run "$sim" ADD "$product" "Demo"
expect_out "missing library" "$PL$NOLIB"
check "missing library creates nothing" "$([ -z "$(find sim "product dir" -mindepth 1)" ]; echo $?)"
run "$sim" BAD "$product" ""
expect_out "all three checks fail" "$PL$NOLIB$DETAILS"
mkdir sim/scenery.cfg
run "$sim" ADD "$product" "Demo"
expect_out "library that is a folder" "$PL$NOLIB"

# --- ADD and REMOVE ---------------------------------------------------------------------------
fresh add_remove
title="Demo Harbour Scenery"
run "$sim" add "$product" "$title"
report 13 13 "$title" "$product" yes
expect_out "add in lower case" "$PL$REPORT"
{ cat "$sample"; section 013 13 "$title" "$product"; } > "$tmp/expected"
check "add appends the section" "$(same_file sim/scenery.cfg "$tmp/expected")"
check "add keeps the backup" "$(same_file "product dir/scenery_beforeinstall.cfg" "$sample")"

run "$sim" ADD "$product" "$title"
expect_out "second add of the same product" "$PL"
check "second add changes nothing" "$(same_file sim/scenery.cfg "$tmp/expected")"

run "$sim" Remove "$product" "$title"
expect_out "remove in mixed case" "$PL"
{ cat "$sample"; printf '\r\n\r\n'; } > "$tmp/expected"
check "remove cuts the section" "$(same_file sim/scenery.cfg "$tmp/expected")"
check "backup is never refreshed" "$(same_file "product dir/scenery_beforeinstall.cfg" "$sample")"

run "$sim" ReMoVe "$product" "$title"
expect_out "second remove" "$PL"
check "second remove changes nothing" "$(same_file sim/scenery.cfg "$tmp/expected")"

fresh trailing_separator
run "$sim$SEP" ADD "$product$SEP" "Trailing"
report 13 13 Trailing "$product$SEP" yes
expect_out "folders with a trailing separator" "$PL$REPORT"
run "$sim" REMOVE "$product" "Trailing"
{ cat "$sample"; printf '\r\n\r\n'; } > "$tmp/expected"
check "remove finds the folder written with a separator" "$(same_file sim/scenery.cfg "$tmp/expected")"

# --- where relative paths are taken from ------------------------------------------------------
fresh relative
mkdir -p bin elsewhere
cp "$prog" bin/
cd elsewhere
path_line
timeout 60 $emu ../bin/"$(basename "$prog")" ../sim ADD "../product dir" Relative </dev/null >"$tmp/out" 2>"$tmp/err"
rc=$?; out=$(cat "$tmp/out"; printf x); out=${out%x}
report 13 13 Relative "../product dir" yes
expect_out "relative paths from the program's folder" "$PL$REPORT"
check "relative run changed the library beside the program" \
  "$([ "$(tail -c 200 ../sim/scenery.cfg | grep -c 'local=../product dir')" = 1 ]; echo $?)"

if [ -z "$emu" ]; then
  fresh bare_name
  mkdir -p bin
  cp "$prog" bin/
  PATH="$case_dir/bin:$PATH" timeout 60 "$(basename "$prog")" sim ADD "product dir" Bare \
    </dev/null >"$tmp/out" 2>"$tmp/err"
  rc=$?; out=$(cat "$tmp/out"; printf x); out=${out%x}
  report 13 13 Bare "product dir" yes
  expect_out "bare program name keeps the caller's folder" "$PL$REPORT"
fi

# --- wildcards: the Windows runtime expands them, relative to the caller's folder ------------
fresh wildcard
touch Alpha1.cfgx
run "$sim" ADD "$product" "Alpha*.cfgx"
if [ -n "$emu" ]; then
  report 13 13 Alpha1.cfgx "$product" yes
  expect_out "wildcard expands" "$PL$REPORT"
else
  report 13 13 'Alpha*.cfgx' "$product" yes
  expect_out "no wildcard expansion on POSIX" "$PL$REPORT"
fi

# --- help ---------------------------------------------------------------------------------------
run --help
check "help exits 0" "$rc"
check "help names both actions" "$([[ "$out" == *ADD* && "$out" == *REMOVE* && "$out" == *scenery_beforeinstall.cfg* ]]; echo $?)"
check "help lines end with CR LF" "$([ "$(printf '%s' "$out" | grep -c $'[^\r]$')" = 0 ]; echo $?)"

echo "program: $passed passed, $failed failed"
[ "$failed" = 0 ]
