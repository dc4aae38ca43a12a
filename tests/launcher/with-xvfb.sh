#!/bin/sh
# Runs a Windows program under Wine on a private Xvfb display:
#   with-xvfb.sh PREFIX PROGRAM [ARGS...]
# The prefix is the GUI tests' own: a Wine desktop started by a test without
# a display (any user32 program) would otherwise be shared and have no X
# driver. Xvfb picks a free display number itself (-displayfd) and reports it
# once it accepts clients. Exits 77 (skipped) without Wine or Xvfb.
set -u
WINE=/usr/lib/wine/wine64
WINESERVER=/usr/lib/wine/wineserver
prefix=$1
shift
if [ ! -x "$WINE" ]; then
  echo "SKIPPED: Wine is not installed ($WINE missing); run ./dev setup" >&2
  exit 77
fi
if ! command -v Xvfb >/dev/null 2>&1; then
  echo "SKIPPED: Xvfb is not installed (apt-get install xvfb)" >&2
  exit 77
fi
export WINEPREFIX="$prefix"
export WINEDEBUG="${WINEDEBUG:--all}"
export WINEDLLOVERRIDES="${WINEDLLOVERRIDES:-mscoree,mshtml=}"

scratch=$(mktemp -d)
xvfb=
finish() {
  # The prefix's server and desktop belong to this display; end them with it.
  "$WINESERVER" -k 2>/dev/null
  [ -n "$xvfb" ] && kill "$xvfb" 2>/dev/null && wait "$xvfb" 2>/dev/null
  rm -rf "$scratch"
}
trap finish EXIT
"$WINESERVER" -k 2>/dev/null

Xvfb -displayfd 3 -screen 0 1024x768x24 -nolisten tcp 3>"$scratch/display" 2>"$scratch/log" &
xvfb=$!
# Up to 30 s for the server to come up on a loaded machine.
tries=0
while ! grep -q '^[0-9][0-9]*$' "$scratch/display" 2>/dev/null; do
  if ! kill -0 "$xvfb" 2>/dev/null || [ $tries -ge 300 ]; then
    echo "Xvfb did not start:" >&2
    cat "$scratch/log" >&2
    exit 1
  fi
  tries=$((tries + 1))
  sleep 0.1
done
DISPLAY=:$(cat "$scratch/display")
export DISPLAY

if [ ! -f "$prefix/system.reg" ]; then
  "$WINE" wineboot --init >/dev/null 2>&1 || { echo "wineboot failed in $prefix" >&2; exit 1; }
fi
"$WINE" "$@"
