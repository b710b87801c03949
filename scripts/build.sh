#!/usr/bin/env bash
# Installs the dependencies and builds Volleyrun into build/ (beside Quillmoor/).
set -euo pipefail
cd "$(dirname "$0")/.."
bash scripts/install-deps.sh
cmake -S . -B build -DCMAKE_BUILD_TYPE=RelWithDebInfo >/dev/null
cmake --build build -j"$(nproc)"
