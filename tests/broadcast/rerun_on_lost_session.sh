#!/usr/bin/env bash
# rerun_on_lost_session.sh SESSION_DIR KEEPALIVE_EXE COMMAND...
# Runs a broadcast's COMMAND; when it exits 3, its Wine session's wineserver ended during the
# run (Wine 8's server sometimes aborts on an assertion of its own, and every program of the
# session then waits forever), so the session is started afresh and COMMAND runs once more.
set -u
session=$1 keepalive=$2
shift 2
"$@"
status=$?
[ "$status" -eq 3 ] || exit "$status"
echo "The broadcast once more, in a fresh Wine session:"
"$(dirname "$0")/../wine/session.sh" start "$session" "$keepalive" || exit 1
"$@"
status=$?
[ "$status" -eq 3 ] && exit 1
exit "$status"
