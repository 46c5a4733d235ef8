#!/usr/bin/env bash
# Runs the program against the fake simulator and the fake RealTraffic:
#
#   scripts/demo.sh [--seconds N] [--leave S] [--fresh]
#
#   N, S         whole seconds, at most 86400 (defaults: the traffic's length
#                + 90 s, and the traffic's length + 30 s)
#   DEMO_MINUTES how long new flights keep coming: 1 to 60 minutes (default 2)
#   DEMO_BUILD   a configured build folder to use instead of build/release
#   RUNWAYS_CSV  the world's runways (Zurich's among them), when not in
#                ../shared/testdata/world
#
# Checks its options and the world's runways (in ../shared, the shared folder
# beside the project) first, then installs what is missing, builds in
# Release and prepares the demo folder build/demo (the program folder's
# layout, its settings in build/demo/appdata, a registry stand-in with
# Prepar3D v5 installed at C:\Prepar3D v5, which SKYHAVEN_DRIVES maps to
# build/demo/drives/c, RealTraffic marked as installed), and a local download site
# with the sample data sets of scripts/demo_data and the stand file that the
# program asks for of Zurich's neighbour. Then it starts skyhaven-fake-sim
# (the user aircraft on a stand at Zurich, LSZH; one livery title refused)
# and skyhaven-fake-rt, which replays in real time a few minutes of traffic
# around LSZH made by scripts/demo_traffic.py from the world's runways
# (arrivals and departures on its runways, overflights, a few aircraft
# taxiing) and keeps its link open to the end, and the program: with its
# window when DISPLAY is set, without one otherwise. LSZH is a park airport:
# its stand file holds the stands of scripts/demo_data/LSZH.xml and a free
# stand where each aircraft on the ground stops, and its learned file fills
# half its stands with static aircraft: the file the last demo run saved, or
# scripts/demo_data/LSZH_learned.xml on the first run and with --fresh. The
# program creates the live aircraft in the fake simulator with the liveries
# of the demo's cache, moves them, parks the arrivals at their stands and
# removes what leaves; after 45 s the simulator answers a request with an
# exception. After S seconds the user aircraft takes off and leaves (which
# takes up to 25 s): the static aircraft are removed and what the traffic
# taught about the stands is saved. The banner says which of this a run
# will do. After N seconds it closes the program once, the way a user does
# (the close request of the window's close button, here Ctrl-C), waits up to
# 30 s for it to end (then kills it and says so), ends the fakes and prints
# what this run did: the run, the park airport, what became of the traffic,
# what the stands learned (when it was saved with how many updates, and the
# options of the saved learned file that are new or changed, or why nothing
# was saved), and the simulator's object count over time.
# Ctrl-C does the same at once, with the report of the run so far; nothing
# it started is left running.
set -euo pipefail
cd "$(dirname "$0")/.."

max_seconds=86400  # a day; the shell's numbers end far above, the demo's sense here
close_wait=30      # how long the program has to end after its close
leave_needs=25     # take-off to Zurich out of sight (checked every 16 s), static aircraft gone, learned file saved

