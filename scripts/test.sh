#!/usr/bin/env bash
# Installs what the chosen stages need and is missing, builds everything and runs every
# test:
#   1. the normal build (warnings as errors) and its CTest suite (with the program read
#      over AT-SPI as a screen reader reads it),
#   2. the same suite built with AddressSanitizer + UndefinedBehaviorSanitizer,
#   3. the threaded serial and link tests built with ThreadSanitizer,
#   4. the fuzz targets (clang + libFuzzer), 30 s each, starting from their corpora in
#      tests/fuzz/corpus (scripts/fuzz-long.sh; FUMILINK_FUZZ_SECONDS sets the time),
#   5. the Windows program: a static Qt for MinGW-w64 (built once into a cache by
#      scripts/build-qt-mingw.sh), fumilink.exe, its zip and its MSI, and the tests under
#      Wine: the Qt-free unit tests, the Win32 serial back end on pty-backed COM ports,
#      fumilink.exe end to end against the simulator (also against its faults) and against
#      its own demo analyser with no COM port at all, its window read through UI
#      Automation from outside, also as integrators run it (--demo, unattended runs, the
#      examples of docs/integration.md, two copies at once), and the MSI installed,
#      upgraded from the release before (built and signed here with a certificate made for
#      the run), refused as a downgrade and removed,
#   6. the Debian package: built, checked with lintian, unpacked into a temporary folder and
#      run there headless against the simulator (scripts/check-package.sh).
# Usage: scripts/test.sh [stage ...]   (stages: plain asan tsan fuzz win32 package; default all)
set -euo pipefail
cd "$(dirname "$0")/.."
root=$PWD
# shellcheck source=lib/win32-scripts.sh
source scripts/lib/win32-scripts.sh

