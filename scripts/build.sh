#!/usr/bin/env bash
# Installs the dependencies and builds Volleyrun into build/ (beside Quillmoor/).
set -euo pipefail
cd "$(dirname "$0")/.."
bash scripts/install-deps.sh
# ccache (installed with the rest) makes rebuilds of a fresh clone cheap.
cmake -S . -B build -DCMAKE_BUILD_TYPE=RelWithDebInfo \
  -DCMAKE_C_COMPILER_LAUNCHER=ccache -DCMAKE_CXX_COMPILER_LAUNCHER=ccache >/dev/null
cmake --build build -j"$(nproc)"
