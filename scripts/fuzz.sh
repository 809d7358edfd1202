#!/usr/bin/env bash
# Runs every fuzz target of a fuzz build for a while; fails on any finding.
# Usage: scripts/fuzz.sh BUILD_DIR SECONDS
# The grown corpus stays in BUILD_DIR/fuzz-corpus (outside the repository); the seeds in
# fuzz/seeds/<target> are read, never written. An input that runs for more than two minutes is a
# finding (a hang) like a crash.
set -euo pipefail
cd "$(dirname "$0")/.."
build="$1"
seconds="$2"
status=0
for target in $(find "$build/fuzz" -maxdepth 1 -type f -name 'fuzz_*' -perm -u+x | sort); do
  name=$(basename "$target")
  work="$build/fuzz-corpus/$name"
  mkdir -p "$work" "$build/fuzz-artifacts/$name"
  seeds=()
  [ -d "fuzz/seeds/$name" ] && seeds=("fuzz/seeds/$name")
  echo "-- $name"
  if ! "$target" -max_total_time="$seconds" -timeout=120 -print_final_stats=1 \
      -artifact_prefix="$build/fuzz-artifacts/$name/" "$work" "${seeds[@]}" \
      >"$build/fuzz-artifacts/$name.log" 2>&1; then
    echo "FINDING in $name:"; tail -n 60 "$build/fuzz-artifacts/$name.log"; status=1
  else
    grep -E 'stat::number_of_executed_units' "$build/fuzz-artifacts/$name.log" || true
  fi
done
exit $status
