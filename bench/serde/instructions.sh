#!/usr/bin/env bash
# Instructions per document, ours beside serde_json's, on the same files as compare.sh: each
# program reads tasks.json, settings.json and the history lines once ("once" mode) under
# callgrind, which counts each read's instructions (inclusive cost of its function). Steadier
# than wall times on a busy machine. Needs valgrind.
#   bench/serde/instructions.sh
# Not part of scripts/test.
set -euo pipefail
cd "$(dirname "$0")/../.."
command -v valgrind >/dev/null || { echo "valgrind is needed (apt-get install valgrind)"; exit 1; }

source bench/serde/prepare.sh

out=$(mktemp -d)
trap 'rm -rf "$out"' EXIT
valgrind --tool=callgrind --callgrind-out-file="$out/ours.cg" "$ours" once "$files" 2>/dev/null
valgrind --tool=callgrind --callgrind-out-file="$out/serde.cg" "$serde" once "$files" 2>/dev/null

# The inclusive count of function once_NAME in a callgrind output.
count() {
  callgrind_annotate --inclusive=yes --threshold=100 "$1" |
    awk -v fn="once_$2" 'index($0, fn) && /\]$/ && !found++ { gsub(",", "", $1); print $1 }'
}
lines=$(wc -l <"$files/history.jsonl")
echo "instructions per document (ours | serde_json):"
for doc in tasks settings history; do
  o=$(count "$out/ours.cg" "$doc")
  s=$(count "$out/serde.cg" "$doc")
  per=1
  [ "$doc" = history ] && per=$lines
  awk -v d="$doc" -v o="$o" -v s="$s" -v n="$per" 'BEGIN {
    unit = (n > 1) ? "  per line, of " n : ""
    printf "  %-9s %10.0f | %10.0f  (serde/ours %.2f)%s\n", d, o / n, s / n, s / o, unit }'
done
