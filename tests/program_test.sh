#!/usr/bin/env bash
# End-to-end runs with no display: each outcome as a row, as a user runs it and with --unattended
# (transcript, exit code, library left); relative folders, wildcards, key waits, --help, --version.
source "$(dirname "$0")/script_lib.sh" "$@"
cd "$tmp" && mkdir -p sim "product dir"
printf -v PL 'current Path is:%s%s\r\n' "$(winpath "$tmp")" "$SEP"
sim=$(winpath "$tmp/sim") product=$(winpath "$tmp/product dir") other=$(winpath "$tmp/other")
title="Demo Harbour"
backup="product dir/scenery_beforeinstall.cfg"

# report AREA TITLE FOLDER [none]: the ADD report as printed, with its backup sentence unless none.
report() {
  REPORT="Scenery AREA added:${CRLF}${CRLF}AREA=$1${CRLF}Title=$2${CRLF}localv=$3${CRLF}Active=TRUE"
  REPORT+="${CRLF}Layer=$1${CRLF}${CRLF}"
  REPORT+="If you wish to move this Layer, please use the FS scenery library"
  [ -n "${4:-}" ] ||
    REPORT+=$'\n\r\n\r'"Backup made of 'scenery.cfg' at $3${SEP}scenery_beforeinstall.cfg"
  REPORT+="${CRLF}${CRLF}PRESS ANY KEY${CRLF}"
}
HEAD="Adding your Product to your FS scenery Library:${CRLF}${CRLF}${CRLF}${CRLF}"
HEAD+="Caution another product found using the same"
FOLDER="$HEAD product location: ${CRLF}${CRLF}'$product'${CRLF}${CRLF}"
FOLDER+="Your scenery library has not been changed, because of this.${CRLF}${CRLF}"
TITLE="$HEAD name: ${CRLF}${CRLF}'$title'${CRLF}${CRLF}"
TITLE+="But it is using another directory location${CRLF}"
TITLE+="Your scenery library has not been changed, because of this.${CRLF}${CRLF}"

cp "$here/../examples/scenery.cfg" sample.cfg
{ cat sample.cfg; section 013 13 "$title" "$product"; } > added.cfg
{ cat sample.cfg; printf '\r\n\r\n'; } > removed.cfg
{ cat sample.cfg; section 013 13 Trailing "$product$SEP"; } > trailing.cfg
printf '[Area.001]\r\nTitle=No Layer\r\nlocal=D:\\x\r\n' > nolayer.cfg
# Entries before any header count like any other; a folder entry there has no section to cut.
printf 'local=%s\r\n[Area.001]\r\nLayer=1\r\n' "$product" > stray.cfg
printf 'Title=%s\r\n[Area.001]\r\nLayer=1\r\n' "$title" > titled.cfg
cp sample.cfg readonly.cfg && chmod a-w readonly.cfg
touch -d 2020-01-01 *.cfg

# row NAME CODE START END OUTPUT ARGS...: on the library START (or none, a folder, a fifo; -lock: a
# folder at its lock file's name) the program run with ARGS prints the path line and OUTPUT, leaves
# END (not rewritten if START), exits 0, or CODE with --unattended, and leaves no backup if refused.
row() {
  local name=$1 code=$2 start=$3 end=$4 want=$PL$5 mode
  shift 5
  for mode in "" --unattended; do
    rm -rf sim/scenery.cfg* "$backup"
    case $start in none) ;; folder) mkdir sim/scenery.cfg ;; fifo) mkfifo sim/scenery.cfg ;;
      *) cp -p "${start%-*}" sim/scenery.cfg ;; esac
    [[ $start != *-lock ]] || mkdir sim/scenery.cfg.sceneryreg-lock
    run ${mode:+"$mode"} "$@"
    local want_rc=${mode:+$code}
    check "$name $mode" "$([ "$out" == "$want" ] && [ "$rc" = "${want_rc:-0}" ]; echo $?)" \
      "exit $rc; printed $(printf %q "$out"); $(head -c 300 "$tmp/err")"
    case $end in none) ;; *) holds "$name $mode: library afterwards" cmp -s sim/scenery.cfg "$end"
      [ "$end" != "$start" ] || holds "$name $mode: not rewritten" \
        [ "$(stat -c %Y sim/scenery.cfg "$start" | uniq | wc -l)" = 1 ] ;; esac
    [[ $code != 1[56] && $start != *-lock ]] || holds "$name $mode: no backup" [ ! -e "$backup" ]
  done
}

