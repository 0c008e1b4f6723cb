#!/usr/bin/env bash
# Installs what is missing, then configures and builds the project in build/.
# Extra arguments go to the CMake configure step.
set -euo pipefail
cd "$(dirname "$0")/.."

scripts/install-deps.sh --if-missing

werror=OFF
if [ "${CI:-}" = "true" ]; then
    werror=ON
fi

cmake -S . -B build -G Ninja -DCMAKE_BUILD_TYPE=RelWithDebInfo -DKESTRIX_WERROR="$werror" "$@"
cmake --build build -j"$(nproc)"
