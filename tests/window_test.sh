#!/usr/bin/env bash
# The real result window on a private X server, driven like a user: its size, the report drawn,
# a click and a lone Shift that must not end the wait, keys and a close request that must.
source "$(dirname "$0")/script_lib.sh" "$@"
title=$(basename "$prog") && title=${title%.*}
trap '{ kill ${prog_pid:-} $xvfb_pid; [ -z "$emu" ] || timeout 20 wineserver -k; } 2>/dev/null
      rm -rf "$tmp"' EXIT

# The server picks a free display number itself, so parallel runs never collide.
Xvfb -displayfd 3 -screen 0 1024x768x24 -nolisten tcp 3>"$tmp/display" 2>/dev/null & xvfb_pid=$!
within 30 test -s "$tmp/display" || { echo "FAIL: Xvfb did not start"; exit 1; }
export DISPLAY=":$(head -1 "$tmp/display")"
if [ -n "$emu" ]; then
  # A prefix's first Wine process decides whether its windows reach an X display, and other tests
  # run without one: a prefix of its own, hard-linked (registry files copied: Wine rewrites them).
  base=${WINEPREFIX:-$HOME/.wine-sceneryreg}
  cp -al "$base" "$tmp/wine" && cp --remove-destination "$base"/*.reg "$tmp/wine/"
  export WINEPREFIX="$tmp/wine"
fi

# xdo NAME ARGS...: xdotool ARGS, a failure of which fails the check NAME.
xdo() { local err; err=$(xdotool "${@:2}" 2>&1 >/dev/null) || check "$1: xdotool ${*:2}" 1 "$err"; }
# focused PATTERN: a window in sight named PATTERN has the focus; sets wid, or xerr to what
# xdotool said. Wine may map a new window again as it settles: callers wait for this to hold.
focused() {
  wid=$(xdotool search --onlyvisible --name "$1" 2>/dev/null | head -1) && [ -n "$wid" ] &&
    xerr=$(timeout 10 xdotool windowfocus --sync "$wid" 2>&1)
}
# opened NAME ARGS...: the program in the background; sets prog_pid and wid, or fails NAME.
opened() {
  timeout 120 $emu "$prog" "${@:2}" </dev/null >"$tmp/out" 2>"$tmp/err" & prog_pid=$! xerr=
  within 60 focused "^$title\$" && return
  check "$1: window opens" 1 "$(head -3 "$tmp/err") $xerr"; return 1
}
running() { kill -0 "$prog_pid" 2>/dev/null; }
seen() { xdotool search --onlyvisible --name "$1" >/dev/null; }  # a window in sight, by name
ended() {  # ended NAME: the program ends by itself, with exit code 0
  within 60 eval '! running' || kill "$prog_pid"
  wait "$prog_pid"; check "$1" $? "still running or failed"
}
# Which of the 25 text rows hold white pixels, as 25 digits 0 or 1.
lit_rows() {
  xwd -id "$wid" -silent | python3 -c '
import struct, sys
data = sys.stdin.buffer.read(); h = struct.unpack(">25I", data[:100])
w, order, step, bpl, pix = h[4], h[7], h[11] // 8, h[12], data[h[0] + h[19] * 12:]
endian = "little" if order == 0 else "big"
white = lambda x, y: int.from_bytes(pix[y * bpl + x * step:][:step], endian) & 0xFFFFFF == 0xFFFFFF
lit = lambda r: any(white(x, y) for y in range(8 * r, 8 * r + 8) for x in range(w))
print("".join("1" if lit(r) else "0" for r in range(25)))'
}
# drawn NAME PATTERN: the window's lit rows come to match PATTERN (a glob), as the window presents
# what it was given; the rows last seen when they do not.
drawn() {
  local rows pattern=$2
  within 20 eval 'rows=$(lit_rows) && [[ $rows == $pattern ]]'
  check "$1" $? "$rows"
}
# Asks the window to close as a window manager's close button does: a WM_DELETE_WINDOW client
# message (event type 33, laid out as Xlib lays it out) in a 192-byte XEvent.
close_request() {
  python3 -c '
import ctypes, struct, sys
x = ctypes.CDLL("libX11.so.6"); x.XOpenDisplay.restype = ctypes.c_void_p
x.XInternAtom.restype = ctypes.c_ulong
x.XInternAtom.argtypes = [ctypes.c_void_p, ctypes.c_char_p, ctypes.c_int]
x.XSendEvent.argtypes = [ctypes.c_void_p, ctypes.c_ulong, ctypes.c_int, ctypes.c_long,
                         ctypes.c_char_p]
x.XFlush.argtypes = [ctypes.c_void_p]
d, w = x.XOpenDisplay(None), int(sys.argv[1]); atom = lambda name: x.XInternAtom(d, name, 0)
event = struct.pack("@iLiPLLil", 33, 0, 0, 0, w, atom(b"WM_PROTOCOLS"), 32,
                    atom(b"WM_DELETE_WINDOW"))
x.XSendEvent(d, w, 0, 0, event.ljust(192, b"\0"))
x.XFlush(d)' "$wid"
}

mkdir -p "$tmp/sim" "$tmp/product" && cp "$here/../examples/scenery.cfg" "$tmp/sim/scenery.cfg"
sim=$(winpath "$tmp/sim") product=$(winpath "$tmp/product")

if opened "syntax error" "$sim" BAD "$product" "Window Test"; then
  size=$(xwininfo -id "$wid" | awk '/Width:/ {w = $2} /Height:/ {h = $2} END {print w "x" h}')
  check "syntax error: client area is 640x200" "$([ "$size" = 640x200 ]; echo $?)" "$size"
  drawn "syntax error: one line drawn on row 1" 1000000000000000000000000
  # Nothing can show that an event was ignored: the program is watched for a second after them.
  xdo "syntax error" mousemove --window "$wid" 320 100 click 1 key shift; sleep 1
  check "syntax error: a click and a lone Shift do not end the wait" "$(running; echo $?)"
  xdo "syntax error" key Right; ended "syntax error: an arrow key ends the program with code 0"
fi
if opened "ADD" "$sim" ADD "$product" "Window Test"; then
  # Heading, blank, entries, blank, advice, then LF CR LF CR: a blank row before the backup line.
  drawn "ADD: report laid out by rows" '10111110101*'
  xdo ADD key x; ended "ADD: a letter key ends the program with code 0"
fi
if emu=${emu:+wineconsole} prog=$(winpath "$prog") opened "close request" "$sim" BAD x y; then
  [ -z "$emu" ] || holds "own console: hidden for the window" eval '! seen "sceneryreg.exe$"'
  close_request; ended "a close request ends the program with code 0"
fi

# A batch installer's console, waiting at its own prompt afterwards, stays in sight. A mark shows
# the program ended before the prompt's key is typed; keys go where the focus is, as the prompt's
# console goes away on the press, before its release would reach a window.
printf 'title Batch\r\n"%s" %s BAD x y\r\necho.>"%s"\r\npause\r\n' "$(winpath "$prog")" "$sim" \
  "$(winpath "$tmp/prompt")" >"$tmp/x.bat"
if [ -n "$emu" ] && emu="wineconsole cmd /c" prog=$(winpath "$tmp/x.bat") opened "batch file"; then
  holds "batch file: its console stays in sight" seen '^Batch$'
  xdo "batch file" key x
  holds "batch file: at its prompt" within 60 eval '[ -e "$tmp/prompt" ] && running'
  holds "batch file: its console in sight and focused" within 60 focused '^Batch$'
  xdo "batch file" key y; ended "batch file: its prompt ends"
fi

# Started hidden, as installers do (Windows): a window or console wait would never be answered,
# so the run must end by itself, also with a caution on the console the hidden start gives it.
if [ -n "$emu" ]; then
  echo 'WScript.Quit CreateObject("WScript.Shell").Run(WScript.Arguments(0), 0, True)' \
    > "$tmp/hidden.vbs"
  hidden() {
    timeout 60 $emu wscript "$(winpath "$tmp/hidden.vbs")" "\"$(winpath "$prog")\" $*" </dev/null
  }
  hidden "$sim" ADD "$product" Hidden; check "hidden start: ends by itself with code 0" $?
  hidden "$sim" ADD "$(winpath "$tmp/other")" Hidden
  check "hidden start: a caution does not wait" $?
  holds "hidden starts: the library holds the product once" \
    [ "$(grep -c "Title=Hidden" "$tmp/sim/scenery.cfg")" = 1 ]
fi
# Unattended, with a display at hand: no window, the report on standard output, the exit code.
timeout 60 $emu "$prog" --unattended "$sim" BAD "$product" "Window Test" </dev/null >"$tmp/out"
check "unattended: no window, the report on standard output, exit 16" \
  "$([ $? = 16 ] && grep -q "syntex error" "$tmp/out"; echo $?)"
finish window
