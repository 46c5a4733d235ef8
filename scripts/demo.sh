#!/usr/bin/env bash
# Installs what is missing, builds the program in Release and runs it in a
# demo folder (build/demo) that has the program folder's layout, with its
# settings in build/demo/appdata.
set -euo pipefail
cd "$(dirname "$0")/.."
scripts/setup.sh

jobs=$(nproc 2>/dev/null || echo 2)
cmake -S . -B build/release -G Ninja -DCMAKE_BUILD_TYPE=Release -DSKYHAVEN_TESTS=OFF >/dev/null
cmake --build build/release -j "$jobs"

demo=build/demo
mkdir -p "$demo/docs" "$demo/appdata" "$demo/input"

# A local download site with versions.json and the three small sample data
# sets of scripts/demo_data, packed by the program's packer, so that the
# start-up's data-set check fetches them.
site="$PWD/$demo/site"
mkdir -p "$site/11"
for name in airports AIG-regcodes dbase; do
  build/release/tools/skyhaven-pack "scripts/demo_data/$name.xml" "$site/11/$name.enc"
done
printf '{"airports": {"major": 1, "minor": 0, "patch": 0}, "aig": {"major": 1, "minor": 0, "patch": 0}, "dbase": {"major": 1, "minor": 0, "patch": 0}}\n' >"$site/versions.json"
port=$(python3 -c 'import socket; s = socket.socket(); s.bind(("127.0.0.1", 0)); print(s.getsockname()[1])')
python3 -m http.server --bind 127.0.0.1 --directory "$site" "$port" >/dev/null 2>&1 &
site_server=$!
trap 'kill $site_server 2>/dev/null || true' EXIT
for _ in $(seq 50); do
  python3 -c "import socket; socket.create_connection(('127.0.0.1', $port), 0.2)" 2>/dev/null && break
  sleep 0.1
done
export SKYHAVEN_DOWNLOAD_URL="http://127.0.0.1:$port/"

cd "$demo"
export APPDATA="$PWD/appdata"
status=0
../release/Skyhaven_P3D || status=$?
echo "--- $demo/Log.txt ---"
cat Log.txt
exit $status
