#!/usr/bin/env bash
# Remakes the golden decodes of tests/data from the programs of a build tree: the simulated
# inputs (fixed seeds), the hand-made quirk inputs and every expected NAME.json. After a decoder change, `git diff tests/data` is then the review of
# what it changed; with an unchanged decoder the script changes nothing.
set -euo pipefail

usage() {
    cat <<'EOF'
Usage: scripts/regen-golden.sh [BUILD_DIR]

Rewrites tests/data from BUILD_DIR's tarnwick and tarnwick-sim (default: build/dev of the
source tree; build them first).
EOF
}

if [[ $# -gt 1 || ${1:-} == -h || ${1:-} == --help ]]; then
    usage
    exit $(($# > 1 ? 2 : 0))
fi

root=$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)
build=${1:-$root/build/dev}
tarnwick=$build/tools/tarnwick/tarnwick
sim=$build/tools/tarnwick-sim/tarnwick-sim
data=$root/tests/data

for program in "$tarnwick" "$sim"; do
    if [[ ! -x $program ]]; then
        echo "regen-golden: $program is not built" >&2
        exit 1
    fi
done

# The tests read the expected files byte for byte: a program that fails must not leave a half
# written one behind, so each file is written beside its place and moved there when complete.
scratch=$(mktemp -d)
trap 'rm -rf "$scratch"' EXIT

# --- Inputs -------------------------------------------------------------------------------
# The simulator writes the same bytes for the same options: its drive starts at a fixed time.
"$sim" file "$data/sim-drive-seed7.nmea" --seed 7 --duration 6 --outage-start 2 \
    --outage-length 2
"$sim" file "$data/sim-few-satellites-seed3.nmea" --seed 3 --duration 3 --max-in-view 5 \
    --outage-length 0
"$sim" file "$data/sim-gnss-seed11.nmea" --gnss --seed 11 --duration 3 --outage-start 2 \
    --outage-length 1
python3 "$data/make-quirks.py" "$data"

# --- Expected decodes ---------------------------------------------------------------------
# cases.txt: NAME and the options of its decode; blank lines and '#' comments skipped.
while read -r name options; do
    [[ -z $name || $name == \#* ]] && continue
    # shellcheck disable=SC2086 # the options are single words, split on purpose
    "$tarnwick" decode --format json $options "$data/$name.nmea" >"$scratch/$name.json"
    mv "$scratch/$name.json" "$data/$name.json"
done <"$data/cases.txt"
