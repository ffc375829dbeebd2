#!/usr/bin/env bash
# Sets up everything on a fresh machine and runs every test:
#   1. the Debian packages (scripts/install-deps.sh),
#   2. the normal build (warnings are errors) and its whole test suite,
#   3. the same suite built with AddressSanitizer and UBSan,
#   4. the audio library's suite built with ThreadSanitizer (when it has one).
# Usage: scripts/test.sh [--quick]   (--quick: only step 1 and 2)
set -euo pipefail
cd "$(dirname "$0")/.."
root=$(pwd)
quick=0
[ "${1:-}" = "--quick" ] && quick=1

bash scripts/install-deps.sh

jobs=$(nproc)
export SDL_AUDIODRIVER=dummy QT_QPA_PLATFORM=offscreen

echo "== normal build =="
cmake -S . -B build -G Ninja -DAUBADINE_WERROR=ON >/dev/null
cmake --build build -j "$jobs"
ctest --test-dir build --output-on-failure -j "$jobs" --timeout 600

[ $quick -eq 1 ] && exit 0

echo "== AddressSanitizer + UBSan build =="
export ASAN_OPTIONS=detect_leaks=1:abort_on_error=1
export LSAN_OPTIONS=suppressions=$root/tests/lsan.supp:print_suppressions=0
export UBSAN_OPTIONS=print_stacktrace=1:halt_on_error=1
cmake -S . -B build-asan -G Ninja -DAUBADINE_SANITIZE=address,undefined -DAUBADINE_BENCH=OFF >/dev/null
cmake --build build-asan -j "$jobs"
# Every test, the end-to-end ones too (their players' exit codes carry LeakSanitizer's
# findings); tests labelled nosan cannot run under the sanitizers.
ctest --test-dir build-asan --output-on-failure -j "$jobs" --timeout 900 -LE nosan
unset ASAN_OPTIONS LSAN_OPTIONS UBSAN_OPTIONS

if grep -rqs 'LABELS.*tsan' tests --include=CMakeLists.txt; then
  echo "== ThreadSanitizer build (tests labelled tsan) =="
  export TSAN_OPTIONS=halt_on_error=1:second_deadlock_stack=1
  cmake -S . -B build-tsan -G Ninja -DAUBADINE_SANITIZE=thread -DAUBADINE_BENCH=OFF >/dev/null
  cmake --build build-tsan -j "$jobs"
  ctest --test-dir build-tsan --output-on-failure -j "$jobs" --timeout 900 -L tsan
fi
