#!/bin/sh
# The man pages in step with the programs: each tool's page has an entry for
# every option its --help lists (and none that --help lacks, but -h), and
# every range and time-frame label --help gives; the viewer's page names
# every option letter the viewer reads and every key it binds. Every page
# renders without a groff warning.
#   check_man_pages.sh SOURCE_DIR BIN_DIR [TOOLS]
# TOOLS: the packaged tools, names parted by spaces.
set -u
SOURCE=$1
BIN=$2
TOOLS=${3:-tickwell-chart tickwell-feed tickwell-peek}
MAN=$SOURCE/packaging/linux/man

command -v groff > /dev/null || { echo "SKIPPED: groff is not installed"; exit 77; }
WORK=$(mktemp -d /tmp/tavelund_man.XXXXXX)
failures=0
fail() {
  echo "FAILED: $*"
  failures=$((failures + 1))
}

# render PAGE: plain text, one paragraph a line (no filling, hyphenation or
# justification to split a phrase), into $WORK/<page>.txt.
render() {
  text=$WORK/$(basename "$1").txt
  groff -man -Tascii -ww -rLL=2000n -rHY=0 -P-cbou "$1" > "$text" 2> "$WORK/warnings"
  [ -s "$WORK/warnings" ] && fail "$(basename "$1") does not render cleanly: $(cat "$WORK/warnings")"
}
# section TITLE: the lines of a section of the rendered page $text.
section() { awk -v title="$1" '/^[^ ]/ {on = ($0 == title); next} on' "$text"; }
# tags TITLE: the tag of each entry of a section (what stands before the
# text, at the section's indent).
tags() { section "$1" | sed -n 's/^       \([^ ].*\)/\1/p' | sed 's/   *.*//'; }
options_in() { grep -oE -- '(^|[ ,])--?[A-Za-z][A-Za-z-]*' | sed 's/^[ ,]//' | LC_ALL=C sort -u; }
# The whole page as one line, spaces collapsed.
flat() { tr -s ' \n' '  ' < "$text"; }

for page in "$MAN"/*.1; do render "$page"; done

for tool in $TOOLS; do
  "$BIN/$tool" --help > "$WORK/help.txt" 2>&1 || fail "$tool --help ended with $?"
  text=$WORK/$tool.1.txt
  [ -f "$MAN/$tool.1" ] || { fail "no man page $tool.1"; continue; }
  help_options=$(sed -n 's/^  \(-.*\)/\1/p' "$WORK/help.txt" | sed 's/   *.*//' | options_in)
  [ -n "$help_options" ] || fail "$tool --help lists no option"
  page_options=$(tags OPTIONS | options_in)
  for option in $help_options; do
    echo "$page_options" | grep -qx -- "$option" || fail "$tool.1 lacks $option (in --help)"
  done
  for option in $page_options; do
    case "$option" in -h | --help) continue ;; esac
    echo "$help_options" | grep -qx -- "$option" || fail "$tool.1 has $option, which --help lacks"
  done
  grep -oE '[0-9]+ to [0-9]+|[0-9]+\.\.[0-9]+' "$WORK/help.txt" | while read -r range; do
    flat | grep -qwF -- "$range" || echo "$range"
  done > "$WORK/missing"
  [ -s "$WORK/missing" ] && fail "$tool.1 lacks the ranges of --help: $(cat "$WORK/missing" | tr '\n' ' ')"
  # A table that ends the help (the time frames): every code and label.
  missing=
  for word in $(sed -n '/^Time frames/,$p' "$WORK/help.txt" | sed 1,2d); do
    flat | grep -qw -- "$word" || missing="$missing $word"
  done
  [ -z "$missing" ] || fail "$tool.1 lacks time-frame entries of --help:$missing"
done

# The viewer: its getopt letters and its key table, read from the source
# (its -h screen is a fixed text that needs a console).
text=$WORK/ConsoleTavelundPF.1.txt
letters=$(sed -n 's/.*getopt(scan, argc, argv, "\([^"]*\)".*/\1/p' "$SOURCE/console/options.cc" |
  tr -d ':' | sed 's/./& /g')
[ -n "$letters" ] || fail "no getopt letters found in console/options.cc"
page_options=$(tags OPTIONS | options_in)
for letter in $letters; do
  echo "$page_options" | grep -qx -- "-$letter" || fail "ConsoleTavelundPF.1 lacks -$letter"
done
keys=$(sed -n '/kKeyboardCommands = /,/^}};/p' "$SOURCE/console/keys.cc" |
  sed -n 's/.*{vk::k\([A-Za-z]*\),.*/\1/p' | sed 's/^Page/PAGE /' | tr 'a-z' 'A-Z')
[ -n "$keys" ] || fail "no key table found in console/keys.cc"
key_tags=$(tags KEYS)
for key in $keys Q; do
  echo "$key_tags" | grep -qw -- "$key" || fail "ConsoleTavelundPF.1 lacks the key $key"
done

rm -rf "$WORK"
[ "$failures" = 0 ] || exit 1
echo "ok: every man page renders and is in step with its program"
