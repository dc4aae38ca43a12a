#!/bin/sh
# A feed on the plain channel names for the length of a test run, as a
# user's own feed or viewer would be, so that every channel test shows that
# it keeps to its own namespace.
#   default_names_feed.sh start FEED BARS STATE_DIR
#   default_names_feed.sh stop STATE_DIR NAMESPACE_BASE
set -u
. "$(dirname "$0")/wait_for.sh"
case "$1" in
start)
  feed=$2 bars=$3 state=$4
  mkdir -p "$state"
  rm -f "$state/feed.pid"
  if [ -e /dev/shm/LOW_TIMELINEShared ]; then
    echo "channels on the plain names exist already (a viewer or feed runs here): kept as they are"
    exit 0
  fi
  # At most an hour, should the stop never come.
  env -u TICKWELL_NAMESPACE timeout 3600 "$feed" --symbol TESTRUN --first 5 --poll 50 "$bars" \
    > "$state/feed.log" 2>&1 &
  echo $! > "$state/feed.pid"
  pid=$(cat "$state/feed.pid")
  published() { grep -q '^published' "$state/feed.log" 2>/dev/null; }
  wait_for 30 'published || ! kill -0 "$pid" 2>/dev/null'
  if ! published; then
    # Another run's feed may hold the names: that serves as well.
    if [ -e /dev/shm/LOW_TIMELINEShared ]; then
      echo "the plain names are in use by another feed: kept as they are"
      rm -f "$state/feed.pid"
      exit 0
    fi
    echo "the feed on the plain names did not publish:"
    cat "$state/feed.log"
    exit 1
  fi
  echo "a feed publishes on the plain names (pid $(cat "$state/feed.pid"))"
  ;;
stop)
  state=$2 base=$3
  if [ -f "$state/feed.pid" ]; then
    pid=$(cat "$state/feed.pid")
    kill -TERM "$pid" 2>/dev/null
    wait_for 10 '! kill -0 "$pid" 2>/dev/null'
    rm -f "$state/feed.pid"
  fi
  # What the tests' namespaces leave behind: the attach guards (never
  # removed while in use) and the objects of killed test processes.
  rm -f /dev/shm/"$base"*
  echo "stopped"
  ;;
*)
  echo "usage: $0 start FEED BARS STATE_DIR | stop STATE_DIR NAMESPACE_BASE" >&2
  exit 2
  ;;
esac
