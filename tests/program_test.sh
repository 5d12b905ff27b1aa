#!/usr/bin/env bash
# End-to-end runs of the built program in scratch folders, with standard input not a terminal
# and no display, checking the exact console transcript, the exit code and the files left.
# Usage: program_test.sh PROGRAM [EMULATOR]   (EMULATOR runs a Windows build under Wine)
source "$(dirname "$0")/script_lib.sh" "$@"
sample="$here/../examples/scenery.cfg"
tmp=$(mktemp -d /tmp/sceneryreg-e2e.XXXXXX)
trap 'rm -rf "$tmp"' EXIT

# runas COMMAND ARGS...: runs in the current folder; sets $out (stdout bytes) and $rc.
runas() {
  timeout 60 $emu "$@" </dev/null >"$tmp/out" 2>"$tmp/err"
  rc=$?
  out=$(cat "$tmp/out"; printf x); out=${out%x}
}

expect_out() {  # expect_out NAME EXPECTED: the last run printed EXPECTED and exited 0
  if [ "$out" == "$2" ] && [ "$rc" = 0 ]; then check "$1" 0; else
    check "$1" 1 "exit $rc"
    printf 'expected: %q\n  actual: %q\n' "$2" "$out"
    [ -s "$tmp/err" ] && sed 's/^/  stderr: /' "$tmp/err" | head -5
  fi
}
expect_run() { local name=$1 want=$2; shift 2; runas "$prog" "$@"; expect_out "$name" "$want"; }

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

fresh() {  # fresh NAME: a scratch case folder with a simulator library and a product folder
  case_dir="$tmp/$1"
  mkdir -p "$case_dir/sim" "$case_dir/product dir"
  cp "$sample" "$case_dir/sim/scenery.cfg"
  cd "$case_dir"
  path_line
  sim=$(winpath "$case_dir/sim")
  product=$(winpath "$case_dir/product dir")
}
backup="product dir/scenery_beforeinstall.cfg"
{ cat "$sample"; printf '\r\n\r\n'; } > "$tmp/removed"  # the sample after an ADD and a REMOVE

# --- argument errors: every failing check, alone and together ---------------------------------
fresh no_arguments
expect_run "no arguments" "$PL$NOLIB$DETAILS"

fresh bad_action
expect_run "unknown action" "$PL$SYNTAX" "$sim" MOVE "$product" Demo
holds "unknown action leaves library" cmp -s sim/scenery.cfg "$sample"
holds "unknown action makes no backup" [ ! -e "$backup" ]
expect_run "action with a trailing blank" "$PL$SYNTAX" "$sim" "ADD " "$product" Demo
expect_run "empty title" "$PL$DETAILS" "$sim" ADD "$product" ""
expect_run "empty folder" "$PL$DETAILS" "$sim" ADD "" Demo
expect_run "bad action and empty title: details message wins" "$PL$DETAILS" "$sim" MOVE "$product" ""
expect_run "title with a line break" "$PL$DETAILS" "$sim" ADD "$product" $'Demo\r\n[Area.999]'
expect_run "folder with a line break" "$PL$DETAILS" "$sim" ADD $'x\ny' Demo
holds "refused runs leave library" cmp -s sim/scenery.cfg "$sample"

fresh missing_library
rm sim/scenery.cfg
expect_run "missing library" "$PL$NOLIB" "$sim" ADD "$product" Demo
holds "missing library creates nothing" [ -z "$(find sim "product dir" -mindepth 1)" ]
expect_run "all three checks fail" "$PL$NOLIB$DETAILS" "$sim" BAD "$product" ""
mkdir sim/scenery.cfg
expect_run "library that is a folder" "$PL$NOLIB" "$sim" ADD "$product" Demo

