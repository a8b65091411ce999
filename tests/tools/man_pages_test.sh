#!/usr/bin/env bash
# The manual pages: groff formats each without a warning (and man, as lintian runs it, when it
# is installed), and each has the sections NAME, SYNOPSIS, FILES and EXAMPLES.
#   man_pages_test.sh MAN_DIR     (the folder of halvex.1.gz and its siblings)
set -u
dir=$1
fails=0
for program in halvex dunmore geoconv pktsend simulate trackexport; do
  page=$dir/$program.1.gz
  [ -f "$page" ] || { echo "FAIL $page missing"; fails=$((fails + 1)); continue; }
  warnings=$(zcat "$page" | groff -ww -man -Tutf8 2>&1 > /dev/null)
  if command -v man > /dev/null; then
    warnings+=$(LC_ALL=C.UTF-8 MANROFFSEQ='' MANWIDTH=80 \
      man --warnings -E UTF-8 -l -Tutf8 -Z "$page" 2>&1 > /dev/null | sed 's/^/ /')
  fi
  [ -z "$warnings" ] || { echo "FAIL $program.1: $warnings"; fails=$((fails + 1)); }
  for section in NAME SYNOPSIS FILES EXAMPLES; do
    zcat "$page" | grep -q "^\.SH $section\$" ||
      { echo "FAIL $program.1: no $section section"; fails=$((fails + 1)); }
  done
done
[ $fails -eq 0 ] && echo "manual pages: all cases pass"
exit $((fails > 0))
