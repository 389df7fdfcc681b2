#!/usr/bin/env bash
# Resident memory and CPU time of the real processes over real time, each on a fresh copy of
# the demo's data folder whose one-time task is left in the past (so every tick is idle):
#   - the native console run (build/native/snv-svc /console);
#   - the Windows service under Wine's service manager, in a Wine prefix of its own.
# CPU is counted from 5 s after the start to the end and given per hour of running, beside the
# floor: a process that does nothing but sleep a second at a time (on a virtual machine each
# wake-up alone can cost hundreds of microseconds).
#
#   bench/real_run.sh [SECONDS]      default 600; 3600 for an hour of ticks
set -euo pipefail
cd "$(dirname "$0")/.."
secs=${1:-600}

# Nanoseconds on the processor, summed over the process's threads (precise, unlike the clock
# ticks of /proc/PID/stat).
cpu_ns() { cat /proc/"$1"/task/*/schedstat 2>/dev/null | awk '{s += $1} END {print s}'; }
kb() { awk -v k="$2:" '$1 == k {print $2}' "/proc/$1/status"; }

measure() {  # pid label
  local pid=$1 label=$2 start end
  sleep 5
  start=$(cpu_ns "$pid")
  sleep "$secs"
  end=$(cpu_ns "$pid")
  awk -v l="$label" -v rss="$(kb "$pid" VmRSS)" -v hwm="$(kb "$pid" VmHWM)" \
      -v cpu="$(( end - start ))" -v s="$secs" 'BEGIN {
        printf "%s: VmRSS %d kB (peak %d kB); CPU %.4f s in %d s, %.4f s per hour\n",
               l, rss, hwm, cpu / 1e9, s, cpu / 1e9 * 3600 / s }'
}

fresh_data() {
  rm -rf "$1"
  cp -r demo/data "$1"
}

build/native/bench/idle_run_bench --sleep-only &
floor_pid=$!
measure "$floor_pid" "floor (a process that only sleeps 1 s at a time)" &
floor_measured=$!

native_data=$PWD/build/native/bench-data
fresh_data "$native_data"
build/native/snv-svc --data "$native_data" /console >/dev/null &
native_pid=$!
measure "$native_pid" "native console" &
measured=$!

export WINEPREFIX=$PWD/build/windows/bench-prefix WINEDEBUG=-all
win_dir=$PWD/build/windows/bench
mkdir -p "$win_dir"
# Stripped, as it would be shipped: Wine reads a mingw image's debug sections into memory.
x86_64-w64-mingw32-strip -o "$win_dir/snv-svc.exe" build/windows/snv-svc.exe
fresh_data "$win_dir/data"
if [ ! -d "$WINEPREFIX" ]; then
  wineboot --init >/dev/null 2>&1
  wineserver -w  # a service started during the first boot fails to start
fi
# A service left by an interrupted run would be starting with the prefix's Wine, and an install
# then fails (a start pending): remove it first.
wine "$win_dir/snv-svc.exe" /uninstall >/dev/null 2>&1 || true
wine "$win_dir/snv-svc.exe" /install --data "Z:${win_dir//\//\\}\\data"
# Wine ends its services a few seconds after its last ordinary process: one stays for the run.
wine ping -n $(( secs + 120 )) 127.0.0.1 >/dev/null 2>&1 &
keeper=$!
# The service process: ps shows the registered command line as its arguments.
export IMAGE="Z:${win_dir//\//\\}\\snv-svc.exe --data"
service_pid=""
for _ in $(seq 100); do
  service_pid=$(ps -eo pid=,args= | awk 'index($0, ENVIRON["IMAGE"]) && !found {found = $1} END {print found}')
  if [ -n "$service_pid" ]; then break; fi
  sleep 0.1
done
if [ -n "$service_pid" ]; then
  measure "$service_pid" "service under Wine"
  # Wine's own share: the keeper is a Windows program that does nothing but wait.
  ping_pid=$(ps -eo pid=,args= | awk '/ping\.exe -n/ && !found {found = $1} END {print found}')
  [ -n "$ping_pid" ] && echo "floor under Wine (ping.exe waiting): VmRSS $(kb "$ping_pid" VmRSS) kB"
else
  echo "service under Wine: its process was not found"
fi
wine "$win_dir/snv-svc.exe" /uninstall || true
wineserver -k || true
wait "$keeper" 2>/dev/null || true

wait "$measured" "$floor_measured"
kill "$native_pid" "$floor_pid"
echo "snv-svc.exe: $(stat -c %s build/windows/snv-svc.exe) bytes as built (with debug" \
     "information), $(stat -c %s "$win_dir/snv-svc.exe") bytes stripped"
