#!/usr/bin/env bash
# Every program answers --help (usage on standard output) and --version ("NAME VERSION") with
# status 0, and refuses an unknown option with status 2 and text on standard error only; all
# without a display. Takes the folder of the programs, a build's bin folder or an installed one.
#   program_options_test.sh BIN_DIR VERSION
set -u
bin=$1 version=$2
unset DISPLAY
fails=0
out=$(mktemp) err=$(mktemp)
trap 'rm -f "$out" "$err"' EXIT

fail() { echo "FAIL $*"; fails=$((fails + 1)); }

# check "COMMAND" OPTION STATUS STREAM: runs COMMAND OPTION; wants STATUS and text on STREAM
# (out or err) only.
check() {
  local command=$1 option=$2 want=$3 stream=$4 status
  # shellcheck disable=SC2086
  timeout 20 "$bin"/$command "$option" < /dev/null > "$out" 2> "$err"
  status=$?
  [ "$status" -eq "$want" ] || fail "$command $option: status $status, not $want"
  local loud=$out quiet=$err
  [ "$stream" = err ] && loud=$err quiet=$out
  [ -s "$loud" ] || fail "$command $option: nothing on standard $stream"
  [ ! -s "$quiet" ] || fail "$command $option: also on the other stream: $(cat "$quiet")"
}

# The windowed halvex takes any other option as "no configuration" and opens its window, so
# only its headless mode is asked about an unknown option.
while read -r unknown command; do
  program=${command%% *}
  check "$command" --help 0 out
  grep -q "^Usage: $command" "$out" || fail "$command --help: no usage line"
  check "$command" --version 0 out
  [ "$(cat "$out")" = "$program $version" ] || fail "$command --version: $(cat "$out")"
  [ "$unknown" = yes ] && check "$command" --no-such-option 2 err
done << 'TABLE'
no  halvex
yes halvex --headless
yes dunmore
yes geoconv
yes pktsend
yes simulate
yes trackexport
TABLE

[ $fails -eq 0 ] && echo "program options: all cases pass"
exit $((fails > 0))
