# Running out of memory and failed writes, in both programs: one line on
# standard error naming what ran out or the file that could not be written,
# exit status 2. zarn keeps the chain lines written before; zarnmerdist leaves
# no distribution file behind.
source "$3/common.sh" "$@"
need_binary zarn "$ZARN"
need_binary zarnmerdist "$MERDIST"

# run PROGRAM ARGS...: sets rc, leaves run.stdout and run.stderr.
run() {
  "$@" > run.stdout 2> run.stderr
  rc=$?
}

# random_bases COUNT [WIDTH]: COUNT random bases, WIDTH (60) to a line.
ACGT256=$(printf 'ACGT%.0s' $(seq 64))
random_bases() {
  head -c "$1" /dev/urandom | tr '\000-\377' "$ACGT256" | fold -w "${2:-60}"
  echo
}

# A small source and query that give one chain line per copy of the query.
random_bases 3000 > uniq.seq
{ echo '>s1'; cat uniq.seq; } > src.fa
{ echo '>q1'; cat uniq.seq; } > qry.fa

# --- Write errors ---------------------------------------------------------

if [ -c /dev/full ]; then
  # With -D every compared record dumps its positions: none may appear, as
  # the failed write of the first line stops the run before any record.
  run "$ZARN" -D -T 0 -M 100 src.fa qry.fa /dev/full
  expect_status 2 "zarn to /dev/full"
  expect_stderr "zarn: /dev/full: write error" "zarn to /dev/full"
  grep -q '^qIdx=' run.stdout && fail "zarn to /dev/full: records compared after the write failed"
  grep -q 'done\.$' run.stdout && fail "zarn to /dev/full: reported done"

  run "$MERDIST" 32 1 0 1 /dev/full qry.fa
  expect_status 2 "zarnmerdist to /dev/full"
  expect_stderr "zarnmerdist: /dev/full: write error" "zarnmerdist to /dev/full"
  grep -q 'done\.' run.stdout && fail "zarnmerdist to /dev/full: reported done"
  [ -c /dev/full ] || fail "zarnmerdist to /dev/full: /dev/full is gone"
fi

# A FIFO whose reader has gone: as in a pipeline, the program dies by SIGPIPE
# (status 141); where SIGPIPE is ignored the write fails and is reported as
# a write error. Each output is larger than a pipe holds, so the program is
# still writing when the reader leaves. The reader opens the FIFO before the
# program starts (its open waits for the program's), and both have timeouts,
# so that no case can hang.

# to_fifo PROGRAM ARGS...: runs the program with its output FIFO pipe.out
# opened by a reader that leaves at once without reading.
to_fifo() {
  rm -f pipe.out
  mkfifo pipe.out
  timeout 30 bash -c ': < pipe.out' &
  local reader=$!
  timeout 30 "$@" > run.stdout 2> run.stderr
  rc=$?
  wait "$reader"
  rm -f pipe.out
}
# Runs the command after it with SIGPIPE ignored, as a parent that ignores it
# leaves it.
NO_SIGPIPE=(bash -c 'trap "" PIPE; exec "$0" "$@"')

if command -v mkfifo > /dev/null && command -v timeout > /dev/null; then
  # 8,000 copies of a 40-base source record, each a chain of the query:
  # about 300 KB of chain lines. For counting, 30,000 distinct 16-mers.
  seq40=$(head -c 40 uniq.seq)
  awk -v s="$seq40" 'BEGIN { for (i = 0; i < 8000; i++) print ">c" i "\n" s }' > copies.fa
  printf '>q\n%s\n' "$seq40" > copyq.fa
  { echo '>r'; random_bases 30000; } > counted.fa
  for prog in zarn zarnmerdist; do
    if [ $prog = zarn ]; then
      cmd=("$ZARN" -s 12 -T 0 -M 20 copies.fa copyq.fa pipe.out)
    else
      cmd=("$MERDIST" 16 1 0 1 pipe.out counted.fa)
    fi
    to_fifo "${cmd[@]}"
    expect_status 141 "$prog to a FIFO without reader"
    to_fifo "${NO_SIGPIPE[@]}" "${cmd[@]}"
    expect_status 2 "$prog to a FIFO without reader, SIGPIPE ignored"
    expect_stderr "$prog: pipe.out: write error" "$prog to a FIFO without reader, SIGPIPE ignored"
  done
  rm -f copies.fa copyq.fa counted.fa
fi

# --- Out of memory --------------------------------------------------------

# AddressSanitizer reserves terabytes of address space at start-up, so a
# sanitizer build cannot run under an address-space limit at all.
if grep -q __asan_init "$ZARN" "$MERDIST"; then
  echo "out-of-memory cases skipped: built with AddressSanitizer"
  finish
fi

LIMIT_KB=20000  # address space; the small runs below need about half of it

# limited PROGRAM ARGS...: run under the limit.
limited() {
  ( ulimit -v "$LIMIT_KB" && exec "$@" ) > run.stdout 2> run.stderr
  rc=$?
}

# The limit leaves room for small inputs: any failure below comes from the size.
limited "$ZARN" -T 0 -M 100 src.fa qry.fa small.out
expect_status 0 "small zarn run under the limit"
limited "$MERDIST" 32 1 0 1 small.dist qry.fa
expect_status 0 "small zarnmerdist run under the limit"

