#!/bin/sh
# Takes the README's pictures of the launcher, both fronts, into docs/launcher:
#   launcher/picture/make_screenshots.sh [NATIVE_BUILD [WINDOWS_BUILD [FOLDER]]]
# The Linux ones come from Qt's offscreen platform (vantrell_screenshots);
# the Windows ones from Vantrell.exe under Wine on a private Xvfb display
# (vantrell_screenshots.exe), turned into PNG by ImageMagick. The Linux
# dialogs need a Japanese font for their Cancel button (fonts-ipafont-gothic).
set -eu
root=$(cd "$(dirname "$0")/../.." && pwd)
native=${1:-$root/build/native}
windows=${2:-$root/build/windows}
out=${3:-$root/docs/launcher}
mkdir -p "$out"
native=$(cd "$native" && pwd)
windows=$(cd "$windows" && pwd)
out=$(cd "$out" && pwd)

cmake --build "$native" --target vantrell_screenshots
cmake --build "$windows" --target vantrell_screenshots

work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
# The window reads DefaultSetting from its working folder: an empty one
# shows the defaults.
(cd "$work" && QT_QPA_PLATFORM=offscreen "$native/bin/vantrell_screenshots" "$out")
mkdir "$work/windows"
# A prefix of its own, whose windows Wine frames itself: Xvfb has no window
# manager to draw captions and borders.
prefix=$windows/wineprefix-screenshots
sh "$root/tests/launcher/with-xvfb.sh" "$prefix" \
  reg add 'HKCU\Software\Wine\X11 Driver' /v Managed /d N /f >/dev/null
sh "$root/tests/launcher/with-xvfb.sh" "$prefix" \
  "$windows/bin/vantrell_screenshots.exe" "Z:$work/windows"
for name in launcher-windows dialog-windows grid-dialog-windows; do
  convert "$work/windows/$name.bmp" "$out/$name.png"
done
echo "pictures in $out"
