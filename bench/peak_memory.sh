#!/usr/bin/env bash
# Peak resident memory of the native console on data folders that another program has filled
# with files far too large, and on files just within the limits that the system reads:
#   - tasks.json of 150 MB, a settings.json holding a 160 MB string, a trigger with 3 million
#     unknown members, a history.jsonl of 180 MB (all refused as unreadable);
#   - tasks.json at its limit with the most tasks it can hold, with unknown members, and with a
#     temporary task that falls due; history.jsonl at its limit, as many short lines or as one.
# Each console runs under `ulimit -v 600000` for a fixed time, all of them at once; a task due
# a few seconds after the start shows that history is still recorded. Prints, per folder, the
# file's size, VmHWM (the peak resident set), whether the console still ran at the end, its
# plan line and the rows of history.redb (through the redb interop tool).
#
#   bench/peak_memory.sh            (builds the native preset when needed)
set -euo pipefail
cd "$(dirname "$0")/.."

[ -d build/native ] || cmake --preset native >/dev/null
cmake --build build/native --target snv-svc >/dev/null
console=$PWD/build/native/snv-svc
oracle=${SNV_ORACLE:-$PWD/build/redb-interop/release/redb-interop}  # scripts/build-interop
work=$PWD/build/native/peak-memory
rm -rf "$work" && mkdir -p "$work"
run_secs=18

# Files of `kind`, `bytes` long or a little more. Tasks as short as the reader takes them (the
# positional form), so that a file holds as many records as it can.
make_file() {  # kind path bytes
  python3 - "$@" <<'PY'
import sys
kind, path, size = sys.argv[1], sys.argv[2], int(sys.argv[3])
def repeat(f, head, one, tail):
    f.write(head)
    n = max(1, (size - len(head) - len(tail)) // (len(one) + 1))
    chunk = ','.join([one] * 10000)
    for _ in range(n // 10000):
        f.write(chunk + ',')
    f.write(','.join([one] * (n % 10000 or 1)))
    f.write(tail)
with open(path, 'w') as f:
    if kind == 'idle_tasks':
        repeat(f, '{"version":1,"tasks":[', '["","",true,"lock",["idle",1]]', ']}')
    elif kind == 'disabled_tasks':  # before them, the temporary task that falls due
        due = sys.argv[4]
        repeat(f, '{"version":1,"tasks":[["soon","",true,"lock",["once","%s"],null,true],' % due,
               '["","",false,"lock",["idle",1]]', ']}')
    elif kind == 'members':  # one trigger whose tag stands after its unknown members, all named apart
        f.write('{"version":1,"tasks":[{"id":"m","enabled":true,"action":"lock","trigger":{')
        written, i = 0, 0
        tail = '"type":"idle","minutes":5}}]}'
        while written + len(tail) + 16 < size:
            member = '"u%d":1,' % i
            f.write(member)
            written += len(member)
            i += 1
        f.write(tail)
    elif kind == 'sound':
        f.write('{"countdown":{"sound":"' + 'a' * size + '"}}')
    elif kind == 'jsonl_lines':
        line = '["2024-01-01T00:00:00","executed"]\n'
        f.write(line * (size // len(line)))
    elif kind == 'jsonl_one_line':
        f.write('["2024-01-01T00:00:00","executed","lock","' + 'd' * (size - 50) + '"]\n')
PY
}

# The due task: a temporary lock 12 s after the start, with a countdown of 5 s.
due_at=$(date -d '+12 seconds' '+%Y-%m-%dT%H:%M:%S')
due_tasks() {
  printf '{"version":1,"tasks":[{"id":"soon","enabled":true,"action":"lock","trigger":{"type":"once","at":"%s"},"temporary":true}]}' \
    "$due_at" >"$1/tasks.json"
}
short_countdown() { echo '{"countdown":{"seconds":5}}' >"$1/settings.json"; }

mib=$((1024 * 1024))
task_limit=$((8 * mib)) settings_limit=$((1 * mib)) jsonl_limit=$((16 * mib))

declare -A measured_file
folder() { mkdir -p "$work/$1"; echo "$work/$1"; }

d=$(folder tasks-150MB); make_file idle_tasks "$d/tasks.json" 150000000
measured_file[tasks-150MB]=tasks.json
d=$(folder settings-160MB-string); make_file sound "$d/settings.json" 160000000; due_tasks "$d"
measured_file[settings-160MB-string]=settings.json
d=$(folder trigger-3M-members); make_file members "$d/tasks.json" 37000000  # 3 million members
measured_file[trigger-3M-members]=tasks.json
d=$(folder history-jsonl-180MB); make_file jsonl_lines "$d/history.jsonl" 180000000
due_tasks "$d"; short_countdown "$d"
measured_file[history-jsonl-180MB]=history.jsonl
d=$(folder tasks-limit-idle); make_file idle_tasks "$d/tasks.json" $((task_limit - 64))
measured_file[tasks-limit-idle]=tasks.json
d=$(folder tasks-limit-members); make_file members "$d/tasks.json" $((task_limit - 64))
measured_file[tasks-limit-members]=tasks.json
d=$(folder tasks-limit-temporary)
make_file disabled_tasks "$d/tasks.json" $((task_limit - 64)) "$due_at"; short_countdown "$d"
measured_file[tasks-limit-temporary]=tasks.json
d=$(folder settings-limit-string); make_file sound "$d/settings.json" $((settings_limit - 64))
due_tasks "$d"
measured_file[settings-limit-string]=settings.json
d=$(folder history-jsonl-limit-lines); make_file jsonl_lines "$d/history.jsonl" $((jsonl_limit - 64))
due_tasks "$d"; short_countdown "$d"
measured_file[history-jsonl-limit-lines]=history.jsonl
d=$(folder history-jsonl-limit-one-line)
make_file jsonl_one_line "$d/history.jsonl" $((jsonl_limit - 64)); due_tasks "$d"; short_countdown "$d"
measured_file[history-jsonl-limit-one-line]=history.jsonl

declare -A pids
for name in "${!measured_file[@]}"; do
  d=$work/$name
  size=$(stat -c %s "$d/${measured_file[$name]}")
  echo "$size" >"$d.size"
  (ulimit -v 600000; exec "$console" --data "$d" /console >"$d.out" 2>"$d.err") &
  pids[$name]=$!
done
sleep "$run_secs"

printf '%-30s %-14s %12s %-8s %s\n' folder "file (bytes)" "VmHWM (kB)" running "plan; history rows"
for name in $(printf '%s\n' "${!measured_file[@]}" | sort); do
  d=$work/$name pid=${pids[$name]}
  hwm=$(awk '$1 == "VmHWM:" {print $2}' "/proc/$pid/status" 2>/dev/null || echo "-")
  running=no
  kill "$pid" 2>/dev/null && running=yes
  wait "$pid" 2>/dev/null || true
  plan=$(grep -o 'plan: .*; ' "$d.out" | tail -n 1 | sed 's/; $//')
  rows="-"
  if [ -f "$d/history.redb" ] && [ -x "$oracle" ]; then
    cp "$d/history.redb" "$d.copy.redb"
    rows=$("$oracle" dump "$d.copy.redb" | grep -vc '^#' || true)
  fi
  left=""
  [ -f "$d/history.jsonl" ] && left=", history.jsonl left"
  printf '%-30s %-14s %12s %-8s %s; %s%s\n' "$name" "${measured_file[$name]} $(cat "$d.size")" \
    "$hwm" "$running" "${plan:-no plan printed}" "$rows" "$left"
  [ -s "$d.err" ] && sed 's/^/    stderr: /' "$d.err" | head -n 3
done
