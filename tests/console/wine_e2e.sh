#!/bin/sh
# The Windows viewer for real: under Wine, in a tmux pane, against the
# Windows tickwell-feed through the real channels of one wineserver.
#   wine_e2e.sh BIN_DIR WINE_RUN
set -u
BIN=$1
WINE_RUN=$2
[ -x /usr/lib/wine/wine64 ] || { echo "SKIPPED: Wine is not installed"; exit 77; }
command -v tmux >/dev/null || { echo "SKIPPED: tmux is not installed"; exit 77; }

WORK=$(mktemp -d /tmp/viewer_wine_e2e.XXXXXX)
SOCKET=
RUNS=0
FEED_PID=
PEER_PID=
stop_process() {  # stop_process PID
  [ -n "$1" ] || return 0
  kill "$1" 2>/dev/null
  wait_for 10 "! kill -0 $1 2>/dev/null" || kill -9 "$1" 2>/dev/null
}
cleanup() {
  [ -n "$SOCKET" ] && tmux -L "$SOCKET" kill-server 2>/dev/null
  stop_process "$PEER_PID"
  stop_process "$FEED_PID"
  rm -rf "$WORK"
}
fail() {
  echo "FAILED: $*"
  echo "--- screen:"; tmux -L "$SOCKET" capture-pane -p -J 2>/dev/null
  echo "--- feed:"; cat "$WORK/feed.log" 2>/dev/null
  cleanup
  exit 1
}
. "$(dirname "$0")/../support/wait_for.sh"
# A key pressed while a command still draws is overwritten when the command
# ends (as a held key would simply be seen again): wait until the screen
# stops changing before pressing one.
wait_stable() {
  previous=
  wait_for 30 'current=$(tmux -L "$SOCKET" capture-pane -p -J 2>/dev/null); [ -n "$current" ] && [ "$current" = "$previous" ] || { previous=$current; sleep 0.4; false; }'
}
screen_has() { tmux -L "$SOCKET" capture-pane -p -J 2>/dev/null | grep -qF -- "$1"; }
bar_date() {  # date text of bar $1: 28-day months from 2000/01/01
  awk -v i="$1" 'BEGIN { printf "%04d/%02d/%02d", 2000 + int(i / 336), 1 + int(i / 28) % 12, 1 + i % 28 }'
}
start_viewer() {  # start_viewer [OPTIONS]
  rm -f "$WORK/rc"
  # A fresh server for each run: a server still shutting down would refuse.
  [ -n "$SOCKET" ] && tmux -L "$SOCKET" kill-server 2>/dev/null
  RUNS=$((RUNS + 1))
  SOCKET=tavelund-wine-e2e-$$-$RUNS
  tmux -L "$SOCKET" -f /dev/null new-session -d -x 120 -y 50 \
    "cd '$WORK' && '$WINE_RUN' ./ConsoleTavelundPF.exe $*; echo \$? > rc.part; mv rc.part rc; exec sleep 600"
}

cp "$BIN/ConsoleTavelundPF.exe" "$BIN/tickwell.dll" "$WORK/" || fail "copying the programs"
awk 'BEGIN {
  print "date,open,high,low,close"
  for (i = 0; i < 330; i++) {
    mid = 1000 * (1 + 0.04 * sin(i / 7) + 0.02 * sin(i / 2.3))
    printf "%04d-%02d-%02d,%.5f,%.5f,%.5f,%.5f\n", 2000 + int(i / 336), 1 + int(i / 28) % 12, 1 + i % 28, mid, mid * 1.01, mid * 0.99, mid * 1.002
  }
}' > "$WORK/bars.csv"

# 0. Standard output that is no console: the "GetConsoleScreenBufferInfo"
#    message box (it returns at once without a display) and exit code 1.
(cd "$WORK" && "$WINE_RUN" ./ConsoleTavelundPF.exe > out.txt 2>&1 < /dev/null)
code=$?
[ "$code" = 1 ] || fail "redirected output: exit code $code, expected 1"
echo "ok: redirected output ends with 1"

# The exit gives the console input mode back as it was found.
if [ -f "$BIN/console_restore_win32.exe" ]; then
  RUNS=$((RUNS + 1)); SOCKET=tavelund-wine-e2e-$$-$RUNS
  tmux -L "$SOCKET" -f /dev/null new-session -d -x 120 -y 50 \
    "cd '$WORK' && '$WINE_RUN' '$BIN/console_restore_win32.exe' restore.txt; exec sleep 600"
  wait_for 60 '[ -s "$WORK/restore.txt" ]' || fail "the restore check did not run"
  grep -q '^ok' "$WORK/restore.txt" || fail "input mode not restored: $(cat "$WORK/restore.txt")"
  echo "ok: input mode restored ($(cat "$WORK/restore.txt"))"
fi

# -m ends at once with 0, before anything is bound.
start_viewer -m x
wait_for 60 '[ -f "$WORK/rc" ]' || fail "-m did not end the run"
[ "$(cat "$WORK/rc")" = 0 ] || fail "-m exit code $(cat "$WORK/rc"), expected 0"
echo "ok: -m ends with 0"

