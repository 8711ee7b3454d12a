#!/usr/bin/env bash
# Builds the Debian package in a configured build folder and checks it without installing
# anything into the system:
#   1. cpack makes fumilink_<version>_<arch>.deb; lintian must report no errors and no
#      missing hardening,
#   2. the unpacked desktop entry and AppStream metainfo validate, every icon size is there,
#   3. the unpacked fumilink runs headless against the unpacked fumilink-sim (as
#      scripts/run.sh does) and must write the expected transfer file, and its settings
#      file must land where an installed program keeps it.
# Prints the lintian output and the unpacked package's file list.
#   scripts/check-package.sh BUILD_DIR
set -euo pipefail
[ $# -eq 1 ] || { echo "usage: $0 BUILD_DIR" >&2; exit 2; }
root=$(cd "$(dirname "$0")/.." && pwd)
build=$(cd "$1" && pwd)
app_id=de.fumilink.fumilink

fail() { echo "package check: $*" >&2; exit 1; }

rm -f "$build"/fumilink_*.deb
(cd "$build" && cpack -G DEB > cpack.log 2>&1) || { cat "$build/cpack.log"; fail "cpack failed"; }
debs=("$build"/fumilink_*.deb)
[ ${#debs[@]} -eq 1 ] && [ -f "${debs[0]}" ] || fail "cpack made no single fumilink_*.deb"
deb=${debs[0]}
expected_name="fumilink_$(dpkg-deb -f "$deb" Version)_$(dpkg --print-architecture).deb"
[ "$(basename "$deb")" = "$expected_name" ] || fail "$(basename "$deb") is not $expected_name"
echo "-- $(basename "$deb"): Depends: $(dpkg-deb -f "$deb" Depends)"

echo "-- lintian $(basename "$deb")"
status=0
# Information tags too: the hardening ones are among them.
lintian --fail-on error --display-info "$deb" > "$build/lintian.log" 2>&1 || status=$?
cat "$build/lintian.log"
[ "$status" -eq 0 ] || fail "lintian reports errors"
# The programs are built with Debian's hardening flags (fortify, relro, bindnow).
! grep -E 'hardening-no-(fortify-functions|bindnow|relro)' "$build/lintian.log" ||
  fail "the programs lack hardening flags"

work=$(mktemp -d)
cleanup() { chmod -R u+w "$work" 2> /dev/null || true; rm -rf "$work"; }
trap cleanup EXIT
dpkg-deb -x "$deb" "$work/root"
echo "-- unpacked file list"
(cd "$work/root" && find . -mindepth 1 | sort)

share=$work/root/usr/share
desktop-file-validate "$share/applications/$app_id.desktop" || fail "desktop entry"
appstreamcli validate --no-net --pedantic "$share/metainfo/$app_id.metainfo.xml" ||
  fail "AppStream metainfo"
for size in 16 22 24 32 48 64 128 256; do
  icon=$share/icons/hicolor/${size}x${size}/apps/fumilink.png
  file -b "$icon" 2> /dev/null | grep -q "PNG image data, $size x $size," ||
    fail "no ${size}x${size} icon"
done
for page in fumilink fumilink-sim; do
  [ -s "$share/man/man1/$page.1.gz" ] || fail "no manual page $page(1)"
done

echo "-- unpacked fumilink against unpacked fumilink-sim, headless"
mkdir -p "$work/config" "$work/runtime" "$work/run"
chmod 700 "$work/runtime"
# The program's folder of an installed program is not the user's to write.
chmod a-w "$work/root/usr/bin"
(
  cd "$work/run"
  # A private lock folder: another Fumilink running on this machine must not make ours
  # the second copy.
  export XDG_CONFIG_HOME=$work/config XDG_RUNTIME_DIR=$work/runtime
  # A real window on the virtual X server, whatever the test run set for the widget tests.
  unset QT_QPA_PLATFORM
  # The unpacked program's window title is the one the build made.
  export FUMILINK_VERSION_FILE=$build/app/fumilink-version.sh
  FUMILINK_SIM=$work/root/usr/bin/fumilink-sim xvfb-run -a -s "-noreset -screen 0 1024x768x24" \
    "$root/tools/sim/run-with-sim.sh" bash "$root/scripts/headless-demo.sh" \
    "$work/root/usr/bin/fumilink" "DEMO Heizung Müller" /ART=14 "$work/data.csv"
) || fail "the unpacked program did not run to the take-over"

[ -f "$work/data.csv" ] || fail "no transfer file"
transfer=$(iconv -f WINDOWS-1252 -t UTF-8 "$work/data.csv" | tr -d '\r')
echo "$transfer"
lines=$(printf '%s\n' "$transfer" | wc -l)
[ "$(grep -c $'\r$' "$work/data.csv")" -eq "$lines" ] || fail "transfer file lines not CR LF"
[ "$(printf '%s\n' "$transfer" | head -n 1)" = "DEMO HEIZUNG MüLLER" ] || fail "header line"
# At least one measured value (which ones depends on how many lines arrived before the
# take-over), the firing type and the simulator's identification.
measured='^(1101|1001|2003|2304|2603|2104|2404|2504|4010|5121|5221|5321)=-?[0-9]+(,[0-9]+)?$'
for pattern in "$measured" '^6420=14$' '^9000=ZOR GX40$' '^9100=GX40 V2\.31$' '^9200=SN42$'; do
  printf '%s\n' "$transfer" | grep -Eq "$pattern" || fail "transfer file has no line $pattern"
done

# Root may write anywhere, so only for other users the file moves to XDG_CONFIG_HOME.
if [ "$(id -u)" -eq 0 ]; then
  settings=$work/root/usr/bin/fumilink.ini
else
  settings=$work/config/fumilink/fumilink.ini
fi
[ -f "$settings" ] || fail "no settings file at $settings"
tr -d '\r' < "$settings" | grep -qx 'comport=5' || fail "settings file without comport=5"
echo "-- settings file: ${settings#"$work"/}"
echo "-- package checked: $(basename "$deb")"
