#!/usr/bin/env bash
# The main job: builds the programs, runs the service in a private namespace over the bundled
# sample track and shows the live view until Ctrl-C (or --duration). Leaves nothing behind: the
# view and the simulator are stopped, the service quits through its Quit request, and the
# temporary namespace is removed.
set -euo pipefail

usage() {
    cat <<'EOF'
Usage: scripts/demo.sh [--duration N] [--speed X] [--receiver | --gnss] [--build-only]
       scripts/demo.sh --decode [tarnwick decode options]

Builds the programs (installing what is missing), starts the service tarnwickd in a fresh
private namespace, replays the bundled sample track (data/sample-track.nmea: a drive with a
stretch without fix and a full sky) and shows the live view (tarnwick watch --view) until
Ctrl-C. Everything it started is stopped and its temporary namespace removed at the end.

Options:
  --duration N   stop by itself after N seconds
  --speed X      replay pace (default 2: twice as fast as the drive was recorded)
  --receiver     a simulated receiver on a serial port (COM1: at 4800 baud, through
                 tarnwick-sim serial) instead of the file: the same drive, found the way a
                 real receiver is, live at 1 epoch a second (--speed does not apply)
  --gnss         a simulated multi-system receiver instead (tarnwick-sim serial --gnss on
                 COM1: at 115200 baud: NMEA 4.11, GPS, GLONASS, Galileo and BeiDou), with the
                 service's gnss setting on: the view groups the satellites by system
  --build-only   install and build, then stop
  --decode ...   the offline decoder over the sample instead (tarnwick decode --stats, with
                 the options that follow, e.g. --format json)
  -h, --help     this text

Environment:
  TARNWICK_BUILD_DIR   use the programs of this existing build tree; skip setup and build
  TARNWICK_DEBUG=1     the programs trace what they do to standard error

Examples:
  scripts/demo.sh
  scripts/demo.sh --duration 30 --speed 4
  scripts/demo.sh --receiver
  scripts/demo.sh --gnss
  scripts/demo.sh --decode --format json | head
EOF
}

cd "$(dirname "$0")/.."
source_dir=$PWD

duration=""
speed=2
mode="file"
build_only=false
decode=false
while (($# > 0)); do
    case $1 in
        --duration)
            [[ $# -ge 2 && $2 =~ ^[0-9]+([.][0-9]+)?$ ]] || {
                echo "demo.sh: --duration needs a number of seconds" >&2
                exit 2
            }
            duration=$2
            shift 2
            ;;
        --speed)
            [[ $# -ge 2 && $2 =~ ^[0-9]*[.]?[0-9]+$ ]] || {
                echo "demo.sh: --speed needs a positive number" >&2
                exit 2
            }
            speed=$2
            shift 2
            ;;
        --receiver) mode=receiver; shift ;;
        --gnss) mode=gnss; shift ;;
        --build-only) build_only=true; shift ;;
        --decode) decode=true; shift; break ;;
        -h | --help) usage; exit 0 ;;
        *)
            echo "demo.sh: unknown option $1 (see scripts/demo.sh --help)" >&2
            exit 2
            ;;
    esac
done

if [[ -n ${TARNWICK_BUILD_DIR:-} ]]; then
    build_dir=$TARNWICK_BUILD_DIR
else
    build_dir=$source_dir/build/release
    scripts/setup.sh
    cmake -S . -B "$build_dir" -G Ninja -DCMAKE_BUILD_TYPE=Release -DTARNWICK_TESTS=OFF >/dev/null
    cmake --build "$build_dir" -j 2 --target tarnwickd tarnwick tarnwick-sim
fi
tarnwickd=$build_dir/server/tarnwickd
tarnwick=$build_dir/tools/tarnwick/tarnwick
sim=$build_dir/tools/tarnwick-sim/tarnwick-sim
sample=$source_dir/data/sample-track.nmea
for program in "$tarnwickd" "$tarnwick" "$sim"; do
    [[ -x $program ]] || {
        echo "demo.sh: $program is missing (build it, or unset TARNWICK_BUILD_DIR)" >&2
        exit 2
    }
done
$build_only && exit 0
if $decode; then
    exec "$tarnwick" decode --stats "$@" "$sample"
