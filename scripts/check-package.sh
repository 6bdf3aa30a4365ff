#!/usr/bin/env bash
# Builds the Debian package from a release build (build/release: the shipped
# programs and one small checking program, no sanitizers) and checks it as a
# user gets it: unpacked into a scratch root, its tools and its program run
# from there; the desktop entry, the metainfo and the package pass Debian's
# validators; the files are the expected ones.
set -euo pipefail
cd "$(dirname "$0")/.."
jobs=$(nproc)
export DEB_BUILD_MAINT_OPTIONS=hardening=+all
eval "$(dpkg-buildflags --export=sh)"
# CMake takes the flags from the environment when it first configures
CXXFLAGS="$CXXFLAGS $CPPFLAGS" CFLAGS="$CFLAGS $CPPFLAGS" \
    cmake -S . -B build/release -G Ninja -DCMAKE_BUILD_TYPE=Release -DCMAKE_INSTALL_PREFIX=/usr \
    -DVELMORA_TESTS=OFF -DVELMORA_BENCH=OFF >/dev/null
rm -f build/release/velmora_*.deb
# only what the package holds, and the checking program
cmake --build build/release -j "$jobs" --target velmora velmora-decode onewire-sim onewire-port \
    IBFS32 velmora_install_files velmora-start-check >/dev/null
(cd build/release && cpack -G DEB >/dev/null)
deb=$(echo build/release/velmora_*.deb)
echo "package: $deb"

work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
root=$work/root
dpkg-deb -x "$deb" "$root"
fail() { echo "check-package: $*" >&2; exit 1; }

# The files, against the expected list: nothing from the build tree, no tests,
# no benchmarks; no file names the build folder.
(cd "$root" && find . -mindepth 1 ! -type d -printf '/%P\n' | LC_ALL=C sort) >"$work/files"
diff -u packaging/package-files.txt "$work/files" || fail "the packaged files differ from packaging/package-files.txt"
if grep -rlF "$PWD" "$root"; then fail "packaged files name the build tree"; fi
[[ $(stat -c %a "$root/usr/bin/velmora") == 755 ]] || fail "velmora is not executable"

depends=$(dpkg-deb -f "$deb" Depends)
echo "Depends: $depends"
for dep in xdg-utils qt6-translations-l10n fonts-dejavu-core libqt6widgets6 libqt6printsupport6 \
           libusb-1.0-0 libxlsxwriter; do
    [[ $depends == *"$dep"* ]] || fail "Depends lacks $dep"
done
for field in Package Version Maintainer Section Description; do
    [[ -n $(dpkg-deb -f "$deb" "$field") ]] || fail "no $field"
done

bin=$root/usr/bin
# velmora-decode decodes a golden image as the build tree's does
cmake -DTOOL="$bin/velmora-decode" -DCASE=tests/data/golden/main-image.case -DDATA=tests/data \
    -P tests/RunGolden.cmake
"$bin/velmora" --help | grep -q "usage: velmora" || fail "velmora --help"

# The program, offscreen, through the unpacked driver: a checking program
# copied beside the unpacked velmora starts the main window as velmora does.
cp build/release/bin/velmora-start-check "$bin/"
export QT_QPA_PLATFORM=offscreen ONEWIRE_PORT=sim ONEWIRE_SIM_TIMING=off
readout() { # ADAPTER-FOLDER [FILE]: the table's rows on stdout, messages in $work/messages
    ONEWIRE_SIM_DIR=$1 "$bin/velmora-start-check" "${@:2}" 2>"$work/messages"
}
no_library_message() {
    if grep -q "could not load IBFS32" "$work/messages"; then fail "the driver library was not found"; fi
}
# the demo tablet, laid on a new adapter by onewire-sim
"$bin/onewire-sim" --dir "$work/demo" list >/dev/null
readout "$work/demo" >"$work/rows" || { cat "$work/messages"; fail "the demo tablet was not read"; }
no_library_message
echo "demo tablet: $(wc -l <"$work/rows") events"
[[ $(wc -l <"$work/rows") -gt 0 ]] || fail "no events from the demo tablet"

# a tablet onewire-sim lays with a golden image: the events the independent
# decoder wrote down for it, in order
sim=$work/sim
"$bin/onewire-sim" --dir "$sim" new t1 >/dev/null
"$bin/onewire-sim" --dir "$sim" load t1 tests/data/main-image.bin >/dev/null
"$bin/onewire-sim" --dir "$sim" put t1 >/dev/null
readout "$sim" >"$work/rows" || { cat "$work/messages"; fail "the laid tablet was not read"; }
no_library_message
tail -n +3 tests/data/golden/main-image.expected | cut -f1,4 >"$work/expected"
cut -f1,5 "$work/rows" >"$work/shown"
diff -u "$work/expected" "$work/shown" || fail "the laid tablet's events differ from the golden ones"
echo "laid tablet: $(wc -l <"$work/rows") events as expected"

# `velmora FILE`: a saved log file shows its events, a missing one the message of "Открыть"
readout "$work/demo" tests/data/log/200-blocks.log >"$work/rows" || fail "the log file did not open"
[[ $(wc -l <"$work/rows") -eq 200 ]] || fail "the log file shows $(wc -l <"$work/rows") events, not 200"
if readout "$work/demo" "$work/missing.log" >/dev/null; then fail "a missing log file showed events"; fi
grep -qx "message: Ошибка открытия файла для чтения." "$work/messages" || fail "no message for a missing file"
# and without the private folder's library the program says so
mv "$root/usr/lib/velmora/libIBFS32.so" "$work/"
if readout "$work/demo" >/dev/null; then fail "started without its driver library"; fi
grep -q "could not load IBFS32" "$work/messages" || fail "no message for a missing driver library"
mv "$work/libIBFS32.so" "$root/usr/lib/velmora/"
rm "$bin/velmora-start-check"

desktop-file-validate "$root"/usr/share/applications/*.desktop
appstreamcli validate --no-net "$root"/usr/share/metainfo/*.metainfo.xml
lintian --fail-on error --display-info "$deb" | tee "$work/lintian" || fail "lintian reports errors"
echo "package checked"
