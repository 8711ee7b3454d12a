#!/usr/bin/env bash
# Installs what the chosen stages need and is missing, builds everything and runs every
# test:
#   1. the normal build (warnings as errors) and its CTest suite,
#   2. the same suite built with AddressSanitizer + UndefinedBehaviorSanitizer,
#   3. the threaded serial and link tests built with ThreadSanitizer,
#   4. the fuzz targets (clang + libFuzzer), 30 s each, starting from their corpora in
#      tests/fuzz/corpus (scripts/fuzz-long.sh; FUMILINK_FUZZ_SECONDS sets the time),
#   5. the Windows program: a static Qt for MinGW-w64 (built once into a cache by
#      scripts/build-qt-mingw.sh), fumilink.exe and its zip, and the tests under Wine: the
#      Qt-free unit tests, the Win32 serial back end on pty-backed COM ports, and
#      fumilink.exe end to end against the simulator,
#   6. the Debian package: built, checked with lintian, unpacked into a temporary folder and
#      run there headless against the simulator (scripts/check-package.sh).
# Usage: scripts/test.sh [stage ...]   (stages: plain asan tsan fuzz win32 package; default all)
set -euo pipefail
cd "$(dirname "$0")/.."
root=$PWD

all_stages=(plain asan tsan fuzz win32 package)
# The package groups of scripts/install-deps.sh each stage needs.
declare -A stage_needs=(
  [plain]="build display locale" [asan]="build display locale" [tsan]="build locale"
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
export QT_QPA_PLATFORM=offscreen
export CTEST_OUTPUT_ON_FAILURE=1
fuzz_seconds=${FUMILINK_FUZZ_SECONDS:-30}

configure() { # dir, extra cmake args...
  local dir=$1; shift
  cmake -S "$root" -B "$dir" -G Ninja "$@" > "$dir.configure.log" 2>&1 || { cat "$dir.configure.log"; return 1; }
}

stage_plain() {
  echo "== plain build and tests"
  configure build -DCMAKE_BUILD_TYPE=RelWithDebInfo
  cmake --build build -j "$jobs"
  ctest --test-dir build -j "$jobs" --timeout 300
}

stage_asan() {
  echo "== AddressSanitizer + UndefinedBehaviorSanitizer"
  configure build-asan -DCMAKE_BUILD_TYPE=Debug "-DFUMILINK_SANITIZE=address;undefined"
  cmake --build build-asan -j "$jobs"
  ASAN_OPTIONS=detect_leaks=0:abort_on_error=1 UBSAN_OPTIONS=print_stacktrace=1:halt_on_error=1 \
    ctest --test-dir build-asan -j "$jobs" --timeout 600
}

stage_tsan() {
  echo "== ThreadSanitizer (serial and link threads)"
  configure build-tsan -DCMAKE_BUILD_TYPE=Debug -DFUMILINK_SANITIZE=thread
  cmake --build build-tsan -j "$jobs"
  TSAN_OPTIONS="halt_on_error=1 second_deadlock_stack=1" \
    ctest --test-dir build-tsan -L threads -j "$jobs" --timeout 600
}

stage_fuzz() {
  echo "== fuzz targets, ${fuzz_seconds}s each, from their corpora"
  bash scripts/fuzz-long.sh --seconds "$fuzz_seconds"
}

stage_win32() {
  echo "== Windows program (MinGW-w64, static Qt) and its tests under Wine"
  local qt_prefix
  # Builds Qt when the cache lacks it (saying so on stderr) and prints where it is.
  qt_prefix=$(bash scripts/build-qt-mingw.sh)
  # A Qt built with other options lives under another prefix: the build folder starts anew
  # (CMake would keep finding the old one).
  if [ -f build-win32/CMakeCache.txt ] &&
    ! grep -qx "CMAKE_PREFIX_PATH:[A-Z]*=$qt_prefix" build-win32/CMakeCache.txt; then
    rm -rf build-win32
  fi
  configure build-win32 -DCMAKE_BUILD_TYPE=Release \
    -DCMAKE_TOOLCHAIN_FILE="$root/cmake/mingw-w64-x86_64.cmake" \
    -DCMAKE_PREFIX_PATH="$qt_prefix" -DQT_HOST_PATH=/usr \
    -DQT_HOST_PATH_CMAKE_DIR="/usr/lib/$(dpkg-architecture -qDEB_HOST_MULTIARCH)/cmake"
  cmake --build build-win32 -j "$jobs"
  ctest --test-dir build-win32 -j "$jobs" --timeout 600
  # End to end: fumilink.exe against the Linux simulator, compared with the Linux program.
  [ -f build/build.ninja ] || configure build -DCMAKE_BUILD_TYPE=RelWithDebInfo
  cmake --build build -j "$jobs" --target fumilink fumilink-sim
  bash tests/wine/program_e2e.sh build-win32/app/fumilink.exe build/tools/sim/fumilink-sim \
    build/app/fumilink out
  bash tests/wine/help_window_keys.sh build-win32/app/fumilink.exe
  bash tests/wine/bluetooth_e2e.sh build-win32/app/fumilink.exe build/tools/sim/fumilink-sim out
  bash tests/wine/file_places_e2e.sh build-win32/app/fumilink.exe build/tools/sim/fumilink-sim
  mkdir -p dist
  cp build-win32/dist/fumilink-*-windows-x64.zip dist/
  echo "-- $(ls dist/fumilink-*-windows-x64.zip)"
}

stage_package() {
  echo "== Debian package"
  # The plain build when it is there (it has built everything already), else a Release
  # build of its own without the tests, at -O2 as Debian builds its packages (GCC 12 at
  # -O3 warns falsely about std::string copies, which -Werror turns into errors).
  local dir=build
  if [ ! -f build/CMakeCache.txt ]; then
    dir=build-pkg
    configure build-pkg -DCMAKE_BUILD_TYPE=Release -DFUMILINK_TESTS=OFF \
      "-DCMAKE_CXX_FLAGS_RELEASE=-O2 -DNDEBUG"
  fi
  cmake --build "$dir" -j "$jobs"
  bash scripts/check-package.sh "$dir"
}

for s in "${stages[@]}"; do
  "stage_$s"
done
echo "== all stages passed: ${stages[*]}"