seconds=
leave=
fresh=0
# A whole number of seconds after the option, or the usage error.
seconds_of() {
  if [[ ${2:-} =~ ^[0-9]{1,9}$ ]] && [ $((10#$2)) -le $max_seconds ]; then
    echo $((10#$2))
  else
    echo "$1 needs a whole number of seconds from 0 to $max_seconds, not '${2:-}' (see --help)" >&2
    exit 2
  fi
}
while [ $# -gt 0 ]; do
  case "$1" in
    --seconds) seconds=$(seconds_of "$1" "${2:-}") || exit 2; shift 2 ;;
    --leave) leave=$(seconds_of "$1" "${2:-}") || exit 2; shift 2 ;;
    --fresh) fresh=1; shift ;;
    -h|--help) awk 'NR > 1 && /^#/ { sub(/^# ?/, ""); print; next } NR > 1 { exit }' "$0"; exit 0 ;;
    *) echo "unknown option $1 (see --help)" >&2; exit 2 ;;
  esac
done
minutes=${DEMO_MINUTES:-2}
if ! [[ $minutes =~ ^[0-9]{1,2}$ ]] || [ $((10#$minutes)) -lt 1 ] || [ $((10#$minutes)) -gt 60 ]; then
  echo "DEMO_MINUTES needs a whole number of minutes from 1 to 60, not '$minutes'" >&2
  exit 2
fi
minutes=$((10#$minutes))

root=$PWD
# The world's runways, from the shared folder beside the project: checked
# before the build, which takes minutes.
runways=${RUNWAYS_CSV:-}
if [ -n "$runways" ]; then
  [ -f "$runways" ] || { echo "RUNWAYS_CSV names no file: '$runways'" >&2; exit 1; }
else
  for candidate in "$root/../shared/testdata/world/runways.csv" "$root/../../shared/testdata/world/runways.csv"; do
    [ -z "$runways" ] && [ -f "$candidate" ] && runways=$candidate
  done
  if [ -z "$runways" ]; then
    echo "The world's runways are missing: the demo reads ../shared/testdata/world/runways.csv, in the shared" >&2
    echo "folder that sits beside the project folder. Put it there, or set RUNWAYS_CSV to a runways.csv." >&2
    exit 1
  fi
fi
# A file without Zurich's runways would pass until the traffic is made, after
# the build and after the last run's files are gone: it is read as the
# traffic script reads it, here (setup installs python3 when it is missing).
command -v python3 >/dev/null || scripts/setup.sh
python3 scripts/demo_traffic.py --check --runways "$runways" --airport LSZH || exit 1

scripts/setup.sh
jobs=$(nproc 2>/dev/null || echo 2)
# DEMO_BUILD names a build folder that is already configured (CI's test
# build); otherwise a Release build of its own.
build=${DEMO_BUILD:-build/release}
if [ -z "${DEMO_BUILD:-}" ]; then
  if [ -f "$build/build.ninja" ]; then
    echo "Building the program and the fakes in $build ..."
  else
    echo "Building the program and the fakes in Release in $build: the first build takes a few minutes ..."
  fi
  cmake -S . -B "$build" -G Ninja -DCMAKE_BUILD_TYPE=Release -DSKYHAVEN_TESTS=OFF >/dev/null
else
  echo "Building the program and the fakes in $build ..."
fi
cmake --build "$build" -j "$jobs" --target Skyhaven_P3D skyhaven-pack skyhaven-fake-sim skyhaven-fake-rt >/dev/null

case "$build" in
  /*) bin=$build ;;
  *) bin=$root/$build ;;
esac
demo=$root/build/demo
data=$root/scripts/demo_data
# What a run reports comes from this run only: the outputs of the last one
# go (the program keeps its own older logs as Log0.txt and Log00.txt).
rm -rf "$demo/pipes" "$demo/site"
rm -f "$demo/program.txt" "$demo/fake-sim.txt" "$demo/fake-rt.txt" "$demo/window.png" "$demo/learned-at-start.xml"
# The simulator's folder as on a PC, C:\Prepar3D v5: the install path shown
# in the window, whatever machine runs the demo (older runs kept it in the
# demo folder itself).
rm -rf "$demo/Prepar3D v5"
mkdir -p "$demo/docs" "$demo/input" "$demo/output" "$demo/pipes" "$demo/appdata/InsideSystems" \
  "$demo/drives/c/Prepar3D v5/Scenery" "$demo/site/11" "$demo/site/P3D/archive/stock"
touch "$demo/appdata/InsideSystems/RealTraffic.jar"
cp "$data/LiveriesScanned.xml" "$demo/output/"
printf '[HKEY_LOCAL_MACHINE\\SOFTWARE\\Lockheed Martin\\Prepar3D v5]\nSetupPath=%s\n' 'C:\Prepar3D v5' \
  >"$demo/registry.ini"

# Four ports free for TCP and UDP, taken below the range the system hands out
# for its own connections: a port from that range may be taken by one of them
# (the program's downloads, say) before the program listens on it. The
# program's default ports stay free for a real one.
read -r tcp_port traffic_port qnh_port site_port < <(python3 - <<'PY'
import random, socket
try:
    with open("/proc/sys/net/ipv4/ip_local_port_range") as f:
        low = int(f.read().split()[0])
except (OSError, ValueError, IndexError):
    low = 32768
def free(port):
    for kind in (socket.SOCK_STREAM, socket.SOCK_DGRAM):
        with socket.socket(socket.AF_INET, kind) as s:
            try:
                s.bind(("", port))
            except OSError:
                return False
    return True
pool = [p for p in range(max(1024, low - 4096), low) if p not in (10747, 49004, 49005)]
random.shuffle(pool)
ports = []
for port in pool:
    if len(ports) < 4 and free(port):
        ports.append(port)
print(*ports)
PY
)
[ -n "$site_port" ] || { echo "no four free ports below the system's range" >&2; exit 1; }

# The settings a demo starts with: no scans (the liveries come from the
# cache), RealTraffic's port. The rest are the defaults.
mkdir -p "$demo/appdata/Skyhaven_P3D"
cat >"$demo/appdata/Skyhaven_P3D/parameters.xml" <<XML
<?xml version="1.0"?>
<parameters>
  <parameter name="SCAN_LIVERIES" value="false"/>
  <parameter name="SCAN_AIRPORTS" value="false"/>
  <parameter name="PORT_NUMBER" value="$tcp_port"/>
</parameters>
XML

# The download site: versions.json and the three data sets, packed; and the
# stand file of Zurich's neighbour, which the program reads to tell which of
# the two airports the user aircraft stands at.
for name in airports AIG-regcodes dbase; do
  "$bin/tools/skyhaven-pack" "$data/$name.xml" "$demo/site/11/$name.enc" >/dev/null
done
printf '{"airports": {"major": 1, "minor": 0, "patch": 0}, "aig": {"major": 1, "minor": 0, "patch": 0}, "dbase": {"major": 1, "minor": 0, "patch": 0}}\n' \
  >"$demo/site/versions.json"
cp "$data/LSMD.xml" "$demo/site/P3D/archive/stock/"

# Zurich's stands: those of the demo data and a free one where each aircraft
# on the ground stops; and what was learned there: what the last demo run
# saved, or the demo data's learned file for the first run (--fresh).
mkdir -p "$demo/airports/my_thirdparty" "$demo/airports/learned/thirdparty/Demo"
python3 "$root/scripts/demo_traffic.py" --runways "$runways" --airport LSZH --minutes "$minutes" \
  --out "$demo/traffic.txt" --stands-in "$data/LSZH.xml" --stands-out "$demo/airports/my_thirdparty/LSZH.xml" >/dev/null
learned_file="$demo/airports/learned/thirdparty/Demo/LSZH.xml"
if [ "$fresh" = 1 ] || [ ! -f "$learned_file" ]; then
  cp "$data/LSZH_learned.xml" "$learned_file"
  learned_from="the demo data's learned file"
else
  learned_from="the learned file the last demo run saved"
fi
cp "$learned_file" "$demo/learned-at-start.xml"
replay_s=$(awk -F, '!/^#/ { if (!first) first = $15; last = $15 } END { printf "%d", last - first + 1 }' "$demo/traffic.txt")
flights=$(sed -n '1s/^# \([0-9]*\) flights.*/\1/p' "$demo/traffic.txt")
[ -n "$seconds" ] || seconds=$((replay_s + 90))
[ -n "$leave" ] || leave=$((replay_s + 30))
refused_title="Boeing 737-800 Ryanair"  # the simulator refuses to create it
fault_at=45  # the simulator answers a request with an exception the program must survive
shot_after=$((seconds > 150 ? 120 : seconds > 30 ? 20 : seconds * 2 / 3))

# What this run will do.
echo "This run, $seconds s:"
if [ -n "${DISPLAY:-}" ]; then
  echo "  Skyhaven_P3D with its window on $DISPLAY; a picture of it after $shot_after s: build/demo/window.png"
else
  echo "  Skyhaven_P3D without a window (no DISPLAY, so no picture: run the demo under xvfb-run for one)"
fi
if [ "$seconds" -lt "$replay_s" ]; then
  echo "  RealTraffic replays the first $seconds s of $replay_s s of traffic ($flights flights around Zurich)"
else
  echo "  RealTraffic replays $replay_s s of traffic ($flights flights around Zurich), then keeps its link open"
fi
[ "$fault_at" -lt "$seconds" ] && echo "  after $fault_at s the simulator answers a request with an exception"
if [ "$leave" -ge "$seconds" ]; then
  echo "  the user aircraft stays on its stand at Zurich: the run ends before its leave at $leave s"
elif [ $((seconds - leave)) -lt "$leave_needs" ]; then
  echo "  after $leave s the user aircraft takes off, but the run ends $((seconds - leave)) s later, perhaps before"
  echo "  Zurich goes out of sight (that takes up to $leave_needs s): then the static aircraft stay and what the"
  echo "  stands learned is saved at the close"
else
  echo "  after $leave s the user aircraft takes off and leaves Zurich: the static aircraft are removed and"
  echo "  what the stands learned is saved"
fi
echo "  at the end the program is closed as a user does; Ctrl-C does that at any time"

pids=()
program=
sim=
sim_input=""
# Ends what is still running: the program with one close (a second would
# end it at once, without its close), then the fakes.
cleanup() {
  trap - EXIT
  trap '' INT TERM HUP
  if [ -n "$program" ] && kill -0 "$program" 2>/dev/null; then
    [ "${close_sent:-0}" = 1 ] || kill -INT "$program" 2>/dev/null || true
    for _ in $(seq $((close_wait * 10))); do kill -0 "$program" 2>/dev/null || break; sleep 0.1 || true; done
    kill -KILL "$program" 2>/dev/null || true
  fi
  # The fake simulator ends on "exit" with its summary; the others on TERM
  # (INT is ignored by what a script starts in the background).
  if [ -n "$sim_input" ]; then
    echo exit >&3 2>/dev/null || true
    exec 3>&- || true
    sim_input=""
  fi
  for pid in "${pids[@]}"; do kill -TERM "$pid" 2>/dev/null || true; done
  for _ in $(seq 100); do
    alive=0
    for pid in "${pids[@]}" $sim; do kill -0 "$pid" 2>/dev/null && alive=1; done
    [ $alive -eq 0 ] && break
    sleep 0.1 || true
  done
  for pid in "${pids[@]}" $sim; do kill -KILL "$pid" 2>/dev/null || true; done
  wait 2>/dev/null || true
}
trap cleanup EXIT
# From here a Ctrl-C (or TERM, or a closed terminal) ends the run early,
# with its report; the processes below run in sessions of their own, so the
# terminal's Ctrl-C reaches only this script, which closes them in order.
interrupted=0
trap 'interrupted=1' INT TERM HUP

python3 -m http.server --bind 127.0.0.1 --directory "$demo/site" "$site_port" >/dev/null 2>&1 &
pids+=($!)
for _ in $(seq 50); do
  python3 -c "import socket; socket.create_connection(('127.0.0.1', $site_port), 0.2)" 2>/dev/null && break
  sleep 0.1 || true
done

export APPDATA="$demo/appdata"
export SKYHAVEN_REGISTRY="$demo/registry.ini"
export SKYHAVEN_DRIVES="$demo/drives"
export SKYHAVEN_PIPE_DIR="$demo/pipes"
export SKYHAVEN_LOCK_DIR="$demo"
export SKYHAVEN_DOWNLOAD_URL="http://127.0.0.1:$site_port/"
export SKYHAVEN_DOCUMENTS="$demo/documents"
export SKYHAVEN_TRAFFIC_PORT=$traffic_port
export SKYHAVEN_QNH_PORT=$qnh_port

# The fake simulator takes its commands on standard input: a pipe kept open here.
rm -f "$demo/fake-sim.in"
mkfifo "$demo/fake-sim.in"
setsid "$bin/tools/skyhaven-fake-sim" --no-ipv4 --pipe <"$demo/fake-sim.in" >"$demo/fake-sim.txt" 2>&1 &
sim=$!
exec 3>"$demo/fake-sim.in"
sim_input="$demo/fake-sim.in"
echo "user 47.4534 8.5617" >&3  # the user aircraft on a stand at Zurich
echo "refuse-title $refused_title" >&3
for _ in $(seq 100); do grep -q '^pipe ' "$demo/fake-sim.txt" 2>/dev/null && break; sleep 0.1 || true; done

# Its link stays open until the end of the run: the program is closed, and
# this one ended, before it would end by itself.
setsid "$bin/tools/skyhaven-fake-rt" --tcp-port "$tcp_port" --traffic-port "$traffic_port" --qnh-port "$qnh_port" \
  --replay "$demo/traffic.txt" --speed 1 --retime --qnh 1018 --duration $((seconds + close_wait + 60)) \
  >"$demo/fake-rt.txt" 2>&1 &
pids+=($!)

if [ -n "${DISPLAY:-}" ]; then
  # A picture of the window once traffic has come in (the README shows it).
  export SKYHAVEN_SCREENSHOT="$demo/window.png"
  export SKYHAVEN_SCREENSHOT_AFTER=$shot_after
fi
touch "$demo/.run-start"
if [ "$interrupted" = 0 ]; then
  echo "Starting Skyhaven_P3D ..."
  (cd "$demo" && exec setsid "$bin/Skyhaven_P3D") >"$demo/program.txt" 2>&1 &
  program=$!
fi
started=$SECONDS

# The simulator counts its objects every 15 s.
for ((s = 0; s < seconds; ++s)); do
  if [ "$interrupted" = 1 ] || ! kill -0 "$program" 2>/dev/null; then break; fi
  # Off the ground, then 8 nm north every 2 s (the program asks for the user's
  # position once a second; more than 10 nm between two answers is a new
  # flight), until beyond AIRP_RANGE (20 nm).
  if [ "$s" -eq "$leave" ]; then
    echo "The user aircraft takes off and leaves Zurich ..."
    echo "user 47.4534 8.5617 4000" >&3
  elif [ "$s" -gt "$leave" ] && [ "$s" -le $((leave + 6)) ] && [ $(((s - leave) % 2)) -eq 0 ]; then
    echo "teleport 8 0" >&3
  fi
  if [ "$s" -eq "$fault_at" ]; then
    echo "The simulator answers the program's last request with an exception ..."
    echo "exception 24 last" >&3
  fi
  sleep 1 || true
  if [ $(((s + 1) % 15)) -eq 0 ]; then echo objects >&3; fi
done

# Its close handler is in place once it catches Ctrl-C (SIGINT, bit 2 of the
# mask); a close before that would end it at once.
handles_close() {
  local mask
  mask=$(awk '/^SigCgt:/ { print $2 }' "/proc/$1/status" 2>/dev/null) || return 1
  [ -n "$mask" ] && [ $((16#${mask: -1} & 2)) -ne 0 ]
}
close_sent=0
program_ok=0
if [ -z "$program" ]; then
  status="not started: interrupted before"
elif kill -0 "$program" 2>/dev/null; then
  for _ in $(seq $((close_wait * 10))); do
    if handles_close "$program" || ! kill -0 "$program" 2>/dev/null; then break; fi
    sleep 0.1 || true
  done
  ran=$((SECONDS - started))
  if [ "$interrupted" = 1 ]; then
    echo "Interrupted after $ran s: closing Skyhaven_P3D as a user does (it has up to $close_wait s) ..."
  else
    echo "Closing Skyhaven_P3D as a user does (it has up to $close_wait s) ..."
  fi
  kill -INT "$program" 2>/dev/null || true
  close_sent=1
  closed_at=$SECONDS
  for _ in $(seq $((close_wait * 10))); do kill -0 "$program" 2>/dev/null || break; sleep 0.1 || true; done
  if kill -0 "$program" 2>/dev/null; then
    kill -KILL "$program" 2>/dev/null || true
    wait "$program" 2>/dev/null || true
    status="killed: it had not ended $close_wait s after its close (closed after $ran s)"
  else
    code=0
    wait "$program" || code=$?
    status="closed after $ran s; ended $((SECONDS - closed_at)) s later with status $code"
    if [ "$code" = 0 ]; then
      status="$status (as it should)"
      program_ok=1
    fi
  fi
else
  code=0
  wait "$program" || code=$?
  status="ended by itself after $((SECONDS - started)) s, before its close, with status $code"
fi

# The report reads only what this run wrote: a Log.txt older than the start
# is the last run's.
log="$demo/Log.txt"
log_note="from $log"
if [ ! -f "$log" ] || [ "$demo/.run-start" -nt "$log" ]; then
  log_note="the program wrote no Log.txt in this run"
  log=/dev/null
fi
show() {  # label, then the first log line holding the text
  local line
  line=$(grep -m1 -F -- "$2" "$log" 2>/dev/null | sed "s/^ *//" || true)
  printf '  %-28s %s\n' "$1" "${line:-(not seen)}"
}
echo
echo "What happened ($log_note):"
show "started:" "(utc) Skyhaven_P3D version"
show "airport list:" "airports read"
show "simulator:" "connected"
show "user aircraft:" "User aircraft title"
show "RealTraffic:" "RealTraffic connected"
show "readers:" "Traffic Reader connected"
show "simulator exception:" "SIMCONNECT_EXCEPTION"
show "traffic lines:" "traffic lines received"
show "park airport:" "The park airport is"
show "static parking:" "positions ("
show "park airport left:" "is out of sight"
show "stop reason:" "Exiting:"
# The close is the only way a demo run should stop: any other reason (a port
# taken, a lost simulator) is a fault, however the program ended after it.
other_stop=$(grep -m1 -E '^Exiting: ' "$log" 2>/dev/null | grep -v -x 'Exiting: USER CLOSED SIM' || true)
if [ "$program_ok" = 1 ] && [ -n "$other_stop" ]; then
  status="${status% (as it should)}, but its run had stopped before its close ('$other_stop')"
  program_ok=0
fi
printf '  %-28s %s\n' "program:" "$status"
if [ "$program_ok" = 0 ] && [ -s "$demo/program.txt" ]; then
  echo "  the end of its output (program.txt):"
  tail -5 "$demo/program.txt" | sed 's/^/    /'
fi
echo "RealTraffic's side:"
grep -E '^<- Qs(999|123)' "$demo/fake-rt.txt" 2>/dev/null | head -2 | sed 's/^/  /' || true
echo "  $(grep -c '^<- Qs121' "$demo/fake-rt.txt" 2>/dev/null || true) user positions received"
cleanup

# The figures the program counted at its close (one line, "traffic: ...").
counts=$(grep -E '^traffic: samples' "$log" 2>/dev/null | tail -1 || true)
figures=$(sed -nE 's/^traffic: samples [0-9]+ taken, [0-9]+ appended; aircraft ([0-9]+) new, ([0-9]+) created, ([0-9]+) adopted, ([0-9]+) active, ([0-9]+) refused, [0-9]+ removals asked, ([0-9]+) removed; static aircraft among them: ([0-9]+) created, ([0-9]+) refused, ([0-9]+) given up, ([0-9]+) removed; .*/\1 \2 \3 \4 \5 \6 \7 \8 \9/p' <<<"$counts")
static_removed=$(sed -nE 's/.*static aircraft among them: [0-9]+ created, [0-9]+ refused, [0-9]+ given up, ([0-9]+) removed;.*/\1/p' <<<"$counts")
dropped=$(sed -n 's/.*; dropped: //p' <<<"$counts")
dropped_count() {  # the count of one reason in the dropped list, or nothing
  grep -oE "(^|, )$1 [0-9]+" <<<"$dropped" | grep -oE '[0-9]+$' || true
}
dropped_by() {  # the count of the given reasons together
  local total=0 reason n
  for reason in "$@"; do
    n=$(dropped_count "$reason")
    total=$((total + ${n:-0}))
  done
  echo "$total"
}
reasons_of() {  # the given reasons with their counts, as in the list
  local out="" reason n
  for reason in "$@"; do
    n=$(dropped_count "$reason")
    [ -n "$n" ] && out="${out:+$out, }$reason $n"
  done
  echo "${out:-none}"
}
# Why a made aircraft was dropped before its creation.
before_creation_reasons=("single sample" "ghost" "live limit" "blocked" "invalid callsign" "no livery")
sent=$(grep -oE '^sent [0-9]+' "$demo/fake-rt.txt" 2>/dev/null | grep -oE '[0-9]+' || true)
row() { printf '  %-58s %s\n' "$1" "$2"; }
echo "What became of the traffic:"
if [ -n "$sent" ]; then
  row "flights in the traffic RealTraffic sent" \
    "$(awk -F, -v n="$sent" '!/^#/ && ++k <= n && !seen[$2]++ { ++flights } END { print flights + 0 }' "$demo/traffic.txt")"
fi
row "traffic lines sent by RealTraffic" "${sent:-(not told: it did not end as asked)}"
received=$(grep -oE '^[0-9]+ traffic lines received, [0-9]+ accepted' "$log" | tail -1 || true)
if [ -n "$received" ]; then
  row "received by the Traffic Reader" "${received%% *}"
  if [ -n "$sent" ] && [ "$sent" -gt "${received%% *}" ]; then
    # UDP: a line sent while nothing listens on the port is gone.
    row "  not received: sent while it did not listen" \
      "$((sent - ${received%% *})) (it listens from 2 s after RealTraffic's link is made to the close)"
  fi
  row "accepted (in range, in the air or at the park airport)" "$(sed -E 's/.* ([0-9]+) accepted$/\1/' <<<"$received")"
else
  row "received and accepted by the Traffic Reader" "(not logged: the program logs them at its close)"
fi
if [ -z "$figures" ]; then
  echo "  (the program's counts are missing: it writes them at its close)"
else
  read -r made created adopted active refused removed s_created s_refused s_given_up <<<"$figures"
  respawns=$(grep -c ' respawns$' "$log" || true)
  live_created=$((created - s_created))
  given_up=$(($(dropped_by "not adopted") - s_given_up))
  before_creation=$(dropped_by "${before_creation_reasons[@]}")
  row "  of them dropped before an aircraft was made, by reason" \
    "$(reasons_of "bad numbers" "unknown type" "category off" "park altitude")"
  row "live aircraft made (a flight is made anew after a drop)" "$made"
  row "  dropped before their creation" \
    "$before_creation: $(reasons_of "${before_creation_reasons[@]}")"
  no_match=$(awk '/^No match found for:$/ { on = 1; next } on && NF == 0 { on = 0 } on { print }' "$log")
  # A title the simulator refused is never matched again, so an aircraft
  # whose match it was is left without a livery. Each refused title with the
  # airline and type (as the no-match lines begin) of the aircraft it was
  # matched for, from the log's match lines ("... RYR B738 =2= <title>").
  refused_for=$(awk 'match($0, / =[0-9a-z]+= /) { key[substr($0, RSTART + RLENGTH)] = substr($0, RSTART - 8, 8) }
    / could not be created by your Sim!$/ {
      t = $0; sub(/^[^ ]* \047/, "", t); sub(/\047 could not be created by your Sim!$/, "", t)
      if (t in key) print key[t] "\t" t
    }' "$log" | sort -u)
  no_livery_refused=0
  if [ -n "$no_match" ]; then
    row "    no livery fits: $(grep -c . <<<"$no_match") aircraft" "$(paste -sd, - <<<"$no_match" | sed 's/,/, /g')"
    while IFS=$'\t' read -r key title; do
      [ -n "$title" ] || continue
      hit=$(awk -v k="$key " '$0 != "" && index($0, k) == 1' <<<"$no_match")
      [ -n "$hit" ] || continue
      no_livery_refused=$((no_livery_refused + $(grep -c . <<<"$hit")))
      row "      because the simulator refused their title" "$(paste -sd, - <<<"$hit" | sed 's/,/, /g') ('$title')"
    done <<<"$refused_for"
  fi
  if [ "$respawns" -gt 0 ]; then
    row "  created in the simulator (and $respawns again after a respawn)" "$((live_created - respawns))"
  else
    row "  created in the simulator" "$live_created"
  fi
  row "  not created by the close (waiting, or out of positions)" "$((made - (live_created - respawns) - before_creation))"
  echo "  of the $live_created creations asked of the simulator:"
  row "  adopted, then active 2 s later" "$adopted, $active"
  refused_note=
  [ "$no_livery_refused" = 0 ] || refused_note="; a refused title is not used again, so $no_livery_refused aircraft had no livery (see above)"
  row "  refused by the simulator ('$refused_title')" "$((refused - s_refused))$refused_note"
  row "  given up: their object was not identified in time" "$given_up"
  row "  not answered by the close" "$((live_created - adopted - (refused - s_refused) - given_up))"
  parked=$({ grep -E ' arrived at stand$' "$log" || true; } | sed -E 's/^[0-9:]* *([^ ]+) *: *([^ ]+) .*/\2 at \1/' |
    paste -sd, - | sed 's/,/, /g')
  row "parked at a free stand after taxiing in" "${parked:-none}"
  row "removed from the simulator (as they left, or to respawn)" "$((removed - static_removed))"
  row "static aircraft at Zurich" \
    "$s_created creations asked ($s_refused refused, $s_given_up given up), $static_removed removed"
  row "creations asked of the simulator, live + static" "$created = $live_created + $s_created"
fi
motion=$(sed -n 's/^summary: motion: //p' "$demo/fake-sim.txt" 2>/dev/null)
row "how the live aircraft moved in the simulator" "${motion:-(not told)}"
# What the stands learned: the options of the saved learned file that the
# file the run started from did not have, with their stands.
options_of() {
  [ -f "$1" ] || return 0
  awk 'match($0, /<parkpos id="[^"]*"/) { stand = substr($0, RSTART + 13, RLENGTH - 14) }
       match($0, /<opt [^>]*>/) { o = substr($0, RSTART, RLENGTH); sub(/ *\/?>$/, "", o); print stand "\t" o }' "$1" | sort
}
line_of() { grep -n -m1 -F -- "$1" "$log" 2>/dev/null | cut -d: -f1 || true; }
# A learned file that did not load is set aside and its backup read in its
# place; the save then keeps that backup as the backup again, so the run's
# new options are those the backup did not have.
learned_at_start="$demo/learned-at-start.xml"
learned_backup="${learned_file%.xml}0.xml"
if [ -n "$(line_of "${learned_backup#"$demo"/} is read in its place")" ] && [ -f "$learned_backup" ]; then
  learned_at_start=$learned_backup
  learned_from="$learned_from, which was damaged: the program set it aside and read its backup LSZH0.xml"
fi
new_options=$(comm -13 <(options_of "$learned_at_start") <(options_of "$learned_file"))
left_at=$(line_of "is out of sight")
saved_at=$(line_of "LSZH.xml' saved with")
exit_at=$(line_of "Exiting:")
echo "What Zurich's stands learned (${learned_file#"$root"/}, read at the start from $learned_from):"
failed_at=$(line_of "LSZH.xml' did not succeed")
if [ -z "$saved_at" ] && [ -n "$failed_at" ]; then
  echo "  not saved: $(sed -n "${failed_at}p" "$log")"
elif [ -z "$saved_at" ]; then
  # The program saves what it learned when Zurich goes out of sight or at
  # its close, and only when it has something to save.
  if [ -z "$(line_of "The park airport is LSZH")" ]; then
    echo "  not saved: the run ended before Zurich became the park airport, so its stands were never loaded"
  elif [ "$program_ok" = 0 ] && [ -z "$exit_at" ]; then
    echo "  not saved: the program ended before its close, where it saves"
  else
    echo "  not saved: nothing to save, as no aircraft was recorded at a stand of Zurich and no setting of its"
    echo "  file changed in this run"
  fi
else
  when="at the end of the run"
  if [ -n "$left_at" ] && [ "$saved_at" -gt "$left_at" ] && { [ -z "$exit_at" ] || [ "$saved_at" -lt "$exit_at" ]; }; then
    when="when the user aircraft left Zurich"
  fi
  saved_line=$(sed -n "${saved_at}p" "$log")
  row "saved $when" "$(sed -E "s/^([0-9:]+) .* saved (with .*[^ ]) *$/\\1, \\2/" <<<"$saved_line")"
  updates=$(sed -E 's/.* saved with ([0-9]+) update.*/\1/' <<<"$saved_line")
  echo "    an update: an aircraft recorded at a stand as it arrived there, was created standing there or left"
  echo "    it, or guessed there (soft) as it left near Zurich; one that finds its option holding that"
  echo "    half-hour already counts too"
  changed=$(grep -c . <<<"$new_options" || true)
  awk -F'\t' 'NF { ++all; if ($2 ~ /soft="true"/) ++soft }
              END { printf "  %-58s %d: %d seen at a stand, %d guessed (soft)\n",
                    "options new or changed against the file read at the start", all, all - soft, soft }' \
    <<<"$new_options"
  awk -F'\t' 'NF { cs = $2; sub(/.* cs="/, "", cs); sub(/".*/, "", cs)
                   printf "    stand %s: %s%s\n", $1, cs, ($2 ~ /soft="true"/ ? " (soft)" : "") }' <<<"$new_options"
  if [ "$updates" -gt "$changed" ]; then
    if [ "$changed" = 0 ]; then
      echo "    none of the $updates updates changed an option of the file: each found its option as the file"
    else
      echo "    the other $((updates - changed)) of the $updates updates changed no option further: each found its option as the file"
    fi
    echo "    already had it (the same aircraft at the same stand in the same half-hour, as on an earlier run)"
    [ "$changed" = 0 ] || echo "    or as an earlier update of this run had left it"
  fi
  echo "  options in the file now: $(options_of "$learned_file" | grep -c . || true)"
fi
echo "Objects in the simulator over time:"
# Counted every 15 s: a shorter run has no count.
{ grep -E '^objects: ' "$demo/fake-sim.txt" 2>/dev/null || echo "none"; } |
  awk '$0 == "none" { print "  (not counted: the run was shorter than 15 s)"; next }
       { n = $2; bar = ""; for (i = 0; i < n; ++i) bar = bar "#"; printf "  %4d s  %3d %s\n", 15 * NR, n, bar }'
echo "Simulator's side:"
grep -E '^summary' "$demo/fake-sim.txt" 2>/dev/null | grep -v "^summary: object \|^summary: motion" | sed 's/^/  /' || true
static_lines() { grep -E "^$1 [0-9]+ '[^']*\*'" "$demo/fake-sim.txt" 2>/dev/null || true; }
echo "  static aircraft (callsigns ending in '*'): $(static_lines 'summary: object' | grep -c . || true) created," \
  "$(static_lines 'summary: object' | grep -c ', removed' || true) of them removed by the end"
echo "Files: $demo/Log.txt, $demo/program.txt, $demo/fake-sim.txt, $demo/fake-rt.txt"
[ -f "$demo/window.png" ] && echo "Picture of the window: $demo/window.png"
[ "$interrupted" = 0 ] || exit 130
[ "$program_ok" = 1 ]
