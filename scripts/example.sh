#!/usr/bin/env bash
# Installs what is missing, builds both programs in build/, and compares the
# human and orangutan mitochondrial genomes in examples/: zarnmerdist counts
# the human genome's 15-mers (those seen at least twice), zarn -K uses them
# as its repeat model and writes the chain file build/example/mt_chains.txt.
set -euo pipefail
cd "$(dirname "$0")/.."
bash scripts/setup.sh
cmake -S . -B build -G Ninja
cmake --build build --target zarn zarnmerdist
mkdir -p build/example
cd build/example
../zarnmerdist 15 1 0 2 mt_human.dist ../../examples/mt_human.fa
../zarn -K mt_human.dist -M 100 ../../examples/mt_human.fa ../../examples/mt_orang.fa mt_chains.txt
echo
echo "First lines of build/example/mt_chains.txt:"
head -n 12 mt_chains.txt
