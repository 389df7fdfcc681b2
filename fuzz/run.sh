#!/usr/bin/env bash
# Runs one fuzz target (tasks_json, settings_json, json_document) for SECONDS (default 600) on its own
# corpus under build/fuzz, seeded from fuzz/seeds; the log goes to build/fuzz/NAME.log.
set -euo pipefail
cd "$(dirname "$0")/.."
name=$1
seconds=${2:-600}
seeds=fuzz/seeds/${name%_json}
corpus=build/fuzz/corpus-$name
mkdir -p "$corpus" "$seeds"
build/fuzz/${name}_fuzz -max_total_time="$seconds" -print_final_stats=1 -max_len=16384 \
  -dict=fuzz/json.dict -artifact_prefix=build/fuzz/crash-$name- "$corpus" "$seeds" \
  >"build/fuzz/$name.log" 2>&1
