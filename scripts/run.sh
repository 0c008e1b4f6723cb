#!/usr/bin/env bash
# Builds the project and runs the command center with the demo traffic
# service beside it (unless a service already serves the object directory).
# The program runs in its own folder, build/src/app, where it finds its
# translations (translations/qt_<locale>.qm). Arguments go to the program
# (-d writes a log under ./logs, that is build/src/app/logs).
set -euo pipefail
cd "$(dirname "$0")/.."

scripts/build.sh

build/service/kestrix-service --demo > /dev/null &
service=$!
trap 'kill "$service" 2>/dev/null || true' EXIT
sleep 0.5

(cd build/src/app && ./kestrix "$@")
