#!/usr/bin/env bash
# Side-by-side benchmark of zarn and zarnmerdist against the peers a user would
# otherwise pick, one thread each, on real genomes.
#
#   bench/peers.sh [options] DIR
#
# DIR holds FASTA files, plain or compressed (.gz, .xz), at any depth: the
# folder that `dpkg -x` makes of Debian's ragout-examples and
# kleborate-examples, or a flat copy of their files. Compressed files are
# unpacked into a temporary folder; nothing is fetched.
#
# The genomes are found by file name, case-blind, once .gz or .xz and .fasta,
# .fa or .fna are taken off; a name matches when it is the genome's name or
# ends in _ or - and the name (contigs files match none):
#   MG1655   mg1655 or mg1655-k12      DH1          dh1
#   V. cholerae   h1, o1_inaba, o1_biovar, o395
#   Klebsiella    hs11286, kp1084, mgh78578, ntuh-k2044 (or ntuh_k2044)
# The large source "ALL10" is DIR/all10.fa when it exists, else these ten
# genomes concatenated in that order (48 Mbp). The script stops with a
# message naming each genome it needs and cannot find.
#
# Runs, each repeated N times (median of wall time and of peak memory):
#   count MG1655    zarnmerdist 31 1 0 1   | kmc -k31 -ci1 -cs1000000 -t1 -fm + kmc_dump
#                                          | jellyfish count -m31 -C -t1 + dump
#   count ALL10     the same on the large source
#   compare MG1655 vs DH1    zarn -s 32 -F 1 -T 0 | mummer -maxmatch -b -l 32
#                                                 | minimap2 -x asm5 -t1
#   compare ALL10 vs MG1655  the same
# Peers that are not installed are left out. Wall time and peak resident
# memory come from GNU time (/usr/bin/time -v). The ratio columns divide ours
# by each peer of the same run; B/base is peak memory per base of the indexed
# (or counted) input; for zarn the table adds the seconds of its two phases
# as it prints them, and the indexing cost per source base.
#
# Options:
#   -b DIR   build folder holding zarn and zarnmerdist [build/ of this tree]
#   -n N     repeats per run [3]
#   -w DIR   work folder for unpacked inputs and outputs [a fresh temporary one]
#   -r LIST  runs to do, comma-separated of count-small, count-large,
#            compare-small, compare-large [all]
#   -k       keep the work folder
set -euo pipefail

here=$(cd "$(dirname "$0")" && pwd)
build=$here/../build
repeats=3
work=
keep=0
runs=count-small,count-large,compare-small,compare-large

usage() {
  sed -n '2,/^set -euo/p' "$0" | sed '$d' | sed 's/^# \{0,1\}//' >&2
  exit 2
}

while getopts "b:n:w:r:kh" opt; do
  case $opt in
    b) build=$OPTARG ;;
    n) repeats=$OPTARG ;;
    w) work=$OPTARG ;;
    r) runs=$OPTARG ;;
    k) keep=1 ;;
    *) usage ;;
  esac
done
shift $((OPTIND - 1))
[ $# -eq 1 ] || usage
data=$1
[ -d "$data" ] || { echo "peers.sh: $data: not a folder" >&2; exit 2; }
case $repeats in ''|*[!0-9]*|0) echo "peers.sh: -n: a positive number is needed" >&2; exit 2 ;; esac

IFS=, read -r -a chosen <<< "$runs"
for r in "${chosen[@]}"; do
  case $r in
    count-small|count-large|compare-small|compare-large) ;;
    *) echo "peers.sh: -r: unknown run $r" >&2; exit 2 ;;
  esac
done

zarn=$build/zarn
zarnmerdist=$build/zarnmerdist
for p in "$zarn" "$zarnmerdist"; do
  [ -x "$p" ] || { echo "peers.sh: $p: not built (see -b)" >&2; exit 2; }
done
[ -x /usr/bin/time ] || { echo "peers.sh: /usr/bin/time missing (apt-get install time)" >&2; exit 2; }

if [ -z "$work" ]; then
  work=$(mktemp -d "${TMPDIR:-/tmp}/zarn-peers.XXXXXX")
  [ "$keep" = 1 ] || trap 'rm -rf "$work"' EXIT
else
  mkdir -p "$work"
fi
mkdir -p "$work/in" "$work/out"

# Plain copy of one input: compressed files are unpacked into the work folder.
plain() {
  local f=$1 base
  base=$(basename "$f")
  case $f in
    *.gz) base=${base%.gz}; [ -s "$work/in/$base" ] || { gzip -dc "$f" > "$work/in/$base.tmp" && mv "$work/in/$base.tmp" "$work/in/$base"; } ;;
    *.xz) base=${base%.xz}; [ -s "$work/in/$base" ] || { xz -dc "$f" > "$work/in/$base.tmp" && mv "$work/in/$base.tmp" "$work/in/$base"; } ;;
    *) echo "$f"; return ;;
  esac
  echo "$work/in/$base"
}

