#!/usr/bin/env bash
# on_console.sh COMMAND...: COMMAND on a pseudo-terminal, which Wine makes a console of, with
# input that stays open and silent (at its end the terminal would type Ctrl+@); its exit code.
set -o pipefail
fifo=$(mktemp -u) && mkfifo "$fifo" && exec 9<>"$fifo" && rm "$fifo" || exit 1
script -qec "$*" /dev/null <&9 | sed 's/\x1b\[[0-9;?]*[A-Za-z]//g'
