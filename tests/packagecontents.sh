#!/usr/bin/env bash
# The Debian package as CPack makes it from this build: its files where an installed program
# has them, a valid desktop entry and metainfo, and dependencies read from the binary.
set -euo pipefail
build=$1
out=$(mktemp -d)
trap 'rm -rf "$out"' EXIT
(cd "$build" && cpack -G DEB -B "$out" >/dev/null)
deb=$(ls "$out"/langtuo_*_amd64.deb)
dpkg-deb -x "$deb" "$out/root"
for f in usr/bin/langtuo \
    usr/share/applications/cn.langtuo.Counter.desktop \
    usr/share/metainfo/cn.langtuo.Counter.metainfo.xml \
    usr/share/icons/hicolor/scalable/apps/cn.langtuo.Counter.svg \
    usr/share/langtuo/help/index.html \
    usr/share/doc/langtuo/copyright; do
    [ -f "$out/root/$f" ] || { echo "missing from the package: $f" >&2; exit 1; }
done
# The plugins in the program's lib/langtuo, wherever the prefix puts lib/.
for plugin in langtuo-charts.so langtuo-print.so; do
    find "$out/root/usr/lib" -path "*/langtuo/$plugin" | grep -q . || { echo "missing from the package: $plugin" >&2; exit 1; }
done
# The program makes its own date.mdb in the user's data directory.
if find "$out/root" -name 'date.mdb' | grep -q .; then
    echo "the package must not carry a date.mdb" >&2
    exit 1
fi
desktop-file-validate "$out/root/usr/share/applications/cn.langtuo.Counter.desktop"
appstreamcli validate --no-net "$out/root/usr/share/metainfo/cn.langtuo.Counter.metainfo.xml"
depends=$(dpkg-deb -f "$deb" Depends)
for lib in libqt6widgets6 libqt6sql6-sqlite libsodium23 libqt6charts6 libqt6printsupport6; do
    grep -q "$lib" <<<"$depends" || { echo "Depends lacks $lib: $depends" >&2; exit 1; }
done
echo "$(basename "$deb"): $depends"
