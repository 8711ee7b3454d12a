#!/usr/bin/env bash
# Builds a static Qt (qtbase: Core, Gui, Widgets, the Windows platform plugin and the
# Windows styles) for MinGW-w64 from Debian's own source package, and installs it into a
# cache folder outside the work tree. The cache is keyed by the Qt source version and by
# everything below that shapes the build (this script's options and source patches, the
# toolchain file), so it is reused while they stay the same and built anew when they change.
#
# Usage: scripts/build-qt-mingw.sh [--print-prefix]
#   Prints the install prefix on standard output, its only line there; what it does goes to
#   standard error. --print-prefix: only the prefix, no build; exit 1 when the cache is not
#   filled.
# Environment: FUMILINK_CACHE (default ${XDG_CACHE_HOME:-~/.cache}/fumilink),
#              FUMILINK_JOBS (default: number of processors),
#              FUMILINK_QT_WORK (a build folder to keep; a failed build resumes there),
#              FUMILINK_PROGRESS_SECONDS (how often the build says how far it is; 30).
set -euo pipefail
here=$(cd "$(dirname "${BASH_SOURCE[0]}")" && pwd)
root=$(dirname "$here")
self=$here/$(basename "${BASH_SOURCE[0]}")

cache=${FUMILINK_CACHE:-${XDG_CACHE_HOME:-$HOME/.cache}/fumilink}
jobs=${FUMILINK_JOBS:-$(nproc)}
progress_every=${FUMILINK_PROGRESS_SECONDS:-30}
toolchain="$root/cmake/mingw-w64-x86_64.cmake"

say() { echo "$*" >&2; }
die() {
  echo "build-qt-mingw: $*" >&2
  exit 1
}

# The host tools (moc, rcc, uic) come from qt6-base-dev-tools: the target Qt must be the
# same version, so take the source of exactly the installed Debian version.
deb_version=$(dpkg-query -W -f='${Version}' qt6-base-dev-tools) ||
  die "qt6-base-dev-tools is not installed (scripts/install-deps.sh)"
qt_version=${deb_version%%+*}

