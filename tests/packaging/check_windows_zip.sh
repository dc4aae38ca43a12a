#!/bin/sh
# The Windows release zip as a trader gets it: its files, the DLLs each
# program needs (only ones Windows ships, so nothing has to be copied beside
# the terminal), each tool's --help and the unpacked viewer started under
# Wine until its start-up check.
#   check_windows_zip.sh PACKAGE_DIR VERSION SOURCE_DIR WINE_RUN [TOOLS]
# TOOLS: the packaged tools, names parted by spaces.
set -u
PACKAGES=$1
VERSION=$2
SOURCE=$3
WINE_RUN=$4
TOOLS=${5:-tickwell-chart tickwell-feed tickwell-peek}
NAME=Tavelund-$VERSION-win64
ZIP=$PACKAGES/$NAME.zip

WORK=$(mktemp -d /tmp/tavelund_zip.XXXXXX)
SOCKET=tavelund-zip-$$
cleanup() {
  tmux -L "$SOCKET" kill-server 2>/dev/null
  rm -rf "$WORK"
}
fail() {
  echo "FAILED: $*"
  cleanup
  exit 1
}
. "$(dirname "$0")/../support/wait_for.sh"

[ -f "$ZIP" ] || fail "no package $ZIP"

# 1. Exactly these files, in one top folder.
expected=$({
  echo "ConsoleTavelundPF.exe
INSTALL.txt
MQL5/Experts/TickwellPublisher.mq5
MQL5/Libraries/tickwell.dll
Vantrell.exe
licenses/Crypto++.txt
licenses/GCC-runtime-libraries.txt
licenses/RapidJSON.txt
licenses/mingw-w64-runtime.txt
tickwell.dll"
  printf '%s.exe\n' $TOOLS
} | LC_ALL=C sort)
files=$(cd "$WORK" && cmake -E tar tf "$ZIP" | grep -v '/$' | sed "s|^$NAME/||" | LC_ALL=C sort)
[ "$files" = "$expected" ] || fail "files of the zip:
$files"
(cd "$WORK" && cmake -E tar xf "$ZIP") || fail "unpacking"
TOP=$WORK/$NAME
cmp -s "$TOP/MQL5/Experts/TickwellPublisher.mq5" "$SOURCE/mt5/TickwellPublisher.mq5" ||
  fail "the .mq5 in the zip is not the source"
cmp -s "$TOP/tickwell.dll" "$TOP/MQL5/Libraries/tickwell.dll" || fail "two different tickwell.dll"
grep -q "Tavelund P&F $VERSION for Windows" "$TOP/INSTALL.txt" || fail "INSTALL.txt names no version"
grep -q "Allow DLL imports" "$TOP/INSTALL.txt" || fail "INSTALL.txt"
for tool in $TOOLS; do
  grep -q "^  $tool.exe " "$TOP/INSTALL.txt" || fail "INSTALL.txt does not list $tool.exe"
done
for licence in Crypto++ RapidJSON mingw-w64-runtime GCC-runtime-libraries; do
  [ -s "$TOP/licenses/$licence.txt" ] || fail "empty licence $licence"
done
grep -qi "boost software license" "$TOP/licenses/Crypto++.txt" || fail "Crypto++ licence text"
grep -q "License: Expat" "$TOP/licenses/RapidJSON.txt" || fail "RapidJSON licence text"
grep -qi "runtime library exception" "$TOP/licenses/GCC-runtime-libraries.txt" ||
  fail "GCC runtime licence text"
echo "ok: the files of the zip"

# 2. The DLLs each program imports: system DLLs of Windows, and our own
#    tickwell.dll, which lies beside the programs (the viewer and the tools
#    that attach to the channels import it).
system_dlls=" advapi32.dll comctl32.dll comdlg32.dll dinput8.dll gdi32.dll kernel32.dll msvcrt.dll "
system_dlls="$system_dlls ole32.dll oleaut32.dll shell32.dll shlwapi.dll user32.dll ws2_32.dll "
for binary in ConsoleTavelundPF.exe Vantrell.exe tickwell.dll $(printf '%s.exe ' $TOOLS); do
  imports=$(x86_64-w64-mingw32-objdump -p "$TOP/$binary" | sed -n 's/^[[:space:]]*DLL Name: //p' |
    tr 'A-Z' 'a-z')
  [ -n "$imports" ] || fail "$binary: no import table read"
  for dll in $imports; do
    case "$system_dlls" in *" $dll "*) continue ;; esac
    [ "$dll" = tickwell.dll ] && [ "$binary" != tickwell.dll ] && [ "$binary" != Vantrell.exe ] &&
      continue
    fail "$binary imports $dll, which Windows does not ship"
  done
  echo "ok: $binary imports only $(echo $imports | tr ' ' ',')"
done

[ -x /usr/lib/wine/wine64 ] || { echo "SKIPPED (programs under Wine): Wine is not installed"; cleanup; exit 0; }

# 3. Each unpacked tool under Wine, from the zip's folder: --help ends with
#    0 and shows its usage.
for tool in $TOOLS; do
  (cd "$TOP" && "$WINE_RUN" "./$tool.exe" --help > "$WORK/help.txt" 2>&1) ||
    fail "$tool.exe --help ended with $?: $(cat "$WORK/help.txt")"
  grep -q "^usage: $tool " "$WORK/help.txt" || fail "$tool.exe --help: $(cat "$WORK/help.txt")"
done
echo "ok: $(printf '%s.exe ' $TOOLS)answer --help under Wine"

# 4. The unpacked viewer under Wine with nothing published: it binds the
#    tickwell.dll beside it and stops at its "DRIVER DOES NOT LOADED" block.
command -v tmux > /dev/null || { echo "SKIPPED (viewer start): tmux is not installed"; cleanup; exit 0; }
tmux -L "$SOCKET" -f /dev/null new-session -d -x 120 -y 50 \
  "cd '$TOP' && '$WINE_RUN' ./ConsoleTavelundPF.exe; echo \$? > '$WORK/rc'; exec sleep 600"
screen_has() { tmux -L "$SOCKET" capture-pane -p -J 2>/dev/null | grep -qF -- "$1"; }
wait_for 60 'screen_has "DRIVER DOES NOT LOADED!!!"' ||
  fail "the viewer did not reach its start-up check: $(tmux -L "$SOCKET" capture-pane -p)"
tmux -L "$SOCKET" send-keys x
wait_for 20 '[ -s "$WORK/rc" ]' || fail "the viewer did not end on a key"
[ "$(cat "$WORK/rc")" = 255 ] || fail "viewer exit code $(cat "$WORK/rc")"
echo "ok: the unpacked viewer starts under Wine and reaches its start-up check"
cleanup
exit 0
