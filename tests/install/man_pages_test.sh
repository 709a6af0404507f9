#!/bin/sh
# The manual pages render without a warning from man or groff, in the width
# of a terminal and in a narrow one, and kilnrun.conf(5) names every key the
# configuration reader knows.
# Usage: man_pages_test.sh BUILD_CONFIG_SOURCE PAGE...
set -u
reader=$1
shift
work=$(mktemp -d "${TMPDIR:-/tmp}/man_pages_test.XXXXXX")
trap 'rm -rf "$work"' EXIT
failures=0

fail() {
  printf 'FAIL %s\n' "$1"
  failures=$((failures + 1))
}

for page in "$@"; do
  name=$(basename "$page")
  for width in 80 60; do
    LC_ALL=C.UTF-8 MANWIDTH=$width MAN_KEEP_FORMATTING=0 \
      man --warnings=w -E UTF-8 -l "$page" >"$work/$name.txt" 2>"$work/$name.err" ||
      fail "$name: man exits with $?"
    [ -s "$work/$name.err" ] && fail "$name, $width columns: man warns: $(cat "$work/$name.err")"
  done
  groff -ww -z -man -Tutf8 "$page" 2>"$work/$name.groff" || fail "$name: groff exits with $?"
  [ -s "$work/$name.groff" ] && fail "$name: groff warns: $(cat "$work/$name.groff")"
  case "$name" in
    kilnrun.conf.5)
      # Every key of the reader's table is the term of a definition: the
      # line that comes before the definition's indented text.
      awk '/^\.RS/ { print previous } { previous = $0 }' "$page" >"$work/terms"
      for key in $(sed -n 's/.*\.name = "\([^"]*\)".*/\1/p' "$reader"); do
        grep -Fq "\\fB$key\\fR" "$work/terms" ||
          fail "kilnrun.conf(5) does not describe the key $key"
      done ;;
  esac
done
[ $# -ge 3 ] || fail "expected the three manual pages, got $#"

[ $failures -eq 0 ] && echo "man_pages_test: all passed"
exit $failures
