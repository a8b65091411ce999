#!/usr/bin/env bash
# Drives the dunmore program: a conversion on disk, exit statuses and where messages go.
set -u
dunmore=$1
fails=0
dir=$(mktemp -d)
trap 'rm -rf "$dir"' EXIT

check() {  # check NAME CONDITION...
  local name=$1
  shift
  "$@" || { echo "FAIL $name"; fails=$((fails + 1)); }
}

printf '071230Dec ZONE 38S ambush on convoy at GR MB 12345 67890. Two hit.\n' > "$dir/a.cast"
"$dunmore" --csv "$dir/out.csv" "$dir/a.cast" > "$dir/stdout" 2> "$dir/stderr"
check converted [ $? -eq 0 ]
check rows [ "$(wc -l < "$dir/out.csv")" -eq 3 ]
check row [ "$(tail -n 1 "$dir/out.csv")" = "0,1,1,MB,12345,67890,0,33.146218,44.060135,1133958600,2005,12,7,12,30,0,0,,38S,ambush,convoy,NONE GIVEN,NONE GIVEN" ]
check quiet [ ! -s "$dir/stdout" ] && check quiet-errors [ ! -s "$dir/stderr" ]

# A failing file: its error on standard error, the parser's note on standard output, status 1.
printf '071230Dec\n071231Dec hit.\n' > "$dir/bad.cast"
"$dunmore" --csv "$dir/out.csv" "$dir/bad.cast" "$dir/a.cast" > "$dir/stdout" 2> "$dir/stderr"
check failed [ $? -eq 1 ]
check failed-stderr [ "$(cat "$dir/stderr")" = "$dir/bad.cast: 1: Syntax error" ]
check failed-stdout [ "$(cat "$dir/stdout")" = "Problem in parce.  yyparse returned 1" ]
check failed-rows [ "$(wc -l < "$dir/out.csv")" -eq 3 ]

"$dunmore" --csv > /dev/null 2>&1
check usage [ $? -eq 2 ]
"$dunmore" --help | grep -q -- '--csv OUT.csv'
check help [ $? -eq 0 ]
"$dunmore" --listing --csv "$dir/out.csv" "$dir/a.cast" | grep -q '^The max time is 071230Dec$'
check listing [ $? -eq 0 ]

# Pseudo-random bytes (seeded, so every run sees the same) convert or fail, but never crash.
python3 -c "import random,sys; random.seed(7); sys.stdout.buffer.write(bytes(random.getrandbits(8) for _ in range(300000)))" > "$dir/noise.cast"
"$dunmore" --csv "$dir/out.csv" "$dir/noise.cast" > /dev/null 2>&1
status=$?
check noise [ $status -eq 0 -o $status -eq 1 ]

[ $fails -eq 0 ] && echo "dunmore_cli: all passed"
exit $((fails > 0))
