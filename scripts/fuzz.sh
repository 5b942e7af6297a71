#!/usr/bin/env bash
# SPDX-FileCopyrightText: 2026 The ZELP driver authors
# SPDX-License-Identifier: Apache-2.0
# Runs one libFuzzer target under AddressSanitizer and UBSan.
#   scripts/fuzz.sh job|core|image|settings|vprinter [seconds]
# New findings land in build/fuzz/findings/<target>/; the checked-in corpus
# under fuzz/corpus/<target>/ seeds each run (new inputs go to a scratch copy).
set -euo pipefail
cd "$(dirname "$0")/.."
target=${1:?usage: scripts/fuzz.sh job|core|image|settings|vprinter [seconds]}
seconds=${2:-900}

scripts/install-deps.sh driver clang libclang-rt-14-dev
CC=clang CXX=clang++ cmake -S . -B build/fuzz -DCMAKE_BUILD_TYPE=Debug \
  -DZELP_SANITIZE=ON -DZELP_BUILD_FUZZ=ON -DZELP_BUILD_TESTS=OFF >/dev/null
cmake --build build/fuzz --target "fuzz_${target}" -j"$(nproc)"

work=build/fuzz/corpus/${target}
findings=build/fuzz/findings/${target}
mkdir -p "$work" "$findings"
# The job target's own messages ("PAGE: ...") would drown libFuzzer's: close
# its stderr; findings still land as files, and replay shows their story.
extra=()
[ "$target" = job ] && extra=(-close_fd_mask=2)
build/fuzz/fuzz/fuzz_${target} "$work" "fuzz/corpus/${target}" "${extra[@]}" \
  -max_total_time="$seconds" -rss_limit_mb=4096 -timeout=30 \
  -artifact_prefix="$findings/" -print_final_stats=1
