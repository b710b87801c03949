#!/usr/bin/env bash
# Builds Volleyrun and starts it from build/; it reads the source tree's Quillmoor/.
# Any arguments are passed on to the game (for example --windowed).
# On a machine without a display the game runs for ten seconds inside a virtual X server
# (xvfb-run, software OpenGL) and saves screenshots to build/screenshots/ instead.
set -euo pipefail
cd "$(dirname "$0")/.."
bash scripts/build.sh
cd build
if [ -n "${DISPLAY:-}" ]; then
  exec ./volleyrun "$@"
fi
mkdir -p screenshots
echo "No display found: running a 10-second demo under xvfb-run; screenshots go to build/screenshots/."
shots=()
for frame in 60 240 480 600; do
  shots+=(--screenshot "$frame:screenshots/frame$frame.png")
done
xvfb-run -a -s "-screen 0 1920x1080x24" ./volleyrun --frames 600 "${shots[@]}" "$@"
ls screenshots/frame*.png
