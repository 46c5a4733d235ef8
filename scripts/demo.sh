#!/usr/bin/env bash
# Runs the program against the fake simulator and the fake RealTraffic:
#
#   scripts/demo.sh [--seconds N] [--leave S] [--fresh]
#       (defaults: the traffic's length + 90 s, and the traffic's length + 30 s)
#
# Installs what is missing, builds in Release, prepares the demo folder
# build/demo (the program folder's layout, its settings in build/demo/appdata,
# a registry stand-in with Prepar3D v5, RealTraffic marked as installed), and
# a local download site with the sample data sets of scripts/demo_data. Then
# it starts skyhaven-fake-sim (the user aircraft on a stand at Zurich, LSZH;
# one livery title refused) and skyhaven-fake-rt, which replays in real time
# a few minutes of traffic around LSZH made by scripts/demo_traffic.py from
# the world's runways (arrivals and departures on its runways, overflights, a
# few aircraft taxiing; DEMO_MINUTES, default 2, says how long new flights
# come), and the program: with its window when DISPLAY is set, without one
# otherwise. LSZH is a park airport: its stand file holds the stands of
# scripts/demo_data/LSZH.xml and a free stand where each aircraft on the
# ground stops, and its learned file fills half its stands with static
# aircraft: the file the last demo run saved, or scripts/demo_data/
# LSZH_learned.xml on the first run and with --fresh. The program creates the
# live aircraft in the fake simulator with the liveries of the demo's cache,
# moves them, parks the arrivals at their stands and removes what leaves;
# after 45 s the simulator answers a request with an exception. After S
# seconds the user aircraft takes off and leaves: the static aircraft are
# removed and what the traffic taught about the stands is saved. After N
# seconds it closes the program the way a user does (the close request of the
# window's close button, here Ctrl-C) and prints what happened: the run, the
# park airport, what became of the traffic, what the stands learned (the
# options the saved learned file gained in this run, and when it was saved),
# and the simulator's object count over time. Every process it started is
# ended, also on Ctrl-C.
set -euo pipefail
cd "$(dirname "$0")/.."

seconds=
leave=
fresh=0
# A whole number of seconds after the option, or the usage error.
seconds_of() {
  [[ ${2:-} =~ ^[0-9]+$ ]] || { echo "$1 needs a whole number of seconds (see --help)" >&2; exit 2; }
  echo "$2"
}
while [ $# -gt 0 ]; do
  case "$1" in
    --seconds) seconds=$(seconds_of "$1" "${2:-}") || exit 2; shift 2 ;;
    --leave) leave=$(seconds_of "$1" "${2:-}") || exit 2; shift 2 ;;
    --fresh) fresh=1; shift ;;
    -h|--help) sed -n '2,32p' "$0"; exit 0 ;;
    *) echo "unknown option $1 (see --help)" >&2; exit 2 ;;
  esac
done

scripts/setup.sh
jobs=$(nproc 2>/dev/null || echo 2)
echo "Building ..."
# DEMO_BUILD names a build folder that is already configured (CI's test
# build); otherwise a Release build of its own.
build=${DEMO_BUILD:-build/release}
if [ -z "${DEMO_BUILD:-}" ]; then
  cmake -S . -B "$build" -G Ninja -DCMAKE_BUILD_TYPE=Release -DSKYHAVEN_TESTS=OFF >/dev/null
fi
cmake --build "$build" -j "$jobs" --target Skyhaven_P3D skyhaven-pack skyhaven-fake-sim skyhaven-fake-rt >/dev/null

