#!/usr/bin/env bash
# Makes the README's picture of the Charts and Traffic docks: a one-minute
# leak-down against the virtual controller with a leaking reservoir is
# recorded, then opened on a 1366x768 screen (Xvfb), where cursors A and B are
# pinned on the pressure trace and the pointer rests between them.
# Usage: scripts/readme_pictures.sh [OUT.png]
set -euo pipefail
cd "$(dirname "$0")/.."

out="${1:-docs/images/charts-traffic.png}"
scripts/deps.sh xvfb xdotool x11-apps x11-utils imagemagick
scripts/build.sh build -- Vantor
scratch=$(mktemp -d)
pids=()
trap 'kill "${pids[@]}" 2>/dev/null || true; rm -rf "$scratch"' EXIT
# Settings of its own, never the user's: the charts show the pressure, both
# heights and the compressor's output.
export XDG_CONFIG_HOME="$scratch/config"
mkdir -p "$XDG_CONFIG_HOME/Corvane"
printf '[Charts]\nsignals=PXV, DHT, CHT, CSR\n' >"$XDG_CONFIG_HOME/Corvane/Pelmar Interface.conf"

# Status 3: the leak-down fails, as it should with this leak.
QT_QPA_PLATFORM=offscreen build/app/Vantor --simulate --leak-reservoir 3 --run-test leak \
    --minutes 1 --record "$scratch/leak.sqlite" || [ $? -eq 3 ]

display=:$((50 + RANDOM % 100))
Xvfb "$display" -screen 0 1366x768x24 -nolisten tcp &
pids+=($!)
export DISPLAY="$display"
for _ in $(seq 50); do xdpyinfo >/dev/null 2>&1 && break; sleep 0.1; done
build/app/Vantor --open "$scratch/leak.sqlite" --show charts,traffic &
pids+=($!)
sleep 4
# The pressure plot's canvas lies between x 72 and 1184, y 100 and 165.
for x in 330 930; do
    xdotool mousemove "$x" 140 click 1
    sleep 0.3
done
xdotool mousemove 700 140
sleep 1
xwd -root -silent | convert xwd:- "$out"
echo "wrote $out"
