#!/usr/bin/env bash
# The main job: a live feed of real daily S&P 500 bars, and the chart viewer
# on it in this terminal.
#
#   tools/run-live.sh BIN_DIR CSV_PATH [extra viewer options]
#
# The feed plays the MT5 side in the background (its messages go to a log
# file beside the programs); the viewer runs in the foreground until Q. The
# feed is stopped however this script ends, and the viewer leaves the
# terminal as it found it.
set -euo pipefail
BIN=${1:?usage: run-live.sh BIN_DIR CSV_PATH}
CSV=${2:?usage: run-live.sh BIN_DIR CSV_PATH}
shift 2

if [ ! -s "$CSV" ]; then
  echo "run-live: no price data at $CSV (run ./dev setup)" >&2
  exit 1
fi

LOG=$BIN/tickwell-feed.log
# 300 bars to start with and 5 more for each request, so every U (and every
# S) shows the chart growing by five trading days.
"$BIN/tickwell-feed" --symbol SP500 --timeframe 16408 --first 300 --add 5 \
  "$CSV" >"$LOG" 2>&1 &
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

# The viewer stops at once when nothing is published yet: wait for the
# feed's first batch (at most 10 s).
for _ in $(seq 100); do
  grep -q '^published' "$LOG" 2>/dev/null && break
  kill -0 "$FEED" 2>/dev/null || break
  sleep 0.1
done
if ! grep -q '^published' "$LOG" 2>/dev/null; then
  echo "run-live: the feed did not publish; its log ($LOG):" >&2
  cat "$LOG" >&2
  exit 1
fi

# U refresh, arrows / PAGE UP / PAGE DOWN / HOME / END scroll, S save (into
# $BIN/CSV), L log, H help, Q quit.
set +e
"$BIN/ConsoleTavelundPF" "$@"
status=$?
set -e
exit $status
