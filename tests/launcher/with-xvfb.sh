#!/bin/sh
# Runs a command with DISPLAY set to a private Xvfb server that is ended
# afterwards. Xvfb picks a free display number itself (-displayfd) and
# reports it once it accepts clients. Exits 77 (skipped) without Xvfb.
set -u
if ! command -v Xvfb >/dev/null 2>&1; then
  echo "SKIPPED: Xvfb is not installed (apt-get install xvfb)" >&2
  exit 77
fi
scratch=$(mktemp -d)
trap 'kill "$xvfb" 2>/dev/null; wait "$xvfb" 2>/dev/null; rm -rf "$scratch"' EXIT
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
"$@"
