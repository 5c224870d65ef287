#!/bin/bash
# Wall time of zarn on one source cut into many records against the same
# source as one record, compared with the same query (medians of RUNS runs).
#
#   bench/chain_scaling.sh ZARN ONE_RECORD.fa MANY_RECORDS.fa QUERY.fa [RUNS] [zarn options]
#
# Default options: -s 20 -F 1 -T 0. Prints each run's time, the medians and
# their ratio; the chain files are left in a scratch directory it names.
set -u
if [ $# -lt 4 ]; then
  echo "usage: $0 ZARN ONE_RECORD.fa MANY_RECORDS.fa QUERY.fa [RUNS] [zarn options]" >&2
  exit 1
fi
zarn=$1 one=$2 many=$3 query=$4
runs=${5:-3}
shift $(($# < 5 ? $# : 5))
opts=("$@")
[ ${#opts[@]} -eq 0 ] && opts=(-s 20 -F 1 -T 0)
scratch=$(mktemp -d)

median() { sort -g | awk '{ v[NR] = $1 } END { print v[int((NR + 1) / 2)] }'; }

time_runs() {  # label, source
  local i t TIMEFORMAT=%R
  for ((i = 1; i <= runs; i++)); do
    t=$( { time "$zarn" "${opts[@]}" "$2" "$query" "$scratch/$1.out" > /dev/null 2> "$scratch/$1.err"; } 2>&1)
    echo "$1 run $i: $t s" >&2
    echo "$t"
  done | median
}

t1=$(time_runs one "$one")
tn=$(time_runs many "$many")
echo "one record:   $t1 s (median of $runs)"
echo "many records: $tn s (median of $runs)"
awk -v a="$t1" -v b="$tn" 'BEGIN { if (a > 0) printf "ratio:        %.2f\n", b / a }'
echo "chain files in $scratch"
