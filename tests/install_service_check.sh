#!/usr/bin/env bash
# install_service_check.sh ROOT PREFIX: checks the service unit installed
# under ROOT for the prefix PREFIX (ROOT is PREFIX itself, or PREFIX under
# DESTDIR): it runs PREFIX's logger, and where ROOT is PREFIX, systemd
# reads it without a complaint and rates its exposure 2.0 or lower.
set -euo pipefail
root=$1 prefix=$2
fail() { echo "$*"; exit 1; }
unit=$root/lib/systemd/system/tq800-log@.service
exec_start=$(sed -nE 's/^ExecStart=([^ ]*).*/\1/p' "$unit")
[ "$exec_start" = "$prefix/bin/tq800-log" ] || fail "the unit runs $exec_start, not $prefix/bin/tq800-log"
[ -x "$root/bin/tq800-log" ] || fail "$root/bin/tq800-log is not executable"
grep -qE "^Documentation=(.* )?file://$prefix/share/doc/tq800/README.md$" "$unit" ||
  fail "the unit's documentation is not $prefix/share/doc/tq800/README.md"
[ "$root" = "$prefix" ] || exit 0
if ! command -v systemd-analyze >/dev/null; then
  echo "systemd-analyze is not installed (script/bootstrap installs systemd): the service unit was not verified"
  exit 0
fi
# An instance as systemd would load it; man finds the page the unit names.
units=$(mktemp -d)
trap 'rm -rf "$units"' EXIT
cp "$unit" "$units/tq800-log@ttyUSB0.service"
notes=$(MANPATH=$prefix/share/man systemd-analyze verify "$units/tq800-log@ttyUSB0.service" 2>&1) || fail "$notes"
[ -z "$notes" ] || fail "$notes"
# "→ Overall exposure level for tq800-log@ttyUSB0.service: 1.7 OK 🙂"
rating=$(systemd-analyze security --offline=yes "$units/tq800-log@ttyUSB0.service" 2>&1 | grep 'Overall exposure level') ||
  fail "systemd-analyze security rated nothing"
awk -v line="$rating" 'BEGIN { n = split(line, w, " "); for (i = 1; i <= n; i++) if (w[i] ~ /^[0-9.]+$/) exit !(w[i] + 0 <= 2.0); exit 1 }' ||
  fail "the unit is too exposed: $rating"
