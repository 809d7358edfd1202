#!/usr/bin/env bash
# Remakes the golden decodes of tests/data from the programs of a build tree: the simulated
# inputs (fixed seeds), the hand-made quirk inputs, every expected NAME.json and the digests of
# the receiver captures. After a decoder change, `git diff tests/data` is then the review of
# what it changed; with an unchanged decoder the script changes nothing.
set -euo pipefail

usage() {
    cat <<'EOF'
Usage: scripts/regen-golden.sh [BUILD_DIR]

Rewrites tests/data from BUILD_DIR's tarnwick and tarnwick-sim (default: build/dev of the
source tree; build them first). The capture digests are remade when ../shared/corpus (beside the
source tree) is there; otherwise tests/data/corpus-digests.txt is left as it is.
EOF
}

if [[ ${1:-} == -h || ${1:-} == --help ]]; then
    usage
    exit 0
fi
if [[ $# -gt 1 ]]; then
    usage >&2
    exit 2
fi

root=$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)
build=${1:-$root/build/dev}
tarnwick=$build/tools/tarnwick/tarnwick
sim=$build/tools/tarnwick-sim/tarnwick-sim
data=$root/tests/data
# Where the tests look for the captures too.
corpus=$root/../shared/corpus

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

# --- Capture digests ----------------------------------------------------------------------
# The same FNV-1a 64 as the test's fnv1a_64 in tests/support/test_support.cpp.
fnv1a_64() {
    python3 -c '
import sys
h = 0xCBF29CE484222325
for byte in sys.stdin.buffer.read():
    h = ((h ^ byte) * 0x100000001B3) & 0xFFFFFFFFFFFFFFFF
print(f"{h:016x}")'
}

if [[ ! -d $corpus ]]; then
    echo "regen-golden: no captures at $corpus; corpus-digests.txt left as it is" >&2
    exit 0
fi
digests=$scratch/corpus-digests.txt
cat >"$digests" <<'EOF'
# Digests of `tarnwick decode --format raw --framing file CAPTURE` over the receiver captures of
# ../shared/corpus: gps is the default mode, gnss adds --gnss. RECORDS counts the output's
# lines; DIGEST is the FNV-1a 64 of its bytes. Remade by scripts/regen-golden.sh.
#
# CAPTURE MODE RECORDS DIGEST
EOF
# The C locale sorts the same everywhere, so the file's order never changes by itself.
while IFS= read -r capture; do
    for mode in gps gnss; do
        options=(--format raw --framing file)
        if [[ $mode == gnss ]]; then
            options+=(--gnss)
        fi
        "$tarnwick" decode "${options[@]}" "$corpus/$capture" >"$scratch/raw"
        records=$(tr -cd '\n' <"$scratch/raw" | wc -c)
        echo "$capture $mode $records $(fnv1a_64 <"$scratch/raw")" >>"$digests"
    done
done < <(cd "$corpus" && find . -maxdepth 1 -type f -name '*.log' -printf '%f\n' | LC_ALL=C sort)
mv "$digests" "$data/corpus-digests.txt"