# The first file of DIR (at any depth, in byte order of its path) whose name,
# without its compression and FASTA extensions, is NAME or ends in _NAME or
# -NAME, case-blind. NAME is an extended regular expression.
pick() {
  find -L "$data" -type f \( -iname '*.fa' -o -iname '*.fasta' -o -iname '*.fna' \
    -o -iname '*.fa.gz' -o -iname '*.fasta.gz' -o -iname '*.fna.gz' \
    -o -iname '*.fa.xz' -o -iname '*.fasta.xz' -o -iname '*.fna.xz' \) |
    LC_ALL=C sort |
    {
      first=
      while IFS= read -r f; do
        stem=$(basename "$f" | sed -E 's/\.(gz|xz)$//I; s/\.(fasta|fa|fna)$//I')
        if [ -z "$first" ] && printf '%s\n' "$stem" | grep -Eiqx "(.*[_-])?($1)"; then
          first=$f
        fi
      done
      [ -z "$first" ] || printf '%s\n' "$first"
    }
}

# The genomes, by label and name pattern: MG1655 and DH1 first (the small
# runs), then the eight that complete the large source.
genomes=(
  "MG1655:mg1655(-k12)?"
  "DH1:dh1"
  "V. cholerae H1:h1"
  "V. cholerae O1 Inaba:o1_inaba"
  "V. cholerae O1 biovar:o1_biovar"
  "V. cholerae O395:o395"
  "Klebsiella HS11286:hs11286"
  "Klebsiella Kp1084:kp1084"
  "Klebsiella MGH78578:mgh78578"
  "Klebsiella NTUH-K2044:ntuh[_-]k2044"
)
have_all=0
[ -s "$data/all10.fa" ] && have_all=1
found=()
missing=0
for i in "${!genomes[@]}"; do
  label=${genomes[$i]%%:*}
  f=$(pick "${genomes[$i]#*:}")
  if [ -z "$f" ]; then
    # Beyond MG1655 and DH1 a genome is needed only to build the large source.
    if [ "$i" -lt 2 ] || [ "$have_all" = 0 ]; then
      echo "peers.sh: $data: no $label genome" >&2
      missing=1
    fi
  fi
  found+=("$f")
done
[ "$missing" = 0 ] || exit 2

mg=$(plain "${found[0]}") || { echo "peers.sh: ${found[0]}: cannot unpack" >&2; exit 2; }
dh=$(plain "${found[1]}") || { echo "peers.sh: ${found[1]}: cannot unpack" >&2; exit 2; }
if [ "$have_all" = 1 ]; then
  all=$data/all10.fa
else
  all=$work/in/all10.fa
  if [ ! -s "$all" ]; then
    for f in "${found[@]}"; do
      p=$(plain "$f") || { echo "peers.sh: $f: cannot unpack" >&2; exit 2; }
      cat "$p"
      # A file whose last line has no newline would run into the next header.
      if [ -s "$p" ] && [ -n "$(tail -c 1 "$p")" ]; then echo; fi
    done > "$all.tmp"
    mv "$all.tmp" "$all"
  fi
fi
[ -s "$all" ] || { echo "peers.sh: $data: no large source" >&2; exit 2; }

bases() { grep -v '^>' "$1" | tr -d '\n\r' | wc -c; }

# One timed command: prints "wall_seconds peak_kb index_s compare_s". A
# command that fails (every tool here exits 0 after a complete run) is
# reported with the end of its standard error, and the status is returned.
timed() {
  local log=$work/out/time.log status=0
  /usr/bin/time -v -o "$log" "$@" > "$work/out/stdout.log" 2> "$work/out/stderr.log" || status=$?
  if [ "$status" != 0 ]; then
    echo "peers.sh: exit status $status from: $*" >&2
    tail -n 5 "$work/out/stderr.log" >&2
    return "$status"
  fi
  # zarn prints the seconds of its two phases, indexing and comparing.
  local phases
  phases=$(awk '/ seconds\./ { printf "%s ", $1 }' "$work/out/stdout.log")
  awk -F': ' -v phases="$phases" '
    /Elapsed \(wall clock\)/ { n = split($2, t, ":"); s = 0; for (i = 1; i <= n; i++) s = s * 60 + t[i]; w = s }
    /Maximum resident set size/ { m = $2 }
    END { split(phases, p, " "); printf "%.3f %d %s %s\n", w, m, (p[1] == "" ? 0 : p[1]), (p[2] == "" ? 0 : p[2]) }' "$log"
}

# A shell command line given as one string, timed as a whole (count + dump).
timed_sh() { timed bash -c "$1"; }

median() { LC_ALL=C sort -g | awk '{ v[NR] = $1 } END { print (NR % 2) ? v[(NR + 1) / 2] : (v[NR / 2] + v[NR / 2 + 1]) / 2 }'; }

results=$work/out/results.tsv
: > "$results"

