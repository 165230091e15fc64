#!/usr/bin/env bash
# Builds the libFuzzer harnesses (clang, AddressSanitizer, UBSan, at -O1) in
# build-fuzz and runs each one over a copy of its seed corpus for the given
# number of seconds, or for RUNS inputs; stops at the first finding, whose
# input is kept under build-fuzz/fuzz-findings/.
#   scripts/fuzz.sh [seconds-per-harness]      default 5
#   scripts/fuzz.sh 300 jpeg_reader gif_reader  only the harnesses named
#   RUNS=1000000 scripts/fuzz.sh 0 jpeg_reader  a million inputs, however long
set -euo pipefail
cd "$(dirname "$0")/.."
root="$(pwd)"

seconds="${1:-5}"
shift || true
runs="${RUNS:--1}"
jobs="${QUORVEL_JOBS:-2}"
build=build-fuzz
corpora=tests/fuzz/corpus

scripts/deps.sh clang libclang-rt-14-dev

CC=clang CXX=clang++ cmake -S . -B "$build" -DQUORVEL_FUZZ=ON -DQUORVEL_TESTS=OFF -DQUORVEL_WERROR=ON \
  -DQUORVEL_SANITIZE=ON -DCMAKE_BUILD_TYPE=Debug >/dev/null
cmake --build "$build" -j"$jobs" --target fuzz_harnesses

if (($#)); then
  harnesses=("$@")
else
  harnesses=()
  for dir in "$corpora"/*/; do harnesses+=("$(basename "$dir")"); done
fi

# In memory where it can be: the scratch files of the harnesses that want a
# name are rewritten for every input.
if [[ -w /dev/shm ]]; then work="$(mktemp -d -p /dev/shm)"; else work="$(mktemp -d)"; fi
trap 'rm -rf "$work"' EXIT
findings="$build/fuzz-findings"
mkdir -p "$findings"

for name in "${harnesses[@]}"; do
  binary="$build/tests/fuzz/fuzz_$name"
  [[ -x "$binary" ]] || { echo "no harness fuzz_$name" >&2; exit 1; }
  # The repository's corpus stays as it is: what the run learns goes to a copy.
  corpus="$work/$name"
  cp -r "$corpora/$name" "$corpus"
  if ((runs >= 0)); then echo "=== fuzz_$name: $runs runs"; else echo "=== fuzz_$name: ${seconds}s"; fi
  # Library chatter (libjpeg's warnings) is dropped; a finding's report still
  # reaches stderr through the fuzzer's own descriptor. Scratch files of the
  # harnesses go under the work directory, so a crash leaves none behind.
  if ! TMPDIR="$work" ASAN_OPTIONS=detect_leaks=1 UBSAN_OPTIONS=print_stacktrace=1 \
      LSAN_OPTIONS="suppressions=$root/tests/fuzz/lsan.supp" \
      "$binary" "$corpus" -max_total_time="$seconds" -runs="$runs" -timeout=10 -rss_limit_mb=2048 \
        -close_fd_mask=3 -print_final_stats=1 -artifact_prefix="$findings/$name-" \
        2>"$work/$name.log"; then
    cp "$work/$name.log" "$findings/$name.log"
    tail -n 60 "$work/$name.log" >&2
    echo "fuzz_$name: finding and its log kept in $findings/" >&2
    exit 1
  fi
  grep -E '^(Done|stat::(number_of_executed_units|average_exec_per_sec))' "$work/$name.log" || true
done
echo "fuzzing: no findings"