root=$PWD
case "$build" in
  /*) bin=$build ;;
  *) bin=$root/$build ;;
esac
demo=$root/build/demo
data=$root/scripts/demo_data
rm -rf "$demo/pipes" "$demo/site"
mkdir -p "$demo/docs" "$demo/input" "$demo/output" "$demo/pipes" "$demo/appdata/InsideSystems" \
  "$demo/Prepar3D v5/Scenery" "$demo/site/11"
touch "$demo/appdata/InsideSystems/RealTraffic.jar"
cp "$data/LiveriesScanned.xml" "$demo/output/"
printf '[HKEY_LOCAL_MACHINE\\SOFTWARE\\Lockheed Martin\\Prepar3D v5]\nSetupPath=%s\n' "$demo/Prepar3D v5" \
  >"$demo/registry.ini"

free_port() {
  python3 -c "import socket,sys; s = socket.socket(socket.AF_INET, socket.SOCK_DGRAM if sys.argv[1] == 'udp' else socket.SOCK_STREAM); s.bind(('127.0.0.1', 0)); print(s.getsockname()[1])" "$1"
}
tcp_port=$(free_port tcp)
traffic_port=$(free_port udp)
qnh_port=$(free_port udp)
site_port=$(free_port tcp)

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

# The download site: versions.json and the three data sets, packed.
for name in airports AIG-regcodes dbase; do
  "$bin/tools/skyhaven-pack" "$data/$name.xml" "$demo/site/11/$name.enc" >/dev/null
done
printf '{"airports": {"major": 1, "minor": 0, "patch": 0}, "aig": {"major": 1, "minor": 0, "patch": 0}, "dbase": {"major": 1, "minor": 0, "patch": 0}}\n' \
  >"$demo/site/versions.json"

# The traffic, from the world's runways beside the clone (RUNWAYS_CSV may say where else).
runways=${RUNWAYS_CSV:-}
for candidate in "$root/../shared/testdata/world/runways.csv" "$root/../../shared/testdata/world/runways.csv"; do
  [ -z "$runways" ] && [ -f "$candidate" ] && runways=$candidate
done
[ -n "$runways" ] || { echo "runways.csv not found: set RUNWAYS_CSV" >&2; exit 1; }
# Zurich's stands: those of the demo data and a free one where each aircraft
# on the ground stops; and what was learned there: what the last demo run
# saved, or the demo data's learned file for the first run (--fresh).
mkdir -p "$demo/airports/my_thirdparty" "$demo/airports/learned/thirdparty/Demo"
python3 "$root/scripts/demo_traffic.py" --runways "$runways" --airport LSZH --minutes "${DEMO_MINUTES:-2}" \
  --out "$demo/traffic.txt" --stands-in "$data/LSZH.xml" --stands-out "$demo/airports/my_thirdparty/LSZH.xml"
learned_file="$demo/airports/learned/thirdparty/Demo/LSZH.xml"
if [ "$fresh" = 1 ] || [ ! -f "$learned_file" ]; then
  cp "$data/LSZH_learned.xml" "$learned_file"
  learned_from="the demo data's learned file"
else
  learned_from="the learned file the last demo run saved"
fi
cp "$learned_file" "$demo/learned-at-start.xml"
replay_s=$(awk -F, '!/^#/ { if (!first) first = $15; last = $15 } END { printf "%d", last - first + 1 }' "$demo/traffic.txt")
[ -n "$seconds" ] || seconds=$((replay_s + 90))
[ -n "$leave" ] || leave=$((replay_s + 30))
refused_title="Boeing 737-800 Ryanair"  # the simulator refuses to create it
fault_at=45  # the simulator answers a request with an exception the program must survive

pids=()
sim_input=""
cleanup() {
  trap - EXIT INT TERM
  # The fake simulator ends on "exit" with its summary; the others on Ctrl-C.
  if [ -n "$sim_input" ]; then
    echo exit >&3 2>/dev/null || true
    exec 3>&- || true
    sim_input=""
  fi
  for pid in "${pids[@]}"; do kill -INT "$pid" 2>/dev/null || true; done
  for _ in $(seq 100); do
    alive=0
    for pid in "${pids[@]}"; do kill -0 "$pid" 2>/dev/null && alive=1; done
    [ $alive -eq 0 ] && break
    sleep 0.1
  done
  for pid in "${pids[@]}"; do kill -KILL "$pid" 2>/dev/null || true; done
  wait 2>/dev/null || true
}
trap cleanup EXIT
trap 'echo; echo "Interrupted: closing everything ..."; cleanup; exit 130' INT TERM

python3 -m http.server --bind 127.0.0.1 --directory "$demo/site" "$site_port" >/dev/null 2>&1 &
pids+=($!)
for _ in $(seq 50); do
  python3 -c "import socket; socket.create_connection(('127.0.0.1', $site_port), 0.2)" 2>/dev/null && break
  sleep 0.1
done

export APPDATA="$demo/appdata"
export SKYHAVEN_REGISTRY="$demo/registry.ini"
export SKYHAVEN_PIPE_DIR="$demo/pipes"
export SKYHAVEN_LOCK_DIR="$demo"
export SKYHAVEN_DOWNLOAD_URL="http://127.0.0.1:$site_port/"
export SKYHAVEN_DOCUMENTS="$demo/documents"
export SKYHAVEN_TRAFFIC_PORT=$traffic_port
export SKYHAVEN_QNH_PORT=$qnh_port

# The fake simulator takes its commands on standard input: a pipe kept open here.
rm -f "$demo/fake-sim.in"
mkfifo "$demo/fake-sim.in"
"$bin/tools/skyhaven-fake-sim" --no-ipv4 --pipe <"$demo/fake-sim.in" >"$demo/fake-sim.txt" 2>&1 &
pids+=($!)
exec 3>"$demo/fake-sim.in"
sim_input="$demo/fake-sim.in"
echo "user 47.4534 8.5617" >&3  # the user aircraft on a stand at Zurich
echo "refuse-title $refused_title" >&3
for _ in $(seq 100); do grep -q '^pipe ' "$demo/fake-sim.txt" 2>/dev/null && break; sleep 0.1; done

"$bin/tools/skyhaven-fake-rt" --tcp-port "$tcp_port" --traffic-port "$traffic_port" --qnh-port "$qnh_port" \
  --replay "$demo/traffic.txt" --speed 1 --retime --qnh 1018 >"$demo/fake-rt.txt" 2>&1 &
pids+=($!)

rm -f "$demo/window.png"
if [ -n "${DISPLAY:-}" ]; then
  echo "Starting Skyhaven_P3D with its window on $DISPLAY for $seconds s ..."
  # A picture of the window once traffic has come in (the README shows it).
  export SKYHAVEN_SCREENSHOT="$demo/window.png"
  export SKYHAVEN_SCREENSHOT_AFTER=$((seconds > 150 ? 120 : seconds > 30 ? 20 : seconds * 2 / 3))
else
  echo "Starting Skyhaven_P3D without a window (no DISPLAY) for $seconds s ..."
fi
echo "The user aircraft leaves Zurich after $leave s."
(cd "$demo" && exec "$bin/Skyhaven_P3D") >"$demo/program.txt" 2>&1 &
program=$!
pids+=("$program")

# The simulator counts its objects every 15 s.
for s in $(seq "$seconds"); do
  kill -0 "$program" 2>/dev/null || break
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
  sleep 1
  [ $((s % 15)) -eq 0 ] && echo objects >&3
done
status=running
if kill -0 "$program" 2>/dev/null; then
  echo "Closing it as a user does ..."
  kill -INT "$program"
  for _ in $(seq 300); do kill -0 "$program" 2>/dev/null || break; sleep 0.1; done
fi
if kill -0 "$program" 2>/dev/null; then
  status="did not end within 30 s"
else
  wait "$program" && status="ended with status 0" || status="ended with status $?"
fi

log="$demo/Log.txt"
show() {  # label, then the first log line holding the text
  local line
  line=$(grep -m1 -F -- "$2" "$log" 2>/dev/null | sed "s/^ *//" || true)
  printf '  %-28s %s\n' "$1" "${line:-(not seen)}"
}
echo
echo "What happened (from $log):"
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
echo "  program:                     $status"
echo "RealTraffic's side:"
grep -E '^<- Qs(999|123)' "$demo/fake-rt.txt" | head -2 | sed 's/^/  /' || true
echo "  $(grep -c '^<- Qs121' "$demo/fake-rt.txt" || true) user positions received"
cleanup

