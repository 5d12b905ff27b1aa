#!/usr/bin/env bash
# Opens the real result window on a private X server and drives it like a user: its client size,
# the report drawn in it, a mouse click and a lone Shift that must not end the wait, a typed key
# and a close request that must, and exit code 0 each time.
# Usage: window_test.sh PROGRAM [EMULATOR]   (EMULATOR runs a Windows build under Wine)
# With WINDOW_TEST_SHOTS=<folder> it leaves an XWD screenshot of each window it checked there.
source "$(dirname "$0")/script_lib.sh" "$@"
title=$(basename "$prog"); title=${title%.*}

tmp=$(mktemp -d /tmp/sceneryreg-window.XXXXXX)
xvfb_pid=
prog_pid=
cleanup() {
  [ -n "$prog_pid" ] && kill "$prog_pid" 2>/dev/null
  [ -n "$emu" ] && WINEPREFIX="$tmp/wine" timeout 20 wineserver -k 2>/dev/null
  [ -n "$xvfb_pid" ] && kill "$xvfb_pid" 2>/dev/null
  rm -rf "$tmp"
}
trap cleanup EXIT

# The server picks a free display number itself, so parallel runs never collide.
Xvfb -displayfd 3 -screen 0 1024x768x24 -nolisten tcp 3>"$tmp/display" 2>/dev/null &
xvfb_pid=$!
for _ in $(seq 100); do [ -s "$tmp/display" ] && break; sleep 0.1; done
export DISPLAY=":$(head -1 "$tmp/display")"
if ! timeout 10 xdpyinfo >/dev/null 2>&1; then
  echo "FAIL: no X server"; exit 1
fi

