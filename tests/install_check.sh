#!/usr/bin/env bash
# Installs the build into a scratch prefix and checks what a desktop needs.
set -euo pipefail
build=$1
prefix=$(mktemp -d)
trap 'rm -rf "$prefix"' EXIT
cmake --install "$build" --prefix "$prefix" >/dev/null
id=org.tq800.TQ800 cid=org.tq800.tq800
for f in bin/tq800 bin/tq800-log bin/tq800-sim share/applications/$id.desktop share/metainfo/$cid.metainfo.xml \
         share/icons/hicolor/scalable/apps/$id.svg share/icons/hicolor/{16x16,32x32,48x48,64x64,128x128,256x256}/apps/$id.png; do
  [ -e "$prefix/$f" ] || { echo "missing: $f"; exit 1; }
done
# The service unit, as systemd reads it (the units it needs, the user and
# state folder options, the program there to run). The unit names the
# program where the build was configured to install it; checked here with
# the program this prefix holds.
unit="$prefix/lib/systemd/system/tq800-log@.service"
[ -e "$unit" ] || { echo "missing: lib/systemd/system/tq800-log@.service"; exit 1; }
if command -v systemd-analyze >/dev/null; then
  units=$(mktemp -d)
  trap 'rm -rf "$prefix" "$units"' EXIT
  sed -E "s|^ExecStart=[^ ]*/tq800-log |ExecStart=$prefix/bin/tq800-log |" "$unit" > "$units/tq800-log@.service"
  ln -s tq800-log@.service "$units/tq800-log@ttyUSB0.service"
  notes=$(systemd-analyze verify "$units/tq800-log@ttyUSB0.service" 2>&1) || { echo "$notes"; exit 1; }
  [ -z "$notes" ] || { echo "$notes"; exit 1; }
else
  echo "systemd-analyze is not installed (script/bootstrap installs systemd): the service unit was not verified"
fi
# Every note of the validators counts, hints and pedantic ones included.
notes=$(desktop-file-validate "$prefix/share/applications/$id.desktop" 2>&1 || true)
[ -z "$notes" ] || { echo "$notes"; exit 1; }
# One note is let through: AppStream 1.0 calls <developer_name> deprecated in
# favour of <developer>, which 0.16 (Debian 12) does not know; the file
# carries the tag that both read.
if command -v appstreamcli >/dev/null; then
  notes=$(appstreamcli validate --no-net --pedantic "$prefix/share/metainfo/$cid.metainfo.xml" 2>&1 |
          grep -E '^[EWIP]: ' | grep -v 'developer-name-tag-deprecated' || true)
  [ -z "$notes" ] || { echo "$notes"; exit 1; }
else
  echo "appstreamcli is not installed (script/bootstrap installs it): the metainfo was not validated"
fi
grep -q "<launchable type=\"desktop-id\">$id.desktop<" "$prefix/share/metainfo/$cid.metainfo.xml" ||
  { echo "the metainfo does not launch $id.desktop"; exit 1; }
# The installed programs answer --version without a display.
for p in tq800 tq800-log tq800-sim; do
  env -u DISPLAY -u WAYLAND_DISPLAY "$prefix/bin/$p" --version | grep -q '0\.' || { echo "$p --version"; exit 1; }
done
echo ok
