#!/bin/sh
# The Linux release packages as a user gets them: the .deb's control fields
# and files, the tarball's files, and every program started from the
# unpacked .deb in a scratch folder (never installed into the system).
#   check_linux_packages.sh PACKAGE_DIR VERSION SOURCE_DIR [TOOLS]
# TOOLS: the packaged tools, names parted by spaces.
set -u
PACKAGES=$1
VERSION=$2
SOURCE=$3
TOOLS=${4:-tickwell-chart tickwell-feed tickwell-peek}
DEB=$PACKAGES/tavelund_${VERSION}_amd64.deb
TGZ=$PACKAGES/tavelund-${VERSION}-Linux.tar.gz

WORK=$(mktemp -d /tmp/tavelund_packages.XXXXXX)
SOCKET=tavelund-package-$$
PIDS=
cleanup() {
  tmux -L "$SOCKET" kill-server 2>/dev/null
  for pid in $PIDS; do kill "$pid" 2>/dev/null; wait "$pid" 2>/dev/null; done
  rm -rf "$WORK"
}
fail() {
  echo "FAILED: $*"
  cleanup
  exit 1
}
. "$(dirname "$0")/../support/wait_for.sh"

[ -f "$DEB" ] || fail "no package $DEB"
[ -f "$TGZ" ] || fail "no package $TGZ"

# 1. Control fields. Depends comes from dpkg-shlibdeps: each entry carries
#    the version the binaries need, and the libraries of every program are
#    there (C++ runtime, SDL2 for the controller, Qt and Crypto++ for the
#    launcher).
field() { dpkg-deb -f "$DEB" "$1"; }
[ "$(field Package)" = tavelund ] || fail "Package: $(field Package)"
[ "$(field Version)" = "$VERSION" ] || fail "Version: $(field Version)"
[ "$(field Architecture)" = amd64 ] || fail "Architecture: $(field Architecture)"
field Maintainer | grep -q '^.\+ <.\+@.\+>$' || fail "Maintainer: $(field Maintainer)"
field Description | grep -q 'Point-and-figure chart viewer' || fail "Description: $(field Description)"
depends=$(field Depends)
for library in libc6 libstdc++6 libsdl2-2.0-0 libqt6widgets6 libcrypto++8; do
  echo "$depends" | tr ',' '\n' | grep -q "^ *$library (>= " ||
    fail "Depends lacks a computed $library: $depends"
done
echo "$depends" | grep -q tickwell && fail "Depends names the package's own library: $depends"
echo "ok: control fields (Depends: $depends)"

# 2. Files: exactly these, in the .deb under /usr and in the tarball under
#    its top folder.
expected=$({
  echo "bin/ConsoleTavelundPF
bin/Vantrell
include/tickwell.h
lib/libtickwell.so
lib/pkgconfig/tickwell.pc
lib/tavelund/ConsoleTavelundPF
lib/tavelund/Vantrell
lib/tavelund/libtickwell.so
share/applications/tavelund-vantrell.desktop
share/doc/tavelund/RapidJSON.txt
share/doc/tavelund/copyright
share/icons/hicolor/256x256/apps/tavelund-vantrell.png
share/man/man1/ConsoleTavelundPF.1.gz
share/man/man1/Vantrell.1.gz"
  for tool in $TOOLS; do printf 'bin/%s\nshare/man/man1/%s.1.gz\n' "$tool" "$tool"; done
} | LC_ALL=C sort)
deb_files=$(dpkg-deb -c "$DEB" | awk '$1 !~ /^d/ {print $6}' | sed 's|^\./usr/||' | LC_ALL=C sort)
[ "$deb_files" = "$expected" ] || fail "files of the .deb:
$deb_files"
tgz_files=$(tar tzvf "$TGZ" | awk '$1 !~ /^d/ {print $6}' | sed "s|^tavelund-$VERSION-Linux/||" |
  LC_ALL=C sort)
