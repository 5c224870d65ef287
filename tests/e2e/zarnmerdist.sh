# End-to-end tests of zarnmerdist: counting, the distribution file it writes,
# standard output, exit statuses and every error path.
# Arguments: ZARN_BINARY (may be empty) ZARNMERDIST_BINARY FIXTURE_DIR WORK_DIR.
source "$3/common.sh" "$@"
need_binary zarnmerdist "$MERDIST"
FIX=$(cd "$FIX_ROOT/zarnmerdist" && pwd) || exit 1
cp "$FIX"/*.fa .

# run ARGS...: sets rc, leaves run.stdout and run.stderr.
run() {
  "$MERDIST" "$@" > run.stdout 2> run.stderr
  rc=$?
}

# expect_dist FILE HEADER BODY CASE: the header line exactly, the body lines in
# any order. HEADER and BODY are printf formats (\t, \n).
expect_dist() {
  [ -f "$1" ] || { fail "$4: $1 not written"; return; }
  # shellcheck disable=SC2059
  printf "$2\n" > want.head
  # shellcheck disable=SC2059
  printf "$3" | sort > want.body
  head -n 1 "$1" > got.head
  tail -n +2 "$1" | sort > got.body
  cmp -s want.head got.head || fail "$4: header '$(cat got.head)'"
  cmp -s want.body got.body || fail "$4: body differs: $(diff want.body got.body | tr '\n' ' ')"
  [ -z "$(tail -c 1 "$1")" ] || fail "$4: last line lacks its newline"
}

# --- Usage: fewer than six arguments --------------------------------------
printf '\n zarnmerdist merlen thinfactor thinslice minCount outFile file1 [file2 file3 ...]\n' > usage.want
for args in "" "4 1 0 1" "4 1 0 1 out.dist"; do
  # shellcheck disable=SC2086
  run $args
  expect_status 1 "usage [$args]"
  cmp -s usage.want run.stdout || fail "usage [$args]: standard output '$(cat run.stdout)'"
  [ -e out.dist ] && fail "usage [$args]: created out.dist"
done

# --- Counting -------------------------------------------------------------
run 4 1 0 1 out.dist acgtt.fa
expect_status 0 "acgtt"
printf 'Add acgtt.fa\nWriting distribution..WriteDist mName = out.dist\ndone.\n' > stdout.want
cmp -s stdout.want run.stdout || fail "acgtt: standard output '$(cat run.stdout)'"
[ -s run.stderr ] && fail "acgtt: standard error not empty"
expect_dist out.dist 'out.dist\t4\t1\t0\t1' 'ACGT\t1\nAACG\t1\n' "acgtt"

# Each line: case name, arguments, expected header, expected body.
while IFS='|' read -r name args head body; do
  rm -f out.dist
  # shellcheck disable=SC2086
  run $args
  expect_status 0 "$name"
  expect_dist out.dist "$head" "$body" "$name"
done <<'CASES'
reverse complement doubles|4 1 0 1 out.dist both.fa|out.dist\t4\t1\t0\t1|ACGT\t2\nAACG\t2\n
non-base windows and short record|4 1 0 1 out.dist nonbase.fa|out.dist\t4\t1\t0\t1|ACGT\t1\nAACG\t1\n
record shorter than k|9 1 0 1 out.dist both.fa|out.dist\t9\t1\t0\t1|
thinning 1 1 counts nothing|4 1 1 1 out.dist both.fa mixed.fa|out.dist\t4\t1\t1\t1|
thinning 2 0 keeps even values|4 2 0 1 out.dist mixed.fa|out.dist\t4\t2\t0\t1|AACG\t1\nGTAA\t1\nGTTA\t1\nCGTA\t1\n
minCount 2|4 1 0 2 out.dist mixed.fa|out.dist\t4\t1\t0\t2|ACGT\t2\n
several files in order|4 1 0 1 out.dist acgtt.fa both.fa mixed.fa acgtt.fa|out.dist\t4\t1\t0\t1|ACGT\t6\nAACG\t5\nGTTA\t1\nGTAA\t1\nCGTA\t1\n
k 1|1 1 0 1 out.dist mixed.fa|out.dist\t1\t1\t0\t1|A\t5\nC\t4\n
empty input file|4 1 0 1 out.dist empty.fa acgtt.fa|out.dist\t4\t1\t0\t1|ACGT\t1\nAACG\t1\n
thinfactor beyond int held at INT_MAX|4 4294967297 0 1 out.dist acgtt.fa|out.dist\t4\t2147483647\t0\t1|
thinslice beyond int held at INT_MAX|4 1 99999999999 1 out.dist acgtt.fa|out.dist\t4\t1\t2147483647\t1|
minCount beyond int held at INT_MIN|4 1 0 -4294967295 out.dist acgtt.fa|out.dist\t4\t1\t0\t-2147483648|ACGT\t1\nAACG\t1\n
CASES

# Several files: one "Add" line per file, in command-line order.
run 4 1 0 1 out.dist acgtt.fa both.fa
printf 'Add acgtt.fa\nAdd both.fa\nWriting distribution..WriteDist mName = out.dist\ndone.\n' > stdout.want
cmp -s stdout.want run.stdout || fail "two files: standard output '$(cat run.stdout)'"

# A larger input against an independent count (k 7, thinning 3 1, minCount 2):
# mixed case, N and other letters, records wrapped over several lines.
awk 'BEGIN { srand(5); n = split("A C G T a c g t N R", L, " ")
  for (r = 0; r < 40; r++) { print ">rec" r " description " r
    for (l = 0; l < 12; l++) { s = ""; for (i = 0; i < 60; i++) { x = rand()
      s = s L[x < 0.015 ? 9 : x < 0.02 ? 10 : int(rand() * 8) + 1] }; print s } } }' > random.fa
awk -v k=7 -v f=3 -v t=1 -v m=2 '
  function flush() { if (seq == "") return; seq = toupper(seq)
    for (i = 1; i + k - 1 <= length(seq); i++) { w = substr(seq, i, k)
      if (w !~ /^[ACGT]+$/) continue
      rc = ""; for (j = k; j >= 1; j--) rc = rc comp[substr(w, j, 1)]
      c = (rc < w) ? rc : w; v = 0
      for (j = 1; j <= k; j++) v = v * 4 + code[substr(c, j, 1)]
      if (v % f == t) n[c]++ }
    seq = "" }
  BEGIN { comp["A"] = "T"; comp["C"] = "G"; comp["G"] = "C"; comp["T"] = "A"
    code["A"] = 0; code["C"] = 1; code["G"] = 2; code["T"] = 3 }
  /^>/ { flush(); next } { seq = seq $0 }
  END { flush(); for (c in n) if (n[c] >= m) printf "%s\t%d\n", c, n[c] }' random.fa > random.body
[ "$(wc -l < random.body)" -gt 100 ] || fail "reference count: too few k-mers"
run 7 3 1 2 random.dist random.fa
expect_status 0 "random"
expect_dist random.dist 'random.dist\t7\t3\t1\t2' "$(cat random.body)\n" "random"

# gzip input counts as the plain one does.
gzip -c random.fa > random.fa.gz
run 7 3 1 2 random.dist random.fa.gz
expect_status 0 "gzip input"
expect_dist random.dist 'random.dist\t7\t3\t1\t2' "$(cat random.body)\n" "gzip input"
grep -qx 'Add random.fa.gz' run.stdout || fail "gzip input: no 'Add random.fa.gz' line"

# The file it writes is one that zarn -K reads.
if [ -n "$ZARN" ] && [ -x "$ZARN" ]; then
  "$ZARN" -K random.dist random.fa random.fa chains.txt > zarn.stdout 2> zarn.stderr
  zrc=$?
  [ "$zrc" -eq 0 ] || fail "zarn -K: exit status $zrc ($(cat zarn.stderr))"
  grep -q "^MerSize: 7	ThinFactor: 3	ThinSlice: 1" zarn.stdout ||
    fail "zarn -K: no MerSize line: $(cat zarn.stdout)"
fi

# zarn -K writes a progress line every 100,000 body lines while it reads: a
# malformed last line of a long file comes after the lines before it. Some
# 150,000 random bases give as many 12-mers, each listed once.
if [ -n "$ZARN" ] && [ -x "$ZARN" ]; then
  awk 'BEGIN { srand(7); print ">long"
    for (l = 0; l < 2500; l++) { s = ""
      for (i = 0; i < 60; i++) s = s substr("ACGT", int(rand() * 4) + 1, 1); print s } }' > long.fa
  run 12 1 0 1 long.dist long.fa
  expect_status 0 "long distribution"
  lines=$(wc -l < long.dist)
  [ "$lines" -gt 100001 ] || fail "long distribution: only $lines lines"
  printf 'ACGT\t5\n' >> long.dist
  "$ZARN" -K long.dist acgtt.fa acgtt.fa chains.txt > zarn.stdout 2> zarn.stderr
  zrc=$?
  [ "$zrc" -eq 2 ] || fail "zarn -K long.dist: exit status $zrc ($(cat zarn.stderr))"
  printf 'Mers seen:100000\t size=100000\n' > stderr.want
  grep -q "long.dist: line $((lines + 1)): malformed line" zarn.stderr ||
    fail "zarn -K long.dist: no malformed line message: $(cat zarn.stderr)"
  head -n 1 zarn.stderr | cmp -s stderr.want - ||
    fail "zarn -K long.dist: no progress line before the error: $(cat zarn.stderr)"
  [ "$(wc -l < zarn.stderr)" -eq 2 ] || fail "zarn -K long.dist: standard error $(cat zarn.stderr)"
fi

# --- Unusable numeric arguments: exit status 1, no file -------------------
while read -r word args; do
  rm -f out.dist
  # shellcheck disable=SC2086
  run $args
  expect_status 1 "[$args]"
  expect_stderr "$word" "[$args]"
  [ -e out.dist ] && fail "[$args]: created out.dist"
done <<'CASES'
merlen      0 1 0 1 out.dist acgtt.fa
merlen      33 1 0 1 out.dist acgtt.fa
merlen      x 1 0 1 out.dist acgtt.fa
merlen      -4 1 0 1 out.dist acgtt.fa
thinfactor  4 0 0 1 out.dist acgtt.fa
thinfactor  4 -3 0 1 out.dist acgtt.fa
merlen      4294967300 1 0 1 out.dist acgtt.fa
thinfactor  4 -4294967297 0 1 out.dist acgtt.fa
CASES

# --- Unreadable input: exit status 2, the output file left as it was -------
size=$(stat -c %s random.fa.gz)
head -c $((size / 2)) random.fa.gz > cut.fa.gz
cp random.fa.gz bad.fa.gz
printf 'XXXXXXXXXXXXXXXXXXXXXXXXXXXXXXXX' | dd of=bad.fa.gz bs=1 seek=200 conv=notrunc status=none
mkdir -p adir
printf '>n1\nACGTACGT\nAC\000GTACGT\n' > nul.fa  # damaged text: a NUL byte in a line
for input in nosuch.fa cut.fa.gz bad.fa.gz adir nul.fa; do
  for args in "$input" "acgtt.fa $input"; do
    printf 'keep\n' > out.dist
    # shellcheck disable=SC2086
    run 4 1 0 1 out.dist $args
    expect_status 2 "input [$args]"
    expect_stderr "$input" "input [$args]"
    [ "$(cat out.dist)" = keep ] || fail "input [$args]: output file changed"
    grep -q 'done\.' run.stdout && fail "input [$args]: reported done"
  done
done
rm -f out.dist
run 4 1 0 1 out.dist nosuch.fa
[ -e out.dist ] && fail "missing input: created out.dist"

# --- Output file that is also an input: refused, the input left whole -----
cp acgtt.fa same.fa
ln -sf same.fa same-link.fa
for args in "same.fa same.fa" "same-link.fa acgtt.fa same.fa"; do
  # shellcheck disable=SC2086
  run 4 1 0 1 $args
  expect_status 2 "output is an input [$args]"
  expect_stderr "the output file is also an input file" "output is an input [$args]"
  cmp -s acgtt.fa same.fa || fail "output is an input [$args]: same.fa changed"
done

# --- Output file that cannot be created: refused before any input is read --
# Each input would end the run otherwise: a FIFO that no one writes (opening
# it waits; timeout ends the wait), a missing file (another message), a good
# file (counted, an "Add" line). The message is the open's own; no file or
# directory appears.
mkfifo unwritten.fifo
while IFS='|' read -r out why; do
  for input in unwritten.fifo nosuch.fa acgtt.fa; do
    timeout 10 "$MERDIST" 4 1 0 1 "$out" "$input" > run.stdout 2> run.stderr
    rc=$?
    expect_status 2 "uncreatable $out [$input]"
    printf 'zarnmerdist: %s: cannot create: %s\n' "$out" "$why" > stderr.want
    cmp -s stderr.want run.stderr || fail "uncreatable $out [$input]: standard error '$(cat run.stderr)'"
    [ -s run.stdout ] && fail "uncreatable $out [$input]: standard output '$(cat run.stdout)'"
  done
done <<'CASES'
nodir/out.dist|No such file or directory
nodir/deeper/out.dist|No such file or directory
acgtt.fa/out.dist|Not a directory
adir|Is a directory
CASES
[ -e nodir ] && fail "uncreatable output: nodir created"
[ -n "$(ls -A adir)" ] && fail "uncreatable output: adir changed"
cmp -s "$FIX/acgtt.fa" acgtt.fa || fail "uncreatable output: acgtt.fa changed"
# Without write permission on the directory (root writes anyway).
if [ "$(id -u)" -ne 0 ]; then
  mkdir -p rodir && chmod 555 rodir
  timeout 10 "$MERDIST" 4 1 0 1 rodir/out.dist unwritten.fifo > run.stdout 2> run.stderr
  rc=$?
  expect_status 2 "read-only directory"
  expect_stderr "rodir/out.dist: cannot create: Permission denied" "read-only directory"
  [ -e rodir/out.dist ] && fail "read-only directory: created rodir/out.dist"
  chmod 755 rodir
else
  echo "read-only directory case skipped: running as root, who writes through any mode"
fi

# A write that fails (a link to /dev/full): status 2, and only a regular file
# is removed, never the link or the device it names.
if [ -c /dev/full ]; then
  ln -sf /dev/full full.dist
  run 4 1 0 1 full.dist acgtt.fa
  expect_status 2 "write error"
  expect_stderr "full.dist" "write error"
  grep -q 'done\.' run.stdout && fail "write error: reported done"
  [ -L full.dist ] || fail "write error: removed the link full.dist"
  [ -c /dev/full ] || fail "write error: /dev/full is gone"
fi

finish
