#!/usr/bin/env bash
# Installs the build into a scratch prefix and checks what a desktop needs.
set -euo pipefail
build=$1
prefix=$(mktemp -d)
trap 'rm -rf "$prefix"' EXIT
cmake --install "$build" --prefix "$prefix" >/dev/null
id=org.tq800.TQ800
for f in bin/tq800 bin/tq800-log bin/tq800-sim share/applications/$id.desktop share/metainfo/$id.metainfo.xml \
         share/icons/hicolor/scalable/apps/$id.svg share/icons/hicolor/{16x16,32x32,48x48,64x64,128x128,256x256}/apps/$id.png; do
  [ -e "$prefix/$f" ] || { echo "missing: $f"; exit 1; }
done
desktop-file-validate "$prefix/share/applications/$id.desktop"
appstreamcli validate --no-net "$prefix/share/metainfo/$id.metainfo.xml" >/dev/null
# The installed programs answer --version without a display.
for p in tq800 tq800-log tq800-sim; do
  env -u DISPLAY -u WAYLAND_DISPLAY "$prefix/bin/$p" --version | grep -q '0\.' || { echo "$p --version"; exit 1; }
done
echo ok
