#!/usr/bin/env bash
# Shows the program's job end to end: installs what is missing, builds the
# program and its tools in Release, and runs it in a demo folder (build/demo)
# that has the program folder's layout, with its settings in
# build/demo/appdata, against the fake simulator (the user aircraft north of
# Zurich) and the fake RealTraffic, which replays in real time the traffic of
# a few minutes around Zurich made from the world runway data: arrivals and
# departures on its runways, overflights and a few aircraft taxiing. The
# program creates the aircraft in the fake simulator with the liveries of a
# small liveries cache, moves them every frame and removes them as they
# leave. At the end: what became of the traffic, and the simulator's object
# count over time. DEMO_MINUTES (2) says how long new flights keep coming.
set -euo pipefail
cd "$(dirname "$0")/.."
scripts/setup.sh

jobs=$(nproc 2>/dev/null || echo 2)
cmake -S . -B build/release -G Ninja -DCMAKE_BUILD_TYPE=Release -DSKYHAVEN_TESTS=OFF >/dev/null
cmake --build build/release -j "$jobs" --target Skyhaven_P3D skyhaven-pack skyhaven-fake-sim skyhaven-fake-rt
bin=$PWD/build/release

demo=build/demo
rm -rf "$demo"
mkdir -p "$demo/docs" "$demo/appdata/Skyhaven_P3D" "$demo/appdata/InsideSystems" "$demo/input" "$demo/output" \
  "$demo/pipes"

# A local download site with versions.json and the three small sample data
# sets of scripts/demo_data, packed by the program's packer, so that the
# start-up's data-set check fetches them.
site="$PWD/$demo/site"
mkdir -p "$site/11"
for name in airports AIG-regcodes dbase; do
  "$bin/tools/skyhaven-pack" "scripts/demo_data/$name.xml" "$site/11/$name.enc"
done
printf '{"airports": {"major": 1, "minor": 0, "patch": 0}, "aig": {"major": 1, "minor": 0, "patch": 0}, "dbase": {"major": 1, "minor": 0, "patch": 0}}\n' >"$site/versions.json"
free_port() {
  python3 -c "import socket; s = socket.socket(socket.AF_INET, socket.$1); s.bind(('127.0.0.1', 0)); print(s.getsockname()[1])"
}
port=$(free_port SOCK_STREAM)
python3 -m http.server --bind 127.0.0.1 --directory "$site" "$port" >/dev/null 2>&1 &
pids=($!)
trap 'kill "${pids[@]}" 2>/dev/null || true' EXIT
for _ in $(seq 50); do
  python3 -c "import socket; socket.create_connection(('127.0.0.1', $port), 0.2)" 2>/dev/null && break
  sleep 0.1
done
export SKYHAVEN_DOWNLOAD_URL="http://127.0.0.1:$port/"

# The traffic, and a livery for each airline and type of it; one title the
# simulator will refuse.
# The world runway data lies beside the clone (../shared/testdata); RUNWAYS_CSV may say where else.
runways=${RUNWAYS_CSV:-}
for candidate in ../shared/testdata/world/runways.csv ../../shared/testdata/world/runways.csv; do
  [ -z "$runways" ] && [ -f "$candidate" ] && runways=$candidate
done
[ -n "$runways" ] || { echo "runways.csv not found: set RUNWAYS_CSV" >&2; exit 1; }
python3 scripts/demo_traffic.py --runways "$runways" --airport LSZH \
  --minutes "${DEMO_MINUTES:-2}" --out "$demo/traffic.txt"
python3 - "$demo/output/LiveriesScanned.xml" <<'EOF'
import sys
sys.path.insert(0, "scripts")
from demo_traffic import FLEET
with open(sys.argv[1], "w", encoding="utf-8") as f:
    f.write('<?xml version="1.0" encoding="UTF-8"?>\n<liveries>\n')
    for airline, actype, reg, _ in sorted(set(FLEET)):
        f.write('  <liv airl="%s" type="%s" title="%s %s demo livery" atcid="%sXX"/>\n'
                % (airline, actype, actype, airline, reg))
    f.write('</liveries>\n')
EOF
refused="A388 UAE demo livery"

