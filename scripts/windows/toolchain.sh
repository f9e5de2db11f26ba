#!/usr/bin/env bash
# Builds the Windows cross toolchain Qarvel's `windows` preset uses, from
# Debian's own packages: qtbase (the same version as the host's moc, rcc and
# uic) compiled with mingw-w64 into a cache folder, with GoogleTest and
# libxlsxwriter beside it. The folder is named after Qt's version and a hash of
# this script's build options, so a cache built with other options is never
# reused; when it is complete the script returns at once.
#
#   toolchain.sh            build (or reuse) the toolchain, print its folder
#   toolchain.sh --print    print the folder it would use, build nothing
#
# QARVEL_TOOLCHAIN_CACHE sets the cache root (default ~/.cache/qarvel).
set -euo pipefail
here="$(cd "$(dirname "$0")" && pwd)"
root="$(cd "$here/../.." && pwd)"

cache_root="${QARVEL_TOOLCHAIN_CACHE:-${XDG_CACHE_HOME:-$HOME/.cache}/qarvel}"
qt_version="$( (dpkg-query -W -f='${Version}' qt6-base-dev 2>/dev/null || apt-cache show --no-all-versions qt6-base-dev 2>/dev/null | sed -n 's/^Version: //p') | sed 's/[+-].*//')"
qt_version="${qt_version:-6.4.2}"

# Every option that changes what is built takes part in the folder's name.
qt_options=(
  -DCMAKE_BUILD_TYPE=Release -DBUILD_SHARED_LIBS=ON
  -DQT_BUILD_EXAMPLES=OFF -DQT_BUILD_TESTS=OFF
  -DFEATURE_sql=OFF -DFEATURE_network=OFF -DFEATURE_dbus=OFF
  -DFEATURE_printsupport=OFF -DFEATURE_tabletevent=OFF
  -DFEATURE_concurrent=OFF -DFEATURE_xml=OFF -DFEATURE_vulkan=OFF
  -DFEATURE_testlib=ON
  -DINPUT_freetype=qt -DINPUT_harfbuzz=qt -DINPUT_pcre=qt
  -DINPUT_libpng=qt -DINPUT_libjpeg=qt
)
options_hash="$( (printf '%s\n' "${qt_options[@]}"; cat "$here/mingw-toolchain.cmake") \
  | sha256sum | cut -c1-10)"
prefix="$cache_root/windows-qt-$qt_version-$options_hash"

if [ "${1:-}" = "--print" ]; then
  echo "$prefix"
  exit 0
fi
if [ -f "$prefix/.complete" ]; then
  echo "$prefix"
  exit 0
fi

step() { printf '== toolchain: %s (%s) ==\n' "$1" "$(date +%T)" >&2; }
start=$(date +%s)

# Packages: the cross compilers, Wine, the MSI builder, GoogleTest's and
# libxlsxwriter's sources, and a Chinese locale for Wine's code page 936.
step "packages"
packages=(g++-mingw-w64-x86-64-posix gcc-mingw-w64-x86-64-posix mingw-w64-tools
  libz-mingw-w64-dev wine wine64 wixl locales googletest dpkg-dev
  qt6-base-dev qt6-base-dev-tools qt6-translations-l10n ninja-build cmake xvfb xdotool jq)
SUDO=""
if [ "$(id -u)" -ne 0 ]; then SUDO=sudo; fi
missing=()
for p in "${packages[@]}"; do
  dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q 'install ok installed' || missing+=("$p")
done
# Sources come from a deb-src entry beside the system's Debian one.
src_list=/etc/apt/sources.list.d/qarvel-deb-src.sources
if ! grep -rqs '^Types:.*deb-src' /etc/apt/sources.list.d/ && ! grep -qs '^deb-src' /etc/apt/sources.list; then
  sys=/etc/apt/sources.list.d/debian.sources
  if [ -f "$sys" ]; then
    sed 's/^Types: deb$/Types: deb-src/' "$sys" | $SUDO tee "$src_list" >/dev/null
  else
    grep '^deb ' /etc/apt/sources.list | sed 's/^deb /deb-src /' | $SUDO tee /etc/apt/sources.list.d/qarvel-deb-src.list >/dev/null
  fi
  missing+=(__update__)
