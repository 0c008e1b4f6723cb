#!/usr/bin/env bash
# Builds the project and runs the command center with the demo traffic
# service beside it (unless a service already serves the object directory).
# The program runs in its own folder, build/src/app, where it finds its
# translations (translations/qt_<locale>.qm). Arguments go to the program
# (-d writes a log under ./logs, that is build/src/app/logs).
set -euo pipefail
cd "$(dirname "$0")/.."

scripts/build.sh

# The service's lines (its start, and one line for every change of the
# user's it takes over) come to this terminal; the program's own diagnostics,
# some lines a second, go to a file beside them.
diagnostics=build/kestrix-diagnostics.txt
echo "run.sh: the program's diagnostics go to $diagnostics; the service's lines follow here."
build/service/kestrix-service --demo &
service=$!
trap 'kill "$service" 2>/dev/null || true' EXIT
sleep 0.5

(cd build/src/app && ./kestrix "$@") 2> "$diagnostics"
