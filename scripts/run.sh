#!/usr/bin/env bash
# Builds the project and runs it. Until the window lands, "running" means
# starting the demo traffic service in the foreground (Ctrl-C stops it);
# extra arguments go to it (see kestrix-service --help).
set -euo pipefail
cd "$(dirname "$0")/.."

scripts/build.sh
exec build/service/kestrix-service --demo "$@"
