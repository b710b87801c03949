#!/usr/bin/env bash
# Builds Volleyrun and starts it from build/, so "../Quillmoor" is the content folder.
# Any arguments are passed on to the game (for example --windowed).
set -euo pipefail
cd "$(dirname "$0")/.."
bash scripts/build.sh
cd build
exec ./volleyrun "$@"
