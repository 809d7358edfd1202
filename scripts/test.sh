#!/usr/bin/env bash
# Builds and runs every test: the whole suite under AddressSanitizer + UndefinedBehaviorSanitizer
# and again under ThreadSanitizer, the Python package's tests against a release build, a format
# check (C and C++, and Python), a short run of every libFuzzer target, and the unit tests and
# one service session cross-built for aarch64 and 32-bit ARM, run under qemu-user.
# Usage: scripts/test.sh [--no-python] [--no-tsan] [--no-fuzz] [--no-cross] [--fuzz-seconds N]
set -euo pipefail
cd "$(dirname "$0")/.."

run_python=1
run_tsan=1
run_fuzz=1
run_cross=1
fuzz_seconds=12
while (($#)); do
  case "$1" in
    --no-python) run_python=0 ;;
    --no-tsan) run_tsan=0 ;;
    --no-fuzz) run_fuzz=0 ;;
    --no-cross) run_cross=0 ;;
    --fuzz-seconds) fuzz_seconds="$2"; shift ;;
    *) echo "unknown option: $1" >&2; exit 2 ;;
  esac
  shift
done

scripts/setup.sh

jobs=2
# Sanitizer builds compile at -O1 with line tables only: reports keep their file and line, and the
# build takes about a third less time than at -O2 with full debug information.
sanitizer_flags=(-DCMAKE_BUILD_TYPE=RelWithDebInfo "-DCMAKE_CXX_FLAGS_RELWITHDEBINFO=-O1 -g1 -DNDEBUG")
# Tests that wait on the service's fixed time-outs sleep most of the time: run more at once.
test_jobs=6

echo "== format check"
git ls-files '*.cpp' '*.h' '*.c' | xargs clang-format --dry-run -Werror
git ls-files '*.py' | xargs black --check --quiet

echo "== layers"
scripts/check-layers.sh

echo "== ASan + UBSan build and tests"
cmake -S . -B build/asan -G Ninja -DTARNWICK_SANITIZE=address -DTARNWICK_WERROR=ON \
  "${sanitizer_flags[@]}" >/dev/null
cmake --build build/asan -j "$jobs"
ASAN_OPTIONS=detect_leaks=1:abort_on_error=1 UBSAN_OPTIONS=print_stacktrace=1:halt_on_error=1 \
  ctest --test-dir build/asan -j "$test_jobs" --output-on-failure

if ((run_python)); then
  echo "== Python package tests (release build)"
  # Uninstrumented: an ASan-built library would need libasan preloaded into the interpreter.
  # The same tree and targets as scripts/demo.sh, plus the shared library.
  cmake -S . -B build/release -G Ninja -DCMAKE_BUILD_TYPE=Release -DTARNWICK_TESTS=OFF \
    ${CMAKE_CXX_COMPILER_LAUNCHER:+-DCMAKE_CXX_COMPILER_LAUNCHER=$CMAKE_CXX_COMPILER_LAUNCHER} \
    ${CMAKE_C_COMPILER_LAUNCHER:+-DCMAKE_C_COMPILER_LAUNCHER=$CMAKE_C_COMPILER_LAUNCHER} \
    >/dev/null
  cmake --build build/release -j "$jobs" --target tarnwickd tarnwick tarnwick-sim tarnwick_shared
  # Debian's pytest runs on the system interpreter, whatever python3 comes first on PATH.
  TARNWICK_BUILD_DIR=$PWD/build/release TARNWICK_LIBRARY=$PWD/build/release/capi/libtarnwick.so.0 \
    PYTHONDONTWRITEBYTECODE=1 pytest-3 -q -p no:cacheprovider tests/python
fi

if ((run_tsan)); then
  echo "== TSan build and tests"
  cmake -S . -B build/tsan -G Ninja -DTARNWICK_SANITIZE=thread -DTARNWICK_WERROR=ON \
    "${sanitizer_flags[@]}" >/dev/null
  cmake --build build/tsan -j "$jobs"
  TSAN_OPTIONS=halt_on_error=1:second_deadlock_stack=1 \
    ctest --test-dir build/tsan -j "$test_jobs" --output-on-failure -LE no-tsan
fi

if ((run_fuzz)); then
  echo "== libFuzzer targets (${fuzz_seconds} s each)"
  CC=clang CXX=clang++ cmake -S . -B build/fuzz -G Ninja -DTARNWICK_FUZZ=ON -DTARNWICK_TESTS=OFF \
    -DCMAKE_BUILD_TYPE=RelWithDebInfo >/dev/null
  # Only the fuzz targets (and the libraries they use): the tools were checked above.
  fuzz_targets=$(cmake --build build/fuzz --target help | grep -oE '^fuzz_[A-Za-z0-9_]+' | sort -u)
  cmake --build build/fuzz -j "$jobs" --target $fuzz_targets
  scripts/fuzz.sh build/fuzz "$fuzz_seconds"
fi
if ((run_cross)); then
  echo "== ARM: cross-built tests under qemu-user"
  JOBS=$jobs scripts/cross-test.sh aarch64 armhf
fi
echo "== all tests passed"