# 1. Nothing published: the driver block, a key ends the run with -1.
start_viewer
wait_for 60 'screen_has "     Check MT5 -> DRIVER DOES NOT LOADED!!!"' || fail "no driver block"
tmux -L "$SOCKET" send-keys x
wait_for 20 '[ -f "$WORK/rc" ]' || fail "the driver block did not end on a key"
[ "$(cat "$WORK/rc")" = 255 ] || fail "driver block exit code $(cat "$WORK/rc"), expected 255"
echo "ok: driver block, exit code 255"

# 2. The feed publishes 300 bars and adds 5 per request.
WIN_CSV="Z:$(printf '%s' "$WORK/bars.csv" | tr / '\\')"
"$WINE_RUN" "$BIN/tickwell-feed.exe" --first 300 --add 5 "$WIN_CSV" > "$WORK/feed.log" 2>&1 &
FEED_PID=$!
wait_for 60 'grep -q published "$WORK/feed.log"' || fail "the feed did not publish"

start_viewer
wait_for 60 "screen_has '=> $(bar_date 299) 00:00('" || fail "no chart of the first batch"
screen_has "    SP500 (D1)" || fail "no header"
wait_for 20 'screen_has "(Now)"' || fail "no chart body"
echo "ok: start-up and first chart"

wait_stable
tmux -L "$SOCKET" send-keys u
wait_for 30 "screen_has '=> $(bar_date 304) 00:00('" || fail "U did not refresh"
echo "ok: U refreshed with the grown batch"

wait_stable
tmux -L "$SOCKET" send-keys s
wait_for 30 'screen_has "    Done..."' || fail "S did not save"
SAVED=$(ls "$WORK"/CSV/SP500_*.csv 2>/dev/null)
[ "$(echo "$SAVED" | wc -l)" = 1 ] && [ -f "$SAVED" ] || fail "expected one CSV file, found: $SAVED"
CR=$(printf '\r')
[ "$(head -1 "$SAVED")" = "date,open,high,low,close$CR" ] || fail "CSV header (with CRLF)"
[ "$(wc -l < "$SAVED")" = 311 ] || fail "CSV rows: $(wc -l < "$SAVED"), expected 311"
[ "$(grep -c "$CR\$" "$SAVED")" = 311 ] || fail "every CSV line ends with CRLF"
sed -n 2p "$SAVED" | grep -q "^$(bar_date 309) 00:00," || fail "first row is not the newest bar"
tail -1 "$SAVED" | grep -q "^$(bar_date 0) 00:00," || fail "last row is not the oldest bar"
echo "ok: S saved $(basename "$SAVED") with 310 rows, newest first, CRLF line ends"

wait_stable
tmux -L "$SOCKET" send-keys q
wait_for 20 '[ -f "$WORK/rc" ]' || fail "Q did not end the viewer"
[ "$(cat "$WORK/rc")" = 0 ] || fail "exit code $(cat "$WORK/rc") after Q, expected 0"
echo "ok: Q ended the viewer with 0"

# A: the live view follows a feed that publishes a bar every 400 ms unasked.
# That feed ends after answering one request, so a viewer that asked would
# stop it.
stop_process "$FEED_PID"
"$WINE_RUN" "$BIN/tickwell-feed.exe" --first 250 --add 1 --interval 400 --requests 1 "$WIN_CSV" > "$WORK/feed.log" 2>&1 &
FEED_PID=$!
wait_for 60 'grep -q published "$WORK/feed.log"' || fail "the unasked feed did not publish"
newest() {  # the newest point's time on the LAST LINE
  tmux -L "$SOCKET" capture-pane -p -J 2>/dev/null | sed -n 's/^LAST LINE : .* => \(.\{16\}\).*/\1/p'
}
start_viewer
wait_for 60 "screen_has 'LAST LINE : '" || fail "no chart for the live run"
wait_stable
DRAWN=$(newest)
PUBLISHED=$(grep -c published "$WORK/feed.log")
wait_for 20 '[ $(grep -c published "$WORK/feed.log") -ge $((PUBLISHED + 2)) ]' || fail "the feed stopped publishing"
[ "$(newest)" = "$DRAWN" ] || fail "the chart changed with the live view off: $DRAWN -> $(newest)"
tmux -L "$SOCKET" send-keys a
wait_for 20 '[ "$(newest)" \> "$DRAWN" ]' || fail "A did not show the newest published bar"
FOLLOWED=$(newest)
wait_for 20 '[ "$(newest)" \> "$FOLLOWED" ]' || fail "the live view did not follow the next bar"
grep -q stopped "$WORK/feed.log" && fail "the live view asked the feed for a batch"
echo "ok: A followed the unasked publishes ($DRAWN -> $FOLLOWED -> $(newest)) without asking"
wait_stable
tmux -L "$SOCKET" send-keys q
wait_for 20 '[ -f "$WORK/rc" ]' || fail "Q did not end the live viewer"
[ "$(cat "$WORK/rc")" = 0 ] || fail "exit code $(cat "$WORK/rc") after the live run, expected 0"

