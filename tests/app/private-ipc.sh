#!/bin/sh
# Runs a test in an IPC namespace of its own where it may make one (as root):
# the System V segments and semaphores that its killed instances leave behind
# go with the namespace. Elsewhere the test runs as it is.
if unshare --ipc true 2>/dev/null; then
    exec unshare --ipc "$@"
fi
exec "$@"