counts=$(grep -E '^traffic: samples' "$log" | tail -1 || true)
count() { grep -oE "$1" <<<"$counts" | grep -oE '[0-9]+' | head -1 || echo 0; }
echo "What became of the traffic:"
printf '  %-50s %s\n' "traffic lines sent by RealTraffic" "$(grep -oE 'sent [0-9]+' "$demo/fake-rt.txt" | grep -oE '[0-9]+' || echo 0)"
printf '  %-50s %s\n' "received by the Traffic Reader" "$(grep -oE '[0-9]+ traffic lines received' "$log" | grep -oE '^[0-9]+' || echo 0)"
printf '  %-50s %s\n' "accepted (in range, in the air or at the park airport)" "$(grep -oE 'received, [0-9]+ accepted' "$log" | grep -oE '[0-9]+' || echo 0)"
printf '  %-50s %s\n' "aircraft made from them" "$(count 'aircraft [0-9]+ new')"
printf '  %-50s %s\n' "creations asked of the simulator" "$(count '[0-9]+ created')"
printf '  %-50s %s\n' "adopted, and active 2 s later" "$(count '[0-9]+ active')"
printf '  %-50s %s\n' "refused by the simulator ('$refused_title')" "$(count '[0-9]+ refused')"
parked=$({ grep -E ' arrived at stand$' "$log" || true; } | sed -E 's/^[0-9:]* *([^ ]+) *: *([^ ]+) .*/\2 at \1/' |
  paste -sd, - | sed 's/,/, /g')
