#!/usr/bin/env bash
# Runs the program against the fake simulator and the fake RealTraffic:
#
#   scripts/demo.sh [--seconds N]      (default 60)
#
# Installs what is missing, builds in Release, prepares the demo folder
# build/demo (the program folder's layout, its settings in build/demo/appdata,
# a registry stand-in with Prepar3D v5, RealTraffic marked as installed), and
# a local download site with the sample data sets of scripts/demo_data. Then
# it starts skyhaven-fake-sim (the user aircraft at Zurich, LSZH) and
# skyhaven-fake-rt (aircraft arriving at and departing from LSZH's runways),
# and the program: with its window when DISPLAY is set, without one
# otherwise. After N seconds it closes the program the way a user does (the
# close request of the window's close button, here Ctrl-C) and prints what
# happened. Every process it started is ended, also on Ctrl-C.
set -euo pipefail
cd "$(dirname "$0")/.."

seconds=60
while [ $# -gt 0 ]; do
  case "$1" in
    --seconds) seconds=$2; shift 2 ;;
    -h|--help) sed -n '2,16p' "$0"; exit 0 ;;
    *) echo "unknown option $1 (see --help)" >&2; exit 2 ;;
  esac
done

scripts/setup.sh
jobs=$(nproc 2>/dev/null || echo 2)
echo "Building ..."
cmake -S . -B build/release -G Ninja -DCMAKE_BUILD_TYPE=Release -DSKYHAVEN_TESTS=OFF >/dev/null
cmake --build build/release -j "$jobs" --target Skyhaven_P3D skyhaven-pack skyhaven-fake-sim skyhaven-fake-rt >/dev/null

root=$PWD
bin=$root/build/release
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
for _ in $(seq 100); do grep -q '^pipe ' "$demo/fake-sim.txt" 2>/dev/null && break; sleep 0.1; done

"$bin/tools/skyhaven-fake-rt" --tcp-port "$tcp_port" --traffic-port "$traffic_port" --qnh-port "$qnh_port" \
  --replay "$data/traffic.txt" --rate 4 --loop --retime --qnh 1018 >"$demo/fake-rt.txt" 2>&1 &
pids+=($!)

rm -f "$demo/window.png"
if [ -n "${DISPLAY:-}" ]; then
  echo "Starting Skyhaven_P3D with its window on $DISPLAY for $seconds s ..."
  # A picture of the window once traffic has come in (the README shows it).
  export SKYHAVEN_SCREENSHOT="$demo/window.png"
  export SKYHAVEN_SCREENSHOT_AFTER=$((seconds > 30 ? 20 : seconds * 2 / 3))
else
  echo "Starting Skyhaven_P3D without a window (no DISPLAY) for $seconds s ..."
fi
(cd "$demo" && exec "$bin/Skyhaven_P3D") >"$demo/program.txt" 2>&1 &
program=$!
pids+=("$program")

for _ in $(seq "$seconds"); do
  kill -0 "$program" 2>/dev/null || break
  sleep 1
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
show "traffic lines:" "traffic lines received"
show "stop reason:" "Exiting:"
echo "  program:                     $status"
echo "RealTraffic's side:"
grep -E '^<- Qs(999|123)' "$demo/fake-rt.txt" | head -2 | sed 's/^/  /' || true
echo "  $(grep -c '^<- Qs121' "$demo/fake-rt.txt" || true) user positions received"
cleanup
echo "Simulator's side:"
grep -E '^summary' "$demo/fake-sim.txt" | sed 's/^/  /' || true
echo "Files: $demo/Log.txt, $demo/program.txt, $demo/fake-sim.txt, $demo/fake-rt.txt"
[ -f "$demo/window.png" ] && echo "Picture of the window: $demo/window.png"
[ "$status" = "ended with status 0" ]
