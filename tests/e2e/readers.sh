# How zarn reads its query and zarnmerdist its counting inputs on real-world
# text: CR LF line ends read as their LF twins, a NUL byte anywhere in a line
# is damaged input (exit 2, one line naming the file, no distribution file),
# and lines before the first header form a record without name.
# Arguments: ZARN_BINARY ZARNMERDIST_BINARY FIXTURE_DIR WORK_DIR.
source "$3/zarn/lib.sh"
need_binary zarnmerdist "$MERDIST"

crlf() { sed 's/$/\r/' "$1"; }

run_merdist() {
  "$MERDIST" "$@" > run.stdout 2> run.stderr
  rc=$?
}

# expect_one_error FILE CASE: exit 2, one line on standard error naming FILE.
expect_one_error() {
  expect_status 2 "$2"
  expect_stderr "$1" "$2"
  [ "$(wc -l < run.stderr)" -eq 1 ] || fail "$2: more than one line on standard error"
}

# --- zarn: the query ------------------------------------------------------
# Each case writes query.fa as the twin and as the variant, and the two runs
# must give byte-identical chain files and standard output.
zarn_same() {  # case name
  run_zarn -s 12 -T 0 -M 100 src.fa query.fa out.txt
  expect_status 0 "$1 (variant)"
  cp out.txt got.out; cp run.stdout got.stdout
  mv twin.fa query.fa
  run_zarn -s 12 -T 0 -M 100 src.fa query.fa out.txt
  expect_status 0 "$1 (twin)"
  expect_same out.txt got.out "$1: chain file"
  expect_same run.stdout got.stdout "$1: standard output"
}

cp qry.fa twin.fa; crlf qry.fa > query.fa
zarn_same "CR LF query"
cp qry.fa twin.fa; { crlf qry.fa; } | head -c -1 > query.fa   # CR as the last byte
zarn_same "CR LF query, CR last"

# No header line: the first lines are a record with an empty name, compared
# like the record of a bare '>' header.
tail -n +2 qry.fa > query.fa; { echo '>'; cat query.fa; } > twin.fa
zarn_same "headerless query"
# Its chains: empty QueryName, QuerySize of all 40 bases of the first two lines.
awk -F '\t' 'NR > 2 && $3 == "" && $4 == 40 { n++ } END { exit n ? 0 : 1 }' got.out ||
  fail "headerless query: no chain line with an empty QueryName and QuerySize 40"

# A NUL byte in the first header line or in a last line without newline.
printf '>q\000x\nACGTACGTACGTACGT\n' > nulhead.fa
{ cat qry.fa; printf 'ACGT\000'; } > nullast.fa
for q in nulhead.fa nullast.fa; do
  run_zarn -s 12 -T 0 -M 100 src.fa "$q" out.txt
  expect_one_error "$q" "query $q"
done

# --- zarnmerdist: the counting inputs ---------------------------------------
crlf src.fa > src_crlf.fa
run_merdist 8 1 0 1 lf.dist src.fa
expect_status 0 "LF input"
run_merdist 8 1 0 1 crlf.dist src_crlf.fa
expect_status 0 "CR LF input"
# The distribution file starts with its own name: compare the bodies and the
# header fields after the name.
cmp -s <(cut -f 2- lf.dist) <(cut -f 2- crlf.dist) || fail "CR LF input: distribution differs"
grep -q . lf.dist || fail "LF input: empty distribution"

# Headerless input: all 17 4-mers of the two lines are counted.
printf 'ACGTACGTAA\nCCGGTTAACC\n' > headerless.fa
run_merdist 4 1 0 1 headerless.dist headerless.fa
expect_status 0 "headerless input"
total=$(tail -n +2 headerless.dist | awk '{ s += $2 } END { print s + 0 }')
[ "$total" -eq 17 ] || fail "headerless input: $total 4-mers counted, expected 17"
[ "$(tail -n +2 headerless.dist | wc -l)" -eq 9 ] || fail "headerless input: not 9 distinct 4-mers"

for f in nulhead.fa nullast.fa; do
  rm -f nul.dist
  run_merdist 4 1 0 1 nul.dist src.fa "$f"
  expect_one_error "$f" "counting input $f"
  [ -e nul.dist ] && fail "counting input $f: distribution file written"
done

finish
