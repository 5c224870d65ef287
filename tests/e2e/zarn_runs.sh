# zarn runs compared byte for byte with expected standard output (timings
# masked) and expected chain files.
source "$3/zarn/lib.sh"

# name: the expected files NAME.stdout and NAME.out; then the arguments.
while read -r name args; do
  rm -f out.txt
  # shellcheck disable=SC2086
  run_zarn $args
  expect_status 0 "$name"
  expect_same "$FIX/$name.stdout" run.stdout "$name"
  expect_same "$FIX/$name.out" out.txt "$name"
  [ -s run.stderr ] && fail "$name: unexpected standard error: $(cat run.stderr)"
done <<'CASES'
default       src.fa qry.fa out.txt
both_strands  -s 12 -T 0 -M 100 src.fa qry.fa out.txt
min_score     -s 12 -T 0 -M 348 -W 5 -L 7 src.fa qry.fa out.txt
kmer_file     -K dist.txt -s 40 -F 0 -T 5 -M 100 src.fa qry.fa out.txt
kmer_cutoff   -K dist.txt -k 500 -M 100 src.fa qry.fa out.txt
alignments    -A -s 12 -T 0 -M 100 src.fa qry.fa out.txt
debug         -T 0 -M 0 -D dsrc.fa dqry.fa out.txt
CASES

# Everything after the first line (which names the files) must match the
# reference run.
body_of() { tail -n +2 "$1"; }
expect_body() {  # reference expected file, case name
  body_of "$1" > want.body
  body_of out.txt > got.body
  expect_same want.body got.body "$2"
}

# Without -K, -k changes nothing.
run_zarn -s 12 -T 0 -M 100 -k 1 src.fa qry.fa out.txt
expect_status 0 "-k without -K"
expect_body "$FIX/both_strands.out" "-k without -K"

# A gzip distribution file reads as the plain one.
gzip -c dist.txt > dist.txt.gz
run_zarn -K dist.txt.gz -M 100 src.fa qry.fa out.txt
expect_status 0 "gzip -K"
grep -qxF "Reading repeat model dist.txt.gz ...done." run.stdout || fail "gzip -K: no 'Reading repeat model' line"
grep -qxF "$(printf 'MerSize: 12\tThinFactor: 1\tThinSlice: 0')" run.stdout || fail "gzip -K: no MerSize line"
expect_body "$FIX/kmer_file.out" "gzip -K"

# Gzip query and gzip source give the output of their plain forms.
gzip -c qry.fa > qry.fa.gz
gzip -c src.fa > src.fa.gz
for pair in "src.fa qry.fa.gz" "src.fa.gz qry.fa" "src.fa.gz qry.fa.gz"; do
  # shellcheck disable=SC2086
  run_zarn -s 12 -T 0 -M 100 $pair out.txt
  expect_status 0 "gzip inputs $pair"
  expect_body "$FIX/both_strands.out" "gzip inputs $pair"
done

# A distribution file written by zarnmerdist is accepted. Counting source and
# query together gives the shared k-mers counts of 2 to 4, all inside the
# accepted range, so the chains are those of the run without -K.
if [ -n "$MERDIST" ] && [ -x "$MERDIST" ]; then
  "$MERDIST" 12 1 0 2 merdist.txt src.fa qry.fa > merdist.log 2>&1 || fail "zarnmerdist failed: $(cat merdist.log)"
  run_zarn -K merdist.txt -M 100 src.fa qry.fa out.txt
  expect_status 0 "zarnmerdist file"
  expect_body "$FIX/both_strands.out" "zarnmerdist file"
else
  echo "zarnmerdist not built: its check is skipped"
fi

finish
