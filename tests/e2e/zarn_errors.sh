# Files that cannot be opened, created or read: one line on standard error
# naming the file, exit status 2. Inputs are checked before the output file
# is opened, so an existing output file stays untouched.
source "$3/zarn/lib.sh"

gzip -c qry.fa > qry.fa.gz
gzip -c src.fa > src.fa.gz
mkdir adir
printf 'x\t40\t1\t0\t1\nACGTACGTACGT\t5\n' > badhead.txt
printf 'x\t12\t1\t0\t1\nACGTACGTACGT\t5\nACGTACGTACGTA\n' > badline.txt
# Damaged gzip: cut short, and with its compressed bytes overwritten.
size=$(stat -c %s qry.fa.gz)
head -c $((size - 12)) qry.fa.gz > cut.fa.gz
head -c $((size - 12)) src.fa.gz > cutsrc.fa.gz
cp qry.fa.gz bad.fa.gz
printf 'XXXXXXXXXXXXXXXXXXXXXXXX' | dd of=bad.fa.gz bs=1 seek=20 conv=notrunc status=none

# Each line: the file the message names, then the arguments.
while read -r file args; do
  printf 'keep\n' > out.txt
  # shellcheck disable=SC2086
  run_zarn -s 12 -T 0 -M 100 $args
  expect_status 2 "[$args]"
  expect_stderr "$file" "[$args]"
  [ "$(cat out.txt)" = keep ] || fail "[$args]: output file changed"
done <<'CASES'
nosuch.fa     nosuch.fa qry.fa out.txt
nosuch.fa     src.fa nosuch.fa out.txt
adir          adir qry.fa out.txt
adir          src.fa adir out.txt
nosuch.txt    -K nosuch.txt src.fa qry.fa out.txt
badhead.txt   -K badhead.txt src.fa qry.fa out.txt
badline.txt   -K badline.txt src.fa qry.fa out.txt
cutsrc.fa.gz  cutsrc.fa.gz qry.fa out.txt
CASES
# A malformed distribution line is named by its number.
run_zarn -s 12 -T 0 -M 100 -K badline.txt src.fa qry.fa out.txt
expect_stderr "badline.txt: line 3: malformed line" "[-K badline.txt]"

# A missing query is found before the source is indexed.
run_zarn -s 12 -T 0 -M 100 src.fa nosuch.fa out.txt
grep -q '^Adding' run.stdout && fail "missing query: the source was indexed first"

# An output file that cannot be created, found before the source is indexed.
run_zarn -s 12 -T 0 -M 100 src.fa qry.fa nodir/out.txt
expect_status 2 "uncreatable output"
expect_stderr "nodir/out.txt: cannot create: No such file or directory" "uncreatable output"
grep -q '^Adding' run.stdout && fail "uncreatable output: the source was indexed first"

# A failed write is not reported as success.
if [ -w /dev/full ]; then
  run_zarn -s 12 -T 0 -M 100 src.fa qry.fa /dev/full
  expect_status 2 "write to /dev/full"
  expect_stderr "/dev/full: write error" "write to /dev/full"
fi

# An output file that is also an input is refused, not emptied.
for args in "src.fa qry.fa qry.fa" "src.fa qry.fa src.fa" "-K dist.txt src.fa qry.fa ./dist.txt"; do
  cp "$FIX/qry.fa" "$FIX/src.fa" "$FIX/dist.txt" .
  # shellcheck disable=SC2086
  run_zarn -s 12 -T 0 $args
  expect_status 2 "[$args]"
  expect_stderr "the output file is also an input file" "[$args]"
  for f in qry.fa src.fa dist.txt; do
    cmp -s "$f" "$FIX/$f" || fail "[$args]: $f changed"
  done
done

# Query failures while comparing: the chain lines already written stay.
# qnul0.fa: a NUL as the first byte of a line, which would otherwise drop the
# line's bases without a word.
printf '>q0\nACGTACGTACGTACGTACGTACGTACGTACGTACGTACGT\n\000ACGTACGTACGT\n' > qnul0.fa
for q in qnul.fa qnul0.fa cut.fa.gz bad.fa.gz; do
  rm -f out.txt
  run_zarn -s 12 -T 0 -M 100 src.fa "$q" out.txt
  expect_status 2 "query $q"
  expect_stderr "$q" "query $q"
  grep -q "done\." run.stdout && fail "query $q: reported done"
done
rm -f out.txt
run_zarn -s 12 -T 0 -M 100 src.fa qnul.fa out.txt
expect_stderr "NUL" "query qnul.fa"
sed -n 3p "$FIX/both_strands.out" > want.lines
tail -n +3 out.txt > got.lines
expect_same want.lines got.lines "query qnul.fa: lines before the NUL line"

# The record index holds 524,288 source records; one more is refused, and so
# is the last of them when sequence text before the first header takes an index.
awk 'BEGIN { for (i = 0; i < 524288; i++) print ">r" i "\nACGT" }' > many.fa
run_zarn many.fa qry.fa out.txt
expect_status 0 "524288 records"
{ echo ACGT; cat many.fa; } > text_many.fa
{ cat many.fa; echo ">last"; echo ACGT; } > more.fa
while read -r file message; do
  printf 'keep\n' > out.txt
  run_zarn "$file" qry.fa out.txt
  expect_status 2 "$file"
  expect_stderr "$file: $message" "$file"
  [ "$(cat out.txt)" = keep ] || fail "$file: output file changed"
done <<'CASES'
more.fa more than 524288 records: the index cannot number them
text_many.fa more than 524287 records after text before the first header: the index cannot number them
CASES
rm -f many.fa text_many.fa more.fa

finish
