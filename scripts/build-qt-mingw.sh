#!/usr/bin/env bash
# Builds a static Qt (qtbase: Core, Gui, Widgets, the Windows platform plugin and the
# Windows styles) for MinGW-w64 from Debian's own source package, and installs it into a
# cache folder outside the work tree. The cache is keyed by the Qt source version and by
# everything below that shapes the build (this script's options, the toolchain file), so it
# is reused while they stay the same and built anew when they change.
#
# Usage: scripts/build-qt-mingw.sh [--print-prefix]
#   Prints the install prefix as its last line (--print-prefix: only that, no build; exit 1
#   when the cache is not filled).
# Environment: FUMILINK_CACHE (default ${XDG_CACHE_HOME:-~/.cache}/fumilink),
#              FUMILINK_JOBS (default: number of processors).
set -euo pipefail
here=$(cd "$(dirname "$0")" && pwd)
root=$(dirname "$here")

cache=${FUMILINK_CACHE:-${XDG_CACHE_HOME:-$HOME/.cache}/fumilink}
jobs=${FUMILINK_JOBS:-$(nproc)}
toolchain="$root/cmake/mingw-w64-x86_64.cmake"

# The host tools (moc, rcc, uic) come from qt6-base-dev-tools: the target Qt must be the
# same version, so take the source of exactly the installed Debian version.
deb_version=$(dpkg-query -W -f='${Version}' qt6-base-dev-tools)
qt_version=${deb_version%%+*}

# Everything the Windows program does not use is switched off: it shortens the build by
# about a third. Accessibility and tablet events are off because Debian's tarball lacks
# their third-party sources; dynamic OpenGL needs OpenGL.
qt_options=(
  # (Qt's own build puts its -O2 in place of the -O1 asked for here.)
  -DCMAKE_BUILD_TYPE=Release
  "-DCMAKE_CXX_FLAGS_RELEASE=-O1 -DNDEBUG"
  "-DCMAKE_C_FLAGS_RELEASE=-O1 -DNDEBUG"
  -DBUILD_SHARED_LIBS=OFF -DQT_BUILD_EXAMPLES=OFF -DQT_BUILD_TESTS=OFF
  -DFEATURE_sql=OFF -DFEATURE_network=OFF -DFEATURE_dbus=OFF -DFEATURE_opengl=OFF
  -DFEATURE_dynamicgl=OFF -DFEATURE_printsupport=OFF -DFEATURE_concurrent=OFF
  -DFEATURE_xml=OFF -DFEATURE_testlib=OFF -DFEATURE_accessibility=OFF
  -DFEATURE_tabletevent=OFF -DFEATURE_vulkan=OFF -DFEATURE_direct2d=OFF
  -DFEATURE_system_zlib=OFF -DFEATURE_system_pcre2=OFF -DFEATURE_system_png=OFF
  -DFEATURE_system_freetype=OFF -DFEATURE_system_harfbuzz=OFF -DFEATURE_system_jpeg=OFF
  -DFEATURE_system_doubleconversion=OFF -DFEATURE_freetype=OFF -DFEATURE_icu=OFF
  -DFEATURE_zstd=OFF -DFEATURE_pkg_config=OFF
  # Gui pieces the program never draws or reads.
  -DFEATURE_jpeg=OFF -DFEATURE_gif=OFF -DFEATURE_ico=OFF -DFEATURE_movie=OFF -DFEATURE_pdf=OFF
  -DFEATURE_textmarkdownreader=OFF -DFEATURE_textmarkdownwriter=OFF -DFEATURE_textodfwriter=OFF
  -DFEATURE_systemtrayicon=OFF -DFEATURE_sessionmanager=OFF
  -DFEATURE_imageformat_ppm=OFF -DFEATURE_imageformat_xbm=OFF
  # Widgets the program never shows. (QMainWindow and QToolBar stay: 6.4.2's compatibility
  # file of removed API includes qtoolbar.h unconditionally; the Vista style includes
  # qinputdialog.h unconditionally and uses QTreeView, QTableView and the tab widget's
  # style option without a guard, so those stay too.)
  -DFEATURE_graphicsview=OFF -DFEATURE_graphicseffect=OFF -DFEATURE_mdiarea=OFF
  -DFEATURE_dockwidget=OFF
  -DFEATURE_calendarwidget=OFF -DFEATURE_datetimeedit=OFF -DFEATURE_treewidget=OFF
  -DFEATURE_tablewidget=OFF -DFEATURE_listwidget=OFF
  -DFEATURE_columnview=OFF -DFEATURE_undoview=OFF
  -DFEATURE_wizard=OFF -DFEATURE_colordialog=OFF -DFEATURE_filedialog=OFF
  -DFEATURE_fontdialog=OFF -DFEATURE_progressdialog=OFF
  -DFEATURE_errormessage=OFF -DFEATURE_keysequenceedit=OFF -DFEATURE_datawidgetmapper=OFF
  -DFEATURE_fontcombobox=OFF -DFEATURE_lcdnumber=OFF -DFEATURE_dial=OFF
  -DFEATURE_splashscreen=OFF -DFEATURE_toolbox=OFF -DFEATURE_commandlinkbutton=OFF
  -DFEATURE_splitter=OFF -DFEATURE_syntaxhighlighter=OFF
  -DFEATURE_fscompleter=OFF -DFEATURE_filesystemmodel=OFF
  # Core pieces nothing in the program uses.
  -DFEATURE_jalalicalendar=OFF -DFEATURE_hijricalendar=OFF -DFEATURE_islamiccivilcalendar=OFF
  -DFEATURE_sharedmemory=OFF -DFEATURE_systemsemaphore=OFF -DFEATURE_process=OFF
)