report 13 "$title" "$product"
# Most rows run one of these commands.
add=("$sim" ADD "$product" "$title") remove=("$sim" REMOVE "$product" "$title")
other_title=("$sim" ADD "$product" Other) other_folder=("$sim" ADD "$other" "$title")
#   name                             code start       end          output       arguments
row "added"                          0  sample.cfg   added.cfg    "$REPORT" \
    "$sim" add "$product" "$title"
holds "the backup is the library as it was" cmp -s "$backup" sample.cfg
row "removed"                        0  added.cfg    removed.cfg  "" \
    "$sim" Remove "$product" "$title"
row "already registered"             10 added.cfg    added.cfg    ""            "${add[@]}"
row "folder under another title"     11 added.cfg    added.cfg    "$FOLDER"     "${other_title[@]}"
row "title with another folder"      12 added.cfg    added.cfg    "$TITLE"      "${other_folder[@]}"
row "nothing to remove"              13 sample.cfg   sample.cfg   ""            "${remove[@]}"
row "no layer: not added"            14 nolayer.cfg  nolayer.cfg  ""            "${add[@]}"
row "no section to cut"              14 stray.cfg    stray.cfg    ""            "${remove[@]}"
row "title before any header"        12 titled.cfg   titled.cfg   "$TITLE"      "${other_folder[@]}"
row "folder before any header"       11 stray.cfg    stray.cfg    "$FOLDER"     "${other_title[@]}"
row "library not found"              15 none         none         "$NOLIB"      "${add[@]}"
row "library that is a folder"       15 folder       none         "$NOLIB"      "${add[@]}"
# refused NAME OUTPUT ARGS...: wrong arguments (exit 16), the sample library left as it was.
refused() { row "$1" 16 sample.cfg sample.cfg "${@:2}"; }
refused "action with a trailing blank" "$SYNTAX"  "$sim" "ADD " "$product" "$title"
refused "title with a line break"      "$DETAILS" "$sim" ADD "$product" $'Demo\r\n[Area.999]'
refused "folder with a line break"     "$DETAILS" "$sim" ADD $'x\ny' "$title"
row "wrong action, no library"       16 none         none         "$NOLIB$SYNTAX" \
    "$sim" BAD "$product" "$title"
row "no arguments"                   16 none         none         "$NOLIB$DETAILS"
row "a -- word before four is the folder" 15 none         none         "$NOLIB" \
    --Unattended ADD "$product" "$title"
if [ -z "$emu" ]; then
  unreadable="Error opening file: $tmp/sim/scenery.cfg   Errorcode=3$CRLF"
  row "library that cannot be read" 17 fifo none "$unreadable" "$sim" ADD "$product" "$title"
  holds "a library that cannot be read gets no backup" [ ! -e "$backup" ]
fi
row "read-only library"              17 readonly.cfg readonly.cfg "$SAVE_FAILED$CRLF" "${add[@]}"
report 13 Trailing "$product$SEP"
row "trailing separators"            0  sample.cfg   trailing.cfg "$REPORT" \
    "$sim$SEP" ADD "$product$SEP" Trailing