# measure RUN TOOL COMMAND...: runs the command N times, records the medians.
measure() {
  local run=$1 tool=$2 i w m x c walls= mems= idx= cmp=
  shift 2
  for ((i = 0; i < repeats; i++)); do
    "$@" > "$work/out/timed.txt" || exit 2
    read -r w m x c < "$work/out/timed.txt"
    walls+="$w"$'\n'
    mems+="$m"$'\n'
    idx+="$x"$'\n'
    cmp+="$c"$'\n'
  done
  local mw mm mx mc
  mw=$(printf '%s' "$walls" | median)
  mm=$(printf '%s' "$mems" | median)
  mx=$(printf '%s' "$idx" | median)
  mc=$(printf '%s' "$cmp" | median)
  printf '%s\t%s\t%s\t%s\t%s\t%s\n' "$run" "$tool" "$mw" "$mm" "$mx" "$mc" >> "$results"
  printf '  %-26s %-10s %8.2f s %8.0f MB\n' "$run" "$tool" "$mw" "$(echo "$mm" | awk '{ print $1 / 1024 }')" >&2
}

has() { command -v "$1" >/dev/null 2>&1; }

count_run() {
  local run=$1 fa=$2 o=$work/out
  measure "$run" zarnmerdist timed "$zarnmerdist" 31 1 0 1 "$o/z.dist" "$fa"
  if has kmc && has kmc_dump; then
    mkdir -p "$o/kmctmp"
    measure "$run" kmc timed_sh "kmc -k31 -ci1 -cs1000000 -t1 -fm '$fa' '$o/kmc' '$o/kmctmp' && kmc_dump '$o/kmc' '$o/kmc.txt'"
  fi
  if has jellyfish; then
    local size
    size=$(bases "$fa")
    measure "$run" jellyfish timed_sh "jellyfish count -m 31 -C -t 1 -s $size -o '$o/jf' '$fa' && jellyfish dump -c -t -o '$o/jf.txt' '$o/jf'"
  fi
}

compare_run() {
  local run=$1 src=$2 qry=$3 o=$work/out
  measure "$run" zarn timed "$zarn" -s 32 -F 1 -T 0 "$src" "$qry" "$o/z.chains"
  has mummer && measure "$run" mummer timed_sh "mummer -maxmatch -b -l 32 '$src' '$qry' > '$o/mummer.out'"
  has minimap2 && measure "$run" minimap2 timed_sh "minimap2 -x asm5 -t1 '$src' '$qry' > '$o/mm2.paf'"
  return 0
}

mgb=$(bases "$mg")
allb=$(bases "$all")
echo "inputs: MG1655 $mg ($mgb bases), DH1 $dh, ALL10 $all ($allb bases); $repeats repeats" >&2
for r in "${chosen[@]}"; do
  case $r in
    count-small) count_run "count MG1655" "$mg" ;;
    count-large) count_run "count ALL10" "$all" ;;
    compare-small) compare_run "compare MG1655 vs DH1" "$mg" "$dh" ;;
    compare-large) compare_run "compare ALL10 vs MG1655" "$all" "$mg" ;;
  esac
done

# The table: ratios of ours to every peer of the same run.
echo
echo "$(uname -m), $(nproc) cores, $(date -u '+%Y-%m-%d %H:%M UTC'), medians of $repeats, one thread each"
awk -F'\t' -v mgb="$mgb" -v allb="$allb" '
  { run[NR] = $1; tool[NR] = $2; wall[NR] = $3; mem[NR] = $4; idx[NR] = $5; cmp[NR] = $6
    if ($2 == "zarn" || $2 == "zarnmerdist") { ow[$1] = $3; om[$1] = $4 } }
  END {
    printf "| %-24s | %-11s | %7s | %8s | %8s | %9s | %9s | %-24s |\n", "run", "tool", "wall s", "peak MB", "B/base", "wall/peer", "mem/peer", "zarn index, compare"
    printf "|%s|%s|%s|%s|%s|%s|%s|%s|\n", "--------------------------", "-------------", "---------", "----------", "----------", "-----------", "-----------", "--------------------------"
    for (i = 1; i <= NR; i++) {
      b = (run[i] ~ /^(count|compare) ALL10/) ? allb : mgb  # bases of the indexed input
      rt = "-"; rm = "-"; ph = ""
      if (tool[i] != "zarn" && tool[i] != "zarnmerdist" && wall[i] > 0 && mem[i] > 0) {
        rt = sprintf("%.2f", ow[run[i]] / wall[i]); rm = sprintf("%.2f", om[run[i]] / mem[i])
      }
      if (tool[i] == "zarn") ph = sprintf("%.2f s (%.0f ns/base), %.2f s", idx[i], idx[i] * 1e9 / b, cmp[i])
      printf "| %-24s | %-11s | %7.2f | %8.0f | %8.1f | %9s | %9s | %-24s |\n", run[i], tool[i], wall[i], mem[i] / 1024, mem[i] * 1024 / b, rt, rm, ph
    }
  }' "$results"
