#!/usr/bin/env bash
# Builds quorvel and runs every test: the unit and end-to-end tests in a
# normal build and again under AddressSanitizer and UndefinedBehaviorSanitizer,
# the browser test in headless Chromium, and each fuzz harness for a few
# seconds. Stops at the first failure.
set -euo pipefail
cd "$(dirname "$0")/.."

scripts/deps.sh
jobs="$(nproc)"
logs="$(mktemp -d)"
trap 'rm -rf "$logs"' EXIT

# Prints the number of tests ctest ran, from its closing line.
ctest_count() { sed -n 's/.*tests passed, 0 tests failed out of \([0-9]*\).*/\1/p' "$1" | tail -n1; }

cmake -S . -B build -DCMAKE_BUILD_TYPE=RelWithDebInfo -DQUORVEL_WERROR=ON >/dev/null
cmake --build build -j"$jobs"
ctest --test-dir build --output-on-failure -j"$jobs" | tee "$logs/normal"

cmake -S . -B build-asan -DCMAKE_BUILD_TYPE=Debug -DQUORVEL_SANITIZE=ON -DQUORVEL_WERROR=ON >/dev/null
cmake --build build-asan -j"$jobs"
ASAN_OPTIONS=detect_leaks=1 UBSAN_OPTIONS=print_stacktrace=1 \
  ctest --test-dir build-asan --output-on-failure -j"$jobs" | tee "$logs/asan"

# Pictures made on two threads, under ThreadSanitizer: the suites labelled
# "threads" (the end-to-end tests, and the codecs and reduction the workers run).
cmake -S . -B build-tsan -DCMAKE_BUILD_TYPE=Debug -DQUORVEL_TSAN=ON -DQUORVEL_WERROR=ON >/dev/null
cmake --build build-tsan -j"$jobs"
# Its build has no AVX2 clones of the reduction's loops, so the resizer's and
# codec's tests there check the plain ones against the same reference.
QUORVEL_JOBS=2 TSAN_OPTIONS=halt_on_error=1 \
  ctest --test-dir build-tsan --output-on-failure -j"$jobs" -L '^threads$' \
  | tee "$logs/tsan"

# The albums as a visitor sees them, in headless Chromium.
scripts/browser-test.sh build | tee "$logs/browser"

# The Debian package, from a release build without the tests (and so without
# their kill hook): its Depends and files, the sample album made with the
# binary and a theme taken out of it, the album cleaner, and that the
# installed binary has no kill points.
cmake -S . -B build-release -DCMAKE_BUILD_TYPE=Release -DQUORVEL_TESTS=OFF -DQUORVEL_WERROR=ON >/dev/null
cmake --build build-release -j"$jobs"
scripts/package-test.sh build-release

# A short run of every fuzz harness; `scripts/fuzz.sh 300` is the long one.
scripts/fuzz.sh 5 | tee "$logs/fuzz"

normal=$(ctest_count "$logs/normal")
asan=$(ctest_count "$logs/asan")
tsan=$(ctest_count "$logs/tsan")
browser=$(sed -n 's/^# pass \([0-9]*\)$/\1/p' "$logs/browser" | tail -n1)
fuzz=$(grep -c '^=== fuzz_' "$logs/fuzz" || true)
echo
echo "unit and end-to-end: ${normal} + ${asan} under sanitizers + ${tsan} under ThreadSanitizer; browser: ${browser}; fuzz harnesses: ${fuzz}"
echo "$((normal + asan + tsan + ${browser:-0} + fuzz)) passed, 0 failed"
