# Inputs at the limits of what the programs can hold: a line too long for
# the memory left is reported as memory running out, never as a damaged
# file, and a query record of 2^31 bases or more is refused by name. Both
# end in one line on standard error and exit status 2. A long query record
# runs in memory by what it holds, as its twin split into records does.
source "$3/common.sh" "$@"
need_binary zarn "$ZARN"
need_binary zarnmerdist "$MERDIST"

# AddressSanitizer reserves terabytes of address space at start-up, so a
# sanitizer build cannot run under an address-space limit at all.
if grep -q __asan_init "$ZARN" "$MERDIST"; then
  echo "all cases skipped: built with AddressSanitizer (no address-space limit possible)"
  finish
fi

# limited KB PROGRAM ARGS...: run under an address-space limit of KB.
limited() {
  local kb=$1
  shift
  ( ulimit -v "$kb" && exec "$@" ) > run.stdout 2> run.stderr
  rc=$?
}

# expect_one_line TEXT CASE: exit 2 and TEXT as the only line on standard error.
expect_one_line() {
  expect_status 2 "$2"
  [ "$(cat run.stderr)" = "$1" ] || fail "$2: standard error is '$(cat run.stderr)', expected '$1'"
}

ACGT256=$(printf 'ACGT%.0s' $(seq 64))
{ echo '>s1'; head -c 3000 /dev/urandom | tr '\000-\377' "$ACGT256" | fold -w 60; echo; } > src.fa
{ echo '>q1'; tail -n +2 src.fa; } > qry.fa

# --- A line longer than the memory left -----------------------------------

# One line of 64 Mbp of A, gzip-compressed: its index holds a single k-mer,
# so the line itself is what does not fit under the limit, which small runs
# stay well within.
LIMIT_KB=40000
{ echo '>p'; head -c 64000000 /dev/zero | tr '\0' A; echo; } | gzip -1 > longline.fa.gz

limited $LIMIT_KB "$ZARN" -T 0 -M 100 src.fa qry.fa small.txt
expect_status 0 "small zarn run under the limit"
limited $LIMIT_KB "$MERDIST" 31 1 0 1 small.dist qry.fa
expect_status 0 "small zarnmerdist run under the limit"

limited $LIMIT_KB "$MERDIST" 31 1 0 1 out.dist longline.fa.gz
expect_one_line "zarnmerdist: out of memory while counting longline.fa.gz" "counting a long line"
[ -e out.dist ] && fail "counting a long line: left a distribution file behind"
limited $LIMIT_KB "$ZARN" -T 0 longline.fa.gz qry.fa out.txt
expect_one_line "zarn: out of memory while indexing longline.fa.gz" "indexing a long line"
limited $LIMIT_KB "$ZARN" -T 0 src.fa longline.fa.gz out.txt
expect_one_line "zarn: out of memory while comparing longline.fa.gz" "comparing a long line"
rm -f longline.fa.gz

# --- A long query record ---------------------------------------------------

# A query record takes memory by what it holds, not by its length: one record
# of 8 Mbp that finds the source only at its start runs under the same limit
# as its twin of the same bases in 9 records, and both find that chain. The
# record takes about 35 MB of address space and its twin 21 MB; room for a
# found list per window of the record on each strand (16 bytes a base) would
# take 150 MB.
LIMIT_KB=80000
{
  echo '>one'
  tail -n +2 src.fa
  head -c 8000000 /dev/urandom | tr '\000-\377' "$ACGT256" | fold -w 60
  echo
} > long.fa
awk '/^>/ { next } n++ % 16667 == 0 { print ">r" n } { print }' long.fa > many.fa
for q in long many; do
  limited $LIMIT_KB "$ZARN" -T 0 -M 100 src.fa $q.fa $q.txt
  expect_status 0 "one long query record: $q.fa under the limit"
  [ "$(cut -f 1,5,8,9,12 $q.txt | grep -c '^s1	3000	1	3000	+$')" = 1 ] ||
    fail "one long query record: $q.fa lost the chain of its first 3000 bases"
done
rm -f long.fa many.fa

# --- A query record of 2^31 bases or more ---------------------------------

# q1, then a record of 2100 MiB of A (2,202,009,600 bases), made of gzip
# members of 1 MiB each, which zlib reads as one stream. The record is
# refused once it would pass 2,147,483,647 bases, so it is never held whole
# (its bases take about 2 GB); the limit keeps a run that held it all (about
# 6 GB) from taking the machine.
head -c 1048576 /dev/zero | tr '\0' A | fold -w 63 | gzip -1 > chunk.gz
{
  gzip -1 < qry.fa
  printf '>big\n' | gzip -1
  for _ in $(seq 2100); do cat chunk.gz; done
} > big.fa.gz
rm -f chunk.gz
limited 4000000 "$ZARN" -T 0 -M 100 src.fa big.fa.gz out.txt
expect_one_line "zarn: big.fa.gz: a record longer than 2147483647 bases: its positions cannot be counted" \
  "query record of 2^31 bases"
grep -q "	q1	" out.txt || fail "query record of 2^31 bases: q1's chain lines are lost"
rm -f big.fa.gz

finish
