#!/bin/sh
# A temporary lock task falls due a few seconds after the engine starts, on the real operating
# system (under Wine for the Windows build), with a countdown of 5 s. It must leave tasks.json
# before its countdown ends, and afterwards history.redb must hold "executed" then "error" for
# it, in a file that the real redb library opens without repair.
#   engine_run.sh PROBE ORACLE WORK_FOLDER [EMULATOR [PATH_PREFIX]]
# Exit 77 (skipped) within a minute of midnight, where the task's date would be ambiguous.
set -u
probe=$1 oracle=$2 work=$3 emulator=${4:-} prefix=${5:-}

now=$(date '+%H%M%S')
if [ "$now" -ge 235900 ]; then echo "too close to midnight"; exit 77; fi

rm -rf "$work" && mkdir -p "$work/data" || exit 1
data=$work/data
# The alarm's notify time is its time less the countdown: 7 s from now, which leaves a slow
# start of Wine the whole window of ten seconds after it.
at=$(date -d '+12 seconds' '+%Y-%m-%dT%H:%M:%S')
cat >"$data/tasks.json" <<JSON
{"version":1,"tasks":[
{"id":"soon","name":"","enabled":true,"action":"lock","trigger":{"type":"once","at":"$at"},"temporary":true},
{"id":"stays","name":"Kept","enabled":false,"action":"lock","trigger":{"type":"daily","time":"03:00","start":"2025-01-01"}}]}
JSON
echo '{"countdown":{"seconds":5}}' >"$data/settings.json"

$emulator "$probe" "$prefix$data" 20 >"$work/ticks" 2>"$work/errors" || {
    echo "the probe failed:"; cat "$work/ticks" "$work/errors"; exit 1; }
cat "$work/ticks"
fail() { echo "FAILED: $*"; exit 1; }

# While the action waited for its countdown, the planner had already reloaded a tasks.json
# without the task.
grep -q 'pending 1 tasks 1$' "$work/ticks" || fail "no tick saw the task gone while it waited"
tail -n 1 "$work/ticks" | grep -q 'pending 0 ' || fail "the action is still queued at the end"
grep -q '"stays"' "$data/tasks.json" || fail "the other task left tasks.json"
if grep -q '"soon"' "$data/tasks.json"; then fail "the temporary task is still in tasks.json"; fi

cp "$data/history.redb" "$work/copy.redb" || fail "no history.redb"
"$oracle" check "$work/copy.redb" || fail "the real library rejects history.redb"
"$oracle" dump "$work/copy.redb" | grep -v '^#' | cut -f 2 >"$work/rows"
cat "$work/rows"
executed='{"time":"[0-9T:-]*","kind":"executed","action":"lock"}'
refused='{"time":"[0-9T:-]*","kind":"error","action":"lock","detail":"this action needs a logged-on user"}'
# With a user signed in (a native machine with somebody in utmp), the start of the desktop
# program is tried first and fails for want of a console session.
if grep -q 'signed_in 1' "$work/ticks"; then
    expected=3
    sed -n 1p "$work/rows" | grep -qx '{"time":"[0-9T:-]*","kind":"error","action":"lock","detail":"Cannot show countdown window: no console session"}' ||
        fail "first row"
else
    expected=2
fi
[ "$(wc -l <"$work/rows")" -eq "$expected" ] || fail "expected $expected rows"
tail -n 2 "$work/rows" | head -n 1 | grep -qx "$executed" || fail "no executed row before the error"
tail -n 1 "$work/rows" | grep -qx "$refused" || fail "no error row at the end"
echo "ok"
