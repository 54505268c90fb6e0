#!/usr/bin/env bash
# Installs the build into scratch prefixes (once plainly, once staged under
# DESTDIR as a package build does) and checks what a desktop, systemd, man
# and bash need. Needs no root: everything goes into scratch folders.
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
         share/doc/tq800/examples/{tq800-ph1.conf,70-tq800.rules} \
         share/man/man1/{tq800,tq800-log,tq800-sim}.1 share/bash-completion/completions/{tq800,tq800-log,tq800-sim}; do
  [ -e "$prefix/$f" ] || fail "missing: $f"
done

# The unit names the programs of the prefix it was installed with; staged
# under DESTDIR, it names them where the package will put them.
"$here/install_service_check.sh" "$prefix" "$prefix"
stage=$scratch/stage
DESTDIR=$stage cmake --install "$build" --prefix /opt/tq800 >/dev/null
"$here/install_service_check.sh" "$stage/opt/tq800" /opt/tq800
# The PAM service: where PAM reads it for a system prefix (staged under
# DESTDIR), beside a private prefix otherwise; never the real /etc here.
for f in "$prefix/etc/pam.d/tq800" "$stage/etc/pam.d/tq800"; do
  grep -qx '@include common-auth' "$f" && grep -qx '@include common-account' "$f" || fail "PAM service: $f"
done

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

# The manual pages: no warning from man or groff, and the same options as
# --help, both ways.
for p in "${programs[@]}"; do
  page=$prefix/share/man/man1/$p.1
  warnings=$(LC_ALL=C.UTF-8 MANWIDTH=80 man --warnings -l "$page" 2>&1 >/dev/null)
  [ -z "$warnings" ] || fail "man --warnings -l $p.1: $warnings"
  # The names before the text on --help's option lines ("  -h, --help  Displays...").
  in_help=$(env -u DISPLAY -u WAYLAND_DISPLAY "$prefix/bin/$p" --help | awk -F'  ' '/^  -/ { print $2 }' |
            grep -oE -- '--[a-z][a-z-]*' | sort -u)
  # The heads of the entries in the page's OPTIONS section (indented 7, their texts 11).
  in_page=$(LC_ALL=C.UTF-8 MANWIDTH=80 man -l "$page" |
            awk '/^[A-Z]/ { on = ($0 == "OPTIONS") } on && /^       -/' | grep -oE -- '--[a-z][a-z-]*' | sort -u)
  [ -n "$in_help" ] && [ "$in_help" = "$in_page" ] ||
    fail "$p: --help and the manual page list different options:$(diff <(echo "$in_help") <(echo "$in_page") || true)"
done

# Bash completion: each file registers its program, and completes options,
# devices, folders and choices as --help describes them.
for p in "${programs[@]}"; do
  bash -c 'source "$1" && complete -p "$2"' - "$prefix/share/bash-completion/completions/$p" "$p" >/dev/null ||
    fail "share/bash-completion/completions/$p does not complete $p"
done
mkdir -p "$scratch/folder"
# words typed (EMPTY: nothing typed yet) | one of the completions offered
while IFS='|' read -r words want; do
  got=$(PATH=$prefix/bin:$PATH bash -c 'source "$1"; shift; COMP_WORDS=("${@/#EMPTY/}"); COMP_CWORD=$(($# - 1))
                                        _tq800; printf "%s\n" "${COMPREPLY[@]}"' \
        - "$prefix/share/bash-completion/completions/tq800" $words)
  grep -qxF -- "${want//SCRATCH/$scratch}" <<< "$got" || fail "completing \"$words\" offered: $got"
done <<EOF
tq800-log --mqtt-ca|--mqtt-cafile
tq800 --no-j|--no-journal
tq800-sim --unp|--unpaced
tq800-sim --family co|cond
tq800-sim --celsius EMPTY|1
tq800-log --port $scratch/st|SCRATCH/stage
tq800-log --journal $scratch/fol|SCRATCH/folder
tq800-log --csv $scratch/st|SCRATCH/stage
EOF
echo ok
