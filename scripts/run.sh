#!/usr/bin/env bash
# Builds the project and runs it. Until the window lands, "running" means
# measuring the service link: the benchmarks print their figures.
set -euo pipefail
cd "$(dirname "$0")/.."

scripts/build.sh
exec build/bench/servicelink_bench "$@"
