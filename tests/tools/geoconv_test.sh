#!/usr/bin/env bash
# Drives the geoconv command line: every mode, bad lines, options and hostile input.
set -u
geoconv=$1
fails=0

# expect NAME "ARGS" INPUT EXPECTED: runs geoconv ARGS on INPUT and compares standard output.
expect() {
  local name=$1 args=$2 input=$3 want=$4 got
  got=$(printf '%s' "$input" | "$geoconv" $args)
  if [ "$got" != "$want" ]; then
    printf 'FAIL %s\n--- want\n%s\n--- got\n%s\n' "$name" "$want" "$got"
    fails=$((fails + 1))
  fi
}

expect to-mgrs "-m" $'60 5\n78 10\n84 0\n84.0000001 0\n-90 0' \
  $'32VKM7698058157\n33XUG8408563320\n31XDP6500529005\nZAA0000033272\nBAN0000000000'
expect to-mgrs-precision "-m -p 2" $'48.2 16.35\n48.2 -200' $'33UXP0039\nerror 2'
expect to-mgrs-precision-0 "-m -p 0" $'48.2 16.35' '33UXP'
expect to-mgrs-bad-lines "-m" $'abc\n1 2 3\n\n91 0\n1,2\nnan 0\n0 inf' \
  $'error 1\nerror 2\nerror 1\nerror 1\n31NCB8873610547\nerror 1\nerror 2'
expect to-grid "-u" $'60 5\n-85 45\n0 0\n-0.000000001 3' \
  $'32 N 276979.926 6658157.202\n0 S 2392767.688 2392767.688\n31 N 166021.443 0.000\n31 S 500000.000 10000000.000'
expect from-mgrs "-g" $'4QFJ1234567890\n33uxp04\nZAH\n31XEO\n33UXP0400\n  33UXP0031339411  ' \
  $'21.409796672 -157.916078309\n48.205348408 16.345929825\n90.000000000 0.000000000\nerror 4\nerror 1\n48.200001335 16.350002127'
expect readout "-r" $'32.5 -0.5\n90 0\n-32.5 180' \
  "$(printf 'Lat:   32 30'"'"' 00.0000"\tLon:   -0 30'"'"' 00.0000"\tMGRS: 30S YA 34880 98613\nLat:   90 00'"'"' 00.0000"\tLon:    0 00'"'"' 00.0000"\tMGRS: Z AG 00000 99889\nLat:  -32 30'"'"' 00.0000"\tLon:  180 00'"'"' 00.0000"\tMGRS: 60H YK 81778 00176')"
expect no-final-newline "-g" $'ZAH' '90.000000000 0.000000000'
expect crlf "-m" $'48.2 16.35\r\n' '33UXP0031339411'

# A line over the limit, a NUL byte and random binary noise must not stop the conversion.
got=$( { head -c 100000 /dev/zero | tr '\0' '7'; printf '\nZAH\n'; } | "$geoconv" -g)
[ "$got" = $'error 4\n90.000000000 0.000000000' ] || { echo "FAIL overlong: $got"; fails=$((fails + 1)); }
got=$(printf 'ZAH\0x\nZAH\n' | "$geoconv" -g)
[ "$got" = $'error 4\n90.000000000 0.000000000' ] || { echo "FAIL nul: $got"; fails=$((fails + 1)); }
for mode in -m -u -g -r; do
  head -c 200000 /dev/urandom | "$geoconv" $mode > /dev/null
  [ $? -eq 0 ] || { echo "FAIL noise $mode"; fails=$((fails + 1)); }
done

# Options.
"$geoconv" --help | grep -q 'Usage: geoconv' || { echo "FAIL help"; fails=$((fails + 1)); }
for bad in "" "-x" "-m -u" "-m -p 6" "-m -p" "-g -p 3" "-m -p 2x"; do
  "$geoconv" $bad < /dev/null > /dev/null 2>&1
  [ $? -eq 2 ] || { echo "FAIL option '$bad' not refused"; fails=$((fails + 1)); }
done

[ $fails -eq 0 ] && echo "geoconv: all cases pass"
exit $((fails > 0))
