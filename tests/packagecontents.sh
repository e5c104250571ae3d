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
suggests=$(dpkg-deb -f "$deb" Suggests)
for p in libqt6sql6-psql postgresql-client; do
    grep -q "$p" <<<"$suggests" || { echo "Suggests lacks $p: $suggests" >&2; exit 1; }
done
echo "$(basename "$deb"): $depends; suggests $suggests"

# The client PC's own package: the program, its desktop entry and the guide, nothing of the
# counter's, and none of its files in the counter's package.
client=$(ls "$out"/langtuo-client_*_amd64.deb)
dpkg-deb -x "$client" "$out/client"
for f in usr/bin/langtuo-client \
    usr/share/applications/cn.langtuo.Client.desktop \
    usr/share/langtuo-client/help/index.html \
    usr/share/doc/langtuo-client/copyright; do
    [ -f "$out/client/$f" ] || { echo "missing from the client package: $f" >&2; exit 1; }
done
if [ -e "$out/client/usr/bin/langtuo" ] || [ -e "$out/root/usr/bin/langtuo-client" ]; then
    echo "the counter and the client are each in their own package" >&2
    exit 1
fi
# Both may be installed on one PC: no file is in both.
if comm -12 <(cd "$out/root" && find . -type f | sort) <(cd "$out/client" && find . -type f | sort) | grep -q .; then
    echo "a file is in both packages" >&2
    exit 1
fi
desktop-file-validate "$out/client/usr/share/applications/cn.langtuo.Client.desktop"
client_depends=$(dpkg-deb -f "$client" Depends)
for lib in libqt6widgets6 libqt6network6 libsodium23; do
    grep -q "$lib" <<<"$client_depends" || { echo "the client's Depends lacks $lib: $client_depends" >&2; exit 1; }
done
if grep -q "libqt6sql6" <<<"$client_depends"; then
    echo "the client needs no database: $client_depends" >&2
    exit 1
fi
echo "$(basename "$client"): $client_depends"