tcp=$(free_port SOCK_STREAM)
udp_traffic=$(free_port SOCK_DGRAM)
udp_qnh=$(free_port SOCK_DGRAM)
cat >"$demo/appdata/Skyhaven_P3D/parameters.xml" <<EOF
<?xml version="1.0"?>
<parameters>
  <parameter name="SIM_INSTALL_PATH" value="D:\Prepar3D v5"/>
  <parameter name="PORT_NUMBER" value="$tcp"/>
  <parameter name="SCAN_LIVERIES" value="false"/>
  <parameter name="SCAN_AIRPORTS" value="false"/>
  <parameter name="AUTO_RANGE" value="false"/>
  <parameter name="RANGE" value="40"/>
</parameters>
EOF
: >"$demo/appdata/InsideSystems/RealTraffic.jar"  # RealTraffic runs on this PC

cd "$demo"
export APPDATA="$PWD/appdata" XDG_CONFIG_HOME="$PWD/appdata" SKYHAVEN_PIPE_DIR="$PWD/pipes" SKYHAVEN_HEADLESS=1
export SKYHAVEN_LOCK_DIR="$PWD" SKYHAVEN_TRAFFIC_PORT=$udp_traffic SKYHAVEN_QNH_PORT=$udp_qnh
replay_s=$(awk -F, 'NR > 1 { if (!first) first = $15; last = $15 } END { printf "%d", last - first + 1 }' traffic.txt)
run_s=$((replay_s + 90))

# The simulator counts its objects every 15 s while the run lasts, then quits,
# which ends the program's run.
script="user 47.6300 8.5492 9000; wait-client; refuse-title $refused"
for _ in $(seq $((run_s / 15))); do script="$script; wait 15; objects"; done
"$bin/tools/skyhaven-fake-sim" --no-ipv4 --pipe --elevation 1416 --seconds "$run_s" --script "$script" \
  >fake-sim.txt 2>&1 &
pids+=($!)
sleep 1
"$bin/Skyhaven_P3D" >program.txt 2>&1 &
program=$!
pids+=($program)
echo "Replaying $(grep -vc '^#' traffic.txt) traffic lines over ${replay_s} s in real time; the run lasts about ${run_s} s ..."
"$bin/tools/skyhaven-fake-rt" --replay traffic.txt --speed 1 --retime --tcp-port "$tcp" \
  --traffic-port "$udp_traffic" --qnh-port "$udp_qnh" >fake-rt.txt 2>&1 || true
status=0
wait "$program" || status=$?

value() { grep -oE "$1" "$2" | head -1 | grep -oE '[0-9]+' | head -1 || echo 0; }
counts=$(grep -E '^traffic: samples' Log.txt | tail -1 || true)
echo
echo "What became of the traffic"
printf '  %-44s %s\n' "traffic lines sent by RealTraffic" "$(value 'sent [0-9]+ traffic' fake-rt.txt)"
printf '  %-44s %s\n' "received by the Traffic Reader" "$(value '[0-9]+ traffic lines received' Log.txt)"
printf '  %-44s %s\n' "accepted (in range; airborne, or on the" "$(grep -oE 'received, [0-9]+ accepted' Log.txt | grep -oE '[0-9]+' || echo 0)"
printf '  %-44s\n' "  ground at a park airport)"
printf '  %-44s %s\n' "aircraft made from them" "$(value 'aircraft [0-9]+ new' <(echo "$counts"))"
printf '  %-44s %s\n' "creations asked of the simulator" "$(value '[0-9]+ created' <(echo "$counts"))"
printf '  %-44s %s\n' "adopted, and active after 2 s" "$(value '[0-9]+ active' <(echo "$counts"))"
printf '  %-44s %s\n' "refused by the simulator (its A388 title)" "$(value '[0-9]+ refused' <(echo "$counts"))"
printf '  %-44s %s\n' "removed as they left" "$(value '[0-9]+ removed;' <(echo "$counts"))"
printf '  %-44s %s\n' "not created, by reason" "$(echo "$counts" | sed -n 's/.*dropped: //p')"
echo
echo "Objects in the simulator over time"
grep -E '^objects: ' fake-sim.txt | awk '{ printf "  %4d s  %3d %s\n", 15 * NR, $2, substr("##############################", 1, $2) }'
echo
grep -E '^summary: objects' fake-sim.txt || true
echo "(Log: $demo/Log.txt; the simulator's side: $demo/fake-sim.txt; RealTraffic's: $demo/fake-rt.txt)"
exit $status