[ "$tgz_files" = "$expected" ] || fail "files of the tarball:
$tgz_files"
echo "ok: the files of both packages"

# 3. The unpacked .deb: every binary finds its libraries, each program
#    starts from there, and a home of its own shows where the viewer and the
#    launcher keep their files.
ROOT=$WORK/deb
dpkg-deb -x "$DEB" "$ROOT" || fail "dpkg-deb -x"
mkdir -p "$WORK/home"
export HOME=$WORK/home
for binary in $(printf 'bin/%s ' $TOOLS) \
  lib/tavelund/ConsoleTavelundPF lib/tavelund/Vantrell lib/libtickwell.so; do
  missing=$(ldd "$ROOT/usr/$binary" | grep 'not found')
  [ -z "$missing" ] || fail "$binary: $missing"
  # Our own library must come from the package, not from the build tree.
  ldd "$ROOT/usr/$binary" | grep libtickwell | grep -qv "$ROOT" && fail "$binary binds a foreign libtickwell"
done
echo "ok: every binary finds its libraries"

for tool in $TOOLS; do
  [ "$("$ROOT/usr/bin/$tool" --version)" = "$tool $VERSION" ] || fail "$tool --version"
  "$ROOT/usr/bin/$tool" --help > "$WORK/help.txt" 2>&1 || fail "$tool --help"
  grep -q "usage: $tool" "$WORK/help.txt" || fail "$tool --help: $(cat "$WORK/help.txt")"
