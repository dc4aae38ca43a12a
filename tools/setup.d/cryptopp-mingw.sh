# Sourced by ./dev setup (bash, set -euo pipefail; ROOT and BUILD are set).
#
# Debian ships Crypto++ only for Linux. The Windows build of the launcher
# needs a mingw static library, so it is built here from Debian's own source
# package and cached under $BUILD/deps/cryptopp-mingw (headers + libcryptopp.a).
# Nothing of it is ever committed. Every step is skipped when its result is
# already there, so a second setup costs nothing.

cryptopp_mingw_setup() {
  local deps=$BUILD/deps
  local cache=$deps/cryptopp-mingw
  if [ -s "$cache/lib/libcryptopp.a" ] && [ -s "$cache/include/cryptopp/base64.h" ]; then
    return 0
  fi
  local sudo=
  [ "$(id -u)" = 0 ] || sudo=sudo

  # apt-get source needs a deb-src entry for the archive the binaries come from.
  local src_list=/etc/apt/sources.list.d/tavelund-deb-src.sources
  if [ ! -e "$src_list" ]; then
    if [ ! -r /etc/apt/sources.list.d/debian.sources ]; then
      printf '\n== cannot add a deb-src entry: /etc/apt/sources.list.d/debian.sources is missing\n' >&2
      return 1
    fi
    printf '\n== adding a deb-src entry for the Crypto++ source package\n' >&2
    sed -e 's/^Types:.*/Types: deb-src/' /etc/apt/sources.list.d/debian.sources \
      | $sudo tee "$src_list.tmp" >/dev/null
    $sudo mv "$src_list.tmp" "$src_list"
    $sudo apt-get update
  fi

  mkdir -p "$deps/cryptopp-src"
  if ! ls "$deps"/cryptopp-src/libcrypto++_*.dsc >/dev/null 2>&1; then
    printf '\n== fetching the Crypto++ source package\n' >&2
    (cd "$deps/cryptopp-src" && apt-get source --download-only libcrypto++)
  fi
  local dsc
  dsc=$(ls "$deps"/cryptopp-src/libcrypto++_*.dsc | head -n 1)
  local tree=$deps/cryptopp-src/tree
  if [ ! -f "$tree/GNUmakefile-cross" ]; then
    rm -rf "$tree"
    dpkg-source --no-check -x "$dsc" "$tree" >/dev/null
  fi

  printf '\n== building Crypto++ for Windows (static, about two minutes)\n' >&2
  local cxx=x86_64-w64-mingw32-g++-posix
  command -v ccache >/dev/null && cxx="ccache $cxx"
  make -C "$tree" -f GNUmakefile-cross static -j"${JOBS:-2}" \
    CXX="$cxx" AR=x86_64-w64-mingw32-ar RANLIB=x86_64-w64-mingw32-ranlib \
    CXXFLAGS="-O2 -DNDEBUG -DCRYPTOPP_DISABLE_ASM" >/dev/null

  # Publish the cache in one step so an interrupted build never looks complete.
  rm -rf "$cache.tmp"
  mkdir -p "$cache.tmp/include/cryptopp" "$cache.tmp/lib"
  cp "$tree"/*.h "$cache.tmp/include/cryptopp/"
  cp "$tree/libcryptopp.a" "$cache.tmp/lib/"
  rm -rf "$cache"
  mv "$cache.tmp" "$cache"
}

cryptopp_mingw_setup
