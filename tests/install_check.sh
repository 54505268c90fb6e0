#!/usr/bin/env bash
# Installs the build into scratch prefixes (once plainly, once staged under
# DESTDIR as a package build does) and checks what a desktop and systemd
# need. Needs no root: everything goes into scratch folders.
set -euo pipefail
build=$1
here=$(cd "$(dirname "$0")" && pwd)
scratch=$(mktemp -d)
trap 'rm -rf "$scratch"' EXIT
fail() { echo "$*"; exit 1; }
prefix=$scratch/prefix
cmake --install "$build" --prefix "$prefix" >/dev/null
id=org.tq800.TQ800 cid=org.tq800.tq800
programs=(tq800 tq800-log tq800-sim)
for f in bin/tq800 bin/tq800-log bin/tq800-sim share/applications/$id.desktop share/metainfo/$cid.metainfo.xml \
         share/icons/hicolor/scalable/apps/$id.svg share/icons/hicolor/{16x16,32x32,48x48,64x64,128x128,256x256}/apps/$id.png \
         lib/systemd/system/tq800-log@.service share/doc/tq800/README.md \
         share/doc/tq800/examples/{tq800-ph1.conf,70-tq800.rules}; do
  [ -e "$prefix/$f" ] || fail "missing: $f"
done

# The unit names the programs of the prefix it was installed with; staged
# under DESTDIR, it names them where the package will put them.
"$here/install_service_check.sh" "$prefix" "$prefix"
stage=$scratch/stage
DESTDIR=$stage cmake --install "$build" --prefix /opt/tq800 >/dev/null
"$here/install_service_check.sh" "$stage/opt/tq800" /opt/tq800

# Every note of the validators counts, hints and pedantic ones included.
notes=$(desktop-file-validate "$prefix/share/applications/$id.desktop" 2>&1 || true)
[ -z "$notes" ] || fail "$notes"
# One note is let through: AppStream 1.0 calls <developer_name> deprecated in
# favour of <developer>, which 0.16 (Debian 12) does not know; the file
# carries the tag that both read.
if command -v appstreamcli >/dev/null; then
  notes=$(appstreamcli validate --no-net --pedantic "$prefix/share/metainfo/$cid.metainfo.xml" 2>&1 |
          grep -E '^[EWIP]: ' | grep -v 'developer-name-tag-deprecated' || true)
  [ -z "$notes" ] || fail "$notes"
else
  echo "appstreamcli is not installed (script/bootstrap installs it): the metainfo was not validated"
fi
grep -q "<launchable type=\"desktop-id\">$id.desktop<" "$prefix/share/metainfo/$cid.metainfo.xml" ||
  fail "the metainfo does not launch $id.desktop"
# The installed programs answer --version without a display.
for p in "${programs[@]}"; do
  env -u DISPLAY -u WAYLAND_DISPLAY "$prefix/bin/$p" --version | grep -q '0\.' || fail "$p --version"
done

echo ok
