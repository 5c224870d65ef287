#!/usr/bin/env bash
# Builds the libFuzzer harnesses of fuzz/ with clang (ASan and UBSan) in
# build-fuzz/ and runs each for SECONDS seconds (default 30), starting from
# its seed corpus in fuzz/corpus/<name>/. New inputs go to a scratch copy of
# the corpus, so the seeds in the tree stay as they are. A crash, a sanitizer
# report or a broken invariant stops the script with a non-zero status; the
# input that caused it is left in build-fuzz/findings/<name>/.
#   scripts/fuzz.sh [SECONDS] [NAME...]
set -euo pipefail
cd "$(dirname "$0")/.."
seconds=${1:-30}
shift || true
extra=()
[ "${ZARN_WERROR:-OFF}" = ON ] && extra+=(-DZARN_WERROR=ON)
cmake -S . -B build-fuzz -G Ninja -DCMAKE_CXX_COMPILER=clang++ -DCMAKE_BUILD_TYPE=Debug \
  -DZARN_FUZZ=ON -DBUILD_TESTING=OFF "${extra[@]}"
cmake --build build-fuzz -j "${ZARN_JOBS:-4}"
names=("$@")
if [ ${#names[@]} -eq 0 ]; then
  for dir in fuzz/corpus/*/; do names+=("$(basename "$dir")"); done
fi
for name in "${names[@]}"; do
  work=build-fuzz/corpus-run/$name
  findings=build-fuzz/findings/$name
  rm -rf "$work" "$findings"
  mkdir -p "$work" "$findings"
  cp fuzz/corpus/"$name"/* "$work"/
  echo "== fuzz_$name for ${seconds}s"
  ASAN_OPTIONS=detect_leaks=1 UBSAN_OPTIONS=print_stacktrace=1:halt_on_error=1 \
    build-fuzz/fuzz/fuzz_"$name" -max_total_time="$seconds" -max_len=4096 -timeout=10 \
      -rss_limit_mb=2048 -print_final_stats=1 -artifact_prefix="$findings"/ "$work" \
      2> build-fuzz/fuzz_"$name".log ||
    { tail -n 40 build-fuzz/fuzz_"$name".log; echo "fuzz_$name FAILED; input in $findings/"; exit 1; }
  grep -E '^stat::number_of_executed_units' build-fuzz/fuzz_"$name".log || true
done
echo "fuzz: ${#names[@]} passed, 0 failed"
