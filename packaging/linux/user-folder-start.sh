#!/bin/sh
# Installed as bin/ConsoleTavelundPF and bin/Vantrell. The viewer saves its
# CSV files in a folder beside itself and the launcher keeps its settings in
# its working folder, so both run from a folder of the user's own,
# ~/Tavelund, which holds a copy of the viewer (refreshed when the installed
# one changes) and a link to the library it loads from its own folder.
set -eu
prefix=$(dirname "$(readlink -f "$0")")/..
programs=$prefix/lib/tavelund
home=$HOME/Tavelund
mkdir -p "$home"
if ! cmp -s "$programs/ConsoleTavelundPF" "$home/ConsoleTavelundPF"; then
  cp "$programs/ConsoleTavelundPF" "$home/.ConsoleTavelundPF.new"
  mv -f "$home/.ConsoleTavelundPF.new" "$home/ConsoleTavelundPF"
fi
ln -sfn "$(readlink -f "$prefix/lib/libtickwell.so")" "$home/libtickwell.so"
case $(basename "$0") in
  Vantrell) cd "$home" && exec "$programs/Vantrell" "$@" ;;
  *) exec "$home/ConsoleTavelundPF" "$@" ;;
esac