# --- ADD and REMOVE ---------------------------------------------------------------------------
fresh add_remove
title="Demo Harbour Scenery"
report 13 13 "$title" "$product" yes
expect_run "add in lower case" "$PL$REPORT" "$sim" add "$product" "$title"
{ cat "$sample"; section 013 13 "$title" "$product"; } > "$tmp/added"
holds "add appends the section" cmp -s sim/scenery.cfg "$tmp/added"
holds "add keeps the backup" cmp -s "$backup" "$sample"
expect_run "second add of the same product" "$PL" "$sim" ADD "$product" "$title"
holds "second add changes nothing" cmp -s sim/scenery.cfg "$tmp/added"
expect_run "remove in mixed case" "$PL" "$sim" Remove "$product" "$title"
holds "remove cuts the section" cmp -s sim/scenery.cfg "$tmp/removed"
holds "backup is never refreshed" cmp -s "$backup" "$sample"
expect_run "second remove" "$PL" "$sim" ReMoVe "$product" "$title"
holds "second remove changes nothing" cmp -s sim/scenery.cfg "$tmp/removed"

fresh trailing_separator
report 13 13 Trailing "$product$SEP" yes
expect_run "folders with a trailing separator" "$PL$REPORT" "$sim$SEP" ADD "$product$SEP" Trailing
runas "$prog" "$sim" REMOVE "$product" Trailing
holds "remove finds the folder written with a separator" cmp -s sim/scenery.cfg "$tmp/removed"

# --- where relative paths are taken from ------------------------------------------------------
fresh relative
# One level deeper than the program, so that "../sim" leads elsewhere from the caller's folder.
mkdir -p bin elsewhere/inner
cp "$prog" bin/
cd elsewhere/inner
path_line
runas ../../bin/"$(basename "$prog")" ../sim ADD "../product dir" Relative
report 13 13 Relative "../product dir" yes
expect_out "relative paths from the program's folder" "$PL$REPORT"
holds "relative run changed the library beside the program" \
  [ "$(tail -c 200 ../../sim/scenery.cfg | grep -c 'local=../product dir')" = 1 ]

if [ -z "$emu" ]; then
  fresh bare_name
  mkdir -p bin "$(basename "$prog")"  # a folder that bears the program's name
  cp "$prog" bin/
  PATH="$case_dir/bin:$PATH" runas "$(basename "$prog")" sim ADD "product dir" Bare
  report 13 13 Bare "product dir" yes
  expect_out "bare program name keeps the caller's folder" "$PL$REPORT"
fi

# --- wildcards: the Windows runtime expands them, relative to the caller's folder ------------
fresh wildcard
touch Alpha1.cfgx
if [ -n "$emu" ]; then
  report 13 13 Alpha1.cfgx "$product" yes
  expect_run "wildcard expands" "$PL$REPORT" "$sim" ADD "$product" "Alpha*.cfgx"
else
  report 13 13 'Alpha*.cfgx' "$product" yes
  expect_run "no wildcard expansion on POSIX" "$PL$REPORT" "$sim" ADD "$product" "Alpha*.cfgx"
fi

# --- arguments the Windows code page cannot hold are refused, not turned into look-alikes ----
if [ -n "$emu" ]; then
  fresh code_page
  mkdir -p "Łódź"
  cp "$sample" "Łódź/scenery.cfg"
  lodz=$(winpath "$case_dir/Łódź")
  expect_run "product folder outside the code page" "$PL$DETAILS" "$sim" ADD "$lodz" Lodz
  expect_run "title outside the code page" "$PL$DETAILS" "$sim" ADD "$product" "日本の風景"
  expect_run "simulator folder outside the code page" "$PL$NOLIB" "$lodz" ADD "$product" Lodz
  expect_run "action outside the code page" "$PL$SYNTAX" "$sim" ＡＤＤ "$product" Lodz
  holds "refused arguments change nothing" \
    eval 'cmp -s sim/scenery.cfg "$sample" && cmp -s Łódź/scenery.cfg "$sample" && [ ! -e "$backup" ]'
  report 13 13 $'Caf\xe9' "$product" yes
  expect_run "a title in the code page is written in its bytes" "$PL$REPORT" "$sim" ADD "$product" Café
fi

# --- help ---------------------------------------------------------------------------------------
runas "$prog" --help
check "help exits 0" "$rc"
check "help names both actions" "$([[ "$out" == *ADD* && "$out" == *REMOVE* && "$out" == *scenery_beforeinstall.cfg* ]]; echo $?)"
holds "help lines end with CR LF" [ "$(printf '%s' "$out" | grep -c $'[^\r]$')" = 0 ]

finish program
