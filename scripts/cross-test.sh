#!/usr/bin/env bash
# Cross-builds the unit tests of base, platform, exchange, nmea, nmeaio and fixstore for 64-bit ARM
# (aarch64) and 32-bit ARM (armhf) with Debian's cross compilers, and runs them under
# qemu-user-static: once as they are and, for the waits, once more with TARNWICK_WAIT=futex
# (Debian 12's emulator has no futex_waitv, so there the wake-up word is taken by itself anyway).
# GoogleTest is built from /usr/src/googletest with each cross compiler.
#
# Usage: scripts/cross-test.sh [aarch64] [armhf]      (both when none is named)
# Needs: g++-aarch64-linux-gnu g++-arm-linux-gnueabihf qemu-user-static googletest
#
# Tests that need what qemu-user cannot give are left out and named: the emulator does not
# implement robust futexes (set_robust_list answers ENOSYS), so a mutex whose owner died is
# never handed on as abandoned, nor a guard left by a dead process taken over.
set -euo pipefail
cd "$(dirname "$0")/.."

arches=("$@")
((${#arches[@]})) || arches=(aarch64 armhf)
jobs=${JOBS:-2}

# The longest first (see run_tests).
unit_tests=(
  nmeaio/nmea_io_test
  platform/platform_wait_test platform/platform_thread_test platform/platform_named_objects_test
  platform/platform_mapping_test platform/platform_registry_test platform/platform_port_map_test
  platform/platform_counter_wait_test platform/platform_objects_directory_test
  platform/platform_serial_test platform/platform_object_names_test
  base/trace_test base/utf8_test
  exchange/exchange_stream_test exchange/exchange_channel_test exchange/mapped_stream_test
  nmea/nmea_test
  nmeaio/sentence_assembler_test nmeaio/sentence_dispatch_test
  fixstore/valid_rmc_holder_test
)
# One whole session of real processes: the service, a simulated receiver on a pseudo-terminal,
# connect, watch, record, replay, fix, quit; every program it starts runs under the emulator.
session_test=tools/tarnwick_service_test
session_filter=TarnwickWithService.ANewUsersSessionThroughTheCommandLine
session_programs=(tarnwick tarnwickd tarnwick-sim)
# Run a second time with the wake-up word forced.
wake_word_tests=(platform/platform_wait_test platform/platform_named_objects_test
  platform/platform_counter_wait_test)
# What qemu-user cannot do (see above).
emulator_limits='*Abandoned*:*KilledProcess*:*KilledAtRandom*:*abandoned*:*ADeadProcess*'
# A test that hangs fails instead of stopping the whole run.
test_timeout=600

# Runs one architecture's tests; prints what failed and returns non-zero if any did.
run_tests() {
  local arch=$1 triple=$2 qemu=$3 root=$4 started=$5
  local home
  home=$(mktemp -d)
  mkdir -p "$home/locks"
  run() {
    local test=$1 filter=$2
    shift 2
    local log state
    log=$(mktemp)
    state=$(mktemp -d -p "$home")
    if env QEMU_LD_PREFIX=/usr/$triple TARNWICK_TEST_EMULATOR="$(command -v "$qemu")" \
      TARNWICK_LOCK_DIR="$home/locks" XDG_STATE_HOME="$state" XDG_RUNTIME_DIR="$state" "$@" \
      timeout "$test_timeout" "$qemu" "$root/build/tests/$test" --gtest_brief=1 \
      --gtest_filter="$filter" >"$log" 2>&1; then
      echo "   ok: $test $*"
    else
      cat "$log"
      echo "FAILED: $test $*"
      touch "$home/failed"
    fi
    rm -f "$log"
  }
  # Two at a time: most of them wait on time-outs. The longest go first, so that the short ones
  # fill the other slot around them.
  local jobs=()
  jobs+=("$session_test $session_filter")
  for test in "${unit_tests[@]}"; do
    jobs+=("$test -$emulator_limits")
  done
  for test in "${wake_word_tests[@]}"; do
    jobs+=("$test -$emulator_limits TARNWICK_WAIT=futex")
  done
  local running=0 job words
  for job in "${jobs[@]}"; do
    # A job is a test, its filter and its environment, in words (read does not expand the
    # filter's wildcards).
    read -ra words <<<"$job"
    run "${words[@]}" &
    running=$((running + 1))
    if ((running >= 2)); then
      wait -n || true
      running=$((running - 1))
    fi
  done
  wait
  local status=0
  [[ -e $home/failed ]] && status=1
  rm -rf "$home"
  echo "== $arch: tests under $qemu done, $(($(date +%s) - started)) s after its build began"
  return $status
}

failed=0
testers=()
logs=$(mktemp -d)
for arch in "${arches[@]}"; do
  case "$arch" in
    aarch64) triple=aarch64-linux-gnu processor=aarch64 qemu=qemu-aarch64-static ;;
    armhf) triple=arm-linux-gnueabihf processor=arm qemu=qemu-arm-static ;;
    *) echo "unknown architecture: $arch" >&2; exit 2 ;;
  esac
  started=$(date +%s)
  root=$PWD/build/cross-$arch
  mkdir -p "$root"
  cat >"$root/toolchain.cmake" <<TOOLCHAIN