fi
export DEBIAN_FRONTEND=noninteractive
if [ ${#missing[@]} -gt 0 ]; then
  $SUDO apt-get update -qq
  real=()
  for p in "${missing[@]}"; do [ "$p" = __update__ ] || real+=("$p"); done
  [ ${#real[@]} -eq 0 ] || $SUDO apt-get install -y -qq --no-install-recommends "${real[@]}" >/dev/null
fi
if ! locale -a 2>/dev/null | grep -qi '^zh_CN.utf8$'; then
  $SUDO sed -i 's/^# *zh_CN.UTF-8 UTF-8/zh_CN.UTF-8 UTF-8/' /etc/locale.gen
  grep -q '^zh_CN.UTF-8 UTF-8' /etc/locale.gen || echo 'zh_CN.UTF-8 UTF-8' | $SUDO tee -a /etc/locale.gen >/dev/null
  $SUDO locale-gen >/dev/null
fi

work="$cache_root/windows-work-$qt_version-$options_hash"
mkdir -p "$work"

step "qtbase source"
if [ ! -d "$work/qtbase-src" ]; then
  rm -rf "$work/src-tmp" && mkdir -p "$work/src-tmp"
  (cd "$work/src-tmp" && apt-get source -qq --download-only qt6-base >/dev/null && dpkg-source -x --skip-patches qt6-base_*.dsc qtbase >/dev/null)
  mv "$work/src-tmp/qtbase" "$work/qtbase-src"
  rm -rf "$work/src-tmp"
fi

step "qtbase configure"
# A rerun (after a later step failed) finds the build folder configured and
# built: ninja then has nothing to do.
[ -f "$work/qtbase-build/build.ninja" ] || cmake -G Ninja -S "$work/qtbase-src" -B "$work/qtbase-build" \
  -DCMAKE_TOOLCHAIN_FILE="$here/mingw-toolchain.cmake" \
  -DQT_HOST_PATH=/usr \
  -DQT_HOST_PATH_CMAKE_DIR=/usr/lib/x86_64-linux-gnu/cmake \
  -DCMAKE_INSTALL_PREFIX="$prefix" \
  "${qt_options[@]}" >"$work/qtbase-configure.log" 2>&1 \
  || { tail -40 "$work/qtbase-configure.log" >&2; exit 1; }

step "qtbase build (about 25 minutes on two cores)"
# Ninja's progress line, one in fifty, keeps the terminal informed; the
# compiler's own output goes to a log, shown when the build fails.
ninja -C "$work/qtbase-build" 2>&1 | awk -v log="$work/qtbase-build.log" '
  /^\[[0-9]+\/[0-9]+\]/ { n++; if (n % 50 == 0) { print "  " $1; fflush() } next }
  { print > log }' >&2
if [ "${PIPESTATUS[0]}" -ne 0 ]; then
  tail -40 "$work/qtbase-build.log" >&2
  echo "toolchain: qtbase failed to build, see $work/qtbase-build.log" >&2
  exit 1
fi
cmake --install "$work/qtbase-build" >/dev/null

# GoogleTest, from Debian's source package of it, for the Windows tests.
step "GoogleTest"
# A step's output goes to its log, shown when the step fails.
logged() {
  local log="$work/$1.log"
  shift
  "$@" >>"$log" 2>&1 || { tail -40 "$log" >&2; echo "toolchain: failed, see $log" >&2; exit 1; }
}
rm -f "$work/gtest.log" "$work/xlsx.log"
logged gtest cmake -G Ninja -S /usr/src/googletest -B "$work/gtest-build" \
  -DCMAKE_TOOLCHAIN_FILE="$here/mingw-toolchain.cmake" -DCMAKE_BUILD_TYPE=Release \
  -DCMAKE_INSTALL_PREFIX="$prefix" -Dgtest_disable_pthreads=OFF -DBUILD_GMOCK=ON
logged gtest cmake --build "$work/gtest-build"
logged gtest cmake --install "$work/gtest-build"

# libxlsxwriter, from Debian's source package, for qarvel-results.
step "libxlsxwriter"
if [ ! -d "$work/xlsx-src" ]; then
  rm -rf "$work/xlsx-tmp" && mkdir -p "$work/xlsx-tmp"
  (cd "$work/xlsx-tmp" && apt-get source -qq --download-only libxlsxwriter >/dev/null && dpkg-source -x libxlsxwriter_*.dsc xlsx >/dev/null)
  mv "$work/xlsx-tmp/xlsx" "$work/xlsx-src"
  rm -rf "$work/xlsx-tmp"
fi
logged xlsx cmake -G Ninja -S "$work/xlsx-src" -B "$work/xlsx-build" \
  -DCMAKE_TOOLCHAIN_FILE="$here/mingw-toolchain.cmake" -DCMAKE_BUILD_TYPE=Release \
  -DCMAKE_INSTALL_PREFIX="$prefix" -DBUILD_SHARED_LIBS=OFF -DUSE_SYSTEM_MINIZIP=OFF \
  -DZLIB_ROOT=/usr/x86_64-w64-mingw32
logged xlsx cmake --build "$work/xlsx-build"
logged xlsx cmake --install "$work/xlsx-build"

touch "$prefix/.complete"
rm -rf "$work/qtbase-build" "$work/gtest-build" "$work/xlsx-build"
step "done in $(( ($(date +%s) - start) / 60 )) min"
echo "$prefix"
