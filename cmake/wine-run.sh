#!/bin/sh
# Runs a Windows program under Wine with a prefix of the project's own and no debug chatter.
# The prefix must exist before tests run in parallel (scripts/test.sh creates it).
export WINEDEBUG=-all
# Wine takes the ANSI code page from the locale; the tests expect 1252, whoever runs them.
export LC_ALL=C.UTF-8
export WINEPREFIX="${WINEPREFIX:-$HOME/.wine-sceneryreg}"
exec wine "$@"
