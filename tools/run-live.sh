#!/usr/bin/env bash
# The main job: a live feed of real daily S&P 500 bars, and a window on it.
#
#   tools/run-live.sh BIN_DIR CSV_PATH [extra viewer options]
#
# The feed plays the MT5 side in the background (its messages go to a log
# file beside the programs); the foreground shows what is published. The
# feed is stopped however this script ends.
set -euo pipefail
BIN=${1:?usage: run-live.sh BIN_DIR CSV_PATH}
CSV=${2:?usage: run-live.sh BIN_DIR CSV_PATH}
shift 2

if [ ! -s "$CSV" ]; then
  echo "run-live: no price data at $CSV (run ./dev setup)" >&2
  exit 1
fi

LOG=$BIN/tickwell-feed.log
# 300 bars to start with, 5 more for each request, the newest one forming
# over 4 publishes, and a publish every 2 s even when nobody asks.
"$BIN/tickwell-feed" --symbol SP500 --timeframe 16408 --first 300 --add 5 --live 4 \
  --interval 2000 "$CSV" >"$LOG" 2>&1 &
FEED=$!

stop_feed() {
  if kill -0 "$FEED" 2>/dev/null; then
    kill -TERM "$FEED" 2>/dev/null || true
    wait "$FEED" 2>/dev/null || true
  fi
}
trap stop_feed EXIT
trap 'exit 130' INT
trap 'exit 143' TERM

# Until the viewer takes this place: show the channels every 2 s (Ctrl-C ends).
"$BIN/tickwell-peek" --wait 10 --watch 2000 "$@" || {
  echo "run-live: the feed did not publish; its log ($LOG):" >&2
  cat "$LOG" >&2
  exit 1
}