# A growing count table costs its own size as address space, not twice it:
# a million distinct 32-mers fill a table of 24 MiB (about 30 MB resident at
# the peak), which counts under a limit of 1.3 times that peak, and writes
# what an unlimited run writes.
{ echo '>grow'; random_bases 1000000; } > grow.fa
"$MERDIST" 32 1 0 1 grow.dist grow.fa > /dev/null && mv grow.dist grow.want
( ulimit -v 39000 && exec "$MERDIST" 32 1 0 1 grow.dist grow.fa ) > run.stdout 2> run.stderr
rc=$?
expect_status 0 "counting a million 32-mers under 39 MB"
cmp -s grow.want grow.dist || fail "counting a million 32-mers under 39 MB: output differs"
rm -f grow.fa grow.want grow.dist

# The index costs what the source holds, not what its file size says: a
# source of N alone, and one whose k-mers the default thinning (-F 1 -T 1)
# all leaves out, index nothing and run under the limit like a small input.
{ echo '>allN'; head -c 30000000 /dev/zero | tr '\0' N | fold -w 60; echo; } > alln.fa
limited "$ZARN" -s 12 -T 0 alln.fa qry.fa alln.out
expect_status 0 "zarn on 30 Mbp of N under the limit"
{ echo '>wide'; random_bases 8000000; } > wide.fa
limited "$ZARN" wide.fa qry.fa wide.out
expect_status 0 "zarn with the default thinning on 8 Mbp under the limit"
grep -q 'Hash size=0$' run.stdout || fail "zarn with the default thinning: something was indexed"
rm -f alln.fa wide.fa

# Nor what its bases say: 10 Mbp of A holds one distinct 32-mer, and its
# index costs what a pipe's does (about 32 MB of address space, its list of
# locations), from a plain file or a gzip one alike. A table sized for its
# 10 million k-mers would take about 140 MB.
REPEAT_LIMIT_KB=60000
{ echo '>polyA'; head -c 10000000 /dev/zero | tr '\0' A | fold -w 60; echo; } > polya.fa
gzip -1 -c polya.fa > polya.fa.gz
for src in polya.fa polya.fa.gz; do
  ( ulimit -v "$REPEAT_LIMIT_KB" && exec "$ZARN" -s 32 -T 0 "$src" qry.fa polya.out ) \
    > run.stdout 2> run.stderr
  rc=$?
  expect_status 0 "zarn on 10 Mbp of A from $src under $REPEAT_LIMIT_KB KB"
  grep -q 'Hash size=1$' run.stdout || fail "zarn on 10 Mbp of A from $src: not one k-mer indexed"
done
rm -f polya.fa polya.fa.gz polya.out

# big.fa: 2 Mbp of distinct k-mers, far beyond the limit as index or counts.
{ echo '>big'; random_bases 2000000; } > big.fa
# big.dist: a million distinct 16-mers as a repeat model.
{ printf 'big.dist\t16\t1\t0\t1\n'; random_bases 16000000 16 | sed 's/$/\t3/'; } > big.dist
# A poly-A source record and a poly-A query record: every query position hits
# every source position, far more hits than fit. Compared records before it
# keep their chain lines.
polya() { head -c "$1" /dev/zero | tr '\0' A | fold -w 60; echo; }
{ cat src.fa; echo '>s2'; polya 50000; } > rep.fa
{ cat qry.fa; echo '>q2'; polya 20000; echo '>q3'; cat uniq.seq; } > repq.fa

# Each line: the message, then the program and its arguments. The output file
# is out.txt for zarn and out.dist for zarnmerdist.
while read -r message prog args; do
  printf 'keep\n' > out.txt
  rm -f out.dist
  bin=$ZARN
  [ "$prog" = zarnmerdist ] && bin=$MERDIST
  # shellcheck disable=SC2086
  limited "$bin" $args
  expect_status 2 "[$prog $args]"
  expect_stderr "$prog: out of memory while ${message//_/ }" "[$prog $args]"
  [ -e out.dist ] && fail "[$prog $args]: left a distribution file behind"
  case "$message" in
    comparing*) ;;
    *) [ "$(cat out.txt)" = keep ] || fail "[$prog $args]: output file changed" ;;
  esac
done <<'CASES'
counting_big.fa                      zarnmerdist 32 1 0 1 out.dist big.fa
counting_big.fa                      zarnmerdist 32 1 0 1 out.dist qry.fa big.fa
indexing_big.fa                      zarn -T 0 big.fa qry.fa out.txt
reading_the_repeat_model_big.dist    zarn -K big.dist src.fa qry.fa out.txt
comparing_repq.fa                    zarn -T 0 -M 100 rep.fa repq.fa out.txt
CASES

# The chain file holds what was written before the failing record: q1's
# chains, exactly as a run on q1 alone writes them.
"$ZARN" -T 0 -M 100 rep.fa qry.fa want.txt > /dev/null
tail -n +2 want.txt > want.lines
tail -n +2 out.txt > got.lines
cmp -s want.lines got.lines || fail "comparing repq.fa: chain lines before the failing record differ"
[ "$(wc -l < got.lines)" -ge 2 ] || fail "comparing repq.fa: no chain line kept"

rm -f big.fa big.dist
finish
