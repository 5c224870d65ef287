# Bad command lines: the banner, the echo line, "hi" and the help text on
# standard output, exit status 1, no output file. Unusable -s / -F values:
# a message naming the option, exit status 1, no help text.
source "$3/zarn/lib.sh"

# expect_help LINE: runs zarn on the words of LINE ('' stands for an empty
# word) and checks the help text on standard output and exit status 1.
expect_help() {
  eval "set -- $1"
  rm -f out.txt
  run_zarn "$@"
  { echo ZARN; printf '%s ' zarn "$@"; echo; echo hi; cat "$FIX/help.txt"; } > want.stdout
  expect_status 1 "[$1]"
  expect_same want.stdout run.stdout "[$1]"
}

while read -r line; do
  expect_help "$line"
  [ -e out.txt ] && fail "[$line]: output file created"
done <<'CASES'
-x src.fa qry.fa out.txt
-M500 src.fa qry.fa out.txt
-M -5 src.fa qry.fa out.txt
-s 12 src.fa qry.fa
src.fa qry.fa ''
'' qry.fa out.txt
-h src.fa qry.fa out.txt
- src.fa qry.fa out.txt
-- src.fa qry.fa out.txt
src.fa qry.fa out.txt -M
CASES

# More than three file names: the third is not taken as the output (it stays
# as it was), the fourth is not created.
cp qry.fa q2.fa
while read -r line; do
  expect_help "$line"
  cmp -s qry.fa q2.fa || fail "[$line]: third name modified"
  [ -e out.txt ] && fail "[$line]: fourth name created"
done <<'CASES'
-s 12 -T 0 -M 100 src.fa qry.fa q2.fa out.txt
src.fa qry.fa q2.fa out.txt -s 12 -T 0
src.fa -M 100 qry.fa q2.fa out.txt src.fa
src.fa qry.fa q2.fa ''
CASES

# Values the k-mer code cannot use, without -K; the message names the option
# and the value as it was given (a number beyond the int range, or text that
# is not a number, is named as typed, not as the int it was read as).
while read -r opt value named; do
  rm -f out.txt
  run_zarn -T 0 "$opt" "$value" src.fa qry.fa out.txt
  { echo ZARN; echo "zarn -T 0 $opt $value src.fa qry.fa out.txt "; echo hi; } > want.stdout
  expect_status 1 "$opt $value"
  expect_same want.stdout run.stdout "$opt $value"
  expect_stderr "$named" "$opt $value"
  [ -e out.txt ] && fail "$opt $value: output file created"
done <<'CASES'
-s 0    -s 0
-s 33   -s 33
-s abc  -s abc
-s 2147483648  -s 2147483648
-F 0    -F 0
CASES

# The edges of the accepted range run.
for opt in "-s 1" "-s 32" "-F 1"; do
  # shellcheck disable=SC2086
  run_zarn -T 0 $opt -M 100000 src.fa qry.fa out.txt
  expect_status 0 "$opt"
done

finish
