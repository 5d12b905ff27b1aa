#!/usr/bin/env bash
# The real result window on a private X server, driven like a user: its size, the report drawn,
# a click and a lone Shift that must not end the wait, keys and a close request that must.
source "$(dirname "$0")/script_lib.sh" "$@"
title=$(basename "$prog") && title=${title%.*}
trap '{ kill ${prog_pid:-} $xvfb_pid; [ -z "$emu" ] || timeout 20 wineserver -k; } 2>/dev/null
      rm -rf "$tmp"' EXIT

# The server picks a free display number itself, so parallel runs never collide.
Xvfb -displayfd 3 -screen 0 1024x768x24 -nolisten tcp 3>"$tmp/display" 2>/dev/null & xvfb_pid=$!
for _ in $(seq 100); do [ -s "$tmp/display" ] && break; sleep 0.1; done
export DISPLAY=":$(head -1 "$tmp/display")"
if [ -n "$emu" ]; then
  # The first Wine process of a prefix decides for every later one whether windows reach an X
  # display, and other tests run Wine with no display at the same time: this test gets a prefix
  # of its own, hard-linked from the shared one (registry files copied, as Wine rewrites them).
  base=${WINEPREFIX:-$HOME/.wine-sceneryreg}
  cp -al "$base" "$tmp/wine" && cp --remove-destination "$base"/*.reg "$tmp/wine/"
  export WINEPREFIX="$tmp/wine"
fi

# opened NAME ARGS...: the program in the background; sets prog_pid and wid, or fails NAME.
opened() {
  timeout 120 $emu "$prog" "${@:2}" </dev/null >"$tmp/out" 2>"$tmp/err" & prog_pid=$!
  wid=$(timeout 60 xdotool search --sync --onlyvisible --name "^$title\$" 2>/dev/null | head -1)
  [ -n "$wid" ] && xdotool windowfocus --sync "$wid" 2>/dev/null && return
  check "$1: window opens" 1 "$(head -3 "$tmp/err")"; return 1
}
running() { kill -0 "$prog_pid" 2>/dev/null; }
seen() { xdotool search --onlyvisible --name "$1" >/dev/null; }  # a window in sight, by name
ended() {  # ended NAME: the program ends by itself within seconds, with exit code 0
  for _ in $(seq 100); do running || break; sleep 0.1; done
  running && kill "$prog_pid"
  wait "$prog_pid"; check "$1" $? "still running or failed"
}
# Which of the 25 text rows hold white pixels, as 25 digits 0 or 1.
lit_rows() {
  sleep 1  # the window presents about every 10 ms; give a loaded machine time
  xwd -id "$wid" -silent | python3 -c '
import struct, sys
data = sys.stdin.buffer.read(); h = struct.unpack(">25I", data[:100])
w, order, step, bpl, pix = h[4], h[7], h[11] // 8, h[12], data[h[0] + h[19] * 12:]
endian = "little" if order == 0 else "big"
white = lambda x, y: int.from_bytes(pix[y * bpl + x * step:][:step], endian) & 0xFFFFFF == 0xFFFFFF
lit = lambda r: any(white(x, y) for y in range(8 * r, 8 * r + 8) for x in range(w))
print("".join("1" if lit(r) else "0" for r in range(25)))'
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
  rows=$(lit_rows)
  check "syntax error: one line drawn on row 1" \
    "$([ "$rows" = 1000000000000000000000000 ]; echo $?)" "$rows"
  xdotool mousemove --window "$wid" 320 100 click 1 key shift 2>/dev/null; sleep 1
  check "syntax error: a click and a lone Shift do not end the wait" "$(running; echo $?)"
  xdotool key Right 2>/dev/null; ended "syntax error: an arrow key ends the program with code 0"
fi
if opened "ADD" "$sim" ADD "$product" "Window Test"; then
  # Heading, blank, the entries, blank, the advice, then LF CR LF CR: one blank row before the
  # backup sentence.
  rows=$(lit_rows)
  check "ADD: report laid out by rows" "$([[ $rows == 10111110101* ]]; echo $?)" "$rows"
  xdotool key x 2>/dev/null; ended "ADD: a letter key ends the program with code 0"
  holds "ADD: the library holds the product" grep -q "Title=Window Test" "$tmp/sim/scenery.cfg"
fi
if emu=${emu:+wineconsole} prog=$(winpath "$prog") opened "close request" "$sim" BAD x y; then
  [ -z "$emu" ] || holds "own console: hidden for the window" eval '! seen "sceneryreg.exe$"'
  close_request; ended "a close request ends the program with code 0"
fi

# A batch installer's console, where it waits at its own prompt afterwards, stays in sight.
printf 'title Batch\r\n"%s" %s BAD x y\r\npause\r\n' "$(winpath "$prog")" "$sim" >"$tmp/x.bat"
if [ -n "$emu" ] && emu="wineconsole cmd /c" prog=$(winpath "$tmp/x.bat") opened "batch file"; then
  holds "batch file: its console stays in sight" seen '^Batch$'
  xdotool key x; sleep 2; holds "batch file: at its prompt" eval 'seen ^Batch$ && running'
  xdotool search --name '^Batch$' windowfocus --sync key y; ended "batch file: its prompt ends"
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