key_input=$(printf '%s\n' "$deb_version" "${qt_options[@]}"; cat "$toolchain"; sed -n '/^# PATCH-BEGIN/,/^# PATCH-END/p' "$0")
key=$(printf '%s' "$key_input" | sha256sum | cut -c1-12)
prefix="$cache/qt-$qt_version-mingw-static-$key"

if [ "${1:-}" = "--print-prefix" ]; then
  [ -f "$prefix/.complete" ] || exit 1
  echo "$prefix"
  exit 0
fi

if [ -f "$prefix/.complete" ]; then
  echo "Qt $qt_version for MinGW-w64 is cached: $prefix"
  echo "$prefix"
  exit 0
fi

echo "Building Qt $qt_version for MinGW-w64 (static) into $prefix"
mkdir -p "$cache/src"
# FUMILINK_QT_WORK names a build folder that is kept (a failed build then resumes there);
# otherwise the build folder is temporary.
if [ -n "${FUMILINK_QT_WORK:-}" ]; then
  work=$FUMILINK_QT_WORK
  mkdir -p "$work"
else
  work=$(mktemp -d "$cache/build.XXXXXX")
  trap 'rm -rf "$work"' EXIT
fi

# Debian's source package, through an apt configuration of our own so that the machine's
# apt set-up (which has no deb-src entry) stays as it is.
tarball="$cache/src/qt6-base_${qt_version}+dfsg.orig.tar.xz"
if [ ! -f "$tarball" ]; then
  apt_dir="$work/apt"
  mkdir -p "$apt_dir/sources.list.d" "$apt_dir/lists/partial"
  uri=$(sed -n 's/^URIs: *//p' /etc/apt/sources.list.d/debian.sources 2>/dev/null | head -n 1)
  uri=${uri:-http://deb.debian.org/debian}
  cat > "$apt_dir/sources.list.d/qt-source.sources" <<EOF
Types: deb-src
URIs: $uri
Suites: bookworm
Components: main
Signed-By: /usr/share/keyrings/debian-archive-keyring.gpg
EOF
  apt_opts=(-o "Dir::Etc::SourceList=/dev/null" -o "Dir::Etc::SourceParts=$apt_dir/sources.list.d"
            -o "Dir::State::Lists=$apt_dir/lists" -o "APT::Sandbox::User=root")
  apt-get "${apt_opts[@]}" -qq update
  (cd "$work" && apt-get "${apt_opts[@]}" -qq source --download-only "qt6-base=$deb_version")
  mv "$work/qt6-base_${qt_version}+dfsg.orig.tar.xz" "$tarball.part"
  mv "$tarball.part" "$tarball"
fi

src="$work/qtbase-everywhere-src-$qt_version"
if [ ! -d "$src" ]; then
  echo "-- unpacking $(basename "$tarball")"
  tar -xf "$tarball" -C "$work"
fi

# PATCH-BEGIN (part of the cache key)
# 6.4.2 uses the OpenGL context class under dynamicgl alone; guard it with opengl too.
sed -i 's/^#if QT_CONFIG(dynamicgl)$/#if QT_CONFIG(dynamicgl) \&\& QT_CONFIG(opengl)/' \
  "$src/src/plugins/platforms/windows/qwindowswindow.cpp"
# With Direct2D off, Gui has no DirectWrite font database; the platform plugin must not ask
# for it (the GDI font database serves).
sed -i 's/^#if QT_CONFIG(directwrite3)$/#if QT_CONFIG(directwrite3) \&\& QT_CONFIG(direct2d)/' \
  "$src/src/plugins/platforms/windows/qwindowsintegration.cpp"
# PATCH-END

# Qt's package search must stay inside the MinGW root and the new prefix.
qt_toolchain="$work/mingw-w64-find-root.cmake"
{
  cat "$toolchain"
  echo 'set(CMAKE_FIND_ROOT_PATH_MODE_PACKAGE ONLY)'
} > "$qt_toolchain"

echo "-- configuring"
# A kept build folder is configured anew, so options removed from the list take their
# defaults again instead of lingering in the cache; its objects are reused.
rm -f "$work/build/CMakeCache.txt"
start=$SECONDS
cmake -S "$src" -B "$work/build" -G Ninja -DCMAKE_TOOLCHAIN_FILE="$qt_toolchain" \
  -DQT_HOST_PATH=/usr -DQT_HOST_PATH_CMAKE_DIR=/usr/lib/x86_64-linux-gnu/cmake \
  -DCMAKE_INSTALL_PREFIX="$prefix" "${qt_options[@]}" > "$work/configure.log" 2>&1 \
  || { tail -n 60 "$work/configure.log"; exit 1; }
echo "-- building ($(ninja -C "$work/build" -t targets all | grep -c '\.obj:') objects, $jobs jobs)"
ninja -C "$work/build" -j "$jobs" > "$work/build.log" 2>&1 || { grep -B2 -A20 'FAILED' "$work/build.log" | head -n 80; exit 1; }
# The prefix counts as filled only once the marker is written, after a complete install.
rm -rf "$prefix"
ninja -C "$work/build" install > "$work/install.log" 2>&1 || { tail -n 40 "$work/install.log"; exit 1; }
echo "Qt $qt_version built in $((SECONDS - start)) s" > "$prefix/.complete"
cat "$prefix/.complete"
echo "$prefix"
