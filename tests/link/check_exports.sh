#!/bin/sh
# The link library exports exactly the eighteen functions and, on Windows,
# needs no mingw runtime DLL beside it.
#   check_exports.sh nm|objdump LIBRARY
set -eu
tool=$1
library=$2
expected="ReadLinesMT5 add checkSendticksCharMT5 checkSendticksMT5 completeSendticksMT5
deinitSendticksMT5 getSendCheckMT5 getsendtimeMT5 getsymbolcMT5 gettimespanMT5
initSendticksMT5 lineSendTimeLineMT5 preInitSendticksMT5 setsendcheckMT5 setsendtimeMT5
setsendtimeNowMT5 setsymbolcMT5 settimespanMT5"
want=$(printf '%s\n' $expected | LC_ALL=C sort)

case $tool in
  nm)
    # Every defined dynamic symbol, whatever its kind, must be one of ours.
    got=$(nm -D --defined-only "$library" | awk '{print $NF}' | LC_ALL=C sort)
    ;;
  objdump)
    dump=$(x86_64-w64-mingw32-objdump -p "$library")
    got=$(printf '%s\n' "$dump" | sed -n '/\[Ordinal\/Name Pointer\] Table/,/^$/p' |
          sed -n 's/^[[:space:]]*\[ *[0-9]*\] //p' | LC_ALL=C sort)
    imports=$(printf '%s\n' "$dump" | sed -n 's/^[[:space:]]*DLL Name: //p')
    if printf '%s\n' "$imports" | grep -iE 'libstdc|libgcc|winpthread'; then
      echo "FAIL: $library needs a mingw runtime DLL" >&2
      exit 1
    fi
    ;;
  *) echo "usage: check_exports.sh nm|objdump LIBRARY" >&2; exit 2 ;;
esac

if [ "$got" != "$want" ]; then
  echo "FAIL: exported names differ" >&2
  printf 'expected:\n%s\n\ngot:\n%s\n' "$want" "$got" >&2
  exit 1
fi
echo "ok: exactly $(printf '%s\n' "$got" | wc -l) exports"