if [ -n "$emu" ]; then
  # Arguments the Windows code page cannot hold are refused, not turned into look-alikes.
  mkdir -p "$tmp/Łódź" && lodz=$(winpath "$tmp/Łódź")
  refused "folder outside the code page" "$DETAILS" "$sim" ADD "$lodz" Lodz
  refused "title outside the code page"  "$DETAILS" "$sim" ADD "$product" "日本の風景"
  cp sample.cfg "$tmp/Łódź/scenery.cfg"
  row "simulator outside the code page" 15 sample.cfg sample.cfg "$NOLIB" \
      "$lodz" ADD "$product" Lodz
  refused "action outside the code page" "$SYNTAX"  "$sim" ＡＤＤ "$product" Lodz
  # Other ways to name a library the code page cannot hold, or one past MAX_PATH, and a product
  # folder as a device path: each library is edited, and backed up.
  edited() {  # edited NAME FOLDER LIBRARY PRODUCT
    cp sample.cfg "$3" && rm -f "$backup" && run --unattended "$2" ADD "$4" "$title"
    [ "$rc" = 0 ] && grep -q "Title=$title" "$3" && cmp -s "$backup" sample.cfg
    check "$1" $? "exit $rc; $(head -c 300 "$tmp/err")"
  }
  short=$(WINEDEBUG=-all WINEPREFIX=${WINEPREFIX:-~/.wine-sceneryreg} winepath -s "$lodz")
  edited "a library by its short name" "$short" "$tmp/Łódź/scenery.cfg" "$product"
  deep="$tmp/$(printf 'd%.0s' {1..150})/$(printf 'e%.0s' {1..150})" && mkdir -p "$deep"
  edited "a library past MAX_PATH" "$(winpath "$deep")" "$deep/scenery.cfg" "$product"
  edited "a product folder as a device path" "$sim" sim/scenery.cfg "\\\\.\\$product"
  edited "a library as a device path in slashes" "//?/${sim//\\//}" sim/scenery.cfg "$product"
  # A user who may only read the lock file still takes part in the lock.
  rm -rf sim/scenery.cfg* && touch sim/scenery.cfg.sceneryreg-lock
  chmod 444 sim/scenery.cfg.sceneryreg-lock
  edited "a lock file this user may only read" "$sim" sim/scenery.cfg "$product"
  rm -f sim/scenery.cfg.sceneryreg-lock
  # A run that cannot hold the lock changes nothing: here a folder stands at the lock file's name.
  row "lock file a folder" 17 sample.cfg-lock sample.cfg "$SAVE_FAILED$CRLF" "$sim" ADD "$product" x
  # Nor where a link there leads to nothing: the run makes no file through it.
  rm -r sim/scenery.cfg.sceneryreg-lock && ln -s "$tmp/planted" sim/scenery.cfg.sceneryreg-lock
  run --unattended "$sim" ADD "$product" x
  holds "no file made through a link at the lock's name" eval '[ $rc = 17 ] && [ ! -e planted ]'
  # Forward slashes are separators too.
  slashed=${product//\\//} && report 13 "$title" "$slashed"
  { cat sample.cfg; section 013 13 "$title" "$slashed"; } > slashed.cfg
  row "forward slashes"                 0 sample.cfg slashed.cfg "$REPORT" \
      "${sim//\\//}" ADD "$slashed" "$title"
  report 13 $'Caf\xe9' "$product"
  { cat sample.cfg; section 013 13 $'Caf\xe9' "$product"; } > cafe.cfg
  row "a title in the code page is written in its bytes" 0 sample.cfg cafe.cfg "$REPORT" \
      "$sim" ADD "$product" Café
fi

# The backup is made once and never refreshed, and only the run that made it names it; a
# product folder that does not exist gets none.
cp sample.cfg sim/scenery.cfg && rm -f "$backup"
for action in ADD REMOVE ADD; do run "$sim" $action "$product" "$title"; done
report 13 "$title" "$product" none
holds "the backup is made once" eval '[ "$out" = "$PL$REPORT" ] && cmp -s "$backup" sample.cfg'
cp sample.cfg sim/scenery.cfg && run "$sim" ADD "$other" "$title"
report 13 "$title" "$other" none
holds "a missing product folder gets no backup" eval '[ "$out" = "$PL$REPORT" ] && [ ! -e other ]'

# Relative folders are taken from the program's folder, here two levels above the caller's,
# so that "../sim" leads elsewhere from either; a bare program name keeps the caller's folder.
mkdir -p rel/bin rel/sim rel/elsewhere/inner
cp sample.cfg rel/sim/scenery.cfg && cp "$prog" rel/bin/
cd rel/elsewhere/inner
timeout 60 $emu ../../bin/"$(basename "$prog")" ../sim ADD "../product dir" Relative \
  </dev/null >/dev/null
holds "relative paths from the program's folder" \
  grep -q 'local=../product dir' ../../sim/scenery.cfg
if [ -z "$emu" ]; then
  mkdir -p "$(basename "$prog")" sim "product dir" && cp ../../sim/scenery.cfg sim/
  PATH="$tmp/rel/bin:$PATH" timeout 60 "$(basename "$prog")" sim ADD "product dir" Bare \
    </dev/null >/dev/null
  holds "a bare program name keeps the caller's folder" grep -q 'local=product dir' sim/scenery.cfg
fi
cd "$tmp"

# Wildcards: the Windows runtime expands them, from the caller's folder; POSIX shells did.
touch Alpha1.cfgx
if [ -n "$emu" ]; then report 13 Alpha1.cfgx "$product"; else report 13 'Alpha*.cfgx' "$product"; fi
row "wildcards" 0 sample.cfg none "$REPORT" "$sim" ADD "$product" "Alpha*.cfgx"

export SHELL=/bin/bash  # the shell of script; sh has no read -s

# keys NAME CODE TYPED [early|job|elsewhere|--unattended]: TYPED then "z", typed on a terminal once
# a caution waits (early: at once; else once the run, which may not wait, ended), end the run with
# CODE, unechoed, mode kept, "z" unread. Under Wine two runs in one console take one TYPED each.
printf '@"%s" %%1 "%s" ADD "%s" Other\r\n' "$(winpath "$prog")" "$sim" "$product" | sed p >twice.bat
shown() { sed 's/\x1b\[[0-9;?]*[A-Za-z]//g' screen | tr -d '\r\n'; }  # without Wine's escapes
raw() { stty -F "$(cat tty)" -a 2>/dev/null | grep -qw -- -echo; }  # the terminal echoes nothing
keys_once() {
  local code=$2 how=${4:-} && local cmd="'$prog' ${how##[!-]*} '$sim' ADD '$product' Other" n=1
  [ -z "$emu" ] || cmd="$emu cmd /c '$(winpath "$tmp/twice.bat")' ${how##[!-]*}" n=2
  case $how in job) cmd="set -m; $cmd & wait \$!" ;; elsewhere) cmd+=" </dev/null" ;; esac
  cp added.cfg sim/scenery.cfg; rm -f keys.in rc next mode.* screen tty
  mkfifo keys.in && exec 9<>keys.in
  timeout 120 script -qec "tty > tty; stty -g > mode.before; trap '' INT; $cmd; echo \$? > rc; \
stty -g > mode.after; IFS= read -rsn1 -t 5 next; printf %s \"\$next\" > next" /dev/null \
<>keys.in > screen & local pid=$!
  for i in $(seq $n); do  # typed once the i-th caution waits with the echo off, or the run ended
    case $how in early) ;;
      "") within 60 eval '(($(shown | grep -o Caution | wc -l) >= i)) && raw' ;;
      *) within 60 test -e rc ;; esac ||
      check "keys: $1: the run came to its wait" 1 \
        "run $i of $n, $(shown | grep -o Caution | wc -l) cautions shown"
    [ -n "$how" ] || holds "keys: $1: the library is free during the wait" eval '[ "$(timeout \
      60 $emu "$prog" --unattended "$sim" REMOVE "$other" X </dev/null >/dev/null; echo $?)" = 13 ]'
    printf '%b' "$3" >&9
  done
  # "z" once the run ended and the shell after it reads with the echo off.
  within 60 eval '[ -e rc ] && raw' || check "keys: $1: the run ends" 1
  printf z >&9; wait $pid; exec 9>&-
  local next && next=$(cat next 2>/dev/null)
  [ "$(cat rc 2>&1)" = "$code" ] && cmp -s mode.before mode.after && [ "$next" = z ] &&
    { [ "$how" = job ] || [ "$(shown | tail -c 5)" = this. ]; }
  check "keys: $1" $? "exit $(cat rc 2>&1), then '$next' read, the screen ending in \
$(shown | tail -c 300)"
}
# Wine's console on a pseudo-terminal has once missed a run's wait under load (cause unknown): a
# case that fails under Wine runs once more, its first failures kept in the log above a note.
keys() {
  local before=$failed passed_before=$passed
  keys_once "$@"
  [ -n "$emu" ] && [ "$failed" != "$before" ] || return 0
  echo "note: keys: $1 failed as above once; run again" && failed=$before passed=$passed_before
  keys_once "$@"
}
keys letter 0 x; keys Esc 0 '\e'; keys arrow 0 '\e[A'; keys unattended 11 '' --unattended
keys "function key" 0 '\e[15;2~'; keys "keypad key" 0 '\eOP'; keys "input elsewhere" 0 '' elsewhere
# Keys typed before Wine's console holds the terminal are the terminal's to echo, Wine's console
# takes Ctrl+C from a terminal for a key, and a Windows program knows no background jobs.
[ -n "$emu" ] || { keys "letter typed early" 0 k early; keys Ctrl+C 130 '\003'; keys job 0 '' job; }

# A console shows the ANSI text's own characters, however long; here Wine's console draws them on
# a terminal.
if [ -n "$emu" ]; then
  long=$(printf "%8190s" | tr ' ' x)
  { cat sample.cfg; section 013 13 "$long"$'Caf\xe9' "$other"; } > sim/scenery.cfg
  timeout 120 script -qec "$emu '$prog' --unattended '$sim' ADD '$product' ${long}Café" \
    /dev/null >screen
  holds "console: a title in the code page shows its letters" eval "shown | grep -q \"xCafé'\""
fi

run --version
version=$(sed -n 's/^#define SCENERYREG_VERSION_TEXT "\(.*\)"$/\1/p' "$here/../src/main/version.h")
check "--version prints the version" \
  "$([ "$rc$out" = "0sceneryreg $version$CRLF" ]; echo $?)" "$out"
run --help
codes=0; for c in 0 10 11 12 13 14 15 16 17 18; do grep -q "^ *$c  " "$tmp/out" || codes=$c; done
check "--help names both actions and every exit code, in CR LF lines" "$([ "$rc$codes" = 00 ] &&
  [[ "$out" == *ADD*REMOVE* ]] && ! printf %s "$out" | grep -q $'[^\r]$'; echo $?)" "code $codes"

finish program
