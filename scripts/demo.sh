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
mkdir -p "$demo/docs" "$demo/appdata"
cd "$demo"
export APPDATA="$PWD/appdata"
status=0
../release/Skyhaven_P3D || status=$?
echo "--- $demo/Log.txt ---"
cat Log.txt
exit $status
