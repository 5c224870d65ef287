#!/usr/bin/env bash
# Installs what is missing, builds everything in build/ and runs all tests.
# Arguments are passed to the CMake configure step (for example -DZARN_WERROR=ON).
set -euo pipefail
cd "$(dirname "$0")/.."
bash scripts/setup.sh
cmake -S . -B build -G Ninja "$@"
cmake --build build
ctest --test-dir build --output-on-failure -j "$(nproc)"