if [ -n "$emu" ]; then
  # The first Wine process of a prefix decides for every later one whether windows reach an X
  # display, and other tests run Wine with no display at the same time: this test gets a prefix
  # of its own, hard-linked from the shared one (registry files copied, as Wine rewrites them).
  base=${WINEPREFIX:-$HOME/.wine-sceneryreg}
  cp -al "$base" "$tmp/wine"
  for f in "$base"/*.reg; do cp --remove-destination "$f" "$tmp/wine/"; done
  export WINEPREFIX="$tmp/wine"
fi

# opened NAME ARGS...: runs the program in the background, sets $prog_pid and $wid, and fails
# NAME when no window appeared.
opened() {
  timeout 120 $emu "$prog" "${@:2}" </dev/null >"$tmp/out" 2>"$tmp/err" &
  prog_pid=$!
  wid=$(timeout 60 xdotool search --sync --onlyvisible --name "^$title\$" 2>/dev/null | head -1)
  [ -n "$wid" ] && return
  check "$1: window opens" 1 "no window titled $title"
  sed 's/^/  stderr: /' "$tmp/err" | head -5
  return 1
}

running() { kill -0 "$prog_pid" 2>/dev/null; }

# ended NAME: the program must end by itself within a few seconds, with exit code 0.
ended() {
  for _ in $(seq 100); do running || break; sleep 0.1; done
  if running; then
    check "$1" 1 "still running"; kill "$prog_pid" 2>/dev/null
  fi
  wait "$prog_pid"
  local rc=$?
  [ "$rc" = 143 ] || check "$1" "$([ "$rc" = 0 ]; echo $?)" "exit $rc"
  prog_pid=
}

# lit_rows NAME: which of the 25 text rows of the window hold white pixels, as 25 0/1 digits.
lit_rows() {
  xwd -id "$wid" -silent >"$tmp/shot.xwd"
  [ -n "${WINDOW_TEST_SHOTS:-}" ] && cp "$tmp/shot.xwd" "$WINDOW_TEST_SHOTS/$1.xwd"
  python3 - "$tmp/shot.xwd" <<'EOF'
import struct, sys
data = open(sys.argv[1], "rb").read()
h = struct.unpack(">25I", data[:100])
size, w, order, step, bpl, ncolors = h[0], h[4], h[7], h[11] // 8, h[12], h[19]
pix = data[size + ncolors * 12:]
def white(x, y):
    p = pix[y * bpl + x * step:y * bpl + x * step + step]
    return int.from_bytes(p, "little" if order == 0 else "big") & 0xFFFFFF == 0xFFFFFF
lit = lambda r: any(white(x, y) for y in range(8 * r, 8 * r + 8) for x in range(w))
print("".join("1" if lit(r) else "0" for r in range(25)))
EOF
}

# Asks the window to close the way a window manager's close button does: a WM_DELETE_WINDOW
# client message (event type 33, laid out as Xlib lays it out) in a 192-byte XEvent.
close_request() {
  python3 - "$wid" <<'EOF'
import ctypes, struct, sys
x = ctypes.CDLL("libX11.so.6")
x.XOpenDisplay.restype = ctypes.c_void_p
x.XInternAtom.restype = ctypes.c_ulong
x.XInternAtom.argtypes = [ctypes.c_void_p, ctypes.c_char_p, ctypes.c_int]
x.XSendEvent.argtypes = [ctypes.c_void_p, ctypes.c_ulong, ctypes.c_int, ctypes.c_long, ctypes.c_char_p]
x.XFlush.argtypes = [ctypes.c_void_p]
d, w = x.XOpenDisplay(None), int(sys.argv[1])
atom = lambda name: x.XInternAtom(d, name, 0)
event = struct.pack("@iLiPLLil", 33, 0, 0, 0, w, atom(b"WM_PROTOCOLS"), 32, atom(b"WM_DELETE_WINDOW"))
x.XSendEvent(d, w, 0, 0, event.ljust(192, b"\0"))
x.XFlush(d)
EOF
}

mkdir -p "$tmp/sim" "$tmp/product"
cp "$here/../examples/scenery.cfg" "$tmp/sim/scenery.cfg"
sim=$(winpath "$tmp/sim") product=$(winpath "$tmp/product")

# 1. A wrong action word: the syntax-error report, ended by a key that types no character.
if opened "syntax error" "$sim" BAD "$product" "Window Test"; then
  geometry=$(xwininfo -id "$wid" | awk '/Width:/ {w = $2} /Height:/ {h = $2} END {print w "x" h}')
  check "syntax error: client area is 640x200" "$([ "$geometry" = 640x200 ]; echo $?)" "$geometry"
  sleep 1  # the window thread presents about every 10 ms; give a loaded machine time
  rows=$(lit_rows syntax_error)
  check "syntax error: one line drawn on row 1" \
    "$([ "$rows" = 1000000000000000000000000 ]; echo $?)" "$rows"
  xdotool mousemove --window "$wid" 320 100 click 1 2>/dev/null
  xdotool windowfocus --sync "$wid" 2>/dev/null
  xdotool key shift 2>/dev/null
  sleep 1
  check "syntax error: a click and a lone Shift do not end the wait" "$(running; echo $?)"
  xdotool key Right 2>/dev/null
  ended "syntax error: an arrow key ends the program with code 0"
fi

# 2. The same, ended by a character key.
if opened "syntax error again" "$sim" BAD "$product" "Window Test"; then
  xdotool windowfocus --sync "$wid" 2>/dev/null
  xdotool key x 2>/dev/null
  ended "syntax error again: a letter key ends the program with code 0"
fi

# 3. A real ADD: the report with its blank rows, ended by a close request.
if opened "ADD" "$sim" ADD "$product" "Window Test"; then
  sleep 1
  rows=$(lit_rows add_report)
  # Heading, blank, the entry lines, blank, the advice, then LF CR LF CR: one blank row before
  # the backup sentence.
  check "ADD: report laid out by rows" \
    "$([[ $rows == 10111110101* ]]; echo $?)" "$rows"
  close_request
  ended "ADD: the close request ends the program with code 0"
fi
holds "ADD: the library holds the product" grep -q "Title=Window Test" "$tmp/sim/scenery.cfg"

# 4. Started hidden, as installers do: a window or console wait would never be answered, so
# the run must end by itself, its report on standard output.
if [ -n "${HIDDEN_START:-}" ]; then
  cp "$here/../examples/scenery.cfg" "$tmp/sim/scenery.cfg"
  timeout 60 $emu "$HIDDEN_START" 20 "$prog" "$sim" ADD "$product" "Hidden Run" </dev/null >"$tmp/out" 2>&1
  rc=$?
  holds "hidden start: ends by itself with code 0, report on standard output" \
    eval '[ "$rc" = 0 ] && grep -q "Title=Hidden Run" "$tmp/out"'
  timeout 60 $emu "$HIDDEN_START" 20 --new-console "$prog" "$sim" ADD "$(winpath "$tmp/other")" "Hidden Run" </dev/null >/dev/null 2>&1
  check "hidden start on a console of its own: a caution does not wait" "$?"
  holds "hidden starts: the library holds the product once" \
    [ "$(grep -c "Title=Hidden Run" "$tmp/sim/scenery.cfg")" = 1 ]
fi

# 5. Unattended, with a display at hand: the report goes to standard output instead of a window
# that would wait, and the run ends by itself with its exit code.
timeout 60 $emu "$prog" --unattended "$sim" BAD "$product" "Window Test" </dev/null >"$tmp/out"
rc=$?
check "unattended: no window, the report on standard output, exit 16" \
  "$([ "$rc" = 16 ] && grep -q "syntex error" "$tmp/out"; echo $?)" "exit $rc"
finish window