printf '  %-50s %s\n' "parked at a free stand after taxiing in" "${parked:-none}"
printf '  %-50s %s\n' "removed as they left" "$(count '[0-9]+ removed;')"
printf '  %-50s %s\n' "not created, by reason" "$(sed -n 's/.*dropped: //p' <<<"$counts")"
printf '  %-50s %s\n' "how they moved in the simulator" "$(sed -n 's/^summary: motion: //p' "$demo/fake-sim.txt")"
# What the stands learned: the options of the saved learned file that the
# file the run started from did not have, with their stands.
options_of() {
  [ -f "$1" ] || return 0
  awk 'match($0, /<parkpos id="[^"]*"/) { stand = substr($0, RSTART + 13, RLENGTH - 14) }
       match($0, /<opt [^>]*>/) { o = substr($0, RSTART, RLENGTH); sub(/ *\/?>$/, "", o); print stand "\t" o }' "$1" | sort
}
new_options=$(comm -13 <(options_of "$demo/learned-at-start.xml") <(options_of "$learned_file"))
line_of() { grep -n -m1 -F -- "$1" "$log" 2>/dev/null | cut -d: -f1 || true; }
left_at=$(line_of "is out of sight")
saved_at=$(line_of "LSZH.xml' saved with")
exit_at=$(line_of "Exiting:")
echo "What Zurich's stands learned (${learned_file#"$root"/}, read at the start from $learned_from):"
failed_at=$(line_of "LSZH.xml' did not succeed")
if [ -z "$saved_at" ] && [ -n "$failed_at" ]; then
  echo "  not saved: $(sed -n "${failed_at}p" "$log")"
elif [ -z "$saved_at" ]; then
  echo "  not saved in this run"
else
  when="at the end of the run"
  if [ -n "$left_at" ] && [ "$saved_at" -gt "$left_at" ] && { [ -z "$exit_at" ] || [ "$saved_at" -lt "$exit_at" ]; }; then
    when="when the user aircraft left Zurich"
  fi
  printf '  %-50s %s\n' "saved $when" "$(sed -n "${saved_at}p" "$log" | sed -E "s/^([0-9:]+) .* saved (with .*[^ ]) *$/\\1, \\2/")"
  printf '  %-50s %s\n' "options added or renewed in this run (of $(options_of "$learned_file" | grep -c . || true) in the file)" \
    "$(grep -c . <<<"$new_options" || true): $(grep -vc 'soft="true"' <<<"$new_options" || true) seen at a stand, $(grep -c 'soft="true"' <<<"$new_options" || true) guessed (soft)"
  awk -F'\t' 'NF { cs = $2; sub(/.* cs="/, "", cs); sub(/".*/, "", cs)
                   printf "    stand %s: %s%s\n", $1, cs, ($2 ~ /soft="true"/ ? " (soft)" : "") }' <<<"$new_options"
fi
echo "Objects in the simulator over time:"
# Counted every 15 s: a shorter run has no count.
{ grep -E '^objects: ' "$demo/fake-sim.txt" || echo "none"; } |
  awk '$0 == "none" { print "  (not counted: the run was shorter than 15 s)"; next }
       { n = $2; bar = ""; for (i = 0; i < n; ++i) bar = bar "#"; printf "  %4d s  %3d %s\n", 15 * NR, n, bar }'
echo "Simulator's side:"
grep -E '^summary' "$demo/fake-sim.txt" | grep -v "^summary: object \|^summary: motion" | sed 's/^/  /' || true
static_lines() { grep -E "^$1 [0-9]+ '[^']*\*'" "$demo/fake-sim.txt" || true; }
echo "  static aircraft (callsigns ending in '*'): $(static_lines 'summary: object' | grep -c . || true) created," \
  "$(static_lines 'summary: object' | grep -c ', removed' || true) of them removed by the end"
echo "Files: $demo/Log.txt, $demo/program.txt, $demo/fake-sim.txt, $demo/fake-rt.txt"
[ -f "$demo/window.png" ] && echo "Picture of the window: $demo/window.png"
[ "$status" = "ended with status 0" ]
