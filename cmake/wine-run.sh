#!/bin/sh
# Runs a Windows program under Wine with a prefix of the project's own and no debug chatter.
# The prefix must exist before tests run in parallel (scripts/test.sh creates it).
export WINEDEBUG=-all
export WINEPREFIX="${WINEPREFIX:-$HOME/.wine-sceneryreg}"
exec wine "$@"