# Everything the Windows program does not use is switched off: it shortens the build by
# about a third. Tablet events are off because Debian's tarball lacks wintab's third-party
# sources (it lacks iaccessible2's too, which only Qt 5 needed). Accessibility stays on:
# Qt 6's UI Automation support is Qt's own code and loads UIAutomationCore.dll at run
# time, and without it Windows shows no touch keyboard for our fields and screen readers
# hear nothing. Dynamic OpenGL needs OpenGL.
qt_options=(
  # (Qt's own build puts its -O2 in place of the -O1 asked for here.)
  -DCMAKE_BUILD_TYPE=Release
  "-DCMAKE_CXX_FLAGS_RELEASE=-O1 -DNDEBUG"
  "-DCMAKE_C_FLAGS_RELEASE=-O1 -DNDEBUG"
  -DBUILD_SHARED_LIBS=OFF -DQT_BUILD_EXAMPLES=OFF -DQT_BUILD_TESTS=OFF
  -DFEATURE_sql=OFF -DFEATURE_network=OFF -DFEATURE_dbus=OFF -DFEATURE_opengl=OFF
  -DFEATURE_dynamicgl=OFF -DFEATURE_printsupport=OFF -DFEATURE_concurrent=OFF
  -DFEATURE_xml=OFF -DFEATURE_testlib=OFF -DFEATURE_accessibility=ON
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

# The cache key: a hash of the Debian version, the options, the toolchain file and the
# patch block below as written (a changed patch is a changed Qt).
cache_key() {
  local key_input
  key_input=$(
    printf '%s\n' "$deb_version" "${qt_options[@]}"
    cat "$toolchain"
    sed -n '/^# PATCH-BEGIN/,/^# PATCH-END/p' "$self"
  )
  printf '%s' "$key_input" | sha256sum | cut -c1-12
}

# Debian's source package, through an apt configuration of our own so that the machine's
# apt set-up stays as it is: the machine's own Debian entries (archive, suites such as
# bookworm and bookworm-updates) as source entries, or, on a machine without them, the
# distribution's code name on the main archive.
fetch_source_tarball() {
  local apt_dir=$work/apt codename
  mkdir -p "$apt_dir/sources.list.d" "$apt_dir/lists/partial"
  if [ -f /etc/apt/sources.list.d/debian.sources ]; then
    sed 's/^Types:.*/Types: deb-src/' /etc/apt/sources.list.d/debian.sources \
      > "$apt_dir/sources.list.d/qt-source.sources"
  else
    codename=$(. /etc/os-release && echo "${VERSION_CODENAME:-}")
    [ -n "$codename" ] || die "no distribution code name in /etc/os-release"
    cat > "$apt_dir/sources.list.d/qt-source.sources" << EOF
Types: deb-src
URIs: http://deb.debian.org/debian
Suites: $codename $codename-updates
Components: main
Signed-By: /usr/share/keyrings/debian-archive-keyring.gpg
EOF
  fi
  local apt_opts=(-o "Dir::Etc::SourceList=/dev/null" -o "Dir::Etc::SourceParts=$apt_dir/sources.list.d"
    -o "Dir::State::Lists=$apt_dir/lists" -o "APT::Sandbox::User=root")
  say "-- fetching the source of qt6-base $deb_version"
  apt-get "${apt_opts[@]}" -qq update >&2
  (cd "$work" && apt-get "${apt_opts[@]}" -qq source --download-only "qt6-base=$deb_version" >&2)
  mv "$work/qt6-base_${qt_version}+dfsg.orig.tar.xz" "$tarball.part"
  mv "$tarball.part" "$tarball"
}

# Applies one source patch written as GNU sed's in-place edit, sed -i 's/OLD/NEW/' FILE,
# after checking with grep that OLD is there: a Qt source whose line has changed must stop
# the build, not let it go on silently without the patch.
checked_edit() {
  [ $# -eq 3 ] && [ "$1" = -i ] && [ "${2:0:2}" = s/ ] ||
    die "a source patch reads sed -i 's/OLD/NEW/' FILE, not: sed $*"
  local expression=$2 file=$3 old
  # OLD ends at the first / that no backslash escapes; grep wants an escaped / plain.
  old=$(printf '%s\n' "$expression" | command sed -E 's#^s/((\\.|[^\\/])*)/.*#\1#')
  old=${old//\\\//\/}
  [ -f "$file" ] || die "source patch: no file $file"
  grep -q -- "$old" "$file" || die "source patch: '$old' is not in $file (a changed Qt source?)"
  command sed -i "$expression" "$file"
}

# The source patches. Inside this function sed is checked_edit, so that every patch is
# checked while the block keeps its text (it is part of the cache key, byte for byte).
apply_source_patches() (
  src=$1
  sed() { checked_edit "$@"; }
# PATCH-BEGIN (part of the cache key)
# 6.4.2 uses the OpenGL context class under dynamicgl alone; guard it with opengl too.
sed -i 's/^#if QT_CONFIG(dynamicgl)$/#if QT_CONFIG(dynamicgl) \&\& QT_CONFIG(opengl)/' \
  "$src/src/plugins/platforms/windows/qwindowswindow.cpp"
# With Direct2D off, Gui has no DirectWrite font database; the platform plugin must not ask
# for it (the GDI font database serves).
sed -i 's/^#if QT_CONFIG(directwrite3)$/#if QT_CONFIG(directwrite3) \&\& QT_CONFIG(direct2d)/' \
  "$src/src/plugins/platforms/windows/qwindowsintegration.cpp"
# PATCH-END
)

# The source unpacked and patched in a side folder and moved into place whole: a kept build
# folder never holds a half-patched tree, and its patches are never applied twice.
unpack_source() {
  [ -d "$src" ] && return
  say "-- unpacking $(basename "$tarball")"
  rm -rf "$work/unpack"
  mkdir -p "$work/unpack"
  tar -xf "$tarball" -C "$work/unpack"
  apply_source_patches "$work/unpack/$(basename "$src")"
  mv "$work/unpack/$(basename "$src")" "$src"
  rmdir "$work/unpack"
}

configure_qt() {
  local multiarch qt_toolchain=$work/mingw-w64-find-root.cmake
  multiarch=$(dpkg-architecture -qDEB_HOST_MULTIARCH)
  # Qt's package search must stay inside the MinGW root and the new prefix.
  {
    cat "$toolchain"
    echo 'set(CMAKE_FIND_ROOT_PATH_MODE_PACKAGE ONLY)'
  } > "$qt_toolchain"
  say "-- configuring"
  # A kept build folder is configured anew, so options removed from the list take their
  # defaults again instead of lingering in the cache; its objects are reused.
  rm -f "$work/build/CMakeCache.txt"
  cmake -S "$src" -B "$work/build" -G Ninja -DCMAKE_TOOLCHAIN_FILE="$qt_toolchain" \
    -DQT_HOST_PATH=/usr -DQT_HOST_PATH_CMAKE_DIR="/usr/lib/$multiarch/cmake" \
    -DCMAKE_INSTALL_PREFIX="$prefix" "${qt_options[@]}" > "$work/configure.log" 2>&1 ||
    { tail -n 60 "$work/configure.log" >&2; die "configuring Qt failed ($work/configure.log)"; }
}

# Says how far a ninja run is, from the last "[done/total]" status line in its log.
say_progress() { # log, start time (SECONDS)
  local status steps_done steps elapsed=$((SECONDS - $2))
  status=$(tail -c 8192 "$1" | grep -o '^\[[0-9]*/[0-9]*\]' | tail -n 1 | tr -d '[]') || true
  if [ -z "$status" ]; then
    say "--   starting ($((elapsed / 60)) min $((elapsed % 60)) s)"
    return
  fi
  steps_done=${status%/*} steps=${status#*/}
  say "--   $steps_done of $steps steps ($((100 * steps_done / steps)) %)," \
    "$((elapsed / 60)) min $((elapsed % 60)) s"
}

# Runs ninja with its output in LOG and says every progress_every seconds how far it is.
ninja_with_progress() { # log, ninja arguments...
  local log=$1 pid started=$SECONDS next
  shift
  ninja "$@" > "$log" 2>&1 &
  pid=$!
  next=$((SECONDS + progress_every))
  while kill -0 "$pid" 2> /dev/null; do
    sleep 1
    if [ "$SECONDS" -ge "$next" ] && kill -0 "$pid" 2> /dev/null; then
      say_progress "$log" "$started"
      next=$((SECONDS + progress_every))
    fi
  done
  wait "$pid"
}

build_and_install() {
  local start=$SECONDS
  say "-- building ($(ninja -C "$work/build" -t targets all | grep -c '\.obj:') objects, $jobs jobs)"
  ninja_with_progress "$work/build.log" -C "$work/build" -j "$jobs" || {
    grep -B2 -A20 'FAILED' "$work/build.log" | head -n 80 >&2
    die "building Qt failed ($work/build.log)"
  }
  # The prefix counts as filled only once the marker is written, after a complete install.
  rm -rf "$prefix"
  say "-- installing"
  ninja -C "$work/build" install > "$work/install.log" 2>&1 ||
    { tail -n 40 "$work/install.log" >&2; die "installing Qt failed ($work/install.log)"; }
  echo "Qt $qt_version built in $((SECONDS - start)) s" > "$prefix/.complete"
  say "$(cat "$prefix/.complete")"
}

prefix="$cache/qt-$qt_version-mingw-static-$(cache_key)"

if [ "${1:-}" = "--print-prefix" ]; then
  [ -f "$prefix/.complete" ] || exit 1
  echo "$prefix"
  exit 0
fi
[ $# -eq 0 ] || die "usage: $0 [--print-prefix]"

if [ -f "$prefix/.complete" ]; then
  say "Qt $qt_version for MinGW-w64 is cached: $prefix"
  echo "$prefix"
  exit 0
fi

say "Building Qt $qt_version for MinGW-w64 (static) into $prefix"
mkdir -p "$cache/src"
if [ -n "${FUMILINK_QT_WORK:-}" ]; then
  work=$FUMILINK_QT_WORK
  mkdir -p "$work"
else
  work=$(mktemp -d "$cache/build.XXXXXX")
  trap 'rm -rf "$work"' EXIT
fi
tarball="$cache/src/qt6-base_${qt_version}+dfsg.orig.tar.xz"
src="$work/qtbase-everywhere-src-$qt_version"

[ -f "$tarball" ] || fetch_source_tarball
unpack_source
configure_qt
build_and_install
echo "$prefix"
