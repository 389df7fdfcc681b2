#!/usr/bin/env bash
# scripts/demo --native as a newcomer runs it, on a copy of the source tree (tracked and new
# files, no build folder: so no interop tool either), with no Rust to be found: no cargo or
# rustc on the PATH, an empty HOME. The product must build and its console print the plan of
# the demo folder, with no word of cargo, Rust or the interop tool.
#   demo_run.sh SOURCE_DIR WORK_FOLDER
# Exit 77 (skipped) late in the evening, where the one-time task could fall on the next day.
set -uo pipefail
src=$1 work=$2
limit=1100 # seconds to wait for the plan: less than ctest's limit, so that this script reports

if [ "$(date +%H%M)" -ge 2330 ]; then echo "too close to midnight"; exit 77; fi
fail() {
  echo "FAILED: $*"
  [ -f "$work/demo.log" ] && { echo "--- the demo printed:"; cat "$work/demo.log"; }
  exit 1
}

rm -rf "$work" && mkdir -p "$work/tree" "$work/home" "$work/path" || exit 1
git -C "$src" ls-files -z --cached --others --exclude-standard |
  (cd "$src" && tar --null -T - --ignore-failed-read -cf -) | tar -C "$work/tree" -xf - ||
  fail "cannot copy the source tree (it must be a git checkout)"

# Each folder of the PATH that holds a Rust tool is replaced by one of links to the rest.
clean=""
n=0
IFS=: read -ra folders <<<"$PATH"
for dir in "${folders[@]}"; do
  [ -d "$dir" ] || continue
  if compgen -G "$dir/cargo*" >/dev/null || compgen -G "$dir/rust*" >/dev/null; then
    n=$((n + 1))
    mkdir -p "$work/path/$n"
    for f in "$dir"/*; do
      case ${f##*/} in cargo* | rust*) ;; *) ln -s "$f" "$work/path/$n/" ;; esac
    done
    dir=$work/path/$n
  fi
  clean+="${clean:+:}$dir"
done

norust=(env -u CARGO_HOME -u RUSTUP_HOME -u RUSTC -u SNV_REDB_SOURCE PATH="$clean" HOME="$work/home")
"${norust[@]}" sh -c 'command -v cargo || command -v rustc' && fail "Rust is still on the PATH"

# A session of its own, whose id is this child's: the build and the console end together.
cd "$work/tree" || exit 1
"${norust[@]}" setsid scripts/demo --native </dev/null >"$work/demo.log" 2>&1 &
demo=$!
trap 'kill -- -$demo 2>/dev/null' EXIT

waited=0
until grep -q 'monitor_off \[demo-evening\]' "$work/demo.log"; do
  kill -0 $demo 2>/dev/null || fail "the demo ended before it printed the plan"
  [ $waited -lt "$limit" ] || fail "no plan printed within $limit s"
  sleep 1
  waited=$((waited + 1))
done
sleep 1 # the rest of the block
log=$work/demo.log
echo "the demo printed its plan after $waited s"

grep -qF "Somnivo Service — console mode. Data: $work/tree/build/demo-native/data" "$log" ||
  fail "no banner naming the demo's data folder"
grep -qE '^[0-9]{2}:[0-9]{2}:[0-9]{2} plan: 2 alarm\(s\), 1 idle, 0 CPU task\(s\); GUI running: false$' "$log" ||
  fail "no plan of 2 alarms, 1 idle watch"
grep -qE '^  [0-9]{2}:[0-9]{2}:[0-9]{2} -> lock \[demo-soon\]$' "$log" || fail "no alarm for demo-soon"
grep -qx '  22:29:50 -> monitor_off \[demo-evening\]' "$log" || fail "no alarm for demo-evening"
if grep -qiE 'cargo|rustc|rust |interop' "$log"; then fail "the demo speaks of Rust or the interop tool"; fi
[ ! -e "$work/tree/build/redb-interop" ] || fail "the demo built the interop tool"
echo "ok"