all_stages=(plain asan tsan fuzz win32 package)
# The package groups of scripts/install-deps.sh each stage needs.
declare -A stage_needs=(
  [plain]="build display locale a11y" [asan]="build display locale" [tsan]="build locale"
  [fuzz]="build fuzz" [win32]="build display win32" [package]="build display package"
)
usage() {
  echo "usage: $0 [stage ...]   (stages: ${all_stages[*]}; default: all, in this order)" >&2
  exit 2
}
stages=("$@")
[ ${#stages[@]} -gt 0 ] || stages=("${all_stages[@]}")
groups=()
for s in "${stages[@]}"; do
  [ -n "${stage_needs[$s]:-}" ] || usage
  # shellcheck disable=SC2206  # a list of group names
  groups+=(${stage_needs[$s]})
done
bash scripts/install-deps.sh "${groups[@]}"

jobs=$(nproc)

# The end-to-end scripts keep what a reader of a failure needs in out/evidence (scripts/lib/
# evidence.sh); a failed run names the folders its scripts and tests left.
evidence_since=$(mktemp)
show_evidence() {
  local status=$? folder
  if [ "$status" -ne 0 ] && [ -d out/evidence ]; then
    for folder in $(find out/evidence -mindepth 1 -maxdepth 1 -newer "$evidence_since" | sort); do
      echo "evidence of the failure: $root/$folder" >&2
    done
  fi
  rm -f "$evidence_since"
}
trap show_evidence EXIT
# Programs the scripts start headless (the package check) need no display either.
export QT_QPA_PLATFORM=offscreen
fuzz_seconds=${FUMILINK_FUZZ_SECONDS:-30}

# The stages are the presets of CMakePresets.json (configure, build, test); the output of
# a configure goes to a log that is shown only when it fails.
configure() { # preset
  local dir=build-$1
  [ "$1" = plain ] && dir=build
  [ "$1" = package ] && dir=build-pkg
  cmake --preset "$1" > "$dir.configure.log" 2>&1 || { cat "$dir.configure.log"; return 1; }
}

stage_plain() {
  echo "== plain build and tests"
  configure plain
  cmake --build --preset plain -j "$jobs"
  ctest --preset plain -j "$jobs"
}

stage_asan() {
  echo "== AddressSanitizer + UndefinedBehaviorSanitizer"
  configure asan
  cmake --build --preset asan -j "$jobs"
  ctest --preset asan -j "$jobs"
}

stage_tsan() {
  echo "== ThreadSanitizer (serial and link threads)"
  configure tsan
  cmake --build --preset tsan -j "$jobs"
  ctest --preset tsan -j "$jobs"
}

stage_fuzz() {
  echo "== fuzz targets, ${fuzz_seconds}s each, from their corpora"
  bash scripts/fuzz-long.sh --seconds "$fuzz_seconds"
}

# A Qt built with other options lives under another prefix: a build folder made with
# another one starts anew (CMake would keep finding the old one). forget_other_qt DIR PREFIX
forget_other_qt() {
  if [ -f "$1/CMakeCache.txt" ] && ! grep -qx "CMAKE_PREFIX_PATH:[A-Z]*=$2" "$1/CMakeCache.txt"; then
    rm -rf "$1"
  fi
}

stage_win32() {
  echo "== Windows program (MinGW-w64, static Qt) and its tests under Wine"
  local qt_prefix
  # Builds Qt when the cache lacks it (saying so on stderr) and prints where it is.
  qt_prefix=$(bash scripts/build-qt-mingw.sh)
  forget_other_qt build-win32 "$qt_prefix"
  FUMILINK_QT_MINGW=$qt_prefix \
    FUMILINK_QT_HOST_CMAKE_DIR="/usr/lib/$(dpkg-architecture -qDEB_HOST_MULTIARCH)/cmake" \
    configure win32
  cmake --build --preset win32 -j "$jobs"
  ctest --preset win32 -j "$jobs"
  # End to end: fumilink.exe against the Linux simulator, compared with the Linux program.
  [ -f build/build.ninja ] || configure plain
  cmake --build --preset plain -j "$jobs" --target fumilink fumilink-sim
  local name
  for name in "${win32_scripts[@]}"; do
    if [ "$name" != installer_e2e ]; then run_win32_script "$name"; fi
  done
  installer_tests "$qt_prefix"
  # One place for the packages, whichever build made them.
  mkdir -p dist
  rm -f dist/fumilink-*-windows-x64.zip dist/fumilink-*-windows-x64.msi
  cp build-win32/dist/fumilink-*-windows-x64.zip build-win32/dist/fumilink-*-windows-x64.msi dist/
  echo "-- $(ls dist/fumilink-*-windows-x64.zip)"
  echo "-- $(ls dist/fumilink-*-windows-x64.msi)"
}

# The release before VERSION (four parts): one less in the number the title shows after
# the comma, or the last of the minor (major) version before.
release_before() {
  local major minor patch tweak release
  IFS=. read -r major minor patch tweak <<< "$1"
  release=$((patch * 100 + tweak))
  if [ "$release" -gt 0 ]; then
    release=$((release - 1))
    echo "$major.$minor.$((release / 100)).$((release % 100))"
  elif [ "$minor" -gt 0 ]; then
    echo "$major.$((minor - 1)).9.99"
  else
    echo "$((major - 1)).0.9.99"
  fi
}

# The MSI under Wine: upgraded from the release before this one, which is built here with
# the version passed to CMake (build-win32-older, without tests) and signed with a
# certificate made now: its packages show that signing works (tests/cmake/
# windows_signing.sh). Another build of this version comes from packing this build again.
installer_tests() { # QT_PREFIX
  local version older signing=build-win32-older/test-signing rebuilt=build-win32/rebuilt
  version=$(source build-win32/app/fumilink-version.sh && echo "$FUMILINK_VERSION")
  older=$(release_before "$version")
  echo "-- the release before, $older, signed with a certificate made now"
  forget_other_qt build-win32-older "$1"
  rm -rf "$signing" build-win32-older/dist
  bash tests/cmake/windows_signing.sh certificate "$signing"
  FUMILINK_QT_MINGW=$1 \
    FUMILINK_QT_HOST_CMAKE_DIR="/usr/lib/$(dpkg-architecture -qDEB_HOST_MULTIARCH)/cmake" \
    FUMILINK_SIGN_PKCS12=$root/$signing/signing.p12 FUMILINK_SIGN_PASSWORD_FILE=$root/$signing/password \
    FUMILINK_SIGN_TIMESTAMP_URL='' \
    cmake --preset win32 -B build-win32-older -DFUMILINK_VERSION="$older" -DFUMILINK_TESTS=OFF \
    > build-win32-older.configure.log 2>&1 || { cat build-win32-older.configure.log; return 1; }
  cmake --build build-win32-older -j "$jobs" --target fumilink-windows-packages
  bash tests/cmake/windows_signing.sh check build-win32-older "$signing"
  rm -rf "$rebuilt"
  cmake -DINPUTS=build-win32/app/windows_packages_inputs.cmake -DZIP="$rebuilt/fumilink.zip" \
    -DMSI="$rebuilt/fumilink.msi" -P cmake/windows_packages.cmake > /dev/null
  run_win32_script installer_e2e
}

stage_package() {
  echo "== Debian package"
  # The plain build when it is there (it has built everything already), else a Release
  # build of its own without the tests, at -O2 as Debian builds its packages (GCC 12 at
  # -O3 warns falsely about std::string copies, which -Werror turns into errors).
  local dir=build
  if [ ! -f build/CMakeCache.txt ]; then
    dir=build-pkg
    configure package
  fi
  cmake --build "$dir" -j "$jobs"
  bash scripts/check-package.sh "$dir"
  # One place for the package, whichever build folder made it.
  mkdir -p dist
  rm -f dist/fumilink_*.deb
  cp "$dir"/fumilink_*.deb dist/
  echo "-- $(ls dist/fumilink_*.deb)"
}

for s in "${stages[@]}"; do
  "stage_$s"
done
echo "== all stages passed: ${stages[*]}"