fi
(($# == 0)) || { echo "demo.sh: unexpected argument $1" >&2; exit 2; }

home=""
service_pid=""
sim_pid=""
view_pid=""

# True while process $1 runs (an ended child that is not reaped yet does not count).
running() {
    local stat
    read -r stat 2>/dev/null <"/proc/$1/stat" || return 1
    stat=${stat##*) }
    [[ ${stat:0:1} != Z ]]
}

# Waits up to $2 tenths of a second for our child $1 to end, then kills it; reaps it either way.
stop_child() {
    local pid=$1 tenths=$2
    while ((tenths-- > 0)) && running "$pid"; do
        sleep 0.1
    done
    kill -KILL "$pid" 2>/dev/null || true
    wait "$pid" 2>/dev/null || true
}

cleanup() {
    local status=$?
    trap - EXIT INT TERM HUP
    if [[ -n $view_pid ]]; then
        kill -TERM "$view_pid" 2>/dev/null || true
        stop_child "$view_pid" 30
    fi
    if [[ -n $service_pid ]]; then
        "$tarnwick" quit --timeout 5 >/dev/null 2>&1 || true
        stop_child "$service_pid" 100
    fi
    if [[ -n $sim_pid ]]; then
        kill -TERM "$sim_pid" 2>/dev/null || true
        stop_child "$sim_pid" 30
    fi
    if [[ -n $home ]]; then
        # Objects outlive their last holder only when a process was killed; the namespace lock
        # and the wake-up word belong to the namespace itself.
        local left objects
        left=$(find "$home/objects/" -mindepth 1 ! -name .namespace.lock ! -name .wake 2>/dev/null | wc -l)
        ((left == 0)) || echo "demo.sh: $left named objects were still held at the end" >&2
        # The named objects live in a directory on a memory file system that the home links to.
        objects=$(readlink "$home/objects" 2>/dev/null || true)
        [[ $objects == */tarnwick-objects-* ]] && rm -rf "$objects"
        rm -rf "$home"
    fi
    exit "$status"
}
trap cleanup EXIT
trap 'exit 130' INT
trap 'exit 143' TERM
trap 'exit 129' HUP

home=$(mktemp -d "${TMPDIR:-/tmp}/tarnwick-demo.XXXXXX")
export TARNWICK_HOME=$home

# Its own session: Ctrl-C reaches the view and this script, and the service ends through its
# Quit request instead.
setsid "$tarnwickd" </dev/null >"$home/tarnwickd.log" 2>&1 &
service_pid=$!
ready=false
for _ in $(seq 100); do
    if "$tarnwick" status --no-start --timeout 2 >/dev/null 2>&1; then
        ready=true
        break
    fi
    running "$service_pid" || break
    sleep 0.1
done
$ready || { echo "demo.sh: the service did not start (log: $(cat "$home/tarnwickd.log"))" >&2; exit 1; }

if [[ $mode == receiver ]]; then
    # The sample was written by tarnwick-sim file with these settings: the same drive.
    setsid "$sim" serial --name COM1: --no-fix-after 150 --no-fix-for 35 \
        </dev/null >"$home/sim.out" 2>"$home/sim.log" &
    sim_pid=$!
    for _ in $(seq 100); do
        [[ -s $home/sim.out ]] && break
        sleep 0.1
    done
    "$tarnwick" connect-port COM1: 4800 >/dev/null
elif [[ $mode == gnss ]]; then
    "$tarnwick" config gnss on >/dev/null
    setsid "$sim" serial --gnss --name COM1: --baud 115200 \
        </dev/null >"$home/sim.out" 2>"$home/sim.log" &
    sim_pid=$!
    for _ in $(seq 100); do
        [[ -s $home/sim.out ]] && break
        sleep 0.1
    done
    "$tarnwick" connect-port COM1: 115200 >/dev/null
else
    "$tarnwick" open-file "$sample" --loop --speed "$speed" >/dev/null
fi

# The view runs beside this script, so that a TERM sent to the script reaches it too; both see
# Ctrl-C, and the view restores the terminal itself. It keeps this script's standard input (a
# background command would get /dev/null), so that it can silence the keys typed meanwhile.
trap '[[ -n $view_pid ]] && kill -TERM "$view_pid" 2>/dev/null; interrupted=true' INT TERM HUP
interrupted=false
"$tarnwick" watch --view ${duration:+--seconds "$duration"} <&0 &
view_pid=$!
view_status=0
while kill -0 "$view_pid" 2>/dev/null; do
    wait "$view_pid" && view_status=0 || view_status=$?
    $interrupted && view_status=0
done
view_pid=""
exit "$view_status"
