#!/bin/sh
# make-page.sh SCDOC PROGRAM PAGE.scd OUT
#
# Makes a manual page from PAGE.scd, whose line "%OPTIONS%" becomes the
# options that PROGRAM's own --help lists, with their texts: the options
# are written once, in the program, and --help and the page cannot drift
# apart. Everything else on the page is written in PAGE.scd.
#
# An option begins on a line of --help indented by two blanks ("  -h,
# --help", "  --port <DEVICE>" or "  --family F"), its names parted from
# its text by two blanks or more; more deeply indented lines go on with
# the text.
set -eu
scdoc=$1 program=$2 page=$3 out=$4
help=$(mktemp)
trap 'rm -f "$help" "$out.tmp"' EXIT
"$program" --help > "$help"
[ -s "$help" ] || { echo "$program --help printed nothing" >&2; exit 1; }
awk '
  # scdoc reads * and _ as emphasis and \ as an escape.
  function escape(s,   r, i, c) {
    r = ""
    for (i = 1; i <= length(s); i++) {
      c = substr(s, i, 1)
      if (c == "\\" || c == "*" || c == "_")
        r = r "\\"
      r = r c
    }
    return r
  }
  # "-h, --help" to "*-h*, *--help*"; "--port <DEVICE>" to "*--port* _DEVICE_".
  function names(optnames,   n, part, i, sp, r, value) {
    n = split(optnames, part, ", ")
    r = ""
    for (i = 1; i <= n; i++) {
      sp = index(part[i], " ")
      if (sp == 0)
        r = r "*" part[i] "*"
      else {
        value = substr(part[i], sp + 1)
        gsub(/^<|>$/, "", value)
        r = r "*" substr(part[i], 1, sp - 1) "* _" escape(value) "_"
      }
      if (i < n)
        r = r ", "
    }
    return r
  }
  function flush() {
    if (optnames == "")
      return
    text = escape(text)
    gsub(/--[a-z][a-z-]*/, "*&*", text)
    options = options names(optnames) "\n\t" text "\n\n"
    optnames = ""
  }
  FNR == NR {
    if (/^  -/) {
      flush()
      line = substr($0, 3)
      gap = match(line, /  +/)
      if (gap == 0) {
        optnames = line
        text = ""
      } else {
        optnames = substr(line, 1, gap - 1)
        text = substr(line, gap + RLENGTH)
      }
    } else if (optnames != "" && /^   +[^ ]/) {
      sub(/^ +/, "")
      text = text " " $0
    } else {
      flush()
    }
    next
  }
  FNR == 1 { flush() }
  $0 == "%OPTIONS%" {
    if (options == "") {
      print "no options found in the --help text" > "/dev/stderr"
      exit 1
    }
    printf "%s", options
    next
  }
  { print }
' "$help" "$page" | "$scdoc" |
  # scdoc turns hyphenation off before .TH, which turns it on again: an
  # option broken as "--re-" "connect" would be misread.
  awk '{ print } /^\.TH / { print ".nh" }' > "$out.tmp"
mv "$out.tmp" "$out"
