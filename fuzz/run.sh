#!/usr/bin/env bash
# Runs one fuzz target for SECONDS (default 600) on its own corpus under build/fuzz; the log goes
# to build/fuzz/NAME.log.   fuzz/run.sh NAME [SECONDS]   (NAME: tasks_json, settings_json,
# json_document, history_lines, open, write)
# The JSON targets start from fuzz/seeds; the database targets from small files that the redb
# interop tool writes, since the interesting bytes are in the first pages.
set -euo pipefail
cd "$(dirname "$0")/.."
name=$1
seconds=${2:-600}
corpus=build/fuzz/corpus-$name
mkdir -p "$corpus"
case $name in
  open|write)
    oracle=${SNV_ORACLE:-build/redb-interop/release/redb-interop}  # scripts/build-interop
    seeds=build/fuzz/seeds-redb
    if [ ! -d "$seeds" ]; then
      mkdir -p "$seeds"
      for kind in empty history:3:5 history:40:0 others:4 crash:5 crash-quick:5 nondurable:3 savepoint:3 wrong-key; do
        "$oracle" fixture "$kind" "$seeds/$(printf '%s' "$kind" | tr ':' '_')"
      done
    fi
    options=(-max_len=1100000 -rss_limit_mb=4096 -timeout=10) ;;
  *)
    seeds=fuzz/seeds/${name%_json}
    mkdir -p "$seeds"
    options=(-max_len=16384 -dict=fuzz/json.dict) ;;
esac
build/fuzz/${name}_fuzz -max_total_time="$seconds" -print_final_stats=1 "${options[@]}" \
  -artifact_prefix=build/fuzz/crash-$name- "$corpus" "$seeds" >"build/fuzz/$name.log" 2>&1
