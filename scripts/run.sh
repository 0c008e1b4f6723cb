#!/usr/bin/env bash
# Builds the project and runs the command center with the demo traffic
# service beside it (unless a service already serves the object directory).
# Arguments go to the program (-d writes a log under ./logs).
set -euo pipefail
cd "$(dirname "$0")/.."

scripts/build.sh

build/service/kestrix-service --demo > /dev/null &
service=$!
trap 'kill "$service" 2>/dev/null || true' EXIT
sleep 0.5

build/src/app/kestrix "$@"
