#!/usr/bin/env bash
# Every switch and command that a program's --help names is in its manual
# page, and man shows the page without a warning.
# Usage: man-pages.sh PROGRAM PAGE [PROGRAM PAGE]...
set -uo pipefail
failed=0
while [ $# -ge 2 ]; do
  program=$1 page=$2
  shift 2
  name=$(basename "$program")
  help=$("$program" --help) || { echo "$name --help failed"; failed=1; continue; }
  warnings=$(MANWIDTH=1000 LC_ALL=C.UTF-8 man --warnings -l "$page" 2>&1 >/dev/null)
  if [ -n "$warnings" ]; then
    echo "$page: man warns: $warnings"
    failed=1
  fi
  # No hyphenation and no line breaks inside the text, nothing but ASCII.
  text=$(MANWIDTH=1000 LC_ALL=C man --nh --nj -l "$page" 2>/dev/null | col -b)
  # Switches: words that begin with - or -- after a blank, [, |, ( or a
  # quote ("-plg:" of '-plg:\path', "-view:BronzeListView", "-SUFFIX").
  switches=$(grep -oE "(^|[][ |('])--?[A-Za-z][A-Za-z0-9_]*(:[A-Za-z][A-Za-z0-9_]*)?:?" <<<"$help" |
             sed -E "s/^[][ |(']//" | sort -u)
  # Commands: the entries of a "Commands:" list, each heading a paragraph
  # of the page.
  commands=$(awk '/^Commands:/ {on = 1; next} /^[^ ]/ {on = 0} on && /^  [a-z]/ {print $1}' <<<"$help")
  for s in $switches; do
    if ! grep -qwF -e "$s" <<<"$text"; then
      echo "$page does not name $s, which $name --help names"
      failed=1
    fi
  done
  for c in $commands; do
    if ! grep -qE "^ +$c( |$)" <<<"$text"; then
      echo "$page has no paragraph on the command $c, which $name --help lists"
      failed=1
    fi
  done
  echo "$name: $(wc -w <<<"$switches") switches, $(wc -w <<<"$commands") commands"
done
exit $failed