done
# The shipped man pages are the sources that package_man_pages checks.
for page in "$ROOT"/usr/share/man/man1/*.gz; do
  gzip -dc "$page" | cmp -s - "$SOURCE/packaging/linux/man/$(basename "$page" .gz)" ||
    fail "$page is not packaging/linux/man/$(basename "$page" .gz)"
done
echo "ok: $TOOLS start: --version $VERSION, --help"

# The chart printer from the package, on a file of bars: the chart's lines
# and the signals' CSV header.
"$ROOT/usr/bin/tickwell-chart" --signals "$SOURCE/data/bars-daily.csv" > "$WORK/chart.txt" 2>&1 ||
  fail "tickwell-chart: $(cat "$WORK/chart.txt")"
grep -q "^LAST LINE : " "$WORK/chart.txt" || fail "tickwell-chart: $(cat "$WORK/chart.txt")"
grep -qx "time,column,side,kind,price" "$WORK/chart.txt" || fail "tickwell-chart: $(cat "$WORK/chart.txt")"
echo "ok: tickwell-chart prints a chart from the package"

# The viewer with nothing published: the start-up check reaches its
# "DRIVER DOES NOT LOADED" block once the library is bound.
tmux -L "$SOCKET" -f /dev/null new-session -d -x 120 -y 50 \
  "'$ROOT/usr/bin/ConsoleTavelundPF'; echo \$? > '$WORK/rc'; exec sleep 600"
screen_has() { tmux -L "$SOCKET" capture-pane -p -J 2>/dev/null | grep -qF -- "$1"; }
wait_for 30 'screen_has "DRIVER DOES NOT LOADED!!!"' ||
  fail "the viewer did not reach its start-up check: $(tmux -L "$SOCKET" capture-pane -p)"
tmux -L "$SOCKET" send-keys x
wait_for 10 '[ -s "$WORK/rc" ]' || fail "the viewer did not end on a key"
[ "$(cat "$WORK/rc")" = 255 ] || fail "viewer exit code $(cat "$WORK/rc")"
cmp -s "$ROOT/usr/lib/tavelund/ConsoleTavelundPF" "$HOME/Tavelund/ConsoleTavelundPF" ||
  fail "no copy of the viewer in ~/Tavelund"
[ "$(readlink "$HOME/Tavelund/libtickwell.so")" = "$ROOT/usr/lib/libtickwell.so" ] ||
  fail "~/Tavelund/libtickwell.so: $(readlink "$HOME/Tavelund/libtickwell.so")"
echo "ok: the viewer starts from ~/Tavelund and binds the package's library"

# The launcher opens its window on a private X server, in ~/Tavelund.
if command -v Xvfb >/dev/null && command -v xwininfo >/dev/null; then
  exec 3> "$WORK/display"
  Xvfb -displayfd 3 -nolisten tcp > /dev/null 2>&1 &
  PIDS="$PIDS $!"
  exec 3>&-
  wait_for 20 '[ -s "$WORK/display" ]' || fail "Xvfb did not start"
  display=:$(cat "$WORK/display")
  DISPLAY=$display QT_QPA_PLATFORM=xcb "$ROOT/usr/bin/Vantrell" > "$WORK/launcher.txt" 2>&1 &
  launcher=$!
  PIDS="$launcher $PIDS"
  wait_for 30 'DISPLAY=$display xwininfo -root -tree 2>/dev/null | grep -q "Vantrell Gratwell"' ||
    fail "no launcher window: $(cat "$WORK/launcher.txt")"
  [ "$(readlink "/proc/$launcher/cwd")" = "$HOME/Tavelund" ] ||
    fail "the launcher runs in $(readlink "/proc/$launcher/cwd")"
  echo "ok: the launcher opens its window in ~/Tavelund"
else
  echo "SKIPPED (launcher window): Xvfb or xwininfo missing"
fi

# 4. A producer of one's own, built with the package's header and
#    pkg-config file, publishes what tickwell-peek then shows. The README
#    shows the same program.
sed -n '/^```c$/,/^```$/p' "$SOURCE/README.md" | sed '1d;$d' > "$WORK/readme-producer.c"
cmp -s "$WORK/readme-producer.c" "$SOURCE/packaging/examples/producer.c" ||
  fail "the README's producer is not packaging/examples/producer.c"
if command -v cc >/dev/null && command -v pkg-config >/dev/null; then
  flags=$(PKG_CONFIG_PATH=$ROOT/usr/lib/pkgconfig PKG_CONFIG_LIBDIR=/nonexistent \
    pkg-config --cflags --libs tickwell) || fail "pkg-config tickwell"
  include=$(echo "$flags" | tr ' ' '\n' | sed -n 's/^-I//p')
  [ "$(readlink -f "$include")" = "$ROOT/usr/include" ] || fail "pkg-config flags: $flags"
  # shellcheck disable=SC2086
  cc -Wall -Wextra -o "$WORK/producer" "$SOURCE/packaging/examples/producer.c" $flags ||
    fail "the example producer does not build against the package"
  LD_LIBRARY_PATH=$ROOT/usr/lib "$WORK/producer" &
  PIDS="$! $PIDS"
  "$ROOT/usr/bin/tickwell-peek" --wait 20 > "$WORK/peek.txt" || fail "peek: $(cat "$WORK/peek.txt")"
  grep -q "^SYMBOL      : MYSYMBOL$" "$WORK/peek.txt" || fail "peek: $(cat "$WORK/peek.txt")"
  grep -q "^LINES       : 2$" "$WORK/peek.txt" || fail "peek: $(cat "$WORK/peek.txt")"
  echo "ok: a producer built against the package publishes"
fi

# 5. The tarball's programs find their library from wherever it is unpacked.
mkdir -p "$WORK/tgz"
tar xzf "$TGZ" -C "$WORK/tgz" || fail "tar xzf"
top=$WORK/tgz/tavelund-$VERSION-Linux
for tool in tickwell-peek tickwell-chart; do
  [ "$("$top/bin/$tool" --version)" = "$tool $VERSION" ] || fail "tarball $tool"
done
ldd "$top/lib/tavelund/ConsoleTavelundPF" | grep libtickwell | grep -q "$top" ||
  fail "the tarball's viewer does not bind the tarball's library"
echo "ok: the tarball runs where it is unpacked"

cleanup
exit 0
