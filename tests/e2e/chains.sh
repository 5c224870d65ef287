# Chains stay on one source record. records.fa holds recA (1000 bases), recB
# (1000 bases) and a second recA of 1200 bases; each query matches two of
# them in a row along one diagonal: q1 recA then recB (same size), q2 the
# long recA then the short one (same name), q3 the reverse complement of q1.
# Each must give one chain per record, in the order of their first hits.
source "$3/zarn/lib.sh"
cp "$FIX_ROOT/chains/records.fa" "$FIX_ROOT/chains/reads.fa" .

run_zarn -s 16 -F 1 -T 0 -M 100 records.fa reads.fa out.txt
expect_status 0 "records"
expect_same "$FIX_ROOT/chains/split.out" out.txt "records"
[ -s run.stderr ] && fail "records: unexpected standard error: $(cat run.stderr)"

finish