# The live view's alerts: the feed publishes, unasked, the bars that complete
# a Double Top Breakout (reversal 3, 1 % box: an X column to 110, an O column
# to 102, an X column back to 108 that waits there, then the breakout bar),
# each bar forming over four publishes. The run log and the window title
# name the signal once. (Wine's console drops the bell byte; the native test
# counts it.)
stop_process "$FEED_PID"
awk 'BEGIN {
  print "date,open,high,low,close"
  n = split("100 102 104 106 108 110 108 106 104 102 104 106 108 108 108 108 108 108 108 108 108 110", p, " ")
  for (i = 0; i < n; i++) row(i, p[i + 1], p[i + 1], p[i + 1], p[i + 1])
  row(n, 110, 112.5, 109.5, 112)
  for (i = n + 1; i < n + 4; i++) row(i, 112, 112, 112, 112)
}
function row(i, o, h, l, c) {
  printf "%04d-%02d-%02d,%s,%s,%s,%s\n", 2000 + int(i / 336), 1 + int(i / 28) % 12, 1 + i % 28, o, h, l, c
}' > "$WORK/breakout.csv"
BREAKOUT_DAY="$(bar_date 22) 00:00"
WIN_BREAKOUT="Z:$(printf '%s' "$WORK/breakout.csv" | tr / '\\')"
"$WINE_RUN" "$BIN/tickwell-feed.exe" --first 13 --add 1 --live 4 --interval 250 "$WIN_BREAKOUT" > "$WORK/feed.log" 2>&1 &
FEED_PID=$!
wait_for 60 'grep -q published "$WORK/feed.log"' || fail "the breakout feed did not publish"
start_viewer
wait_for 60 "screen_has 'LAST LINE : '" || fail "no chart for the alert run"
screen_has "$BREAKOUT_DAY" && fail "the viewer started after the breakout was published"
title() { tmux -L "$SOCKET" display-message -p '#{pane_title}' 2>/dev/null; }
ALERTED="TavelundP&F FREE (LIVE) - BUY Double Top Breakout "
wait_stable
tmux -L "$SOCKET" send-keys a
wait_for 30 'case "$(title)" in "$ALERTED"*) true;; *) false;; esac' || fail "no alert in the title: $(title)"
TITLE=$(title)
wait_for 30 '[ $(grep -c "published 26 bars" "$WORK/feed.log") -ge 8 ]' || fail "the feed did not publish every bar"
wait_stable
[ "$(title)" = "$TITLE" ] || fail "the title changed after the alert: $TITLE -> $(title)"
tmux -L "$SOCKET" send-keys l
wait_for 20 'screen_has "LIVE VIEW   : ON"' || fail "L did not show the run log"
ENTRIES=$(tmux -L "$SOCKET" capture-pane -p -J | grep -c "SIGNAL      : ")
[ "$ENTRIES" = 1 ] || fail "$ENTRIES signal entries in the run log, expected 1"
screen_has "SIGNAL      : $BREAKOUT_DAY BUY Double Top Breakout ${TITLE#"$ALERTED"}" || fail "no entry for the alert of the title: $TITLE"
echo "ok: the live view alerted the breakout once: $TITLE"
wait_stable
tmux -L "$SOCKET" send-keys q
wait_for 20 '[ -f "$WORK/rc" ]' || fail "Q did not end the alerting viewer"
[ "$(cat "$WORK/rc")" = 0 ] || fail "exit code $(cat "$WORK/rc") after the alert run, expected 0"
stop_process "$FEED_PID"
"$WINE_RUN" "$BIN/tickwell-feed.exe" --first 250 --add 1 --interval 400 --requests 1 "$WIN_CSV" > "$WORK/feed.log" 2>&1 &
FEED_PID=$!
wait_for 60 'grep -q published "$WORK/feed.log"' || fail "the feed for the held-channel run did not publish"

# A peer takes the send time's mutex and keeps it: END's redraw waits for
# it for good, and Q still ends the run with 0.
start_viewer
wait_for 60 "screen_has 'LAST LINE : '" || fail "no chart for the held-channel run"
"$WINE_RUN" "$BIN/link_peer.exe" hold LOW_SENDTIMEShared LOW_SENDTIMEmutex 1024 > "$WORK/peer.log" 2>&1 &
PEER_PID=$!
wait_for 60 'grep -q held "$WORK/peer.log"' || fail "the peer did not take the mutex: $(cat "$WORK/peer.log")"
wait_stable
tmux -L "$SOCKET" send-keys -H 1b 5b 46  # END in its xterm form, which Wine's console reads
wait_for 20 '! screen_has "LAST LINE : "' || fail "END was not stuck on the held channel"
wait_stable
tmux -L "$SOCKET" send-keys q
wait_for 30 '[ -f "$WORK/rc" ]' || fail "Q did not end the viewer while a peer held a channel"
[ "$(cat "$WORK/rc")" = 0 ] || fail "exit code $(cat "$WORK/rc") with a held channel, expected 0"
stop_process "$PEER_PID"; PEER_PID=
echo "ok: Q ended the viewer with 0 while a peer held a channel"
cleanup
exit 0
