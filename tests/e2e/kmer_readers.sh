# The source scanner and the distribution file reader on real-world text:
# line layout and CR LF ends change no chain, NUL bytes and malformed
# distribution lines stop zarn with one line naming the file.
source "$3/zarn/lib.sh"

body_of() { tail -n +2 "$1"; }
expect_body() {  # expected chain file, case name
  body_of "$1" > want.body
  body_of out.txt > got.body
  expect_same want.body got.body "$2"
}
expect_one_line() {  # case name
  [ "$(wc -l < run.stderr)" -eq 1 ] || fail "$1: standard error is not one line: $(cat run.stderr)"
}

# The same source records in other line layouts: rewrapped at 10 (shorter
# than k), at 1, CR LF ends, a blank line after each header and blanks
# leading the lines.
rewrap() {  # width
  awk -v w="$1" '/^>/ { if (s != "") for (i = 1; i <= length(s); i += w) print substr(s, i, w);
                        print; s = ""; next }
                 { s = s $0 }
                 END { for (i = 1; i <= length(s); i += w) print substr(s, i, w) }' src.fa
}
rewrap 10 > src10.fa
rewrap 1 > src1.fa
sed 's/$/\r/' src.fa > srccrlf.fa
sed -e '/^>/a\\' -e '/^>/!s/^/ \t/' src.fa > srcblank.fa
sed 's/$/\r/' dist.txt > distcrlf.txt

while read -r name expected args; do
  rm -f out.txt
  # shellcheck disable=SC2086
  run_zarn $args
  expect_status 0 "$name"
  expect_body "$FIX/$expected" "$name"
done <<'CASES'
wrapped-at-10   both_strands.out  -s 12 -T 0 -M 100 src10.fa qry.fa out.txt
wrapped-at-1    both_strands.out  -s 12 -T 0 -M 100 src1.fa qry.fa out.txt
crlf-source     both_strands.out  -s 12 -T 0 -M 100 srccrlf.fa qry.fa out.txt
blank-lines     both_strands.out  -s 12 -T 0 -M 100 srcblank.fa qry.fa out.txt
crlf-dist       kmer_file.out     -K distcrlf.txt -s 40 -F 0 -T 5 -M 100 src.fa qry.fa out.txt
CASES

# An empty record holds no k-mer: a poly-A query finds no chain in it.
printf '>empty record\n' > empty.fa
printf '>polyA\n%s\n' "$(printf 'A%.0s' $(seq 40))" > polya.fa
run_zarn -s 12 -T 0 -M 0 empty.fa polya.fa out.txt
expect_status 0 "empty record"
[ "$(body_of out.txt | wc -l)" -eq 1 ] || fail "empty record: chains found: $(cat out.txt)"

# A NUL byte in the source: exit 2 before any output file is created.
printf '>s1\nACGTACGTACGTAC\nGT\000ACGTACGTAC\n' > nulseq.fa
printf '>s1 \000x\nACGTACGTACGTACGT\n' > nulhead.fa
printf '>s1\nACGTACGTACGTACGT\n>s2\nACGT\000' > nullast.fa
while read -r src line; do
  rm -f out.txt
  run_zarn -s 12 -T 0 "$src" qry.fa out.txt
  expect_status 2 "$src"
  expect_stderr "$src: line $line: a NUL byte" "$src"
  expect_one_line "$src"
  [ -e out.txt ] && fail "$src: output file created"
done <<'CASES'
nulseq.fa  3
nulhead.fa 1
nullast.fa 4
CASES

# Distribution files are read strictly: exit 2 naming the file and the line,
# the output file untouched.
printf 'm\t12\t1\t0\t1\nNNNNNNNNNNNN\t200\n' > dist-n.txt
printf 'm\t12\t1\t0\t1\nACGTACGTACGT\t5\nA\t200\n' > dist-short.txt
printf 'm\t12\t1\t0\t1\nxyz!@#xyz!@#\t200\n' > dist-junk.txt
printf 'm\t12\t1\t0\t1\nACGTACGTACGT\tabc\n' > dist-count.txt
printf 'm\t12.7\t1.5\t0\t1\nACGTACGTACGT\t5\n' > dist-head.txt
printf 'm\t12\t1\t0\t1\nACGTACGTACGT\t5\nACGTAC\000TACGT\t5\n' > dist-nul.txt
while read -r dist want; do
  printf 'keep\n' > out.txt
  run_zarn -K "$dist" -M 100 src.fa qry.fa out.txt
  expect_status 2 "$dist"
  expect_stderr "$dist: line $want" "$dist"
  expect_one_line "$dist"
  [ "$(cat out.txt)" = keep ] || fail "$dist: output file changed"
done <<'CASES'
dist-n.txt     2: malformed line
dist-short.txt 3: malformed line
dist-junk.txt  2: malformed line
dist-count.txt 2: malformed line
dist-head.txt  1: bad header
dist-nul.txt   3: a NUL byte
CASES

# What zarnmerdist writes, zarn reads back, a name with a blank included.
if [ -n "$MERDIST" ] && [ -x "$MERDIST" ]; then
  "$MERDIST" 12 1 0 1 "my counts.dist" src.fa qry.fa > merdist.out 2>&1 ||
    fail "zarnmerdist: $(cat merdist.out)"
  run_zarn -K "my counts.dist" -M 100 src.fa qry.fa out.txt
  expect_status 0 "distribution written by zarnmerdist"
  [ -s run.stderr ] && fail "distribution written by zarnmerdist: $(cat run.stderr)"
fi

finish