set(CMAKE_SYSTEM_NAME Linux)
set(CMAKE_SYSTEM_PROCESSOR $processor)
set(CMAKE_CXX_COMPILER $triple-g++)
set(CMAKE_C_COMPILER $triple-gcc)
set(CMAKE_FIND_ROOT_PATH /usr/$triple $root/googletest)
set(CMAKE_FIND_ROOT_PATH_MODE_PROGRAM NEVER)
set(CMAKE_FIND_ROOT_PATH_MODE_LIBRARY ONLY)
set(CMAKE_FIND_ROOT_PATH_MODE_INCLUDE ONLY)
# Header-only packages of the host (CLI11, nlohmann-json) let the tools' folders configure;
# nothing built here uses them.
set(CMAKE_FIND_ROOT_PATH_MODE_PACKAGE BOTH)
set(CMAKE_CROSSCOMPILING_EMULATOR $qemu;-L;/usr/$triple)
TOOLCHAIN

  echo "== $arch: GoogleTest"
  if [[ ! -f $root/googletest/lib/cmake/GTest/GTestConfig.cmake ]]; then
    cmake -S /usr/src/googletest -B "$root/googletest-build" -G Ninja \
      -DCMAKE_TOOLCHAIN_FILE="$root/toolchain.cmake" -DCMAKE_BUILD_TYPE=Release \
      -DCMAKE_INSTALL_PREFIX="$root/googletest" -DCMAKE_INSTALL_LIBDIR=lib >/dev/null
    cmake --build "$root/googletest-build" -j "$jobs" >/dev/null
    cmake --install "$root/googletest-build" >/dev/null
  fi

  echo "== $arch: build"
  # Optimised, but at -O1 and without debug information: the tests check behaviour, not speed,
  # and the build is most of this stage's time.
  cmake -S . -B "$root/build" -G Ninja -DCMAKE_TOOLCHAIN_FILE="$root/toolchain.cmake" \
    -DCMAKE_BUILD_TYPE=RelWithDebInfo -DCMAKE_CXX_FLAGS_RELWITHDEBINFO="-O1 -DNDEBUG" \
    -DTARNWICK_WERROR=ON -DCMAKE_PREFIX_PATH="$root/googletest" \
    ${CMAKE_CXX_COMPILER_LAUNCHER:+-DCMAKE_CXX_COMPILER_LAUNCHER=$CMAKE_CXX_COMPILER_LAUNCHER} \
    >/dev/null
  cmake --build "$root/build" -j "$jobs" --target "${unit_tests[@]##*/}" "${session_test##*/}" \
    "${session_programs[@]}"

  # The tests of one architecture run while the next one builds: they mostly wait on time-outs.
  run_tests "$arch" "$triple" "$qemu" "$root" "$started" >"$logs/$arch.log" 2>&1 &
  testers+=($!)
done

for i in "${!testers[@]}"; do
  wait "${testers[$i]}" || failed=1
  cat "$logs/${arches[$i]}.log"
done
rm -rf "$logs"
((failed == 0)) || { echo "== some tests failed" >&2; exit 1; }
echo "== all cross tests passed"
